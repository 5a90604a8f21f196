#include "run_plan.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "integer_text.hpp"
#include "shuffle.hpp"

namespace ovra_runner {

namespace {

std::vector<TestDescriptor> select_tests(const TestOptions& options, std::span<const TestDescriptor> table) {
    const auto matches = [&](const TestDescriptor& test, std::string_view filter) {
        return options.filter_exact ? test.name == filter : test.name.find(filter) != std::string_view::npos;
    };
    const auto matches_any = [&](const TestDescriptor& test, const std::vector<std::string>& filters) {
        return std::any_of(filters.begin(), filters.end(),
                           [&](const std::string& filter) { return matches(test, filter); });
    };
    std::vector<TestDescriptor> selected;
    for (const TestDescriptor& test : table) {
        if (!options.filters.empty() && !matches_any(test, options.filters)) {
            continue;
        }
        if (matches_any(test, options.skip)) {
            continue;
        }
        if (options.exclude_should_panic && test.should_panic) {
            continue;
        }
        if (options.run_ignored == RunIgnored::Only && !test.ignore) {
            continue;
        }
        TestDescriptor chosen = test;
        if (options.run_ignored != RunIgnored::No) {
            chosen.ignore = false;
        }
        selected.push_back(chosen);
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const TestDescriptor& a, const TestDescriptor& b) { return a.name < b.name; });
    return selected;
}

std::vector<TestDescriptor> shuffled(std::vector<TestDescriptor> tests, std::uint64_t seed) {
    std::vector<std::string_view> names;
    names.reserve(tests.size());
    for (const TestDescriptor& test : tests) {
        names.push_back(test.name);
    }
    std::vector<TestDescriptor> order;
    order.reserve(tests.size());
    for (const std::size_t index : shuffled_order(seed, names)) {
        order.push_back(tests[index]);
    }
    return order;
}

// `--test-threads`, else OVRA_TEST_THREADS, else the hardware's threads; never 0.
std::expected<std::size_t, std::string> worker_count(const TestOptions& options,
                                                     const RunEnvironment& environment) {
    if (options.test_threads) {
        return *options.test_threads;
    }
    if (environment.test_threads) {
        const auto count = parse_unsigned(*environment.test_threads);
        if (!count || *count == 0) {
            return std::unexpected(fmt::format("OVRA_TEST_THREADS is `{}`, should be a positive integer.",
                                               *environment.test_threads));
        }
        return static_cast<std::size_t>(*count);
    }
    return std::max<std::size_t>(environment.hardware_threads, 1);
}

std::optional<std::uint64_t> shuffle_seed(const TestOptions& options, const RunEnvironment& environment) {
    if (options.shuffle_seed) {
        return options.shuffle_seed;
    }
    if (!options.shuffle) {
        return std::nullopt;
    }
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(environment.now.time_since_epoch()).count();
    return nanoseconds < 0 ? 0 : static_cast<std::uint64_t>(nanoseconds);
}

// In this process unless `--isolate` or `--timeout` asks otherwise; `--force-run-in-process` wins.
TestStrategy strategy(const TestOptions& options) {
    if (options.force_run_in_process || (!options.isolate && !options.timeout_seconds)) {
        return InProcess{};
    }
    Isolated isolated{options.program, std::nullopt};
    if (options.timeout_seconds) {
        constexpr auto longest = static_cast<std::uint64_t>(std::chrono::seconds::max().count());
        isolated.timeout = std::chrono::seconds(
            static_cast<std::chrono::seconds::rep>(std::min(*options.timeout_seconds, longest)));
    }
    return isolated;
}

bool use_color(const TestOptions& options, const RunEnvironment& environment) {
    switch (options.color) {
        case ColorConfig::Always:
            return true;
        case ColorConfig::Never:
            return false;
        case ColorConfig::Auto:
            break;
    }
    // Output passed through from tests would interleave with escape sequences.
    return !options.nocapture && environment.stdout_is_terminal;
}

// Nothing when neither time option is given; an error message when OVRA_TEST_TIME_UNIT is malformed.
std::expected<std::optional<TimeOptions>, std::string> time_limits(const TestOptions& options,
                                                                   const RunEnvironment& environment) {
    if (!options.report_time && !options.ensure_time) {
        return std::nullopt;
    }
    TimeOptions result;
    // Enforcing limits implies showing times, so that a test failing on time is never a surprise.
    result.error_on_excess = options.ensure_time;
    if (environment.test_time_unit) {
        const auto threshold = parse_threshold(*environment.test_time_unit);
        if (!threshold) {
            return std::unexpected(threshold.error());
        }
        result.unit = *threshold;
    }
    return result;
}

}  // namespace

std::expected<RunPlan, std::string> resolve_run_plan(std::span<const TestDescriptor> table,
                                                     const TestOptions& options,
                                                     const RunEnvironment& environment) {
    RunPlan plan;
    plan.action = options.list ? PlanAction::List : PlanAction::Run;
    plan.tests = select_tests(options, table);
    plan.filtered_out = table.size() - plan.tests.size();
    plan.format = options.format;
    plan.use_color = use_color(options, environment);
    plan.display = OutputDisplay{!options.nocapture, options.display_output};
    plan.logfile = options.logfile;
    if (plan.action == PlanAction::List) {
        return plan;
    }

    // Checked in this order, so that a run with several faults reports the same one every time.
    auto limits = time_limits(options, environment);
    if (!limits) {
        return std::unexpected(std::move(limits.error()));
    }
    auto workers = worker_count(options, environment);
    if (!workers) {
        return std::unexpected(std::move(workers.error()));
    }
    plan.time_limits = *limits;
    plan.workers = *workers;
    plan.shuffle_seed = shuffle_seed(options, environment);
    if (plan.shuffle_seed) {
        plan.tests = shuffled(std::move(plan.tests), *plan.shuffle_seed);
    }
    plan.force_ignore = !options.run_tests;
    plan.fail_fast = options.fail_fast;
    plan.long_running_after = environment.long_running_after;
    plan.strategy = strategy(options);
    return plan;
}

}  // namespace ovra_runner
