// The whole run of a command line, behind both entry points (runner.hpp): `run_tests` and, with the
// process's own surroundings, `test_main`.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "ovra/runner/run_environment.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

// What the runner prints, as it stands, when its own code cannot get memory.
inline constexpr std::string_view out_of_memory_line = "error: out of memory\n";

// Runs the command line `args` over `table` and returns the exit status. Where `child_request` names a test
// (a runner started this process to run it), a command line for a run runs that one test instead; help and
// a malformed line are answered as in any run, since the command line is still the user's.
int run_command_line(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
                     const RunEnvironment& environment, const ConsoleWriters& writers,
                     std::optional<std::string_view> child_request);

}  // namespace ovra_runner
