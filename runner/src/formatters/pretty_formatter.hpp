// One line per test: "test NAME ... ok", then the failures and the summary.
#pragma once

#include <optional>

#include "../console.hpp"
#include "../events.hpp"
#include "../time_options.hpp"
#include "steps.hpp"

namespace ovra_runner {

struct PrettyFormatter {
    // With several workers a line is written whole when its test ends; with one, the name goes out first so
    // that the running test is visible.
    bool is_multithreaded = false;
    std::optional<TimeOptions> time_options;
    bool show_passing_output = false;
};

// The steps this format shows; `tell` (formatter.hpp) passes over the others.
void write(PrettyFormatter& formatter, Console& console, const RunStarted& step);
void write(PrettyFormatter& formatter, Console& console, const TestStarted& step);
void write(PrettyFormatter& formatter, Console& console, const TestRunningLong& step);
void write(PrettyFormatter& formatter, Console& console, const TestFinished& step);
void write(PrettyFormatter& formatter, Console& console, const RunFinished& step);
void write(PrettyFormatter& formatter, Console& console, const TestListed& step);
void write(PrettyFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
