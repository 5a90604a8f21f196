#include "ovra/layout_inspector/file_output.hpp"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include <fmt/format.h>

#include "ovra/descriptor/descriptor.hpp"

namespace ovra_layout_inspector {

namespace {

using ovra_descriptor::Descriptor;
using Done = std::expected<void, std::error_code>;

// What the kernel adds to the name of an open file that is no longer in its directory.
constexpr std::string_view deleted_mark = " (deleted)";

std::unexpected<std::error_code> failure(int number = errno) {
    return std::unexpected(std::error_code(number, std::system_category()));
}

// The replaced file's path and the temporary's beside it, in fixed buffers: nothing is allocated (or
// thrown) while this write may have files to remove.
struct Paths {
    std::array<char, PATH_MAX> file{};
    std::array<char, PATH_MAX + NAME_MAX> temporary{};
    std::size_t name = 0;  // where the file's name starts in `file`
};

// Finds the file that `fd` is open on where the kernel found it, through every link: /proc/self/fd
// names it, by a path that every later lookup takes through the kernel's rules again. A file that
// another writer has replaced since it was opened is named with " (deleted)" added, and its name is
// still the one to replace. `status` is the file's.
Done locate(int fd, Paths& paths, struct stat& status) {
    std::array<char, 32> link{};
    fmt::format_to_n(link.data(), link.size() - 1, "/proc/self/fd/{}", fd);
    const ssize_t length = ::readlink(link.data(), paths.file.data(), paths.file.size());
    if (length < 0 || ::fstat(fd, &status) != 0) {
        return failure();
    }
    if (static_cast<std::size_t>(length) == paths.file.size()) {
        return failure(ENAMETOOLONG);
    }
    std::string_view found(paths.file.data(), static_cast<std::size_t>(length));
    if (status.st_nlink == 0 && found.ends_with(deleted_mark)) {
        found.remove_suffix(deleted_mark.size());
    }
    paths.file[found.size()] = '\0';
    // ".NAME.XXXXXX" beside NAME, at most 200 bytes of NAME leaving room for the rest within the 255
    // bytes of one file name.
    paths.name = found.rfind('/') + 1;
    *fmt::format_to_n(paths.temporary.data(), paths.temporary.size() - 1, "{}.{:.200}.XXXXXX",
                      found.substr(0, paths.name), found.substr(paths.name))
         .out = '\0';
    return {};
}

// Gives the temporary the replaced file's permission bits, and its owner where this process may give a
// file away (as root), then writes `text` to it and flushes it to the disk.
Done fill_temporary(Descriptor temporary, const struct stat& previous, std::string_view text) {
    if (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid()) {
        static_cast<void>(::fchown(temporary.fd, previous.st_uid, previous.st_gid));
    }
    Done done =
        ::fchmod(temporary.fd, previous.st_mode & 07777) == 0 ? write_all(temporary.fd, text) : failure();
    if (done && ::fsync(temporary.fd) != 0) {
        done = failure();
    }
    // A failed close fails the write, as the last of the data may be lost.
    return ::close(temporary.release()) == 0 || !done ? done : failure();
}

// Writes `text` to a temporary file beside the opened file and renames it over that file once it is
// whole and on the disk, unless one of the `held` signals came meanwhile. Otherwise the temporary is
// removed, and so is the file if this write created it and it is still the empty one made.
Done replace(const Descriptor& file, bool created, const sigset_t& held, std::string_view text) {
    Paths paths;
    struct stat previous {};
    if (const Done located = locate(file.fd, paths, previous); !located) {
        return located;
    }
    Descriptor temporary{::mkostemp(paths.temporary.data(), O_CLOEXEC)};
    const bool made = temporary.is_open();
    Done done = made ? fill_temporary(std::move(temporary), previous, text) : failure();
    sigset_t came;
    sigpending(&came);
    sigandset(&came, &came, &held);
    if (done && !sigisemptyset(&came)) {
        done = failure(EINTR);
    }
    if (done && ::rename(paths.temporary.data(), paths.file.data()) != 0) {
        done = failure();
    }
    if (done) {
        // The rename lasts a crash only once the directory is on the disk too; it is done either way.
        paths.file[paths.name] = '\0';
        const Descriptor directory{::open(paths.file.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        if (directory.is_open()) {
            static_cast<void>(::fsync(directory.fd));
        }
        return done;
    }
    if (made) {
        static_cast<void>(::unlink(paths.temporary.data()));
    }
    struct stat now {};
    if (created && ::lstat(paths.file.data(), &now) == 0 && now.st_dev == previous.st_dev &&
        now.st_ino == previous.st_ino) {
        static_cast<void>(::unlink(paths.file.data()));
    }
    return done;
}

Done write_to(const std::string& path, std::string_view text) {
    Descriptor file{::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)};
    struct stat status {};
    if (!file.is_open() ? errno != ENOENT : ::fstat(file.fd, &status) != 0) {
        return failure();
    }
    if (file.is_open() && !S_ISREG(status.st_mode)) {
        const Done written = write_all(file.fd, text);
        return ::close(file.release()) == 0 || !written ? written : failure();
    }
    // SIGINT, SIGTERM and SIGHUP wait until the file is replaced or left as it was: one that comes
    // meanwhile then ends the process with no temporary left behind, nor a file made for nothing. Those
    // ignored stay ignored.
    sigset_t held;
    sigemptyset(&held);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        if (::sigaction(number, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&held, number);
        }
    }
    sigset_t mask_before;
    pthread_sigmask(SIG_BLOCK, &held, &mask_before);
    const bool created = !file.is_open();
    if (created) {
        // Created as any program would create it, the kernel again judging the links on the way.
        file = Descriptor{::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666)};
    }
    const Done done = file.is_open() ? replace(file, created, held, text) : failure();
    pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
    return done;
}

}  // namespace

std::expected<void, FileError> write_file(const std::string& path, std::string_view text) {
    const Done written = write_to(path, text);
    return written ? std::expected<void, FileError>{} : std::unexpected(FileError{path, written.error()});
}

std::expected<void, std::error_code> write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written >= 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
        } else if (errno != EINTR) {
            return failure();
        }
    }
    return {};
}

}  // namespace ovra_layout_inspector
