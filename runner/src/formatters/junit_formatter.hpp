// A JUnit XML document, written whole on one line when the run ends, in the shape the tools that read JUnit
// count right: one <testcase> per test, an ignored one holding <skipped>, a failure's first line in its
// message, every test's time and the suite's, the suite named after the executable. A listing has no JUnit
// shape; it lists as the pretty format does.
#pragma once

#include <string>
#include <vector>

#include "../console.hpp"
#include "../events.hpp"
#include "steps.hpp"

namespace ovra_runner {

struct JunitFormatter {
    bool show_passing_output = false;
    std::string suite_name;
    std::vector<CompletedTest> results;
};

// The steps this format shows; `tell` (formatter.hpp) passes over the others.
void write(JunitFormatter& formatter, Console& console, const TestRunningLong& step);
void write(JunitFormatter& formatter, Console& console, const TestFinished& step);
void write(JunitFormatter& formatter, Console& console, const RunFinished& step);
void write(JunitFormatter& formatter, Console& console, const TestListed& step);
void write(JunitFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
