#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ovra/layout_inspector/text_views.hpp"
#include "test_support.hpp"

namespace {

using namespace inspector_test;

std::string text_or_error(const std::expected<std::string, ToolError>& text) {
    return text ? *text : error_line(text.error());
}

struct GridCase {
    StoredMatrix matrix;
    std::string want;
};

// Expectations worked out by hand from the orders: Output rows hold the column pairs in the order
// 0, 4, 1, 5, 2, 6, 3, 7 inside each 16-column panel.
TEST(GridText, ShowsTheStoragePositionOfEachCell) {
    const std::vector<GridCase> cases{
        {StoredMatrix{Role::Output, f16, 2, 32},
         "r\\c  0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 | 16 17 18 19 20 21 22 23 24 25 26 27 28 29 "
         "30 31\n"
         "  0  0  1  4  5  8  9 12 13  2  3  6  7 10 11 14 15 | 32 33 36 37 40 41 44 45 34 35 38 39 42 43 46 "
         "47\n"
         "  1 16 17 20 21 24 25 28 29 18 19 22 23 26 27 30 31 | 48 49 52 53 56 57 60 61 50 51 54 55 58 59 62 "
         "63\n"},
        // Column indices wider than the positions set the width.
        {StoredMatrix{Role::Left, f8, 1, 32},
         "r\\c  0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 "
         "31\n"
         "  0  0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 "
         "31\n"},
    };
    for (const GridCase& c : cases) {
        EXPECT_EQ(text_or_error(grid_text(c.matrix)), c.want) << describe(c.matrix);
    }
}

TEST(GridText, StacksAndSeparatesBlocksBothWays) {
    // Four TransposedRight F32 blocks of 16 rows by 8 columns, each stored row by row: the separator
    // line crosses the "|" with "+".
    const std::string grid = text_or_error(grid_text(StoredMatrix{Role::TransposedRight, f32, 32, 16}));
    EXPECT_TRUE(grid_text(StoredMatrix{Role::Output, f16, 128, 128}).has_value()) << "the largest grid";
    EXPECT_NE(grid.find("\n------------------------------------+--------------------------------\n"
                        " 16 256 257 258 259 260 261 262 263 | 384 385"),
              std::string::npos)
        << grid;
}

// Each column as wide as its header or its widest number, up to the most positions listed.
TEST(InverseText, ListsEveryPositionInOrder) {
    const std::string fewest = text_or_error(inverse_text(StoredMatrix{Role::Output, f16, 1, 16}));
    const std::string most = text_or_error(inverse_text(StoredMatrix{Role::Output, f16, 1024, 16}));
    const std::string fewest_start =
        "position row column\n       0   0      0\n       1   0      1\n       2   0      8\n";
    EXPECT_EQ(fewest.substr(0, fewest_start.size()), fewest_start);
    EXPECT_TRUE(fewest.ends_with("\n      15   0     15\n")) << fewest;
    EXPECT_EQ(most.substr(0, 42), "position  row column\n       0    0      0\n");
    EXPECT_TRUE(most.ends_with("\n   16383 1023     15\n"));
}

}  // namespace
