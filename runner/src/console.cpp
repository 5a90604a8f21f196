#include "console.hpp"

#include <chrono>
#include <string>
#include <variant>

#include <fmt/format.h>

#include "console_state.hpp"
#include "formatters/formatter.hpp"
#include "formatters/json_formatter.hpp"
#include "formatters/junit_formatter.hpp"
#include "formatters/pretty_formatter.hpp"
#include "formatters/terse_formatter.hpp"
#include "run_loop.hpp"

namespace ovra_runner {

namespace {

using AnyFormatter = std::variant<PrettyFormatter, TerseFormatter, JsonFormatter, JunitFormatter>;

AnyFormatter make_formatter(const RunPlan& plan) {
    const bool show_output = plan.display.show_passing_output;
    switch (plan.format) {
        case OutputFormat::Pretty:
            return PrettyFormatter{plan.workers > 1, plan.time_limits, show_output};
        case OutputFormat::Terse:
            return TerseFormatter{show_output};
        case OutputFormat::Json:
            return JsonFormatter{show_output};
        case OutputFormat::Junit:
            break;
    }
    return JunitFormatter{show_output, {}};
}

void tell(AnyFormatter& formatter, Terminal& terminal, const FormatterEvent& event) {
    std::visit([&](auto& chosen) { write_event(chosen, terminal, event); }, formatter);
}

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
    const ResultClass result = classify(completed.result);
    switch (result.kind) {
        case ResultKind::Passed:
            return "ok";
        case ResultKind::Failed:
            return result.note.empty() ? std::string("failed") : fmt::format("failed: {}", result.note);
        case ResultKind::TimeLimitExceeded:
            return "failed (time limit exceeded)";
        case ResultKind::Ignored:
            break;
    }
    return completed.test.ignore_message ? fmt::format("ignored: {}", *completed.test.ignore_message)
                                         : std::string("ignored");
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
    const ResultClass result = classify(completed.result);
    KeptOutput kept{std::move(completed.test), std::move(completed.output), std::string(result.note)};
    switch (result.kind) {
        case ResultKind::Passed:
            ++state.passed;
            state.not_failures.push_back(std::move(kept));
            return;
        case ResultKind::Ignored:
            ++state.ignored;
            return;
        case ResultKind::Failed:
            ++state.failed;
            state.failures.push_back(std::move(kept));
            return;
        case ResultKind::TimeLimitExceeded:
            break;
    }
    ++state.failed;
    state.time_failures.push_back(std::move(kept));
}

struct EventReporter {
    AnyFormatter& formatter;
    ConsoleState& state;
    Terminal& terminal;
    LogFile* log;

    void operator()(const RunStarted& event) const {
        state.total = event.test_count;
        tell(formatter, terminal, event);
    }
    void operator()(const TestStarted& event) const { tell(formatter, terminal, event); }
    void operator()(const TestRunningLong& event) const { tell(formatter, terminal, event); }
    void operator()(const TestFinished& event) const {
        log_result(terminal, log, event.completed);
        tell(formatter, terminal, ResultReported{event.completed, state});
        record_result(state, event.completed);
    }
};

}  // namespace

bool report_run(RunState& state, LogFile* log) {
    AnyFormatter formatter = make_formatter(state.plan);
    ConsoleState console;
    console.filtered_out = state.plan.filtered_out;
    const EventReporter reporter{formatter, console, state.terminal, log};
    const auto start = std::chrono::steady_clock::now();
    run_test_loop(state, [&](const RunEvent& event) {
        std::visit(reporter, event);
        // Once the report is lost, the tests still to start would run for nobody.
        return !report_failure(state.terminal).has_value();
    });
    console.exec_time =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    tell(formatter, state.terminal, RunFinished{console});
    return console.failed == 0;
}

void report_listing(const RunPlan& plan, Terminal& terminal, LogFile* log) {
    AnyFormatter formatter = make_formatter(plan);
    DiscoveryState state;
    tell(formatter, terminal, ListingStarted{});
    for (const TestDescriptor& test : plan.tests) {
        ++state.tests;
        if (test.ignore) {
            ++state.ignored;
        }
        tell(formatter, terminal, TestListed{test});
        log_line(terminal, log, fmt::format("test {}\n", test.name));
    }
    tell(formatter, terminal, ListingFinished{state});
}

}  // namespace ovra_runner
