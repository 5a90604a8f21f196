// Per-test time limits: reported with `--report-time`, enforced with `--ensure-time`.
#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <string>

#include "ovra/runner/options.hpp"
#include "ovra/runner/runner.hpp"

namespace ovra_tests {

struct TimeThreshold {
    std::chrono::milliseconds warn{50};
    std::chrono::milliseconds critical{100};
};

struct TimeOptions {
    bool error_on_excess = false;
    TimeThreshold unit;
};

// Nothing when neither time option is given; an error message when OVRA_TEST_TIME_UNIT is malformed.
std::expected<std::optional<TimeOptions>, std::string> resolve_time_options(
    const TestOptions& options, const RunEnvironment& environment);

bool is_warn(const TimeOptions& options, std::chrono::nanoseconds exec_time);
bool is_critical(const TimeOptions& options, std::chrono::nanoseconds exec_time);

}  // namespace ovra_tests
