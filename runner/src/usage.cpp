#include <string>
#include <string_view>

#include <fmt/format.h>

#include "ovra/runner/options.hpp"

namespace ovra_runner {

namespace {

// The option rows keep the layout tools and people know from the standard runner (including the blank
// after an option whose description moves to the next line).
constexpr std::string_view options_text =
    R"(Options:
        --include-ignored 
                        Run ignored and not ignored tests
        --ignored       Run only ignored tests
        --force-run-in-process 
                        Run tests in this process even when --isolate or
                        --timeout is given
        --isolate       Run each test in a child process of its own, so that
                        a crash, an exit or a hang fails only that test
        --timeout SECONDS
                        Fail a test that runs longer than SECONDS and end its
                        process; implies --isolate
        --exclude-should-panic 
                        Excludes tests marked as should_panic
        --test          Run tests and not benchmarks
        --bench         Run benchmarks instead of tests
        --list          List all tests and benchmarks
        --fail-fast     Don't start new tests after the first failure
    -h, --help          Display this message
        --logfile PATH  Write logs to the given file (deprecated)
        --no-capture    don't capture stdout/stderr of each task, allow
                        printing directly
        --test-threads n_threads
                        Number of threads used for running tests in parallel
        --skip FILTER   Skip tests whose names contain FILTER (this flag can
                        be used multiple times)
    -q, --quiet         Display one character per test instead of one line.
                        Alias to --format=terse
        --exact         Exactly match filters rather than by substring
        --color auto|always|never
                        Configure coloring of output:
                        auto = colorize if stdout is a tty and tests are run
                        on serially (default);
                        always = always colorize output;
                        never = never colorize output;
        --format pretty|terse|json|junit
                        Configure formatting of output:
                        pretty = Print verbose output;
                        terse = Display one character per test;
                        json = Output a json document;
                        junit = Output a JUnit document
        --show-output   Show captured stdout of successful tests
    -Z unstable-options Accepted for compatibility; every option is
                        available without it
        --report-time   Show execution time of each test.
                        Threshold values for colorized output can be
                        configured via
                        the `OVRA_TEST_TIME_UNIT` environment variable.
                        Expected format of environment variable is
                        `VARIABLE=WARN_TIME,CRITICAL_TIME`.
                        Durations are given in milliseconds, e.g.
                        `500,2000` means that the warn time
                        is 0.5 seconds, and the critical time is 2 seconds.
                        Not available for --format=terse
        --ensure-time   Treat excess of the test execution time limit as
                        error.
                        Threshold values for this option can be configured via
                        the `OVRA_TEST_TIME_UNIT` environment variable.
                        Expected format of environment variable is
                        `VARIABLE=WARN_TIME,CRITICAL_TIME`.
                        `CRITICAL_TIME` here means the limit that should not
                        be exceeded by test.
        --shuffle       Run tests in random order
        --shuffle-seed SEED
                        Run tests in random order; seed the random number
                        generator with SEED
)";

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
    return fmt::format("Usage: {} [OPTIONS] [FILTERS...]\n\n{}\n\n{}", program, options_text, notes_text);
}

}  // namespace ovra_runner
