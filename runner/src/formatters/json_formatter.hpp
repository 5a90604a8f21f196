// One JSON object per line and event, in the key order tools read.
#pragma once

#include "../console.hpp"
#include "../events.hpp"
#include "steps.hpp"

namespace ovra_runner {

struct JsonFormatter {
    bool show_passing_output = false;
    // `--report-time` or `--ensure-time`: every result carries its time.
    bool report_time = false;
};

// The steps this format shows; `tell` (formatter.hpp) passes over the others.
void write(JsonFormatter& formatter, Console& console, const RunStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestRunningLong& step);
void write(JsonFormatter& formatter, Console& console, const TestFinished& step);
void write(JsonFormatter& formatter, Console& console, const RunFinished& step);
void write(JsonFormatter& formatter, Console& console, const ListingStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestListed& step);
void write(JsonFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
