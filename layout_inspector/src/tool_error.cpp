#include "ovra/layout_inspector/tool_error.hpp"

#include <fmt/format.h>

#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/printable/printable.hpp"

namespace ovra_layout_inspector {

int exit_status(const ToolError& error) {
    return std::holds_alternative<UsageError>(error) ? exit_usage : exit_failure;
}

std::string error_line(const ToolError& error) {
    if (const auto* usage = std::get_if<UsageError>(&error)) {
        return "error: " + usage->message;
    }
    if (const auto* file = std::get_if<FileError>(&error)) {
        return fmt::format("error: cannot write {}: {}", echoed(file->path), file->reason.message());
    }
    return fmt::format("error: {}", std::get<ovra_codegen::storage::StorageError>(error));
}

std::string echoed(std::string_view text) {
    const std::string_view shown = text.substr(0, 64);
    return fmt::format("'{}{}'", ovra_printable::printable(shown, ovra_printable::Shown::Ascii),
                       shown.size() < text.size() ? "..." : "");
}

}  // namespace ovra_layout_inspector
