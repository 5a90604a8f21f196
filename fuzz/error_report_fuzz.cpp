// The error report on arbitrary messages and causes (line ends included), checked for its structure and
// against a plain model of the rendering: the message, then the causes under "Caused by:" (indented by
// four spaces when there is one, numbered when there are more, later lines of a cause aligned under its
// first), then the stack when one was captured.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "fuzz_input.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/error.hpp"

namespace {

using ovra_fuzz::require;
using ovra_runner::Error;

constexpr std::size_t max_causes = 4;
constexpr std::string_view caused_by = "\n\nCaused by:";
constexpr std::string_view stack_heading = "\n\nStack backtrace:\n";

// Captured once: capturing is cheap, but every input renders it, so it should be one stack.
const ovra_runner::Backtrace& sample_backtrace() {
    static const ovra_runner::Backtrace backtrace = ovra_runner::capture_backtrace();
    return backtrace;
}

Error decode(ovra_fuzz::FuzzInput& input) {
    const std::uint8_t flags = ovra_fuzz::take_u8(input);
    Error error{ovra_fuzz::take_text(input, 48), {}, std::nullopt};
    const std::size_t cause_count = flags % (max_causes + 1);
    for (std::size_t index = 0; index < cause_count; ++index) {
        error.causes.push_back(ovra_fuzz::take_text(input, 32));
    }
    if ((flags & 0x80U) != 0) {
        error.backtrace = sample_backtrace();
    }
    return error;
}

void append_aligned(std::string& out, std::string_view text, std::size_t indent) {
    for (const char c : text) {
        out.push_back(c);
        if (c == '\n') {
            out.append(indent, ' ');
        }
    }
}

// The report without its stack section.
std::string model_report(const Error& error) {
    std::string out = error.message;
    if (error.causes.empty()) {
        return out;
    }
    out.append(caused_by);
    for (std::size_t index = 0; index < error.causes.size(); ++index) {
        out.push_back('\n');
        if (error.causes.size() == 1) {
            out.append(4, ' ');
            append_aligned(out, error.causes[index], 4);
        } else {
            const std::string number = std::to_string(index);
            out.append(5 - number.size(), ' ');
            out.append(number);
            out.append(": ");
            append_aligned(out, error.causes[index], 7);
        }
    }
    return out;
}

std::string_view without_trailing_space(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r' || text.back() == '\f' || text.back() == '\v')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ovra_fuzz::FuzzInput input{data, size};
    const Error error = decode(input);
    const std::string report = ovra_runner::render_report(error);
    const auto detail = [&] {
        return fmt::format("message {:?}, causes {}, stack {}\nreport {:?}", error.message, error.causes,
                           error.backtrace ? "captured" : "absent", report);
    };

    require(std::string_view(report).starts_with(error.message), "the report does not start with the message",
            detail);
    const std::string_view after_message = std::string_view(report).substr(error.message.size());
    require(after_message.starts_with(caused_by) == !error.causes.empty(),
            "\"Caused by:\" follows the message exactly when there are causes", detail);
    if (error.causes.size() >= 2) {
        std::size_t from = error.message.size() + caused_by.size();
        for (std::size_t index = 0; index < error.causes.size(); ++index) {
            const std::string label = fmt::format("\n{:>5}: ", index);
            const std::size_t found = report.find(label, from);
            require(found != std::string::npos, "a cause is missing its number, or numbers are out of order",
                    [&] { return fmt::format("{}\nlooking for {:?}", detail(), label); });
            from = found + label.size();
        }
    }

    std::string expected = model_report(error);
    if (error.backtrace) {
        expected.append(stack_heading);
        expected.append(without_trailing_space(ovra_runner::symbolise(*error.backtrace)));
    }
    require(report == expected, "the report differs from the model",
            [&] { return fmt::format("{}\nmodel  {:?}", detail(), expected); });
    return 0;
}
