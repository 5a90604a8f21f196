#include "options.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <utility>

#include <fmt/format.h>

#include "integer_text.hpp"

namespace ovra_runner {

namespace {

using Outcome = std::expected<void, std::string>;

// A count of at least 1 given as the value of `--option`, with the standard runner's wording of what is
// wrong with it.
std::expected<std::uint64_t, std::string> option_count(std::string_view option, std::string_view text) {
    const auto count = parse_unsigned(text);
    if (!count) {
        return std::unexpected(fmt::format("argument for --{} must be a number > 0 (error: {})", option,
                                           describe(count.error())));
    }
    if (*count == 0) {
        return std::unexpected(fmt::format("argument for --{} must not be 0", option));
    }
    return *count;
}

Outcome set_test_threads(RunPlan& plan, const OptionInput& input) {
    const auto count = option_count("test-threads", input.values.front());
    if (!count) {
        return std::unexpected(count.error());
    }
    plan.workers = *count;
    return {};
}

// OVRA_TEST_THREADS where `--test-threads` is absent, else the hardware's threads.
Outcome default_test_threads(RunPlan& plan, const OptionInput& input) {
    if (!input.variable) {
        plan.workers = std::max<std::size_t>(input.environment.hardware_threads, 1);
        return {};
    }
    const auto count = parse_unsigned(*input.variable);
    if (!count || *count == 0) {
        return std::unexpected(
            fmt::format("OVRA_TEST_THREADS is `{}`, should be a positive integer.", *input.variable));
    }
    plan.workers = *count;
    return {};
}

Outcome set_shuffle_seed(RunPlan& plan, const OptionInput& input) {
    const auto seed = parse_unsigned(input.values.front());
    if (!seed) {
        return std::unexpected(
            fmt::format("argument for --shuffle-seed must be a number (error: {})", describe(seed.error())));
    }
    plan.shuffle_seed = *seed;
    return {};
}

// `--shuffle` takes its seed from the clock; `--shuffle-seed`, set after it, overrides it.
Outcome set_shuffle(RunPlan& plan, const OptionInput& input) {
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(input.environment.now.time_since_epoch())
            .count();
    plan.shuffle_seed = nanoseconds < 0 ? 0 : static_cast<std::uint64_t>(nanoseconds);
    return {};
}

Outcome set_run_ignored(RunPlan& plan, const OptionInput& input, RunIgnored which) {
    if (input.given("include-ignored") && input.given("ignored")) {
        return std::unexpected(
            std::string("the options --include-ignored and --ignored are mutually exclusive"));
    }
    plan.selection.run_ignored = which;
    return {};
}

// Isolation is asked for by `--isolate` and `--timeout`; `--force-run-in-process` wins over both.
Outcome isolate(RunPlan& plan, const OptionInput& input, std::optional<std::chrono::seconds> timeout) {
    if (!input.given("force-run-in-process")) {
        plan.strategy = Isolated{std::string(input.program), timeout};
    }
    return {};
}

Outcome set_timeout(RunPlan& plan, const OptionInput& input) {
    const auto seconds = option_count("timeout", input.values.front());
    if (!seconds) {
        return std::unexpected(seconds.error());
    }
    constexpr auto longest = static_cast<std::uint64_t>(std::chrono::seconds::max().count());
    return isolate(plan, input,
                   std::chrono::seconds(static_cast<std::chrono::seconds::rep>(std::min(*seconds, longest))));
}

// Colour with `auto` only where a terminal shows the report alone: tests' own output passed through would
// interleave with escape sequences.
void apply_color(RunPlan& plan, const OptionInput& input, std::string_view value) {
    plan.use_color = value == "always" ||
                     (value == "auto" && plan.display.capture && input.environment.stdout_is_terminal);
}

Outcome set_color(RunPlan& plan, const OptionInput& input) {
    const std::string& value = input.values.front();
    if (value != "auto" && value != "always" && value != "never") {
        return std::unexpected(
            fmt::format("argument for --color must be auto, always, or never (was {})", value));
    }
    apply_color(plan, input, value);
    return {};
}

Outcome set_format(RunPlan& plan, const OptionInput& input) {
    constexpr std::array<std::pair<std::string_view, OutputFormat>, 4> formats{
        {{"pretty", OutputFormat::Pretty},
         {"terse", OutputFormat::Terse},
         {"json", OutputFormat::Json},
         {"junit", OutputFormat::Junit}}};
    const std::string& value = input.values.front();
    const auto format =
        std::find_if(formats.begin(), formats.end(), [&](const auto& entry) { return entry.first == value; });
    if (format == formats.end()) {
        return std::unexpected(
            fmt::format("argument for --format must be pretty, terse, json or junit (was {})", value));
    }
    plan.format = format->second;
    return {};
}

// OVRA_TEST_TIME_UNIT, read only where a time option asks for limits.
Outcome set_time_unit(RunPlan& plan, const OptionInput& input) {
    if (!plan.time_limits || !input.variable) {
        return {};
    }
    const auto threshold = parse_threshold(*input.variable);
    if (!threshold) {
        return std::unexpected(threshold.error());
    }
    plan.time_limits->unit = *threshold;
    return {};
}

Outcome enable_time_limits(RunPlan& plan, bool enforce) {
    if (!plan.time_limits) {
        plan.time_limits = TimeOptions{};
    }
    // Enforcing limits implies showing times, so that a test failing on time is never a surprise.
    plan.time_limits->error_on_excess = plan.time_limits->error_on_excess || enforce;
    return {};
}

// The options in the order the help lists them: the standard runner's, with this runner's --isolate and
// --timeout beside --force-run-in-process. Help texts keep the standard runner's line breaks. A flag sets
// its one setting in its own row, so that rows look alike: the option is all in one place.
constexpr auto rows = std::to_array<OptionRow>({
    {.name = "include-ignored",
     .help = "Run ignored and not ignored tests",
     .order = 3,
     .given = [](RunPlan& plan,
                 const OptionInput& input) { return set_run_ignored(plan, input, RunIgnored::Yes); }},
    {.name = "ignored",
     .help = "Run only ignored tests",
     .order = 3,
     .given = [](RunPlan& plan,
                 const OptionInput& input) { return set_run_ignored(plan, input, RunIgnored::Only); }},
    // Wins over --isolate and --timeout, which look for it.
    {.name = "force-run-in-process",
     .help = "Run tests in this process even when --isolate or\n--timeout is given"},
    {.name = "isolate",
     .help = "Run each test in a child process of its own, so that\na crash, an exit or a hang fails only "
             "that test",
     .given = [](RunPlan& plan, const OptionInput& input) { return isolate(plan, input, std::nullopt); }},
    {.name = "timeout",
     .hint = "SECONDS",
     .help = "Fail a test that runs longer than SECONDS and end its\nprocess; implies --isolate",
     .order = 5,
     .given = set_timeout},
    {.name = "exclude-should-panic",
     .help = "Excludes tests marked as should_panic",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.selection.exclude_should_panic = true;
         return {};
     }},
    {.name = "test", .help = "Run tests and not benchmarks"},
    {.name = "bench",
     .help = "Run benchmarks instead of tests",
     .given = [](RunPlan& plan, const OptionInput& input) -> Outcome {
         plan.selection.ignore_all = !input.given("test");
         return {};
     }},
    {.name = "list",
     .help = "List all tests and benchmarks",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.action = PlanAction::List;
         return {};
     }},
    {.name = "fail-fast",
     .help = "Don't start new tests after the first failure",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.fail_fast = true;
         return {};
     }},
    {.letter = 'h', .name = "help", .help = "Display this message"},
    {.name = "logfile",
     .hint = "PATH",
     .help = "Write logs to the given file (deprecated)",
     .warning = "warning: `--logfile` is deprecated\n",
     .given = [](RunPlan& plan, const OptionInput& input) -> Outcome {
         plan.logfile = input.values.front();
         return {};
     }},
    {.name = "no-capture",
     .help = "don't capture stdout/stderr of each task, allow\nprinting directly",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.display.capture = false;
         return {};
     }},
    // The standard runner's older spelling, which its help no longer shows.
    {.name = "nocapture",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.display.capture = false;
         return {};
     }},
    {.name = "test-threads",
     .hint = "n_threads",
     .help = "Number of threads used for running tests in parallel",
     .variable = "OVRA_TEST_THREADS",
     .order = 4,
     .given = set_test_threads,
     .absent = default_test_threads},
    {.name = "skip",
     .hint = "FILTER",
     .repeat = Repeat::Many,
     .help = "Skip tests whose names contain FILTER (this flag can\nbe used multiple times)",
     .given = [](RunPlan& plan, const OptionInput& input) -> Outcome {
         plan.selection.skip.assign(input.values.begin(), input.values.end());
         return {};
     }},
    {.letter = 'q',
     .name = "quiet",
     .help = "Display one character per test instead of one line.\nAlias to --format=terse",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.format = OutputFormat::Terse;
         return {};
     }},
    {.name = "exact",
     .help = "Exactly match filters rather than by substring",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.selection.exact = true;
         return {};
     }},
    {.name = "color",
     .hint = "auto|always|never",
     .help =
         "Configure coloring of output:\nauto = colorize if stdout is a tty and tests are run\non serially "
         "(default);\nalways = always colorize output;\nnever = never colorize output;",
     .order = 6,
     .given = set_color,
     .absent = [](RunPlan& plan, const OptionInput& input) -> Outcome {
         apply_color(plan, input, "auto");
         return {};
     }},
    {.name = "format",
     .hint = "pretty|terse|json|junit",
     .help =
         "Configure formatting of output:\npretty = Print verbose output;\nterse = Display one character per "
         "test;\njson = Output a json document;\njunit = Output a JUnit document",
     .order = 7,
     .given = set_format},
    {.name = "show-output",
     .help = "Show captured stdout of successful tests",
     .given = [](RunPlan& plan, const OptionInput&) -> Outcome {
         plan.display.show_passing_output = true;
         return {};
     }},
    // Options kept experimental elsewhere are plain options here; `-Z unstable-options` is accepted and
    // changes nothing.
    {.letter = 'Z',
     .hint = "unstable-options",
     .help = "Accepted for compatibility; every option is\navailable without it",
     .order = 1,
     .given = [](RunPlan&, const OptionInput& input) -> Outcome {
         if (input.values.front() != "unstable-options") {
             return std::unexpected(std::string("Unrecognized option to `Z`"));
         }
         return {};
     }},
    {.name = "report-time",
     .help =
         "Show execution time of each test.\nThreshold values for colorized output can be\nconfigured "
         "via\nthe `OVRA_TEST_TIME_UNIT` environment variable.\nExpected format of environment variable "
         "is\n`VARIABLE=WARN_TIME,CRITICAL_TIME`.\nDurations are given in milliseconds, e.g.\n`500,2000` "
         "means that the warn time\nis 0.5 seconds, and the critical time is 2 seconds.\nNot available for "
         "--format=terse",
     .given = [](RunPlan& plan, const OptionInput&) { return enable_time_limits(plan, false); }},
    {.name = "ensure-time",
     .help = "Treat excess of the test execution time limit as\nerror.\nThreshold values for this option can "
             "be configured via\nthe `OVRA_TEST_TIME_UNIT` environment variable.\nExpected format of "
             "environment variable is\n`VARIABLE=WARN_TIME,CRITICAL_TIME`.\n`CRITICAL_TIME` here means the "
             "limit that should not\nbe exceeded by test.",
     .given = [](RunPlan& plan, const OptionInput&) { return enable_time_limits(plan, true); }},
    {.name = "shuffle", .help = "Run tests in random order", .given = set_shuffle},
    {.name = "shuffle-seed",
     .hint = "SEED",
     .help = "Run tests in random order; seed the random number\ngenerator with SEED",
     .order = 2,
     .given = set_shuffle_seed},
    // No option of its own: the thresholds of `--report-time` and `--ensure-time`, checked before the worker
    // count.
    {.variable = "OVRA_TEST_TIME_UNIT", .order = 3, .absent = set_time_unit},
});

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

OptionName long_form(std::string_view word) {
    if (word.size() == 1) {
        return {word.front(), {}};
    }
    return {'\0', word};
}

bool is_option(const OptionRow& row) {
    return row.letter != '\0' || !row.name.empty();
}

bool takes_value(const OptionRow& row) {
    return !row.hint.empty();
}

std::optional<std::size_t> find_option(const OptionName& name) {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const bool found = name.word.empty() ? rows[index].letter != '\0' && rows[index].letter == name.letter
                                             : rows[index].name == name.word;
        if (found && is_option(rows[index])) {
            return index;
        }
    }
    return std::nullopt;
}

// Evaluated while compiling, so a misspelt name does not build.
consteval std::size_t index_of(std::string_view name) {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (rows[index].name == name) {
            return index;
        }
    }
    throw "no such option";
}

// The names one argument gives: a long name, or a cluster of letters of which the first that takes a value
// takes the rest of the cluster as its value.
std::expected<std::vector<OptionName>, std::string> names_in(std::string_view argument,
                                                             std::optional<std::string>& inline_value) {
    std::vector<OptionName> names;
    if (argument.starts_with("--")) {
        const std::string_view tail = argument.substr(2);
        const std::size_t equals = tail.find('=');
        names.push_back(long_form(tail.substr(0, equals)));
        if (equals != std::string_view::npos) {
            inline_value = std::string(tail.substr(equals + 1));
        }
        return names;
    }
    for (std::size_t at = 1; at < argument.size(); ++at) {
        const OptionName name{argument[at], {}};
        const std::optional<std::size_t> option = find_option(name);
        if (!option) {
            return std::unexpected(fmt::format("Unrecognized option: '{}'", render(name)));
        }
        names.push_back(name);
        if (takes_value(rows[*option]) && at + 1 < argument.size()) {
            inline_value = std::string(argument.substr(at + 1));
            break;
        }
    }
    return names;
}

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
            const std::optional<std::size_t> option = find_option(name);
            if (!option) {
                return std::unexpected(fmt::format("Unrecognized option: '{}'", render(name)));
            }
            std::vector<std::string>& values = matched.values[*option];
            if (!takes_value(rows[*option])) {
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
    for (std::size_t option = 0; option < rows.size(); ++option) {
        if (rows[option].repeat == Repeat::Once && matched.values[option].size() > 1) {
            return std::unexpected(fmt::format("Option '{}' given more than once", render(rows[option])));
        }
    }
    return matched;
}

// Row indices in the order their setters run.
std::array<std::size_t, rows.size()> setter_order() {
    std::array<std::size_t, rows.size()> order{};
    for (std::size_t index = 0; index < rows.size(); ++index) {
        order[index] = index;
    }
    std::stable_sort(order.begin(), order.end(),
                     [](std::size_t a, std::size_t b) { return rows[a].order < rows[b].order; });
    return order;
}

}  // namespace

bool OptionInput::given(std::string_view name) const {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (rows[index].name == name) {
            return !arguments.values[index].empty();
        }
    }
    return false;
}

std::span<const OptionRow> option_rows() {
    return rows;
}

std::vector<std::string_view> option_variables() {
    std::vector<std::string_view> variables;
    for (const OptionRow& row : rows) {
        if (!row.variable.empty()) {
            variables.push_back(row.variable);
        }
    }
    return variables;
}

std::expected<CommandLine, std::string> parse_command_line(
    std::span<const std::string_view> args, const RunEnvironment& environment,
    const std::function<void(std::string_view)>& warn) {
    const std::string program = args.empty() ? std::string("...") : std::string(args.front());
    const std::expected<MatchedArguments, std::string> matched =
        match_arguments(args.empty() ? args : args.subspan(1));
    if (!matched) {
        return std::unexpected(matched.error());
    }
    if (!matched->values[index_of("help")].empty()) {
        return HelpRequest{program};
    }
    RunPlan plan;
    plan.program = program;
    plan.selection.filters = matched->free;
    plan.long_running_after = environment.long_running_after;
    const std::array<std::size_t, rows.size()> order = setter_order();
    // The options given, each checked as it is set; then, those absent, where the surroundings stand in for
    // them. A listing reads no variable, so none can refuse it.
    for (const std::size_t index : order) {
        const OptionRow& row = rows[index];
        const std::vector<std::string>& values = matched->values[index];
        if (row.given != nullptr && !values.empty()) {
            if (Outcome set =
                    row.given(plan, OptionInput{values, std::nullopt, environment, program, *matched});
                !set) {
                return std::unexpected(std::move(set.error()));
            }
        }
    }
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (!rows[index].warning.empty() && !matched->values[index].empty()) {
            warn(rows[index].warning);
        }
    }
    const bool run = plan.action == PlanAction::Run;
    for (const std::size_t index : order) {
        const OptionRow& row = rows[index];
        if (row.absent == nullptr || !matched->values[index].empty()) {
            continue;
        }
        std::optional<std::string_view> variable;
        if (run && !row.variable.empty()) {
            if (const auto found = environment.variables.find(row.variable);
                found != environment.variables.end()) {
                variable = found->second;
            }
        }
        if (Outcome set = row.absent(plan, OptionInput{{}, variable, environment, program, *matched}); !set) {
            return std::unexpected(std::move(set.error()));
        }
    }
    return plan;
}

}  // namespace ovra_runner
