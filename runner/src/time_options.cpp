#include "time_options.hpp"

#include <cstdint>
#include <utility>

#include <fmt/format.h>

#include "integer_text.hpp"

namespace ovra_tests {

namespace {

constexpr std::string_view unit_variable = "OVRA_TEST_TIME_UNIT";

std::expected<std::chrono::milliseconds, std::string> parse_duration(std::string_view text) {
    const auto value = parse_unsigned(text);
    if (!value) {
        return std::unexpected(fmt::format(
            "Duration value in variable {} is expected to be a number, but got {}", unit_variable, text));
    }
    if (!std::in_range<std::chrono::milliseconds::rep>(*value)) {
        return std::unexpected(
            fmt::format("Duration value in variable {} is too large, got {}", unit_variable, text));
    }
    return std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(*value));
}

std::expected<TimeThreshold, std::string> parse_threshold(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::unexpected(
            fmt::format("Duration variable {} expected to have 2 numbers separated by comma, but got {}",
                        unit_variable, text));
    }
    const auto warn = parse_duration(text.substr(0, comma));
    if (!warn) {
        return std::unexpected(warn.error());
    }
    const auto critical = parse_duration(text.substr(comma + 1));
    if (!critical) {
        return std::unexpected(critical.error());
    }
    if (*warn > *critical) {
        return std::unexpected(
            std::string("Test execution warn time should be less or equal to the critical time"));
    }
    return TimeThreshold{*warn, *critical};
}

}  // namespace

std::expected<std::optional<TimeOptions>, std::string> resolve_time_options(
    const TestOptions& options, const RunEnvironment& environment) {
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

bool is_warn(const TimeOptions& options, std::chrono::nanoseconds exec_time) {
    return exec_time >= options.unit.warn;
}

bool is_critical(const TimeOptions& options, std::chrono::nanoseconds exec_time) {
    return exec_time >= options.unit.critical;
}

}  // namespace ovra_tests
