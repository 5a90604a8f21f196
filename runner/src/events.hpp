// The steps of a report, in the order they happen: the run loop's events, then the end of the run that the
// reporter adds; or the steps of a listing. Formatters turn them into text.
#pragma once

#include <variant>

#include "ovra/runner/test_descriptor.hpp"
#include "run_summary.hpp"

namespace ovra_runner {

// The formatters read the counts, the seed and the thresholds from the plan.
struct RunStarted {};
struct TestStarted {
    TestDescriptor test;
};
struct TestRunningLong {
    TestDescriptor test;
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
struct ListingFinished {};

}  // namespace ovra_runner
