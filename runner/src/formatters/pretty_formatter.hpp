// One line per test: "test NAME ... ok", then the failures and the summary.
#pragma once

#include <optional>

#include "../time_options.hpp"
#include "formatter.hpp"

namespace ovra_runner {

struct PrettyFormatter {
    // With several workers a line is written whole when its test ends; with one, the name goes out first so
    // that the running test is visible.
    bool is_multithreaded = false;
    std::optional<TimeOptions> time_options;
    bool show_passing_output = false;
};

void write_event(PrettyFormatter& formatter, Terminal& terminal, const FormatterEvent& event);

static_assert(Formatter<PrettyFormatter>);

}  // namespace ovra_runner
