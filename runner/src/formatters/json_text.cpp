#include "json_text.hpp"

#include <array>
#include <charconv>
#include <system_error>

#include <fmt/format.h>

namespace ovra_tests {

std::string json_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte == 0x7f) {
                    out.append(fmt::format("\\u{:04x}", byte));
                } else {
                    out.push_back(c);
                }
            }
        }
    }
    return out;
}

std::string json_number(double value) {
    // Fixed notation of a double needs at most 309 integer digits plus the shortest fraction.
    std::array<char, 400> buffer{};
    const std::to_chars_result written =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    if (written.ec != std::errc{}) {
        return "0";
    }
    return std::string(buffer.data(), written.ptr);
}

}  // namespace ovra_tests
