// The record every formatter reads: the counts and the kept outputs of a run, or of a listing.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

// A test whose output the summary may show, with the note of a failure that has one.
struct KeptOutput {
    TestDescriptor test;
    std::string output;
    std::string note;
};

struct ConsoleState {
    std::size_t total = 0;
    std::size_t passed = 0;
    std::size_t failed = 0;
    std::size_t ignored = 0;
    std::size_t measured = 0;
    std::size_t filtered_out = 0;
    std::vector<KeptOutput> failures;
    std::vector<KeptOutput> not_failures;
    std::vector<KeptOutput> time_failures;
    std::optional<std::chrono::nanoseconds> exec_time;
};

struct DiscoveryState {
    std::size_t tests = 0;
    std::size_t benchmarks = 0;
    std::size_t ignored = 0;
};

}  // namespace ovra_runner
