// The one temporary file that ovra_layout writes at a time, kept where a signal handler can find it:
// from its creation until it is renamed or discarded, SIGINT, SIGTERM and SIGHUP remove it before they
// end the process (see remove_temporary_on_ending_signals).
#pragma once

#include <cerrno>
#include <expected>
#include <string_view>
#include <system_error>

namespace ovra_layout_inspector {

// errno as an error value.
inline std::error_code last_error() {
    return {errno, std::system_category()};
}

// A new file ".NAME.tmpPID.N" in the open `directory`, beside `name`, made by this call alone (never an
// existing file) with the permission bits a new file gets, and open for writing. `directory` must stay
// open until the temporary is renamed or discarded.
std::expected<int, std::error_code> create_temporary(int directory, std::string_view name);

// Renames the temporary over `name` in its directory. On failure it is still there, to be discarded.
std::expected<void, std::error_code> rename_temporary(const char* name);

// Removes the temporary.
void discard_temporary();

}  // namespace ovra_layout_inspector
