#include "ovra/deep_check/sgemm_calls.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "ovra/deep_check/check_that.hpp"

namespace ovra_tests::deep::diagnostic::tests::calls {

namespace {

// The logical rows of a stored operand, `count` of them, each `length` long, one after another: element k of
// row i is stored at (k, i) when `transposed` and at (i, k) otherwise.
template <class Value>
void gather_rows(std::vector<Value>& rows, std::span<const float> stored, std::uint32_t stride,
                 bool transposed, std::uint32_t count, std::uint32_t length) {
    reuse(rows, std::size_t{count} * length);
    for (std::uint32_t row = 0; row < count; ++row) {
        for (std::uint32_t k = 0; k < length; ++k) {
            rows[std::size_t{row} * length + k] = static_cast<Value>(
                transposed ? stored[std::size_t{k} * stride + row] : stored[std::size_t{row} * stride + k]);
        }
    }
}

// What a check needs of one call, kept from one call to the next on each thread so that their pages are
// written once (see `reuse`): the output, the two operands' lines in the reference's own type, and one
// line of the reference's sums (and of their terms' magnitudes).
template <class Value, class Sum>
struct Scratch {
    std::vector<float> output;
    std::vector<Value> factors;
    std::vector<Value> terms;
    std::vector<Sum> sums;
    std::vector<Sum> magnitudes;
};

// Calls `sgemm` into the scratch output filled with NaN, so that an element it does not write shows; a
// refused call fails the check.
template <class Value, class Sum>
Scratch<Value, Sum>& checked_call(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                                  std::span<const float> right) {
    thread_local Scratch<Value, Sum> scratch;
    reuse(scratch.output, std::size_t{gemm.rows} * gemm.columns);
    std::ranges::fill(scratch.output, not_a_number);
    const Status status =
        sgemm(left, right, scratch.output, gemm.rows, gemm.columns, gemm.inner, gemm.left_stride,
              gemm.right_stride, gemm.transpose_left, gemm.transpose_right);
    check_that(status.has_value(), [&] { return describe(gemm) + ": refused: " + status.error().message; });
    return scratch;
}

// How the exact reference runs through a product: its innermost loop, which the compiler vectorises, goes
// along the longest extent. Across the columns: each output row summed term by term, all its columns at
// once. Down the rows: each output column so, all its rows at once. Along the inner extent: each element a
// dot product.
enum class Sweep { AcrossColumns, DownRows, AlongInner };

Sweep sweep_for(const Gemm& gemm) {
    if (gemm.inner > std::max(gemm.rows, gemm.columns)) {
        return Sweep::AlongInner;
    }
    return gemm.columns >= gemm.rows ? Sweep::AcrossColumns : Sweep::DownRows;
}

}  // namespace

std::string describe(const Gemm& gemm) {
    return fmt::format(
        "{} x {} x {} (rows x inner x columns), left {} with stride {}, right {} with stride {}", gemm.rows,
        gemm.inner, gemm.columns, gemm.transpose_left ? "transposed" : "plain", gemm.left_stride,
        gemm.transpose_right ? "transposed" : "plain", gemm.right_stride);
}

// Sums in 32 bits of 16-bit factors (magnitudes up to 64, products up to 4,096). The reference sums one line
// of the output at a time (a row, or a column when sweeping down the rows); a line found to hold a mismatch
// is searched for its first, and the first in row-major order is reported.
void check_exact(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                 std::span<const float> right) {
    Scratch<std::int16_t, std::int32_t>& call =
        checked_call<std::int16_t, std::int32_t>(sgemm, gemm, left, right);
    const Sweep sweep = sweep_for(gemm);
    const bool down = sweep == Sweep::DownRows;
    // The factors: the rows of op(left), or the columns of op(right) when sweeping down; the terms: the rows
    // of op(right) (its columns along the inner extent), or the columns of op(left) when sweeping down.
    if (down) {
        gather_rows(call.factors, right, gemm.right_stride, !gemm.transpose_right, gemm.columns, gemm.inner);
        gather_rows(call.terms, left, gemm.left_stride, !gemm.transpose_left, gemm.inner, gemm.rows);
    } else {
        gather_rows(call.factors, left, gemm.left_stride, gemm.transpose_left, gemm.rows, gemm.inner);
        if (sweep == Sweep::AlongInner) {
            gather_rows(call.terms, right, gemm.right_stride, !gemm.transpose_right, gemm.columns,
                        gemm.inner);
        } else {
            gather_rows(call.terms, right, gemm.right_stride, gemm.transpose_right, gemm.inner, gemm.columns);
        }
    }
    const std::size_t lines = down ? gemm.columns : gemm.rows;
    const std::size_t length = down ? gemm.rows : gemm.columns;
    const std::size_t inner = gemm.inner;
    call.sums.resize(length);
    std::int32_t* const sums = call.sums.data();
    const float* const output = call.output.data();
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
        const std::int16_t* const factors = call.factors.data() + line * inner;
        if (sweep == Sweep::AlongInner) {
            for (std::size_t at = 0; at < length; ++at) {
                const std::int16_t* const terms = call.terms.data() + at * inner;
                std::int32_t sum = 0;
                for (std::size_t k = 0; k < inner; ++k) {
                    sum += static_cast<std::int16_t>(factors[k] * terms[k]);
                }
                sums[at] = sum;
            }
        } else {
            std::fill_n(sums, length, 0);
            for (std::size_t k = 0; k < inner; ++k) {
                const std::int16_t* const terms = call.terms.data() + k * length;
                for (std::size_t at = 0; at < length; ++at) {
                    sums[at] += static_cast<std::int16_t>(factors[k] * terms[at]);
                }
            }
        }
        std::size_t wrong = 0;
        if (down) {
            for (std::size_t at = 0; at < length; ++at) {
                wrong += observed(line, at) != static_cast<float>(sums[at]) ? 1U : 0U;
            }
        } else {
            const float* const row = output + line * gemm.columns;
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
    Scratch<double, double>& call = checked_call<double, double>(sgemm, gemm, left, right);
    gather_rows(call.factors, left, gemm.left_stride, gemm.transpose_left, gemm.rows, gemm.inner);
    gather_rows(call.terms, right, gemm.right_stride, gemm.transpose_right, gemm.inner, gemm.columns);
    const std::size_t columns = gemm.columns;
    const double unit = std::ldexp(1.0, -24) * static_cast<double>(std::size_t{gemm.inner} + 2);
    for (std::uint32_t row = 0; row < gemm.rows; ++row) {
        call.sums.assign(columns, 0.0);
        call.magnitudes.assign(columns, 0.0);
        double* const sums = call.sums.data();
        double* const magnitudes = call.magnitudes.data();
        for (std::uint32_t k = 0; k < gemm.inner; ++k) {
            const double factor = call.factors[std::size_t{row} * gemm.inner + k];
            const double* const terms = call.terms.data() + k * columns;
            for (std::size_t column = 0; column < columns; ++column) {
                const double term = factor * terms[column];
                sums[column] += term;
                magnitudes[column] += std::fabs(term);
            }
        }
        const float* const observed = call.output.data() + row * columns;
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
