#include "json_formatter.hpp"

#include <string>

#include <fmt/format.h>

#include "json_text.hpp"

namespace ovra_tests {

namespace {

double seconds(std::chrono::nanoseconds duration) {
    return std::chrono::duration<double>(duration).count();
}

// The event word and, for some results, one more member after the output.
struct ResultShape {
    std::string_view event;
    std::string extra;
};

ResultShape shape_of(const CompletedTest& completed) {
    return std::visit(
        [&](const auto& result) -> ResultShape {
            using Result = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Result, TestPassed>) {
                return {"ok", {}};
            } else if constexpr (std::is_same_v<Result, TestFailed>) {
                return {"failed", {}};
            } else if constexpr (std::is_same_v<Result, TestFailedWithNote>) {
                return {"failed", fmt::format("\"message\": \"{}\"", json_escape(result.message))};
            } else if constexpr (std::is_same_v<Result, TestTimeLimitExceeded>) {
                return {"failed", "\"reason\": \"time limit exceeded\""};
            } else {
                if (completed.test.ignore_message) {
                    return {"ignored",
                            fmt::format("\"message\": \"{}\"", json_escape(*completed.test.ignore_message))};
                }
                return {"ignored", {}};
            }
        },
        completed.result);
}

}  // namespace

void write_run_start(JsonFormatter&, Terminal& terminal, std::size_t test_count,
                     std::optional<std::uint64_t> shuffle_seed) {
    const std::string seed =
        shuffle_seed ? fmt::format(", \"shuffle_seed\": {}", *shuffle_seed) : std::string();
    write_out(terminal,
              fmt::format("{{ \"type\": \"suite\", \"event\": \"started\", \"test_count\": {}{} }}\n",
                          test_count, seed));
}

void write_test_start(JsonFormatter&, Terminal& terminal, const TestDescriptor& test) {
    write_out(terminal, fmt::format("{{ \"type\": \"test\", \"event\": \"started\", \"name\": \"{}\" }}\n",
                                    json_escape(test.name)));
}

void write_timeout(JsonFormatter&, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds) {
    write_out(terminal, fmt::format("{{ \"type\": \"test\", \"event\": \"timeout\", \"name\": \"{}\" }}\n",
                                    json_escape(test.name)));
}

void write_result(JsonFormatter&, Terminal& terminal, const CompletedTest& completed,
                  const ConsoleState& state) {
    const ResultShape shape = shape_of(completed);
    std::string line = fmt::format("{{ \"type\": \"test\", \"name\": \"{}\", \"event\": \"{}\"",
                                   json_escape(completed.test.name), shape.event);
    if (completed.exec_time) {
        line.append(fmt::format(", \"exec_time\": {}", json_number(seconds(*completed.exec_time))));
    }
    const bool display_output = (state.options != nullptr && state.options->display_output) ||
                                !std::holds_alternative<TestPassed>(completed.result);
    if (display_output && !completed.output.empty()) {
        line.append(fmt::format(", \"stdout\": \"{}\"", json_escape(completed.output)));
    }
    if (!shape.extra.empty()) {
        line.append(", ");
        line.append(shape.extra);
    }
    line.append(" }\n");
    write_out(terminal, line);
}

bool write_run_finish(JsonFormatter&, Terminal& terminal, const ConsoleState& state) {
    const bool success = state.failed == 0;
    std::string line = fmt::format(
        "{{ \"type\": \"suite\", \"event\": \"{}\", \"passed\": {}, \"failed\": {}, \"ignored\": {}, "
        "\"measured\": {}, "
        "\"filtered_out\": {}",
        success ? "ok" : "failed", state.passed, state.failed, state.ignored, state.measured,
        state.filtered_out);
    if (state.exec_time) {
        line.append(fmt::format(", \"exec_time\": {}", json_number(seconds(*state.exec_time))));
    }
    line.append(" }\n");
    write_out(terminal, line);
    return success;
}

void write_discovery_start(JsonFormatter&, Terminal& terminal) {
    write_out(terminal, "{ \"type\": \"suite\", \"event\": \"discovery\" }\n");
}

void write_test_discovered(JsonFormatter&, Terminal& terminal, const TestDescriptor& test) {
    write_out(
        terminal,
        fmt::format(
            "{{ \"type\": \"test\", \"event\": \"discovered\", \"name\": \"{}\", \"ignore\": {}, "
            "\"ignore_message\": \"{}\", \"source_path\": \"{}\", \"start_line\": {}, \"start_col\": {}, "
            "\"end_line\": {}, \"end_col\": {} }}\n",
            json_escape(test.name), test.ignore, json_escape(test.ignore_message.value_or("")),
            json_escape(test.source_file), test.start_line, test.start_col, test.end_line, test.end_col));
}

void write_discovery_finish(JsonFormatter&, Terminal& terminal, const DiscoveryState& state) {
    write_out(
        terminal,
        fmt::format("{{ \"type\": \"suite\", \"event\": \"completed\", \"tests\": {}, \"benchmarks\": {}, "
                    "\"total\": {}, \"ignored\": {} }}\n",
                    state.tests, state.benchmarks, state.tests + state.benchmarks, state.ignored));
}

}  // namespace ovra_tests
