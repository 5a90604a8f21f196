// JSON pieces in the exact shapes the json format prints.
#pragma once

#include <string>
#include <string_view>

namespace ovra_tests {

// The text between the quotes of a JSON string: quote, backslash and control bytes escaped, other bytes as
// they are.
std::string json_escape(std::string_view text);

// Shortest text that reads back as `value`, never with an exponent ("0.00005333", "0", "1.5").
std::string json_number(double value);

}  // namespace ovra_tests
