#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "ovra/runner/runner.hpp"

namespace ovra_tests {

namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

// Flushed at once, so that a watcher sees each result as it happens.
void write_flushed(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
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
    std::vector<std::string_view> args;
    for (int index = 0; index < argc; ++index) {
        args.emplace_back(argv[index]);
    }
    const ConsoleWriters console{[](std::string_view text) { write_flushed(stdout, text); },
                                 [](std::string_view text) { write_flushed(stderr, text); }};
    return run_tests(table, args, process_environment(), console);
}

}  // namespace ovra_tests
