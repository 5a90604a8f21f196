// What the run loop reports, in the order it happens; the reporter turns these into text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>

#include "ovra/runner/test_descriptor.hpp"
#include "test_result.hpp"

namespace ovra_runner {

struct RunStarted {
    std::size_t test_count;
    std::optional<std::uint64_t> shuffle_seed;
};
struct TestStarted {
    TestDescriptor test;
};
struct TestRunningLong {
    TestDescriptor test;
    std::chrono::milliseconds after;
};
struct TestFinished {
    CompletedTest completed;
};

using RunEvent = std::variant<RunStarted, TestStarted, TestRunningLong, TestFinished>;

}  // namespace ovra_runner
