// Writing a whole output file so that a failure never leaves it cut short or missing.
//
// A regular file (or a path that names nothing yet) is replaced through a temporary file beside it:
// the text is written, flushed to the disk and the temporary renamed over the target only when all of
// that succeeded; on any failure the temporary is removed and the previous file stays as it was. A
// symbolic link is followed to its final target, which is replaced the same way; the link stays a
// link. Anything else that already exists (a device such as /dev/full, a pipe) cannot be renamed over
// and is written directly, every write checked. An existing file the user may not write to is refused,
// as opening it for writing would be; a replaced file keeps its permission bits.
//
// A file-size limit (ulimit -f) is an ordinary failure (EFBIG) only if the process ignores SIGXFSZ,
// which main does.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

// Writes `text` to the file at `path` as described above. The error names `path` as given and the
// system's reason: "cannot write 'PATH': REASON".
std::expected<void, ToolError> write_file(const std::string& path, std::string_view text);

}  // namespace ovra_layout_inspector
