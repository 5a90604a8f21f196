// Runs an executable as a child process with its output streams captured and a deadline, for tests that
// check exit statuses and what a program prints.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ovra/descriptor/descriptor.hpp"

namespace ovra_test_support {

struct ChildOutcome {
    // The exit status, or -1 when the child was killed by a signal or by the deadline.
    int status = -1;
    // The signal that ended the child, or 0.
    int signal = 0;
    bool timed_out = false;
    std::string out;
    std::string err;
};

// Where the child's standard output goes. Only `Captured` fills `ChildOutcome::out`.
enum class ChildStdout {
    Captured,
    // /dev/full: every write fails with "No space left on device".
    DevFull,
    // A pipe whose reading end is closed before the child starts, as when a reader went away.
    ClosedPipe,
    // Descriptor 1 closed (`>&-`).
    Closed,
    // The file at `ChildOptions::stdout_path`, created or emptied first.
    File,
};

// A user to run the child as, with a limit on that user's processes and threads (RLIMIT_NPROC). Needs root.
struct ChildUser {
    uid_t uid = 0;
    gid_t gid = 0;
    unsigned long max_processes = 0;
};

// A resource limit (soft and hard) the child starts under, as `ulimit` sets it.
struct ResourceLimit {
    int resource = 0;
    std::uint64_t value = 0;
};

struct ChildOptions {
    // "NAME=value" entries added to the environment, each replacing an inherited variable of that name.
    std::vector<std::string> environment;
    // A child still running then is killed.
    std::chrono::milliseconds deadline{std::chrono::seconds(60)};
    ChildStdout stdout_mode = ChildStdout::Captured;
    std::string stdout_path;
    std::optional<ChildUser> user;
    std::vector<ResourceLimit> limits;
    // Signals the child starts with ignored, as a shell's `trap '' SIGNAL` leaves them.
    std::vector<int> ignored_signals;
};

// The status `run_child` gives a child that could not be started or set up as asked (limits, user); `err`
// then says why.
inline constexpr int could_not_start_status = 127;

// Starts `program` with `arguments` (argv[1] onward). The child inherits this process's environment without
// the variables starting with OVRA_, so the caller's shell cannot change the outcome, plus
// `options.environment`.
ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const ChildOptions& options);

// A child started by `start_child` and not yet waited for: for tests that act on it while it runs.
struct StartedChild {
    // -1 when it could not be started; `error` then says why.
    pid_t pid = -1;
    // Its standard output (when captured) and standard error.
    std::array<ovra_descriptor::Descriptor, 2> streams;
    std::chrono::steady_clock::time_point deadline;
    std::string error;
};

// `run_child` in two halves: start the child, then read its streams and wait for it.
StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildOptions& options);
ChildOutcome finish_child(StartedChild& child);

ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment = {},
                       std::chrono::milliseconds deadline = std::chrono::seconds(60));

}  // namespace ovra_test_support
