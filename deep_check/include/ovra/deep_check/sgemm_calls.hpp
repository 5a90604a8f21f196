// What the SGEMM checks share: one call's integer arguments and the text that names them in a failure,
// operands as they are stored (rows padded to their stride, the padding NaN so that reading it shows), the
// call into an output of NaN (so that an element left unwritten shows), and the two references the results
// are held to: the exact product of small integers, and a double-precision product with its rounding bound.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "ovra/trivial_test/diagnostic_tests.hpp"

namespace ovra_tests::deep::diagnostic::tests::calls {

using ovra_tests::diagnostic::tests::SgemmFunction;

inline constexpr float not_a_number = std::numeric_limits<float>::quiet_NaN();

// One call's integer arguments.
struct Gemm {
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t inner;
    std::uint32_t left_stride;
    std::uint32_t right_stride;
    bool transpose_left;
    bool transpose_right;
};

// "R x K x C (rows x inner x columns), left ... with stride S, right ... with stride S".
std::string describe(const Gemm& gemm);

// An operand as it is stored: its rows and row length, which a transpose exchanges.
struct Stored {
    std::uint32_t rows;
    std::uint32_t columns;
};

inline Stored stored_left(const Gemm& gemm) {
    return gemm.transpose_left ? Stored{gemm.inner, gemm.rows} : Stored{gemm.rows, gemm.inner};
}
inline Stored stored_right(const Gemm& gemm) {
    return gemm.transpose_right ? Stored{gemm.columns, gemm.inner} : Stored{gemm.inner, gemm.columns};
}

// `gemm` with each operand's stride its stored row plus a padding.
inline Gemm padded(Gemm gemm, std::uint32_t left_padding, std::uint32_t right_padding) {
    gemm.left_stride = stored_left(gemm).columns + left_padding;
    gemm.right_stride = stored_right(gemm).columns + right_padding;
    return gemm;
}

// Elements an operand reaches: every stored row but the last takes a whole stride.
inline std::size_t addressed(Stored stored, std::uint32_t stride) {
    return stored.rows == 0 || stored.columns == 0 ? 0
                                                   : (std::size_t{stored.rows} - 1) * stride + stored.columns;
}

// Logical element (row, column) of an operand stored with `stride`, transposed or not.
inline float element(std::span<const float> values, std::uint32_t stride, bool transpose, std::uint32_t row,
                     std::uint32_t column) {
    return transpose ? values[std::size_t{column} * stride + row]
                     : values[std::size_t{row} * stride + column];
}

// Asks for transparent huge pages over the whole 2 MiB pages inside [start, start + bytes), where the system
// gives them only when asked: one page fault then maps 2 MiB instead of 4 KiB.
void ask_for_huge_pages(void* start, std::size_t bytes);

// The first `size` elements of `buffer`, which grows by at least a quarter when it is too short (the next
// call is often a little larger, its strides padded) and never shrinks. Buffers used again and again this
// way keep their pages: products past the blocking sizes reach millions of elements, and on a virtual
// machine the first write to a fresh page costs more than the arithmetic on it.
template <class Value>
std::span<Value> reuse(std::vector<Value>& buffer, std::size_t size) {
    if (size > buffer.size()) {
        const std::size_t grown = std::max(size + size / 4, 2 * buffer.size());
        buffer.clear();  // nothing to copy
        buffer.reserve(grown);
        ask_for_huge_pages(buffer.data(), grown * sizeof(Value));
        buffer.resize(grown);
    }
    return {buffer.data(), size};
}

// Fills `values`, as long as the operand is addressed, with the operand, its padding NaN. `draw` gives one
// value a call, or fills a whole stored row.
template <class Draw>
void fill_operand(std::span<float> values, Stored stored, std::uint32_t stride, Draw draw) {
    for (std::uint32_t row = 0; row < stored.rows; ++row) {
        const std::span<float> stored_row = values.subspan(std::size_t{row} * stride);
        if constexpr (std::is_invocable_v<Draw&, std::span<float>>) {
            draw(stored_row.first(stored.columns));
        } else {
            for (std::uint32_t column = 0; column < stored.columns; ++column) {
                stored_row[column] = draw();
            }
        }
        if (row + 1 < stored.rows) {
            std::fill(stored_row.begin() + stored.columns, stored_row.begin() + stride, not_a_number);
        }
    }
}

template <class Draw>
std::vector<float> operand(Stored stored, std::uint32_t stride, Draw draw) {
    std::vector<float> values(addressed(stored, stride));
    fill_operand(values, stored, stride, draw);
    return values;
}

// Runs the call and requires every element to equal the product computed in integers, where every value of
// the operands is an integer of magnitude at most 64 and every partial sum stays below 2^24, so that single
// precision holds each exactly in any order of summation. The first element that differs fails the check.
void check_exact(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                 std::span<const float> right);

// Runs the call and requires every element within (inner + 2) units in the last place of single precision
// of the sum of its terms' magnitudes from a double-precision dot product: any order of summation, fused or
// not, stays within (inner + 1) roundings of that sum, and one more covers the reference's own error.
void check_within_rounding(SgemmFunction sgemm, const Gemm& gemm, std::span<const float> left,
                           std::span<const float> right);

}  // namespace ovra_tests::deep::diagnostic::tests::calls
