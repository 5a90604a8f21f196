#include "pretty_formatter.hpp"

#include <fmt/format.h>

#include "shared_text.hpp"

namespace ovra_tests {

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

struct ResultWord {
    Terminal& terminal;
    const TestDescriptor& test;

    void operator()(const TestPassed&) const { write_colored(terminal, "ok", Color::Green); }
    void operator()(const TestFailed&) const { write_colored(terminal, "FAILED", Color::Red); }
    void operator()(const TestFailedWithNote&) const { write_colored(terminal, "FAILED", Color::Red); }
    void operator()(const TestIgnored&) const {
        if (test.ignore_message) {
            write_colored(terminal, fmt::format("ignored, {}", *test.ignore_message), Color::Yellow);
        } else {
            write_colored(terminal, "ignored", Color::Yellow);
        }
    }
    void operator()(const TestTimeLimitExceeded&) const {
        write_colored(terminal, "FAILED (time limit exceeded)", Color::Red);
    }
};

}  // namespace

void write_run_start(PrettyFormatter&, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed) {
    write_out(terminal, run_header(test_count, shuffle_seed));
}

void write_test_start(PrettyFormatter& formatter, Terminal& terminal, const TestDescriptor& test) {
    if (!formatter.is_multithreaded) {
        write_test_name(terminal, test);
    }
}

void write_timeout(PrettyFormatter&, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after) {
    write_out(terminal, long_running_text(test.name, after));
}

void write_result(PrettyFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState&) {
    if (formatter.is_multithreaded) {
        write_test_name(terminal, completed.test);
    }
    std::visit(ResultWord{terminal, completed.test}, completed.result);
    write_time(formatter, terminal, completed.exec_time);
    write_out(terminal, "\n");
}

bool write_run_finish(PrettyFormatter&, Terminal& terminal, const ConsoleState& state) {
    return write_run_summary(terminal, state);
}

void write_discovery_start(PrettyFormatter&, Terminal&) {}

void write_test_discovered(PrettyFormatter&, Terminal& terminal, const TestDescriptor& test) {
    write_out(terminal, fmt::format("{}: test\n", test.name));
}

void write_discovery_finish(PrettyFormatter&, Terminal& terminal, const DiscoveryState& state) {
    if (state.tests != 0 || state.benchmarks != 0) {
        write_out(terminal, "\n");
    }
    write_out(terminal, fmt::format("{}, {}\n", count_of(state.tests, "test"),
                                    count_of(state.benchmarks, "benchmark")));
}

}  // namespace ovra_tests
