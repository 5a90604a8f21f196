// Runs an executable as a child process with its output streams captured and a deadline, for tests that
// check exit statuses and what a program prints.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace ovra_test_support {

struct ChildOutcome {
    // The exit status, or -1 when the child was killed by a signal or by the deadline.
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
};

// Starts `program` with `arguments` (argv[1] onward). The child inherits this process's environment without
// the variables starting with OVRA_, so the caller's shell cannot change the outcome, plus `environment`
// ("NAME=value" entries). A child still running at `deadline` is killed.
ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment = {},
                       std::chrono::milliseconds deadline = std::chrono::seconds(60));

}  // namespace ovra_test_support
