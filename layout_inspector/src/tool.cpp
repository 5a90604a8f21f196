#include "ovra/layout_inspector/tool.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "ovra/layout_inspector/arguments.hpp"
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
    if (const std::expected<void, ToolError> written = write_file(svg.path, *picture); !written) {
        return failed(written.error());
    }
    return succeeded("");
}

FileError cannot_write(const std::string& path, int error_number) {
    return FileError{fmt::format("cannot write {}: {}", echoed(path), std::strerror(error_number))};
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

std::expected<void, ToolError> write_file(const std::string& path, std::string_view text) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return std::unexpected(ToolError{cannot_write(path, errno)});
    }
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), file);
    int error_number = written == text.size() ? 0 : errno;
    if (std::fflush(file) != 0 && error_number == 0) {
        error_number = errno;
    }
    if (std::fclose(file) != 0 && error_number == 0) {
        error_number = errno;
    }
    if (written != text.size() || error_number != 0) {
        // Only a regular file is ours to remove: a device or pipe named on the command line stays.
        std::error_code status_error;
        if (std::filesystem::is_regular_file(path, status_error)) {
            std::remove(path.c_str());
        }
        return std::unexpected(ToolError{cannot_write(path, error_number != 0 ? error_number : EIO)});
    }
    return {};
}

}  // namespace ovra_layout_inspector
