// JUnit reports read back as the tools that consume them do: the counts the suite claims are the elements it
// holds, every failure says what failed, every test and the suite carry a time, and the suite is named after
// the executable.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/test_descriptor.hpp"
#include "run_helpers.hpp"

namespace ovra_runner::testing {
namespace {


Status fails_a_check_on_two_lines() {
    check(false, "the check failed\nwith a second line");
    return {};
}

Status returns_an_error() {
    return std::unexpected(make_error("the error"));
}

Status throws() {
    throw std::runtime_error("thrown");
}

Status prints_invalid_text() {
    println("raw \x01 and \xff" " bytes");
    check(false, "after printing");
    return {};
}

constexpr std::array table{test_case("j::a_passes", passes),
                           test_case("j::b_fails_a_check", fails_a_check_on_two_lines),
                           test_case("j::c_returns_an_error", returns_an_error),
                           test_case("j::d_throws", throws),
                           ignored(test_case("j::e_ignored_with_reason", passes), "flaky <today> & \"then\""),
                           TestDescriptor{.name = "j::f_ignored", .ignore = true, .function = passes},
                           should_panic(test_case("j::g_should_panic_but_passes", passes)),
                           test_case("j::h_prints_invalid_text", prints_invalid_text)};

struct ReportCase {
    const char* label;
    std::vector<std::string> args;
    int tests;
    int failures;
    int skipped;
};

void PrintTo(const ReportCase& row, std::ostream* stream) {
    *stream << row.label;
}

int count_children(const tinyxml2::XMLElement* parent, const char* name) {
    int count = 0;
    for (const tinyxml2::XMLElement* child = parent->FirstChildElement(name); child != nullptr;
         child = child->NextSiblingElement(name)) {
        ++count;
    }
    return count;
}

class JunitReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(JunitReport, HoldsWhatItCounts) {
    const ReportCase& row = GetParam();
    std::vector<std::string> args{"--format", "junit"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const RunOutput output = run_table(table, args);
    tinyxml2::XMLDocument document;
    ASSERT_EQ(document.Parse(output.out.c_str(), output.out.size()), tinyxml2::XML_SUCCESS) << output.out;
    const tinyxml2::XMLElement* suite = document.FirstChildElement("testsuites")->FirstChildElement("testsuite");
    ASSERT_NE(suite, nullptr);
    EXPECT_STREQ(suite->Attribute("name"), "runner");
    EXPECT_EQ(suite->IntAttribute("tests"), row.tests);
    EXPECT_EQ(suite->IntAttribute("failures"), row.failures);
    EXPECT_EQ(suite->IntAttribute("skipped"), row.skipped);
    EXPECT_GE(suite->DoubleAttribute("time", -1.0), 0.0);
    EXPECT_EQ(count_children(suite, "testcase"), row.tests);
    int failures = 0;
    int skipped = 0;
    for (const tinyxml2::XMLElement* testcase = suite->FirstChildElement("testcase"); testcase != nullptr;
         testcase = testcase->NextSiblingElement("testcase")) {
        EXPECT_GE(testcase->DoubleAttribute("time", -1.0), 0.0) << testcase->Attribute("name");
        if (const tinyxml2::XMLElement* failure = testcase->FirstChildElement("failure")) {
            ++failures;
            const char* message = failure->Attribute("message");
            ASSERT_NE(message, nullptr) << testcase->Attribute("name");
            EXPECT_NE(std::string(message), "") << testcase->Attribute("name");
            EXPECT_EQ(std::string(message).find('\n'), std::string::npos) << message;
        }
        skipped += count_children(testcase, "skipped");
    }
    EXPECT_EQ(failures, row.failures);
    EXPECT_EQ(skipped, row.skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, JunitReport,
    ::testing::Values(ReportCase{"whole_table", {}, 8, 5, 2}, ReportCase{"ignored_run_too", {"--include-ignored"}, 8, 5, 0},
                      ReportCase{"one_test", {"--exact", "j::b_fails_a_check"}, 1, 1, 0},
                      ReportCase{"benchmarks_only", {"--bench"}, 8, 0, 8}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.label); });

// The message is the failure's first line, as each kind of failure words it.
TEST(JunitReport, NamesEachFailureByItsFirstLine) {
    const RunOutput output = run_table(table, {"--format", "junit"});
    for (const char* message : {"message=\"the check failed\"", "message=\"Error: the error\"",
                                "message=\"C++ exception of type std::runtime_error: thrown\"",
                                "message=\"test did not panic as expected\"",
                                "<skipped message=\"flaky &lt;today&gt; &amp; &quot;then&quot;\"/>"}) {
        EXPECT_NE(output.out.find(message), std::string::npos) << message << "\n" << output.out;
    }
}

}  // namespace
}  // namespace ovra_runner::testing
