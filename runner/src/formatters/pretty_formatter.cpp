#include "pretty_formatter.hpp"

#include <fmt/format.h>

#include "report_lines.hpp"

namespace ovra_runner {

namespace {

void write_test_name(Terminal& terminal, const TestDescriptor& test) {
    if (test.should_panic) {
        write_out(terminal, fmt::format("test {} - should panic ... ", test.name));
    } else {
        write_out(terminal, fmt::format("test {} ... ", test.name));
    }
}

void write_time(const PrettyFormatter& formatter, Terminal& terminal,
                const std::optional<std::chrono::nanoseconds>& exec_time) {
    if (!formatter.time_options || !exec_time) {
        return;
    }
    const std::string text = fmt::format(" <{:.3f}s>", std::chrono::duration<double>(*exec_time).count());
    if (terminal.use_color && is_critical(*formatter.time_options, *exec_time)) {
        write_colored(terminal, text, Color::Red);
    } else if (terminal.use_color && is_warn(*formatter.time_options, *exec_time)) {
        write_colored(terminal, text, Color::Yellow);
    } else {
        write_out(terminal, text);
    }
}

void write_result_word(Terminal& terminal, const CompletedTest& completed) {
    switch (classify(completed.result).kind) {
        case ResultKind::Passed:
            write_colored(terminal, "ok", Color::Green);
            return;
        case ResultKind::Failed:
            write_colored(terminal, "FAILED", Color::Red);
            return;
        case ResultKind::TimeLimitExceeded:
            write_colored(terminal, "FAILED (time limit exceeded)", Color::Red);
            return;
        case ResultKind::Ignored:
            break;
    }
    if (completed.test.ignore_message) {
        write_colored(terminal, fmt::format("ignored, {}", *completed.test.ignore_message), Color::Yellow);
    } else {
        write_colored(terminal, "ignored", Color::Yellow);
    }
}

struct PrettyEvents {
    PrettyFormatter& formatter;
    Terminal& terminal;

    void operator()(const RunStarted& event) const {
        write_out(terminal, run_header(event.test_count, event.shuffle_seed));
    }
    void operator()(const TestStarted& event) const {
        if (!formatter.is_multithreaded) {
            write_test_name(terminal, event.test);
        }
    }
    void operator()(const TestRunningLong& event) const {
        write_out(terminal, long_running_text(event.test.name, event.after));
    }
    void operator()(const ResultReported& event) const {
        if (formatter.is_multithreaded) {
            write_test_name(terminal, event.completed.test);
        }
        write_result_word(terminal, event.completed);
        write_time(formatter, terminal, event.completed.exec_time);
        write_out(terminal, "\n");
    }
    void operator()(const RunFinished& event) const {
        write_run_summary(terminal, event.state, formatter.show_passing_output);
    }
    void operator()(const ListingStarted&) const {}
    void operator()(const TestListed& event) const { write_out(terminal, listed_test_line(event.test)); }
    void operator()(const ListingFinished& event) const { write_out(terminal, listing_summary(event.state)); }
};

}  // namespace

void write_event(PrettyFormatter& formatter, Terminal& terminal, const FormatterEvent& event) {
    std::visit(PrettyEvents{formatter, terminal}, event);
}

}  // namespace ovra_runner
