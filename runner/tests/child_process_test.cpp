// A child process from start to end as the project's tests start one (test_support on the runner's own
// pipes, environment and wait): how it ended, what it wrote, the environment it saw, a deadline it overran.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "ovra/test_support/child_process.hpp"

namespace ovra_runner::testing {
namespace {

using namespace std::chrono_literals;

struct ChildCase {
    const char* label;
    const char* script;
    std::vector<std::string> environment;
    std::chrono::milliseconds deadline;
    ovra_test_support::ChildOutcome expected;
};

void PrintTo(const ChildCase& row, std::ostream* stream) {
    *stream << row.label;
}

class ShellChild : public ::testing::TestWithParam<ChildCase> {};

TEST_P(ShellChild, EndsAndWritesAsItDid) {
    // Inherited, then replaced by the caller's entry or left out as a variable of the runner's own.
    ASSERT_EQ(::setenv("OVRA_CHILD_TEST_INHERITED", "parent", 1), 0);
    ASSERT_EQ(::setenv("CHILD_TEST_SHARED", "parent", 1), 0);
    const ChildCase& row = GetParam();
    ovra_test_support::ChildOptions options;
    options.environment = row.environment;
    options.deadline = row.deadline;
    const ovra_test_support::ChildOutcome actual =
        ovra_test_support::run_child("/bin/sh", {"-c", row.script}, options);
    EXPECT_EQ(actual.status, row.expected.status);
    EXPECT_EQ(actual.signal, row.expected.signal);
    EXPECT_EQ(actual.timed_out, row.expected.timed_out);
    EXPECT_EQ(actual.out, row.expected.out);
    EXPECT_EQ(actual.err, row.expected.err);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ShellChild,
    ::testing::Values(
        ChildCase{"exit_status", "exit 3", {}, 10s, {3, 0, false, "", ""}},
        ChildCase{"both_streams_apart", "echo out; echo err >&2; echo more", {}, 10s, {0, 0, false, "out\nmore\n", "err\n"}},
        // More than a pipe holds, so the wait must read while the child writes.
        ChildCase{"more_than_a_pipe_holds",
                  "head -c 200000 /dev/zero | tr '\\0' x; echo done >&2",
                  {},
                  10s,
                  {0, 0, false, std::string(200000, 'x'), "done\n"}},
        ChildCase{"killed_by_a_signal", "kill -TERM $$", {}, 10s, {-1, SIGTERM, false, "", ""}},
        ChildCase{"overran_its_deadline", "echo started; exec sleep 30", {}, 200ms, {-1, 0, true, "started\n", ""}},
        ChildCase{"environment",
                  "echo \"${OVRA_CHILD_TEST_INHERITED-unset} $CHILD_TEST_SHARED $CHILD_TEST_ADDED\"",
                  {"CHILD_TEST_SHARED=caller", "CHILD_TEST_ADDED=added"},
                  10s,
                  {0, 0, false, "unset caller added\n", ""}}),
    [](const ::testing::TestParamInfo<ChildCase>& info) { return std::string(info.param.label); });

TEST(ShellChild, ThatCannotStartSaysWhy) {
    const ovra_test_support::ChildOutcome actual = ovra_test_support::run_child("/nonexistent/program", {});
    EXPECT_EQ(actual.status, ovra_test_support::could_not_start_status);
    EXPECT_EQ(actual.err, "cannot start /nonexistent/program: No such file or directory");
}

}  // namespace
}  // namespace ovra_runner::testing
