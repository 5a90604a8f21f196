// Turns the run loop's events into a report through the plan's formatter, and lists tests.
#pragma once

#include "log_file.hpp"
#include "run_plan.hpp"
#include "run_state.hpp"
#include "terminal.hpp"

namespace ovra_runner {

// Runs and reports the plan's tests; true when none failed. `log` is the `--logfile` file or null. A failed
// write to either is kept in the terminal (see `report_failure`).
bool report_run(RunState& state, LogFile* log);

void report_listing(const RunPlan& plan, Terminal& terminal, LogFile* log);

}  // namespace ovra_runner
