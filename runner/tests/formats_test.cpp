#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "formatters/json_text.hpp"
#include "formatters/number_text.hpp"
#include "formatters/utf8_text.hpp"
#include "formatters/xml_text.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "run_helpers.hpp"

namespace ovra_runner::testing {
namespace {


Status prints_and_passes() {
    println("tab\there \x01");
    return {};
}

Status fails_an_expected_check() {
    check(false, "expected failure");
    return {};
}

Status prints_a_cdata_end_and_fails() {
    println("x]]>y");
    check(false, "z");
    return {};
}

struct TextCase {
    std::string input;
    std::string expected;
};

void PrintTo(const TextCase& row, std::ostream* stream) {
    *stream << ::testing::PrintToString(row.input);
}

// U+FFFD, the replacement character, in UTF-8.
#define REPLACED "\xef\xbf\xbd"

class LossyUtf8 : public ::testing::TestWithParam<TextCase> {};
TEST_P(LossyUtf8, ReplacesEachMaximalIllFormedPart) {
    EXPECT_EQ(lossy_utf8(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Bytes, LossyUtf8,
    ::testing::Values(TextCase{"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
                               "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
                      TextCase{"a\xff"
                               "b\x80",
                               "a" REPLACED "b" REPLACED},
                      // Cut short, at the end and before another character.
                      TextCase{"\xe2\x82", REPLACED}, TextCase{"\xf0\x9f\x98x", REPLACED "x"},
                      // Overlong, a surrogate, past U+10FFFF: no well-formed sequence starts so.
                      TextCase{"\xc0\xaf", REPLACED REPLACED},
                      TextCase{"\xed\xa0\x80", REPLACED REPLACED REPLACED},
                      TextCase{"\xf4\x90\x80\x80", REPLACED REPLACED REPLACED REPLACED},
                      TextCase{"\xe0\x80\xaf", REPLACED REPLACED REPLACED}));

class JsonEscape : public ::testing::TestWithParam<TextCase> {};
TEST_P(JsonEscape, EscapesWhatJsonRequires) {
    EXPECT_EQ(json_escape(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Strings, JsonEscape,
    ::testing::Values(TextCase{"a\"b\\c", "a\\\"b\\\\c"}, TextCase{"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
                      TextCase{std::string("\x00\x01\x1f\x7f", 4), "\\u0000\\u0001\\u001f\\u007f"},
                      TextCase{"caf\xc3\xa9 / <ok>", "caf\xc3\xa9 / <ok>"},
                      TextCase{std::string("\xff\x00", 2), REPLACED "\\u0000"}));

class CdataLines : public ::testing::TestWithParam<TextCase> {};
TEST_P(CdataLines, KeepsEveryLineInsideItsSection) {
    EXPECT_EQ(cdata_lines(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Outputs, CdataLines,
    ::testing::Values(
        TextCase{"", "<![CDATA[]]>"}, TextCase{"a\n", "<![CDATA[a]]>&#xA;<![CDATA[]]>"},
        TextCase{"]]>", "<![CDATA[]]]]><![CDATA[>]]>"},
        TextCase{"x]]>]]>b\nc", "<![CDATA[x]]]]><![CDATA[>]]]]><![CDATA[>b]]>&#xA;<![CDATA[c]]>"},
        // What XML 1.0 cannot carry at all, raw or escaped.
        TextCase{std::string("\x00\x01\x0b\x7f\t\xff\xef\xbf\xbe\xef\xbf\xbd", 12),
                 "<![CDATA[" REPLACED REPLACED REPLACED "\x7f\t" REPLACED REPLACED REPLACED "]]>"}));

class XmlAttribute : public ::testing::TestWithParam<TextCase> {};
TEST_P(XmlAttribute, CannotCloseTheAttribute) {
    EXPECT_EQ(xml_attribute(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Names, XmlAttribute,
    ::testing::Values(TextCase{"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
                      TextCase{"line\nbreak\t", "line&#xA;break&#x9;"}, TextCase{"plain_name", "plain_name"},
                      TextCase{std::string("\x00\x1b\xff", 3), REPLACED REPLACED REPLACED}));

struct NumberCase {
    double value;
    const char* expected;
};

void PrintTo(const NumberCase& row, std::ostream* stream) {
    *stream << row.expected;
}

class PlainSeconds : public ::testing::TestWithParam<NumberCase> {};
TEST_P(PlainSeconds, IsShortestAndWithoutExponent) {
    EXPECT_EQ(plain_seconds(std::chrono::duration<double>(GetParam().value)), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Seconds, PlainSeconds,
                         ::testing::Values(NumberCase{0.0, "0"}, NumberCase{0.00005333, "0.00005333"},
                                           NumberCase{0.000000681, "0.000000681"},
                                           NumberCase{1e-9, "0.000000001"}, NumberCase{1.5, "1.5"},
                                           NumberCase{123456.0, "123456"},
                                           NumberCase{0.1 + 0.2, "0.30000000000000004"},
                                           NumberCase{1e21, "1000000000000000000000"}));

// Names as a real table has them: static text that outlives every descriptor.
std::span<const TestDescriptor> many_passing_tests() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        for (int index = 0; index < 200; ++index) {
            made.push_back(fmt::format("bulk::test_{:03}", index));
        }
        return made;
    }();
    static const std::vector<TestDescriptor> table = [] {
        std::vector<TestDescriptor> made;
        for (const std::string& name : names) {
            made.push_back(TestDescriptor{.name = name, .function = passes});
        }
        return made;
    }();
    return table;
}

TEST(TerseFormat, CutsLongRunsOfMarksWithProgress) {
    const RunOutput output = run_table(many_passing_tests(), {"-q", "--test-threads", "1"});
    EXPECT_EQ(output.status, 0);
    const std::string dots(87, '.');
    const std::string expected = "\nrunning 200 tests\n" + dots + " 87/200\n" + dots + " 174/200\n" +
                                 std::string(26, '.') + "\ntest result: ok. 200 passed;";
    EXPECT_EQ(output.out.substr(0, expected.size()), expected);
}

TEST(TerseFormat, EndsAShortLineBeforeAFailure) {
    const std::array table{TestDescriptor{.name = "a", .function = passes},
                           TestDescriptor{.name = "b", .function = fails_an_expected_check},
                           TestDescriptor{.name = "c", .function = passes}};
    const RunOutput output =
        run_table(table, {"--format", "terse", "--test-threads", "1", "--color", "always"});
    EXPECT_TRUE(
        output.out.starts_with("\nrunning 3 tests\n\x1b[32m.\x1b(B\x1b[m 1/3\nb --- "
                               "\x1b[31mFAILED\x1b(B\x1b[m\n\x1b[32m.\x1b(B\x1b[m\n"
                               "failures:\n"))
        << output.out;
}

const std::array ignored_with_reason{TestDescriptor{.name = "hw::needs_board",
                                                    .ignore = true,
                                                    .ignore_message = "needs a board",
                                                    .source_file = "hw.cpp",
                                                    .function = passes}};

TEST(IgnoreMessage, ShowsInEveryFormatThatHasAPlaceForIt) {
    EXPECT_NE(
        run_table(ignored_with_reason, {}).out.find("test hw::needs_board ... ignored, needs a board\n"),
        std::string::npos);
    EXPECT_NE(run_table(ignored_with_reason, {"--format", "json"})
                  .out.find("{ \"type\": \"test\", \"name\": \"hw::needs_board\", \"event\": \"ignored\", "
                            "\"message\": \"needs a board\" }\n"),
              std::string::npos);
    EXPECT_NE(
        run_table(ignored_with_reason, {"--list", "--format", "json"})
            .out.find("\"ignore\": true, \"ignore_message\": \"needs a board\", \"source_path\": \"hw.cpp\""),
        std::string::npos);
    // Running it anyway clears the mark, as listings then show.
    EXPECT_NE(run_table(ignored_with_reason, {"--list", "--format", "json", "--ignored"})
                  .out.find("\"ignore\": false"),
              std::string::npos);
}

const std::array expected_to_fail{
    TestDescriptor{.name = "p::fails_as_expected", .should_panic = true, .function = fails_an_expected_check},
    TestDescriptor{.name = "p::passes_unexpectedly", .should_panic = true, .function = passes}};

TEST(ShouldPanic, PassesOnlyWhenTheTestFails) {
    const RunOutput pretty = run_table(expected_to_fail, {"--test-threads", "1"});
    EXPECT_EQ(pretty.status, 101);
    EXPECT_EQ(
        pretty.out,
        "\nrunning 2 tests\n"
        "test p::fails_as_expected - should panic ... ok\n"
        "test p::passes_unexpectedly - should panic ... FAILED\n"
        "\nfailures:\n\n"
        "---- p::passes_unexpectedly stdout ----\nnote: test did not panic as expected\n"
        "\nfailures:\n    p::passes_unexpectedly\n"
        "\ntest result: FAILED. 1 passed; 1 failed; 0 ignored; 0 measured; 0 filtered out; finished in " +
            pretty.out.substr(pretty.out.rfind("in ") + 3));
    EXPECT_NE(
        run_table(expected_to_fail, {"--format", "json"})
            .out.find("\"name\": \"p::passes_unexpectedly\", \"event\": \"failed\", \"message\": \"test did "
                      "not panic as expected\" }"),
        std::string::npos);
    EXPECT_NE(run_table(expected_to_fail, {"--format", "junit"})
                  .out.find("<failure message=\"test did not panic as expected\" type=\"assert\"/>"),
              std::string::npos);
    const RunOutput excluded = run_table(expected_to_fail, {"--exclude-should-panic"});
    EXPECT_EQ(excluded.status, 0);
    EXPECT_NE(excluded.out.find("running 0 tests"), std::string::npos);
}

TEST(JunitFormat, EscapesNamesAndKeepsOutputInsideCdata) {
    const std::array table{
        TestDescriptor{.name = "esc::a<b>&\"c\"", .function = prints_a_cdata_end_and_fails},
        TestDescriptor{.name = "top_level", .function = passes}};
    const RunOutput output = run_table(table, {"--format", "junit"});
    EXPECT_NE(
        output.out.find("<testcase classname=\"esc\" name=\"a&lt;b&gt;&amp;&quot;c&quot;\" time=\""),
        std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find("<system-out><![CDATA[x]]]]><![CDATA[>y]]>&#xA;&#xA;<![CDATA[thread"),
              std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find("<testcase classname=\"unknown\" name=\"top_level\" time=\""),
              std::string::npos);
    EXPECT_EQ(count_of(output.out, "\n"), 1U);
}

// Only ignored tests are skipped ones; tests a filter left out are not in the suite.
TEST(JunitFormat, CountsIgnoredTestsAsSkippedButNotFilteredOnes) {
    const std::array table{
        TestDescriptor{.name = "j::chosen", .function = passes},
        TestDescriptor{.name = "j::chosen_but_ignored", .ignore = true, .function = passes},
        TestDescriptor{.name = "j::left_out", .function = passes}};
    EXPECT_NE(run_table(table, {"chosen", "--format", "junit"})
                  .out.find("failures=\"0\" tests=\"2\" skipped=\"1\" time=\""),
              std::string::npos);
    EXPECT_NE(run_table(table, {"--exact", "j::chosen", "--format", "junit"})
                  .out.find("failures=\"0\" tests=\"1\" skipped=\"0\" time=\""),
              std::string::npos);
}

TEST(ShowOutput, AddsPassingOutputToJsonAndJunit) {
    const std::array table{TestDescriptor{.name = "out::prints", .function = prints_and_passes}};
    EXPECT_EQ(run_table(table, {"--format", "json"}).out.find("\"stdout\""), std::string::npos);
    EXPECT_NE(run_table(table, {"--format", "json", "--show-output"})
                  .out.find("\"event\": \"ok\", \"stdout\": \"tab\\there \\u0001\\n\" }"),
              std::string::npos);
    EXPECT_NE(run_table(table, {"--format", "junit", "--show-output"})
                  .out.find("\"><system-out><![CDATA[tab\there " REPLACED
                            "]]>&#xA;<![CDATA[]]></system-out></testcase>"),
              std::string::npos);
}

}  // namespace
}  // namespace ovra_runner::testing
