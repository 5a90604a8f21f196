#include "pretty_formatter.hpp"

#include <fmt/format.h>

#include "report_lines.hpp"

namespace ovra_runner {

namespace {

void write_test_name(Console& console, const TestDescriptor& test) {
    if (test.should_panic) {
        write_out(console, fmt::format("test {} - should panic ... ", test.name));
    } else {
        write_out(console, fmt::format("test {} ... ", test.name));
    }
}

void write_time(const RunPlan& plan, Console& console, std::chrono::nanoseconds exec_time) {
    if (!plan.time_limits) {
        return;
    }
    const std::string text = fmt::format(" <{:.3f}s>", std::chrono::duration<double>(exec_time).count());
    if (is_critical(*plan.time_limits, exec_time)) {
        write_colored(console, plan.use_color, text, Color::Red);
    } else if (is_warn(*plan.time_limits, exec_time)) {
        write_colored(console, plan.use_color, text, Color::Yellow);
    } else {
        write_out(console, text);
    }
}

void write_result_word(const RunPlan& plan, Console& console, const CompletedTest& completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            write_colored(console, plan.use_color, "ok", Color::Green);
            return;
        case ResultKind::Failed:
            write_colored(console, plan.use_color, "FAILED", Color::Red);
            return;
        case ResultKind::TimeLimitExceeded:
            write_colored(console, plan.use_color, "FAILED (time limit exceeded)", Color::Red);
            return;
        case ResultKind::Ignored:
            break;
    }
    const std::string word = completed.test.ignore_message
                                 ? fmt::format("ignored, {}", *completed.test.ignore_message)
                                 : std::string("ignored");
    write_colored(console, plan.use_color, word, Color::Yellow);
}

}  // namespace

void write(PrettyFormatter& formatter, Console& console, const RunStarted&) {
    write_out(console, run_header(formatter.plan));
}

void write(PrettyFormatter& formatter, Console& console, const TestStarted& step) {
    if (formatter.plan.workers == 1) {
        write_test_name(console, step.test);
    }
}

void write(PrettyFormatter& formatter, Console& console, const TestRunningLong& step) {
    write_out(console, long_running_text(formatter.plan, step.test));
}

void write(PrettyFormatter& formatter, Console& console, const TestFinished& step) {
    if (formatter.plan.workers > 1) {
        write_test_name(console, step.completed.test);
    }
    write_result_word(formatter.plan, console, step.completed);
    if (step.completed.kind != ResultKind::Ignored) {
        write_time(formatter.plan, console, step.completed.exec_time);
    }
    write_out(console, "\n");
}

void write(PrettyFormatter& formatter, Console& console, const RunFinished& step) {
    write_run_summary(formatter.plan, console, step.summary);
}

void write(PrettyFormatter&, Console& console, const TestListed& step) {
    write_out(console, listed_test_line(step.test));
}

void write(PrettyFormatter& formatter, Console& console, const ListingFinished&) {
    write_out(console, listing_summary(formatter.plan));
}

}  // namespace ovra_runner
