// Writing an output file whole or not at all, and only where the kernel lets this user write.
//
// The path is opened for writing as any program would open it, without truncating it, so the kernel
// judges its symbolic links (with fs.protected_symlinks, another user's link in a shared sticky directory
// such as /tmp is not followed) and its permissions; what it refuses is refused with its reason. A
// regular file (through links, the file they lead to; the links stay links) is then replaced by a
// temporary file beside it, renamed over it once whole and on the disk, with its permission bits: on
// failure it stays as it was, and where there was none, none is left. Anything else (a device such as
// /dev/full, a pipe) is written where it is. SIGINT, SIGTERM and SIGHUP wait while a file is replaced;
// one that came undoes the replacement, then ends the process. A file-size limit (ulimit -f) is an
// ordinary failure (EFBIG) only where SIGXFSZ is ignored, as main does.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <system_error>

#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

std::expected<void, FileError> write_file(const std::string& path, std::string_view text);

// Writes all of `text` to `fd`, resuming after partial writes and interruptions. Allocates nothing.
std::expected<void, std::error_code> write_all(int fd, std::string_view text);

}  // namespace ovra_layout_inspector
