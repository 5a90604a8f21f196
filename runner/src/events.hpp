// What the run loop reports, in the order it happens; the console turns these into text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "ovra/runner/test_descriptor.hpp"
#include "test_result.hpp"

namespace ovra_runner {

struct CompletedTest {
    TestDescriptor test;
    TestResult result;
    // Measured only when a time option asks for it.
    std::optional<std::chrono::nanoseconds> exec_time;
    std::string output;
};

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
