#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "demo_tests.hpp"
#include "options.hpp"
#include "run_helpers.hpp"
#include "run_plan.hpp"

namespace ovra_runner::testing {
namespace {

struct Surroundings {
    std::optional<std::string> threads;
    std::optional<std::string> time_unit;
    bool terminal = false;
};

std::expected<RunPlan, std::string> resolve(const std::vector<std::string>& args,
                                            const Surroundings& around = {}) {
    std::vector<std::string_view> views{"./runner"};
    views.insert(views.end(), args.begin(), args.end());
    RunEnvironment environment = quiet_environment();
    if (around.threads) {
        environment.variables["OVRA_TEST_THREADS"] = *around.threads;
    }
    if (around.time_unit) {
        environment.variables["OVRA_TEST_TIME_UNIT"] = *around.time_unit;
    }
    environment.stdout_is_terminal = around.terminal;
    auto parsed = parse_command_line(views, environment).command_line;
    if (!parsed) {
        return std::unexpected(parsed.error());
    }
    if (!std::holds_alternative<RunPlan>(*parsed)) {
        ADD_FAILURE() << "not a run's command line";
        return std::unexpected(std::string("unparsed"));
    }
    RunPlan plan = std::move(std::get<RunPlan>(*parsed));
    select_tests(ovra_runner_demo::demo_table(), plan);
    return plan;
}

struct RefusedCase {
    const char* label;
    std::vector<std::string> args;
    Surroundings around;
    const char* message;
};

void PrintTo(const RefusedCase& row, std::ostream* stream) {
    *stream << row.label;
}

class RefusedPlan : public ::testing::TestWithParam<RefusedCase> {};

// The plan is where the surroundings are checked: the first wrong setting, in a fixed order, is the one
// reported, with the message the variable's own setter words.
TEST_P(RefusedPlan, NamesTheFirstWrongSetting) {
    const auto plan = resolve(GetParam().args, GetParam().around);
    ASSERT_FALSE(plan.has_value());
    EXPECT_EQ(plan.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RefusedPlan,
    ::testing::Values(
        RefusedCase{"threads_word",
                    {},
                    {"many", {}, false},
                    "OVRA_TEST_THREADS is `many`, should be a positive integer."},
        RefusedCase{
            "threads_zero", {}, {"0", {}, false}, "OVRA_TEST_THREADS is `0`, should be a positive integer."},
        RefusedCase{
            "threads_empty", {}, {"", {}, false}, "OVRA_TEST_THREADS is ``, should be a positive integer."},
        RefusedCase{"threads_too_large",
                    {},
                    {"18446744073709551616", {}, false},
                    "OVRA_TEST_THREADS is `18446744073709551616`, should be a positive integer."},
        RefusedCase{
            "time_unit_before_threads",
            {"--report-time"},
            {"x", "1", false},
            "Duration variable OVRA_TEST_TIME_UNIT expected to have 2 numbers separated by comma, but got 1"},
        RefusedCase{"time_unit_warn_word",
                    {"--ensure-time"},
                    {{}, "a,1", false},
                    "Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got a"},
        RefusedCase{"time_unit_empty_critical",
                    {"--ensure-time"},
                    {{}, "1,", false},
                    "Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got "},
        RefusedCase{"time_unit_reversed",
                    {"--report-time"},
                    {{}, "2,1", false},
                    "Test execution warn time should be less or equal to the critical time"},
        RefusedCase{"time_unit_past_u64",
                    {"--report-time"},
                    {{}, "1,18446744073709551616", false},
                    "Duration value in variable OVRA_TEST_TIME_UNIT is expected to be a number, but got "
                    "18446744073709551616"}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.label); });

struct AcceptedCase {
    const char* label;
    std::vector<std::string> args;
    Surroundings around;
};

void PrintTo(const AcceptedCase& row, std::ostream* stream) {
    *stream << row.label;
}

class AcceptedPlan : public ::testing::TestWithParam<AcceptedCase> {};

// A variable is read only where it is used: one its option overrides, or one for time limits nobody asked
// for, cannot refuse a run; thresholds may be equal and as large as a u64.
TEST_P(AcceptedPlan, IgnoresVariablesItDoesNotUse) {
    const auto plan = resolve(GetParam().args, GetParam().around);
    EXPECT_TRUE(plan.has_value()) << plan.error();
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AcceptedPlan,
    ::testing::Values(AcceptedCase{"threads_overridden", {"--test-threads", "1"}, {"abc", {}, false}},
                      AcceptedCase{"time_unit_without_time_option", {}, {{}, "junk", false}},
                      AcceptedCase{"time_unit_equal", {"--report-time"}, {{}, "5,5", false}},
                      AcceptedCase{"time_unit_largest",
                                   {"--ensure-time"},
                                   {{}, "18446744073709551615,18446744073709551615", false}}),
    [](const ::testing::TestParamInfo<AcceptedCase>& info) { return std::string(info.param.label); });

TEST(ResolvedPlan, ListingReadsNeitherVariable) {
    const auto plan = resolve({"--list", "--report-time"}, {"many", "junk", false});
    ASSERT_TRUE(plan.has_value()) << plan.error();
    EXPECT_EQ(plan->action, PlanAction::List);
    EXPECT_EQ(plan->tests.size(), 4U);
}

TEST(ResolvedPlan, TakesTheWorkerCountFromTheOptionThenTheVariableThenTheHardware) {
    EXPECT_EQ(resolve({"--test-threads", "3"}, {"many", {}, false})->workers, 3U);
    EXPECT_EQ(resolve({}, {"+2", {}, false})->workers, 2U);
    EXPECT_EQ(resolve({})->workers, 4U);
}

TEST(ResolvedPlan, ColoursOnlyWhereAskedOrWhereATerminalShowsTheReportAlone) {
    EXPECT_FALSE(resolve({})->use_color);
    EXPECT_TRUE(resolve({}, {{}, {}, true})->use_color);
    EXPECT_FALSE(resolve({"--no-capture"}, {{}, {}, true})->use_color);
    EXPECT_FALSE(resolve({"--color", "never"}, {{}, {}, true})->use_color);
    EXPECT_TRUE(resolve({"--color", "always", "--no-capture"})->use_color);
}

TEST(ResolvedPlan, SelectsOrdersAndShufflesTheTests) {
    const auto filtered = resolve({"tests::randomized", "--skip", "beta"});
    ASSERT_TRUE(filtered.has_value());
    ASSERT_EQ(filtered->tests.size(), 2U);
    EXPECT_EQ(filtered->tests[0].name, "diagnostic::tests::randomized_alpha_passes");
    EXPECT_EQ(filtered->tests[1].name, "tests::randomized_gamma_returns_error");
    EXPECT_EQ(filtered->filtered_out, 2U);

    // The standard runner's order for seed 7 over the demo's names.
    const auto shuffled = resolve({"--shuffle-seed", "7"});
    ASSERT_TRUE(shuffled.has_value());
    EXPECT_EQ(shuffled->shuffle_seed, 7U);
    ASSERT_EQ(shuffled->tests.size(), 4U);
    EXPECT_EQ(shuffled->tests[0].name, "diagnostic::tests::randomized_beta_fails_eq");
    EXPECT_EQ(shuffled->tests[3].name, "tests::zeta_ignored");

    const auto ignored_too = resolve({"--include-ignored", "zeta"});
    ASSERT_TRUE(ignored_too.has_value());
    ASSERT_EQ(ignored_too->tests.size(), 1U);
    EXPECT_FALSE(ignored_too->tests[0].ignore);
}

TEST(ResolvedPlan, CarriesDisplayFormatAndLimits) {
    const auto plan =
        resolve({"--no-capture", "--show-output", "--format", "json", "--ensure-time", "--bench"},
                {{}, "5,5", false});
    ASSERT_TRUE(plan.has_value()) << plan.error();
    EXPECT_FALSE(plan->display.capture);
    EXPECT_TRUE(plan->display.show_passing_output);
    EXPECT_EQ(plan->format, OutputFormat::Json);
    ASSERT_TRUE(plan->time_limits.has_value());
    EXPECT_TRUE(plan->time_limits->error_on_excess);
    EXPECT_EQ(plan->time_limits->unit.warn_ms, 5U);
    EXPECT_TRUE(plan->selection.ignore_all);
    EXPECT_TRUE(std::all_of(plan->tests.begin(), plan->tests.end(),
                            [](const TestDescriptor& test) { return test.ignore; }));
    EXPECT_TRUE(std::holds_alternative<InProcess>(plan->strategy));
}

}  // namespace
}  // namespace ovra_runner::testing
