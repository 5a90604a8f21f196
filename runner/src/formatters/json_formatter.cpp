#include "json_formatter.hpp"

#include <string>

#include <fmt/format.h>

#include "json_text.hpp"
#include "number_text.hpp"

namespace ovra_runner {

namespace {

std::string seconds(std::chrono::nanoseconds duration) {
    return plain_decimal(std::chrono::duration<double>(duration).count());
}

// The event word and, for some results, one more member after the output.
struct ResultShape {
    std::string_view event;
    std::string extra;
};

ResultShape shape_of(const CompletedTest& completed) {
    const ResultClass result = classify(completed.result);
    switch (result.kind) {
        case ResultKind::Passed:
            return {"ok", {}};
        case ResultKind::Failed:
            if (result.note.empty()) {
                return {"failed", {}};
            }
            return {"failed", fmt::format("\"message\": \"{}\"", json_escape(result.note))};
        case ResultKind::TimeLimitExceeded:
            return {"failed", "\"reason\": \"time limit exceeded\""};
        case ResultKind::Ignored:
            break;
    }
    if (completed.test.ignore_message) {
        return {"ignored", fmt::format("\"message\": \"{}\"", json_escape(*completed.test.ignore_message))};
    }
    return {"ignored", {}};
}

struct JsonEvents {
    JsonFormatter& formatter;
    Terminal& terminal;

    void operator()(const RunStarted& event) const {
        const std::string seed =
            event.shuffle_seed ? fmt::format(", \"shuffle_seed\": {}", *event.shuffle_seed) : std::string();
        write_out(terminal,
                  fmt::format("{{ \"type\": \"suite\", \"event\": \"started\", \"test_count\": {}{} }}\n",
                              event.test_count, seed));
    }
    void operator()(const TestStarted& event) const {
        write_out(terminal,
                  fmt::format("{{ \"type\": \"test\", \"event\": \"started\", \"name\": \"{}\" }}\n",
                              json_escape(event.test.name)));
    }
    void operator()(const TestRunningLong& event) const {
        write_out(terminal,
                  fmt::format("{{ \"type\": \"test\", \"event\": \"timeout\", \"name\": \"{}\" }}\n",
                              json_escape(event.test.name)));
    }
    void operator()(const ResultReported& event) const {
        const CompletedTest& completed = event.completed;
        const ResultShape shape = shape_of(completed);
        std::string line = fmt::format("{{ \"type\": \"test\", \"name\": \"{}\", \"event\": \"{}\"",
                                       json_escape(completed.test.name), shape.event);
        if (completed.exec_time) {
            line.append(fmt::format(", \"exec_time\": {}", seconds(*completed.exec_time)));
        }
        const bool display_output =
            formatter.show_passing_output || classify(completed.result).kind != ResultKind::Passed;
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
    void operator()(const RunFinished& event) const {
        const ConsoleState& state = event.state;
        std::string line = fmt::format(
            "{{ \"type\": \"suite\", \"event\": \"{}\", \"passed\": {}, \"failed\": {}, \"ignored\": {}, "
            "\"measured\": {}, "
            "\"filtered_out\": {}",
            state.failed == 0 ? "ok" : "failed", state.passed, state.failed, state.ignored, state.measured,
            state.filtered_out);
        if (state.exec_time) {
            line.append(fmt::format(", \"exec_time\": {}", seconds(*state.exec_time)));
        }
        line.append(" }\n");
        write_out(terminal, line);
    }
    void operator()(const ListingStarted&) const {
        write_out(terminal, "{ \"type\": \"suite\", \"event\": \"discovery\" }\n");
    }
    void operator()(const TestListed& event) const {
        const TestDescriptor& test = event.test;
        write_out(
            terminal,
            fmt::format("{{ \"type\": \"test\", \"event\": \"discovered\", \"name\": \"{}\", \"ignore\": {}, "
                        "\"ignore_message\": \"{}\", \"source_path\": \"{}\", \"start_line\": {}, "
                        "\"start_col\": {}, \"end_line\": {}, \"end_col\": {} }}\n",
                        json_escape(test.name), test.ignore, json_escape(test.ignore_message.value_or("")),
                        json_escape(test.source_file), test.start_line, test.start_col, test.end_line,
                        test.end_col));
    }
    void operator()(const ListingFinished& event) const {
        const DiscoveryState& state = event.state;
        write_out(terminal,
                  fmt::format(
                      "{{ \"type\": \"suite\", \"event\": \"completed\", \"tests\": {}, \"benchmarks\": {}, "
                      "\"total\": {}, \"ignored\": {} }}\n",
                      state.tests, state.benchmarks, state.tests + state.benchmarks, state.ignored));
    }
};

}  // namespace

void write_event(JsonFormatter& formatter, Terminal& terminal, const FormatterEvent& event) {
    std::visit(JsonEvents{formatter, terminal}, event);
}

}  // namespace ovra_runner
