// JSON string text in the exact shape the json format prints.
#pragma once

#include <string>
#include <string_view>

namespace ovra_runner {

// The text between the quotes of a JSON string: quote, backslash and control bytes escaped, ill-formed UTF-8
// replaced (see lossy_utf8), other bytes as they are.
std::string json_escape(std::string_view text);

}  // namespace ovra_runner
