// The steps of a report, in the order they happen: the run loop's events, then the end of the run that the
// reporter adds; or the steps of a listing. Formatters turn them into text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>

#include "ovra/runner/test_descriptor.hpp"
#include "run_summary.hpp"
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

struct RunFinished {
    const RunSummary& summary;
};

struct ListingStarted {};
struct TestListed {
    const TestDescriptor& test;
};
struct ListingFinished {
    const ListingSummary& summary;
};

}  // namespace ovra_runner
