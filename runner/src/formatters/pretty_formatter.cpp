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

void write_time(const PrettyFormatter& formatter, Console& console, std::chrono::nanoseconds exec_time) {
    if (!formatter.time_options) {
        return;
    }
    const std::string text = fmt::format(" <{:.3f}s>", std::chrono::duration<double>(exec_time).count());
    if (console.use_color && is_critical(*formatter.time_options, exec_time)) {
        write_colored(console, text, Color::Red);
    } else if (console.use_color && is_warn(*formatter.time_options, exec_time)) {
        write_colored(console, text, Color::Yellow);
    } else {
        write_out(console, text);
    }
}

void write_result_word(Console& console, const CompletedTest& completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            write_colored(console, "ok", Color::Green);
            return;
        case ResultKind::Failed:
            write_colored(console, "FAILED", Color::Red);
            return;
        case ResultKind::TimeLimitExceeded:
            write_colored(console, "FAILED (time limit exceeded)", Color::Red);
            return;
        case ResultKind::Ignored:
            break;
    }
    if (completed.test.ignore_message) {
        write_colored(console, fmt::format("ignored, {}", *completed.test.ignore_message), Color::Yellow);
    } else {
        write_colored(console, "ignored", Color::Yellow);
    }
}

}  // namespace

void write(PrettyFormatter&, Console& console, const RunStarted& step) {
    write_out(console, run_header(step.test_count, step.shuffle_seed));
}

void write(PrettyFormatter& formatter, Console& console, const TestStarted& step) {
    if (!formatter.is_multithreaded) {
        write_test_name(console, step.test);
    }
}

void write(PrettyFormatter&, Console& console, const TestRunningLong& step) {
    write_out(console, long_running_text(step.test.name, step.after));
}

void write(PrettyFormatter& formatter, Console& console, const TestFinished& step) {
    if (formatter.is_multithreaded) {
        write_test_name(console, step.completed.test);
    }
    write_result_word(console, step.completed);
    if (step.completed.kind != ResultKind::Ignored) {
        write_time(formatter, console, step.completed.exec_time);
    }
    write_out(console, "\n");
}

void write(PrettyFormatter& formatter, Console& console, const RunFinished& step) {
    write_run_summary(console, step.summary, formatter.show_passing_output);
}

void write(PrettyFormatter&, Console& console, const TestListed& step) {
    write_out(console, listed_test_line(step.test));
}

void write(PrettyFormatter&, Console& console, const ListingFinished& step) {
    write_out(console, listing_summary(step.summary));
}

}  // namespace ovra_runner
