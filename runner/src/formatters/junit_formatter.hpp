// A JUnit XML document, written whole on one line when the run ends, in the shape the tools that read JUnit
// count right: one <testcase> per test, an ignored one holding <skipped>, a failure's first line in its
// message, every test's time and the suite's, the suite named after the executable. A listing has no JUnit
// shape; it lists as the pretty format does.
#pragma once

#include "../console.hpp"
#include "../events.hpp"
#include "../run_plan.hpp"

namespace ovra_runner {

struct JunitFormatter {
    const RunPlan& plan;
};

// The document holds the finished tests, which the run's summary keeps until the end.
inline void write(JunitFormatter&, Console&, const RunStarted&) {}
inline void write(JunitFormatter&, Console&, const TestStarted&) {}
void write(JunitFormatter& formatter, Console& console, const TestRunningLong& step);
inline void write(JunitFormatter&, Console&, const TestFinished&) {}
void write(JunitFormatter& formatter, Console& console, const RunFinished& step);
inline void write(JunitFormatter&, Console&, const ListingStarted&) {}
void write(JunitFormatter& formatter, Console& console, const TestListed& step);
void write(JunitFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
