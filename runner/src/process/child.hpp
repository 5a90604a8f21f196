// The pieces of running a child process that do not depend on how it is started: its argv and environment,
// its pipes, and the wait that reads its output streams and stops it at a deadline. The runner's isolation
// starts each test's child with them (posix_spawn); the project's test support starts the executables it
// checks with them too (fork, for the limits and users posix_spawn cannot set).
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ovra/descriptor/descriptor.hpp"

namespace ovra_runner {

using ovra_descriptor::Descriptor;

// A pipe whose two ends are close-on-exec, so that no child started by another thread holds it open:
// [0] reads, [1] writes. The error is errno.
std::expected<std::array<Descriptor, 2>, int> make_pipe();

// Pointers to the strings, then a null one: argv or envp for an exec. The strings must outlive them.
std::vector<char*> exec_pointers(std::vector<std::string>& strings);

// This process's environment without the variables `additions` name (getenv would find an inherited entry
// before an added one) and without those `dropped` says no to, then `additions` ("NAME=value" each).
std::vector<std::string> environment_with(std::span<const std::string> additions,
                                          bool (*dropped)(std::string_view entry) = nullptr);

struct ChildExited {
    int code;
};
struct ChildSignalled {
    int signal;
};
struct ChildTimedOut {};

using ChildEnd = std::variant<ChildExited, ChildSignalled, ChildTimedOut>;

// Waits for the child while appending what its standard output and error carry to `sinks` (a closed stream
// is skipped; the streams must not block). At `deadline` the child and its process group get SIGTERM, and
// SIGKILL after a short grace. What the child wrote before it ended is read; what its own children write
// later is not its.
ChildEnd watch_child(pid_t pid, std::array<Descriptor, 2>& streams, std::array<std::string*, 2> sinks,
                     std::chrono::steady_clock::time_point deadline);

}  // namespace ovra_runner
