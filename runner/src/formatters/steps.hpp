// The steps a formatter is told: the run loop's events (events.hpp), the end of a run, and a listing.
#pragma once

#include "../console.hpp"
#include "../events.hpp"
#include "../run_plan.hpp"
#include "../run_summary.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

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
