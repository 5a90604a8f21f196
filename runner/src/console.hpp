// Turns the run loop's events into a report through the chosen formatter, and lists tests.
#pragma once

#include <optional>
#include <span>

#include "log_file.hpp"
#include "ovra/runner/options.hpp"
#include "run_loop.hpp"
#include "terminal.hpp"
#include "time_options.hpp"

namespace ovra_tests {

// Runs and reports the tests; true when none failed. `log` is the `--logfile` file or null. A failed write
// to either is kept in the terminal (see `report_failure`).
bool run_tests_console(std::span<const TestDescriptor> table, const TestOptions& options,
                       const RunSettings& settings, Terminal& terminal, LogFile* log);

void list_tests_console(std::span<const TestDescriptor> table, const TestOptions& options, Terminal& terminal,
                        LogFile* log);

}  // namespace ovra_tests
