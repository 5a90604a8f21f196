// Where an element stored for one AMP kernel role sits in its logical matrix.
//
// Given the logical extents (rows x columns), the role and the element precision, a linear storage
// position (counted in elements from the matrix's first stored element) maps back to the logical
// (row, column) stored there. All functions are constant time, loop-free and allocation-free.
//
// The orders, with `inner` = amp_micro_dimension(precision):
// - Left: vertical panels of `inner` columns, leftmost first; inside a panel rows run top to bottom and
//   each row's `inner` elements left to right. Needs columns % inner == 0.
// - Output: as Left with panels of 16 columns whatever the precision, but inside each panel row the
//   eight column pairs lie in the order 0, 4, 1, 5, 2, 6, 3, 7. Needs columns % 16 == 0.
// - right-matrix order: blocks of `inner` rows by 16 columns, numbered down the rows first; inside a
//   block columns run left to right and each column's `inner` elements top to bottom. Needs
//   rows % inner == 0 and columns % 16 == 0.
// - TransposedLeft, TransposedOutput, TransposedRight: the matrix lies as its transpose does in Left,
//   Output and right-matrix order.
//
// Errors, checked in this order: the block check (AmpBlock naming the untransposed role; InvalidView
// for right-matrix order and TransposedRight), then the one guarded product rows * inner (Left) or
// rows * 16 (Output), which must fit 32 bits (Overflow). Transposed roles check their exchanged extents.
//
// A position is not compared with rows * columns: one at or past the end of the matrix still yields a
// pair, one that lies outside the matrix (a column >= columns for Left, Output and right-matrix order,
// a row >= rows for the transposed roles). Callers keep positions below rows * columns.
//
// Zero extents: a matrix with no rows (no columns, for the transposed roles) has no storage position
// to map and would make the panel size a divisor of zero, so such a call returns InvalidView after the
// block check. Zero columns for Left and Output (zero rows for their transposes) is accepted and maps
// as if the panels went on to the right, since the panel size stays nonzero. Right-matrix order
// likewise returns InvalidView when it has no row group (rows == 0; columns == 0 for TransposedRight).
#pragma once

#include <cstdint>
#include <expected>
#include <limits>
#include <variant>

#include "ovra/codegen/layout.hpp"
#include "ovra/codegen/matrix_coordinates.hpp"
#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/storage_error.hpp"

namespace ovra_codegen::storage {

using CoordinatesResult = std::expected<MatrixCoordinates, StorageError>;

// Output order's interleave inside one 16-column panel row: physical pairs 0 to 7 hold the logical
// column pairs 0, 4, 1, 5, 2, 6, 3, 7, and a pair keeps its two elements in order. Both functions take
// and give a column within the panel row, 0 to 15, and each undoes the other.
constexpr std::uint32_t output_logical_column(std::uint32_t physical_column) {
    const std::uint32_t physical_pair = physical_column / 2;
    const std::uint32_t logical_pair = (physical_pair % 2) * 4 + physical_pair / 2;
    return logical_pair * 2 + physical_column % 2;
}

constexpr std::uint32_t output_physical_column(std::uint32_t logical_column) {
    const std::uint32_t logical_pair = logical_column / 2;
    const std::uint32_t physical_pair = (logical_pair % 4) * 2 + logical_pair / 4;
    return physical_pair * 2 + logical_column % 2;
}

// The block shape of a storage order, in logical rows and columns: the order accepts a matrix only if
// its extents are multiples of it (its block check). Each block is one unbroken run of positions, and
// blocks are stored down the rows first (along the columns first for the transposed roles); so blocks
// one row tall (one column tall, transposed) stack into panels that run through the whole matrix.
struct BlockShape {
    std::uint32_t rows;
    std::uint32_t columns;
    friend bool operator==(const BlockShape&, const BlockShape&) = default;
};

namespace detail {

constexpr std::uint32_t micro_dimension_of(operator_::F8F143 /*precision*/) {
    return 32;
}
constexpr std::uint32_t micro_dimension_of(operator_::F16 /*precision*/) {
    return 16;
}
constexpr std::uint32_t micro_dimension_of(operator_::F32 /*precision*/) {
    return 8;
}

// Output panels are 16 columns wide whatever the precision; so are right-matrix blocks.
inline constexpr std::uint32_t block_columns = 16;

// rows * width as a panel size, or Overflow when the exact product does not fit 32 bits.
constexpr std::expected<std::uint32_t, StorageError> panel_elements(std::uint32_t rows, std::uint32_t width) {
    const std::uint64_t product = std::uint64_t{rows} * std::uint64_t{width};
    if (product > std::numeric_limits<std::uint32_t>::max()) {
        return std::unexpected(StorageError{Overflow{}});
    }
    return static_cast<std::uint32_t>(product);
}

constexpr CoordinatesResult transposed(const CoordinatesResult& result) {
    if (!result) {
        return result;
    }
    return MatrixCoordinates{result->column, result->row};
}

// Left and Output: panels of `width` columns stored one after the other, each row by row; Output
// interleaves the column pairs of each panel row. The block check names `role`. It returns the coordinates
// itself: a helper that returned the panel position as a std::expected, for each order to finish, made a
// call about four times slower, as bench/coordinates_bench.cpp shows.
constexpr CoordinatesResult panelled_coordinates(layout::NativeKernelOrder role, std::uint32_t width,
                                                 std::uint32_t rows, std::uint32_t columns,
                                                 std::uint32_t linear) {
    if (columns % width != 0) {
        return std::unexpected(StorageError{AmpBlock{role}});
    }
    const std::expected<std::uint32_t, StorageError> size = panel_elements(rows, width);
    if (!size) {
        return std::unexpected(size.error());
    }
    if (*size == 0) {
        return std::unexpected(StorageError{InvalidView{}});
    }
    const std::uint32_t panel = linear / *size;
    const std::uint32_t offset = linear % *size;
    const std::uint32_t column = offset % width;
    const std::uint32_t logical_column =
        role == layout::NativeKernelOrder::Output ? output_logical_column(column) : column;
    return MatrixCoordinates{offset / width, panel * width + logical_column};
}

}  // namespace detail

// Width of one AMP micro block for the precision: 32 for F8F143, 16 for F16, 8 for F32.
constexpr std::uint32_t amp_micro_dimension(operator_::Precision precision) {
    return std::visit([](auto variant) { return detail::micro_dimension_of(variant); }, precision);
}

// Right-matrix order: blocks of `inner` rows by 16 columns.
constexpr BlockShape right_matrix_block_shape(operator_::Precision precision) {
    return BlockShape{amp_micro_dimension(precision), detail::block_columns};
}

// Left order: one row of `inner` columns; Output order: one row of 16 columns; TransposedRight: the
// right-matrix block transposed. A role value outside the enumeration names no order and gives
// InvalidView, as it does for amp_matrix_coordinates.
constexpr std::expected<BlockShape, StorageError> amp_block_shape(layout::NativeKernelOrder role,
                                                                  operator_::Precision precision) {
    const std::uint32_t inner = amp_micro_dimension(precision);
    switch (role) {
        case layout::NativeKernelOrder::Left:
            return BlockShape{1, inner};
        case layout::NativeKernelOrder::TransposedLeft:
            return BlockShape{inner, 1};
        case layout::NativeKernelOrder::TransposedRight:
            return BlockShape{detail::block_columns, inner};
        case layout::NativeKernelOrder::Output:
            return BlockShape{1, detail::block_columns};
        case layout::NativeKernelOrder::TransposedOutput:
            return BlockShape{detail::block_columns, 1};
    }
    return std::unexpected(StorageError{InvalidView{}});
}

// Logical (row, column) at `linear` in right-matrix order.
constexpr CoordinatesResult right_matrix_coordinates(operator_::Precision precision, std::uint32_t rows,
                                                     std::uint32_t columns, std::uint32_t linear) {
    const std::uint32_t inner = amp_micro_dimension(precision);
    if (rows % inner != 0 || columns % detail::block_columns != 0) {
        return std::unexpected(StorageError{InvalidView{}});
    }
    const std::uint32_t inner_groups = rows / inner;
    if (inner_groups == 0) {
        return std::unexpected(StorageError{InvalidView{}});
    }
    // At most 32 * 16, so this product needs no guard.
    const std::uint32_t block_elements = inner * detail::block_columns;
    const std::uint32_t block = linear / block_elements;
    const std::uint32_t offset = linear % block_elements;
    const std::uint32_t column_group = block / inner_groups;
    const std::uint32_t inner_group = block % inner_groups;
    return MatrixCoordinates{inner_group * inner + offset % inner,
                             column_group * detail::block_columns + offset / inner};
}

// Logical (row, column) at `linear` in the native storage order of `role`. A role value outside the
// enumeration (cast from a stray integer) names no order and gives InvalidView.
constexpr CoordinatesResult amp_matrix_coordinates(layout::NativeKernelOrder role,
                                                   operator_::Precision precision, std::uint32_t rows,
                                                   std::uint32_t columns, std::uint32_t linear) {
    switch (role) {
        case layout::NativeKernelOrder::Left:
            return detail::panelled_coordinates(role, amp_micro_dimension(precision), rows, columns, linear);
        case layout::NativeKernelOrder::TransposedLeft:
            return detail::transposed(
                amp_matrix_coordinates(layout::NativeKernelOrder::Left, precision, columns, rows, linear));
        case layout::NativeKernelOrder::TransposedRight:
            return detail::transposed(right_matrix_coordinates(precision, columns, rows, linear));
        case layout::NativeKernelOrder::Output:
            return detail::panelled_coordinates(role, detail::block_columns, rows, columns, linear);
        case layout::NativeKernelOrder::TransposedOutput:
            return detail::transposed(
                amp_matrix_coordinates(layout::NativeKernelOrder::Output, precision, columns, rows, linear));
    }
    return std::unexpected(StorageError{InvalidView{}});
}

}  // namespace ovra_codegen::storage
