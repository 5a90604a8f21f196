// Entry points of the unit-test runner: parse the command line, filter and order the table, run the tests on
// a pool of worker threads and report them in one of four formats. Exit status 0 when no test failed, 101
// when one failed or the command line was malformed.
#pragma once

#include <chrono>
#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 101;

// What the runner reads from its surroundings, gathered in one place so that a run can be reproduced
// in-process.
struct RunEnvironment {
    // Value of OVRA_TEST_THREADS: the worker count when `--test-threads` is not given.
    std::optional<std::string> test_threads;
    // Value of OVRA_TEST_TIME_UNIT: "WARN_MS,CRITICAL_MS" for `--report-time` colours and `--ensure-time`.
    std::optional<std::string> test_time_unit;
    // Worker count when neither the option nor the variable gives one.
    std::size_t hardware_threads = 1;
    // Whether standard output is a terminal (colour with `--color auto`).
    bool stdout_is_terminal = false;
    // Seeds `--shuffle` when no `--shuffle-seed` is given.
    std::chrono::system_clock::time_point now{};
    // A test still running after this long is reported once.
    std::chrono::milliseconds long_running_after{std::chrono::seconds(60)};
};

// The process's environment: variables, hardware threads, whether stdout is a terminal, the clock.
RunEnvironment process_environment();

// A write that did not reach its destination, with the system's error number (errno).
struct IoError {
    int os_error = 0;
};

using WriteResult = std::expected<void, IoError>;

// Where the runner writes. Each call carries a whole piece of an event's text; `out` is the stdout side and
// `err` the stderr side. Calls never overlap. A failed `out` write ends the run: the report would be lost, so
// the run stops and exits 101 with one "error: io error ..." line on the `err` side.
struct ConsoleWriters {
    std::function<WriteResult(std::string_view)> out;
    std::function<WriteResult(std::string_view)> err;
};

// Runs the command line `args` (args[0] is the program name) over `table`; returns the exit status.
int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, const ConsoleWriters& console);

// The same, collecting both sides into strings.
int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, std::string& out, std::string& err);

// For a test executable's `main`: reads the process's environment, writes to stdout and stderr (flushed after
// every piece so progress shows live) and returns the exit status. SIGPIPE is ignored, so a reader that went
// away is a failed write like any other; descriptors 0 to 2 are opened on /dev/null where they are closed,
// so that no file the run opens takes their place.
int test_main(std::span<const TestDescriptor> table, int argc, char** argv);

}  // namespace ovra_tests
