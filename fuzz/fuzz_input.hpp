// Shared by the fuzz targets: reading typed values from the fuzzer's bytes, and stopping with a message
// that says which property broke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace ovra_fuzz {

// The bytes not yet read. Reads past the end yield zeros, so every input decodes to something.
struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;
};

inline std::uint8_t take_u8(FuzzInput& input) {
    if (input.size == 0) {
        return 0;
    }
    const std::uint8_t value = *input.data;
    ++input.data;
    --input.size;
    return value;
}

inline std::uint16_t take_u16(FuzzInput& input) {
    const auto low = static_cast<std::uint16_t>(take_u8(input));
    const auto high = static_cast<std::uint16_t>(take_u8(input));
    return static_cast<std::uint16_t>(low | static_cast<std::uint16_t>(high << 8));
}

inline std::uint32_t take_u32(FuzzInput& input) {
    const std::uint32_t low = take_u16(input);
    const std::uint32_t high = take_u16(input);
    return low | (high << 16);
}

// Up to `limit` bytes, as many as the next byte says (modulo limit + 1).
inline std::string take_text(FuzzInput& input, std::size_t limit) {
    std::size_t length = take_u8(input) % (limit + 1);
    if (length > input.size) {
        length = input.size;
    }
    std::string text(reinterpret_cast<const char*>(input.data), length);
    input.data += length;
    input.size -= length;
    return text;
}

// A broken property is a finding: say which one, then abort so that libFuzzer saves the input.
[[noreturn]] inline void fail_property(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "\nproperty violated: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// `describe` builds the details only when the property fails: formatting them for every call would cost
// more than the calls under test.
template <class Describe>
void require(bool condition, std::string_view what, Describe&& describe) {
    if (!condition) {
        fail_property(what, std::string(std::forward<Describe>(describe)()));
    }
}

}  // namespace ovra_fuzz
