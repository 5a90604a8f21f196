// The runner's check compares whole reports through these helpers: a pattern that matches too much would
// make it blind, one that matches too little would fail it on a sound runner.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "ovra/deep_check/report_text.hpp"

namespace ovra_tests::deep::runner {
namespace {

struct LineCase {
    std::string_view pattern;
    std::string_view line;
    bool matches;
};

TEST(ReportText, PatternsStandForNumbersAndAnyTextWithinALine) {
    const LineCase cases[] = {
        {"finished in %d%s", "finished in 0.00s", true},
        {"finished in %d%s", "finished in 12s", true},
        {"finished in %d%s", "finished in s", false},  // a number has a digit at least
        {"finished in %d%s", "finished in 1x2s", false},
        {"thread 'a' (%d%) panicked at %*%:", "thread 'a' (17) panicked at runner/src/x.cpp:107:74:", true},
        {"thread 'a' (%d%) panicked at %*%:", "thread 'a' (17) panicked at x.cpp:1:2", false},
        {"%*%", "", true},
        {"a%*%b%*%c", "a-b-b-c", true},  // the first token gives way to a later match
        {"a%*%b", "a-c", false},
        {"test x ... ok", "test x ... FAILED", false},
        {"test x ... ok", "test x ... ok ", false},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(line_matches(c.pattern, c.line), c.matches) << c.pattern << " against " << c.line;
    }
}

TEST(ReportText, TheFirstMismatchNamesItsLineAndAMissingLine) {
    EXPECT_FALSE(first_mismatch("a\n%d%\n", "a\n7\n"));
    const auto differs = first_mismatch("a\nb\nc", "a\nx\nc");
    ASSERT_TRUE(differs);
    EXPECT_EQ(differs->line, 2U);
    EXPECT_EQ(differs->expected, "b");
    EXPECT_EQ(differs->got, "x");
    const auto longer = first_mismatch("a", "a\nb");
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->line, 2U);
    EXPECT_EQ(longer->expected, "(the end of the report)");
}

// Two failures and a pass, finished in another order than their names'; the second failure's block has no
// empty line after it.
constexpr std::string_view finished_out_of_order = R"(
running 3 tests
test b ... FAILED
test c ... ok
test a ... FAILED

failures:

---- b stdout ----
note: b
---- a stdout ----
a said
---- a stderr ----
more

---- c stdout ----
c


failures:
    a
    b

test result: FAILED. 1 passed; 2 failed; 0 ignored; 0 measured; 0 filtered out; finished in 0.00s
)";

constexpr std::string_view in_names_order = R"(
running 3 tests
test a ... FAILED
test b ... FAILED
test c ... ok

failures:

---- a stdout ----
a said
---- a stderr ----
more

---- b stdout ----
note: b
---- c stdout ----
c


failures:
    a
    b

test result: FAILED. 1 passed; 2 failed; 0 ignored; 0 measured; 0 filtered out; finished in 0.00s
)";

TEST(ReportText, ResultsAndFailureBlocksArePutInNameOrder) {
    EXPECT_EQ(in_name_order(finished_out_of_order), in_names_order);
    EXPECT_EQ(in_name_order(in_names_order), in_names_order);
    const std::string_view passed = "\nrunning 1 test\ntest a ... ok\n\ntest result: ok. 1 passed\n";
    EXPECT_EQ(in_name_order(passed), passed);
}

TEST(ReportText, BacktracesHintsAndTestOutputCanBeTakenOut) {
    std::size_t removed = 0;
    EXPECT_EQ(without_line("a\nhint\nb\nhint", "hint", removed), "a\nb");
    EXPECT_EQ(removed, 2U);
    EXPECT_EQ(
        without_backtraces("failed\nstack backtrace:\n   0: f\n             at x.cpp:1\n  10: g\n\nnext"),
        "failed\n\nnext");
    EXPECT_EQ(without_backtraces("Error: e\n\nStack backtrace:\n   0: f\n---- b stdout ----"),
              "Error: e\n---- b stdout ----");
    EXPECT_EQ(without_test_output(R"({ "name": "a", "event": "failed", "stdout": "x \"y\" \\" })"
                                  "\n{ \"name\": \"b\" }"),
              "{ \"name\": \"a\", \"event\": \"failed\" }\n{ \"name\": \"b\" }");
    EXPECT_EQ(without_test_output("<testcase><system-out><![CDATA[x]]></system-out></testcase><system-out/>"),
              "<testcase></testcase><system-out/>");
}

}  // namespace
}  // namespace ovra_tests::deep::runner
