// Writing a whole output file so that a failure never leaves it cut short or missing, and never
// writing where the kernel would not let this user write.
//
// The path is first opened for writing as given, without truncating anything: the kernel follows its
// symbolic links by its own rules (with fs.protected_symlinks, another user's link in a shared sticky
// directory such as /tmp is not followed) and refuses a file this user may not write. Whatever it
// refuses is refused here, with the same reason. What it opened is then written as follows:
// - a regular file is replaced through a temporary file beside it: the text is written, flushed to the
//   disk and the temporary renamed over the file only when all of that succeeded; on any failure the
//   temporary is removed and the file stays as it was. Through a symbolic link, the file it leads to is
//   replaced and the link stays a link. The replacement keeps the file's permission bits;
// - nothing there yet (or a link to nothing yet) is created the same way;
// - anything else (a device such as /dev/full, a pipe) is written where it is, every write checked.
//
// A file-size limit (ulimit -f) is an ordinary failure (EFBIG) only if the process ignores SIGXFSZ,
// and the temporary file is removed on SIGINT, SIGTERM or SIGHUP only once
// remove_temporary_on_ending_signals was called; main does both.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <system_error>

#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

// Writes `text` to the file at `path` as described above.
std::expected<void, FileError> write_file(const std::string& path, std::string_view text);

// Writes all of `text` to `fd`, resuming after partial writes and interruptions. Allocates nothing.
std::expected<void, std::error_code> write_all(int fd, std::string_view text);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file of a write in progress, then end the
// process as they would have. A signal ignored when this is called stays ignored.
void remove_temporary_on_ending_signals();

}  // namespace ovra_layout_inspector
