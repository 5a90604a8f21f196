#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ovra/trivial_test/diagnostic.hpp"

namespace ovra_tests::diagnostic {
namespace {

constexpr std::uint32_t too_large = 2147483648U;
constexpr float sentinel = -7.25F;
const float not_a_number = std::numeric_limits<float>::quiet_NaN();

// A 2 x 3 times 3 x 2 product, each operand available stored plainly and transposed.
const std::vector<float> a_plain = {1, 2, 3, 4, 5, 6};          // 2 x 3, stride 3
const std::vector<float> a_transposed = {1, 4, 2, 5, 3, 6};     // 3 x 2, stride 2
const std::vector<float> b_plain = {7, 8, 9, 10, 11, 12};       // 3 x 2, stride 2
const std::vector<float> b_transposed = {7, 9, 11, 8, 10, 12};  // 2 x 3, stride 3
const std::vector<float> c_expected = {58, 64, 139, 154};

struct Dimensions {
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t inner;
    std::uint32_t left_stride;
    std::uint32_t right_stride;
    bool transpose_left = false;
    bool transpose_right = false;
};

struct RejectedCase {
    const char* label;
    Dimensions dimensions;
    std::size_t left_length;
    std::size_t right_length;
    std::size_t output_length;
    std::string message;
};

TEST(HostSgemm, RejectsBeforeWritingAnything) {
    const std::string conversion = "out of range integral type conversion attempted";
    const std::string inconsistent = "host GEMM output dimensions are inconsistent";
    const std::vector<RejectedCase> cases = {
        {"rows", {too_large, 1, 1, 1, 1}, 1, 1, 4, conversion},
        {"columns", {1, too_large, 1, 1, 1}, 1, 1, 4, conversion},
        {"inner", {1, 1, too_large, 1, 1}, 1, 1, 4, conversion},
        {"left stride", {1, 1, 1, too_large, 1}, 1, 1, 4, conversion},
        {"right stride, output also wrong", {1, 1, 1, 1, too_large}, 1, 1, 4, conversion},
        {"largest signed extents pass conversion", {2147483647U, 1, 1, 1, 1}, 1, 1, 4, inconsistent},
        {"output one short", {2, 3, 1, 1, 3}, 2, 3, 5, inconsistent},
        {"output one long", {2, 3, 1, 1, 3}, 2, 3, 7, inconsistent},
        {"output checked before operands", {2, 3, 4, 1, 1}, 0, 0, 5, inconsistent},
        {"left stride short of plain row",
         {2, 2, 4, 3, 2},
         8,
         8,
         4,
         "host GEMM left stride 3 is shorter than its stored row of 4 elements"},
        {"left stride short of transposed row",
         {5, 1, 2, 4, 1, true},
         10,
         2,
         5,
         "host GEMM left stride 4 is shorter than its stored row of 5 elements"},
        {"right stride short of plain row",
         {1, 3, 2, 2, 2},
         2,
         6,
         3,
         "host GEMM right stride 2 is shorter than its stored row of 3 elements"},
        {"right stride short of transposed row",
         {1, 3, 2, 2, 1, false, true},
         2,
         6,
         3,
         "host GEMM right stride 1 is shorter than its stored row of 2 elements"},
        {"left short",
         {3, 1, 4, 4, 1},
         10,
         4,
         3,
         "host GEMM left operand holds 10 elements but its shape and stride address 12"},
        {"left short with padded rows",
         {3, 1, 4, 6, 1},
         15,
         4,
         3,
         "host GEMM left operand holds 15 elements but its shape and stride address 16"},
        {"left checked before right",
         {3, 1, 4, 4, 1},
         11,
         0,
         3,
         "host GEMM left operand holds 11 elements but its shape and stride address 12"},
        {"right short transposed",
         {1, 3, 2, 2, 4, false, true},
         2,
         9,
         3,
         "host GEMM right operand holds 9 elements but its shape and stride address 10"},
    };
    for (const RejectedCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<float> left(c.left_length, 1.0F);
        const std::vector<float> right(c.right_length, 1.0F);
        std::vector<float> output(c.output_length, sentinel);
        const Dimensions& d = c.dimensions;
        const Status status = host_sgemm(left, right, output, d.rows, d.columns, d.inner, d.left_stride,
                                         d.right_stride, d.transpose_left, d.transpose_right);
        ASSERT_FALSE(status.has_value());
        EXPECT_EQ(status.error().message, c.message);
        EXPECT_TRUE(status.error().causes.empty());
        EXPECT_EQ(output, std::vector<float>(c.output_length, sentinel));
    }
}

struct ProductCase {
    const char* label;
    std::vector<float> left;
    std::vector<float> right;
    Dimensions dimensions;
    std::vector<float> expected;
};

TEST(HostSgemm, ComputesTheProductInEveryStorageForm) {
    // NaN in padding shows a stride misread; NaN in the output shows beta was not 0.
    const float x = not_a_number;
    const std::vector<ProductCase> cases = {
        {"1 x 1 x 1", {3}, {4}, {1, 1, 1, 1, 1}, {12}},
        {"plain, plain", a_plain, b_plain, {2, 2, 3, 3, 2}, c_expected},
        {"transposed, plain", a_transposed, b_plain, {2, 2, 3, 2, 2, true, false}, c_expected},
        {"plain, transposed", a_plain, b_transposed, {2, 2, 3, 3, 3, false, true}, c_expected},
        {"transposed, transposed", a_transposed, b_transposed, {2, 2, 3, 2, 3, true, true}, c_expected},
        // The last stored row needs no padding after it.
        {"padded rows", {1, 2, 3, x, x, 4, 5, 6}, {7, 8, x, 9, 10, x, 11, 12}, {2, 2, 3, 5, 3}, c_expected},
        {"longer operands than addressed",
         {1, 2, 3, 4, 5, 6, x},
         {7, 8, 9, 10, 11, 12, x},
         {2, 2, 3, 3, 2},
         c_expected},
    };
    for (const ProductCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<float> output(c.expected.size(), not_a_number);
        const Dimensions& d = c.dimensions;
        const Status status = host_sgemm(c.left, c.right, output, d.rows, d.columns, d.inner, d.left_stride,
                                         d.right_stride, d.transpose_left, d.transpose_right);
        ASSERT_TRUE(status.has_value()) << status.error().message;
        EXPECT_EQ(output, c.expected);
    }
}

TEST(HostSgemm, EmptyExtentsGiveZerosAndPrintNothing) {
    struct EmptyCase {
        const char* label;
        Dimensions dimensions;
        std::size_t left_length;
        std::size_t right_length;
        std::size_t output_length;
    };
    const std::vector<EmptyCase> cases = {
        {"no rows", {0, 2, 3, 3, 2}, 0, 6, 0},
        {"no columns", {2, 0, 3, 3, 0}, 6, 0, 0},
        {"no inner, zero strides", {2, 3, 0, 0, 0, false, true}, 0, 0, 6},
        {"no inner, transposed left", {2, 3, 0, 2, 3, true, false}, 0, 0, 6},
        {"all empty", {0, 0, 0, 0, 0}, 0, 0, 0},
    };
    for (const EmptyCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<float> left(c.left_length, 1.0F);
        const std::vector<float> right(c.right_length, 1.0F);
        std::vector<float> output(c.output_length, not_a_number);
        const Dimensions& d = c.dimensions;
        // The BLAS error handler reports an illegal argument on stdout or stderr, depending on the build.
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const Status status = host_sgemm(left, right, output, d.rows, d.columns, d.inner, d.left_stride,
                                         d.right_stride, d.transpose_left, d.transpose_right);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        ASSERT_TRUE(status.has_value()) << status.error().message;
        EXPECT_EQ(output, std::vector<float>(c.output_length, 0.0F));
    }
}

TEST(MatrixIndex, ReadsTheLastTwoEntriesAndBatch) {
    struct IndexCase {
        std::vector<std::uint32_t> shape;
        std::size_t batch;
        std::uint32_t row;
        std::uint32_t column;
        bool transpose;
        std::size_t expected;
    };
    const std::vector<IndexCase> cases = {
        {{3, 4}, 0, 1, 2, false, 6},
        {{4, 3}, 0, 1, 2, true, 7},
        {{2, 3, 4}, 1, 0, 0, false, 12},
        {{9, 3, 4}, 2, 2, 3, false, 35},
        {{65536, 65536}, 1, 0, 0, false, 4294967296ULL},
        {{70000, 70000}, 0, 1, 69999, true, 4899930001ULL},
        {{5}, 1, 0, 3, false, 8},
        {{}, 2, 0, 0, false, 2},
    };
    for (const IndexCase& c : cases) {
        EXPECT_EQ(matrix_index(c.shape, c.batch, c.row, c.column, c.transpose), c.expected)
            << "shape size " << c.shape.size() << ", batch " << c.batch << ", (" << c.row << ", " << c.column
            << ")";
    }
}

TEST(Product, MultipliesEveryEntryIn64Bits) {
    const std::vector<std::pair<std::vector<std::uint32_t>, std::size_t>> cases = {
        {{}, 1},
        {{3, 0, 5}, 0},
        {{2, 3, 4}, 24},
        {{65536, 65536, 3}, 3ULL << 32},
    };
    for (const auto& [shape, expected] : cases) {
        EXPECT_EQ(product(shape), expected) << "shape size " << shape.size();
    }
}

}  // namespace
}  // namespace ovra_tests::diagnostic
