// The storage orders the inspector shows, and the two directions between a storage position and a
// logical cell of a matrix stored in one of them.
//
// Position -> cell is ovra_codegen's own mapping, so the tool shows exactly what kernels are built
// against. Cell -> position is derived here in constant time from the block shapes and the Output
// interleave that ovra_codegen states, so that a question about one cell is answered without scanning
// the matrix, whatever its size; the tests hold the two directions to each other one-to-one.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string_view>

#include "ovra/codegen/layout.hpp"
#include "ovra/codegen/matrix_coordinates.hpp"
#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error.hpp"

namespace ovra_layout_inspector {

using ovra_codegen::layout::NativeKernelOrder;
using ovra_codegen::operator_::Precision;
using ovra_codegen::storage::CoordinatesResult;
using ovra_codegen::storage::MatrixCoordinates;
using ovra_codegen::storage::StorageError;

// The five native kernel orders and right-matrix order, which has no NativeKernelOrder of its own
// (a plain right operand is addressed through right_matrix_coordinates).
// The kernel roles carry their NativeKernelOrder's value, so one converts to the other by a cast.
enum class Role : std::uint8_t {
    Left = static_cast<std::uint8_t>(ovra_codegen::layout::NativeKernelOrder::Left),
    TransposedLeft = static_cast<std::uint8_t>(ovra_codegen::layout::NativeKernelOrder::TransposedLeft),
    TransposedRight = static_cast<std::uint8_t>(ovra_codegen::layout::NativeKernelOrder::TransposedRight),
    Output = static_cast<std::uint8_t>(ovra_codegen::layout::NativeKernelOrder::Output),
    TransposedOutput = static_cast<std::uint8_t>(ovra_codegen::layout::NativeKernelOrder::TransposedOutput),
    Right,
};

// A logical rows x columns matrix stored in the order of `role`.
struct StoredMatrix {
    Role role;
    Precision precision;
    std::uint32_t rows;
    std::uint32_t columns;
};

// Extents of one panel or block in logical rows and columns. A panel that runs through the whole
// matrix in one direction has the matrix's extent in that direction.
using ovra_codegen::storage::BlockShape;

// The names the command line takes and the tool prints: "Left", ..., "TransposedOutput", "right";
// "F8F143", "F16", "F32".
std::string_view role_name(Role role);
std::string_view precision_name(const Precision& precision);

// rows * columns, exact.
std::uint64_t cell_count(const StoredMatrix& matrix);

// The role's own checks first (block shape, then panel size), then the whole matrix must fit 32-bit
// storage positions: past 2^32 cells some cells would have no position at all, so such a matrix is
// refused with Overflow rather than answered with wrapped positions.
std::expected<void, StorageError> check_shape(const StoredMatrix& matrix);

// The cell stored at `position` (ovra_codegen's mapping).
CoordinatesResult cell_at(const StoredMatrix& matrix, std::uint32_t position);

// The storage position of `cell`, in constant time. Nothing when the cell lies outside the matrix or
// its position would not fit 32 bits. Meaningful for shapes that check_shape accepts.
std::optional<std::uint32_t> position_of(const StoredMatrix& matrix, MatrixCoordinates cell);

// The panel (Left, Output and their transposes) or block (right-matrix order and TransposedRight)
// that the order is built from, in logical rows and columns.
BlockShape block_shape(const StoredMatrix& matrix);

}  // namespace ovra_layout_inspector
