// Decimal parsing with the standard runner's error texts, which its messages quote after "(error: ...)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string_view>

namespace ovra_runner {

// Counts read with `parse_unsigned` are used as sizes.
static_assert(sizeof(std::size_t) == sizeof(std::uint64_t), "counts read as 64-bit numbers must fit a size");

enum class IntegerTextError { Empty, InvalidDigit, TooLarge };

// Digits with an optional leading '+', as the standard runner reads counts and seeds.
std::expected<std::uint64_t, IntegerTextError> parse_unsigned(std::string_view text);

std::string_view describe(IntegerTextError error);

}  // namespace ovra_runner
