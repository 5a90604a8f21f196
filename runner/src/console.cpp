#include "console.hpp"

#include <string>

namespace ovra_runner {

namespace {

std::string_view foreground(Color color) {
    switch (color) {
        case Color::Red:
            return "\x1b[31m";
        case Color::Green:
            return "\x1b[32m";
        case Color::Yellow:
            break;
    }
    return "\x1b[33m";
}

constexpr std::string_view reset = "\x1b(B\x1b[m";

}  // namespace

void write_out(Console& console, std::string_view text) {
    const std::lock_guard lock(console.mutex);
    if (console.failed_write) {
        return;
    }
    if (const IoResult written = console.writers.out(text); !written) {
        console.failed_write = written.error();
    }
}

void write_err(Console& console, std::string_view text) {
    const std::lock_guard lock(console.mutex);
    // The error side carries the verdict when the report is lost; a failure there has nowhere to go.
    (void)console.writers.err(text);
}

void record_failed_write(Console& console, IoError error) {
    const std::lock_guard lock(console.mutex);
    if (!console.failed_write) {
        console.failed_write = error;
    }
}

std::optional<IoError> first_failed_write(Console& console) {
    const std::lock_guard lock(console.mutex);
    return console.failed_write;
}

void write_colored(Console& console, bool use_color, std::string_view text, Color color) {
    if (!use_color) {
        write_out(console, text);
        return;
    }
    std::string piece(foreground(color));
    piece.append(text);
    piece.append(reset);
    write_out(console, piece);
}

}  // namespace ovra_runner
