#include "ovra/layout_inspector/tool.hpp"

#include <variant>

#include "ovra/layout_inspector/arguments.hpp"
#include "ovra/layout_inspector/file_output.hpp"
#include "ovra/layout_inspector/svg_picture.hpp"
#include "ovra/layout_inspector/text_views.hpp"

namespace ovra_layout_inspector {

namespace {

using Text = std::expected<std::string, ToolError>;

// What the invocation prints; nothing once it has written an SVG file.
Text answer(const Invocation& invocation) {
    const StoredMatrix& matrix = invocation.matrix;
    const Request& request = invocation.request;
    // Whatever is asked, the role's verdict on the shape comes first.
    if (const std::expected<void, StorageError> shape = check_shape(matrix); !shape) {
        return std::unexpected(shape.error());
    }
    if (std::holds_alternative<ShowGrid>(request)) {
        return grid_text(matrix);
    }
    if (std::holds_alternative<ShowInverse>(request)) {
        return inverse_text(matrix);
    }
    if (const auto* at = std::get_if<ShowAt>(&request)) {
        return at_text(matrix, at->position);
    }
    if (const auto* cell = std::get_if<ShowCell>(&request)) {
        return cell_text(matrix, cell->cell);
    }
    const std::string& path = std::get<WriteSvg>(request).path;
    Text picture = svg_picture(matrix);
    if (!picture || path == "-") {
        return picture;
    }
    if (const std::expected<void, FileError> written = write_file(path, *picture); !written) {
        return std::unexpected(written.error());
    }
    return "";
}

}  // namespace

ToolOutcome run_tool(std::span<const std::string_view> arguments) {
    const std::expected<ParsedArguments, UsageError> parsed = parse_arguments(arguments);
    const Text out = !parsed                                     ? Text(std::unexpected(parsed.error()))
                     : std::holds_alternative<ShowHelp>(*parsed) ? Text(std::string(usage_text()))
                                                                 : answer(std::get<Invocation>(*parsed));
    if (!out) {
        return ToolOutcome{exit_status(out.error()), "", error_line(out.error()) + "\n"};
    }
    return ToolOutcome{exit_success, *out, ""};
}

}  // namespace ovra_layout_inspector
