#include "child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
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

#include "ovra/runner/spawn.hpp"

extern char** environ;

namespace ovra_runner::isolation {

namespace {

// What a child gets to clean up after a SIGTERM before it is killed.
constexpr std::chrono::milliseconds termination_grace{1000};
// Without a process descriptor the wait polls at this pace.
constexpr std::chrono::milliseconds poll_pace{10};

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

std::vector<std::string> child_environment(std::string_view test_name) {
    std::vector<std::string> entries;
    const std::string invoke = fmt::format("{}=", invoke_variable);
    const std::string parent = fmt::format("{}=", parent_variable);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with(invoke) && !text.starts_with(parent)) {
            entries.emplace_back(text);
        }
    }
    entries.push_back(invoke + std::string(test_name));
    entries.push_back(fmt::format("{}{}", parent, ::getpid()));
    return entries;
}

// Appends whatever the stream holds now; false once it is closed (end of file or an error).
bool read_available(FileDescriptor& stream, std::string& sink) {
    std::array<char, 16384> buffer{};
    while (stream.fd >= 0) {
        const ssize_t count = ::read(stream.fd, buffer.data(), buffer.size());
        if (count > 0) {
            sink.append(buffer.data(), static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            return true;
        }
        stream.reset();
    }
    return false;
}

void signal_group(pid_t pid, int signal_number) {
    // The child leads its own group, so whatever it started goes too.
    ::kill(-pid, signal_number);
    ::kill(pid, signal_number);
}

ChildEnd end_from_status(int status) {
    if (WIFSIGNALED(status)) {
        return ChildSignalled{WTERMSIG(status)};
    }
    return ChildExited{WEXITSTATUS(status)};
}

// When a timeout of `timeout` ends if it starts now; never for no timeout or one beyond any run's length.
std::chrono::steady_clock::time_point deadline_after(const std::optional<std::chrono::seconds>& timeout) {
    constexpr std::chrono::hours longest{24 * 365 * 100};
    if (!timeout || *timeout >= longest) {
        return std::chrono::steady_clock::time_point::max();
    }
    return std::chrono::steady_clock::now() + *timeout;
}

// Waits for the child while reading its streams; stops it at the deadline.
ChildEnd watch(pid_t pid, std::array<FileDescriptor, 2>& streams, std::array<std::string*, 2> sinks,
               const std::optional<std::chrono::seconds>& timeout) {
    using Clock = std::chrono::steady_clock;
    // Readable once the child has ended, so the wait needs no polling; older kernels poll instead.
    const FileDescriptor exit_notice(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    Clock::time_point deadline = deadline_after(timeout);
    bool timed_out = false;
    while (true) {
        std::array<pollfd, 3> watched{
            {{streams[0].fd, POLLIN, 0}, {streams[1].fd, POLLIN, 0}, {exit_notice.fd, POLLIN, 0}}};
        std::chrono::milliseconds wait{-1};
        if (exit_notice.fd < 0) {
            wait = poll_pace;
        }
        if (deadline != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const auto bounded =
                std::clamp(left, std::chrono::milliseconds{0}, std::chrono::milliseconds{60'000});
            wait = wait.count() < 0 ? bounded : std::min(wait, bounded);
        }
        ::poll(watched.data(), watched.size(), static_cast<int>(wait.count()));
        for (std::size_t index = 0; index < streams.size(); ++index) {
            read_available(streams[index], *sinks[index]);
        }
        int status = 0;
        const pid_t waited = ::waitpid(pid, &status, WNOHANG);
        if (waited == pid) {
            // Whatever the child wrote is in the pipes by now; what its own children write later is not its.
            for (std::size_t index = 0; index < streams.size(); ++index) {
                read_available(streams[index], *sinks[index]);
            }
            return timed_out ? ChildEnd{ChildTimedOut{}} : end_from_status(status);
        }
        if (waited < 0 && errno != EINTR) {
            return ChildExited{-1};
        }
        if (Clock::now() >= deadline) {
            if (!timed_out) {
                timed_out = true;
                signal_group(pid, SIGTERM);
                deadline = Clock::now() + termination_grace;
            } else {
                signal_group(pid, SIGKILL);
                deadline = Clock::time_point::max();
            }
        }
    }
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

    SpawnRequest spawn_request;
    spawn_request.program = "/proc/self/exe";
    spawn_request.arguments = {std::string(request.program_name)};
    spawn_request.environment = child_environment(request.test_name);
    // Output is this process's own unless captured (a stream is this process's own by default). Assigned in
    // place: a copied stream made GCC 12 warn, wrongly, of an uninitialised string.
    spawn_request.streams[0] = child_stream::Null{};
    if (request.capture) {
        spawn_request.streams[1] = child_stream::Pipe{};
        spawn_request.streams[2] = child_stream::Pipe{};
    }
    // Its own group, so that whatever it starts is ended with it; and a signal state of its own rather than
    // this thread's, which holds the ending signals while it spawns.
    spawn_request.own_process_group = true;
    spawn_request.clear_signal_mask = true;
    spawn_request.default_signals = {SIGPIPE};

    const auto start = std::chrono::steady_clock::now();
    // Held on this thread until the child is on the list, so the ending signals' handler cannot miss it.
    const sigset_t ending = ending_signal_set();
    sigset_t previous_mask;
    ::pthread_sigmask(SIG_BLOCK, &ending, &previous_mask);
    ++spawns_in_flight;
    std::expected<SpawnedChild, SpawnError> child = spawn(spawn_request);
    if (child) {
        remember_child(child->pid);
    }
    --spawns_in_flight;
    ::pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    if (!child) {
        return std::unexpected(
            fmt::format("cannot start the test's process: {}", std::strerror(child.error().os_error)));
    }
    std::array<FileDescriptor, 2> streams{std::move(child->pipes[STDOUT_FILENO]),
                                          std::move(child->pipes[STDERR_FILENO])};
    // Only this side: the child's writes must block, not fail, when a pipe is full.
    for (const FileDescriptor& stream : streams) {
        if (stream.fd >= 0) {
            ::fcntl(stream.fd, F_SETFL, ::fcntl(stream.fd, F_GETFL) | O_NONBLOCK);
        }
    }
    ChildRun run{ChildExited{0}, {}, {}, {}};
    run.end = watch(child->pid, streams, {&run.out, &run.err}, request.timeout);
    forget_child(child->pid);
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
