// The runner's two output streams, shared by the thread that reports and, with `--no-capture`, by the
// tests' threads; a lock keeps every piece of text whole.
#pragma once

#include <mutex>
#include <optional>
#include <string_view>

#include "ovra/runner/run_environment.hpp"

namespace ovra_runner {

struct Terminal {
    ConsoleWriters writers;
    bool use_color = false;
    std::mutex mutex;
    // The first write of the report (stdout side or log file) that failed; once set, nothing more is written
    // to the stdout side and the run ends with this error.
    std::optional<IoError> failure;
};

void write_out(Terminal& terminal, std::string_view text);
void write_err(Terminal& terminal, std::string_view text);

// Keeps `error` as the run's failure unless an earlier one is kept already.
void record_failure(Terminal& terminal, IoError error);

// The first failed write of the report, if any.
std::optional<IoError> report_failure(Terminal& terminal);

enum class Color { Red, Green, Yellow, Cyan };

// `text` in `color` when colour is on, with the escape bytes of an xterm-like terminal.
void write_colored(Terminal& terminal, std::string_view text, Color color);

}  // namespace ovra_runner
