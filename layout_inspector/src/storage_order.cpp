#include "ovra/layout_inspector/storage_order.hpp"

#include <limits>
#include <utility>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"

namespace ovra_layout_inspector {

namespace storage = ovra_codegen::storage;

namespace {

// The block shape of the role's order; a value cast from a stray integer names no order and has a
// block of one cell.
BlockShape order_block(Role role, const Precision& precision) {
    if (role == Role::Right) {
        return storage::right_matrix_block_shape(precision);
    }
    return storage::amp_block_shape(static_cast<NativeKernelOrder>(role), precision)
        .value_or(BlockShape{1, 1});
}

// Left and Output orders: panels of `width` columns (one block), leftmost first; rows top to bottom
// inside a panel and each row's elements left to right, in Output order with its columns interleaved.
std::uint64_t panel_position(std::uint64_t width, std::uint64_t rows, std::uint64_t row, std::uint64_t column,
                             bool interleaved) {
    // The column within the panel is below the panel width, at most 32, so it fits 32 bits.
    const auto within = static_cast<std::uint32_t>(column % width);
    return (column / width) * rows * width + row * width +
           (interleaved ? storage::output_physical_column(within) : within);
}

// Right-matrix order: blocks numbered down the rows first; inside a block the columns run left to
// right and each column's elements top to bottom.
std::uint64_t right_position(BlockShape block, std::uint64_t rows, std::uint64_t row, std::uint64_t column) {
    const std::uint64_t height = block.rows;
    const std::uint64_t width = block.columns;
    const std::uint64_t row_groups = rows / height;
    const std::uint64_t index = (column / width) * row_groups + row / height;
    return index * height * width + (column % width) * height + row % height;
}

}  // namespace

std::string_view role_name(Role role) {
    return role == Role::Right
               ? "right"
               : ovra_codegen::layout::kernel_order_name(static_cast<NativeKernelOrder>(role));
}

std::string_view precision_name(const Precision& precision) {
    return ovra_codegen::operator_::precision_name(precision);
}

std::uint64_t cell_count(const StoredMatrix& matrix) {
    return std::uint64_t{matrix.rows} * std::uint64_t{matrix.columns};
}

std::expected<void, StorageError> check_shape(const StoredMatrix& matrix) {
    const CoordinatesResult first = cell_at(matrix, 0);
    if (!first) {
        return std::unexpected(first.error());
    }
    if (cell_count(matrix) > std::uint64_t{1} << 32) {
        return std::unexpected(StorageError{storage::Overflow{}});
    }
    return {};
}

CoordinatesResult cell_at(const StoredMatrix& matrix, std::uint32_t position) {
    if (matrix.role == Role::Right) {
        return storage::right_matrix_coordinates(matrix.precision, matrix.rows, matrix.columns, position);
    }
    // A role value cast from a stray integer names no order, which ovra_codegen refuses.
    return storage::amp_matrix_coordinates(static_cast<NativeKernelOrder>(matrix.role), matrix.precision,
                                           matrix.rows, matrix.columns, position);
}

std::optional<std::uint32_t> position_of(const StoredMatrix& matrix, MatrixCoordinates cell) {
    if (cell.row >= matrix.rows || cell.column >= matrix.columns) {
        return std::nullopt;
    }
    // A transposed role stores the matrix as its transpose lies in the untransposed order, whose block
    // is the transposed role's block transposed.
    const Role role = matrix.role;
    BlockShape block = order_block(role, matrix.precision);
    std::uint64_t rows = matrix.rows;
    std::uint64_t row = cell.row;
    std::uint64_t column = cell.column;
    if (role == Role::TransposedLeft || role == Role::TransposedOutput || role == Role::TransposedRight) {
        rows = matrix.columns;
        std::swap(row, column);
        std::swap(block.rows, block.columns);
    }
    const std::uint64_t position =
        role == Role::Right || role == Role::TransposedRight
            ? right_position(block, rows, row, column)
            : panel_position(block.columns, rows, row, column,
                             role == Role::Output || role == Role::TransposedOutput);
    if (position > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(position);
}

BlockShape block_shape(const StoredMatrix& matrix) {
    // Outlining blocks one row (or column) thick would outline every row; the panel they stack into is
    // what shows the order.
    const BlockShape block = order_block(matrix.role, matrix.precision);
    return {block.rows == 1 ? matrix.rows : block.rows, block.columns == 1 ? matrix.columns : block.columns};
}

}  // namespace ovra_layout_inspector
