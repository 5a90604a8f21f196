// Report lines that several formats share: the run's header, the long-running notice, the summary blocks and
// the listing's lines.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../console.hpp"
#include "../run_summary.hpp"

namespace ovra_runner {

// "\nrunning N tests" with the shuffle seed when there is one.
std::string run_header(std::size_t test_count, std::optional<std::uint64_t> shuffle_seed);

// "test NAME has been running for over S seconds\n".
std::string long_running_text(std::string_view name, std::chrono::milliseconds after);

// A blank-separated block of outputs (each with its note) under "KIND:" and then the sorted names under
// "KIND:" again.
void write_results(Console& console, const std::vector<CompletedTest>& results, std::string_view kind);

// The passing tests' outputs when `show_passing_output`, the failures' blocks, then the "test result:" line.
void write_run_summary(Console& console, const RunSummary& summary, bool show_passing_output);

// "1 test" or "N tests": the plural that listings and headers use.
std::string count_of(std::size_t count, std::string_view noun);

// A listed test: "NAME: test".
std::string listed_test_line(const TestDescriptor& test);

// The closing line of a plain listing, after a blank line when anything was listed.
std::string listing_summary(const ListingSummary& summary);

}  // namespace ovra_runner
