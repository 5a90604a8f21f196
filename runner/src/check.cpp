#include "ovra/runner/check.hpp"

#include <utility>

namespace ovra_runner {

void fail(std::string message, std::source_location location) {
    throw CheckFailure{std::move(message), location, capture_backtrace_if_enabled()};
}

}  // namespace ovra_runner
