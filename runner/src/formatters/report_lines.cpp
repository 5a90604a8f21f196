#include "report_lines.hpp"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "number_text.hpp"

namespace ovra_runner {

std::string run_header(std::size_t test_count, std::optional<std::uint64_t> shuffle_seed) {
    const std::string_view noun = test_count != 1 ? "tests" : "test";
    const std::string seed = shuffle_seed ? fmt::format(" (shuffle seed: {})", *shuffle_seed) : std::string();
    return fmt::format("\nrunning {} {}{}\n", test_count, noun, seed);
}

std::string long_running_text(std::string_view name, std::chrono::milliseconds after) {
    const std::string seconds = after.count() % 1000 == 0
                                    ? fmt::format("{}", after.count() / 1000)
                                    : plain_decimal(std::chrono::duration<double>(after).count());
    return fmt::format("test {} has been running for over {} seconds\n", name, seconds);
}

void write_results(Terminal& terminal, const std::vector<KeptOutput>& results, std::string_view kind) {
    const std::string heading = fmt::format("\n{}:\n", kind);
    write_out(terminal, heading);
    std::vector<std::string_view> names;
    std::string outputs;
    for (const KeptOutput& result : results) {
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
    if (!outputs.empty()) {
        write_out(terminal, "\n");
        write_out(terminal, outputs);
    }
    write_out(terminal, heading);
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string_view name : names) {
        list.append(fmt::format("    {}\n", name));
    }
    write_out(terminal, list);
}

void write_run_summary(Terminal& terminal, const ConsoleState& state, bool show_passing_output) {
    if (show_passing_output) {
        write_results(terminal, state.not_failures, "successes");
    }
    const bool success = state.failed == 0;
    if (!success) {
        if (!state.failures.empty()) {
            write_results(terminal, state.failures, "failures");
        }
        if (!state.time_failures.empty()) {
            write_results(terminal, state.time_failures, "failures (time limit exceeded)");
        }
    }
    write_out(terminal, "\ntest result: ");
    if (success) {
        write_colored(terminal, "ok", Color::Green);
    } else {
        write_colored(terminal, "FAILED", Color::Red);
    }
    std::string line =
        fmt::format(". {} passed; {} failed; {} ignored; {} measured; {} filtered out", state.passed,
                    state.failed, state.ignored, state.measured, state.filtered_out);
    if (state.exec_time) {
        line.append(
            fmt::format("; finished in {:.2f}s", std::chrono::duration<double>(*state.exec_time).count()));
    }
    line.append("\n\n");
    write_out(terminal, line);
}

std::string count_of(std::size_t count, std::string_view noun) {
    return count == 1 ? fmt::format("1 {}", noun) : fmt::format("{} {}s", count, noun);
}

std::string listed_test_line(const TestDescriptor& test) {
    return fmt::format("{}: test\n", test.name);
}

std::string listing_summary(const DiscoveryState& state) {
    const std::string_view blank = state.tests != 0 || state.benchmarks != 0 ? "\n" : "";
    return fmt::format("{}{}, {}\n", blank, count_of(state.tests, "test"),
                       count_of(state.benchmarks, "benchmark"));
}

}  // namespace ovra_runner
