#include "child.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace ovra_runner {

namespace {

// What a child gets to clean up after a SIGTERM before it is killed.
constexpr std::chrono::milliseconds termination_grace{1000};
// Without a process descriptor the wait polls at this pace.
constexpr std::chrono::milliseconds poll_pace{10};

// Appends whatever the stream holds now, and closes it at its end (or on an error).
void read_available(Descriptor& stream, std::string& sink) {
    std::array<char, 16384> buffer{};
    while (stream.is_open()) {
        const ssize_t count = ::read(stream.fd, buffer.data(), buffer.size());
        if (count > 0) {
            sink.append(buffer.data(), static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EAGAIN) {
            return;
        } else if (count == 0 || errno != EINTR) {
            stream.reset();
        }
    }
}

void signal_group(pid_t pid, int signal_number) {
    // A child that leads its own group takes whatever it started with it.
    ::kill(-pid, signal_number);
    ::kill(pid, signal_number);
}

ChildEnd end_from_status(int status) {
    if (WIFSIGNALED(status)) {
        return ChildSignalled{WTERMSIG(status)};
    }
    return ChildExited{WEXITSTATUS(status)};
}

}  // namespace

std::expected<std::array<Descriptor, 2>, int> make_pipe() {
    std::array<int, 2> ends{-1, -1};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        return std::unexpected(errno);
    }
    return std::array<Descriptor, 2>{Descriptor(ends[0]), Descriptor(ends[1])};
}

std::vector<char*> exec_pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<std::string> environment_with(std::span<const std::string> additions,
                                          bool (*dropped)(std::string_view entry)) {
    const auto added = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(additions.begin(), additions.end(),
                           [&](const std::string& addition) { return addition.starts_with(name); });
    };
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!added(*entry) && (dropped == nullptr || !dropped(*entry))) {
            entries.emplace_back(*entry);
        }
    }
    entries.insert(entries.end(), additions.begin(), additions.end());
    return entries;
}

ChildEnd watch_child(pid_t pid, std::array<Descriptor, 2>& streams, std::array<std::string*, 2> sinks,
                     std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    // Only this side: the child's writes must block, not fail, when a pipe is full.
    for (const Descriptor& stream : streams) {
        if (stream.is_open()) {
            ::fcntl(stream.fd, F_SETFL, ::fcntl(stream.fd, F_GETFL) | O_NONBLOCK);
        }
    }
    const auto read_streams = [&] {
        for (std::size_t index = 0; index < streams.size(); ++index) {
            read_available(streams[index], *sinks[index]);
        }
    };
    // Readable once the child has ended, so the wait needs no polling; older kernels poll instead.
    const Descriptor exit_notice(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    bool timed_out = false;
    while (true) {
        std::array<pollfd, 3> watched{
            {{streams[0].fd, POLLIN, 0}, {streams[1].fd, POLLIN, 0}, {exit_notice.fd, POLLIN, 0}}};
        std::chrono::milliseconds wait{-1};
        if (!exit_notice.is_open()) {
            wait = poll_pace;
        }
        if (deadline != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const auto bounded =
                std::clamp(left, std::chrono::milliseconds{0}, std::chrono::milliseconds{60'000});
            wait = wait.count() < 0 ? bounded : std::min(wait, bounded);
        }
        ::poll(watched.data(), watched.size(), static_cast<int>(wait.count()));
        read_streams();
        int status = 0;
        const pid_t waited = ::waitpid(pid, &status, WNOHANG);
        if (waited == pid) {
            read_streams();
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

}  // namespace ovra_runner
