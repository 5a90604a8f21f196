// One JSON object per line and event, in the key order tools read.
#pragma once

#include "formatter.hpp"

namespace ovra_runner {

struct JsonFormatter {
    bool show_passing_output = false;
};

void write_event(JsonFormatter& formatter, Terminal& terminal, const FormatterEvent& event);

static_assert(Formatter<JsonFormatter>);

}  // namespace ovra_runner
