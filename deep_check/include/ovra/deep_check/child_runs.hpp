// Programs run as child processes, a few at a time, each within a time limit: what each wrote to its
// standard output and error, together, and how it ended. The kernel sweep runs the deep check itself this
// way, once per kernel.
#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace ovra_tests::deep {

struct ChildRun {
    std::string program;
    // argv, argv[0] included.
    std::vector<std::string> arguments;
    // The whole environment, "NAME=value" each.
    std::vector<std::string> environment;
};

namespace child_end {
struct Exited {
    int status = 0;
};
struct Signalled {
    int signal = 0;
};
// Still running at its time limit, and killed then.
struct TimedOut {};
// The system refused to start it (errno).
struct NotStarted {
    int os_error = 0;
};
}  // namespace child_end

using ChildEnd =
    std::variant<child_end::Exited, child_end::Signalled, child_end::TimedOut, child_end::NotStarted>;

struct ChildResult {
    ChildEnd end;
    // Standard output and standard error as they arrived, cut at 64 KiB.
    std::string output;
};

// Runs every child, at most `at_once` at a time; standard input is /dev/null. Results in the order of `runs`.
std::vector<ChildResult> run_children(std::span<const ChildRun> runs, std::size_t at_once,
                                      std::chrono::milliseconds time_limit);

// "exited with status 3", "was killed by signal 11 (SIGSEGV)", "did not finish within 120 s", ...
std::string describe(const ChildEnd& end, std::chrono::milliseconds time_limit);

}  // namespace ovra_tests::deep
