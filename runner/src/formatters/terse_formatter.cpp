#include "terse_formatter.hpp"

#include <fmt/format.h>

#include "shared_text.hpp"

namespace ovra_tests {

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

}  // namespace

void write_run_start(TerseFormatter& formatter, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed) {
    formatter.total_test_count = test_count;
    write_out(terminal, run_header(test_count, shuffle_seed));
}

void write_test_start(TerseFormatter&, Terminal&, const TestDescriptor&) {}

void write_timeout(TerseFormatter&, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after) {
    write_out(terminal, long_running_text(test.name, after));
}

void write_result(TerseFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState&) {
    if (std::holds_alternative<TestPassed>(completed.result)) {
        write_short_result(formatter, terminal, ".", Color::Green);
    } else if (std::holds_alternative<TestIgnored>(completed.result)) {
        write_short_result(formatter, terminal, "i", Color::Yellow);
    } else {
        write_failed(formatter, terminal, completed.test.name);
    }
}

bool write_run_finish(TerseFormatter&, Terminal& terminal, const ConsoleState& state) {
    return write_run_summary(terminal, state);
}

void write_discovery_start(TerseFormatter&, Terminal&) {}

void write_test_discovered(TerseFormatter&, Terminal& terminal, const TestDescriptor& test) {
    write_out(terminal, fmt::format("{}: test\n", test.name));
}

void write_discovery_finish(TerseFormatter&, Terminal&, const DiscoveryState&) {}

}  // namespace ovra_tests
