// What can go wrong in the inspector, how each kind is reported and which exit status it gives.
//
// Every error is reported as one line "error: ..." on standard error:
// - a usage error (bad or missing arguments, unknown names, numbers out of range, a grid too large to
//   show, a position or cell outside the matrix) exits with 2;
// - a storage error from ovra_codegen (the role's block shape rejects the extents, the storage size
//   overflows) prints its own message and exits with 1;
// - a file that cannot be written exits with 1.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>

#include "ovra/codegen/storage_error.hpp"

namespace ovra_layout_inspector {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;
inline constexpr int exit_usage = 2;

// A one-line message, without the "error: " prefix.
struct UsageError {
    std::string message;
};

// A usage error as the failure of a result.
inline std::unexpected<UsageError> usage_error(std::string message) {
    return std::unexpected(UsageError{std::move(message)});
}

// A file that cannot be written: the path as the user gave it and the system's reason, made into
// "cannot write 'PATH': REASON" by error_line.
struct FileError {
    std::string path;
    std::error_code reason;
};

using ToolError = std::variant<UsageError, ovra_codegen::storage::StorageError, FileError>;

int exit_status(const ToolError& error);

// "error: " and the error's one-line message, without a line end.
std::string error_line(const ToolError& error);

// `text` in single quotes for an error message. Whatever the user typed is echoed as plain printable
// text: control and non-ASCII bytes appear as \xNN, so an error stays one harmless line, and text
// past 64 bytes is cut short with "...".
std::string echoed(std::string_view text);

}  // namespace ovra_layout_inspector
