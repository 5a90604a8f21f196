#include "ovra/layout_inspector/text_views.hpp"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace ovra_layout_inspector {

namespace {

constexpr std::string_view corner = "r\\c";

std::size_t digits(std::uint64_t value) {
    return fmt::formatted_size("{}", value);
}

std::string describe_size(const StoredMatrix& matrix) {
    return fmt::format("the {} x {} matrix", matrix.rows, matrix.columns);
}

// A row of the grid: its label, then each column's value, with " |" before each panel or block
// boundary.
template <typename ValueOf>
void append_grid_line(std::string& out, std::string_view label, std::size_t label_width,
                      const StoredMatrix& matrix, std::uint32_t block_columns, std::size_t width,
                      ValueOf value_of) {
    auto sink = std::back_inserter(out);
    fmt::format_to(sink, "{:>{}}", label, label_width);
    for (std::uint32_t column = 0; column < matrix.columns; ++column) {
        if (column != 0 && column % block_columns == 0) {
            out += " |";
        }
        fmt::format_to(sink, " {:>{}}", value_of(column), width);
    }
    out += '\n';
}

}  // namespace

std::expected<std::vector<std::uint32_t>, ToolError> grid_positions(const StoredMatrix& matrix,
                                                                    std::string_view verb) {
    if (matrix.rows > max_grid_rows || matrix.columns > max_grid_columns) {
        return usage_error(
            fmt::format("a grid of {} x {} cells is too large to {} (at most {} x {}); use --at or --cell",
                        matrix.rows, matrix.columns, verb, max_grid_rows, max_grid_columns));
    }
    std::vector<std::uint32_t> positions;
    for (std::uint32_t row = 0; row < matrix.rows; ++row) {
        for (std::uint32_t column = 0; column < matrix.columns; ++column) {
            const std::optional<std::uint32_t> position = position_of(matrix, MatrixCoordinates{row, column});
            // Every cell of an accepted shape has a position; this guards a broken shape check.
            if (!position) {
                return usage_error(fmt::format("cell ({}, {}) has no storage position in {}", row, column,
                                               describe_size(matrix)));
            }
            positions.push_back(*position);
        }
    }
    return positions;
}

std::expected<std::string, ToolError> grid_text(const StoredMatrix& matrix) {
    const std::expected<std::vector<std::uint32_t>, ToolError> positions = grid_positions(matrix, "print");
    if (!positions) {
        return std::unexpected(positions.error());
    }
    const BlockShape block = block_shape(matrix);
    const std::size_t width = std::max(digits(cell_count(matrix) - 1), digits(matrix.columns - 1));
    const std::size_t label_width = std::max(corner.size(), digits(matrix.rows - 1));

    std::string out;
    append_grid_line(out, corner, label_width, matrix, block.columns, width,
                     [](std::uint32_t column) { return column; });
    // The separator between stacked blocks follows the header's shape, so its "+" fall under the "|".
    std::string separator;
    std::ranges::transform(out, std::back_inserter(separator), [](char character) {
        return character == '|' ? '+' : character == '\n' ? '\n' : '-';
    });

    for (std::uint32_t row = 0; row < matrix.rows; ++row) {
        if (row != 0 && row % block.rows == 0) {
            out += separator;
        }
        append_grid_line(out, fmt::format("{}", row), label_width, matrix, block.columns, width,
                         [&](std::uint32_t column) { return (*positions)[row * matrix.columns + column]; });
    }
    return out;
}

std::expected<std::string, ToolError> inverse_text(const StoredMatrix& matrix) {
    const std::uint64_t count = cell_count(matrix);
    if (count > max_listed_positions) {
        return usage_error(fmt::format("{} positions are too many to list (at most {}); use --at or --cell",
                                       count, max_listed_positions));
    }
    const std::size_t position_width = std::max(std::size_t{8}, digits(count - 1));
    const std::size_t row_width = std::max(std::size_t{3}, digits(matrix.rows - 1));
    const std::size_t column_width = std::max(std::size_t{6}, digits(matrix.columns - 1));

    std::string out;
    auto sink = std::back_inserter(out);
    fmt::format_to(sink, "{:>{}} {:>{}} {:>{}}\n", "position", position_width, "row", row_width, "column",
                   column_width);
    // At most max_listed_positions, so every position fits 32 bits.
    for (std::uint32_t position = 0; position < static_cast<std::uint32_t>(count); ++position) {
        const CoordinatesResult cell = cell_at(matrix, position);
        if (!cell) {
            return std::unexpected(ToolError{cell.error()});
        }
        fmt::format_to(sink, "{:>{}} {:>{}} {:>{}}\n", position, position_width, cell->row, row_width,
                       cell->column, column_width);
    }
    return out;
}

std::expected<std::string, ToolError> at_text(const StoredMatrix& matrix, std::uint32_t position) {
    // ovra_codegen maps positions past the end too, to cells outside the matrix; those are not answers.
    const std::uint64_t count = cell_count(matrix);
    if (position >= count) {
        return usage_error(fmt::format("position {} lies outside {} (positions 0 to {})", position,
                                       describe_size(matrix), count - 1));
    }
    const CoordinatesResult cell = cell_at(matrix, position);
    if (!cell) {
        return std::unexpected(ToolError{cell.error()});
    }
    return fmt::format("position {} holds cell {}\n", position, *cell);
}

std::expected<std::string, ToolError> cell_text(const StoredMatrix& matrix, MatrixCoordinates cell) {
    const std::optional<std::uint32_t> position = position_of(matrix, cell);
    if (!position) {
        return usage_error(fmt::format("cell {} lies outside {} (rows 0 to {}, columns 0 to {})", cell,
                                       describe_size(matrix), matrix.rows - 1, matrix.columns - 1));
    }
    return fmt::format("cell {} lies at position {}\n", cell, *position);
}

}  // namespace ovra_layout_inspector
