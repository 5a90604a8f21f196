#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ovra/runner/error.hpp"

namespace ovra_runner {
namespace {

struct ReportCase {
    const char* label;
    std::vector<std::string> causes;
    const char* expected;
};

class ReportWithoutBacktrace : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportWithoutBacktrace, RendersMessageAndCauses) {
    const ReportCase& row = GetParam();
    const Error error{"outer failure", row.causes, std::nullopt};
    EXPECT_EQ(render_report(error), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ReportWithoutBacktrace,
    ::testing::Values(
        ReportCase{"none", {}, "outer failure"},
        ReportCase{"one", {"inner failure"}, "outer failure\n\nCaused by:\n    inner failure"},
        ReportCase{"one_multiline",
                   {"first line\nsecond line"},
                   "outer failure\n\nCaused by:\n    first line\n    second line"},
        // Two causes are already numbered.
        ReportCase{"two", {"middle", "root"}, "outer failure\n\nCaused by:\n    0: middle\n    1: root"},
        ReportCase{
            "three_one_multiline",
            {"middle", "spans\ntwo lines", "root"},
            "outer failure\n\nCaused by:\n    0: middle\n    1: spans\n       two lines\n    2: root"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.label); });

TEST(ReportWithBacktrace, AppendsTrimmedFramesAfterCauses) {
    const Error error{"outer failure", {"inner failure"}, capture_backtrace()};
    const std::string report = render_report(error);
    const std::string head = "outer failure\n\nCaused by:\n    inner failure\n\nStack backtrace:\n";
    ASSERT_EQ(report.substr(0, head.size()), head);
    EXPECT_NE(report.find("   0: "), std::string::npos) << report;
    EXPECT_NE(report.back(), '\n');
    EXPECT_NE(report.back(), ' ');
}

TEST(LibraryErrorConversion, KeepsMessageAndHasNoCause) {
    const Error error = to_error(std::string("view extents are not a valid subset of the shard"));
    EXPECT_EQ(error.message, "view extents are not a valid subset of the shard");
    EXPECT_TRUE(error.causes.empty());
    EXPECT_EQ(render_report(Error{error.message, {}, std::nullopt}), error.message);
}

}  // namespace
}  // namespace ovra_runner
