// Per-test time limits: reported with `--report-time`, enforced with `--ensure-time`.
#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace ovra_runner {

// Where the thresholds come from.
inline constexpr std::string_view time_unit_variable = "OVRA_TEST_TIME_UNIT";

// Milliseconds as the variable gives them: any u64, so comparisons must not scale them to nanoseconds.
struct TimeThreshold {
    std::uint64_t warn_ms = 50;
    std::uint64_t critical_ms = 100;
};

struct TimeOptions {
    bool error_on_excess = false;
    TimeThreshold unit;
};

// A time at or over the limit counts: `exec_time >= limit`.
bool is_warn(const TimeOptions& options, std::chrono::nanoseconds exec_time);
bool is_critical(const TimeOptions& options, std::chrono::nanoseconds exec_time);

// The parsed value of OVRA_TEST_TIME_UNIT, or the message about what is wrong with it.
std::expected<TimeThreshold, std::string> parse_threshold(std::string_view text);

}  // namespace ovra_runner
