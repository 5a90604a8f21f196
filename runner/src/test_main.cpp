#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "isolation/child_process.hpp"
#include "ovra/runner/runner.hpp"
#include "run_test.hpp"

namespace ovra_runner {

namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

// Flushed at once, so that a watcher sees each result as it happens; a piece that does not arrive whole is
// a failure with the system's reason.
WriteResult write_flushed(std::FILE* file, std::string_view text) {
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

// A descriptor among 0 to 2 left closed by the caller would be handed to the next file opened (the log),
// which would then receive the console's text.
void open_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is this one, since the lower ones are open by now.
            (void)::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
}

// Started by a runner to run one test: the test runs as it would in the runner, and the exit status says how
// it went. The test's own code must not see the request.
int run_requested_test(std::span<const TestDescriptor> table, std::string name) {
    ::unsetenv(isolation::invoke_variable);
    isolation::die_with_parent();
    const auto test = std::find_if(table.begin(), table.end(),
                                   [&](const TestDescriptor& entry) { return entry.name == name; });
    if (test == table.end()) {
        std::fprintf(stderr, "error: no test named `%s` in this executable\n", name.c_str());
        return exit_failure;
    }
    return run_test_as_child(*test);
}

}  // namespace

RunEnvironment process_environment() {
    RunEnvironment environment;
    environment.test_threads = variable("OVRA_TEST_THREADS");
    environment.test_time_unit = variable("OVRA_TEST_TIME_UNIT");
    environment.hardware_threads = std::max(std::thread::hardware_concurrency(), 1U);
    environment.stdout_is_terminal = ::isatty(STDOUT_FILENO) == 1;
    environment.now = std::chrono::system_clock::now();
    return environment;
}

int test_main(std::span<const TestDescriptor> table, int argc, char** argv) {
    // A reader that went away is reported as a failed write (EPIPE), not a silent death by signal.
    std::signal(SIGPIPE, SIG_IGN);
    open_standard_descriptors();
    if (const char* requested = std::getenv(isolation::invoke_variable)) {
        return run_requested_test(table, requested);
    }
    std::vector<std::string_view> args;
    for (int index = 0; index < argc; ++index) {
        args.emplace_back(argv[index]);
    }
    const ConsoleWriters console{[](std::string_view text) { return write_flushed(stdout, text); },
                                 [](std::string_view text) { return write_flushed(stderr, text); }};
    return run_tests(table, args, process_environment(), console);
}

}  // namespace ovra_runner
