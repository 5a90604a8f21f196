// A check whose message says which case failed. The deep check's loops run millions of times, so the
// message is built only when the condition fails.
#pragma once

#include <source_location>
#include <string>
#include <string_view>

#include "ovra/runner/check.hpp"

namespace ovra_tests::deep {

// `describe` returns the message as a std::string; it is called only on failure. Inlined into the loops,
// a passing check is one branch and the count's increment.
template <class Describe>
[[gnu::always_inline]] inline void check_that(
    bool condition, const Describe& describe,
    std::source_location location = std::source_location::current()) {
    // The temporary message lives to the end of this statement, past the check.
    ovra_runner::check(condition, condition ? std::string_view() : std::string_view(describe()), location);
}

}  // namespace ovra_tests::deep
