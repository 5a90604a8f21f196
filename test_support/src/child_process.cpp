#include "ovra/test_support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <fmt/format.h>

extern char** environ;

namespace ovra_test_support {

namespace {

using ovra_runner::ChildStream;
namespace child_stream = ovra_runner::child_stream;

// Reads both streams until they close or the deadline passes; returns false on the deadline.
bool drain(std::array<int, 2> fds, std::string& out, std::string& err,
           std::chrono::steady_clock::time_point deadline) {
    std::array<pollfd, 2> streams{{{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    int open_streams = (fds[0] >= 0 ? 1 : 0) + (fds[1] >= 0 ? 1 : 0);
    std::array<char, 4096> buffer{};
    while (open_streams > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const int ready = ::poll(streams.data(), streams.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        for (std::size_t index = 0; index < streams.size(); ++index) {
            if (streams[index].fd < 0 || streams[index].revents == 0) {
                continue;
            }
            const ssize_t count = ::read(streams[index].fd, buffer.data(), buffer.size());
            if (count > 0) {
                sinks[index]->append(buffer.data(), static_cast<std::size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                streams[index].fd = -1;
                --open_streams;
            }
        }
    }
    return true;
}

// The child's descriptor 1 as `options` asks; a pipe whose reader went away is made here, its writing end
// kept in `closed_pipe` until the child has its own.
ChildStream stdout_stream(const ChildOptions& options, ovra_runner::FileDescriptor& closed_pipe) {
    switch (options.stdout_mode) {
        case ChildStdout::Captured:
            return child_stream::Pipe{};
        case ChildStdout::DevFull:
            return child_stream::File{"/dev/full"};
        case ChildStdout::ClosedPipe: {
            std::array<int, 2> ends{-1, -1};
            if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
                return child_stream::Close{};
            }
            ::close(ends[0]);
            closed_pipe = ovra_runner::FileDescriptor(ends[1]);
            return child_stream::Descriptor{ends[1]};
        }
        case ChildStdout::File:
            return child_stream::File{options.stdout_path};
        case ChildStdout::Closed:
            break;
    }
    return child_stream::Close{};
}

// This process's environment without the variables starting with OVRA_, then the caller's, each replacing
// an inherited variable of its name (with two entries, getenv would find the first).
std::vector<std::string> child_environment(const std::vector<std::string>& own) {
    const auto set_by_caller = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(own.begin(), own.end(), [&](const std::string& variable) {
            return std::string_view(variable).starts_with(name);
        });
    };
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("OVRA_") && !set_by_caller(*entry)) {
            entries.emplace_back(*entry);
        }
    }
    entries.insert(entries.end(), own.begin(), own.end());
    return entries;
}

}  // namespace

StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildOptions& options) {
    ovra_runner::SpawnRequest request;
    request.program = program;
    request.arguments = {program};
    request.arguments.insert(request.arguments.end(), arguments.begin(), arguments.end());
    request.environment = child_environment(options.environment);
    ovra_runner::FileDescriptor closed_pipe;
    request.streams = {child_stream::Inherit{}, stdout_stream(options, closed_pipe), child_stream::Pipe{}};
    request.limits = options.limits;
    request.ignored_signals = options.ignored_signals;
    if (options.user) {
        request.user = ovra_runner::ChildUser{options.user->uid, options.user->gid};
        request.limits.push_back({RLIMIT_NPROC, options.user->max_processes});
    }
    StartedChild child;
    child.deadline = std::chrono::steady_clock::now() + options.deadline;
    std::expected<ovra_runner::SpawnedChild, ovra_runner::SpawnError> spawned = ovra_runner::spawn(request);
    if (!spawned) {
        child.error = fmt::format("cannot start {}: {}", program, std::strerror(spawned.error().os_error));
        return child;
    }
    child.pid = spawned->pid;
    child.streams = {std::move(spawned->pipes[STDOUT_FILENO]), std::move(spawned->pipes[STDERR_FILENO])};
    return child;
}

ChildOutcome finish_child(StartedChild& child) {
    ChildOutcome outcome;
    if (child.pid < 0) {
        outcome.status = could_not_start_status;
        outcome.err = child.error;
        return outcome;
    }
    const bool finished =
        drain({child.streams[0].fd, child.streams[1].fd}, outcome.out, outcome.err, child.deadline);
    if (!finished) {
        ::kill(child.pid, SIGKILL);
        outcome.timed_out = true;
    }
    int wait_status = 0;
    while (::waitpid(child.pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    // Streams a killed child left open; their unread rest does not matter.
    for (ovra_runner::FileDescriptor& stream : child.streams) {
        stream.reset();
    }
    outcome.status = !outcome.timed_out && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    outcome.signal = !outcome.timed_out && WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    return outcome;
}

ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const ChildOptions& options) {
    StartedChild child = start_child(program, arguments, options);
    return finish_child(child);
}

ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, std::chrono::milliseconds deadline) {
    ChildOptions options;
    options.environment = environment;
    options.deadline = deadline;
    return run_child(program, arguments, options);
}

}  // namespace ovra_test_support
