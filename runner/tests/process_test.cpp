#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "ovra/test_support/child_process.hpp"

namespace ovra_runner::testing {
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
        // Help is help, even where a runner's child would run its test.
        ProcessCase{"help_where_a_child_would_run",
                    {"--help"},
                    {"OVRA_TEST_INVOKE=diagnostic::tests::randomized_alpha_passes"},
                    0,
                    "Usage: ",
                    ""},
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
            "but got 7\n"},
        // Limits up to u64 milliseconds are limits no test reaches; nothing overflows on the way.
        ProcessCase{"largest_time_unit_in_nanoseconds",
                    {"alpha", "--ensure-time"},
                    {"OVRA_TEST_TIME_UNIT=9223372036854776,9223372036854776"},
                    0,
                    "\nrunning 1 test\ntest diagnostic::tests::randomized_alpha_passes ... ok <0.",
                    ""},
        ProcessCase{"largest_time_unit",
                    {"alpha", "--ensure-time"},
                    {"OVRA_TEST_TIME_UNIT=18446744073709551615,18446744073709551615"},
                    0,
                    "\nrunning 1 test\ntest diagnostic::tests::randomized_alpha_passes ... ok <0.",
                    ""},
        ProcessCase{
            "time_unit_past_u64",
            {"alpha", "--ensure-time"},
            {"OVRA_TEST_TIME_UNIT=1,18446744073709551616"},
            101,
            "",
            "error: Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got "
            "18446744073709551616\n"}),
    [](const ::testing::TestParamInfo<ProcessCase>& info) { return std::string(info.param.label); });

constexpr const char* disk_full =
    "error: io error when listing tests: No space left on device (os error 28)\n";
constexpr const char* reader_gone = "error: io error when listing tests: Broken pipe (os error 32)\n";
constexpr const char* log_warning = "warning: `--logfile` is deprecated\n";

struct LostReportCase {
    const char* label;
    std::vector<std::string> args;
    ovra_test_support::ChildStdout stdout_mode;
    std::string err;  // exact
};

void PrintTo(const LostReportCase& row, std::ostream* stream) {
    *stream << row.label;
}

class LostReport : public ::testing::TestWithParam<LostReportCase> {};

// A report that nobody received is a failed run, whatever the tests did: one line, status 101, no signal. Each
// format's handling of a failed write is checked in-process (LostWrite, run_loop_test.cpp); these rows are
// the system's own refusals, which only a real process meets.
TEST_P(LostReport, EndsTheRunWithOneErrorLineAndStatus101) {
    const LostReportCase& row = GetParam();
    ovra_test_support::ChildOptions options;
    options.stdout_mode = row.stdout_mode;
    const ProcessResult result = ovra_test_support::run_child(OVRA_RUNNER_DEMO, row.args, options);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.status, 101) << result.err;
    EXPECT_EQ(result.err, row.err);
}

using ovra_test_support::ChildStdout;

INSTANTIATE_TEST_SUITE_P(
    Streams, LostReport,
    ::testing::Values(
        LostReportCase{"passing_run_on_a_full_disk", {"alpha"}, ChildStdout::DevFull, disk_full},
        LostReportCase{"log_on_a_full_disk",
                       {"alpha", "--logfile", "/dev/full"},
                       ChildStdout::Captured,
                       std::string(log_warning) + disk_full},
        LostReportCase{"listing_log_on_a_full_disk",
                       {"--list", "--logfile", "/dev/full"},
                       ChildStdout::Captured,
                       std::string(log_warning) + disk_full},
        LostReportCase{"run_to_a_closed_pipe", {"alpha"}, ChildStdout::ClosedPipe, reader_gone},
        LostReportCase{"no_capture_run_to_a_closed_pipe",
                       {"--no-capture", "--test-threads", "1"},
                       ChildStdout::ClosedPipe,
                       reader_gone}),
    [](const ::testing::TestParamInfo<LostReportCase>& info) { return std::string(info.param.label); });

std::filesystem::path scratch_file(std::string_view label) {
    return std::filesystem::temp_directory_path() /
           fmt::format("ovra_runner_{}_{}_{}.log", label, ::getpid(),
                       ::testing::UnitTest::GetInstance()->random_seed());
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

TEST(LogFile, GetsOnlyItsOwnLinesWhenStdoutIsClosedAtStart) {
    const std::filesystem::path path = scratch_file("closed_stdout");
    ovra_test_support::ChildOptions options;
    options.stdout_mode = ChildStdout::Closed;
    const ProcessResult result =
        ovra_test_support::run_child(OVRA_RUNNER_DEMO, {"alpha", "--logfile", path.string()}, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, log_warning);
    EXPECT_EQ(read_file(path), "ok diagnostic::tests::randomized_alpha_passes\n");
    std::filesystem::remove(path);
}

TEST(LogFile, IsLeftAsItWasWhenTheEnvironmentIsRefused) {
    const std::filesystem::path path = scratch_file("refused_environment");
    std::ofstream(path) << "an earlier run's log\n";
    const ProcessResult result = run_demo_process({"--logfile", path.string()}, {"OVRA_TEST_THREADS=abc"});
    EXPECT_EQ(result.status, 101);
    EXPECT_EQ(result.err, std::string(log_warning) +
                              "error: OVRA_TEST_THREADS is `abc`, should be a positive integer.\n");
    EXPECT_EQ(read_file(path), "an earlier run's log\n");
    std::filesystem::remove(path);
}

// Run as an unprivileged user allowed one process, the runner can start no worker thread at all; it runs
// every test on its own thread instead.
TEST(WorkerThreads, ThatTheSystemRefusesLeaveTheTestsToTheCallingThread) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer's runtime starts a thread of its own, which the limit would refuse";
#else
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the runner as another user under a process limit";
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        GTEST_SKIP() << "no user `nobody` to run the runner as";
    }
    ovra_test_support::ChildOptions options;
    options.user = ovra_test_support::ChildUser{nobody->pw_uid, nobody->pw_gid, 1};
    // LeakSanitizer's exit check needs a thread of its own too.
    options.environment = {"ASAN_OPTIONS=detect_leaks=0"};
    const ProcessResult result =
        ovra_test_support::run_child(OVRA_RUNNER_DEMO, {"--test-threads", "4"}, options);
    if (result.status == ovra_test_support::could_not_start_status) {
        GTEST_SKIP() << result.err;
    }
    EXPECT_EQ(result.status, 101) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out.starts_with("\nrunning 4 tests\n")) << result.out;
    EXPECT_NE(result.out.find("test diagnostic::tests::randomized_alpha_passes ... ok\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("test result: FAILED. 1 passed; 2 failed; 1 ignored;"), std::string::npos)
        << result.out;
#endif
}

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
}  // namespace ovra_runner::testing
