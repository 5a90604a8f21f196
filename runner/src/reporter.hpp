// Turns the run loop's events into the report: the plan's formatter writes them, the log file gets a line per
// result, and the counts and finished tests gather for the summary. A listing is reported here too.
#pragma once

#include <chrono>

#include "console.hpp"
#include "events.hpp"
#include "formatters/formatter.hpp"
#include "log_file.hpp"
#include "run_plan.hpp"
#include "run_summary.hpp"

namespace ovra_runner {

struct Reporter {
    const RunPlan& plan;
    AnyFormatter formatter;
    Console& console;
    // The `--logfile` file, where there is one.
    LogFile& log;
    RunSummary summary;
};

Reporter make_reporter(const RunPlan& plan, Console& console, LogFile& log);

// False once the report can no longer be written: the tests still to start would run for nobody. A failed
// write to either side is kept in the console (see `first_failed_write`).
bool report(Reporter& reporter, const RunEvent& event);

// Writes the summary of a run that took `exec_time`; true when no test failed.
bool report_end(Reporter& reporter, std::chrono::nanoseconds exec_time);

void report_listing(const RunPlan& plan, Console& console, LogFile& log);

}  // namespace ovra_runner
