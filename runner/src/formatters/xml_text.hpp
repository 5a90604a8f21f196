// XML pieces in the exact shapes the junit format prints.
#pragma once

#include <string>
#include <string_view>

namespace ovra_runner {

// Both take any bytes and give well-formed XML text: ill-formed UTF-8 and the characters XML 1.0 forbids
// become U+FFFD.

// Text for an attribute value between double quotes.
std::string xml_attribute(std::string_view text);

// Captured output as CDATA sections, one per line, joined by "&#xA;"; a "]]>" in the text is split across two
// sections so that it cannot end one early.
std::string cdata_lines(std::string_view text);

}  // namespace ovra_runner
