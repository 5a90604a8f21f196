// Call stacks captured as bare program counters (cheap) and symbolised only when a report prints them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovra_runner {

struct Backtrace {
    std::vector<std::uintptr_t> frames;

    friend bool operator==(const Backtrace&, const Backtrace&) = default;
};

// The caller's stack when the environment variable OVRA_BACKTRACE is set to anything but "0", otherwise
// nothing.
std::optional<Backtrace> capture_backtrace_if_enabled();

// Always captures, skipping this function's own frame.
Backtrace capture_backtrace();

// One frame per line group: "   N: function" then "             at file:line" where debug information
// knows the place.
std::string symbolise(const Backtrace& backtrace);

}  // namespace ovra_runner
