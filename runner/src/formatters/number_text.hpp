// Numbers in the exact shapes the reports print them.
#pragma once

#include <chrono>
#include <string>

namespace ovra_runner {

// Shortest text that reads back as the seconds, never with an exponent ("0.00005333", "0", "1.5"): JSON's
// `exec_time`, JUnit's `time` and the seconds of a long-running notice.
std::string plain_seconds(std::chrono::duration<double> seconds);

}  // namespace ovra_runner
