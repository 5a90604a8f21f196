#include "reporter.hpp"

#include <string>
#include <utility>

#include <fmt/format.h>

namespace ovra_runner {

namespace {

AnyFormatter make_formatter(const RunPlan& plan) {
    switch (plan.format) {
        case OutputFormat::Pretty:
            return PrettyFormatter{plan};
        case OutputFormat::Terse:
            return TerseFormatter{plan};
        case OutputFormat::Json:
            return JsonFormatter{plan};
        case OutputFormat::Junit:
            break;
    }
    return JunitFormatter{plan};
}

// A failed log write ends the run like a failed console write.
void log_line(Console& console, LogFile& log, std::string_view text) {
    if (const IoResult written = write_log(log, text); !written) {
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

void log_result(const RunPlan& plan, Console& console, LogFile& log, const CompletedTest& completed) {
    if (!log) {
        return;
    }
    std::string line = fmt::format("{} {}", log_result_word(completed), completed.test.name);
    if (plan.time_limits && completed.kind != ResultKind::Ignored) {
        line.append(fmt::format(" <{:.3f}s>", std::chrono::duration<double>(completed.exec_time).count()));
    }
    line.push_back('\n');
    log_line(console, log, line);
}

void count_result(RunSummary& summary, CompletedTest completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            ++summary.passed;
            break;
        case ResultKind::Ignored:
            ++summary.ignored;
            break;
        case ResultKind::Failed:
        case ResultKind::TimeLimitExceeded:
            ++summary.failed;
            break;
    }
    summary.results.push_back(std::move(completed));
}

}  // namespace

Reporter make_reporter(const RunPlan& plan, Console& console, LogFile& log) {
    return Reporter{plan, make_formatter(plan), console, log, {}};
}

bool report(Reporter& reporter, const RunEvent& event) {
    const auto* finished = std::get_if<TestFinished>(&event);
    if (finished != nullptr) {
        log_result(reporter.plan, reporter.console, reporter.log, finished->completed);
    }
    std::visit([&](const auto& step) { tell(reporter.formatter, reporter.console, step); }, event);
    if (finished != nullptr) {
        count_result(reporter.summary, finished->completed);
    }
    return !first_failed_write(reporter.console).has_value();
}

bool report_end(Reporter& reporter, std::chrono::nanoseconds exec_time) {
    reporter.summary.exec_time = exec_time;
    tell(reporter.formatter, reporter.console, RunFinished{reporter.summary});
    return reporter.summary.failed == 0;
}

void report_listing(const RunPlan& plan, Console& console, LogFile& log) {
    AnyFormatter formatter = make_formatter(plan);
    tell(formatter, console, ListingStarted{});
    for (const TestDescriptor& test : plan.tests) {
        tell(formatter, console, TestListed{test});
        log_line(console, log, fmt::format("test {}\n", test.name));
    }
    tell(formatter, console, ListingFinished{});
}

}  // namespace ovra_runner
