// The `--logfile` file: one line per result or listed test, every write and the final close checked.
#pragma once

#include <cstdio>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ovra/runner/run_environment.hpp"

namespace ovra_runner {

// Closing here is only reached on paths that already report an error; `close_log` is the checked way out.
struct CloseLog {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using LogFile = std::unique_ptr<std::FILE, CloseLog>;

// Creates (or truncates) the file at `path`, which may not be the one standard output writes to: report and
// log would cut each other into pieces in one file, and opening it would truncate the report written so far.
// The error is the message printed after "error: ".
std::expected<LogFile, std::string> create_log(const std::string& path, std::optional<FileIdentity> stdout_file);

// Nothing happens without a file.
IoResult write_log(LogFile& log, std::string_view text);

// Flushes and closes; buffered lines that cannot be written show here.
IoResult close_log(LogFile& log);

}  // namespace ovra_runner
