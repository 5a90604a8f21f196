#include "integer_text.hpp"

#include <limits>

namespace ovra_runner {

std::expected<std::uint64_t, IntegerTextError> parse_unsigned(std::string_view text) {
    if (text.empty()) {
        return std::unexpected(IntegerTextError::Empty);
    }
    if (text == "+" || text == "-") {
        return std::unexpected(IntegerTextError::InvalidDigit);
    }
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    // Left to right, a bad digit is reported before an overflow at the same position, and an overflow
    // stops the scan before later bad digits.
    for (const char c : text) {
        const bool multiply_overflows = value > max / 10;
        if (c < '0' || c > '9') {
            return std::unexpected(IntegerTextError::InvalidDigit);
        }
        if (multiply_overflows) {
            return std::unexpected(IntegerTextError::TooLarge);
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value * 10 > max - digit) {
            return std::unexpected(IntegerTextError::TooLarge);
        }
        value = value * 10 + digit;
    }
    return value;
}

std::string_view describe(IntegerTextError error) {
    switch (error) {
        case IntegerTextError::Empty:
            return "cannot parse integer from empty string";
        case IntegerTextError::InvalidDigit:
            return "invalid digit found in string";
        case IntegerTextError::TooLarge:
            break;
    }
    return "number too large to fit in target type";
}

}  // namespace ovra_runner
