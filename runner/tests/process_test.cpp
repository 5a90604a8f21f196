#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ovra/test_support/child_process.hpp"

namespace ovra_tests::testing {
namespace {

using ProcessResult = ovra_test_support::ChildOutcome;

ProcessResult run_demo_process(const std::vector<std::string>& args,
                               const std::vector<std::string>& extra_environment = {}) {
    return ovra_test_support::run_child(OVRA_RUNNER_DEMO, args, extra_environment);
}

struct ProcessCase {
    const char* label;
    std::vector<std::string> args;
    std::vector<std::string> environment;
    int status;
    const char* out_starts_with;
    const char* err;  // exact
};

void PrintTo(const ProcessCase& row, std::ostream* stream) {
    *stream << row.label;
}

class DemoProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(DemoProcess, ExitsWithTheRunnersStatus) {
    const ProcessCase& row = GetParam();
    const ProcessResult result = run_demo_process(row.args, row.environment);
    EXPECT_EQ(result.status, row.status) << result.out << result.err;
    EXPECT_TRUE(result.out.starts_with(row.out_starts_with)) << result.out;
    EXPECT_EQ(result.err, row.err);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, DemoProcess,
    ::testing::Values(
        ProcessCase{"failures", {}, {}, 101, "\nrunning 4 tests\n", ""},
        ProcessCase{"one_pass",
                    {"--exact", "diagnostic::tests::randomized_alpha_passes"},
                    {},
                    0,
                    "\nrunning 1 test\ntest diagnostic::tests::randomized_alpha_passes ... ok\n",
                    ""},
        ProcessCase{"nothing_selected", {"nomatch"}, {}, 0, "\nrunning 0 tests\n", ""},
        ProcessCase{"listing", {"--list"}, {}, 0, "diagnostic::tests::randomized_alpha_passes: test\n", ""},
        ProcessCase{"bad_option", {"--bogus"}, {}, 101, "", "error: Unrecognized option: 'bogus'\n"},
        ProcessCase{"bad_thread_variable",
                    {},
                    {"OVRA_TEST_THREADS=abc"},
                    101,
                    "",
                    "error: OVRA_TEST_THREADS is `abc`, should be a positive integer.\n"},
        ProcessCase{"thread_option_wins",
                    {"alpha", "--test-threads", "2"},
                    {"OVRA_TEST_THREADS=abc"},
                    0,
                    "\nrunning 1 test\n",
                    ""},
        ProcessCase{
            "bad_time_variable",
            {"--ensure-time"},
            {"OVRA_TEST_TIME_UNIT=7"},
            101,
            "",
            "error: Duration variable OVRA_TEST_TIME_UNIT expected to have 2 numbers separated by comma, "
            "but got 7\n"}),
    [](const ::testing::TestParamInfo<ProcessCase>& info) { return std::string(info.param.label); });

TEST(DemoProcess, HelpNamesTheProgramAsInvoked) {
    const ProcessResult result = run_demo_process({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(
        result.out.starts_with(std::string("Usage: ") + OVRA_RUNNER_DEMO + " [OPTIONS] [FILTERS...]\n"))
        << result.out;
}

TEST(DemoProcess, WithoutCaptureEachSideGoesToItsStream) {
    const ProcessResult result = run_demo_process({"--no-capture", "--test-threads", "1"});
    EXPECT_EQ(result.status, 101);
    EXPECT_NE(result.out.find("test diagnostic::tests::randomized_alpha_passes ... hello from alpha\nok\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Error:"), std::string::npos);
    EXPECT_NE(result.err.find("Error: out of range integral type conversion attempted\n"), std::string::npos);
    EXPECT_NE(result.err.find("panicked at runner/tests/demo/demo_tests.cpp:"), std::string::npos)
        << result.err;
}

TEST(DemoProcess, BacktraceReplacesTheHintWhenEnabled) {
    const ProcessResult result = run_demo_process({"beta"}, {"OVRA_BACKTRACE=1"});
    EXPECT_EQ(result.status, 101);
    EXPECT_NE(result.out.find("\nstack backtrace:\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("note: run with"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace ovra_tests::testing
