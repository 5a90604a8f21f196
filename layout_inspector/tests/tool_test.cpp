#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ovra/layout_inspector/arguments.hpp"
#include "ovra/layout_inspector/text_views.hpp"
#include "ovra/layout_inspector/tool.hpp"
#include "test_support.hpp"

namespace {

using namespace inspector_test;

ToolOutcome run(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return run_tool(list);
}

struct ErrorCase {
    std::vector<std::string_view> arguments;
    int status;
    std::string want;  // the line on standard error, without its line end
};

// Every failure is one "error: ..." line on standard error, nothing on standard output, and the
// status of its kind: 2 for usage, 1 for what ovra_codegen refuses or a file that cannot be written.
TEST(Tool, ReportsEachBadArgumentOnOneLine) {
    const std::string long_argument(100, 'x');
    const std::vector<ErrorCase> cases{
        {{},
         2,
         "error: missing ROLE (usage: ovra_layout ROLE PRECISION ROWS COLUMNS [--inverse | --at P | --cell "
         "R,C | "
         "--svg FILE])"},
        {{"Output", "F16", "2"},
         2,
         "error: missing COLUMNS (usage: ovra_layout ROLE PRECISION ROWS COLUMNS "
         "[--inverse | --at P | --cell R,C | --svg FILE])"},
        {{"Output", "F16", "2", "16", "extra"}, 2, "error: unexpected argument 'extra'"},
        {{"Sideways", "F16", "2", "16"},
         2,
         "error: unknown ROLE 'Sideways' (expected Left, TransposedLeft, TransposedRight, Output, "
         "TransposedOutput or "
         "right)"},
        {{"output", "F16", "2", "16"},
         2,
         "error: unknown ROLE 'output' (expected Left, TransposedLeft, TransposedRight, Output, "
         "TransposedOutput or "
         "right)"},
        {{"Output", "F64", "2", "16"}, 2, "error: unknown PRECISION 'F64' (expected F8F143, F16 or F32)"},
        {{"Output", "F16", "abc", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was 'abc')"},
        {{"Output", "F16", "0", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was '0')"},
        {{"Output", "F16", "-3", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was '-3')"},
        {{"Output", "F16", "+3", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was '+3')"},
        {{"Output", "F16", " 3", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was ' 3')"},
        {{"Output", "F16", "3x", "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was '3x')"},
        {{"Output", "F16", "", "16"}, 2, "error: ROWS must be a whole number from 1 to 4294967295 (was '')"},
        {{"Output", "F16", "2", "4294967296"},
         2,
         "error: COLUMNS must be a whole number from 1 to 4294967295 (was '4294967296')"},
        {{"Output", "F16", "2", "1.5"},
         2,
         "error: COLUMNS must be a whole number from 1 to 4294967295 (was '1.5')"},
        {{"Output", "F16", "2", "16", "--bogus"}, 2, "error: unknown option '--bogus'"},
        {{"Output", "F16", "2", "16", "--inverse=yes"}, 2, "error: --inverse takes no value"},
        {{"Output", "F16", "2", "16", "--at"}, 2, "error: --at needs a position P"},
        {{"Output", "F16", "2", "16", "--cell"}, 2, "error: --cell needs a cell R,C"},
        {{"Output", "F16", "2", "16", "--svg"}, 2, "error: --svg needs a FILE"},
        {{"Output", "F16", "2", "16", "--svg="}, 2, "error: --svg needs a FILE"},
        {{"Output", "F16", "2", "16", "--at", "x"},
         2,
         "error: --at must be a whole number from 0 to 4294967295 (was 'x')"},
        {{"Output", "F16", "2", "16", "--at=-1"},
         2,
         "error: --at must be a whole number from 0 to 4294967295 (was '-1')"},
        {{"Output", "F16", "2", "16", "--cell", "1;2"},
         2,
         "error: --cell must be R,C: two whole numbers from 0 to 4294967295 (was '1;2')"},
        {{"Output", "F16", "2", "16", "--cell", "1, 2"},
         2,
         "error: --cell must be R,C: two whole numbers from 0 to 4294967295 (was '1, 2')"},
        {{"Output", "F16", "2", "16", "--cell", "1,2,3"},
         2,
         "error: --cell must be R,C: two whole numbers from 0 to 4294967295 (was '1,2,3')"},
        {{"Output", "F16", "2", "16", "--cell", ",2"},
         2,
         "error: --cell must be R,C: two whole numbers from 0 to 4294967295 (was ',2')"},
        {{"Output", "F16", "2", "16", "--at", "1", "--at", "2"}, 2, "error: --at is given more than once"},
        {{"Output", "F16", "2", "16", "--at", "1", "--cell", "0,0"},
         2,
         "error: --at cannot be combined with --cell"},
        {{"--inverse", "Output", "F16", "2", "16", "--svg", "x.svg"},
         2,
         "error: --inverse cannot be combined with --svg"},
        {{"Output", "F16", "2", "16", "--at", "32"},
         2,
         "error: position 32 lies outside the 2 x 16 matrix (positions 0 to 31)"},
        {{"Output", "F16", "2", "16", "--cell", "2,0"},
         2,
         "error: cell (2, 0) lies outside the 2 x 16 matrix (rows 0 to 1, columns 0 to 15)"},
        {{"Output", "F16", "300", "16"},
         2,
         "error: a grid of 300 x 16 cells is too large to print (at most 128 x 128); use --at or --cell"},
        {{"Output", "F16", "16", "144", "--svg", "-"},
         2,
         "error: a grid of 16 x 144 cells is too large to draw (at most 128 x 128); use --at or --cell"},
        {{"Output", "F16", "1025", "16", "--inverse"},
         2,
         "error: 16400 positions are too many to list (at most 16384); use --at or --cell"},
        // What the role's block shape refuses is ovra_codegen's storage error, with its own message.
        {{"Output", "F16", "4", "24"},
         1,
         "error: AMP Output storage dimensions are incompatible with its block shape"},
        {{"TransposedLeft", "F16", "8", "16", "--at", "0"},
         1,
         "error: AMP Left storage dimensions are incompatible with its block shape"},
        {{"TransposedRight", "F32", "8", "16"}, 1, "error: view extents are not a valid subset of the shard"},
        {{"Left", "F16", "268435456", "16", "--at", "0"}, 1, "error: tensor storage size overflowed"},
        {{"Left", "F16", "65536", "65552", "--cell", "0,0"}, 1, "error: tensor storage size overflowed"},
        {{"Output", "F16", "2", "16", "--svg", "/nonexistent-directory/grid.svg"},
         1,
         "error: cannot write '/nonexistent-directory/grid.svg': No such file or directory"},
        // Whatever is echoed stays printable and short.
        {{"Out\nput", "F16", "2", "16"},
         2,
         "error: unknown ROLE 'Out\\x0aput' (expected Left, TransposedLeft, TransposedRight, Output, "
         "TransposedOutput or right)"},
        {{"Output", "F16", long_argument, "16"},
         2,
         "error: ROWS must be a whole number from 1 to 4294967295 (was '" + std::string(64, 'x') + "...')"},
    };
    for (const ErrorCase& c : cases) {
        const ToolOutcome outcome = run_tool(c.arguments);
        const std::string context = fmt::format("arguments: {}", fmt::join(c.arguments, " "));
        EXPECT_EQ(outcome.status, c.status) << context;
        EXPECT_EQ(outcome.out, "") << context;
        EXPECT_EQ(outcome.err, c.want + "\n") << context;
    }
}

struct SuccessCase {
    std::vector<std::string_view> arguments;
    std::string want;
};

TEST(Tool, TakesOptionsAnywhereAndInEitherForm) {
    const std::vector<SuccessCase> cases{
        {{"Output", "F16", "2", "16", "--at", "18"}, "position 18 holds cell (1, 8)\n"},
        {{"--at=18", "Output", "F16", "2", "16"}, "position 18 holds cell (1, 8)\n"},
        {{"Output", "F16", "--cell", "1,8", "2", "16"}, "cell (1, 8) lies at position 18\n"},
        {{"Output", "F16", "2", "16", "--cell=1,8"}, "cell (1, 8) lies at position 18\n"},
        {{"right", "F8F143", "32", "32", "--at", "1023"}, "position 1023 holds cell (31, 31)\n"},
        {{"TransposedOutput", "F16", "16", "2", "--at", "18"}, "position 18 holds cell (8, 1)\n"},
        {{"Left", "F16", "0003", "32", "--at", "48"}, "position 48 holds cell (0, 16)\n"},
    };
    for (const SuccessCase& c : cases) {
        const ToolOutcome outcome = run_tool(c.arguments);
        const std::string context = fmt::format("arguments: {}", fmt::join(c.arguments, " "));
        EXPECT_EQ(outcome.status, exit_success) << context;
        EXPECT_EQ(outcome.out, c.want) << context;
        EXPECT_EQ(outcome.err, "") << context;
    }
}

TEST(Tool, HelpWinsOverEverythingElse) {
    for (const ToolOutcome& outcome : {run({"--help"}), run({"-h"}), run({"Sideways", "--bogus", "-h"}),
                                       run({"Output", "F16", "2", "16", "--help"})}) {
        EXPECT_EQ(outcome.status, exit_success);
        EXPECT_EQ(outcome.out, usage_text());
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(Tool, UsageDocumentsTheSizeLimits) {
    const std::string_view usage = usage_text();
    EXPECT_NE(usage.find(fmt::format("At most {} rows and {} columns.", max_grid_rows, max_grid_columns)),
              std::string_view::npos);
    EXPECT_NE(usage.find(fmt::format("At most {} positions", max_listed_positions)), std::string_view::npos);
}

TEST(Tool, WritesTheSvgFileOrStandardOutput) {
    const std::filesystem::path path =
        std::filesystem::path(testing::TempDir()) / "ovra_layout_tool_test.svg";
    const std::string path_text = path.string();
    const ToolOutcome written = run({"Output", "F16", "2", "32", "--svg", path_text});
    EXPECT_EQ(written.status, exit_success);
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(written.err, "");
    std::ifstream file(path);
    const std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::filesystem::remove(path);

    const ToolOutcome printed = run({"Output", "F16", "2", "32", "--svg", "-"});
    EXPECT_EQ(printed.status, exit_success);
    EXPECT_TRUE(printed.out.starts_with("<?xml")) << printed.out.substr(0, 40);
    EXPECT_EQ(contents, printed.out);
}

TEST(Tool, LeavesADeviceThatRefusesTheWriteInPlace) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    const ToolOutcome outcome = run({"Output", "F16", "2", "32", "--svg", "/dev/full"});
    EXPECT_EQ(outcome.status, exit_failure);
    EXPECT_EQ(outcome.err, "error: cannot write '/dev/full': No space left on device\n");
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

}  // namespace
