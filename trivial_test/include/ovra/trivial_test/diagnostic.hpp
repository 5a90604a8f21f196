// Host single-precision matrix arithmetic: the reference product the accelerator's results are checked
// against, and the row-major indexing used to read matrices element by element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/cblas.hpp"

namespace ovra_tests::diagnostic {

// output = op(left) * op(right), all row-major. `left` is stored rows x inner (inner x rows when
// `transpose_left`) with row stride `left_stride`; `right` is stored inner x columns (columns x inner when
// `transpose_right`) with row stride `right_stride`; `output` is rows x columns with row stride `columns`.
// Fails, leaving `output` untouched, when a dimension or stride exceeds the signed 32-bit range CBLAS
// takes, when `output` is not exactly rows x columns long, when a stride is shorter than its operand's
// stored row, or when an operand holds fewer elements than its shape and stride address. Any number of
// threads may call it at once: calls into a library that is not safe for that take turns.
ovra_runner::Status host_sgemm(std::span<const float> left, std::span<const float> right,
                               std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                               std::uint32_t inner, std::uint32_t left_stride, std::uint32_t right_stride,
                               bool transpose_left, bool transpose_right);

// host_sgemm through `blas` instead of the linked library.
ovra_runner::Status host_sgemm_through(const Cblas& blas, std::span<const float> left,
                                       std::span<const float> right, std::span<float> output,
                                       std::uint32_t rows, std::uint32_t columns, std::uint32_t inner,
                                       std::uint32_t left_stride, std::uint32_t right_stride,
                                       bool transpose_left, bool transpose_right);

// Flat row-major position of logical element (row, column) of matrix `batch` in a buffer of matrices whose
// stored shape is the last two entries of `shape` (rows, then columns; entries before them are ignored).
// A transposed matrix is stored as its transpose, so (row, column) is read at stored (column, row).
// Missing entries of a shorter shape count as 1: [n] is one stored row of n, [] a single element.
// Computed modulo 2^64. Inline, since the GEMM test calls it for every term of every product.
inline std::size_t matrix_index(std::span<const std::uint32_t> shape, std::size_t batch, std::uint32_t row,
                                std::uint32_t column, bool transpose) {
    const std::size_t count = shape.size();
    const std::uint64_t stored_rows = count >= 2 ? shape[count - 2] : 1;
    const std::uint64_t stored_columns = count >= 1 ? shape[count - 1] : 1;
    const std::uint64_t r = transpose ? column : row;
    const std::uint64_t c = transpose ? row : column;
    return batch * stored_rows * stored_columns + r * stored_columns + c;
}

// Element count of `shape`: the product of its entries, 1 for an empty shape. Computed modulo 2^64.
inline std::size_t product(std::span<const std::uint32_t> shape) {
    std::uint64_t result = 1;
    for (const std::uint32_t entry : shape) {
        result *= entry;
    }
    return result;
}

}  // namespace ovra_tests::diagnostic
