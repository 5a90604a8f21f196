#include "ovra/runner/options.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

#include <fmt/format.h>

#include "integer_text.hpp"

namespace ovra_runner {

namespace {

enum class Arity { Flag, Value };
enum class Repeat { Once, Many };

struct OptionRow {
    char short_name;  // '\0' when the option has none
    std::string_view long_name;
    Arity arity;
    Repeat repeat;
};

// Messages name an option by its long name, or by its letter when it has none. Duplicates are reported in
// table order.
constexpr auto option_table = std::to_array<OptionRow>({
    {'\0', "include-ignored", Arity::Flag, Repeat::Once},
    {'\0', "ignored", Arity::Flag, Repeat::Once},
    {'\0', "force-run-in-process", Arity::Flag, Repeat::Once},
    {'\0', "exclude-should-panic", Arity::Flag, Repeat::Once},
    {'\0', "test", Arity::Flag, Repeat::Once},
    {'\0', "bench", Arity::Flag, Repeat::Once},
    {'\0', "list", Arity::Flag, Repeat::Once},
    {'\0', "fail-fast", Arity::Flag, Repeat::Once},
    {'h', "help", Arity::Flag, Repeat::Once},
    {'\0', "logfile", Arity::Value, Repeat::Once},
    {'\0', "no-capture", Arity::Flag, Repeat::Once},
    {'\0', "nocapture", Arity::Flag, Repeat::Once},
    {'\0', "test-threads", Arity::Value, Repeat::Once},
    {'\0', "skip", Arity::Value, Repeat::Many},
    {'q', "quiet", Arity::Flag, Repeat::Once},
    {'\0', "exact", Arity::Flag, Repeat::Once},
    {'\0', "color", Arity::Value, Repeat::Once},
    {'\0', "format", Arity::Value, Repeat::Once},
    {'\0', "show-output", Arity::Flag, Repeat::Once},
    {'Z', "", Arity::Value, Repeat::Once},
    {'\0', "report-time", Arity::Flag, Repeat::Once},
    {'\0', "ensure-time", Arity::Flag, Repeat::Once},
    {'\0', "shuffle", Arity::Flag, Repeat::Once},
    {'\0', "shuffle-seed", Arity::Value, Repeat::Once},
    {'\0', "isolate", Arity::Flag, Repeat::Once},
    {'\0', "timeout", Arity::Value, Repeat::Once},
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

std::string render(const OptionRow& row) {
    return row.long_name.empty() ? std::string(1, row.short_name) : std::string(row.long_name);
}

OptionName long_form(std::string_view word) {
    if (word.size() == 1) {
        return {word.front(), {}};
    }
    return {'\0', word};
}

std::optional<std::size_t> find_option(const OptionName& name) {
    for (std::size_t index = 0; index < option_table.size(); ++index) {
        const OptionRow& row = option_table[index];
        const bool found = name.word.empty() ? row.short_name != '\0' && row.short_name == name.letter
                                             : row.long_name == name.word;
        if (found) {
            return index;
        }
    }
    return std::nullopt;
}

// Evaluated while compiling, so a misspelt name does not build.
consteval std::size_t index_of(std::string_view long_name) {
    for (std::size_t index = 0; index < option_table.size(); ++index) {
        if (option_table[index].long_name == long_name) {
            return index;
        }
    }
    throw "no such option";
}

consteval std::size_t index_of(char letter) {
    for (std::size_t index = 0; index < option_table.size(); ++index) {
        if (option_table[index].short_name == letter) {
            return index;
        }
    }
    throw "no such option";
}

// Every occurrence of every option (a flag records an empty value) and the free arguments.
struct Matches {
    std::array<std::vector<std::string>, option_table.size()> values;
    std::vector<std::string> free;

    bool present(std::size_t option) const { return !values[option].empty(); }
    std::optional<std::string> value(std::size_t option) const {
        if (values[option].empty()) {
            return std::nullopt;
        }
        return values[option].front();
    }
};

std::expected<Matches, std::string> match_arguments(std::span<const std::string_view> args) {
    Matches matches;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view current = args[i];
        if (current.size() < 2 || current.front() != '-') {
            matches.free.emplace_back(current);
            continue;
        }
        if (current == "--") {
            for (std::size_t rest = i + 1; rest < args.size(); ++rest) {
                matches.free.emplace_back(args[rest]);
            }
            break;
        }
        std::vector<OptionName> names;
        std::optional<std::string> inline_value;
        if (current.starts_with("--")) {
            const std::string_view tail = current.substr(2);
            const std::size_t equals = tail.find('=');
            if (equals == std::string_view::npos) {
                names.push_back(long_form(tail));
            } else {
                names.push_back(long_form(tail.substr(0, equals)));
                inline_value = std::string(tail.substr(equals + 1));
            }
        } else {
            // A cluster of letters; the first letter that takes a value takes the rest of the cluster.
            for (std::size_t j = 1; j < current.size(); ++j) {
                const OptionName name{current[j], {}};
                const std::optional<std::size_t> option = find_option(name);
                if (!option) {
                    return std::unexpected(fmt::format("Unrecognized option: '{}'", render(name)));
                }
                names.push_back(name);
                if (option_table[*option].arity == Arity::Value && j + 1 < current.size()) {
                    inline_value = std::string(current.substr(j + 1));
                    break;
                }
            }
        }
        for (std::size_t position = 0; position < names.size(); ++position) {
            const std::optional<std::size_t> option = find_option(names[position]);
            if (!option) {
                return std::unexpected(fmt::format("Unrecognized option: '{}'", render(names[position])));
            }
            const bool last = position + 1 == names.size();
            if (option_table[*option].arity == Arity::Flag) {
                if (last && inline_value) {
                    return std::unexpected(
                        fmt::format("Option '{}' does not take an argument", render(names[position])));
                }
                matches.values[*option].emplace_back();
            } else if (inline_value) {
                matches.values[*option].push_back(std::move(*inline_value));
                inline_value.reset();
            } else if (i + 1 == args.size()) {
                return std::unexpected(
                    fmt::format("Argument to option '{}' missing", render(names[position])));
            } else {
                ++i;
                matches.values[*option].emplace_back(args[i]);
            }
        }
    }
    for (std::size_t option = 0; option < option_table.size(); ++option) {
        if (option_table[option].repeat == Repeat::Once && matches.values[option].size() > 1) {
            return std::unexpected(
                fmt::format("Option '{}' given more than once", render(option_table[option])));
        }
    }
    return matches;
}

// One validator per option with something to check, each returning the message of what is wrong. They run
// in a fixed order, so that a command line with several faults reports the same one every time.

using Problem = std::optional<std::string>;

Problem validate_unstable(const Matches& matches) {
    const std::optional<std::string> value = matches.value(index_of('Z'));
    if (value && *value != "unstable-options") {
        return "Unrecognized option to `Z`";
    }
    return std::nullopt;
}

Problem validate_shuffle_seed(const Matches& matches, TestOptions& options) {
    const std::optional<std::string> value = matches.value(index_of("shuffle-seed"));
    if (!value) {
        return std::nullopt;
    }
    const auto seed = parse_unsigned(*value);
    if (!seed) {
        return fmt::format("argument for --shuffle-seed must be a number (error: {})",
                           describe(seed.error()));
    }
    options.shuffle_seed = *seed;
    return std::nullopt;
}

Problem validate_run_ignored(const Matches& matches, TestOptions& options) {
    const bool include = matches.present(index_of("include-ignored"));
    const bool only = matches.present(index_of("ignored"));
    if (include && only) {
        return "the options --include-ignored and --ignored are mutually exclusive";
    }
    options.run_ignored = include ? RunIgnored::Yes : only ? RunIgnored::Only : RunIgnored::No;
    return std::nullopt;
}

Problem validate_test_threads(const Matches& matches, TestOptions& options) {
    const std::optional<std::string> value = matches.value(index_of("test-threads"));
    if (!value) {
        return std::nullopt;
    }
    const auto count = parse_unsigned(*value);
    if (!count) {
        return fmt::format("argument for --test-threads must be a number > 0 (error: {})",
                           describe(count.error()));
    }
    if (*count == 0) {
        return "argument for --test-threads must not be 0";
    }
    options.test_threads = static_cast<std::size_t>(*count);
    return std::nullopt;
}

Problem validate_timeout(const Matches& matches, TestOptions& options) {
    const std::optional<std::string> value = matches.value(index_of("timeout"));
    if (!value) {
        return std::nullopt;
    }
    const auto seconds = parse_unsigned(*value);
    if (!seconds) {
        return fmt::format("argument for --timeout must be a number > 0 (error: {})", describe(seconds.error()));
    }
    if (*seconds == 0) {
        return "argument for --timeout must not be 0";
    }
    options.timeout_seconds = *seconds;
    return std::nullopt;
}

Problem validate_color(const Matches& matches, TestOptions& options) {
    const std::optional<std::string> value = matches.value(index_of("color"));
    if (!value || *value == "auto") {
        options.color = ColorConfig::Auto;
    } else if (*value == "always") {
        options.color = ColorConfig::Always;
    } else if (*value == "never") {
        options.color = ColorConfig::Never;
    } else {
        return fmt::format("argument for --color must be auto, always, or never (was {})", *value);
    }
    return std::nullopt;
}

Problem validate_format(const Matches& matches, TestOptions& options) {
    const std::optional<std::string> value = matches.value(index_of("format"));
    if (!value) {
        options.format = matches.present(index_of("quiet")) ? OutputFormat::Terse : OutputFormat::Pretty;
    } else if (*value == "pretty") {
        options.format = OutputFormat::Pretty;
    } else if (*value == "terse") {
        options.format = OutputFormat::Terse;
    } else if (*value == "json") {
        options.format = OutputFormat::Json;
    } else if (*value == "junit") {
        options.format = OutputFormat::Junit;
    } else {
        return fmt::format("argument for --format must be pretty, terse, json or junit (was {})", *value);
    }
    return std::nullopt;
}

}  // namespace

std::expected<CommandLine, std::string> parse_command_line(std::span<const std::string_view> args) {
    const std::string program = args.empty() ? std::string("...") : std::string(args.front());
    const std::span<const std::string_view> rest = args.empty() ? args : args.subspan(1);
    std::expected<Matches, std::string> matched = match_arguments(rest);
    if (!matched) {
        return std::unexpected(std::move(matched.error()));
    }
    const Matches& matches = *matched;
    if (matches.present(index_of('h'))) {
        return HelpRequest{program};
    }

    TestOptions options;
    options.program = program;
    const auto flag = [&](std::size_t option) { return matches.present(option); };
    // Options kept experimental elsewhere are plain options here; `-Z unstable-options` is accepted and
    // changes nothing.
    if (Problem problem = validate_unstable(matches)) {
        return std::unexpected(std::move(*problem));
    }
    options.force_run_in_process = flag(index_of("force-run-in-process"));
    options.exclude_should_panic = flag(index_of("exclude-should-panic"));
    options.report_time = flag(index_of("report-time"));
    options.ensure_time = flag(index_of("ensure-time"));
    options.shuffle = flag(index_of("shuffle"));
    if (Problem problem = validate_shuffle_seed(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    options.filter_exact = flag(index_of("exact"));
    options.list = flag(index_of("list"));
    options.skip = matches.values[index_of("skip")];
    options.bench_benchmarks = flag(index_of("bench"));
    options.run_tests = !options.bench_benchmarks || flag(index_of("test"));
    options.logfile = matches.value(index_of("logfile"));
    if (Problem problem = validate_run_ignored(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    options.filters = matches.free;
    options.nocapture = flag(index_of("no-capture")) || flag(index_of("nocapture"));
    if (Problem problem = validate_test_threads(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    options.isolate = flag(index_of("isolate"));
    if (Problem problem = validate_timeout(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    if (Problem problem = validate_color(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    if (Problem problem = validate_format(matches, options)) {
        return std::unexpected(std::move(*problem));
    }
    options.display_output = flag(index_of("show-output"));
    options.fail_fast = flag(index_of("fail-fast"));
    return options;
}

}  // namespace ovra_runner
