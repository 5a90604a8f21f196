// Entry points of the unit-test runner: parse the command line, resolve the run's plan, run the tests on a
// pool of worker threads and report them in one of four formats. Exit status 0 when no test failed, 101
// when one failed, the command line was malformed or the report could not be written.
#pragma once

#include <span>
#include <string_view>

#include "ovra/runner/run_environment.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 101;

// Runs the command line `args` (args[0] is the program name) over `table`; returns the exit status.
int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, const ConsoleWriters& console);

// For a test executable's `main`: reads the process's environment, writes to stdout and stderr (flushed after
// every piece so progress shows live) and returns the exit status. It first makes the inherited process state
// fit for a run: SIGPIPE and SIGXFSZ ignored, so a reader that went away or a file-size limit is a failed
// write like any other; SIGCHLD at its default, so isolated children's statuses can be read; descriptors 0 to
// 2 opened on /dev/null where they are closed, so that no file the run opens takes their place. Running out
// of memory outside any test ends the run with "error: out of memory" and `exit_failure`.
int test_main(std::span<const TestDescriptor> table, int argc, char** argv);

}  // namespace ovra_runner
