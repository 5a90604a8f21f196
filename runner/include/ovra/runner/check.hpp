// Checks that stop the current test. A failed check throws CheckFailure, which the runner catches around
// each test, so only that test fails and the process goes on. Each thread counts the checks it evaluates,
// so that a test of a test can show that it still visits all it claims to.
#pragma once

#include <cstdint>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "ovra/runner/backtrace.hpp"

namespace ovra_runner {

struct CheckFailure {
    std::string message;
    std::source_location location;
    // The stack where the check failed, when OVRA_BACKTRACE enables backtraces.
    std::optional<Backtrace> backtrace;
};

[[noreturn]] void fail(std::string message, std::source_location location = std::source_location::current());

namespace detail {
// constinit: the count needs no dynamic initialisation, so reaching it is a plain thread-pointer access,
// with no call to a TLS wrapper; a check then costs one increment more.
extern constinit thread_local std::uint64_t evaluated_checks;
}  // namespace detail

// The checks (`check_eq`, `check`) evaluated on the calling thread so far, passed or failed.
std::uint64_t checks_evaluated();

// Fails with the message the report shows for an unequal pair, operands rendered with {fmt}.
template <class Left, class Right>
void check_eq(const Left& left, const Right& right,
              std::source_location location = std::source_location::current()) {
    ++detail::evaluated_checks;
    if (!(left == right)) {
        fail(fmt::format("assertion `left == right` failed\n  left: {}\n right: {}", left, right), location);
    }
}

// Fails with exactly `message`: reports quote fixed texts, whatever the C++ expression looks like.
inline void check(bool condition, std::string_view message,
                  std::source_location location = std::source_location::current()) {
    ++detail::evaluated_checks;
    if (!condition) {
        fail(std::string(message), location);
    }
}

}  // namespace ovra_runner
