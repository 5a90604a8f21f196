#include "ovra/test_support/child_process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include <fmt/format.h>

// The runner's own pieces for running a child: pipes, argv and environment, and the wait.
#include "process/child.hpp"

namespace ovra_test_support {

namespace {

using ovra_descriptor::Descriptor;

// What the child is made of before the fork, so that the child itself only makes system calls.
struct ChildSetup {
    // Duplicated onto the child's descriptors 1 and 2; a closed one leaves (or, for 1, closes) that descriptor.
    std::array<Descriptor, 2> outputs;
    bool close_stdout = false;
    std::vector<ResourceLimit> limits;
    std::vector<int> ignored_signals;
    std::optional<ChildUser> user;
};

// The child's descriptor 1 as `options` asks. The reading end of a captured pipe goes to `captured`.
std::expected<Descriptor, int> stdout_for(const ChildOptions& options, Descriptor& captured, bool& close) {
    const auto opened = [](int fd) -> std::expected<Descriptor, int> {
        if (fd < 0) {
            return std::unexpected(errno);
        }
        return Descriptor(fd);
    };
    switch (options.stdout_mode) {
        case ChildStdout::Captured:
        case ChildStdout::ClosedPipe: {
            auto pipe = ovra_runner::make_pipe();
            if (!pipe) {
                return std::unexpected(pipe.error());
            }
            // A reader that went away: the reading end closes with this scope.
            if (options.stdout_mode == ChildStdout::Captured) {
                captured = std::move((*pipe)[0]);
            }
            return std::move((*pipe)[1]);
        }
        case ChildStdout::DevFull:
            return opened(::open("/dev/full", O_WRONLY | O_CLOEXEC));
        case ChildStdout::File:
            return opened(::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        case ChildStdout::Closed:
            break;
    }
    close = true;
    return Descriptor();
}

// Sends errno up `report` and ends the child.
[[noreturn]] void give_up(int report) {
    const int error_number = errno;
    (void)!::write(report, &error_number, sizeof error_number);
    ::_exit(could_not_start_status);
}

// Between fork and exec, in a process that had other threads: async-signal-safe calls only.
[[noreturn]] void become_child(const ChildSetup& setup, int report, char* const* argv, char* const* envp) {
    for (int stream = 1; stream <= 2; ++stream) {
        const Descriptor& output = setup.outputs[static_cast<std::size_t>(stream - 1)];
        if (output.is_open() && ::dup2(output.fd, stream) < 0) {
            give_up(report);
        }
    }
    if (setup.close_stdout) {
        ::close(STDOUT_FILENO);
    }
    for (const ResourceLimit& limit : setup.limits) {
        const rlimit value{limit.value, limit.value};
        if (::setrlimit(limit.resource, &value) != 0) {
            give_up(report);
        }
    }
    for (const int signal_number : setup.ignored_signals) {
        ::signal(signal_number, SIG_IGN);
    }
    if (setup.user && (::setgroups(0, nullptr) != 0 || ::setgid(setup.user->gid) != 0 ||
                       ::setuid(setup.user->uid) != 0)) {
        give_up(report);
    }
    ::execve(argv[0], argv, envp);
    give_up(report);
}

// Forks and execs; the error is the errno of the step that failed, in this process or in the child.
std::expected<pid_t, int> fork_child(const ChildSetup& setup, char* const* argv, char* const* envp) {
    std::expected<std::array<Descriptor, 2>, int> report = ovra_runner::make_pipe();
    if (!report) {
        return std::unexpected(report.error());
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        become_child(setup, (*report)[1].fd, argv, envp);
    }
    const int fork_error = errno;
    (*report)[1].reset();
    if (pid < 0) {
        return std::unexpected(fork_error);
    }
    // Nothing to read once the exec has closed the report's writing end; an errno where a step failed.
    int child_error = 0;
    ssize_t got = 0;
    do {
        got = ::read((*report)[0].fd, &child_error, sizeof child_error);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return std::unexpected(child_error);
    }
    return pid;
}

}  // namespace

StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildOptions& options) {
    StartedChild child;
    child.deadline = std::chrono::steady_clock::now() + options.deadline;
    ChildSetup setup{{}, false, options.limits, options.ignored_signals, options.user};
    if (options.user) {
        setup.limits.push_back({RLIMIT_NPROC, options.user->max_processes});
    }
    std::expected<pid_t, int> pid = std::unexpected(0);
    std::expected<Descriptor, int> out = stdout_for(options, child.streams[0], setup.close_stdout);
    std::expected<std::array<Descriptor, 2>, int> err = ovra_runner::make_pipe();
    if (!out || !err) {
        pid = std::unexpected(out ? err.error() : out.error());
    } else {
        setup.outputs = {std::move(*out), std::move((*err)[1])};
        child.streams[1] = std::move((*err)[0]);
        std::vector<std::string> argv_strings{program};
        argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment = ovra_runner::environment_with(
            options.environment, [](std::string_view entry) { return entry.starts_with("OVRA_"); });
        const std::vector<char*> argv = ovra_runner::exec_pointers(argv_strings);
        const std::vector<char*> envp = ovra_runner::exec_pointers(environment);
        pid = fork_child(setup, argv.data(), envp.data());
    }
    if (!pid) {
        child.error = fmt::format("cannot start {}: {}", program, std::strerror(pid.error()));
        child.streams = {};
        return child;
    }
    child.pid = *pid;
    return child;
}

ChildOutcome finish_child(StartedChild& child) {
    ChildOutcome outcome;
    if (child.pid < 0) {
        outcome.status = could_not_start_status;
        outcome.err = child.error;
        return outcome;
    }
    const ovra_runner::ChildEnd end =
        ovra_runner::watch_child(child.pid, child.streams, {&outcome.out, &outcome.err}, child.deadline);
    child.pid = -1;
    // Streams a killed child's own children still hold; their unread rest does not matter.
    child.streams = {};
    if (const auto* exited = std::get_if<ovra_runner::ChildExited>(&end)) {
        outcome.status = exited->code;
    } else if (const auto* signalled = std::get_if<ovra_runner::ChildSignalled>(&end)) {
        outcome.signal = signalled->signal;
    } else {
        outcome.timed_out = true;
    }
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
