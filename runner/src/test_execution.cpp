#include "test_execution.hpp"

#include <unistd.h>

#include <cxxabi.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <exception>
#include <new>
#include <source_location>
#include <string>

#include <fmt/format.h>

#include "capture_scope.hpp"
#include "isolation/child_process.hpp"
#include "isolation/child_verdict.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"

namespace ovra_runner {

namespace {

// A child ends a test that returned an error as it ends a failed check, with this message at this place.
constexpr std::string_view returned_error_message =
    "the test returned a termination value with a non-zero status code (1) which indicates a failure";
constexpr std::string_view did_not_fail_message = "test did not panic as expected";
constexpr std::string_view backtrace_hint =
    "note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace\n";

// Written where the test's stderr side goes, in the shape tools already read from the standard runner.
// `thread` names the thread the test ran on: the test's own name on a worker, "main" in a child process.
void write_panic_report(std::string_view thread, std::string_view file, std::uint_least32_t line,
                        std::uint_least32_t column, std::string_view message,
                        const std::optional<Backtrace>& backtrace,
                        std::atomic<bool>& backtrace_hint_pending) {
    std::string text = fmt::format("\nthread '{}' ({}) panicked at {}:{}:{}:\n{}\n", thread,
                                   static_cast<long>(::gettid()), file, line, column, message);
    if (backtrace) {
        text.append("stack backtrace:\n");
        text.append(symbolise(*backtrace));
    } else if (backtrace_hint_pending.exchange(false)) {
        text.append(backtrace_hint);
    }
    write_test_output(OutputStream::Stderr, text);
}

// What a thrown exception says about itself: its type, demangled, and what() for a standard one.
std::string exception_text(const std::exception* exception) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    std::string name = type == nullptr ? std::string("unknown") : type->name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status),
                                                      &std::free);
    if (status == 0 && plain) {
        name = plain.get();
    }
    return exception == nullptr ? fmt::format("C++ exception of type {}", name)
                                : fmt::format("C++ exception of type {}: {}", name, exception->what());
}

std::string_view first_line(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

enum class Outcome { Passed, Failed, ReturnedError, OutOfMemory };

struct TestOutcome {
    Outcome outcome;
    // The first line of what the report says about a failure.
    std::string message;
};

// Runs the test function on the thread called `thread`. A returned error has had its report printed, but
// no failure header. An exception that is not a check is located where it was caught here: its stack is
// gone by now, so a backtrace shows that place too.
TestOutcome call_test(const TestDescriptor& test, std::string_view thread,
                      std::atomic<bool>& backtrace_hint_pending) {
    const auto report_exception = [&](const std::exception* exception, std::source_location caught) {
        std::string text = exception_text(exception);
        write_panic_report(thread, caught.file_name(), caught.line(), caught.column(), text,
                           capture_backtrace_if_enabled(), backtrace_hint_pending);
        return TestOutcome{Outcome::Failed, std::string(first_line(text))};
    };
    try {
        const Status status = test.function();
        if (!status) {
            std::string report = fmt::format("Error: {}", render_report(status.error()));
            eprint("{}\n", report);
            return {Outcome::ReturnedError, std::string(first_line(report))};
        }
        return {Outcome::Passed, {}};
    } catch (const std::bad_alloc&) {
        // Reporting it the usual way would need the memory that just ran out; the result's note says it.
        return {Outcome::OutOfMemory, {}};
    } catch (const CheckFailure& failure) {
        write_panic_report(thread, failure.location.file_name(), failure.location.line(),
                           failure.location.column(), failure.message, failure.backtrace,
                           backtrace_hint_pending);
        return {Outcome::Failed, std::string(first_line(failure.message))};
    } catch (const std::exception& exception) {
        return report_exception(&exception, std::source_location::current());
    } catch (...) {
        return report_exception(nullptr, std::source_location::current());
    }
}

bool over_time_limit(const std::optional<TimeOptions>& time_limits, std::chrono::nanoseconds exec_time) {
    return time_limits && time_limits->error_on_excess && is_critical(*time_limits, exec_time);
}

TestResult decide(const TestDescriptor& test, TestOutcome outcome, const std::optional<TimeOptions>& time_limits,
                  std::chrono::nanoseconds exec_time) {
    // A test that could not get memory says nothing about the code it checks, expected failure or not.
    if (outcome.outcome == Outcome::OutOfMemory) {
        return TestFailedWithNote{std::string(isolation::out_of_memory_note)};
    }
    const bool failed = outcome.outcome != Outcome::Passed;
    if (test.should_panic) {
        if (!failed) {
            return TestFailedWithNote{std::string(did_not_fail_message)};
        }
    } else if (failed) {
        return TestFailed{std::move(outcome.message)};
    }
    if (over_time_limit(time_limits, exec_time)) {
        return TestTimeLimitExceeded{};
    }
    return TestPassed{};
}

}  // namespace

CompletedTest execute(const TestDescriptor& test, RunState& state) {
    return std::visit([&](const auto& strategy) { return execute(strategy, test, state); },
                      state.plan.strategy);
}

CompletedTest execute(InProcess, const TestDescriptor& test, RunState& state) {
    std::string output;
    const TestOutputSink sink = state.plan.display.capture ? TestOutputSink{&output, nullptr}
                                                           : TestOutputSink{nullptr, &state.console};
    TestOutcome outcome{Outcome::Failed, {}};
    const auto start = std::chrono::steady_clock::now();
    {
        const CaptureScope scope(sink);
        try {
            outcome = call_test(test, test.name, state.backtrace_hint_pending);
        } catch (const std::bad_alloc&) {
            // Reporting a failure needed memory too.
            outcome = TestOutcome{Outcome::OutOfMemory, {}};
        } catch (...) {
            outcome = TestOutcome{Outcome::Failed, {}};
        }
    }
    const auto exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    return complete(test, decide(test, std::move(outcome), state.plan.time_limits, exec_time), exec_time,
                    std::move(output));
}

CompletedTest execute(const Isolated& strategy, const TestDescriptor& test, RunState& state) {
    const auto run = isolation::run_in_child(isolation::ChildRequest{
        test.name, strategy.program_name, state.plan.display.capture, strategy.timeout});
    if (!run) {
        return complete(test, TestFailedWithNote{run.error()}, {}, {});
    }
    isolation::ChildVerdict verdict = isolation::child_verdict(*run, test.name, strategy.timeout);
    TestResult result = TestPassed{};
    if (verdict.note) {
        result = TestFailedWithNote{std::move(*verdict.note)};
    } else if (!verdict.passed) {
        result = TestFailed{std::move(verdict.message)};
    } else if (over_time_limit(state.plan.time_limits, run->elapsed)) {
        result = TestTimeLimitExceeded{};
    }
    // From the spawn to the child's end, as a user waiting for the test sees it.
    return complete(test, std::move(result), run->elapsed, std::move(verdict.output));
}

int child_main(const TestDescriptor& test) {
    // A fresh process: its first failure report carries the hint.
    std::atomic<bool> backtrace_hint_pending{true};
    // The child's main thread runs the test, and its reports say so.
    constexpr std::string_view thread = "main";
    const Outcome outcome = call_test(test, thread, backtrace_hint_pending).outcome;
    if (outcome == Outcome::OutOfMemory) {
        return isolation::child_out_of_memory_status;
    }
    if (outcome == Outcome::ReturnedError) {
        const std::source_location here = std::source_location::current();
        write_panic_report(thread, here.file_name(), here.line(), here.column(), returned_error_message,
                           capture_backtrace_if_enabled(), backtrace_hint_pending);
    }
    const bool failed = outcome != Outcome::Passed;
    if (test.should_panic && !failed) {
        eprint("{} at {}:{}:{}\n", did_not_fail_message, test.source_file, test.start_line, test.start_col);
    }
    return failed == test.should_panic ? isolation::child_passed_status : isolation::child_failed_status;
}

}  // namespace ovra_runner
