#include "ovra/deep_check/sgemm_checks.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/check_that.hpp"
#include "ovra/deep_check/sgemm_calls.hpp"
#include "ovra/trivial_test/diagnostic.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_runner::Status;

namespace {

using calls::addressed;
using calls::check_exact;
using calls::describe;
using calls::Gemm;
using calls::operand;
using calls::Stored;
using calls::stored_left;
using calls::stored_right;

// A product of integers from -8 to 8: with `inner` at most 64 every partial sum is an integer below 2^24,
// so single precision holds it exactly in any order of summation.
void check_integer_product(SgemmFunction sgemm, Rng& random, std::uint32_t rows, std::uint32_t columns,
                           std::uint32_t inner, std::uint32_t pair, std::uint32_t padding) {
    Gemm gemm{rows, columns, inner, 0, 0, (pair & 1U) != 0, (pair & 2U) != 0};
    gemm.left_stride = stored_left(gemm).columns + padding;
    gemm.right_stride = stored_right(gemm).columns + 2 * padding;
    const auto draw = [&random] {
        return static_cast<float>(static_cast<int>(random.u32(inclusive<std::uint32_t>(0, 16))) - 8);
    };
    const std::vector<float> left = operand(stored_left(gemm), gemm.left_stride, draw);
    const std::vector<float> right = operand(stored_right(gemm), gemm.right_stride, draw);
    check_exact(sgemm, gemm, left, right);
}

constexpr std::array<std::uint32_t, 4> transpose_pairs{0, 1, 2, 3};

}  // namespace

Status small_integer_products_are_exact(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x534D414C4C494E54ULL);  // "SMALLINT"
    for (std::uint32_t rows = 1; rows <= 6; ++rows) {
        for (std::uint32_t inner = 1; inner <= 6; ++inner) {
            for (std::uint32_t columns = 1; columns <= 6; ++columns) {
                for (const std::uint32_t pair : transpose_pairs) {
                    for (const std::uint32_t padding : {0U, 1U}) {
                        check_integer_product(sgemm, random, rows, columns, inner, pair, padding);
                    }
                }
            }
        }
    }
    return {};
}

Status integer_products_up_to_64_are_exact(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x4249474D41545249ULL);  // "BIGMATRI"
    // The extremes first: the largest, and the most lopsided.
    constexpr std::array<std::array<std::uint32_t, 3>, 8> extremes{{
        {64, 64, 64},
        {1, 64, 1},
        {64, 1, 64},
        {1, 1, 64},
        {64, 64, 1},
        {64, 1, 1},
        {1, 64, 64},
        {63, 17, 64},
    }};
    for (const auto& [rows, columns, inner] : extremes) {
        for (const std::uint32_t pair : transpose_pairs) {
            check_integer_product(sgemm, random, rows, columns, inner, pair, pair);
        }
    }
    for (int test_case = 0; test_case < 400; ++test_case) {
        const std::uint32_t rows = random.u32(inclusive<std::uint32_t>(1, 64));
        const std::uint32_t columns = random.u32(inclusive<std::uint32_t>(1, 64));
        const std::uint32_t inner = random.u32(inclusive<std::uint32_t>(1, 64));
        const std::uint32_t padding = random.u32(inclusive<std::uint32_t>(0, 3));
        check_integer_product(sgemm, random, rows, columns, inner, static_cast<std::uint32_t>(test_case % 4),
                              padding);
    }
    return {};
}

Status real_products_match_a_scalar_reference(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x5245414C47454D4DULL);  // "REALGEMM"
    for (int test_case = 0; test_case < 300; ++test_case) {
        Gemm gemm{random.u32(inclusive<std::uint32_t>(1, 64)),
                  random.u32(inclusive<std::uint32_t>(1, 64)),
                  random.u32(inclusive<std::uint32_t>(1, 64)),
                  0,
                  0,
                  test_case % 2 == 1,
                  test_case % 4 >= 2};
        gemm.left_stride = stored_left(gemm).columns + random.u32(inclusive<std::uint32_t>(0, 3));
        gemm.right_stride = stored_right(gemm).columns + random.u32(inclusive<std::uint32_t>(0, 3));
        // Values in [-0.5, 0.5) times a power of two from 2^-10 to 2^10, one per operand.
        const auto values = [&random](Stored stored, std::uint32_t stride) {
            const float scale =
                std::ldexp(1.0F, static_cast<int>(random.u32(inclusive<std::uint32_t>(0, 20))) - 10);
            return operand(stored, stride, [&random, scale] { return (random.f32() - 0.5F) * scale; });
        };
        const std::vector<float> left = values(stored_left(gemm), gemm.left_stride);
        const std::vector<float> right = values(stored_right(gemm), gemm.right_stride);
        calls::check_within_rounding(sgemm, gemm, left, right);
    }
    return {};
}

Status sgemm_refuses_arguments_at_their_limits(SgemmFunction sgemm) {
    constexpr std::uint32_t beyond = 2147483648U;
    constexpr std::uint32_t largest = 2147483647U;
    const std::string conversion = "out of range integral type conversion attempted";
    const std::string inconsistent = "host GEMM output dimensions are inconsistent";
    struct Refusal {
        Gemm gemm;
        std::size_t left_length;
        std::size_t right_length;
        std::size_t output_length;
        std::string message;  // empty: any message
    };
    std::vector<Refusal> refusals = {
        {{beyond, 1, 1, 1, 1, false, false}, 1, 1, 1, conversion},
        {{1, beyond, 1, 1, 1, false, false}, 1, 1, 1, conversion},
        {{1, 1, beyond, 1, 1, false, false}, 1, 1, 1, conversion},
        {{1, 1, 1, beyond, 1, false, false}, 1, 1, 1, conversion},
        // The conversion comes before the output's length.
        {{1, 1, 1, 1, beyond, false, false}, 1, 1, 4, conversion},
        {{largest, 1, 1, 1, 1, false, false}, 1, 1, 1, inconsistent},
        {{1, largest, 1, 1, 1, false, false}, 1, 1, 1, inconsistent},
        {{3, 4, 5, 5, 4, false, false}, 15, 20, 11, inconsistent},
        {{3, 4, 5, 5, 4, false, false}, 15, 20, 13, inconsistent},
    };
    std::vector<Gemm> accepted = {
        // A stride however long, on an operand of one stored row, reaches one row only.
        {1, 1, 1, largest, largest, false, false},
        // Empty extents: an empty product, or one of zeros when only `inner` is 0.
        {2, 3, 0, 0, 3, false, false},
        {2, 3, 0, 2, 0, true, true},
        {0, 3, 4, 4, 3, false, false},
        {2, 0, 4, 4, 0, false, false},
    };
    // Each operand, in each storage form, with its stride as long as its stored row, one element short of
    // it, and padded, each as long as it is addressed and one element shorter.
    for (const std::uint32_t pair : transpose_pairs) {
        Gemm gemm{3, 4, 5, 0, 0, (pair & 1U) != 0, (pair & 2U) != 0};
        for (const std::uint32_t padding : {0U, 2U}) {
            gemm.left_stride = stored_left(gemm).columns + padding;
            gemm.right_stride = stored_right(gemm).columns + padding;
            accepted.push_back(gemm);
            const std::size_t left = addressed(stored_left(gemm), gemm.left_stride);
            const std::size_t right = addressed(stored_right(gemm), gemm.right_stride);
            refusals.push_back({gemm, left - 1, right, 12, ""});
            refusals.push_back({gemm, left, right - 1, 12, ""});
            Gemm short_left = gemm;
            short_left.left_stride = stored_left(gemm).columns - 1;
            refusals.push_back({short_left, left, right, 12, ""});
            Gemm short_right = gemm;
            short_right.right_stride = stored_right(gemm).columns - 1;
            refusals.push_back({short_right, left, right, 12, ""});
        }
    }

    constexpr float sentinel = -7.25F;
    for (const Refusal& refusal : refusals) {
        const std::vector<float> left(refusal.left_length, 1.0F);
        const std::vector<float> right(refusal.right_length, 1.0F);
        std::vector<float> output(refusal.output_length, sentinel);
        const Gemm& gemm = refusal.gemm;
        const Status status =
            sgemm(left, right, output, gemm.rows, gemm.columns, gemm.inner, gemm.left_stride,
                  gemm.right_stride, gemm.transpose_left, gemm.transpose_right);
        const auto about = [&](std::string_view what) {
            return fmt::format("{}, operands of {} and {} elements, output of {}: {}", describe(gemm),
                               refusal.left_length, refusal.right_length, refusal.output_length, what);
        };
        check_that(!status.has_value(), [&] { return about("accepted"); });
        check_that(refusal.message.empty() || status.error().message == refusal.message,
                   [&] { return about(fmt::format("refused with \"{}\"", status.error().message)); });
        check_that(std::ranges::all_of(output, [](float value) { return value == sentinel; }),
                   [&] { return about("refused, but the output was written"); });
    }
    Rng random = Rng::with_seed(0x4C494D4954534F4BULL);  // "LIMITSOK"
    for (const Gemm& gemm : accepted) {
        const auto draw = [&random] {
            return static_cast<float>(random.u32(inclusive<std::uint32_t>(1, 9)));
        };
        check_exact(sgemm, gemm, operand(stored_left(gemm), gemm.left_stride, draw),
                    operand(stored_right(gemm), gemm.right_stride, draw));
    }
    return {};
}

Status matrix_index_counts_batches_rows_and_columns(MatrixIndexFunction matrix_index,
                                                    ProductFunction product) {
    for (std::uint32_t stored_rows = 1; stored_rows <= 6; ++stored_rows) {
        for (std::uint32_t stored_columns = 1; stored_columns <= 6; ++stored_columns) {
            // Entries before the last two are not read: the batch alone counts whole matrices.
            const std::array<std::uint32_t, 3> shape{7, stored_rows, stored_columns};
            for (std::size_t batch = 0; batch < 3; ++batch) {
                for (const bool transpose : {false, true}) {
                    const std::uint32_t rows = transpose ? stored_columns : stored_rows;
                    const std::uint32_t columns = transpose ? stored_rows : stored_columns;
                    for (std::uint32_t row = 0; row < rows; ++row) {
                        for (std::uint32_t column = 0; column < columns; ++column) {
                            const std::size_t stored_at = transpose
                                                              ? std::size_t{column} * stored_columns + row
                                                              : std::size_t{row} * stored_columns + column;
                            const std::size_t expected = batch * stored_rows * stored_columns + stored_at;
                            const std::size_t got = matrix_index(shape, batch, row, column, transpose);
                            check_that(got == expected, [&] {
                                return fmt::format(
                                    "matrix_index of [7, {}, {}], batch {}, ({}, {}){} is {}, not {}",
                                    stored_rows, stored_columns, batch, row, column,
                                    transpose ? " transposed" : "", got, expected);
                            });
                        }
                    }
                }
            }
        }
    }
    // Counts past 32 bits are not wrapped.
    struct IndexCase {
        std::array<std::uint32_t, 2> shape;
        std::size_t batch;
        std::uint32_t row;
        std::uint32_t column;
        bool transpose;
        std::size_t expected;
    };
    constexpr std::array<IndexCase, 3> large{{
        {{65536, 65536}, 1, 0, 0, false, std::size_t{1} << 32},
        {{70000, 70000}, 0, 1, 69999, true, 69999ULL * 70000 + 1},
        {{70000, 70000}, 2, 69999, 69999, false, 2 * 4900000000ULL + 69999ULL * 70000 + 69999},
    }};
    for (const IndexCase& c : large) {
        const std::size_t got = matrix_index(c.shape, c.batch, c.row, c.column, c.transpose);
        check_that(got == c.expected, [&] {
            return fmt::format("matrix_index of [{}, {}], batch {}, ({}, {}) is {}, not {}", c.shape[0],
                               c.shape[1], c.batch, c.row, c.column, got, c.expected);
        });
    }
    struct ProductCase {
        std::vector<std::uint32_t> shape;
        std::size_t expected;
    };
    const std::array<ProductCase, 5> products{{
        {{}, 1},
        {{7}, 7},
        {{3, 0, 5}, 0},
        {{2, 3, 4}, 24},
        {{65536, 65536, 3}, std::size_t{3} << 32},
    }};
    for (const ProductCase& c : products) {
        check_that(product(c.shape) == c.expected, [&] {
            return fmt::format("product of [{}] is {}, not {}", fmt::join(c.shape, ", "), product(c.shape),
                               c.expected);
        });
    }
    return {};
}

Status exhaustive_small_integer_products_are_exact() {
    return small_integer_products_are_exact(sgemm_under_check);
}

Status randomized_integer_products_up_to_64_are_exact() {
    return integer_products_up_to_64_are_exact(sgemm_under_check);
}

Status randomized_real_products_match_a_scalar_reference() {
    return real_products_match_a_scalar_reference(sgemm_under_check);
}

Status exhaustive_sgemm_refuses_arguments_at_their_limits() {
    return sgemm_refuses_arguments_at_their_limits(sgemm_under_check);
}

Status exhaustive_matrix_index_counts_batches_rows_and_columns() {
    return matrix_index_counts_batches_rows_and_columns(ovra_tests::diagnostic::matrix_index,
                                                        ovra_tests::diagnostic::product);
}

}  // namespace ovra_tests::deep::diagnostic::tests
