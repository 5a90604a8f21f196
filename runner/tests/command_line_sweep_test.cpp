// Malformed command lines and environments, run against the demo executable: each must end in exactly one
// "error: ..." line on standard error and status 101, with nothing on standard output and no hang, whatever
// the bytes quoted back. (The messages themselves are checked against the parser, command_line_test.cpp.)
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
        {{"--bogus"}, {"OVRA_TEST_INVOKE=diagnostic::tests::randomized_alpha_passes"}},
        {{}, {"OVRA_TEST_INVOKE=\x1b[31mno\ntest"}},
    };
    return rows;
}

class MalformedCommandLine : public ::testing::TestWithParam<BadInput> {};

TEST_P(MalformedCommandLine, PrintsOneErrorLineAndExits101) {
    const BadInput& input = GetParam();
    // A generous deadline: it guards against hangs, not speed, and sanitizer builds start slowly.
    const ovra_test_support::ChildOutcome outcome = ovra_test_support::run_child(
        OVRA_RUNNER_DEMO, input.arguments, input.environment, std::chrono::seconds(1));
    EXPECT_FALSE(outcome.timed_out) << describe(input);
    EXPECT_EQ(outcome.status, 101) << describe(input);
    EXPECT_EQ(outcome.out, "") << describe(input);
    EXPECT_TRUE(outcome.err.starts_with("error: ")) << describe(input) << outcome.err;
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << describe(input) << outcome.err;
    EXPECT_EQ(outcome.err.find('\x1b'), std::string::npos) << describe(input) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(Sweep, MalformedCommandLine, ::testing::ValuesIn(bad_inputs()));

}  // namespace
