// Text that the pretty and terse formats share.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../console_state.hpp"
#include "../terminal.hpp"

namespace ovra_tests {

// "\nrunning N tests" with the shuffle seed when there is one.
std::string run_header(std::size_t test_count, std::optional<std::uint64_t> shuffle_seed);

// "test NAME has been running for over S seconds\n".
std::string long_running_text(std::string_view name, std::chrono::milliseconds after);

// A blank-separated block of outputs under "KIND:" and then the sorted names under "KIND:" again.
void write_results(Terminal& terminal, const std::vector<std::pair<TestDescriptor, std::string>>& results,
                   std::string_view kind);

// The blocks for `--show-output` and failures, then the "test result:" line; true when no test failed.
bool write_run_summary(Terminal& terminal, const ConsoleState& state);

// "1 test" or "N tests": the plural that listings and headers use.
std::string count_of(std::size_t count, std::string_view noun);

}  // namespace ovra_tests
