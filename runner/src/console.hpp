// The runner's two output streams, shared by the thread that reports and, with `--no-capture`, by the tests'
// threads; a lock keeps every piece of text whole.
#pragma once

#include <mutex>
#include <optional>
#include <string_view>

#include "ovra/runner/run_environment.hpp"

namespace ovra_runner {

struct Console {
    ConsoleWriters writers;
    std::mutex mutex;
    // The first write of the report (stdout side or log file) that failed; once set, nothing more is written
    // to the stdout side and the run ends with this error.
    std::optional<IoError> failed_write;
};

void write_out(Console& console, std::string_view text);
void write_err(Console& console, std::string_view text);

// Keeps `error` as the run's failed write unless an earlier one is kept already.
void record_failed_write(Console& console, IoError error);

// The first failed write of the report, if any.
std::optional<IoError> first_failed_write(Console& console);

enum class Color { Red, Green, Yellow };

// `text` in `color` when the plan's `use_color` is on, with the escape bytes of an xterm-like terminal.
void write_colored(Console& console, bool use_color, std::string_view text, Color color);

}  // namespace ovra_runner
