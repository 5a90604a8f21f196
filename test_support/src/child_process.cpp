#include "ovra/test_support/child_process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

extern char** environ;

namespace ovra_test_support {

namespace {

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

struct Pipe {
    int read_end = -1;
    int write_end = -1;
};

Pipe make_pipe() {
    std::array<int, 2> ends{-1, -1};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        return {};
    }
    return {ends[0], ends[1]};
}

// Reads both streams until they close or the deadline passes; returns false on the deadline. A stream that
// closes is closed here and its descriptor set to -1.
bool drain(std::array<int, 2>& fds, std::string& out, std::string& err,
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
                ::close(streams[index].fd);
                streams[index].fd = -1;
                fds[index] = -1;
                --open_streams;
            }
        }
    }
    return true;
}

// The descriptor that becomes the child's 1 (-1: closed in the child) and the end this process reads it
// from (-1: not captured).
struct StdoutPlan {
    int child_fd = -1;
    int capture_fd = -1;
};

std::optional<StdoutPlan> plan_stdout(const ChildOptions& options) {
    switch (options.stdout_mode) {
        case ChildStdout::Captured: {
            const Pipe pipe = make_pipe();
            if (pipe.read_end < 0) {
                return std::nullopt;
            }
            return StdoutPlan{pipe.write_end, pipe.read_end};
        }
        case ChildStdout::DevFull: {
            const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
            if (fd < 0) {
                return std::nullopt;
            }
            return StdoutPlan{fd, -1};
        }
        case ChildStdout::ClosedPipe: {
            const Pipe pipe = make_pipe();
            if (pipe.read_end < 0) {
                return std::nullopt;
            }
            ::close(pipe.read_end);
            return StdoutPlan{pipe.write_end, -1};
        }
        case ChildStdout::File: {
            const int fd = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) {
                return std::nullopt;
            }
            return StdoutPlan{fd, -1};
        }
        case ChildStdout::Closed:
            break;
    }
    return StdoutPlan{-1, -1};
}

// Between fork and exec only async-signal-safe calls: no allocation, no locks.
[[noreturn]] void give_up(int err_fd, const char* what) {
    const char* reason = ::strerror(errno);
    constexpr std::string_view prefix = "cannot start the child as asked: ";
    (void)!::write(err_fd, prefix.data(), prefix.size());
    (void)!::write(err_fd, what, ::strlen(what));
    (void)!::write(err_fd, ": ", 2);
    (void)!::write(err_fd, reason, ::strlen(reason));
    ::_exit(could_not_start_status);
}

[[noreturn]] void become_child(const StdoutPlan& plan, int err_fd, const ChildOptions& options,
                               const char* program, char* const* argv, char* const* envp) {
    const auto give_up = [err_fd](const char* what) { ovra_test_support::give_up(err_fd, what); };
    if (plan.child_fd >= 0) {
        if (::dup2(plan.child_fd, STDOUT_FILENO) < 0) {
            give_up("dup2");
        }
    } else {
        ::close(STDOUT_FILENO);
    }
    if (::dup2(err_fd, STDERR_FILENO) < 0) {
        give_up("dup2");
    }
    for (const ResourceLimit& limit : options.limits) {
        const rlimit value{limit.value, limit.value};
        if (::setrlimit(limit.resource, &value) != 0) {
            give_up("setrlimit");
        }
    }
    for (const int signal_number : options.ignored_signals) {
        ::signal(signal_number, SIG_IGN);
    }
    if (const std::optional<ChildUser>& user = options.user) {
        const rlimit limit{user->max_processes, user->max_processes};
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) {
            give_up("setrlimit");
        }
        if (::setgroups(0, nullptr) != 0 || ::setgid(user->gid) != 0 || ::setuid(user->uid) != 0) {
            give_up("setuid");
        }
    }
    ::execve(program, argv, envp);
    ovra_test_support::give_up(err_fd, "execve");
}

}  // namespace

StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildOptions& options) {
    std::vector<std::string> argv_storage{program};
    argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
    // A variable the caller sets replaces the inherited one: with two entries, getenv finds the first.
    const auto set_by_caller = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(options.environment.begin(), options.environment.end(),
                           [&](const std::string& own) { return std::string_view(own).starts_with(name); });
    };
    std::vector<std::string> env_storage;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("OVRA_") && !set_by_caller(*entry)) {
            env_storage.emplace_back(*entry);
        }
    }
    env_storage.insert(env_storage.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> argv = pointers_to(argv_storage);
    std::vector<char*> envp = pointers_to(env_storage);

    StartedChild child;
    child.deadline = std::chrono::steady_clock::now() + options.deadline;
    const std::optional<StdoutPlan> out_plan = plan_stdout(options);
    const Pipe err_pipe = make_pipe();
    if (!out_plan || err_pipe.read_end < 0) {
        child.error = "cannot create pipes";
        return child;
    }
    pid_t pid = 0;
    int spawned = 0;
    // What posix_spawn cannot set up (limits, ignored signals, another user) needs a fork of its own.
    if (options.user || !options.limits.empty() || !options.ignored_signals.empty()) {
        pid = ::fork();
        if (pid == 0) {
            become_child(*out_plan, err_pipe.write_end, options, program.c_str(), argv.data(), envp.data());
        }
        spawned = pid < 0 ? errno : 0;
    } else {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (out_plan->child_fd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, out_plan->child_fd, STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
        }
        posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end, STDERR_FILENO);
        spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    if (out_plan->child_fd >= 0) {
        ::close(out_plan->child_fd);
    }
    ::close(err_pipe.write_end);
    if (spawned != 0) {
        if (out_plan->capture_fd >= 0) {
            ::close(out_plan->capture_fd);
        }
        ::close(err_pipe.read_end);
        child.error = "cannot start " + program;
        return child;
    }
    child.pid = pid;
    child.streams = {out_plan->capture_fd, err_pipe.read_end};
    return child;
}

ChildOutcome finish_child(StartedChild& child) {
    ChildOutcome outcome;
    if (child.pid < 0) {
        outcome.err = child.error;
        return outcome;
    }
    const bool finished = drain(child.streams, outcome.out, outcome.err, child.deadline);
    if (!finished) {
        ::kill(child.pid, SIGKILL);
        outcome.timed_out = true;
    }
    int wait_status = 0;
    while (::waitpid(child.pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    // Streams a killed child left open; their unread rest does not matter.
    for (int& fd : child.streams) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
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
