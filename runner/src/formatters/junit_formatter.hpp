// A JUnit XML document, written whole on one line when the run ends. A listing has no JUnit shape; it lists
// as the pretty format does.
#pragma once

#include <vector>

#include "formatter.hpp"

namespace ovra_runner {

struct JunitFormatter {
    bool show_passing_output = false;
    std::vector<CompletedTest> results;
};

void write_event(JunitFormatter& formatter, Terminal& terminal, const FormatterEvent& event);

static_assert(Formatter<JunitFormatter>);

}  // namespace ovra_runner
