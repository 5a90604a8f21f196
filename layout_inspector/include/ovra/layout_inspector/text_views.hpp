// Text renderings of a stored matrix whose shape check_shape accepts. Each returns the whole text,
// ending in a line end, or an error; never part of a text.
//
// Size limits keep the output readable in a terminal: the grid (and the SVG picture) is refused
// above 128 rows or 128 columns, the inverse listing above 16384 positions. A single position or
// cell is answered at any size the role accepts.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "ovra/layout_inspector/storage_order.hpp"
#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

inline constexpr std::uint32_t max_grid_rows = 128;
inline constexpr std::uint32_t max_grid_columns = 128;
inline constexpr std::uint32_t max_listed_positions = 16384;

// The storage position of every cell, row by row, within the grid size limit of the grid and the picture
// (`verb` names what is refused: "print", "draw").
std::expected<std::vector<std::uint32_t>, ToolError> grid_positions(const StoredMatrix& matrix,
                                                                    std::string_view verb);

// The matrix as a grid of storage positions:
//
//   r\c  0  1  2 ... 15 | 16 17 ...
//     0  0  1  4 ... 15 | 32 33 ...
//     1 16 17 20 ... 31 | 48 49 ...
//
// A header line with the column indices, then one line per row starting with its index. Numbers
// are right-aligned in columns of one width separated by one space. " |" separates panels or
// blocks side by side; between panels or blocks stacked on each other comes a line of "-" that has
// "+" below each "|".
std::expected<std::string, ToolError> grid_text(const StoredMatrix& matrix);

// A header "position row column", then one line per storage position in order.
std::expected<std::string, ToolError> inverse_text(const StoredMatrix& matrix);

// "position P holds cell (R, C)"
std::expected<std::string, ToolError> at_text(const StoredMatrix& matrix, std::uint32_t position);

// "cell (R, C) lies at position P"
std::expected<std::string, ToolError> cell_text(const StoredMatrix& matrix, MatrixCoordinates cell);

}  // namespace ovra_layout_inspector
