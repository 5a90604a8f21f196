#include "report_lines.hpp"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "number_text.hpp"

namespace ovra_runner {

namespace {

// "1 test" or "N tests".
std::string counted(std::size_t count, std::string_view noun) {
    return count == 1 ? fmt::format("1 {}", noun) : fmt::format("{} {}s", count, noun);
}

}  // namespace

std::string run_header(const RunPlan& plan) {
    const std::string seed =
        plan.shuffle_seed ? fmt::format(" (shuffle seed: {})", *plan.shuffle_seed) : std::string();
    return fmt::format("\nrunning {}{}\n", counted(plan.tests.size(), "test"), seed);
}

std::string long_running_text(const RunPlan& plan, const TestDescriptor& test) {
    const std::chrono::milliseconds after = plan.long_running_after;
    const std::string seconds = after.count() % 1000 == 0
                                    ? fmt::format("{}", after.count() / 1000)
                                    : plain_seconds(after);
    return fmt::format("test {} has been running for over {} seconds\n", test.name, seconds);
}

namespace {

// The results of one kind: a blank-separated block of outputs (each with its note) under "HEADING:" and
// then the sorted names under "HEADING:" again.
void write_results(Console& console, const std::vector<CompletedTest>& results, ResultKind kind,
                   std::string_view heading_text) {
    std::vector<std::string_view> names;
    std::string outputs;
    for (const CompletedTest& result : results) {
        if (result.kind != kind) {
            continue;
        }
        names.push_back(result.test.name);
        if (!result.output.empty() || !result.note.empty()) {
            outputs.append(fmt::format("---- {} stdout ----\n", result.test.name));
            outputs.append(result.output);
            if (!result.note.empty()) {
                outputs.append(fmt::format("note: {}", result.note));
            }
            outputs.push_back('\n');
        }
    }
    const std::string heading = fmt::format("\n{}:\n", heading_text);
    write_out(console, heading);
    if (!outputs.empty()) {
        write_out(console, "\n");
        write_out(console, outputs);
    }
    write_out(console, heading);
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string_view name : names) {
        list.append(fmt::format("    {}\n", name));
    }
    write_out(console, list);
}

}  // namespace

void write_run_summary(const RunPlan& plan, Console& console, const RunSummary& summary) {
    if (plan.display.show_passing_output) {
        write_results(console, summary.results, ResultKind::Passed, "successes");
    }
    const auto any = [&](ResultKind kind) {
        return std::any_of(summary.results.begin(), summary.results.end(),
                           [&](const CompletedTest& result) { return result.kind == kind; });
    };
    if (any(ResultKind::Failed)) {
        write_results(console, summary.results, ResultKind::Failed, "failures");
    }
    if (any(ResultKind::TimeLimitExceeded)) {
        write_results(console, summary.results, ResultKind::TimeLimitExceeded, "failures (time limit exceeded)");
    }
    const bool success = summary.failed == 0;
    write_out(console, "\ntest result: ");
    if (success) {
        write_colored(console, plan.use_color, "ok", Color::Green);
    } else {
        write_colored(console, plan.use_color, "FAILED", Color::Red);
    }
    std::string line =
        fmt::format(". {} passed; {} failed; {} ignored; 0 measured; {} filtered out", summary.passed,
                    summary.failed, summary.ignored, plan.filtered_out);
    if (summary.exec_time) {
        line.append(
            fmt::format("; finished in {:.2f}s", std::chrono::duration<double>(*summary.exec_time).count()));
    }
    line.append("\n\n");
    write_out(console, line);
}

std::string listed_test_line(const TestDescriptor& test) {
    return fmt::format("{}: test\n", test.name);
}

std::string listing_summary(const RunPlan& plan) {
    const std::string_view blank = plan.tests.empty() ? "" : "\n";
    return fmt::format("{}{}, 0 benchmarks\n", blank, counted(plan.tests.size(), "test"));
}

}  // namespace ovra_runner
