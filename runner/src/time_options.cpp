#include "time_options.hpp"

#include <cstdint>
#include <limits>
#include <utility>

#include <fmt/format.h>

#include "integer_text.hpp"

namespace ovra_runner {

namespace {

std::expected<std::uint64_t, std::string> parse_duration(std::string_view text) {
    const auto value = parse_unsigned(text);
    if (!value) {
        return std::unexpected(fmt::format(
            "Duration value in variable {} is expected to be a number, but got {}", time_unit_variable, text));
    }
    return *value;
}

// Whether `exec_time` has reached `limit_ms`, without scaling the limit into a type it may not fit.
bool reaches(std::chrono::nanoseconds exec_time, std::uint64_t limit_ms) {
    constexpr std::uint64_t nanoseconds_per_millisecond = 1'000'000;
    if (exec_time.count() < 0) {
        return limit_ms == 0;
    }
    const auto elapsed = static_cast<std::uint64_t>(exec_time.count());
    // Below this the limit in nanoseconds fits a u64; above it, no i64 count of nanoseconds can reach it.
    if (limit_ms > std::numeric_limits<std::uint64_t>::max() / nanoseconds_per_millisecond) {
        return false;
    }
    return elapsed >= limit_ms * nanoseconds_per_millisecond;
}

}  // namespace

std::expected<TimeThreshold, std::string> parse_threshold(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::unexpected(
            fmt::format("Duration variable {} expected to have 2 numbers separated by comma, but got {}",
                        time_unit_variable, text));
    }
    const auto warn = parse_duration(text.substr(0, comma));
    const auto critical = parse_duration(text.substr(comma + 1));
    if (!warn || !critical) {
        return std::unexpected(!warn ? warn.error() : critical.error());
    }
    if (*warn > *critical) {
        return std::unexpected(
            std::string("Test execution warn time should be less or equal to the critical time"));
    }
    return TimeThreshold{*warn, *critical};
}

bool is_warn(const TimeOptions& options, std::chrono::nanoseconds exec_time) {
    return reaches(exec_time, options.unit.warn_ms);
}

bool is_critical(const TimeOptions& options, std::chrono::nanoseconds exec_time) {
    return reaches(exec_time, options.unit.critical_ms);
}

}  // namespace ovra_runner
