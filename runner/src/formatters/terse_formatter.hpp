// One character per test ("." passed, "i" ignored), failures on lines of their own, progress " k/N" at the
// end of every line.
#pragma once

#include <cstddef>

#include "../console.hpp"
#include "../events.hpp"
#include "steps.hpp"

namespace ovra_runner {

struct TerseFormatter {
    bool show_passing_output = false;
    std::size_t total_test_count = 0;
    // Results written so far, and characters on the current line.
    std::size_t test_count = 0;
    std::size_t test_column = 0;
};

// The steps this format shows; `tell` (formatter.hpp) passes over the others.
void write(TerseFormatter& formatter, Console& console, const RunStarted& step);
void write(TerseFormatter& formatter, Console& console, const TestRunningLong& step);
void write(TerseFormatter& formatter, Console& console, const TestFinished& step);
void write(TerseFormatter& formatter, Console& console, const RunFinished& step);
void write(TerseFormatter& formatter, Console& console, const TestListed& step);

}  // namespace ovra_runner
