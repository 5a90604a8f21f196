#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "demo_tests.hpp"
#include "integer_text.hpp"
#include "ovra/runner/options.hpp"
#include "run_helpers.hpp"

namespace ovra_runner::testing {
namespace {

std::expected<CommandLine, std::string> parse(const std::vector<std::string>& args) {
    std::vector<std::string_view> views{"./runner"};
    views.insert(views.end(), args.begin(), args.end());
    return parse_command_line(views);
}

TestOptions parse_options(const std::vector<std::string>& args) {
    const auto parsed = parse(args);
    if (!parsed) {
        ADD_FAILURE() << parsed.error();
        return {};
    }
    if (!std::holds_alternative<TestOptions>(*parsed)) {
        ADD_FAILURE() << "help requested";
        return {};
    }
    return std::get<TestOptions>(*parsed);
}

struct RejectedCase {
    std::vector<std::string> args;
    const char* message;
};

void PrintTo(const RejectedCase& row, std::ostream* stream) {
    *stream << row.message;
}

class RejectedCommandLine : public ::testing::TestWithParam<RejectedCase> {};

// Faults beyond the recorded ones: clusters, inline values, and which fault wins when there are several.
TEST_P(RejectedCommandLine, ReportsTheFirstFault) {
    const auto parsed = parse(GetParam().args);
    ASSERT_FALSE(parsed.has_value());
    EXPECT_EQ(parsed.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RejectedCommandLine,
    ::testing::Values(
        RejectedCase{{"-qx"}, "Unrecognized option: 'x'"},
        RejectedCase{{"--bogus=1"}, "Unrecognized option: 'bogus'"},
        RejectedCase{{"-Z"}, "Argument to option 'Z' missing"},
        RejectedCase{{"--logfile"}, "Argument to option 'logfile' missing"},
        RejectedCase{{"-h=1"}, "Unrecognized option: '='"},
        RejectedCase{{"--help=1"}, "Option 'help' does not take an argument"},
        RejectedCase{
            {"--shuffle-seed", "18446744073709551616"},
            "argument for --shuffle-seed must be a number (error: number too large to fit in target type)"},
        RejectedCase{{"--shuffle-seed", "-1"},
                     "argument for --shuffle-seed must be a number (error: invalid digit found in string)"},
        RejectedCase{
            {"--test-threads", "+"},
            "argument for --test-threads must be a number > 0 (error: invalid digit found in string)"},
        // Parsing faults come before duplicates, duplicates before values.
        RejectedCase{{"--format", "a", "--format", "b", "--bogus"}, "Unrecognized option: 'bogus'"},
        RejectedCase{{"--color", "x", "--color", "y"}, "Option 'color' given more than once"},
        RejectedCase{{"--format", "xml", "--color", "purple"},
                     "argument for --color must be auto, always, or never (was purple)"},
        RejectedCase{{"--test-threads", "0", "--ignored", "--include-ignored"},
                     "the options --include-ignored and --ignored are mutually exclusive"},
        RejectedCase{{"-Zfoo", "--test-threads", "0"}, "Unrecognized option to `Z`"},
        RejectedCase{{"--nocapture", "--nocapture"}, "Option 'nocapture' given more than once"},
        // An empty long name is named as such, not as a NUL letter.
        RejectedCase{{"--=x"}, "Unrecognized option: ''"}, RejectedCase{{"--="}, "Unrecognized option: ''"}));

TEST(AcceptedCommandLine, ReadsValuesInEveryForm) {
    const TestOptions options =
        parse_options({"--test-threads=3", "-qZunstable-options", "--skip", "--list", "--skip=b",
                       "--shuffle-seed", "+5", "a", "-", "--", "--exact", "-q"});
    EXPECT_EQ(options.test_threads, 3U);
    EXPECT_EQ(options.format, OutputFormat::Terse);
    EXPECT_EQ(options.skip, (std::vector<std::string>{"--list", "b"}));
    EXPECT_FALSE(options.list);
    EXPECT_EQ(options.shuffle_seed, 5U);
    EXPECT_FALSE(options.filter_exact);
    EXPECT_EQ(options.filters, (std::vector<std::string>{"a", "-", "--exact", "-q"}));
}

TEST(AcceptedCommandLine, KeepsTheStandardRunnersImplications) {
    EXPECT_EQ(parse_options({"-q", "--format", "json"}).format, OutputFormat::Json);
    EXPECT_EQ(parse_options({"-q", "--format", "pretty"}).format, OutputFormat::Pretty);
    EXPECT_FALSE(parse_options({"--bench"}).run_tests);
    EXPECT_TRUE(parse_options({"--bench", "--test"}).run_tests);
    EXPECT_TRUE(parse_options({"--nocapture"}).nocapture);
    EXPECT_TRUE(parse_options({"--no-capture", "--nocapture"}).nocapture);
    EXPECT_EQ(parse_options({"--ignored"}).run_ignored, RunIgnored::Only);
    EXPECT_EQ(parse_options({"--include-ignored"}).run_ignored, RunIgnored::Yes);
    // A one-letter long name is the letter.
    const auto help = parse({"--h"});
    ASSERT_TRUE(help.has_value());
    EXPECT_TRUE(std::holds_alternative<HelpRequest>(*help));
}

struct IntegerCase {
    const char* text;
    std::optional<std::uint64_t> value;
    IntegerTextError error;
};

void PrintTo(const IntegerCase& row, std::ostream* stream) {
    *stream << '"' << row.text << '"';
}

class IntegerText : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerText, ReadsOrNamesTheFault) {
    const auto parsed = parse_unsigned(GetParam().text);
    if (GetParam().value) {
        ASSERT_TRUE(parsed.has_value()) << describe(parsed.error());
        EXPECT_EQ(*parsed, *GetParam().value);
    } else {
        ASSERT_FALSE(parsed.has_value());
        EXPECT_EQ(parsed.error(), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntegerText,
    ::testing::Values(IntegerCase{"0", 0, {}}, IntegerCase{"+7", 7, {}},
                      IntegerCase{"18446744073709551615", 18446744073709551615ULL, {}},
                      IntegerCase{"18446744073709551616", std::nullopt, IntegerTextError::TooLarge},
                      IntegerCase{"99999999999999999999x", std::nullopt, IntegerTextError::TooLarge},
                      IntegerCase{"1x9999999999999999999999", std::nullopt, IntegerTextError::InvalidDigit},
                      IntegerCase{"", std::nullopt, IntegerTextError::Empty},
                      IntegerCase{"-", std::nullopt, IntegerTextError::InvalidDigit},
                      IntegerCase{"++1", std::nullopt, IntegerTextError::InvalidDigit},
                      IntegerCase{" 1", std::nullopt, IntegerTextError::InvalidDigit}));

struct EnvironmentCase {
    const char* label;
    std::vector<std::string> args;
    std::optional<std::string> threads;
    std::optional<std::string> time_unit;
    int status;
    const char* err;
};

void PrintTo(const EnvironmentCase& row, std::ostream* stream) {
    *stream << row.label;
}

class EnvironmentValues : public ::testing::TestWithParam<EnvironmentCase> {};

// Malformed variables are command-line faults, not crashes; they matter only where they are used.
TEST_P(EnvironmentValues, AreCheckedWhereTheyAreUsed) {
    const EnvironmentCase& row = GetParam();
    RunEnvironment environment = quiet_environment();
    environment.test_threads = row.threads;
    environment.test_time_unit = row.time_unit;
    const RunOutput output = run_table(ovra_runner_demo::demo_table(), row.args, environment);
    EXPECT_EQ(output.status, row.status) << output.out;
    EXPECT_EQ(output.err, row.err);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, EnvironmentValues,
    ::testing::Values(
        EnvironmentCase{"threads_word",
                        {"alpha"},
                        "abc",
                        {},
                        101,
                        "error: OVRA_TEST_THREADS is `abc`, should be a positive integer.\n"},
        EnvironmentCase{"threads_zero",
                        {"alpha"},
                        "0",
                        {},
                        101,
                        "error: OVRA_TEST_THREADS is `0`, should be a positive integer.\n"},
        EnvironmentCase{"threads_empty",
                        {"alpha"},
                        "",
                        {},
                        101,
                        "error: OVRA_TEST_THREADS is ``, should be a positive integer.\n"},
        EnvironmentCase{"threads_fine", {"alpha"}, "3", {}, 0, ""},
        EnvironmentCase{"threads_overridden", {"alpha", "--test-threads", "1"}, "abc", {}, 0, ""},
        EnvironmentCase{"threads_unused_by_listing", {"--list"}, "abc", {}, 0, ""},
        EnvironmentCase{"time_unused_without_option", {"alpha"}, {}, "junk", 0, ""},
        EnvironmentCase{
            "time_one_number",
            {"alpha", "--report-time"},
            {},
            "5",
            101,
            "error: Duration variable OVRA_TEST_TIME_UNIT expected to have 2 numbers separated by comma, "
            "but got 5\n"},
        EnvironmentCase{
            "time_word",
            {"alpha", "--ensure-time"},
            {},
            "5,x",
            101,
            "error: Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got x\n"},
        EnvironmentCase{"time_reversed",
                        {"alpha", "--ensure-time"},
                        {},
                        "10,5",
                        101,
                        "error: Test execution warn time should be less or equal to the critical time\n"},
        EnvironmentCase{"time_fine", {"alpha", "--ensure-time"}, {}, "5000,10000", 0, ""},
        // Warn may equal critical.
        EnvironmentCase{"time_equal", {"alpha", "--report-time"}, {}, "5,5", 0, ""},
        EnvironmentCase{"time_largest",
                        {"alpha", "--ensure-time"},
                        {},
                        "18446744073709551615,18446744073709551615",
                        0,
                        ""},
        EnvironmentCase{
            "time_past_u64",
            {"alpha", "--report-time"},
            {},
            "1,18446744073709551616",
            101,
            "error: Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got "
            "18446744073709551616\n"}),
    [](const ::testing::TestParamInfo<EnvironmentCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace ovra_runner::testing
