// A JUnit XML document, written whole on one line when the run ends. A listing has no JUnit shape; it lists
// as the pretty format does.
#pragma once

#include <vector>

#include "../console.hpp"
#include "../events.hpp"
#include "steps.hpp"

namespace ovra_runner {

struct JunitFormatter {
    bool show_passing_output = false;
    std::vector<CompletedTest> results;
};

// The steps this format shows; `tell` (formatter.hpp) passes over the others.
void write(JunitFormatter& formatter, Console& console, const TestRunningLong& step);
void write(JunitFormatter& formatter, Console& console, const TestFinished& step);
void write(JunitFormatter& formatter, Console& console, const RunFinished& step);
void write(JunitFormatter& formatter, Console& console, const TestListed& step);
void write(JunitFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
