// One test in a child process of this executable: start it, collect what it writes, end it at a deadline,
// and make sure no child outlives the run.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "../process/child.hpp"

namespace ovra_runner::isolation {

// Names the one test a re-executed child runs; its absence means a normal run.
inline constexpr const char* invoke_variable = "OVRA_TEST_INVOKE";
// The process id of the runner that started the child.
inline constexpr const char* parent_variable = "OVRA_TEST_PARENT";

struct ChildRequest {
    std::string_view test_name;
    // argv[0] as this process received it, so the child sees the same program name.
    std::string_view program_name;
    // Without capture the child writes straight to this process's standard output and error.
    bool capture = true;
    // A child still running after this long is stopped: SIGTERM, then SIGKILL after a short grace.
    std::optional<std::chrono::seconds> timeout;
};

struct ChildRun {
    ChildEnd end;
    std::string out;
    std::string err;
    // From the spawn to the child's end, process start included.
    std::chrono::nanoseconds elapsed;
};

// Starts the child, waits for it and returns how it ended; the error is why it could not be started. From
// the first call on, SIGINT, SIGTERM, SIGHUP and SIGQUIT (those not ignored when it is made) end and reap the
// running children, with whatever they started, before this process ends as the signal asks.
std::expected<ChildRun, std::string> run_in_child(const ChildRequest& request);

// In a child, first thing: dies with its parent even when the parent is killed outright. `parent` is the
// runner that started it, when known; a child that has already lost it exits at once.
void die_with_parent(std::optional<pid_t> parent);

}  // namespace ovra_runner::isolation
