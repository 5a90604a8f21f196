// Stand-ins for a library's cblas_sgemm, put under host_sgemm's own argument checks, for the tests of the
// SGEMM checks: products computed legally in other ways than a BLAS computes them, and faults of the kinds
// that BLAS releases have shipped, which a BLAS makes only where it changes path.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "ovra/trivial_test/cblas.hpp"
#include "ovra/trivial_test/diagnostic.hpp"

namespace ovra_tests::deep::stand_in {

// One output element from the row of op(left) and the column of op(right) it combines.
using DotProduct = float (*)(std::span<const float> row, std::span<const float> column);

// What is stored at (row, column) of a rows x columns product whose element is `value`; nothing leaves it
// unwritten.
using Store = std::optional<float> (*)(float value, int row, int column, int rows, int columns);

inline std::optional<float> as_computed(float value, int, int, int, int) {
    return value;
}

inline float in_order(std::span<const float> row, std::span<const float> column) {
    float sum = 0.0F;
    for (std::size_t k = 0; k < row.size(); ++k) {
        sum += row[k] * column[k];
    }
    return sum;
}

// A row-major cblas_sgemm as host_sgemm calls it (alpha 1, beta 0, so the output is not read), computing
// each element with `Dot` and storing it through `Put`.
template <DotProduct Dot, Store Put = as_computed>
void product(CBLAS_ORDER, CBLAS_TRANSPOSE transpose_left, CBLAS_TRANSPOSE transpose_right, int rows,
             int columns, int inner, float, const float* left, int left_stride, const float* right,
             int right_stride, float, float* output, int output_stride) {
    const auto at = [](int one, int other, int stride) {
        return static_cast<std::size_t>(one) * static_cast<std::size_t>(stride) +
               static_cast<std::size_t>(other);
    };
    const auto count = static_cast<std::size_t>(inner);
    std::vector<float> row(count);
    std::vector<float> right_columns(static_cast<std::size_t>(columns) * count);
    for (int column = 0; column < columns; ++column) {
        for (int k = 0; k < inner; ++k) {
            right_columns[at(column, k, inner)] = transpose_right == CblasTrans
                                                      ? right[at(column, k, right_stride)]
                                                      : right[at(k, column, right_stride)];
        }
    }
    for (int i = 0; i < rows; ++i) {
        for (int k = 0; k < inner; ++k) {
            row[static_cast<std::size_t>(k)] =
                transpose_left == CblasTrans ? left[at(k, i, left_stride)] : left[at(i, k, left_stride)];
        }
        for (int column = 0; column < columns; ++column) {
            const std::span<const float> terms(right_columns.data() + at(column, 0, inner), count);
            if (const std::optional<float> stored = Put(Dot(row, terms), i, column, rows, columns)) {
                output[at(i, column, output_stride)] = *stored;
            }
        }
    }
}

// host_sgemm over the stand-in: every argument check of the host product, then the stand-in.
template <ovra_tests::diagnostic::CblasSgemm Sgemm>
ovra_runner::Status through(std::span<const float> left, std::span<const float> right,
                            std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                            std::uint32_t inner, std::uint32_t left_stride, std::uint32_t right_stride,
                            bool transpose_left, bool transpose_right) {
    return ovra_tests::diagnostic::host_sgemm_through({Sgemm, false, false}, left, right, output, rows,
                                                      columns, inner, left_stride, right_stride,
                                                      transpose_left, transpose_right);
}

}  // namespace ovra_tests::deep::stand_in
