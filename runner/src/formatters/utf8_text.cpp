#include "utf8_text.hpp"

#include <cstddef>

namespace ovra_runner {

namespace {

struct ByteRange {
    unsigned char low;
    unsigned char high;

    bool holds(unsigned char byte) const { return byte >= low && byte <= high; }
};

constexpr ByteRange continuation{0x80, 0xBF};

// The length of a well-formed sequence that starts with `lead` and the range its second byte must lie in
// (which rules out overlong forms, surrogates and code points past U+10FFFF); length 0 for a byte that
// starts no sequence.
struct SequenceShape {
    std::size_t length;
    ByteRange second;
};

SequenceShape shape_of(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, continuation};
    }
    if (lead == 0xE0) {
        return {3, {0xA0, 0xBF}};
    }
    if (lead == 0xED) {
        return {3, {0x80, 0x9F}};
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {3, continuation};
    }
    if (lead == 0xF0) {
        return {4, {0x90, 0xBF}};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {4, continuation};
    }
    if (lead == 0xF4) {
        return {4, {0x80, 0x8F}};
    }
    return {0, continuation};
}

}  // namespace

std::string lossy_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            out.push_back(text[at++]);
            continue;
        }
        const SequenceShape shape = shape_of(lead);
        // The bytes that still fit a well-formed sequence; a sequence cut short is replaced as a whole.
        std::size_t fitting = 1;
        while (shape.length != 0 && fitting < shape.length && at + fitting < text.size()) {
            const auto byte = static_cast<unsigned char>(text[at + fitting]);
            const ByteRange range = fitting == 1 ? shape.second : continuation;
            if (!range.holds(byte)) {
                break;
            }
            ++fitting;
        }
        if (fitting == shape.length) {
            out.append(text.substr(at, fitting));
        } else {
            out.append(replacement_character);
        }
        at += fitting;
    }
    return out;
}

}  // namespace ovra_runner
