// What the summary at the end of a run reads beside the plan: the counts and the finished tests. A table holds
// tests alone, so the standard runner's counts of benchmarks and of measured ones are always 0 and written as
// such.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include "test_result.hpp"

namespace ovra_runner {

struct RunSummary {
    std::size_t passed = 0;
    std::size_t failed = 0;
    std::size_t ignored = 0;
    // Every finished test, in the order they finished: the failure blocks, `--show-output` and the JUnit
    // document read them here.
    std::vector<CompletedTest> results;
    std::optional<std::chrono::nanoseconds> exec_time;
};

}  // namespace ovra_runner
