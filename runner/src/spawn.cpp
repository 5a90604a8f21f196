#include "ovra/runner/spawn.hpp"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace ovra_runner {

void FileDescriptor::reset() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

namespace {

constexpr int file_mode = 0644;

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The child's end of each pipe asked for, and this process's; -1 where a descriptor is no pipe.
struct Pipes {
    std::array<FileDescriptor, 3> child_ends;
    std::array<FileDescriptor, 3> parent_ends;
};

std::expected<Pipes, int> make_pipes(const SpawnRequest& request) {
    Pipes pipes;
    for (std::size_t stream = 0; stream < request.streams.size(); ++stream) {
        if (!std::holds_alternative<child_stream::Pipe>(request.streams[stream])) {
            continue;
        }
        std::array<int, 2> ends{-1, -1};
        // Close-on-exec: a child started by another thread must not hold this one's pipe open.
        if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
            return std::unexpected(errno);
        }
        // The child reads its standard input and writes the others.
        const bool child_reads = stream == STDIN_FILENO;
        pipes.child_ends[stream] = FileDescriptor(ends[child_reads ? 0 : 1]);
        pipes.parent_ends[stream] = FileDescriptor(ends[child_reads ? 1 : 0]);
    }
    return pipes;
}

int open_flags(int stream) {
    return stream == STDIN_FILENO ? O_RDONLY : O_WRONLY;
}

// posix_spawn sets up everything but limits, ignored signals and another user.
std::expected<pid_t, int> spawn_directly(const SpawnRequest& request, const Pipes& pipes, char* const* argv,
                                         char* const* envp) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    for (int stream = 0; stream < 3; ++stream) {
        const ChildStream& setup = request.streams[static_cast<std::size_t>(stream)];
        if (std::holds_alternative<child_stream::Null>(setup)) {
            ::posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", open_flags(stream), 0);
        } else if (std::holds_alternative<child_stream::Pipe>(setup)) {
            ::posix_spawn_file_actions_adddup2(&actions,
                                               pipes.child_ends[static_cast<std::size_t>(stream)].fd, stream);
        } else if (std::holds_alternative<child_stream::Close>(setup)) {
            ::posix_spawn_file_actions_addclose(&actions, stream);
        } else if (const auto* file = std::get_if<child_stream::File>(&setup)) {
            ::posix_spawn_file_actions_addopen(&actions, stream, file->path.c_str(),
                                               O_WRONLY | O_CREAT | O_TRUNC, file_mode);
        } else if (const auto* descriptor = std::get_if<child_stream::Descriptor>(&setup)) {
            ::posix_spawn_file_actions_adddup2(&actions, descriptor->fd, stream);
        }
    }
    short flags = 0;
    if (request.own_process_group) {
        ::posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    if (request.clear_signal_mask) {
        sigset_t none;
        ::sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        flags |= POSIX_SPAWN_SETSIGMASK;
    }
    if (!request.default_signals.empty()) {
        sigset_t defaults;
        ::sigemptyset(&defaults);
        for (const int signal_number : request.default_signals) {
            ::sigaddset(&defaults, signal_number);
        }
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        flags |= POSIX_SPAWN_SETSIGDEF;
    }
    ::posix_spawnattr_setflags(&attributes, flags);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, request.program.c_str(), &actions, &attributes, argv, envp);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return std::unexpected(spawned);
    }
    return pid;
}

// Sends errno up `report` and ends the child.
[[noreturn]] void give_up(int report) {
    const int error_number = errno;
    (void)!::write(report, &error_number, sizeof error_number);
    ::_exit(127);
}

// Between fork and exec, in a process that may have had other threads: async-signal-safe calls only. A
// failure is sent up `report` as its errno and the child exits.
[[noreturn]] void become_child(const SpawnRequest& request, const Pipes& pipes, int report, char* const* argv,
                               char* const* envp) {
    const auto fail = [report] { give_up(report); };
    for (int stream = 0; stream < 3; ++stream) {
        const ChildStream& setup = request.streams[static_cast<std::size_t>(stream)];
        int source = -1;
        if (std::holds_alternative<child_stream::Null>(setup)) {
            source = ::open("/dev/null", open_flags(stream));
        } else if (std::holds_alternative<child_stream::Pipe>(setup)) {
            source = pipes.child_ends[static_cast<std::size_t>(stream)].fd;
        } else if (std::holds_alternative<child_stream::Close>(setup)) {
            ::close(stream);
            continue;
        } else if (const auto* file = std::get_if<child_stream::File>(&setup)) {
            source = ::open(file->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, file_mode);
        } else if (const auto* descriptor = std::get_if<child_stream::Descriptor>(&setup)) {
            source = descriptor->fd;
        } else {
            continue;
        }
        if (source < 0 || ::dup2(source, stream) < 0) {
            fail();
        }
    }
    if (request.own_process_group && ::setpgid(0, 0) != 0) {
        fail();
    }
    for (const ResourceLimit& limit : request.limits) {
        const rlimit value{limit.value, limit.value};
        if (::setrlimit(limit.resource, &value) != 0) {
            fail();
        }
    }
    for (const int signal_number : request.default_signals) {
        ::signal(signal_number, SIG_DFL);
    }
    for (const int signal_number : request.ignored_signals) {
        ::signal(signal_number, SIG_IGN);
    }
    if (request.clear_signal_mask) {
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
    }
    if (request.user) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(request.user->gid) != 0 ||
            ::setuid(request.user->uid) != 0) {
            fail();
        }
    }
    ::execve(request.program.c_str(), argv, envp);
    give_up(report);
}

std::expected<pid_t, int> spawn_by_fork(const SpawnRequest& request, const Pipes& pipes, char* const* argv,
                                        char* const* envp) {
    std::array<int, 2> report{-1, -1};
    if (::pipe2(report.data(), O_CLOEXEC) != 0) {
        return std::unexpected(errno);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        become_child(request, pipes, report[1], argv, envp);
    }
    const int fork_error = errno;
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        return std::unexpected(fork_error);
    }
    // Nothing to read once the exec has closed the report's writing end; an errno where a step failed.
    int child_error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &child_error, sizeof child_error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got > 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return std::unexpected(child_error);
    }
    return pid;
}

}  // namespace

std::expected<SpawnedChild, SpawnError> spawn(const SpawnRequest& request) {
    std::vector<std::string> argument_storage = request.arguments;
    std::vector<std::string> environment_storage = request.environment;
    const std::vector<char*> argv = pointers_to(argument_storage);
    const std::vector<char*> envp = pointers_to(environment_storage);
    std::expected<Pipes, int> pipes = make_pipes(request);
    if (!pipes) {
        return std::unexpected(SpawnError{pipes.error()});
    }
    const bool needs_fork = !request.limits.empty() || !request.ignored_signals.empty() || request.user;
    const std::expected<pid_t, int> pid = needs_fork
                                              ? spawn_by_fork(request, *pipes, argv.data(), envp.data())
                                              : spawn_directly(request, *pipes, argv.data(), envp.data());
    if (!pid) {
        return std::unexpected(SpawnError{pid.error()});
    }
    return SpawnedChild{*pid, std::move(pipes->parent_ends)};
}

}  // namespace ovra_runner
