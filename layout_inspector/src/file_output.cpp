#include "ovra/layout_inspector/file_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <optional>
#include <utility>

#include "temporary_file.hpp"

namespace ovra_layout_inspector {

namespace {

using Done = std::expected<void, std::error_code>;

// The kernel's own limit on the symbolic links followed in one path lookup.
constexpr int most_link_hops = 40;

// An open file descriptor, closed with its owner.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int opened) : fd(opened) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) {
            static_cast<void>(::close(fd));
        }
    }
};

// A name in an open directory. Everything after the lookup works from the directory itself, so that
// no path is looked up twice with a different outcome.
struct Entry {
    Descriptor directory;
    std::string name;
};

// The directory of `path` (looked up from `from`, by the kernel) and the last part of `path`.
std::expected<Entry, std::error_code> open_entry(int from, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    Descriptor opened{::openat(from, directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
    if (opened.fd < 0) {
        return std::unexpected(last_error());
    }
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // "DIRECTORY/" names the directory itself.
    return Entry{std::move(opened), name.empty() ? "." : std::move(name)};
}

std::expected<std::string, std::error_code> read_link(const Entry& link) {
    std::string target(256, '\0');
    while (true) {
        const ssize_t length = ::readlinkat(link.directory.fd, link.name.c_str(), target.data(), target.size());
        if (length < 0) {
            return std::unexpected(last_error());
        }
        // readlinkat fills the whole buffer when the target may be longer than it.
        if (const auto size = static_cast<std::size_t>(length); size < target.size()) {
            target.resize(size);
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The entry that `entry` finally names, and the file there if there is one.
struct Found {
    Entry entry;
    std::optional<struct stat> file;
};

// Follows symbolic links one at a time, each from the directory that holds it, so that a link to a
// file not made yet names the entry to create. Only called for links that open() has just followed.
std::expected<Found, std::error_code> final_entry(Entry entry) {
    for (int hop = 0; hop <= most_link_hops; ++hop) {
        struct stat status {};
        if (::fstatat(entry.directory.fd, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                return Found{std::move(entry), std::nullopt};
            }
            return std::unexpected(last_error());
        }
        if (!S_ISLNK(status.st_mode)) {
            return Found{std::move(entry), status};
        }
        const std::expected<std::string, std::error_code> target = read_link(entry);
        if (!target) {
            return std::unexpected(target.error());
        }
        std::expected<Entry, std::error_code> next = open_entry(entry.directory.fd, *target);
        if (!next) {
            return std::unexpected(next.error());
        }
        entry = std::move(*next);
    }
    return std::unexpected(std::error_code(ELOOP, std::system_category()));
}

Done close_checked(Descriptor file) {
    return ::close(std::exchange(file.fd, -1)) == 0 ? Done{} : std::unexpected(last_error());
}

// A device or pipe is written where it is; there is nothing to keep intact and no file to rename.
Done write_in_place(Descriptor file, std::string_view text) {
    const Done written = write_all(file.fd, text);
    const Done closed = close_checked(std::move(file));
    return written ? closed : written;
}

// The replacement keeps the replaced file's permission bits, and its owner where this process may give
// a file away (as root); anyone else replaces the file as their own, as an editor does.
Done take_over_owner_and_mode(int fd, const struct stat& previous) {
    if (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid()) {
        static_cast<void>(::fchown(fd, previous.st_uid, previous.st_gid));
    }
    return ::fchmod(fd, previous.st_mode & 07777) == 0 ? Done{} : std::unexpected(last_error());
}

// The rename lasts a crash only once the directory is on disk too. A directory that cannot be synced
// still holds the whole new file, so this is not reported.
void sync_directory(int directory) {
    const Descriptor opened{::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (opened.fd >= 0) {
        static_cast<void>(::fsync(opened.fd));
    }
}

// Writes `text` to a temporary file beside `target`, flushes it to the disk and renames it over
// `target`; on any failure removes the temporary and leaves `target` as it was. `previous` is the
// file being replaced, if there is one. Nothing here allocates, so nothing can throw while the
// temporary exists.
Done replace(const Entry& target, const std::optional<struct stat>& previous, std::string_view text) {
    const std::expected<int, std::error_code> created = create_temporary(target.directory.fd, target.name);
    if (!created) {
        return std::unexpected(created.error());
    }
    Descriptor temporary{*created};
    Done done = previous ? take_over_owner_and_mode(temporary.fd, *previous) : Done{};
    if (done) {
        done = write_all(temporary.fd, text);
    }
    if (done && ::fsync(temporary.fd) != 0) {
        done = std::unexpected(last_error());
    }
    if (const Done closed = close_checked(std::move(temporary)); done) {
        done = closed;
    }
    if (done) {
        done = rename_temporary(target.name.c_str());
    }
    if (!done) {
        discard_temporary();
        return done;
    }
    sync_directory(target.directory.fd);
    return done;
}

bool same_file(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

Done write_to(const std::string& path, std::string_view text) {
    // Opened as any program would open it, but not truncated: what the kernel refuses is refused.
    Descriptor opened{::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)};
    if (opened.fd < 0 && errno != ENOENT) {
        return std::unexpected(last_error());
    }
    std::optional<struct stat> existing;
    if (opened.fd >= 0) {
        struct stat status {};
        if (::fstat(opened.fd, &status) != 0) {
            return std::unexpected(last_error());
        }
        if (!S_ISREG(status.st_mode)) {
            return write_in_place(std::move(opened), text);
        }
        existing = status;
    }
    // The directory to put the replacement in: the links just followed, followed again from their own
    // directories.
    std::expected<Entry, std::error_code> given = open_entry(AT_FDCWD, path);
    if (!given) {
        return std::unexpected(given.error());
    }
    const std::expected<Found, std::error_code> found = final_entry(std::move(*given));
    if (!found) {
        return std::unexpected(found.error());
    }
    // Only the file the kernel opened is replaced (or, where it found none, a file is created only where
    // there is still none): a link changed in between must not aim the write elsewhere.
    if (found->file.has_value() != existing.has_value() || (existing && !same_file(*existing, *found->file))) {
        return std::unexpected(std::error_code(EAGAIN, std::system_category()));
    }
    return replace(found->entry, existing, text);
}

}  // namespace

std::expected<void, FileError> write_file(const std::string& path, std::string_view text) {
    if (const Done written = write_to(path, text); !written) {
        return std::unexpected(FileError{path, written.error()});
    }
    return {};
}

std::expected<void, std::error_code> write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(last_error());
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace ovra_layout_inspector
