// One JSON object per line and event, in the key order tools read.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "../console_state.hpp"
#include "../events.hpp"
#include "../terminal.hpp"

namespace ovra_tests {

struct JsonFormatter {};

void write_run_start(JsonFormatter& formatter, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed);
void write_test_start(JsonFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_timeout(JsonFormatter& formatter, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after);
void write_result(JsonFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState& state);
bool write_run_finish(JsonFormatter& formatter, Terminal& terminal, const ConsoleState& state);

void write_discovery_start(JsonFormatter& formatter, Terminal& terminal);
void write_test_discovered(JsonFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_discovery_finish(JsonFormatter& formatter, Terminal& terminal, const DiscoveryState& state);

}  // namespace ovra_tests
