// The project's executable under the runner: each test in a process of its own reports as it does in-process,
// and parallel workers change only the completion order, never the verdict.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "ovra/test_support/child_process.hpp"

namespace {

constexpr int runs = 20;

// Masks the figure of "finished in S.SSs" (g++ 12 warns falsely inside std::regex, so no regex here).
std::string without_duration(std::string report) {
    constexpr std::string_view label = "finished in ";
    for (std::size_t at = report.find(label); at != std::string::npos; at = report.find(label, at + 1)) {
        const std::size_t figure = at + label.size();
        const std::size_t end = report.find('s', figure);
        if (end != std::string::npos) {
            report.replace(figure, end - figure, "<duration>");
        }
    }
    return report;
}

// Each test in a process of its own checks the same cases and reports them in the same words.
TEST(Determinism, IsolatedReportMatchesTheInProcessOne) {
    const ovra_test_support::ChildOutcome in_process =
        ovra_test_support::run_child(OVRA_TRIVIAL_TEST, {"--test-threads", "1"});
    const ovra_test_support::ChildOutcome isolated =
        ovra_test_support::run_child(OVRA_TRIVIAL_TEST, {"--isolate", "--test-threads", "1"});
    ASSERT_EQ(isolated.status, 0) << isolated.out << isolated.err;
    EXPECT_EQ(isolated.err, "");
    EXPECT_EQ(without_duration(isolated.out), without_duration(in_process.out));
}

TEST(Determinism, ParallelRunsAllPass) {
    for (int run = 0; run < runs; ++run) {
        const ovra_test_support::ChildOutcome outcome = ovra_test_support::run_child(OVRA_TRIVIAL_TEST, {});
        ASSERT_EQ(outcome.status, 0) << "run " << run << "\n" << outcome.out << outcome.err;
        EXPECT_NE(
            outcome.out.find("test result: ok. 3 passed; 0 failed; 0 ignored; 0 measured; 0 filtered out"),
            std::string::npos)
            << outcome.out;
    }
}

}  // namespace
