#include "terminal.hpp"

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
            return "\x1b[33m";
        case Color::Cyan:
            break;
    }
    return "\x1b[36m";
}

constexpr std::string_view reset = "\x1b(B\x1b[m";

}  // namespace

void write_out(Terminal& terminal, std::string_view text) {
    const std::lock_guard lock(terminal.mutex);
    if (terminal.failure) {
        return;
    }
    if (const WriteResult written = terminal.writers.out(text); !written) {
        terminal.failure = written.error();
    }
}

void write_err(Terminal& terminal, std::string_view text) {
    const std::lock_guard lock(terminal.mutex);
    // The error side carries the verdict when the report is lost; a failure there has nowhere to go.
    (void)terminal.writers.err(text);
}

void record_failure(Terminal& terminal, IoError error) {
    const std::lock_guard lock(terminal.mutex);
    if (!terminal.failure) {
        terminal.failure = error;
    }
}

std::optional<IoError> report_failure(Terminal& terminal) {
    const std::lock_guard lock(terminal.mutex);
    return terminal.failure;
}

void write_colored(Terminal& terminal, std::string_view text, Color color) {
    if (!terminal.use_color) {
        write_out(terminal, text);
        return;
    }
    std::string piece(foreground(color));
    piece.append(text);
    piece.append(reset);
    write_out(terminal, piece);
}

}  // namespace ovra_runner
