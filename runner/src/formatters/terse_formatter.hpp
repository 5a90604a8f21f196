// One character per test ("." passed, "i" ignored), failures on lines of their own, progress " k/N" at the
// end of every line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "../console_state.hpp"
#include "../events.hpp"
#include "../terminal.hpp"

namespace ovra_tests {

struct TerseFormatter {
    std::size_t total_test_count = 0;
    // Results written so far, and characters on the current line.
    std::size_t test_count = 0;
    std::size_t test_column = 0;
};

void write_run_start(TerseFormatter& formatter, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed);
void write_test_start(TerseFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_timeout(TerseFormatter& formatter, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after);
void write_result(TerseFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState& state);
bool write_run_finish(TerseFormatter& formatter, Terminal& terminal, const ConsoleState& state);

void write_discovery_start(TerseFormatter& formatter, Terminal& terminal);
void write_test_discovered(TerseFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_discovery_finish(TerseFormatter& formatter, Terminal& terminal, const DiscoveryState& state);

}  // namespace ovra_tests
