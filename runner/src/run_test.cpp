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

namespace ovra_tests {

namespace {

constexpr std::string_view returned_error_reason =
    "the test returned a termination value with a non-zero status code (1) which indicates a failure";
constexpr std::string_view did_not_fail_message = "test did not panic as expected";
constexpr std::string_view backtrace_hint =
    "note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace\n";

// Written where the test's stderr side goes, in the shape tools already read from the standard runner.
void report_failure(const TestDescriptor& test, std::string_view file, std::uint_least32_t line,
                    std::uint_least32_t column, std::string_view message,
                    const std::optional<Backtrace>& backtrace, const TestRunContext& context) {
    std::string text = fmt::format("\nthread '{}' ({}) panicked at {}:{}:{}:\n{}\n", test.name,
                                   static_cast<long>(::gettid()), file, line, column, message);
    if (backtrace) {
        text.append("stack backtrace:\n");
        text.append(symbolise(*backtrace));
    } else if (context.backtrace_hint_pending != nullptr && context.backtrace_hint_pending->exchange(false)) {
        text.append(backtrace_hint);
    }
    write_test_output(OutputStream::Stderr, text);
}

// An exception that is not a check names the test function itself as the place; its stack is gone by now, so
// a backtrace shows where it was caught.
void report_exception(const TestDescriptor& test, std::string_view message, const TestRunContext& context) {
    report_failure(test, test.source_file, test.start_line, test.start_col, message,
                   capture_backtrace_if_enabled(), context);
}

// Runs the test function; returns why it failed, or nothing when it passed.
std::optional<std::string> call_test(const TestDescriptor& test, const TestRunContext& context) {
    try {
        if (test.function == nullptr) {
            throw std::logic_error("test has no function");
        }
        const Status status = test.function();
        if (!status) {
            eprint("Error: {}\n", render_report(status.error()));
            return std::string(returned_error_reason);
        }
        return std::nullopt;
    } catch (const CheckFailure& failure) {
        report_failure(test, failure.location.file_name(), failure.location.line(), failure.location.column(),
                       failure.message, failure.backtrace, context);
        return failure.message;
    } catch (const std::exception& exception) {
        report_exception(test, exception.what(), context);
        return std::string(exception.what());
    } catch (...) {
        report_exception(test, "unknown exception", context);
        return std::string("unknown exception");
    }
}

TestResult decide(const TestDescriptor& test, std::optional<std::string> failure,
                  const TestRunContext& context, std::chrono::nanoseconds exec_time) {
    if (test.should_panic) {
        if (!failure) {
            return TestFailedWithNote{std::string(did_not_fail_message)};
        }
    } else if (failure) {
        return TestFailed{std::move(*failure)};
    }
    if (context.time_options && context.time_options->error_on_excess &&
        is_critical(*context.time_options, exec_time)) {
        return TestTimeLimitExceeded{};
    }
    return TestPassed{};
}

}  // namespace

CompletedTest run_one_test(const TestDescriptor& test, const TestRunContext& context) {
    CompletedTest completed{test, TestPassed{}, std::nullopt, {}};
    const TestOutputSink sink = context.nocapture ? TestOutputSink{nullptr, context.terminal}
                                                  : TestOutputSink{&completed.output, nullptr};
    std::optional<std::string> failure;
    const auto start = std::chrono::steady_clock::now();
    {
        const CaptureScope scope(sink);
        try {
            failure = call_test(test, context);
        } catch (...) {
            // Writing the report itself failed (out of memory); the test still fails alone.
            failure = "the failure report could not be written";
        }
    }
    const auto exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    if (context.time_options) {
        completed.exec_time = exec_time;
    }
    completed.result = decide(test, std::move(failure), context, exec_time);
    return completed;
}

}  // namespace ovra_tests
