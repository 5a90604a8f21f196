#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "demo_tests.hpp"
#include "integer_text.hpp"
#include "options.hpp"
#include "run_helpers.hpp"

namespace ovra_runner::testing {
namespace {

std::expected<CommandLine, std::string> parse(const std::vector<std::string>& args) {
    std::vector<std::string_view> views{"./runner"};
    views.insert(views.end(), args.begin(), args.end());
    return parse_command_line(views, quiet_environment()).command_line;
}

RunPlan parse_options(const std::vector<std::string>& args) {
    const auto parsed = parse(args);
    if (!parsed) {
        ADD_FAILURE() << parsed.error();
        return {};
    }
    if (!std::holds_alternative<RunPlan>(*parsed)) {
        ADD_FAILURE() << "help requested";
        return {};
    }
    return std::get<RunPlan>(*parsed);
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
    const RunPlan plan = parse_options({"--test-threads=3", "-qZunstable-options", "--skip", "--list",
                                        "--skip=b", "--shuffle-seed", "+5", "a", "-", "--", "--exact", "-q"});
    EXPECT_EQ(plan.workers, 3U);
    EXPECT_EQ(plan.format, OutputFormat::Terse);
    EXPECT_EQ(plan.selection.skip, (std::vector<std::string>{"--list", "b"}));
    EXPECT_EQ(plan.action, PlanAction::Run);
    EXPECT_EQ(plan.shuffle_seed, 5U);
    EXPECT_FALSE(plan.selection.exact);
    EXPECT_EQ(plan.selection.filters, (std::vector<std::string>{"a", "-", "--exact", "-q"}));
}

TEST(AcceptedCommandLine, KeepsTheStandardRunnersImplications) {
    EXPECT_EQ(parse_options({"-q", "--format", "json"}).format, OutputFormat::Json);
    EXPECT_EQ(parse_options({"-q", "--format", "pretty"}).format, OutputFormat::Pretty);
    EXPECT_TRUE(parse_options({"--bench"}).selection.ignore_all);
    EXPECT_FALSE(parse_options({"--bench", "--test"}).selection.ignore_all);
    EXPECT_FALSE(parse_options({"--nocapture"}).display.capture);
    EXPECT_FALSE(parse_options({"--no-capture", "--nocapture"}).display.capture);
    EXPECT_EQ(parse_options({"--ignored"}).selection.run_ignored, RunIgnored::Only);
    EXPECT_EQ(parse_options({"--include-ignored"}).selection.run_ignored, RunIgnored::Yes);
    // A one-letter long name is the letter.
    const auto help = parse({"--h"});
    ASSERT_TRUE(help.has_value());
    EXPECT_TRUE(std::holds_alternative<HelpRequest>(*help));
}

// The help is laid out from the option rows; the recorded text is the layout tools and people know.
TEST(Usage, IsTheRecordedTextLaidOutFromTheOptionRows) {
    std::ifstream file(std::filesystem::path(OVRA_RUNNER_TEST_DATA) / "usage.txt", std::ios::binary);
    const std::string recorded{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(recorded.empty());
    EXPECT_EQ(usage_text("./runner"), recorded);
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

}  // namespace
}  // namespace ovra_runner::testing
