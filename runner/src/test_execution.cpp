#include "test_execution.hpp"

#include <unistd.h>

#include <cxxabi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>
#include <exception>
#include <new>
#include <source_location>
#include <string>

#include <fmt/format.h>

#include "capture_scope.hpp"
#include "demangle.hpp"
#include "integer_text.hpp"
#include "isolation/child_process.hpp"
#include "isolation/child_exit.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/printable/printable.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/runner.hpp"

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
    const std::string name = type == nullptr ? std::string("unknown") : demangle(type->name());
    return exception == nullptr ? fmt::format("C++ exception of type {}", name)
                                : fmt::format("C++ exception of type {}: {}", name, exception->what());
}

std::string_view first_line(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

// Runs the test function on the thread called `thread`; the failure's first line, or nothing for a pass. A
// returned error has its report printed and, in a child (whose parent reads its failure from the last
// failure header), a failure header after it. An exception that is not a check is located where it was
// caught here: its stack is gone by now, so a backtrace shows that place too. Running out of memory is
// thrown on, for the caller to report without allocating.
std::optional<std::string> call_test(const TestDescriptor& test, std::string_view thread, bool in_child,
                                     std::atomic<bool>& backtrace_hint_pending) {
    const auto report_exception = [&](const std::exception* exception, std::source_location caught) {
        std::string text = exception_text(exception);
        write_panic_report(thread, caught.file_name(), caught.line(), caught.column(), text,
                           capture_backtrace_if_enabled(), backtrace_hint_pending);
        return std::string(first_line(text));
    };
    try {
        const Status status = test.function();
        if (status) {
            return std::nullopt;
        }
        std::string report = fmt::format("Error: {}", render_report(status.error()));
        eprint("{}\n", report);
        if (in_child) {
            const std::source_location here = std::source_location::current();
            write_panic_report(thread, here.file_name(), here.line(), here.column(), returned_error_message,
                               capture_backtrace_if_enabled(), backtrace_hint_pending);
        }
        return std::string(first_line(report));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const CheckFailure& failure) {
        write_panic_report(thread, failure.location.file_name(), failure.location.line(),
                           failure.location.column(), failure.message, failure.backtrace,
                           backtrace_hint_pending);
        return std::string(first_line(failure.message));
    } catch (const std::exception& exception) {
        return report_exception(&exception, std::source_location::current());
    } catch (...) {
        return report_exception(nullptr, std::source_location::current());
    }
}

// A test marked should_panic passes only by failing.
void decide(CompletedTest& completed, std::optional<std::string> failure) {
    if (completed.test.should_panic == failure.has_value()) {
        completed.kind = ResultKind::Passed;
    } else if (failure) {
        completed.kind = ResultKind::Failed;
        completed.message = std::move(*failure);
    } else {
        fail_with_note(completed, std::string(did_not_fail_message));
    }
}

// A passing test over the critical time fails when the limits are enforced.
void enforce_time_limit(CompletedTest& completed, const std::optional<TimeOptions>& time_limits) {
    if (completed.kind == ResultKind::Passed && time_limits && time_limits->error_on_excess &&
        is_critical(*time_limits, completed.exec_time)) {
        completed.kind = ResultKind::TimeLimitExceeded;
        completed.message = "time limit exceeded";
    }
}

CompletedTest execute(InProcess, const TestDescriptor& test, RunState& state) {
    CompletedTest completed{.test = test};
    const TestOutputSink sink = state.plan.display.capture ? TestOutputSink{&completed.output, nullptr}
                                                           : TestOutputSink{nullptr, &state.console};
    const auto start = std::chrono::steady_clock::now();
    {
        const CaptureScope scope(sink);
        try {
            decide(completed, call_test(test, test.name, false, state.backtrace_hint_pending));
        } catch (const std::bad_alloc&) {
            // A test that could not get memory says nothing about the code it checks, expected failure or not.
            fail_with_note(completed, std::string(isolation::out_of_memory_note));
        } catch (...) {
            // Reporting the failure failed; the test failed all the same.
            decide(completed, std::string());
        }
    }
    completed.exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    enforce_time_limit(completed, state.plan.time_limits);
    return completed;
}

CompletedTest execute(const Isolated& strategy, const TestDescriptor& test, RunState& state) {
    const auto run = isolation::run_in_child(isolation::ChildRequest{
        test.name, state.plan.program, state.plan.display.capture, strategy.timeout});
    if (!run) {
        CompletedTest unstarted{.test = test};
        fail_with_note(unstarted, run.error());
        return unstarted;
    }
    CompletedTest completed = isolation::completed_in_child(test, *run, strategy.timeout);
    enforce_time_limit(completed, state.plan.time_limits);
    return completed;
}

}  // namespace

CompletedTest execute(const TestDescriptor& test, RunState& state) {
    return std::visit([&](const auto& strategy) { return execute(strategy, test, state); },
                      state.plan.strategy);
}

int child_main(std::span<const TestDescriptor> table, std::string_view name) {
    std::optional<pid_t> parent;
    if (const char* text = std::getenv(isolation::parent_variable)) {
        if (const auto pid = parse_unsigned(text); pid && std::in_range<pid_t>(*pid)) {
            parent = static_cast<pid_t>(*pid);
        }
    }
    ::unsetenv(isolation::invoke_variable);
    ::unsetenv(isolation::parent_variable);
    isolation::die_with_parent(parent);
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const TestDescriptor& entry) { return entry.name == name; });
    if (found == table.end()) {
        const std::string line =
            fmt::format("error: no test named `{}` in this executable\n", ovra_printable::printable(name));
        std::fwrite(line.data(), 1, line.size(), stderr);
        return exit_failure;
    }
    const TestDescriptor& test = *found;
    // A fresh process: its first failure report carries the hint.
    std::atomic<bool> backtrace_hint_pending{true};
    std::optional<std::string> failure;
    try {
        // The child's main thread runs the test, and its reports say so.
        failure = call_test(test, "main", true, backtrace_hint_pending);
    } catch (const std::bad_alloc&) {
        return isolation::child_out_of_memory_status;
    }
    if (test.should_panic && !failure) {
        eprint("{} at {}:{}:{}\n", did_not_fail_message, test.source_file, test.start_line, test.start_col);
    }
    return failure.has_value() == test.should_panic ? isolation::child_passed_status
                                                     : isolation::child_failed_status;
}

}  // namespace ovra_runner
