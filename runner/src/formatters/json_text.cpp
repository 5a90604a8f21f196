#include "json_text.hpp"

#include <fmt/format.h>

#include "utf8_text.hpp"

namespace ovra_runner {

std::string json_escape(std::string_view raw) {
    const std::string text = lossy_utf8(raw);
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

}  // namespace ovra_runner
