#include "printable_text.hpp"

#include <fmt/format.h>

namespace ovra_runner {

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7F) {
            out.append(fmt::format("\\x{:02x}", byte));
        } else {
            out.push_back(character);
        }
    }
    return out;
}

}  // namespace ovra_runner
