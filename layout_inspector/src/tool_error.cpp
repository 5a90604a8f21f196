#include "ovra/layout_inspector/tool_error.hpp"

#include <cstddef>

#include <fmt/format.h>

#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/printable/printable.hpp"

namespace ovra_layout_inspector {

namespace {

constexpr std::size_t longest_echo = 64;

}  // namespace

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
    std::string out = "'";
    const std::string_view shown = text.substr(0, longest_echo);
    out += ovra_printable::printable(shown, ovra_printable::Shown::Ascii);
    if (shown.size() < text.size()) {
        out += "...";
    }
    out += "'";
    return out;
}

}  // namespace ovra_layout_inspector
