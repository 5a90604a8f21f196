#include "ovra/trivial_test/diagnostic.hpp"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include <cblas.h>
#include <fmt/format.h>

#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests::diagnostic {

namespace {

// One operand as stored: its row count and row length before any transpose, and its row stride.
struct StoredOperand {
    const char* label;
    std::span<const float> elements;
    std::uint64_t rows;
    std::uint64_t columns;
    std::uint64_t stride;
};

// Elements a stored operand's shape and stride reach: every row but the last is a full stride. Every value is
// below 2^31, so this cannot wrap.
std::uint64_t addressed_elements(const StoredOperand& operand) {
    return operand.rows == 0 || operand.columns == 0 ? 0
                                                     : (operand.rows - 1) * operand.stride + operand.columns;
}

// The messages are built out of line so that the checks on the way to CBLAS stay a few compares.
[[gnu::cold]] Error short_stride_error(const StoredOperand& operand) {
    return make_error(fmt::format("host GEMM {} stride {} is shorter than its stored row of {} elements",
                                  operand.label, operand.stride, operand.columns));
}

[[gnu::cold]] Error short_operand_error(const StoredOperand& operand) {
    return make_error(
        fmt::format("host GEMM {} operand holds {} elements but its shape and stride address {}",
                    operand.label, operand.elements.size(), addressed_elements(operand)));
}

}  // namespace

Status host_sgemm(std::span<const float> left, std::span<const float> right, std::span<float> output,
                  std::uint32_t rows, std::uint32_t columns, std::uint32_t inner, std::uint32_t left_stride,
                  std::uint32_t right_stride, bool transpose_left, bool transpose_right) {
    // CBLAS takes signed 32-bit extents; the first value that does not fit ends the call. Checked in line
    // rather than through checked_narrow: the call overhead showed on small products.
    for (const std::uint32_t value : {rows, columns, inner, left_stride, right_stride}) {
        if (!std::in_range<std::int32_t>(value)) [[unlikely]] {
            return std::unexpected(integer_conversion_error());
        }
    }
    const auto m = static_cast<std::int32_t>(rows);
    const auto n = static_cast<std::int32_t>(columns);
    const auto k = static_cast<std::int32_t>(inner);
    const auto lda = static_cast<std::int32_t>(left_stride);
    const auto ldb = static_cast<std::int32_t>(right_stride);

    if (output.size() != std::size_t{rows} * std::size_t{columns}) {
        return std::unexpected(make_error("host GEMM output dimensions are inconsistent"));
    }

    const StoredOperand stored_left{"left", left, transpose_left ? inner : rows,
                                    transpose_left ? rows : inner, left_stride};
    const StoredOperand stored_right{"right", right, transpose_right ? columns : inner,
                                     transpose_right ? inner : columns, right_stride};
    // CBLAS would read past a buffer too short for its layout, or complain on the console about a stride
    // shorter than a row, so both are turned away before the call.
    for (const StoredOperand& operand : {stored_left, stored_right}) {
        if (operand.stride < operand.columns) [[unlikely]] {
            return std::unexpected(short_stride_error(operand));
        }
        if (operand.elements.size() < addressed_elements(operand)) [[unlikely]] {
            return std::unexpected(short_operand_error(operand));
        }
    }

    // An empty extent leaves a product of zeros (or no product at all), while CBLAS rejects the leading
    // dimension 0 such a matrix may legitimately have; there is nothing to ask it.
    if (rows == 0 || columns == 0 || inner == 0) {
        std::ranges::fill(output, 0.0F);
        return {};
    }

    cblas_sgemm(CblasRowMajor, transpose_left ? CblasTrans : CblasNoTrans,
                transpose_right ? CblasTrans : CblasNoTrans, m, n, k, 1.0F, left.data(), lda, right.data(),
                ldb, 0.0F, output.data(), n);
    return {};
}

}  // namespace ovra_tests::diagnostic
