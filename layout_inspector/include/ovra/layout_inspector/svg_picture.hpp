// The grid of a stored matrix whose shape check_shape accepts, as an SVG picture written by hand as
// plain text.
//
// One square per cell (class "cell"), filled from light (first stored) to dark (last stored) and
// carrying a tooltip; the position as a small label (class "position") when the squares are large
// enough for it; a thick outline per panel or block (class "block"); row and column indices along
// the edges. Only validated names and numbers go into the text, so nothing needs escaping.
//
// The same limit as the text grid applies: at most 128 rows and 128 columns.
#pragma once

#include <expected>
#include <string>

#include "ovra/layout_inspector/storage_order.hpp"
#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

std::expected<std::string, ToolError> svg_picture(const StoredMatrix& matrix);

}  // namespace ovra_layout_inspector
