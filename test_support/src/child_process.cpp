#include "ovra/test_support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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
    int open_streams = 2;
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

}  // namespace

ChildOutcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, std::chrono::milliseconds deadline) {
    std::vector<std::string> argv_storage{program};
    argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env_storage;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("OVRA_")) {
            env_storage.emplace_back(*entry);
        }
    }
    env_storage.insert(env_storage.end(), environment.begin(), environment.end());
    std::vector<char*> argv = pointers_to(argv_storage);
    std::vector<char*> envp = pointers_to(env_storage);

    ChildOutcome outcome;
    const Pipe out_pipe = make_pipe();
    const Pipe err_pipe = make_pipe();
    if (out_pipe.read_end < 0 || err_pipe.read_end < 0) {
        outcome.err = "cannot create pipes";
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe.write_end, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out_pipe.write_end);
    ::close(err_pipe.write_end);
    if (spawned != 0) {
        ::close(out_pipe.read_end);
        ::close(err_pipe.read_end);
        outcome.err = "cannot start " + program;
        return outcome;
    }

    std::array<int, 2> streams{out_pipe.read_end, err_pipe.read_end};
    const bool finished =
        drain(streams, outcome.out, outcome.err, std::chrono::steady_clock::now() + deadline);
    if (!finished) {
        ::kill(pid, SIGKILL);
        outcome.timed_out = true;
    }
    int wait_status = 0;
    while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    // Streams a killed child left open; their unread rest does not matter.
    for (const int fd : streams) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    outcome.status = !outcome.timed_out && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return outcome;
}

}  // namespace ovra_test_support
