#include "ovra/layout_inspector/file_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fmt/format.h>

namespace ovra_layout_inspector {

namespace {

// The kernel's own limit on the symbolic links followed in one path lookup.
constexpr int most_link_hops = 40;
// Temporary names are unique per process; a few more attempts step over leftovers of a process that
// had the same id and was killed.
constexpr int most_name_attempts = 100;
// Room for the temporary name's additions within the usual 255-byte limit of one file name.
constexpr std::size_t longest_name_part = 200;

FileError cannot_write(const std::string& path, int error_number) {
    return FileError{fmt::format("cannot write {}: {}", echoed(path), std::strerror(error_number))};
}

// The directory part of `path` with its final "/", or "" for a bare name.
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::expected<std::string, int> read_link(const std::string& path) {
    std::string target(256, '\0');
    while (true) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            return std::unexpected(errno);
        }
        // readlink fills the whole buffer when the target may be longer than it.
        if (const auto size = static_cast<std::size_t>(length); size < target.size()) {
            target.resize(size);
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The path that `path` finally names: symbolic links are followed one at a time, a relative one from
// its own directory, so that a link to a file that does not exist yet names that file.
std::expected<std::string, int> final_target(std::string path) {
    for (int hop = 0; hop <= most_link_hops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) {
            // Nothing there yet: the file is created at this path (a missing directory fails then).
            if (errno == ENOENT) {
                return path;
            }
            return std::unexpected(errno);
        }
        if (!S_ISLNK(status.st_mode)) {
            return path;
        }
        const std::expected<std::string, int> link = read_link(path);
        if (!link) {
            return std::unexpected(link.error());
        }
        path = link->starts_with('/') ? *link : directory_of(path) + *link;
    }
    return std::unexpected(ELOOP);
}

// Writes all of `text`, resuming after partial writes and interruptions. 0 or the error number.
int write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// A device or pipe is written where it is; there is nothing to keep intact and no file to rename.
int write_in_place(const std::string& target, std::string_view text) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error_number = write_all(fd, text);
    if (::close(fd) != 0 && error_number == 0) {
        error_number = errno;
    }
    return error_number;
}

struct TemporaryFile {
    int fd;
    std::string path;
};

// A new file beside `target`, created by this call alone and with the permission bits a new file gets.
std::expected<TemporaryFile, int> create_temporary(const std::string& target) {
    const std::string stem =
        directory_of(target) + "." + name_of(target).substr(0, longest_name_part) + ".tmp";
    for (int attempt = 0; attempt < most_name_attempts; ++attempt) {
        std::string path = fmt::format("{}{}.{}", stem, ::getpid(), attempt);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return TemporaryFile{fd, std::move(path)};
        }
        if (errno != EEXIST) {
            return std::unexpected(errno);
        }
    }
    return std::unexpected(EEXIST);
}

// The replacement keeps the replaced file's permission bits, and its owner where this process may give
// a file away (as root); anyone else replaces the file as their own, as an editor does.
int take_over_owner_and_mode(int fd, const struct stat& previous) {
    if (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid()) {
        static_cast<void>(::fchown(fd, previous.st_uid, previous.st_gid));
    }
    return ::fchmod(fd, previous.st_mode & 07777) == 0 ? 0 : errno;
}

// The rename lasts a crash only once the directory is on disk too. A directory that cannot be synced
// still holds the whole new file, so this is not reported.
void sync_directory(const std::string& target) {
    const std::string directory = directory_of(target);
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        static_cast<void>(::fsync(fd));
        static_cast<void>(::close(fd));
    }
}

// Writes `text` to a temporary file beside `target`, flushes it to the disk and renames it over
// `target`; on any failure removes the temporary and leaves `target` as it was. `previous` is the
// file being replaced, if there is one.
int replace(const std::string& target, const struct stat* previous, std::string_view text) {
    const std::expected<TemporaryFile, int> temporary = create_temporary(target);
    if (!temporary) {
        return temporary.error();
    }
    int error_number = previous == nullptr ? 0 : take_over_owner_and_mode(temporary->fd, *previous);
    if (error_number == 0) {
        error_number = write_all(temporary->fd, text);
    }
    if (error_number == 0 && ::fsync(temporary->fd) != 0) {
        error_number = errno;
    }
    if (::close(temporary->fd) != 0 && error_number == 0) {
        error_number = errno;
    }
    if (error_number == 0 && ::rename(temporary->path.c_str(), target.c_str()) != 0) {
        error_number = errno;
    }
    if (error_number != 0) {
        static_cast<void>(::unlink(temporary->path.c_str()));
        return error_number;
    }
    sync_directory(target);
    return 0;
}

}  // namespace

std::expected<void, ToolError> write_file(const std::string& path, std::string_view text) {
    const std::expected<std::string, int> target = final_target(path);
    if (!target) {
        return std::unexpected(ToolError{cannot_write(path, target.error())});
    }
    struct stat status {};
    const bool exists = ::stat(target->c_str(), &status) == 0;
    int error_number = 0;
    if (!exists && errno != ENOENT) {
        error_number = errno;
    } else if (exists && !S_ISREG(status.st_mode)) {
        // A directory fails here too, with "Is a directory".
        error_number = write_in_place(*target, text);
    } else if (exists && ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) {
        // Renaming needs only the directory's permission; a file its owner made read-only stays so.
        error_number = errno;
    } else {
        error_number = replace(*target, exists ? &status : nullptr, text);
    }
    if (error_number != 0) {
        return std::unexpected(ToolError{cannot_write(path, error_number)});
    }
    return {};
}

}  // namespace ovra_layout_inspector
