// Checked integer narrowing: a value that does not fit is reported, never truncated.
#pragma once

#include <concepts>
#include <utility>

#include "ovra/runner/error.hpp"

namespace ovra_runner {

inline constexpr const char* integer_conversion_message = "out of range integral type conversion attempted";

inline Error integer_conversion_error() {
    return make_error(integer_conversion_message);
}

template <std::integral To, std::integral From>
Result<To> checked_narrow(From value) {
    if (!std::in_range<To>(value)) {
        return std::unexpected(integer_conversion_error());
    }
    return static_cast<To>(value);
}

}  // namespace ovra_runner
