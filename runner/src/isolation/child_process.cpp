#include "child_process.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "../process/child.hpp"

namespace ovra_runner::isolation {

namespace {

// Children running now, for the signal handler; a child that finds no free slot still dies with its
// parent through its death signal.
std::array<std::atomic<pid_t>, 256> running_children{};
// Spawns between their start and the child's entry above; the handler waits for them, so that a child
// started just before the signal is not missed.
std::atomic<int> spawns_in_flight{0};

constexpr std::array<int, 4> ending_signals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t ending_signal_set() {
    sigset_t set;
    ::sigemptyset(&set);
    for (const int signal_number : ending_signals) {
        ::sigaddset(&set, signal_number);
    }
    return set;
}

void remember_child(pid_t pid) {
    for (std::atomic<pid_t>& slot : running_children) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid)) {
            return;
        }
    }
}

void forget_child(pid_t pid) {
    for (std::atomic<pid_t>& slot : running_children) {
        pid_t expected = pid;
        if (slot.compare_exchange_strong(expected, 0)) {
            return;
        }
    }
}

// Set by the first ending signal. Another one, delivered meanwhile to another thread, must not end the
// process while the first is still killing the children it took off the list.
std::atomic<bool> ending{false};

extern "C" void end_children_and_die(int signal_number) {
    if (ending.exchange(true)) {
        while (true) {
            ::pause();
        }
    }
    const int saved_errno = errno;
    // A spawning thread holds these signals, so it is never the one waiting here.
    while (spawns_in_flight.load() > 0) {
        ::sched_yield();
    }
    for (std::atomic<pid_t>& slot : running_children) {
        const pid_t pid = slot.exchange(0);
        if (pid > 0) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigemptyset(&default_action.sa_mask);
    ::sigaction(signal_number, &default_action, nullptr);
    errno = saved_errno;
    // Delivered when the handler returns, so the process ends as the signal asked.
    ::raise(signal_number);
}

// When a timeout of `timeout` ends if it starts now; never for no timeout or one beyond any run's length.
std::chrono::steady_clock::time_point deadline_after(const std::optional<std::chrono::seconds>& timeout) {
    constexpr std::chrono::hours longest{24 * 365 * 100};
    if (!timeout || *timeout >= longest) {
        return std::chrono::steady_clock::time_point::max();
    }
    return std::chrono::steady_clock::now() + *timeout;
}

// The child: this executable again, its standard input on /dev/null and its output captured or this
// process's own. It leads a process group of its own, so that whatever it starts is ended with it, and
// starts with no signal blocked (this thread holds the ending signals while it spawns) and SIGPIPE at its
// default. Nothing here allocates, so it can run while the ending signals are held. The error is errno.
std::expected<pid_t, int> spawn_child(bool capture, char* const* argv, char* const* envp,
                                      std::array<Descriptor, 2>& streams) {
    // The child's ends, closed here once it has its own copies.
    std::array<Descriptor, 2> child_ends;
    for (std::size_t index = 0; capture && index < streams.size(); ++index) {
        std::expected<std::array<Descriptor, 2>, int> pipe = make_pipe();
        if (!pipe) {
            return std::unexpected(pipe.error());
        }
        streams[index] = std::move((*pipe)[0]);
        child_ends[index] = std::move((*pipe)[1]);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (std::size_t index = 0; capture && index < streams.size(); ++index) {
        ::posix_spawn_file_actions_adddup2(&actions, child_ends[index].fd, static_cast<int>(index) + 1);
    }
    ::posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    ::sigemptyset(&defaults);
    ::sigaddset(&defaults, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, envp);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return std::unexpected(spawned);
    }
    return pid;
}

void end_children_with_this_process() {
    struct sigaction action {};
    action.sa_handler = end_children_and_die;
    // One ending signal at a time on the thread that handles it.
    action.sa_mask = ending_signal_set();
    for (const int signal_number : ending_signals) {
        struct sigaction previous {};
        ::sigaction(signal_number, nullptr, &previous);
        // A signal the caller chose to ignore stays ignored.
        if (previous.sa_handler != SIG_IGN) {
            ::sigaction(signal_number, &action, nullptr);
        }
    }
}

}  // namespace

std::expected<ChildRun, std::string> run_in_child(const ChildRequest& request) {
    static std::once_flag handlers_installed;
    std::call_once(handlers_installed, end_children_with_this_process);

    std::vector<std::string> arguments{std::string(request.program_name)};
    std::vector<std::string> environment =
        environment_with(std::array{fmt::format("{}={}", invoke_variable, request.test_name),
                                    fmt::format("{}={}", parent_variable, ::getpid())});
    const std::vector<char*> argv = exec_pointers(arguments);
    const std::vector<char*> envp = exec_pointers(environment);
    const auto start = std::chrono::steady_clock::now();
    // Held on this thread until the child is on the list, so the ending signals' handler cannot miss it.
    const sigset_t ending = ending_signal_set();
    sigset_t previous_mask;
    ::pthread_sigmask(SIG_BLOCK, &ending, &previous_mask);
    ++spawns_in_flight;
    std::array<Descriptor, 2> streams;
    const std::expected<pid_t, int> child = spawn_child(request.capture, argv.data(), envp.data(), streams);
    if (child) {
        remember_child(*child);
    }
    --spawns_in_flight;
    ::pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    if (!child) {
        return std::unexpected(fmt::format("cannot start the test's process: {}", std::strerror(child.error())));
    }
    ChildRun run{ChildExited{0}, {}, {}, {}};
    run.end = watch_child(*child, streams, {&run.out, &run.err}, deadline_after(request.timeout));
    forget_child(*child);
    run.elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    return run;
}

void die_with_parent(std::optional<pid_t> parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A parent that went between the spawn and the line above has left this child to init or to a
    // subreaper, whose end the death signal does not follow.
    if (parent && ::getppid() != *parent) {
        ::_exit(EXIT_FAILURE);
    }
}

}  // namespace ovra_runner::isolation
