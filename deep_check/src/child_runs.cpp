#include "ovra/deep_check/child_runs.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <expected>
#include <limits>

#include <fmt/format.h>

namespace ovra_tests::deep {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t output_limit = 64 * 1024;

struct Running {
    std::size_t index;
    pid_t pid;
    // The reading end of the child's output; -1 once the child closed it, and its end is awaited.
    int output;
    Clock::time_point deadline;
};

std::vector<char*> c_strings(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& text : strings) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `run` with its standard output and error on one pipe; the pid and the pipe's reading end, or errno.
// Both ends are close-on-exec, so that no other child started meanwhile inherits them.
std::expected<std::pair<pid_t, int>, int> start(const ChildRun& run) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return std::unexpected(errno);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    ::posix_spawnattr_init(&attributes);
    // The child starts with no signal blocked, whatever this thread blocks.
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const std::vector<char*> arguments = c_strings(run.arguments);
    const std::vector<char*> environment = c_strings(run.environment);
    pid_t pid = -1;
    const int refused =
        ::posix_spawn(&pid, run.program.c_str(), &actions, &attributes, arguments.data(), environment.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (refused != 0) {
        ::close(ends[0]);
        return std::unexpected(refused);
    }
    return std::pair{pid, ends[0]};
}

// Waits for `pid` (blocking or not); its end, or nothing while it runs.
std::optional<ChildEnd> reaped(pid_t pid, int options) {
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(pid, &status, options);
    } while (done < 0 && errno == EINTR);
    if (done != pid) {
        return std::nullopt;
    }
    if (WIFSIGNALED(status)) {
        return child_end::Signalled{WTERMSIG(status)};
    }
    return child_end::Exited{WEXITSTATUS(status)};
}

// Reads what `running`'s child has written; closes the pipe at its end.
void read_output(Running& running, std::string& output) {
    char buffer[16384];
    const ssize_t count = ::read(running.output, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (count <= 0) {
        ::close(running.output);
        running.output = -1;
        return;
    }
    output.append(buffer, std::min(static_cast<std::size_t>(count),
                                   output_limit - std::min(output_limit, output.size())));
}

}  // namespace

std::vector<ChildResult> run_children(std::span<const ChildRun> runs, std::size_t at_once,
                                      std::chrono::milliseconds time_limit) {
    std::vector<ChildResult> results(runs.size());
    std::vector<Running> running;
    std::size_t next = 0;
    at_once = std::max<std::size_t>(at_once, 1);
    while (next < runs.size() || !running.empty()) {
        while (running.size() < at_once && next < runs.size()) {
            if (const auto started = start(runs[next])) {
                running.push_back({next, started->first, started->second, Clock::now() + time_limit});
            } else {
                results[next].end = child_end::NotStarted{started.error()};
            }
            ++next;
        }
        // Wait for output, the end of an output, or the nearest time limit; a child whose output ended is
        // looked at again shortly, until it has ended too.
        std::vector<pollfd> polled;
        std::vector<std::size_t> polled_running;
        Clock::time_point wake = Clock::time_point::max();
        for (std::size_t at = 0; at < running.size(); ++at) {
            wake = std::min(wake, running[at].output >= 0 ? running[at].deadline
                                                          : Clock::now() + std::chrono::milliseconds(1));
            if (running[at].output >= 0) {
                polled.push_back({running[at].output, POLLIN, 0});
                polled_running.push_back(at);
            }
        }
        if (running.empty()) {
            continue;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
        const int timeout = static_cast<int>(std::clamp<long long>(wait, 0, std::numeric_limits<int>::max()));
        if (::poll(polled.data(), polled.size(), timeout) > 0) {
            for (std::size_t at = 0; at < polled.size(); ++at) {
                if (polled[at].revents != 0) {
                    Running& child = running[polled_running[at]];
                    read_output(child, results[child.index].output);
                }
            }
        }
        const Clock::time_point now = Clock::now();
        std::erase_if(running, [&](Running& child) {
            std::optional<ChildEnd> end = child.output < 0 ? reaped(child.pid, WNOHANG) : std::nullopt;
            if (!end && now >= child.deadline) {
                ::kill(child.pid, SIGKILL);
                static_cast<void>(reaped(child.pid, 0));
                if (child.output >= 0) {
                    ::close(child.output);
                }
                end = child_end::TimedOut{};
            }
            if (end) {
                results[child.index].end = *end;
            }
            return end.has_value();
        });
    }
    return results;
}

std::string describe(const ChildEnd& end, std::chrono::milliseconds time_limit) {
    if (const auto* exited = std::get_if<child_end::Exited>(&end)) {
        return fmt::format("exited with status {}", exited->status);
    }
    if (const auto* signalled = std::get_if<child_end::Signalled>(&end)) {
        const char* const name = ::sigabbrev_np(signalled->signal);
        return fmt::format("was killed by signal {} (SIG{})", signalled->signal,
                           name != nullptr ? name : "?");
    }
    if (std::holds_alternative<child_end::TimedOut>(end)) {
        return fmt::format("did not finish within {:g} s", static_cast<double>(time_limit.count()) / 1000);
    }
    return fmt::format("could not be started: {}",
                       std::strerror(std::get<child_end::NotStarted>(end).os_error));
}

}  // namespace ovra_tests::deep
