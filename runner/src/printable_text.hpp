// Text quoted from the user (arguments, variables) in a one-line message.
#pragma once

#include <string>
#include <string_view>

namespace ovra_runner {

// `text` with control characters shown as \xNN, so that a message stays one line and cannot drive the
// terminal.
std::string printable(std::string_view text);

}  // namespace ovra_runner
