// One character per test ("." passed, "i" ignored), failures on lines of their own, progress " k/N" at the
// end of every line.
#pragma once

#include <cstddef>

#include "formatter.hpp"

namespace ovra_runner {

struct TerseFormatter {
    bool show_passing_output = false;
    std::size_t total_test_count = 0;
    // Results written so far, and characters on the current line.
    std::size_t test_count = 0;
    std::size_t test_column = 0;
};

void write_event(TerseFormatter& formatter, Terminal& terminal, const FormatterEvent& event);

static_assert(Formatter<TerseFormatter>);

}  // namespace ovra_runner
