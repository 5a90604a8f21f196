// What the deep check leaves to the unit level: the exact message of each refusal and which comes first,
// that errors carry no cause, that an empty product prints nothing, operands longer than addressed, shapes
// of fewer than two entries, and which libraries' calls take turns. The products themselves and the limits
// of every argument are the deep check's (deep::diagnostic::tests).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ovra/trivial_test/cblas.hpp"
#include "ovra/trivial_test/diagnostic.hpp"

namespace ovra_tests::diagnostic {
namespace {

const float not_a_number = std::numeric_limits<float>::quiet_NaN();

struct Dimensions {
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t inner;
    std::uint32_t left_stride;
    std::uint32_t right_stride;
    bool transpose_left = false;
    bool transpose_right = false;
};

ovra_runner::Status multiply(std::span<const float> left, std::span<const float> right,
                             std::span<float> output, const Dimensions& d) {
    return host_sgemm(left, right, output, d.rows, d.columns, d.inner, d.left_stride, d.right_stride,
                      d.transpose_left, d.transpose_right);
}

TEST(HostSgemm, RefusesWithTheMessageOfTheFirstFaultAndNoCause) {
    struct RefusedCase {
        const char* label;
        Dimensions dimensions;
        std::size_t left_length;
        std::size_t right_length;
        std::size_t output_length;
        std::string message;
    };
    const std::vector<RefusedCase> cases = {
        {"rows beyond the signed range",
         {2147483648U, 1, 1, 1, 1},
         1,
         1,
         4,
         "out of range integral type conversion attempted"},
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
    constexpr float sentinel = -7.25F;
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<float> left(c.left_length, 1.0F);
        const std::vector<float> right(c.right_length, 1.0F);
        std::vector<float> output(c.output_length, sentinel);
        const ovra_runner::Status status = multiply(left, right, output, c.dimensions);
        ASSERT_FALSE(status.has_value());
        EXPECT_EQ(status.error().message, c.message);
        EXPECT_TRUE(status.error().causes.empty());
        EXPECT_EQ(output, std::vector<float>(c.output_length, sentinel));
    }
}

// An empty extent never reaches the BLAS, whose error handler would print on stdout or stderr, depending
// on the build; operands longer than they are addressed are read only as far as they are.
TEST(HostSgemm, EdgeProductsAreComputedSilently) {
    struct AcceptedCase {
        const char* label;
        Dimensions dimensions;
        std::vector<float> left;
        std::vector<float> right;
        std::vector<float> expected;
    };
    const float x = not_a_number;
    const std::vector<AcceptedCase> cases = {
        {"no rows", {0, 2, 3, 3, 2}, {}, std::vector<float>(6, 1.0F), {}},
        {"no columns", {2, 0, 3, 3, 0}, std::vector<float>(6, 1.0F), {}, {}},
        {"no inner, zero strides", {2, 3, 0, 0, 0, false, true}, {}, {}, std::vector<float>(6, 0.0F)},
        {"no inner, transposed left", {2, 3, 0, 2, 3, true, false}, {}, {}, std::vector<float>(6, 0.0F)},
        {"all empty", {0, 0, 0, 0, 0}, {}, {}, {}},
        {"longer operands than addressed",
         {2, 2, 3, 3, 2},
         {1, 2, 3, 4, 5, 6, x},
         {7, 8, 9, 10, 11, 12, x},
         {58, 64, 139, 154}},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<float> output(c.expected.size(), not_a_number);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const ovra_runner::Status status = multiply(c.left, c.right, output, c.dimensions);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        ASSERT_TRUE(status.has_value()) << status.error().message;
        EXPECT_EQ(output, c.expected);
    }
}

// Only a library known to be safe for calls at once runs them side by side; an OpenBLAS that does not say
// how it runs is taken for the serial build.
TEST(DescribeCblas, CallsTakeTurnsUnlessTheLibraryIsKnownSafe) {
    struct Case {
        const char* label;
        CblasVendor vendor;
        std::optional<int> openblas_parallel;
        bool serialised;
        bool maps_work_buffer;
    };
    const std::vector<Case> cases = {
        {"serial OpenBLAS", CblasVendor::OpenBlas, 0, true, true},
        {"OpenBLAS on its own threads", CblasVendor::OpenBlas, 1, false, true},
        {"OpenBLAS on OpenMP", CblasVendor::OpenBlas, 2, false, true},
        {"OpenBLAS that does not say", CblasVendor::OpenBlas, std::nullopt, true, true},
        {"BLIS", CblasVendor::Blis, std::nullopt, false, false},
        {"any other", CblasVendor::Other, std::nullopt, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Cblas described = describe_cblas(&cblas_sgemm, c.vendor, c.openblas_parallel);
        EXPECT_EQ(described.sgemm, &cblas_sgemm);
        EXPECT_EQ(described.serialised, c.serialised);
        EXPECT_EQ(described.maps_work_buffer, c.maps_work_buffer);
    }
}

TEST(MatrixIndex, CountsMissingShapeEntriesAsOne) {
    const std::vector<std::uint32_t> one_row{5};
    const std::vector<std::uint32_t> no_entries{};
    EXPECT_EQ(matrix_index(one_row, 1, 0, 3, false), 8U);
    EXPECT_EQ(matrix_index(no_entries, 2, 0, 0, false), 2U);
}

}  // namespace
}  // namespace ovra_tests::diagnostic
