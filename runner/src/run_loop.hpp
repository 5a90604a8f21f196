// Filters and orders the table, runs the tests on a pool of workers and emits one event per step. It prints
// nothing itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "events.hpp"
#include "ovra/runner/options.hpp"
#include "run_test.hpp"

namespace ovra_tests {

// The tests the options select, ascending by name, with `ignore` cleared where the options run ignored tests.
std::vector<TestDescriptor> filter_tests(const TestOptions& options, std::span<const TestDescriptor> table);

struct RunSettings {
    std::size_t concurrency = 1;
    // `--bench` without `--test`: every test is reported as ignored.
    bool force_ignore = false;
    bool fail_fast = false;
    std::optional<std::uint64_t> shuffle_seed;
    std::chrono::milliseconds long_running_after{std::chrono::seconds(60)};
    TestRunContext test_context;
};

// Events reach `emit` on the calling thread only, in the order they happen. After a finished test, `emit`
// returning false starts no further test (tests still running are waited for).
void run_test_loop(std::span<const TestDescriptor> table, const TestOptions& options,
                   const RunSettings& settings, const std::function<bool(const RunEvent&)>& emit);

}  // namespace ovra_tests
