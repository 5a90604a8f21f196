// Running the runner in-process on a table and keeping what it printed.
#pragma once

#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ovra/runner/runner.hpp"
#include "ovra/test_support/run_in_process.hpp"

namespace ovra_runner::testing {

inline Status passes() {
    return {};
}

struct RunOutput {
    int status = -1;
    std::string out;
    std::string err;
};

// A fixed surrounding: four hardware threads, no variables, not a terminal, a fixed clock.
inline RunEnvironment quiet_environment() {
    RunEnvironment environment;
    environment.hardware_threads = 4;
    environment.now = std::chrono::system_clock::time_point(std::chrono::nanoseconds(1234567890123456789));
    return environment;
}

// `command` starts with the program name.
inline RunOutput run_command(std::span<const TestDescriptor> table, const std::vector<std::string>& command,
                             const RunEnvironment& environment = quiet_environment()) {
    const std::vector<std::string_view> views(command.begin(), command.end());
    RunOutput output;
    output.status =
        ovra_test_support::run_tests_collecting(table, views, environment, output.out, output.err);
    return output;
}

inline RunOutput run_table(std::span<const TestDescriptor> table, const std::vector<std::string>& args,
                           const RunEnvironment& environment = quiet_environment()) {
    std::vector<std::string> command{"./runner"};
    command.insert(command.end(), args.begin(), args.end());
    return run_command(table, command, environment);
}

inline std::size_t count_of(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

}  // namespace ovra_runner::testing
