// What a run reads from its surroundings and where it writes, gathered in one place so that a run can be
// reproduced in-process: the environment's settings, and the two sides of the console.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ovra_runner {

// A file as the system knows it, whichever path names it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct RunEnvironment {
    // The variables that stand in for options (OVRA_TEST_THREADS for `--test-threads`; OVRA_TEST_TIME_UNIT,
    // "WARN_MS,CRITICAL_MS", for `--report-time` and `--ensure-time`), where the surroundings have them.
    std::map<std::string, std::string, std::less<>> variables;
    // Worker count when neither the option nor the variable gives one.
    std::size_t hardware_threads = 1;
    // Whether standard output is a terminal (colour with `--color auto`).
    bool stdout_is_terminal = false;
    // The file standard output writes to: `--logfile` may not name it as well.
    std::optional<FileIdentity> stdout_file;
    // Seeds `--shuffle` when no `--shuffle-seed` is given.
    std::chrono::system_clock::time_point now{};
    // A test still running after this long is reported once.
    std::chrono::milliseconds long_running_after{std::chrono::seconds(60)};
};

// A write that did not reach its destination, with the system's error number (errno).
struct IoError {
    int os_error = 0;
};

// A write that reached its destination whole, or why not.
using IoResult = std::expected<void, IoError>;

// Where the runner writes. Each call carries a whole piece of an event's text; `out` is the stdout side and
// `err` the stderr side. Calls never overlap. A failed `out` write ends the run: the report would be lost, so
// the run stops and exits 101 with one "error: io error ..." line on the `err` side.
struct ConsoleWriters {
    std::function<IoResult(std::string_view)> out;
    std::function<IoResult(std::string_view)> err;
};

}  // namespace ovra_runner
