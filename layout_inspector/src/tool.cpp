#include "ovra/layout_inspector/tool.hpp"

#include <utility>
#include <variant>

#include "ovra/layout_inspector/arguments.hpp"
#include "ovra/layout_inspector/file_output.hpp"
#include "ovra/layout_inspector/svg_picture.hpp"
#include "ovra/layout_inspector/text_views.hpp"

namespace ovra_layout_inspector {

namespace {

ToolOutcome failed(const ToolError& error) {
    return ToolOutcome{exit_status(error), "", error_line(error) + "\n"};
}

ToolOutcome succeeded(std::string out) {
    return ToolOutcome{exit_success, std::move(out), ""};
}

ToolOutcome from_text(const std::expected<std::string, ToolError>& text) {
    return text ? succeeded(*text) : failed(text.error());
}

ToolOutcome answer(const Invocation& invocation) {
    const StoredMatrix& matrix = invocation.matrix;
    if (std::holds_alternative<ShowGrid>(invocation.request)) {
        return from_text(grid_text(matrix));
    }
    if (std::holds_alternative<ShowInverse>(invocation.request)) {
        return from_text(inverse_text(matrix));
    }
    if (const auto* at = std::get_if<ShowAt>(&invocation.request)) {
        return from_text(at_text(matrix, at->position));
    }
    if (const auto* cell = std::get_if<ShowCell>(&invocation.request)) {
        return from_text(cell_text(matrix, cell->cell));
    }
    const auto& svg = std::get<WriteSvg>(invocation.request);
    const std::expected<std::string, ToolError> picture = svg_picture(matrix);
    if (!picture) {
        return failed(picture.error());
    }
    if (svg.path == "-") {
        return succeeded(*picture);
    }
    if (const std::expected<void, FileError> written = write_file(svg.path, *picture); !written) {
        return failed(written.error());
    }
    return succeeded("");
}

}  // namespace

ToolOutcome run_tool(std::span<const std::string_view> arguments) {
    const std::expected<ParsedArguments, UsageError> parsed = parse_arguments(arguments);
    if (!parsed) {
        return failed(parsed.error());
    }
    if (std::holds_alternative<ShowHelp>(*parsed)) {
        return succeeded(std::string(usage_text()));
    }
    return answer(std::get<Invocation>(*parsed));
}

}  // namespace ovra_layout_inspector
