#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "demo_tests.hpp"
#include "ovra/runner/test_descriptor.hpp"
#include "ovra/test_support/source_location.hpp"

namespace ovra_runner::testing {
namespace {

const std::filesystem::path repo_root = OVRA_REPO_ROOT;

TEST(SourceLocation, EveryDemoTestNamesItsFunction) {
    for (const TestDescriptor& test : ovra_runner_demo::demo_table()) {
        EXPECT_EQ(ovra_test_support::verify_source_location(test, repo_root), std::nullopt) << test.name;
    }
}

struct Mutation {
    const char* label;
    std::function<void(TestDescriptor&)> apply;
};

void PrintTo(const Mutation& row, std::ostream* stream) {
    *stream << row.label;
}

class WrongSourceLocation : public ::testing::TestWithParam<Mutation> {};

TEST_P(WrongSourceLocation, IsReportedWithTheTestName) {
    TestDescriptor test = ovra_runner_demo::demo_table()[0];
    GetParam().apply(test);
    const std::optional<std::string> problem = ovra_test_support::verify_source_location(test, repo_root);
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->starts_with(std::string(test.name) + ": ")) << *problem;
}

INSTANTIATE_TEST_SUITE_P(
    Mutations, WrongSourceLocation,
    ::testing::Values(
        Mutation{"next_line",
                 [](TestDescriptor& t) {
                     ++t.start_line;
                     ++t.end_line;
                 }},
        Mutation{"shifted_right",
                 [](TestDescriptor& t) {
                     ++t.start_col;
                     ++t.end_col;
                 }},
        Mutation{"shifted_left",
                 [](TestDescriptor& t) {
                     --t.start_col;
                     --t.end_col;
                 }},
        Mutation{"inclusive_end", [](TestDescriptor& t) { --t.end_col; }},
        Mutation{"two_lines", [](TestDescriptor& t) { ++t.end_line; }},
        Mutation{"past_the_end",
                 [](TestDescriptor& t) {
                     t.start_line = 100000;
                     t.end_line = 100000;
                 }},
        Mutation{"missing_file", [](TestDescriptor& t) { t.source_file = "runner/tests/demo/none.cpp"; }},
        Mutation{"other_name",
                 [](TestDescriptor& t) { t.name = "diagnostic::tests::randomized_alpha_passez"; }},
        // A longer identifier that merely starts with the name is not the name.
        Mutation{"prefix_only",
                 [](TestDescriptor& t) {
                     t.name = "diagnostic::tests::randomized_alpha_passe";
                     --t.end_col;
                 }}),
    [](const ::testing::TestParamInfo<Mutation>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace ovra_runner::testing
