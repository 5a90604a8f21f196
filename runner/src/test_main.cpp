#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "command_line_run.hpp"
#include "isolation/child_process.hpp"
#include "options.hpp"
#include "ovra/runner/runner.hpp"

namespace ovra_runner {

namespace {

// Flushed at once, so that a watcher sees each result as it happens; a piece that does not arrive whole is
// a failure with the system's reason.
IoResult write_flushed(std::FILE* file, std::string_view text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool flushed = written && std::fflush(file) == 0;
    if (!flushed) {
        const int error = errno != 0 ? errno : EIO;
        std::clearerr(file);
        return std::unexpected(IoError{error});
    }
    return {};
}

// The process as its parent left it may not be fit for a run: a descriptor among 0 to 2 left closed would be
// handed to the next file opened (the log), which would then receive the console's text; a write to a
// reader that went away, or past a file-size limit, would end the process silently by a signal instead of
// failing as a write that the run reports; and with SIGCHLD ignored the system reaps children itself, so
// that how an isolated test's process ended could never be read.
void make_process_state_sane() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGCHLD, SIG_DFL);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is this one, since the lower ones are open by now.
            (void)::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
}

std::optional<FileIdentity> stdout_file() {
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

// The process's surroundings: the variables that stand in for options, hardware threads, standard output,
// the clock.
RunEnvironment process_environment() {
    RunEnvironment environment;
    for (const std::string_view name : option_variables) {
        if (const char* value = std::getenv(std::string(name).c_str())) {
            environment.variables.emplace(name, value);
        }
    }
    environment.hardware_threads = std::max(std::thread::hardware_concurrency(), 1U);
    environment.stdout_is_terminal = ::isatty(STDOUT_FILENO) == 1;
    environment.stdout_file = stdout_file();
    environment.now = std::chrono::system_clock::now();
    return environment;
}

int run_main(std::span<const TestDescriptor> table, int argc, char** argv) {
    std::vector<std::string_view> args;
    for (int index = 0; index < argc; ++index) {
        args.emplace_back(argv[index]);
    }
    const ConsoleWriters writers{[](std::string_view text) { return write_flushed(stdout, text); },
                                 [](std::string_view text) { return write_flushed(stderr, text); }};
    std::optional<std::string_view> child_request;
    if (const char* requested = std::getenv(isolation::invoke_variable)) {
        child_request = requested;
    }
    return run_command_line(table, args, process_environment(), writers, child_request);
}

}  // namespace

int test_main(std::span<const TestDescriptor> table, int argc, char** argv) {
    make_process_state_sane();
    try {
        return run_main(table, argc, argv);
    } catch (const std::bad_alloc&) {
        // Past the run's own handling (its arguments, its environment): nothing here may allocate.
        (void)!::write(STDERR_FILENO, out_of_memory_line.data(), out_of_memory_line.size());
        return exit_failure;
    }
}

}  // namespace ovra_runner
