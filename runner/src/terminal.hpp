// The runner's two output streams, shared by the thread that reports and, with `--no-capture`, by the
// tests' threads; a lock keeps every piece of text whole.
#pragma once

#include <mutex>
#include <string_view>

#include "ovra/runner/runner.hpp"

namespace ovra_tests {

struct Terminal {
    ConsoleWriters writers;
    bool use_color = false;
    std::mutex mutex;
};

void write_out(Terminal& terminal, std::string_view text);
void write_err(Terminal& terminal, std::string_view text);

enum class Color { Red, Green, Yellow, Cyan };

// `text` in `color` when colour is on, with the escape bytes of an xterm-like terminal.
void write_colored(Terminal& terminal, std::string_view text, Color color);

}  // namespace ovra_tests
