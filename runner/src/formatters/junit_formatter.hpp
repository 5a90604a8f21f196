// A JUnit XML document, written whole on one line when the run ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../console_state.hpp"
#include "../events.hpp"
#include "../terminal.hpp"

namespace ovra_tests {

struct JunitFormatter {
    std::vector<CompletedTest> results;
};

void write_run_start(JunitFormatter& formatter, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed);
void write_test_start(JunitFormatter& formatter, Terminal& terminal, const TestDescriptor& test);
void write_timeout(JunitFormatter& formatter, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after);
void write_result(JunitFormatter& formatter, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState& state);
bool write_run_finish(JunitFormatter& formatter, Terminal& terminal, const ConsoleState& state);

// Text for an attribute value between double quotes.
std::string xml_attribute(std::string_view text);

// Captured output as CDATA sections, one per line, joined by "&#xA;"; a "]]>" in the text is split across two
// sections so that it cannot end one early.
std::string cdata_lines(std::string_view text);

}  // namespace ovra_tests
