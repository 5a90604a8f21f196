#include "json_text.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include <fmt/format.h>

#include "utf8_text.hpp"

namespace ovra_runner {

std::string json_escape(std::string_view raw) {
    constexpr std::array<std::pair<char, std::string_view>, 7> short_escapes{{{'"', "\\\""},
                                                                              {'\\', "\\\\"},
                                                                              {'\b', "\\b"},
                                                                              {'\f', "\\f"},
                                                                              {'\n', "\\n"},
                                                                              {'\r', "\\r"},
                                                                              {'\t', "\\t"}}};
    const std::string text = lossy_utf8(raw);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const auto escape = std::ranges::find(short_escapes, c, &std::pair<char, std::string_view>::first);
        if (escape != short_escapes.end()) {
            out.append(escape->second);
        } else if (byte < 0x20 || byte == 0x7f) {
            out.append(fmt::format("\\u{:04x}", byte));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace ovra_runner
