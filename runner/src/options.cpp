#include "options.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <utility>

#include <fmt/format.h>

#include "integer_text.hpp"

namespace ovra_runner {

namespace {

// The options in the order the help lists them: the standard runner's, with this runner's --isolate and
// --timeout beside --force-run-in-process. Help texts keep the standard runner's line breaks.
constexpr auto rows = std::to_array<OptionRow>({
    {.name = "include-ignored", .help = "Run ignored and not ignored tests"},
    {.name = "ignored", .help = "Run only ignored tests"},
    {.name = "force-run-in-process", .help = "Run tests in this process even when --isolate or\n--timeout is given"},
    {.name = "isolate",
     .help = "Run each test in a child process of its own, so that\na crash, an exit or a hang fails only "
             "that test"},
    {.name = "timeout",
     .hint = "SECONDS",
     .help = "Fail a test that runs longer than SECONDS and end its\nprocess; implies --isolate"},
    {.name = "exclude-should-panic", .help = "Excludes tests marked as should_panic"},
    {.name = "test", .help = "Run tests and not benchmarks"},
    {.name = "bench", .help = "Run benchmarks instead of tests"},
    {.name = "list", .help = "List all tests and benchmarks"},
    {.name = "fail-fast", .help = "Don't start new tests after the first failure"},
    {.letter = 'h', .name = "help", .help = "Display this message"},
    {.name = "logfile", .hint = "PATH", .help = "Write logs to the given file (deprecated)"},
    {.name = "no-capture", .help = "don't capture stdout/stderr of each task, allow\nprinting directly"},
    // The standard runner's older spelling, which its help no longer shows.
    {.name = "nocapture"},
    {.name = "test-threads", .hint = "n_threads", .help = "Number of threads used for running tests in parallel"},
    {.name = "skip",
     .hint = "FILTER",
     .repeat = Repeat::Many,
     .help = "Skip tests whose names contain FILTER (this flag can\nbe used multiple times)"},
    {.letter = 'q', .name = "quiet", .help = "Display one character per test instead of one line.\nAlias to --format=terse"},
    {.name = "exact", .help = "Exactly match filters rather than by substring"},
    {.name = "color",
     .hint = "auto|always|never",
     .help =
         "Configure coloring of output:\nauto = colorize if stdout is a tty and tests are run\non serially "
         "(default);\nalways = always colorize output;\nnever = never colorize output;"},
    {.name = "format",
     .hint = "pretty|terse|json|junit",
     .help =
         "Configure formatting of output:\npretty = Print verbose output;\nterse = Display one character per "
         "test;\njson = Output a json document;\njunit = Output a JUnit document"},
    {.name = "show-output", .help = "Show captured stdout of successful tests"},
    // Options kept experimental elsewhere are plain options here; `-Z unstable-options` is accepted and
    // changes nothing.
    {.letter = 'Z',
     .hint = "unstable-options",
     .help = "Accepted for compatibility; every option is\navailable without it"},
    {.name = "report-time",
     .help =
         "Show execution time of each test.\nThreshold values for colorized output can be\nconfigured "
         "via\nthe `OVRA_TEST_TIME_UNIT` environment variable.\nExpected format of environment variable "
         "is\n`VARIABLE=WARN_TIME,CRITICAL_TIME`.\nDurations are given in milliseconds, e.g.\n`500,2000` "
         "means that the warn time\nis 0.5 seconds, and the critical time is 2 seconds.\nNot available for "
         "--format=terse"},
    {.name = "ensure-time",
     .help = "Treat excess of the test execution time limit as\nerror.\nThreshold values for this option can "
             "be configured via\nthe `OVRA_TEST_TIME_UNIT` environment variable.\nExpected format of "
             "environment variable is\n`VARIABLE=WARN_TIME,CRITICAL_TIME`.\n`CRITICAL_TIME` here means the "
             "limit that should not\nbe exceeded by test."},
    {.name = "shuffle", .help = "Run tests in random order"},
    {.name = "shuffle-seed",
     .hint = "SEED",
     .help = "Run tests in random order; seed the random number\ngenerator with SEED"},
});

// The row of an option by its long name (or, for one without, its letter). Evaluated while compiling, so a
// misspelt name does not build.
consteval std::size_t option(std::string_view name) {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (rows[index].name == name || (rows[index].name.empty() && name == std::string_view(&rows[index].letter, 1))) {
            return index;
        }
    }
    throw "no such option";
}

// An option as written: "--name" looks up a long name, except that a one-letter name means the letter.
struct OptionName {
    char letter;
    std::string_view word;
};

// "--=x" names the empty word, which has no letter either (no argument holds a NUL byte).
std::string render(const OptionName& name) {
    return name.word.empty() && name.letter != '\0' ? std::string(1, name.letter) : std::string(name.word);
}

// Messages name an option by its long name, or by its letter when it has none.
std::string render(const OptionRow& row) {
    return row.name.empty() ? std::string(1, row.letter) : std::string(row.name);
}

bool takes_value(const OptionRow& row) {
    return !row.hint.empty();
}

std::optional<std::size_t> find_option(const OptionName& name) {
    const auto found = std::ranges::find_if(rows, [&](const OptionRow& row) {
        return name.word.empty() ? row.letter != '\0' && row.letter == name.letter : row.name == name.word;
    });
    return found == rows.end() ? std::nullopt : std::optional(static_cast<std::size_t>(found - rows.begin()));
}

// The names one argument gives: a long name, or a cluster of letters of which the first that takes a value
// takes the rest of the cluster as its value.
std::expected<std::vector<OptionName>, std::string> names_in(std::string_view argument,
                                                             std::optional<std::string>& inline_value) {
    std::vector<OptionName> names;
    if (argument.starts_with("--")) {
        const std::string_view tail = argument.substr(2);
        const std::size_t equals = tail.find('=');
        const std::string_view word = tail.substr(0, equals);
        names.push_back(word.size() == 1 ? OptionName{word.front(), {}} : OptionName{'\0', word});
        if (equals != std::string_view::npos) {
            inline_value = std::string(tail.substr(equals + 1));
        }
        return names;
    }
    for (std::size_t at = 1; at < argument.size(); ++at) {
        const OptionName name{argument[at], {}};
        const std::optional<std::size_t> row = find_option(name);
        if (!row) {
            return std::unexpected(fmt::format("Unrecognized option: '{}'", render(name)));
        }
        names.push_back(name);
        if (takes_value(rows[*row]) && at + 1 < argument.size()) {
            inline_value = std::string(argument.substr(at + 1));
            break;
        }
    }
    return names;
}

// Every occurrence of every option (a flag records an empty value), by row, and the free arguments.
struct MatchedArguments {
    std::vector<std::vector<std::string>> values;
    std::vector<std::string> free;

    bool given(std::size_t row) const { return !values[row].empty(); }
    // The value of an option given once; null where it is absent.
    const std::string* value(std::size_t row) const { return given(row) ? &values[row].front() : nullptr; }
};

std::expected<MatchedArguments, std::string> match_arguments(std::span<const std::string_view> args) {
    MatchedArguments matched;
    matched.values.resize(rows.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view current = args[i];
        if (current.size() < 2 || current.front() != '-') {
            matched.free.emplace_back(current);
            continue;
        }
        if (current == "--") {
            matched.free.insert(matched.free.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                args.end());
            break;
        }
        std::optional<std::string> inline_value;
        const auto names = names_in(current, inline_value);
        if (!names) {
            return std::unexpected(names.error());
        }
        for (std::size_t position = 0; position < names->size(); ++position) {
            const OptionName& name = (*names)[position];
            const std::optional<std::size_t> row = find_option(name);
            if (!row) {
                return std::unexpected(fmt::format("Unrecognized option: '{}'", render(name)));
            }
            std::vector<std::string>& values = matched.values[*row];
            if (!takes_value(rows[*row])) {
                if (position + 1 == names->size() && inline_value) {
                    return std::unexpected(
                        fmt::format("Option '{}' does not take an argument", render(name)));
                }
                values.emplace_back();
            } else if (inline_value) {
                values.push_back(std::move(*inline_value));
                inline_value.reset();
            } else if (i + 1 == args.size()) {
                return std::unexpected(fmt::format("Argument to option '{}' missing", render(name)));
            } else {
                values.emplace_back(args[++i]);
            }
        }
    }
    // Reported in table order.
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].repeat == Repeat::Once && matched.values[row].size() > 1) {
            return std::unexpected(fmt::format("Option '{}' given more than once", render(rows[row])));
        }
    }
    return matched;
}

// A count of at least 1 given as the value of `--option`, with the standard runner's wording of what is
// wrong with it.
std::expected<std::uint64_t, std::string> option_count(std::string_view name, std::string_view text) {
    const auto count = parse_unsigned(text);
    if (!count) {
        return std::unexpected(fmt::format("argument for --{} must be a number > 0 (error: {})", name,
                                           describe(count.error())));
    }
    if (*count == 0) {
        return std::unexpected(fmt::format("argument for --{} must not be 0", name));
    }
    return *count;
}

std::expected<OutputFormat, std::string> output_format(std::string_view value) {
    constexpr std::array<std::pair<std::string_view, OutputFormat>, 4> formats{
        {{"pretty", OutputFormat::Pretty},
         {"terse", OutputFormat::Terse},
         {"json", OutputFormat::Json},
         {"junit", OutputFormat::Junit}}};
    const auto format =
        std::find_if(formats.begin(), formats.end(), [&](const auto& entry) { return entry.first == value; });
    if (format == formats.end()) {
        return std::unexpected(
            fmt::format("argument for --format must be pretty, terse, json or junit (was {})", value));
    }
    return format->second;
}

// The settings the options' values give, each checked as it is read: where several are wrong, the first in
// this order is the one reported, whatever the order of the arguments.
std::expected<void, std::string> apply_values(const MatchedArguments& matched, RunPlan& plan,
                                              std::string_view& color) {
    if (const std::string* value = matched.value(option("Z")); value && *value != "unstable-options") {
        return std::unexpected(std::string("Unrecognized option to `Z`"));
    }
    if (const std::string* value = matched.value(option("shuffle-seed"))) {
        const auto seed = parse_unsigned(*value);
        if (!seed) {
            return std::unexpected(fmt::format("argument for --shuffle-seed must be a number (error: {})",
                                               describe(seed.error())));
        }
        plan.shuffle_seed = *seed;
    }
    if (matched.given(option("include-ignored")) && matched.given(option("ignored"))) {
        return std::unexpected(std::string("the options --include-ignored and --ignored are mutually exclusive"));
    }
    if (const std::string* value = matched.value(option("test-threads"))) {
        const auto count = option_count("test-threads", *value);
        if (!count) {
            return std::unexpected(count.error());
        }
        plan.workers = *count;
    }
    std::optional<std::chrono::seconds> timeout;
    if (const std::string* value = matched.value(option("timeout"))) {
        const auto seconds = option_count("timeout", *value);
        if (!seconds) {
            return std::unexpected(seconds.error());
        }
        constexpr auto longest = static_cast<std::uint64_t>(std::chrono::seconds::max().count());
        timeout = std::chrono::seconds(static_cast<std::chrono::seconds::rep>(std::min(*seconds, longest)));
    }
    // `--force-run-in-process` wins over both ways of asking for isolation.
    if ((timeout || matched.given(option("isolate"))) && !matched.given(option("force-run-in-process"))) {
        plan.strategy = Isolated{timeout};
    }
    if (const std::string* value = matched.value(option("color"))) {
        if (*value != "auto" && *value != "always" && *value != "never") {
            return std::unexpected(
                fmt::format("argument for --color must be auto, always, or never (was {})", *value));
        }
        color = *value;
    }
    if (const std::string* value = matched.value(option("format"))) {
        const auto format = output_format(*value);
        if (!format) {
            return std::unexpected(format.error());
        }
        plan.format = *format;
    } else if (matched.given(option("quiet"))) {
        plan.format = OutputFormat::Terse;
    }
    return {};
}

// The settings the flags give, which cannot be wrong.
void apply_flags(const MatchedArguments& matched, RunPlan& plan, const RunEnvironment& environment) {
    TestSelection& selection = plan.selection;
    selection.exact = matched.given(option("exact"));
    selection.skip = matched.values[option("skip")];
    selection.exclude_should_panic = matched.given(option("exclude-should-panic"));
    if (matched.given(option("include-ignored"))) {
        selection.run_ignored = RunIgnored::Yes;
    } else if (matched.given(option("ignored"))) {
        selection.run_ignored = RunIgnored::Only;
    }
    selection.ignore_all = matched.given(option("bench")) && !matched.given(option("test"));
    if (matched.given(option("list"))) {
        plan.action = PlanAction::List;
    }
    plan.fail_fast = matched.given(option("fail-fast"));
    plan.display.capture = !matched.given(option("no-capture")) && !matched.given(option("nocapture"));
    plan.display.show_passing_output = matched.given(option("show-output"));
    if (const std::string* value = matched.value(option("logfile"))) {
        plan.logfile = *value;
    }
    // `--shuffle` takes its seed from the clock; `--shuffle-seed` overrides it.
    if (matched.given(option("shuffle")) && !plan.shuffle_seed) {
        const auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(environment.now.time_since_epoch()).count();
        plan.shuffle_seed = nanoseconds < 0 ? 0 : static_cast<std::uint64_t>(nanoseconds);
    }
    // Enforcing limits implies showing times, so that a test failing on time is never a surprise.
    if (matched.given(option("report-time")) || matched.given(option("ensure-time"))) {
        plan.time_limits = TimeOptions{matched.given(option("ensure-time")), {}};
    }
}

// The variables that stand in for absent options, read for a run only: a listing cannot be refused by them.
std::expected<void, std::string> apply_variables(const MatchedArguments& matched, RunPlan& plan,
                                                 const RunEnvironment& environment) {
    const bool run = plan.action == PlanAction::Run;
    const auto variable = [&](std::string_view name) -> const std::string* {
        const auto found = environment.variables.find(name);
        return run && found != environment.variables.end() ? &found->second : nullptr;
    };
    // Read only where a time option asks for limits.
    if (const std::string* unit = variable(time_unit_variable); unit && plan.time_limits) {
        const auto threshold = parse_threshold(*unit);
        if (!threshold) {
            return std::unexpected(threshold.error());
        }
        plan.time_limits->unit = *threshold;
    }
    if (!matched.given(option("test-threads"))) {
        plan.workers = std::max<std::size_t>(environment.hardware_threads, 1);
        if (const std::string* threads = variable(threads_variable)) {
            const auto count = parse_unsigned(*threads);
            if (!count || *count == 0) {
                return std::unexpected(
                    fmt::format("{} is `{}`, should be a positive integer.", threads_variable, *threads));
            }
            plan.workers = *count;
        }
    }
    return {};
}

}  // namespace

std::span<const OptionRow> option_rows() {
    return rows;
}

ParsedCommandLine parse_command_line(std::span<const std::string_view> args, const RunEnvironment& environment) {
    ParsedCommandLine parsed;
    const std::string program = args.empty() ? std::string("...") : std::string(args.front());
    const std::expected<MatchedArguments, std::string> matched =
        match_arguments(args.empty() ? args : args.subspan(1));
    if (!matched) {
        parsed.command_line = std::unexpected(matched.error());
        return parsed;
    }
    if (matched->given(option("help"))) {
        parsed.command_line = HelpRequest{program};
        return parsed;
    }
    RunPlan plan;
    plan.program = program;
    plan.selection.filters = matched->free;
    plan.long_running_after = environment.long_running_after;
    std::string_view color = "auto";
    if (auto applied = apply_values(*matched, plan, color); !applied) {
        parsed.command_line = std::unexpected(std::move(applied.error()));
        return parsed;
    }
    apply_flags(*matched, plan, environment);
    if (matched->given(option("logfile"))) {
        parsed.warnings.emplace_back("warning: `--logfile` is deprecated\n");
    }
    if (auto applied = apply_variables(*matched, plan, environment); !applied) {
        parsed.command_line = std::unexpected(std::move(applied.error()));
        return parsed;
    }
    // Colour with `auto` only where a terminal shows the report alone: tests' own output passed through would
    // interleave with escape sequences.
    plan.use_color = color == "always" || (color == "auto" && plan.display.capture && environment.stdout_is_terminal);
    parsed.command_line = std::move(plan);
    return parsed;
}

}  // namespace ovra_runner
