// Text from tests made fit for the machine-readable formats: whatever bytes a test printed, a JSON line and
// an XML document must still be valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ovra_runner {

// U+FFFD, the character that stands for text that cannot be shown.
inline constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// `text` with every ill-formed UTF-8 sequence replaced by U+FFFD, one for each maximal ill-formed subpart
// (the replacement that lossy conversions commonly make); well-formed text comes back as it was.
std::string lossy_utf8(std::string_view text);

}  // namespace ovra_runner
