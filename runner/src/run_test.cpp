#include "run_test.hpp"

#include <unistd.h>

#include <exception>
#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "capture_scope.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"

namespace ovra_runner {

namespace {

constexpr std::string_view did_not_fail_message = "test did not panic as expected";
constexpr std::string_view backtrace_hint =
    "note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace\n";

// Written where the test's stderr side goes, in the shape tools already read from the standard runner.
void report_failure(const TestDescriptor& test, std::string_view file, std::uint_least32_t line,
                    std::uint_least32_t column, std::string_view message,
                    const std::optional<Backtrace>& backtrace, RunState& state) {
    std::string text = fmt::format("\nthread '{}' ({}) panicked at {}:{}:{}:\n{}\n", test.name,
                                   static_cast<long>(::gettid()), file, line, column, message);
    if (backtrace) {
        text.append("stack backtrace:\n");
        text.append(symbolise(*backtrace));
    } else if (state.backtrace_hint_pending.exchange(false)) {
        text.append(backtrace_hint);
    }
    write_test_output(OutputStream::Stderr, text);
}

// An exception that is not a check names the test function itself as the place; its stack is gone by now, so
// a backtrace shows where it was caught.
void report_exception(const TestDescriptor& test, std::string_view message, RunState& state) {
    report_failure(test, test.source_file, test.start_line, test.start_col, message,
                   capture_backtrace_if_enabled(), state);
}

// Runs the test function; returns whether it failed.
bool call_test(const TestDescriptor& test, RunState& state) {
    try {
        if (test.function == nullptr) {
            throw std::logic_error("test has no function");
        }
        const Status status = test.function();
        if (!status) {
            eprint("Error: {}\n", render_report(status.error()));
            return true;
        }
        return false;
    } catch (const CheckFailure& failure) {
        report_failure(test, failure.location.file_name(), failure.location.line(), failure.location.column(),
                       failure.message, failure.backtrace, state);
        return true;
    } catch (const std::exception& exception) {
        report_exception(test, exception.what(), state);
        return true;
    } catch (...) {
        report_exception(test, "unknown exception", state);
        return true;
    }
}

TestResult decide(const TestDescriptor& test, bool failed, const std::optional<TimeOptions>& time_limits,
                  std::chrono::nanoseconds exec_time) {
    if (test.should_panic) {
        if (!failed) {
            return TestFailedWithNote{std::string(did_not_fail_message)};
        }
    } else if (failed) {
        return TestFailed{};
    }
    if (time_limits && time_limits->error_on_excess && is_critical(*time_limits, exec_time)) {
        return TestTimeLimitExceeded{};
    }
    return TestPassed{};
}

}  // namespace

CompletedTest run_test(const TestDescriptor& test, RunState& state) {
    return std::visit([&](const auto& strategy) { return run_one_test(strategy, test, state); },
                      state.plan.strategy);
}

CompletedTest run_one_test(InProcess, const TestDescriptor& test, RunState& state) {
    CompletedTest completed{test, TestPassed{}, std::nullopt, {}};
    const TestOutputSink sink = state.plan.display.capture ? TestOutputSink{&completed.output, nullptr}
                                                           : TestOutputSink{nullptr, &state.terminal};
    bool failed = false;
    const auto start = std::chrono::steady_clock::now();
    {
        const CaptureScope scope(sink);
        try {
            failed = call_test(test, state);
        } catch (...) {
            // Writing the report itself failed (out of memory); the test still fails alone.
            failed = true;
        }
    }
    const auto exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    if (state.plan.time_limits) {
        completed.exec_time = exec_time;
    }
    completed.result = decide(test, failed, state.plan.time_limits, exec_time);
    return completed;
}

}  // namespace ovra_runner
