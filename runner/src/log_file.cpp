#include "log_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include <fmt/format.h>

namespace ovra_runner {

namespace {

IoError last_error() {
    // Some failures (a short write of a buffered stream) leave errno unset; they are still failures.
    return IoError{errno != 0 ? errno : EIO};
}

}  // namespace

std::expected<LogFile, std::string> create_log(const std::string& path, std::optional<FileIdentity> stdout_file) {
    struct stat status {};
    if (stdout_file && ::stat(path.c_str(), &status) == 0 &&
        FileIdentity{status.st_dev, status.st_ino} == *stdout_file) {
        return std::unexpected(
            fmt::format("could not create the log file `{}`: it is the file standard output writes to", path));
    }
    errno = 0;
    LogFile file(std::fopen(path.c_str(), "w"));
    if (!file) {
        return std::unexpected(fmt::format("could not create the log file `{}`: {}", path,
                                           std::generic_category().message(last_error().os_error)));
    }
    return file;
}

IoResult write_log(LogFile& log, std::string_view text) {
    if (!log || text.empty()) {
        return {};
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), log.get()) != text.size()) {
        return std::unexpected(last_error());
    }
    return {};
}

IoResult close_log(LogFile& log) {
    if (!log) {
        return {};
    }
    std::FILE* file = log.release();
    errno = 0;
    const bool flushed = std::fflush(file) == 0;
    const IoError flush_error = last_error();
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (!flushed) {
        return std::unexpected(flush_error);
    }
    if (!closed) {
        return std::unexpected(last_error());
    }
    return {};
}

}  // namespace ovra_runner
