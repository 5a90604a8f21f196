#include "terse_formatter.hpp"

#include <fmt/format.h>

#include "report_lines.hpp"

namespace ovra_runner {

namespace {

// Lines are cut regularly so that line-buffered readers see progress.
constexpr std::size_t max_column = 88;

void write_progress(TerseFormatter& formatter, Console& console) {
    write_out(console, fmt::format(" {}/{}\n", formatter.test_count, formatter.plan.tests.size()));
    formatter.test_column = 0;
}

void write_short_result(TerseFormatter& formatter, Console& console, std::string_view mark, Color color) {
    write_colored(console, formatter.plan.use_color, mark, color);
    ++formatter.test_column;
    ++formatter.test_count;
    if (formatter.test_column % max_column == max_column - 1) {
        write_progress(formatter, console);
    }
}

// A failure gets a line of its own with the name, so it is seen before the run ends.
void write_failed(TerseFormatter& formatter, Console& console, std::string_view name) {
    if (formatter.test_column != 0) {
        write_progress(formatter, console);
    }
    ++formatter.test_count;
    write_out(console, fmt::format("{} --- ", name));
    write_colored(console, formatter.plan.use_color, "FAILED", Color::Red);
    write_out(console, "\n");
}

}  // namespace

void write(TerseFormatter& formatter, Console& console, const RunStarted&) {
    write_out(console, run_header(formatter.plan));
}

void write(TerseFormatter& formatter, Console& console, const TestRunningLong& step) {
    write_out(console, long_running_text(formatter.plan, step.test));
}

void write(TerseFormatter& formatter, Console& console, const TestFinished& step) {
    switch (step.completed.kind) {
        case ResultKind::Passed:
            write_short_result(formatter, console, ".", Color::Green);
            return;
        case ResultKind::Ignored:
            write_short_result(formatter, console, "i", Color::Yellow);
            return;
        case ResultKind::Failed:
        case ResultKind::TimeLimitExceeded:
            break;
    }
    write_failed(formatter, console, step.completed.test.name);
}

void write(TerseFormatter& formatter, Console& console, const RunFinished& step) {
    write_run_summary(formatter.plan, console, step.summary);
}

void write(TerseFormatter&, Console& console, const TestListed& step) {
    write_out(console, listed_test_line(step.test));
}

}  // namespace ovra_runner
