// Element precision of a tensor. Only the variant decides storage shapes; the scale exponent of the
// 8-bit format matters to arithmetic, not to addressing.
#pragma once

#include <cstdint>
#include <variant>

namespace ovra_codegen::operator_ {

// 8-bit floating point with a signed scale exponent.
struct F8F143 {
    std::int8_t scale_exponent;
    friend bool operator==(const F8F143&, const F8F143&) = default;
};

struct F16 {
    friend bool operator==(const F16&, const F16&) = default;
};

struct F32 {
    friend bool operator==(const F32&, const F32&) = default;
};

using Precision = std::variant<F8F143, F16, F32>;

}  // namespace ovra_codegen::operator_
