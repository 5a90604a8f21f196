// The tool from arguments to outcome: the whole output on success; otherwise nothing on standard output and
// one "error: ..." line with the status of its kind: 2 for usage, 1 for what ovra_codegen refuses or a file
// that cannot be written.
#include <ranges>
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

// "A B C" as the arguments A, B and C.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    for (const auto word : std::views::split(line, ' ')) {
        out.emplace_back(word.begin(), word.end());
    }
    return out;
}

struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string want;  // standard output on success; else the error line without "error: " and line end
};

TEST(Tool, AnswersOrReportsOneErrorLine) {
    const std::string usage_line(usage_text().substr(0, usage_text().find('\n')));
    const std::string roles = "Left, TransposedLeft, TransposedRight, Output, TransposedOutput or right";
    const std::string long_argument(100, 'x');
    std::vector<Case> cases{
        // Options anywhere, their values after "=" or as the next argument; help wins over everything.
        {words("Output F16 2 16 --at 18"), 0, "position 18 holds cell (1, 8)\n"},
        {words("--at=18 Output F16 2 16"), 0, "position 18 holds cell (1, 8)\n"},
        {words("Output F16 --cell 1,8 2 16"), 0, "cell (1, 8) lies at position 18\n"},
        {words("Output F16 2 16 --cell=1,8"), 0, "cell (1, 8) lies at position 18\n"},
        {words("right F8F143 32 32 --at 1023"), 0, "position 1023 holds cell (31, 31)\n"},
        {words("TransposedOutput F16 16 2 --at 18"), 0, "position 18 holds cell (8, 1)\n"},
        {words("Left F16 0003 32 --at 48"), 0, "position 48 holds cell (0, 16)\n"},
        {words("--help"), 0, std::string(usage_text())},
        {words("-h"), 0, std::string(usage_text())},
        {words("Sideways --bogus -h"), 0, std::string(usage_text())},
        {words("Output F16 2 16 --help"), 0, std::string(usage_text())},
        {{}, 2, "missing ROLE (" + usage_line + ")"},
        {words("Output F16 2"), 2, "missing COLUMNS (" + usage_line + ")"},
        {words("Output F16 2 16 extra"), 2, "unexpected argument 'extra'"},
        {words("Sideways F16 2 16"), 2, "unknown ROLE 'Sideways' (expected " + roles + ")"},
        {words("output F16 2 16"), 2, "unknown ROLE 'output' (expected " + roles + ")"},
        {words("Output F64 2 16"), 2, "unknown PRECISION 'F64' (expected F8F143, F16 or F32)"},
        {words("Output F16 2 4294967296"), 2,
         "COLUMNS must be a whole number from 1 to 4294967295 (was '4294967296')"},
        {words("Output F16 2 16 --bogus"), 2, "unknown option '--bogus'"},
        {words("Output F16 2 16 --inverse=yes"), 2, "--inverse takes no value"},
        {words("Output F16 2 16 --at"), 2, "--at needs a position P"},
        {words("Output F16 2 16 --cell"), 2, "--cell needs a cell R,C"},
        {words("Output F16 2 16 --svg"), 2, "--svg needs a FILE"},
        {words("Output F16 2 16 --svg="), 2, "--svg needs a FILE"},
        {words("Output F16 2 16 --at 1 --at 2"), 2, "--at is given more than once"},
        {words("Output F16 2 16 --at 1 --cell 0,0"), 2, "--at cannot be combined with --cell"},
        {words("--inverse Output F16 2 16 --svg x.svg"), 2, "--inverse cannot be combined with --svg"},
        {words("Output F16 2 16 --at x"), 2, "--at must be a whole number from 0 to 4294967295 (was 'x')"},
        {words("Output F16 2 16 --at=-1"), 2, "--at must be a whole number from 0 to 4294967295 (was '-1')"},
        {words("Output F16 2 16 --at 32"), 2,
         "position 32 lies outside the 2 x 16 matrix (positions 0 to 31)"},
        {words("Left F16 268435455 16 --at 4294967280"), 2,
         "position 4294967280 lies outside the 268435455 x 16 matrix (positions 0 to 4294967279)"},
        {words("Output F16 2 16 --cell 2,0"), 2,
         "cell (2, 0) lies outside the 2 x 16 matrix (rows 0 to 1, columns 0 to 15)"},
        {words("Output F16 300 16"), 2,
         "a grid of 300 x 16 cells is too large to print (at most 128 x 128); use --at or --cell"},
        {words("Output F16 16 144 --svg -"), 2,
         "a grid of 16 x 144 cells is too large to draw (at most 128 x 128); use --at or --cell"},
        {words("Output F16 1025 16 --inverse"), 2,
         "16400 positions are too many to list (at most 16384); use --at or --cell"},
        // What the role refuses is ovra_codegen's storage error with its own message, whatever is asked.
        {words("Output F16 300 24"), 1,
         "AMP Output storage dimensions are incompatible with its block shape"},
        {words("TransposedLeft F16 8 16 --at 0"), 1,
         "AMP Left storage dimensions are incompatible with its block shape"},
        {words("Left F16 65536 65552 --cell 0,0"), 1, "tensor storage size overflowed"},
        // A device is written where it is, not replaced.
        {words("Output F16 2 32 --svg /dev/full"), 1, "cannot write '/dev/full': No space left on device"},
        // Whatever is echoed stays printable and short.
        {words("Out\nput F16 2 16"), 2, "unknown ROLE 'Out\\x0aput' (expected " + roles + ")"},
        {words("Output F16 " + long_argument + " 16"), 2,
         "ROWS must be a whole number from 1 to 4294967295 (was '" + std::string(64, 'x') + "...')"},
    };
    // Numbers are whole, without sign, space, fraction or trailing text.
    for (const std::string_view rows : {"abc", "0", "-3", "+3", " 3", "3x", "", "1.5"}) {
        cases.push_back({{"Output", "F16", std::string(rows), "16"},
                         2,
                         fmt::format("ROWS must be a whole number from 1 to 4294967295 (was '{}')", rows)});
    }
    for (const std::string_view cell : {"1;2", "1, 2", "1,2,3", ",2"}) {
        cases.push_back(
            {{"Output", "F16", "2", "16", "--cell", std::string(cell)},
             2,
             fmt::format("--cell must be R,C: two whole numbers from 0 to 4294967295 (was '{}')", cell)});
    }
    for (const Case& c : cases) {
        const ToolOutcome outcome =
            run_tool(std::vector<std::string_view>(c.arguments.begin(), c.arguments.end()));
        const std::string context = fmt::format("arguments: {}", fmt::join(c.arguments, " "));
        EXPECT_EQ(outcome.status, c.status) << context;
        EXPECT_EQ(outcome.out, c.status == 0 ? c.want : "") << context;
        EXPECT_EQ(outcome.err, c.status == 0 ? "" : "error: " + c.want + "\n") << context;
    }
}

TEST(Tool, UsageDocumentsTheSizeLimits) {
    const std::string_view usage = usage_text();
    EXPECT_NE(usage.find(fmt::format("At most {} rows and {} columns.", max_grid_rows, max_grid_columns)),
              std::string_view::npos);
    EXPECT_NE(usage.find(fmt::format("At most {} positions", max_listed_positions)), std::string_view::npos);
}

}  // namespace
