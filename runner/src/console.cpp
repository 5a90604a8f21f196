#include "console.hpp"

#include <chrono>
#include <string>
#include <variant>

#include <fmt/format.h>

#include "console_state.hpp"
#include "formatters/json_formatter.hpp"
#include "formatters/junit_formatter.hpp"
#include "formatters/pretty_formatter.hpp"
#include "formatters/terse_formatter.hpp"

namespace ovra_tests {

namespace {

using Formatter = std::variant<PrettyFormatter, TerseFormatter, JsonFormatter, JunitFormatter>;
// Listing has no JUnit shape; it lists as pretty does.
using DiscoveryFormatter = std::variant<PrettyFormatter, TerseFormatter, JsonFormatter>;

// A failed log write ends the run like a failed console write.
void log_line(Terminal& terminal, LogFile* log, std::string_view text) {
    if (log == nullptr) {
        return;
    }
    if (const WriteResult written = write_log(*log, text); !written) {
        record_failure(terminal, written.error());
    }
}

std::string log_result_word(const CompletedTest& completed) {
    return std::visit(
        [&](const auto& result) -> std::string {
            using Result = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Result, TestPassed>) {
                return "ok";
            } else if constexpr (std::is_same_v<Result, TestFailed>) {
                return "failed";
            } else if constexpr (std::is_same_v<Result, TestFailedWithNote>) {
                return fmt::format("failed: {}", result.message);
            } else if constexpr (std::is_same_v<Result, TestTimeLimitExceeded>) {
                return "failed (time limit exceeded)";
            } else {
                return completed.test.ignore_message
                           ? fmt::format("ignored: {}", *completed.test.ignore_message)
                           : std::string("ignored");
            }
        },
        completed.result);
}

void log_result(Terminal& terminal, LogFile* log, const CompletedTest& completed) {
    if (log == nullptr) {
        return;
    }
    std::string line = fmt::format("{} {}", log_result_word(completed), completed.test.name);
    if (completed.exec_time) {
        line.append(fmt::format(" <{:.3f}s>", std::chrono::duration<double>(*completed.exec_time).count()));
    }
    line.push_back('\n');
    log_line(terminal, log, line);
}

void record_result(ConsoleState& state, CompletedTest completed) {
    std::visit(
        [&](auto& result) {
            using Result = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Result, TestPassed>) {
                ++state.passed;
                state.not_failures.emplace_back(completed.test, std::move(completed.output));
            } else if constexpr (std::is_same_v<Result, TestIgnored>) {
                ++state.ignored;
            } else if constexpr (std::is_same_v<Result, TestFailed>) {
                ++state.failed;
                state.failures.emplace_back(completed.test, std::move(completed.output));
            } else if constexpr (std::is_same_v<Result, TestFailedWithNote>) {
                ++state.failed;
                completed.output.append(fmt::format("note: {}", result.message));
                state.failures.emplace_back(completed.test, std::move(completed.output));
            } else {
                ++state.failed;
                state.time_failures.emplace_back(completed.test, std::move(completed.output));
            }
        },
        completed.result);
}

struct EventReporter {
    Formatter& formatter;
    ConsoleState& state;
    Terminal& terminal;
    LogFile* log;

    void operator()(const TestsFilteredOut& event) const { state.filtered_out = event.count; }
    void operator()(const RunStarted& event) const {
        state.total = event.test_count;
        std::visit([&](auto& f) { write_run_start(f, terminal, event.test_count, event.shuffle_seed); },
                   formatter);
    }
    void operator()(const TestStarted& event) const {
        std::visit([&](auto& f) { write_test_start(f, terminal, event.test); }, formatter);
    }
    void operator()(const TestRunningLong& event) const {
        std::visit([&](auto& f) { write_timeout(f, terminal, event.test, event.after); }, formatter);
    }
    void operator()(const TestFinished& event) const {
        log_result(terminal, log, event.completed);
        std::visit([&](auto& f) { write_result(f, terminal, event.completed, state); }, formatter);
        record_result(state, event.completed);
    }
};

Formatter make_formatter(const TestOptions& options, const RunSettings& settings) {
    switch (options.format) {
        case OutputFormat::Pretty:
            return PrettyFormatter{settings.concurrency > 1, settings.test_context.time_options};
        case OutputFormat::Terse:
            return TerseFormatter{};
        case OutputFormat::Json:
            return JsonFormatter{};
        case OutputFormat::Junit:
            break;
    }
    return JunitFormatter{};
}

DiscoveryFormatter make_discovery_formatter(const TestOptions& options) {
    switch (options.format) {
        case OutputFormat::Terse:
            return TerseFormatter{};
        case OutputFormat::Json:
            return JsonFormatter{};
        case OutputFormat::Pretty:
        case OutputFormat::Junit:
            break;
    }
    return PrettyFormatter{};
}

}  // namespace

bool run_tests_console(std::span<const TestDescriptor> table, const TestOptions& options,
                       const RunSettings& settings, Terminal& terminal, LogFile* log) {
    Formatter formatter = make_formatter(options, settings);
    ConsoleState state;
    state.options = &options;
    const EventReporter reporter{formatter, state, terminal, log};
    const auto start = std::chrono::steady_clock::now();
    run_test_loop(table, options, settings, [&](const RunEvent& event) {
        std::visit(reporter, event);
        // Once the report is lost, the tests still to start would run for nobody.
        return !report_failure(terminal).has_value();
    });
    state.exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    return std::visit([&](auto& f) { return write_run_finish(f, terminal, state); }, formatter);
}

void list_tests_console(std::span<const TestDescriptor> table, const TestOptions& options, Terminal& terminal,
                        LogFile* log) {
    DiscoveryFormatter formatter = make_discovery_formatter(options);
    DiscoveryState state;
    std::visit([&](auto& f) { write_discovery_start(f, terminal); }, formatter);
    for (const TestDescriptor& test : filter_tests(options, table)) {
        ++state.tests;
        if (test.ignore) {
            ++state.ignored;
        }
        std::visit([&](auto& f) { write_test_discovered(f, terminal, test); }, formatter);
        log_line(terminal, log, fmt::format("test {}\n", test.name));
    }
    std::visit([&](auto& f) { write_discovery_finish(f, terminal, state); }, formatter);
}

}  // namespace ovra_tests
