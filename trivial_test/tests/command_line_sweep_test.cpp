// Malformed command lines and environments, run against the real executable: each must end in exactly one
// "error: ..." line on standard error and status 101, with nothing on standard output and no hang. Runs whose
// report cannot be delivered end the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "ovra/test_support/child_process.hpp"

namespace {

struct BadInput {
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
};

std::string describe(const BadInput& input) {
    std::string text;
    for (const std::string& variable : input.environment) {
        text += variable + " ";
    }
    for (const std::string& argument : input.arguments) {
        text += "'" + argument + "' ";
    }
    return text;
}

void PrintTo(const BadInput& input, std::ostream* stream) {
    *stream << describe(input);
}

const std::vector<BadInput>& bad_inputs() {
    static const std::vector<BadInput> rows = {
        // Unknown options.
        {{"--bogus"}, {}},
        {{"-x"}, {}},
        {{"--exa"}, {}},
        {{"---"}, {}},
        {{"-Zfoo"}, {}},
        {{"-Z", "bogus"}, {}},
        // Missing values.
        {{"--test-threads"}, {}},
        {{"--format"}, {}},
        {{"--color"}, {}},
        {{"--skip"}, {}},
        {{"--shuffle-seed"}, {}},
        {{"--logfile"}, {}},
        {{"-Z"}, {}},
        // Values given to flags.
        {{"--list=yes"}, {}},
        {{"--exact=1"}, {}},
        {{"--show-output=1"}, {}},
        {{"--include-ignored=yes"}, {}},
        // Doubled options.
        {{"--test-threads", "1", "--test-threads", "2"}, {}},
        {{"--format", "pretty", "--format", "terse"}, {}},
        {{"--color", "never", "--color=always"}, {}},
        {{"-qq"}, {}},
        {{"--quiet", "--quiet"}, {}},
        // Numbers that are not numbers, or too large.
        {{"--test-threads", "0"}, {}},
        {{"--test-threads=0"}, {}},
        {{"--test-threads", "abc"}, {}},
        {{"--test-threads", "-1"}, {}},
        {{"--test-threads", ""}, {}},
        {{"--test-threads="}, {}},
        {{"--test-threads", "1x"}, {}},
        {{"--test-threads", " 1"}, {}},
        {{"--test-threads", "99999999999999999999999"}, {}},
        {{"--shuffle-seed", "abc"}, {}},
        {{"--shuffle-seed", "-5"}, {}},
        {{"--shuffle-seed", "99999999999999999999999"}, {}},
        // Formats and colours that do not exist.
        {{"--format", "xml"}, {}},
        {{"--format", "JSON"}, {}},
        {{"--format="}, {}},
        {{"--color", "purple"}, {}},
        {{"--color", "ALWAYS"}, {}},
        {{"--color="}, {}},
        // Conflicting flags.
        {{"--ignored", "--include-ignored"}, {}},
        // Line ends and escapes in what is quoted back must not break the one-line report.
        {{"-\n"}, {}},
        {{"--color", "a\nb"}, {}},
        {{"--format=\x1b[31mjson"}, {}},
        // A bad thread count from the environment.
        {{}, {"OVRA_TEST_THREADS=abc"}},
        {{}, {"OVRA_TEST_THREADS=0"}},
        {{}, {"OVRA_TEST_THREADS=-3"}},
        {{}, {"OVRA_TEST_THREADS="}},
        // The variable that starts an isolated test's child is the runner's own; it does not make a malformed
        // command line acceptable, and its value is quoted back safely.
        {{"--bogus"}, {"OVRA_TEST_INVOKE=tests::randomized_binding_values_follow_logical_slice_order"}},
        {{}, {"OVRA_TEST_INVOKE=\x1b[31mno\ntest"}},
    };
    return rows;
}

class MalformedCommandLine : public ::testing::TestWithParam<BadInput> {};

TEST_P(MalformedCommandLine, PrintsOneErrorLineAndExits101) {
    const BadInput& input = GetParam();
    // A generous deadline: it guards against hangs, not speed, and sanitizer builds start slowly.
    const ovra_test_support::ChildOutcome outcome = ovra_test_support::run_child(
        OVRA_TRIVIAL_TEST, input.arguments, input.environment, std::chrono::seconds(1));
    EXPECT_FALSE(outcome.timed_out) << describe(input);
    EXPECT_EQ(outcome.status, 101) << describe(input);
    EXPECT_EQ(outcome.out, "") << describe(input);
    EXPECT_TRUE(outcome.err.starts_with("error: ")) << describe(input) << outcome.err;
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << describe(input) << outcome.err;
    EXPECT_EQ(outcome.err.find('\x1b'), std::string::npos) << describe(input) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(Sweep, MalformedCommandLine, ::testing::ValuesIn(bad_inputs()));

using ovra_test_support::ChildStdout;

struct LostReportRun {
    std::vector<std::string> arguments;
    ChildStdout stdout_mode;
    const char* err;
};

void PrintTo(const LostReportRun& run, std::ostream* stream) {
    *stream << describe(BadInput{run.arguments, {}});
}

class LostReport : public ::testing::TestWithParam<LostReportRun> {};

// All three tests pass, yet nobody received the report: that is a failed run, never status 0.
TEST_P(LostReport, IsAFailedRunWithOneErrorLine) {
    const LostReportRun& run = GetParam();
    ovra_test_support::ChildOptions options;
    options.stdout_mode = run.stdout_mode;
    const ovra_test_support::ChildOutcome outcome =
        ovra_test_support::run_child(OVRA_TRIVIAL_TEST, run.arguments, options);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.status, 101);
    EXPECT_EQ(outcome.err, run.err);
}

constexpr const char* disk_full =
    "error: io error when listing tests: No space left on device (os error 28)\n";

INSTANTIATE_TEST_SUITE_P(
    Streams, LostReport,
    ::testing::Values(
        LostReportRun{{}, ChildStdout::DevFull, disk_full},
        LostReportRun{{"--list"}, ChildStdout::DevFull, disk_full},
        LostReportRun{{"--format", "junit"}, ChildStdout::DevFull, disk_full},
        LostReportRun{{"--logfile", "/dev/full"},
                      ChildStdout::Captured,
                      "warning: `--logfile` is deprecated\n"
                      "error: io error when listing tests: No space left on device (os error 28)\n"},
        LostReportRun{
            {}, ChildStdout::ClosedPipe, "error: io error when listing tests: Broken pipe (os error 32)\n"}));

struct ReportedRun {
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    const char* out_contains;
};

void PrintTo(const ReportedRun& run, std::ostream* stream) {
    *stream << describe(BadInput{run.arguments, run.environment});
}

class PassingRun : public ::testing::TestWithParam<ReportedRun> {};

TEST_P(PassingRun, ReportsWhatItRan) {
    const ReportedRun& run = GetParam();
    const ovra_test_support::ChildOutcome outcome =
        ovra_test_support::run_child(OVRA_TRIVIAL_TEST, run.arguments, run.environment);
    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_NE(outcome.out.find(run.out_contains), std::string::npos) << outcome.out;
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PassingRun,
    ::testing::Values(
        // Limits that no test reaches, far past what nanoseconds can count.
        ReportedRun{{"--ensure-time"},
                    {"OVRA_TEST_TIME_UNIT=9223372036854776,9223372036854776"},
                    "test result: ok. 3 passed; 0 failed;"},
        // Tests a filter leaves out are not skipped ones.
        ReportedRun{{"gelu", "--format", "junit"}, {}, "failures=\"0\" tests=\"1\" skipped=\"0\" time=\""},
        // Help is help, even where a runner's child would run its test.
        ReportedRun{{"--help"},
                    {"OVRA_TEST_INVOKE=tests::randomized_binding_values_follow_logical_slice_order"},
                    "Usage: "}));

}  // namespace
