#include "number_text.hpp"

#include <array>
#include <charconv>
#include <system_error>

namespace ovra_runner {

std::string plain_seconds(std::chrono::duration<double> seconds) {
    // Fixed notation of a double needs at most 309 integer digits plus the shortest fraction.
    std::array<char, 400> buffer{};
    const std::to_chars_result written =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), seconds.count(), std::chars_format::fixed);
    if (written.ec != std::errc{}) {
        return "0";
    }
    return std::string(buffer.data(), written.ptr);
}

}  // namespace ovra_runner
