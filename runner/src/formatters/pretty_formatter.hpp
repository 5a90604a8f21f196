// One line per test: "test NAME ... ok", then the failures and the summary.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "../console_state.hpp"
#include "../events.hpp"
#include "../terminal.hpp"
#include "../time_options.hpp"

namespace ovra_tests {

struct PrettyFormatter {
    // With several workers a line is written whole when its test ends; with one, the name goes out first so
    // that the running test is visible.
    bool is_multithreaded = false;
    std::optional<TimeOptions> time_options;
};

void write_run_start(PrettyFormatter& formatter, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed);
void write_test_start(PrettyFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_timeout(PrettyFormatter& formatter, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after);
void write_result(PrettyFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState& state);
bool write_run_finish(PrettyFormatter& formatter, Terminal& terminal, const ConsoleState& state);

void write_discovery_start(PrettyFormatter& formatter, Terminal& terminal);
void write_test_discovered(PrettyFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_discovery_finish(PrettyFormatter& formatter, Terminal& terminal, const DiscoveryState& state);

}  // namespace ovra_tests
