#include <string>
#include <string_view>

#include <fmt/format.h>

#include "options.hpp"

namespace ovra_runner {

namespace {

// Descriptions start in this column, on the option's line or, when the names reach it, on the next.
constexpr std::size_t description_column = 24;

// One option as the standard runner's help lays it out: "    -q, --quiet", "        --logfile PATH", a flag's
// names followed by a space, then the description's lines, each after the description column.
void append_option(std::string& out, const OptionRow& row) {
    std::string names = "    ";
    names += row.letter != '\0' ? fmt::format("-{}", row.letter) : std::string("  ");
    if (!row.name.empty()) {
        names += fmt::format("{}--{}", row.letter != '\0' ? ", " : "  ", row.name);
    }
    names += row.hint.empty() ? std::string(" ") : fmt::format(" {}", row.hint);
    out += names;
    if (names.size() >= description_column) {
        out += '\n';
        out.append(description_column, ' ');
    } else {
        out.append(description_column - names.size(), ' ');
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = row.help.find('\n', start);
        out += row.help.substr(start, end - start);
        out += '\n';
        if (end == std::string_view::npos) {
            break;
        }
        out.append(description_column, ' ');
        start = end + 1;
    }
}

constexpr std::string_view notes_text =
    R"(The FILTER string is tested against the name of all tests, and only those
tests whose names contain the filter are run. Multiple filter strings may
be passed, which will run all tests matching any of the filters.

By default, all tests are run in parallel. This can be altered with the
--test-threads flag or the OVRA_TEST_THREADS environment variable when running
tests (set it to 1).

By default, the tests are run in alphabetical order. Use --shuffle to run
the tests in random order. Pass the generated "shuffle seed" to
--shuffle-seed to run the tests in the same order again. Note that
--shuffle and --shuffle-seed do not affect whether the tests are run in
parallel.

All tests have their standard output and standard error captured by default.
This can be overridden with the --no-capture flag.
Output written directly to the process's file descriptors is not captured.

Test Descriptor Fields:

    `ignore`         - When true, the test runner will ignore the test during
                       normal test runs. Running with --ignored or
                       --include-ignored will run these tests.
    `ignore_message` - The reason shown next to an ignored test.
    `should_panic`   - The test will only pass if it fails (a failed check, an
                       exception or a returned error).
)";

}  // namespace

std::string usage_text(std::string_view program) {
    std::string options = "Options:\n";
    for (const OptionRow& row : option_rows()) {
        if (!row.help.empty()) {
            append_option(options, row);
        }
    }
    return fmt::format("Usage: {} [OPTIONS] [FILTERS...]\n\n{}\n\n{}", program, options, notes_text);
}

}  // namespace ovra_runner
