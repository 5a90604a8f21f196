#include "reporter.hpp"

#include <string>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

namespace ovra_runner {

namespace {

// The executable's own name, without its folders: what a merged report of several executables tells apart.
std::string suite_name(std::string_view program) {
    const std::size_t slash = program.rfind('/');
    return std::string(slash == std::string_view::npos ? program : program.substr(slash + 1));
}

AnyFormatter make_formatter(const RunPlan& plan) {
    const bool show_output = plan.display.show_passing_output;
    switch (plan.format) {
        case OutputFormat::Pretty:
            return PrettyFormatter{plan.workers > 1, plan.time_limits, show_output};
        case OutputFormat::Terse:
            return TerseFormatter{show_output};
        case OutputFormat::Json:
            return JsonFormatter{show_output, plan.time_limits.has_value()};
        case OutputFormat::Junit:
            break;
    }
    return JunitFormatter{show_output, suite_name(plan.program), {}};
}

// A failed log write ends the run like a failed console write.
void log_line(Console& console, LogFile* log, std::string_view text) {
    if (log == nullptr) {
        return;
    }
    if (const WriteResult written = write_log(*log, text); !written) {
        record_failed_write(console, written.error());
    }
}

std::string log_result_word(const CompletedTest& completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            return "ok";
        case ResultKind::Failed:
            return completed.note.empty() ? std::string("failed") : fmt::format("failed: {}", completed.note);
        case ResultKind::TimeLimitExceeded:
            return "failed (time limit exceeded)";
        case ResultKind::Ignored:
            break;
    }
    return completed.test.ignore_message ? fmt::format("ignored: {}", *completed.test.ignore_message)
                                         : std::string("ignored");
}

void log_result(Console& console, LogFile* log, bool report_time, const CompletedTest& completed) {
    if (log == nullptr) {
        return;
    }
    std::string line = fmt::format("{} {}", log_result_word(completed), completed.test.name);
    if (report_time && completed.kind != ResultKind::Ignored) {
        line.append(fmt::format(" <{:.3f}s>", std::chrono::duration<double>(completed.exec_time).count()));
    }
    line.push_back('\n');
    log_line(console, log, line);
}

void count_result(RunSummary& summary, CompletedTest completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            ++summary.passed;
            summary.not_failures.push_back(std::move(completed));
            return;
        case ResultKind::Ignored:
            ++summary.ignored;
            return;
        case ResultKind::Failed:
            ++summary.failed;
            summary.failures.push_back(std::move(completed));
            return;
        case ResultKind::TimeLimitExceeded:
            break;
    }
    ++summary.failed;
    summary.time_failures.push_back(std::move(completed));
}

}  // namespace

Reporter make_reporter(const RunPlan& plan, Console& console, LogFile* log) {
    Reporter reporter{make_formatter(plan), console, log, plan.time_limits.has_value(), {}};
    reporter.summary.filtered_out = plan.filtered_out;
    return reporter;
}

bool report(Reporter& reporter, const RunEvent& event) {
    std::visit(
        [&](auto& formatter, const auto& step) {
            using Step = std::decay_t<decltype(step)>;
            if constexpr (std::is_same_v<Step, RunStarted>) {
                reporter.summary.total = step.test_count;
            }
            if constexpr (std::is_same_v<Step, TestFinished>) {
                log_result(reporter.console, reporter.log, reporter.report_time, step.completed);
            }
            write_if_shown(formatter, reporter.console, step);
            if constexpr (std::is_same_v<Step, TestFinished>) {
                count_result(reporter.summary, step.completed);
            }
        },
        reporter.formatter, event);
    return !first_failed_write(reporter.console).has_value();
}

bool report_end(Reporter& reporter, std::chrono::nanoseconds exec_time) {
    reporter.summary.exec_time = exec_time;
    tell(reporter.formatter, reporter.console, RunFinished{reporter.summary});
    return reporter.summary.failed == 0;
}

void report_listing(const RunPlan& plan, Console& console, LogFile* log) {
    AnyFormatter formatter = make_formatter(plan);
    ListingSummary summary;
    tell(formatter, console, ListingStarted{});
    for (const TestDescriptor& test : plan.tests) {
        ++summary.tests;
        if (test.ignore) {
            ++summary.ignored;
        }
        tell(formatter, console, TestListed{test});
        log_line(console, log, fmt::format("test {}\n", test.name));
    }
    tell(formatter, console, ListingFinished{summary});
}

}  // namespace ovra_runner
