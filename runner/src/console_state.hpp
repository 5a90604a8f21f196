// The record every formatter reads: the counts and the kept outputs of a run, or of a listing.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ovra/runner/options.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests {

struct ConsoleState {
    const TestOptions* options = nullptr;
    std::size_t total = 0;
    std::size_t passed = 0;
    std::size_t failed = 0;
    std::size_t ignored = 0;
    std::size_t measured = 0;
    std::size_t filtered_out = 0;
    // Each with the output the test wrote (and, for a failure with a note, the note).
    std::vector<std::pair<TestDescriptor, std::string>> failures;
    std::vector<std::pair<TestDescriptor, std::string>> not_failures;
    std::vector<std::pair<TestDescriptor, std::string>> time_failures;
    std::optional<std::chrono::nanoseconds> exec_time;
};

struct DiscoveryState {
    std::size_t tests = 0;
    std::size_t benchmarks = 0;
    std::size_t ignored = 0;
};

}  // namespace ovra_tests
