// The command line of ovra_layout:
//
//   ovra_layout ROLE PRECISION ROWS COLUMNS [--inverse | --at P | --cell R,C | --svg FILE]
//
// Options may come before, between or after the four operands, and take their value either as the
// next argument or after "=" (--at=5). At most one of them is given. -h or --help anywhere asks for
// the usage text. An argument that starts with "-" and a digit is an operand, so that "-3" is
// reported as a bad number rather than as an unknown option.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "ovra/layout_inspector/storage_order.hpp"
#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

// The grid of storage positions, one cell per logical (row, column); the default.
struct ShowGrid {};

// --inverse: every storage position in order with the cell it holds.
struct ShowInverse {};

// --at P: the cell stored at one position.
struct ShowAt {
    std::uint32_t position;
};

// --cell R,C: the position of one cell.
struct ShowCell {
    MatrixCoordinates cell;
};

// --svg FILE: the grid as an SVG picture written to `path` ("-" for standard output).
struct WriteSvg {
    std::string path;
};

using Request = std::variant<ShowGrid, ShowInverse, ShowAt, ShowCell, WriteSvg>;

struct Invocation {
    StoredMatrix matrix;
    Request request;
};

struct ShowHelp {};

using ParsedArguments = std::variant<ShowHelp, Invocation>;

// Parses the arguments after the program name. Only the syntax is checked here: whether the role
// accepts the extents, and whether a position or cell lies inside the matrix, is for the request.
std::expected<ParsedArguments, UsageError> parse_arguments(std::span<const std::string_view> arguments);

// The usage text printed by -h and --help, ending in a line end.
std::string_view usage_text();

}  // namespace ovra_layout_inspector
