#include "ovra/deep_check/sgemm_calls.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "ovra/deep_check/check_that.hpp"

namespace ovra_tests::deep::diagnostic::tests::calls {

namespace {

// The logical rows of a stored operand, `count` of them, each `length` long, one after another in `buffer`:
// element k of row i is stored at (k, i) when `transposed` and at (i, k) otherwise.
template <class Value>
const Value* gather_rows(std::vector<Value>& buffer, std::span<const float> stored, std::uint32_t stride,
                         bool transposed, std::uint32_t count, std::uint32_t length) {
    const std::span<Value> rows = reuse(buffer, std::size_t{count} * length);
    for (std::uint32_t row = 0; row < count; ++row) {
        for (std::uint32_t k = 0; k < length; ++k) {
            rows[std::size_t{row} * length + k] = static_cast<Value>(
                transposed ? stored[std::size_t{k} * stride + row] : stored[std::size_t{row} * stride + k]);
        }
    }
    return rows.data();
}

// Buffers of a check, kept from one call to the next on each thread (see `reuse`): the output, the two
// operands' lines in the reference's own type, and one line of the reference's sums (and of their terms'
// magnitudes).
template <class Value, class Sum>
struct Scratch {
    std::vector<float> output;
    std::vector<Value> factors;
    std::vector<Value> terms;
    std::vector<Sum> sums;
    std::vector<Sum> magnitudes;
};

template <class Value, class Sum>
Scratch<Value, Sum>& scratch() {
    thread_local Scratch<Value, Sum> buffers;
    return buffers;
}

// Calls `sgemm` into an output of NaN, so that an element it does not write shows; a refused call fails the
// check.
std::span<const float> checked_call(std::vector<float>& buffer, SgemmFunction sgemm, const Gemm& gemm,
                                    std::span<const float> left, std::span<const float> right) {
    const std::span<float> output = reuse(buffer, std::size_t{gemm.rows} * gemm.columns);
    std::ranges::fill(output, not_a_number);
    const ovra_runner::Status status =
        sgemm(left, right, output, gemm.rows, gemm.columns, gemm.inner, gemm.left_stride, gemm.right_stride,
              gemm.transpose_left, gemm.transpose_right);
    check_that(status.has_value(), [&] { return describe(gemm) + ": refused: " + status.error().message; });
    return output;
}

// How the exact reference runs through a product: its innermost loop, which the compiler vectorises, goes
// along the longest extent. Across the columns: each output row summed term by term, all its columns at
// once. Down the rows: each output column so, all its rows at once. Along the inner extent: each element a
// dot product.
enum class Traversal { AcrossColumns, DownRows, AlongInner };

Traversal traversal_for(const Gemm& gemm) {
    if (gemm.inner > std::max(gemm.rows, gemm.columns)) {
        return Traversal::AlongInner;
    }
    return gemm.columns >= gemm.rows ? Traversal::AcrossColumns : Traversal::DownRows;
}

}  // namespace

void ask_for_huge_pages(void* start, std::size_t bytes) {
    constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
    const auto first = (reinterpret_cast<std::uintptr_t>(start) + huge_page - 1) & ~(huge_page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(huge_page - 1);
    if (end > first) {
        // Advice only: where the system refuses it, pages stay small.
        static_cast<void>(::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE));
    }
}

std::string describe(const Gemm& gemm) {
    return fmt::format(
        "{} x {} x {} (rows x inner x columns), left {} with stride {}, right {} with stride {}", gemm.rows,
        gemm.inner, gemm.columns, gemm.transpose_left ? "transposed" : "plain", gemm.left_stride,
        gemm.transpose_right ? "transposed" : "plain", gemm.right_stride);
}

// Sums in 32 bits of 16-bit factors (magnitudes up to 64, products up to 4,096). The reference sums one line
// of the output at a time (a row, or a column when going down the rows); a line found to hold a mismatch
// is searched for its first, and the first in row-major order is reported.
void check_exact(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                 std::span<const float> right) {
    Scratch<std::int16_t, std::int32_t>& buffers = scratch<std::int16_t, std::int32_t>();
    const std::span<const float> output = checked_call(buffers.output, sgemm, gemm, left, right);
    const Traversal traversal = traversal_for(gemm);
    const bool down = traversal == Traversal::DownRows;
    // The factors: the rows of op(left), or the columns of op(right) when going down; the terms: the rows
    // of op(right) (its columns along the inner extent), or the columns of op(left) when going down.
    const std::int16_t* const factors = down ? gather_rows(buffers.factors, right, gemm.right_stride,
                                                           !gemm.transpose_right, gemm.columns, gemm.inner)
                                             : gather_rows(buffers.factors, left, gemm.left_stride,
                                                           gemm.transpose_left, gemm.rows, gemm.inner);
    const std::int16_t* const terms =
        down ? gather_rows(buffers.terms, left, gemm.left_stride, !gemm.transpose_left, gemm.inner, gemm.rows)
        : traversal == Traversal::AlongInner ? gather_rows(buffers.terms, right, gemm.right_stride,
                                                           !gemm.transpose_right, gemm.columns, gemm.inner)
                                             : gather_rows(buffers.terms, right, gemm.right_stride,
                                                           gemm.transpose_right, gemm.inner, gemm.columns);
    const std::size_t lines = down ? gemm.columns : gemm.rows;
    const std::size_t length = down ? gemm.rows : gemm.columns;
    const std::size_t inner = gemm.inner;
    const std::span<std::int32_t> sums = reuse(buffers.sums, length);
    const auto observed = [&](std::size_t line, std::size_t at) {
        return down ? output[at * gemm.columns + line] : output[line * gemm.columns + at];
    };
    struct Mismatch {
        std::size_t row;
        std::size_t column;
        float observed;
        std::int32_t expected;
    };
    std::optional<Mismatch> first;
    for (std::size_t line = 0; line < lines && (down || !first); ++line) {
        const std::int16_t* const line_factors = factors + line * inner;
        if (traversal == Traversal::AlongInner) {
            for (std::size_t at = 0; at < length; ++at) {
                const std::int16_t* const line_terms = terms + at * inner;
                std::int32_t sum = 0;
                for (std::size_t k = 0; k < inner; ++k) {
                    sum += static_cast<std::int16_t>(line_factors[k] * line_terms[k]);
                }
                sums[at] = sum;
            }
        } else {
            std::ranges::fill(sums, 0);
            for (std::size_t k = 0; k < inner; ++k) {
                const std::int16_t* const line_terms = terms + k * length;
                for (std::size_t at = 0; at < length; ++at) {
                    sums[at] += static_cast<std::int16_t>(line_factors[k] * line_terms[at]);
                }
            }
        }
        std::size_t wrong = 0;
        if (down) {
            for (std::size_t at = 0; at < length; ++at) {
                wrong += observed(line, at) != static_cast<float>(sums[at]) ? 1U : 0U;
            }
        } else {
            const float* const row = output.data() + line * gemm.columns;
            for (std::size_t at = 0; at < length; ++at) {
                wrong += row[at] != static_cast<float>(sums[at]) ? 1U : 0U;
            }
        }
        if (wrong != 0) {
            std::size_t at = 0;
            while (observed(line, at) == static_cast<float>(sums[at])) {
                ++at;
            }
            const Mismatch found{down ? at : line, down ? line : at, observed(line, at), sums[at]};
            if (!first || found.row < first->row) {
                first = found;
            }
        }
    }
    check_that(!first, [&] {
        return fmt::format("{}: element ({}, {}) is {}, not {}", describe(gemm), first->row, first->column,
                           first->observed, first->expected);
    });
}

// Each output row summed across its columns at once, term by term in the order of the inner extent (a
// double-precision sum is not reordered, so only this loop vectorises).
void check_within_rounding(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                           std::span<const float> right) {
    Scratch<double, double>& buffers = scratch<double, double>();
    const std::span<const float> output = checked_call(buffers.output, sgemm, gemm, left, right);
    const double* const factors =
        gather_rows(buffers.factors, left, gemm.left_stride, gemm.transpose_left, gemm.rows, gemm.inner);
    const double* const terms =
        gather_rows(buffers.terms, right, gemm.right_stride, gemm.transpose_right, gemm.inner, gemm.columns);
    const std::size_t columns = gemm.columns;
    const std::span<double> sums = reuse(buffers.sums, columns);
    const std::span<double> magnitudes = reuse(buffers.magnitudes, columns);
    const double unit = std::ldexp(1.0, -24) * static_cast<double>(std::size_t{gemm.inner} + 2);
    for (std::uint32_t row = 0; row < gemm.rows; ++row) {
        std::ranges::fill(sums, 0.0);
        std::ranges::fill(magnitudes, 0.0);
        for (std::uint32_t k = 0; k < gemm.inner; ++k) {
            const double factor = factors[std::size_t{row} * gemm.inner + k];
            const double* const row_terms = terms + k * columns;
            for (std::size_t column = 0; column < columns; ++column) {
                const double term = factor * row_terms[column];
                sums[column] += term;
                magnitudes[column] += std::fabs(term);
            }
        }
        const float* const observed = output.data() + row * columns;
        const auto within = [&](std::size_t column) {
            return std::fabs(double{observed[column]} - sums[column]) <= unit * magnitudes[column];
        };
        std::size_t wrong = 0;
        for (std::size_t column = 0; column < columns; ++column) {
            wrong += within(column) ? 0U : 1U;
        }
        check_that(wrong == 0, [&] {
            std::size_t column = 0;
            while (within(column)) {
                ++column;
            }
            return fmt::format("{}: element ({}, {}) is {}, not within {} of {}", describe(gemm), row, column,
                               observed[column], unit * magnitudes[column], sums[column]);
        });
    }
}

}  // namespace ovra_tests::deep::diagnostic::tests::calls
