// One JSON object per line and event, in the key order tools read.
#pragma once

#include "../console.hpp"
#include "../events.hpp"
#include "../run_plan.hpp"

namespace ovra_runner {

struct JsonFormatter {
    const RunPlan& plan;
};

void write(JsonFormatter& formatter, Console& console, const RunStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestRunningLong& step);
void write(JsonFormatter& formatter, Console& console, const TestFinished& step);
void write(JsonFormatter& formatter, Console& console, const RunFinished& step);
void write(JsonFormatter& formatter, Console& console, const ListingStarted& step);
void write(JsonFormatter& formatter, Console& console, const TestListed& step);
void write(JsonFormatter& formatter, Console& console, const ListingFinished& step);

}  // namespace ovra_runner
