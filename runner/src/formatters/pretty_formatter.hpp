// One line per test: "test NAME ... ok", then the failures and the summary.
#pragma once

#include "../console.hpp"
#include "../events.hpp"
#include "../run_plan.hpp"

namespace ovra_runner {

struct PrettyFormatter {
    const RunPlan& plan;
};

void write(PrettyFormatter& formatter, Console& console, const RunStarted& step);
// With several workers a line is written whole when its test ends; with one, the name goes out first so
// that the running test is visible.
void write(PrettyFormatter& formatter, Console& console, const TestStarted& step);
void write(PrettyFormatter& formatter, Console& console, const TestRunningLong& step);
void write(PrettyFormatter& formatter, Console& console, const TestFinished& step);
void write(PrettyFormatter& formatter, Console& console, const RunFinished& step);
// A listing starts with its first test.
inline void write(PrettyFormatter&, Console&, const ListingStarted&) {}
void write(PrettyFormatter& formatter, Console& console, const TestListed& step);
void write(PrettyFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
