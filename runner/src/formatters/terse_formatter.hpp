// One character per test ("." passed, "i" ignored), failures on lines of their own, progress " k/N" at the
// end of every line.
#pragma once

#include <cstddef>

#include "../console.hpp"
#include "../events.hpp"
#include "../run_plan.hpp"

namespace ovra_runner {

struct TerseFormatter {
    const RunPlan& plan;
    // Results written so far, and characters on the current line.
    std::size_t test_count = 0;
    std::size_t test_column = 0;
};

void write(TerseFormatter& formatter, Console& console, const RunStarted& step);
// A test shows only by its result's mark.
inline void write(TerseFormatter&, Console&, const TestStarted&) {}
void write(TerseFormatter& formatter, Console& console, const TestRunningLong& step);
void write(TerseFormatter& formatter, Console& console, const TestFinished& step);
void write(TerseFormatter& formatter, Console& console, const RunFinished& step);
// A terse listing is the names alone: no heading, no closing count.
inline void write(TerseFormatter&, Console&, const ListingStarted&) {}
void write(TerseFormatter& formatter, Console& console, const TestListed& step);
inline void write(TerseFormatter&, Console&, const ListingFinished&) {}

}  // namespace ovra_runner
