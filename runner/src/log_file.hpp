// The `--logfile` file: one line per result or listed test, every write and the final close checked.
#pragma once

#include <cstdio>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ovra/runner/run_environment.hpp"

namespace ovra_runner {

struct LogFile {
    std::FILE* file = nullptr;

    LogFile() = default;
    explicit LogFile(std::FILE* opened) : file(opened) {}
    LogFile(LogFile&& other) noexcept : file(std::exchange(other.file, nullptr)) {}
    LogFile& operator=(LogFile&& other) noexcept {
        std::swap(file, other.file);
        return *this;
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    // Only reached on paths that already report an error; `close_log` is the checked way out.
    ~LogFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

// The file `path` names now, if it exists.
std::optional<FileIdentity> identity_of(const std::string& path);

// Creates (or truncates) the file; the error is errno.
std::expected<LogFile, IoError> open_log(const std::string& path);

// Nothing happens without a file.
IoResult write_log(LogFile& log, std::string_view text);

// Flushes and closes; buffered lines that cannot be written show here.
IoResult close_log(LogFile& log);

}  // namespace ovra_runner
