#include "terse_formatter.hpp"

#include <fmt/format.h>

#include "report_lines.hpp"

namespace ovra_runner {

namespace {

// Lines are cut regularly so that line-buffered readers see progress.
constexpr std::size_t max_column = 88;

void write_progress(TerseFormatter& formatter, Terminal& terminal) {
    write_out(terminal, fmt::format(" {}/{}\n", formatter.test_count, formatter.total_test_count));
    formatter.test_column = 0;
}

void write_short_result(TerseFormatter& formatter, Terminal& terminal, std::string_view mark, Color color) {
    write_colored(terminal, mark, color);
    ++formatter.test_column;
    ++formatter.test_count;
    if (formatter.test_column % max_column == max_column - 1) {
        write_progress(formatter, terminal);
    }
}

// A failure gets a line of its own with the name, so it is seen before the run ends.
void write_failed(TerseFormatter& formatter, Terminal& terminal, std::string_view name) {
    if (formatter.test_column != 0) {
        write_progress(formatter, terminal);
    }
    ++formatter.test_count;
    write_out(terminal, fmt::format("{} --- ", name));
    write_colored(terminal, "FAILED", Color::Red);
    write_out(terminal, "\n");
}

struct TerseEvents {
    TerseFormatter& formatter;
    Terminal& terminal;

    void operator()(const RunStarted& event) const {
        formatter.total_test_count = event.test_count;
        write_out(terminal, run_header(event.test_count, event.shuffle_seed));
    }
    void operator()(const TestStarted&) const {}
    void operator()(const TestRunningLong& event) const {
        write_out(terminal, long_running_text(event.test.name, event.after));
    }
    void operator()(const ResultReported& event) const {
        switch (classify(event.completed.result).kind) {
            case ResultKind::Passed:
                write_short_result(formatter, terminal, ".", Color::Green);
                return;
            case ResultKind::Ignored:
                write_short_result(formatter, terminal, "i", Color::Yellow);
                return;
            case ResultKind::Failed:
            case ResultKind::TimeLimitExceeded:
                break;
        }
        write_failed(formatter, terminal, event.completed.test.name);
    }
    void operator()(const RunFinished& event) const {
        write_run_summary(terminal, event.state, formatter.show_passing_output);
    }
    void operator()(const ListingStarted&) const {}
    void operator()(const TestListed& event) const { write_out(terminal, listed_test_line(event.test)); }
    void operator()(const ListingFinished&) const {}
};

}  // namespace

void write_event(TerseFormatter& formatter, Terminal& terminal, const FormatterEvent& event) {
    std::visit(TerseEvents{formatter, terminal}, event);
}

}  // namespace ovra_runner
