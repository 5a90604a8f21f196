// The steps a formatter is told beyond the run loop's events (events.hpp): the end of a run, and a listing.
#pragma once

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
