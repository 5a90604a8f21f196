// Starting a program as a child process, with its standard descriptors and process state set up as asked:
// the runner starts each isolated test's child with it, and the project's tests start the executables they
// check.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ovra_runner {

// An open descriptor, closed with its owner.
struct FileDescriptor {
    int fd = -1;

    FileDescriptor() = default;
    explicit FileDescriptor(int value) : fd(value) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    void reset();
};

// What one of the child's descriptors 0, 1 and 2 is.
namespace child_stream {
// This process's own.
struct Inherit {};
// /dev/null.
struct Null {};
// A pipe whose other end this process gets (the reading end for 1 and 2, the writing end for 0).
struct Pipe {};
// Closed, as `>&-` leaves it.
struct Close {};
// A file created or emptied and opened for writing.
struct File {
    std::string path;
};
// One of this process's open descriptors.
struct Descriptor {
    int fd = -1;
};
}  // namespace child_stream

using ChildStream = std::variant<child_stream::Inherit, child_stream::Null, child_stream::Pipe,
                                 child_stream::Close, child_stream::File, child_stream::Descriptor>;

// A resource limit (soft and hard) the child starts under, as `ulimit` sets it.
struct ResourceLimit {
    int resource = 0;
    std::uint64_t value = 0;
};

// Another user to run the child as (this process must be allowed to become it).
struct ChildUser {
    uid_t uid = 0;
    gid_t gid = 0;
};

struct SpawnRequest {
    std::string program;
    // argv, argv[0] included.
    std::vector<std::string> arguments;
    // The whole environment, "NAME=value" each.
    std::vector<std::string> environment;
    std::array<ChildStream, 3> streams{};
    // The child leads a process group of its own, so that what it starts can be signalled with it.
    bool own_process_group = false;
    // The child starts with no signal blocked, whatever the spawning thread holds.
    bool clear_signal_mask = false;
    // Signals the child starts with at their default action, or ignored (as a shell's `trap '' SIGNAL`).
    std::vector<int> default_signals;
    std::vector<int> ignored_signals;
    std::vector<ResourceLimit> limits;
    std::optional<ChildUser> user;
};

struct SpawnedChild {
    pid_t pid = -1;
    // This process's ends of the pipes, by the child's descriptor; unset where that is no pipe.
    std::array<FileDescriptor, 3> pipes;
};

// Why a child could not be started: the system's error number (errno) of the step that failed.
struct SpawnError {
    int os_error = 0;
};

// Starts the child. This process's ends of its pipes are close-on-exec, so no other child inherits them.
std::expected<SpawnedChild, SpawnError> spawn(const SpawnRequest& request);

}  // namespace ovra_runner
