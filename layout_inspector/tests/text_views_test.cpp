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
// 0, 4, 1, 5, 2, 6, 3, 7 inside each 16-column panel; a TransposedRight F32 block of 16 rows by 8
// columns runs row by row, its column blocks one after the other; TransposedLeft F32 stacks panels
// of 8 rows, each stored column by column.
TEST(GridText, ShowsTheStoragePositionOfEachCell) {
    const std::vector<GridCase> cases{
        {matrix(Role::Output, f16, 2, 32),
         "r\\c  0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 | 16 17 18 19 20 21 22 23 24 25 26 27 28 29 "
         "30 31\n"
         "  0  0  1  4  5  8  9 12 13  2  3  6  7 10 11 14 15 | 32 33 36 37 40 41 44 45 34 35 38 39 42 43 46 "
         "47\n"
         "  1 16 17 20 21 24 25 28 29 18 19 22 23 26 27 30 31 | 48 49 52 53 56 57 60 61 50 51 54 55 58 59 62 "
         "63\n"},
        {matrix(Role::TransposedRight, f32, 16, 16),
         "r\\c   0   1   2   3   4   5   6   7 |   8   9  10  11  12  13  14  15\n"
         "  0   0   1   2   3   4   5   6   7 | 128 129 130 131 132 133 134 135\n"
         "  1   8   9  10  11  12  13  14  15 | 136 137 138 139 140 141 142 143\n"
         "  2  16  17  18  19  20  21  22  23 | 144 145 146 147 148 149 150 151\n"
         "  3  24  25  26  27  28  29  30  31 | 152 153 154 155 156 157 158 159\n"
         "  4  32  33  34  35  36  37  38  39 | 160 161 162 163 164 165 166 167\n"
         "  5  40  41  42  43  44  45  46  47 | 168 169 170 171 172 173 174 175\n"
         "  6  48  49  50  51  52  53  54  55 | 176 177 178 179 180 181 182 183\n"
         "  7  56  57  58  59  60  61  62  63 | 184 185 186 187 188 189 190 191\n"
         "  8  64  65  66  67  68  69  70  71 | 192 193 194 195 196 197 198 199\n"
         "  9  72  73  74  75  76  77  78  79 | 200 201 202 203 204 205 206 207\n"
         " 10  80  81  82  83  84  85  86  87 | 208 209 210 211 212 213 214 215\n"
         " 11  88  89  90  91  92  93  94  95 | 216 217 218 219 220 221 222 223\n"
         " 12  96  97  98  99 100 101 102 103 | 224 225 226 227 228 229 230 231\n"
         " 13 104 105 106 107 108 109 110 111 | 232 233 234 235 236 237 238 239\n"
         " 14 112 113 114 115 116 117 118 119 | 240 241 242 243 244 245 246 247\n"
         " 15 120 121 122 123 124 125 126 127 | 248 249 250 251 252 253 254 255\n"},
        {matrix(Role::TransposedLeft, f32, 16, 3),
         "r\\c  0  1  2\n"
         "  0  0  8 16\n"
         "  1  1  9 17\n"
         "  2  2 10 18\n"
         "  3  3 11 19\n"
         "  4  4 12 20\n"
         "  5  5 13 21\n"
         "  6  6 14 22\n"
         "  7  7 15 23\n"
         "------------\n"
         "  8 24 32 40\n"
         "  9 25 33 41\n"
         " 10 26 34 42\n"
         " 11 27 35 43\n"
         " 12 28 36 44\n"
         " 13 29 37 45\n"
         " 14 30 38 46\n"
         " 15 31 39 47\n"},
        // Column indices wider than the positions set the width.
        {matrix(Role::Left, f8, 1, 32),
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
    // Four 16 x 8 blocks: the separator line crosses the "|" with "+".
    const std::string grid = text_or_error(grid_text(matrix(Role::TransposedRight, f32, 32, 16)));
    EXPECT_NE(grid.find("\n------------------------------------+--------------------------------\n"
                        " 16 256 257 258 259 260 261 262 263 | 384 385"),
              std::string::npos)
        << grid;
}

TEST(InverseText, ListsEveryPositionInOrder) {
    EXPECT_EQ(text_or_error(inverse_text(matrix(Role::Output, f16, 1, 16))),
              "position row column\n"
              "       0   0      0\n"
              "       1   0      1\n"
              "       2   0      8\n"
              "       3   0      9\n"
              "       4   0      2\n"
              "       5   0      3\n"
              "       6   0     10\n"
              "       7   0     11\n"
              "       8   0      4\n"
              "       9   0      5\n"
              "      10   0     12\n"
              "      11   0     13\n"
              "      12   0      6\n"
              "      13   0      7\n"
              "      14   0     14\n"
              "      15   0     15\n");
}

struct AnswerCase {
    std::expected<std::string, ToolError> got;
    std::string want;
};

TEST(SingleAnswers, AnswerForOnePositionOrCellAtAnySize) {
    const StoredMatrix left = matrix(Role::Left, f16, 3, 32);
    const StoredMatrix huge = matrix(Role::Left, f16, 268435455, 16);
    const std::vector<AnswerCase> cases{
        {at_text(left, 50), "position 50 holds cell (0, 18)\n"},
        {cell_text(left, {0, 18}), "cell (0, 18) lies at position 50\n"},
        {at_text(left, 95), "position 95 holds cell (2, 31)\n"},
        {at_text(huge, 4294967279U), "position 4294967279 holds cell (268435454, 15)\n"},
        {cell_text(huge, {268435454, 15}), "cell (268435454, 15) lies at position 4294967279\n"},
        // ovra_codegen would map these past the end of the matrix; they are refused instead.
        {at_text(left, 96), "error: position 96 lies outside the 3 x 32 matrix (positions 0 to 95)"},
        {at_text(huge, 4294967280U),
         "error: position 4294967280 lies outside the 268435455 x 16 matrix (positions 0 to 4294967279)"},
        {cell_text(left, {3, 0}),
         "error: cell (3, 0) lies outside the 3 x 32 matrix (rows 0 to 2, columns 0 to 31)"},
        {cell_text(left, {0, 32}),
         "error: cell (0, 32) lies outside the 3 x 32 matrix (rows 0 to 2, columns 0 to 31)"},
    };
    for (const AnswerCase& c : cases) {
        EXPECT_EQ(text_or_error(c.got), c.want);
    }
}

struct RefusalCase {
    std::expected<std::string, ToolError> got;
    std::string want;
    int status;
};

// The argument table of the tool covers the other refusals; these two only arise here.
TEST(TextViews, RefuseShapesTheyCannotShow) {
    const std::vector<RefusalCase> cases{
        // The role's own verdict comes first, whatever the size.
        {grid_text(matrix(Role::Output, f16, 300, 24)),
         "error: AMP Output storage dimensions are incompatible with its block shape", exit_failure},
        // The library accepts no columns in Left order; there is nothing to show.
        {grid_text(matrix(Role::Left, f16, 2, 0)), "error: a matrix of 2 x 0 cells has no storage positions",
         exit_usage},
    };
    for (const RefusalCase& c : cases) {
        ASSERT_FALSE(c.got.has_value()) << c.want;
        EXPECT_EQ(error_line(c.got.error()), c.want);
        EXPECT_EQ(exit_status(c.got.error()), c.status) << c.want;
    }
}

TEST(TextViews, AcceptTheLargestShapesWithinTheLimits) {
    EXPECT_TRUE(grid_text(matrix(Role::Output, f16, 128, 128)).has_value());
    const std::expected<std::string, ToolError> listed = inverse_text(matrix(Role::Output, f16, 1024, 16));
    ASSERT_TRUE(listed.has_value());
    EXPECT_TRUE(listed->ends_with("   16383 1023     15\n"));
}

}  // namespace
