#include "json_formatter.hpp"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "json_text.hpp"
#include "number_text.hpp"

namespace ovra_runner {

namespace {

// The event word and, for some results, one more member after the output.
struct ResultShape {
    std::string_view event;
    std::string extra;
};

ResultShape shape_of(const CompletedTest& completed) {
    switch (completed.kind) {
        case ResultKind::Passed:
            return {"ok", {}};
        case ResultKind::Failed:
            if (completed.note.empty()) {
                return {"failed", {}};
            }
            return {"failed", fmt::format("\"message\": \"{}\"", json_escape(completed.note))};
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

}  // namespace

void write(JsonFormatter& formatter, Console& console, const RunStarted&) {
    const std::string seed = formatter.plan.shuffle_seed
                                 ? fmt::format(", \"shuffle_seed\": {}", *formatter.plan.shuffle_seed)
                                 : std::string();
    write_out(console,
              fmt::format("{{ \"type\": \"suite\", \"event\": \"started\", \"test_count\": {}{} }}\n",
                          formatter.plan.tests.size(), seed));
}

void write(JsonFormatter&, Console& console, const TestStarted& step) {
    write_out(console, fmt::format("{{ \"type\": \"test\", \"event\": \"started\", \"name\": \"{}\" }}\n",
                                   json_escape(step.test.name)));
}

void write(JsonFormatter&, Console& console, const TestRunningLong& step) {
    write_out(console, fmt::format("{{ \"type\": \"test\", \"event\": \"timeout\", \"name\": \"{}\" }}\n",
                                   json_escape(step.test.name)));
}

void write(JsonFormatter& formatter, Console& console, const TestFinished& step) {
    const CompletedTest& completed = step.completed;
    const ResultShape shape = shape_of(completed);
    std::string line = fmt::format("{{ \"type\": \"test\", \"name\": \"{}\", \"event\": \"{}\"",
                                   json_escape(completed.test.name), shape.event);
    if (formatter.plan.time_limits && completed.kind != ResultKind::Ignored) {
        line.append(fmt::format(", \"exec_time\": {}", plain_seconds(completed.exec_time)));
    }
    const bool display_output =
        formatter.plan.display.show_passing_output || completed.kind != ResultKind::Passed;
    if (display_output && !completed.output.empty()) {
        line.append(fmt::format(", \"stdout\": \"{}\"", json_escape(completed.output)));
    }
    if (!shape.extra.empty()) {
        line.append(", ");
        line.append(shape.extra);
    }
    line.append(" }\n");
    write_out(console, line);
}

void write(JsonFormatter& formatter, Console& console, const RunFinished& step) {
    const RunSummary& summary = step.summary;
    std::string line = fmt::format(
        "{{ \"type\": \"suite\", \"event\": \"{}\", \"passed\": {}, \"failed\": {}, \"ignored\": {}, "
        "\"measured\": 0, \"filtered_out\": {}",
        summary.failed == 0 ? "ok" : "failed", summary.passed, summary.failed, summary.ignored,
        formatter.plan.filtered_out);
    if (summary.exec_time) {
        line.append(fmt::format(", \"exec_time\": {}", plain_seconds(*summary.exec_time)));
    }
    line.append(" }\n");
    write_out(console, line);
}

void write(JsonFormatter&, Console& console, const ListingStarted&) {
    write_out(console, "{ \"type\": \"suite\", \"event\": \"discovery\" }\n");
}

void write(JsonFormatter&, Console& console, const TestListed& step) {
    const TestDescriptor& test = step.test;
    write_out(
        console,
        fmt::format("{{ \"type\": \"test\", \"event\": \"discovered\", \"name\": \"{}\", \"ignore\": {}, "
                    "\"ignore_message\": \"{}\", \"source_path\": \"{}\", \"start_line\": {}, "
                    "\"start_col\": {}, \"end_line\": {}, \"end_col\": {} }}\n",
                    json_escape(test.name), test.ignore, json_escape(test.ignore_message.value_or("")),
                    json_escape(test.source_file), test.start_line, test.start_col, test.end_line,
                    test.end_col));
}

void write(JsonFormatter& formatter, Console& console, const ListingFinished&) {
    const std::vector<TestDescriptor>& tests = formatter.plan.tests;
    const auto ignored = std::count_if(tests.begin(), tests.end(), [](const TestDescriptor& test) { return test.ignore; });
    write_out(console, fmt::format("{{ \"type\": \"suite\", \"event\": \"completed\", \"tests\": {}, "
                                   "\"benchmarks\": 0, \"total\": {}, \"ignored\": {} }}\n",
                                   tests.size(), tests.size(), ignored));
}

}  // namespace ovra_runner
