#include "ovra/runner/check.hpp"

#include <utility>

namespace ovra_runner {

constinit thread_local std::uint64_t detail::evaluated_checks = 0;

std::uint64_t checks_evaluated() { return detail::evaluated_checks; }

void fail(std::string message, std::source_location location) {
    throw CheckFailure{std::move(message), location, capture_backtrace_if_enabled()};
}

}  // namespace ovra_runner
