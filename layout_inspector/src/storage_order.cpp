#include "ovra/layout_inspector/storage_order.hpp"

#include <limits>
#include <variant>

namespace ovra_layout_inspector {

namespace storage = ovra_codegen::storage;

namespace {

// Output panels and right-matrix blocks are 16 columns wide whatever the precision.
constexpr std::uint64_t block_columns = 16;

constexpr std::uint64_t largest_cell_count = std::uint64_t{1} << 32;

std::uint64_t inner_of(const Precision& precision) {
    return storage::amp_micro_dimension(precision);
}

// Panels of `inner` columns, leftmost first; rows top to bottom inside a panel.
std::uint64_t left_position(std::uint64_t inner, std::uint64_t rows, std::uint64_t row,
                            std::uint64_t column) {
    return (column / inner) * rows * inner + row * inner + column % inner;
}

// Panels of 16 columns whose rows hold the logical pairs in the order 0, 4, 1, 5, 2, 6, 3, 7: logical
// pair l therefore lies at physical pair (l mod 4) * 2 + l / 4, and a pair keeps its two elements.
std::uint64_t output_position(std::uint64_t rows, std::uint64_t row, std::uint64_t column) {
    const std::uint64_t within = column % block_columns;
    const std::uint64_t logical_pair = within / 2;
    const std::uint64_t physical_pair = (logical_pair % 4) * 2 + logical_pair / 4;
    return (column / block_columns) * rows * block_columns + row * block_columns + physical_pair * 2 +
           within % 2;
}

// Blocks of `inner` rows by 16 columns, numbered down the rows first; inside a block the columns run
// left to right and each column's `inner` elements top to bottom.
std::uint64_t right_position(std::uint64_t inner, std::uint64_t rows, std::uint64_t row,
                             std::uint64_t column) {
    const std::uint64_t row_groups = rows / inner;
    const std::uint64_t block = (column / block_columns) * row_groups + row / inner;
    return block * inner * block_columns + (column % block_columns) * inner + row % inner;
}

}  // namespace

std::string_view role_name(Role role) {
    switch (role) {
        case Role::Left:
            return "Left";
        case Role::TransposedLeft:
            return "TransposedLeft";
        case Role::TransposedRight:
            return "TransposedRight";
        case Role::Output:
            return "Output";
        case Role::TransposedOutput:
            return "TransposedOutput";
        case Role::Right:
            return "right";
    }
    return "?";
}

std::string_view precision_name(const Precision& precision) {
    struct Names {
        std::string_view operator()(ovra_codegen::operator_::F8F143 /*p*/) const { return "F8F143"; }
        std::string_view operator()(ovra_codegen::operator_::F16 /*p*/) const { return "F16"; }
        std::string_view operator()(ovra_codegen::operator_::F32 /*p*/) const { return "F32"; }
    };
    return std::visit(Names{}, precision);
}

std::uint64_t cell_count(const StoredMatrix& matrix) {
    return std::uint64_t{matrix.rows} * std::uint64_t{matrix.columns};
}

std::expected<void, StorageError> check_shape(const StoredMatrix& matrix) {
    const CoordinatesResult first = cell_at(matrix, 0);
    if (!first) {
        return std::unexpected(first.error());
    }
    if (cell_count(matrix) > largest_cell_count) {
        return std::unexpected(StorageError{storage::Overflow{}});
    }
    return {};
}

CoordinatesResult cell_at(const StoredMatrix& matrix, std::uint32_t position) {
    switch (matrix.role) {
        case Role::Left:
        case Role::TransposedLeft:
        case Role::TransposedRight:
        case Role::Output:
        case Role::TransposedOutput:
            return storage::amp_matrix_coordinates(static_cast<NativeKernelOrder>(matrix.role),
                                                   matrix.precision, matrix.rows, matrix.columns, position);
        case Role::Right:
            return storage::right_matrix_coordinates(matrix.precision, matrix.rows, matrix.columns, position);
    }
    // A value cast from a stray integer names no order.
    return std::unexpected(StorageError{storage::InvalidView{}});
}

std::optional<std::uint32_t> position_of(const StoredMatrix& matrix, MatrixCoordinates cell) {
    if (cell.row >= matrix.rows || cell.column >= matrix.columns) {
        return std::nullopt;
    }
    const std::uint64_t inner = inner_of(matrix.precision);
    const std::uint64_t rows = matrix.rows;
    const std::uint64_t columns = matrix.columns;
    const std::uint64_t row = cell.row;
    const std::uint64_t column = cell.column;
    std::uint64_t position = 0;
    // A transposed role stores the matrix as its transpose lies in the untransposed order.
    switch (matrix.role) {
        case Role::Left:
            position = left_position(inner, rows, row, column);
            break;
        case Role::TransposedLeft:
            position = left_position(inner, columns, column, row);
            break;
        case Role::Output:
            position = output_position(rows, row, column);
            break;
        case Role::TransposedOutput:
            position = output_position(columns, column, row);
            break;
        case Role::Right:
            if (rows < inner) {
                return std::nullopt;
            }
            position = right_position(inner, rows, row, column);
            break;
        case Role::TransposedRight:
            if (columns < inner) {
                return std::nullopt;
            }
            position = right_position(inner, columns, column, row);
            break;
        default:
            return std::nullopt;
    }
    if (position > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(position);
}

BlockShape block_shape(const StoredMatrix& matrix) {
    const auto inner = static_cast<std::uint32_t>(inner_of(matrix.precision));
    constexpr auto sixteen = static_cast<std::uint32_t>(block_columns);
    switch (matrix.role) {
        case Role::Left:
            return {matrix.rows, inner};
        case Role::TransposedLeft:
            return {inner, matrix.columns};
        case Role::Output:
            return {matrix.rows, sixteen};
        case Role::TransposedOutput:
            return {sixteen, matrix.columns};
        case Role::Right:
            return {inner, sixteen};
        case Role::TransposedRight:
            return {sixteen, inner};
    }
    return {matrix.rows, matrix.columns};
}

}  // namespace ovra_layout_inspector
