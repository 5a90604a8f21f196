// Text a user typed, quoted back in a one-line message: bytes that could break the line or drive the
// terminal are shown as \xNN instead. The runner and the layout inspector both quote arguments this way.
#pragma once

#include <string>
#include <string_view>

namespace ovra_printable {

enum class Shown {
    // Everything but the control characters (below 0x20, and 0x7F), which UTF-8 text keeps as it is.
    AllButControls,
    // Printable ASCII only: every byte from 0x7F on is escaped as well.
    Ascii,
};

inline std::string printable(std::string_view text, Shown shown = Shown::AllButControls) {
    constexpr std::string_view digits = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7F || (shown == Shown::Ascii && byte > 0x7F)) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        } else {
            out += character;
        }
    }
    return out;
}

}  // namespace ovra_printable
