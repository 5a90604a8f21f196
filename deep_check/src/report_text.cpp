#include "ovra/deep_check/report_text.hpp"

#include <cstdlib>

#include <algorithm>
#include <vector>

namespace ovra_tests::deep::runner {

bool backtraces_requested() {
    const char* value = std::getenv("OVRA_BACKTRACE");
    return value != nullptr && std::string_view(value) != "0";
}

namespace {

constexpr std::string_view number_token = "%d%";
constexpr std::string_view any_token = "%*%";

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

template <class Lines>
std::string joined(const Lines& lines) {
    std::string text;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index != 0) {
            text.push_back('\n');
        }
        text.append(lines[index]);
    }
    return text;
}

bool is_number_character(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

}  // namespace

bool line_matches(std::string_view pattern, std::string_view line) {
    // The literal text up to the first token must stand at the start of the line.
    const std::size_t token = std::min(pattern.find(number_token), pattern.find(any_token));
    if (token == std::string_view::npos) {
        return pattern == line;
    }
    if (!line.starts_with(pattern.substr(0, token))) {
        return false;
    }
    line.remove_prefix(token);
    const bool number = pattern.substr(token).starts_with(number_token);
    const std::string_view rest = pattern.substr(token + number_token.size());
    // A number is at least one character long; any text may be empty. Every length is tried, so that the
    // rest of the pattern may match wherever it can.
    const std::size_t longest =
        number ? static_cast<std::size_t>(std::ranges::find_if_not(line, is_number_character) - line.begin())
               : line.size();
    for (std::size_t length = number ? 1 : 0; length <= longest; ++length) {
        if (line_matches(rest, line.substr(length))) {
            return true;
        }
    }
    return false;
}

std::optional<LineMismatch> first_mismatch(std::string_view pattern, std::string_view text) {
    const std::vector<std::string_view> expected = lines_of(pattern);
    const std::vector<std::string_view> got = lines_of(text);
    constexpr std::string_view end = "(the end of the report)";
    for (std::size_t index = 0; index < std::max(expected.size(), got.size()); ++index) {
        if (index >= expected.size() || index >= got.size() || !line_matches(expected[index], got[index])) {
            return LineMismatch{index + 1, std::string(index < expected.size() ? expected[index] : end),
                                std::string(index < got.size() ? got[index] : end)};
        }
    }
    return std::nullopt;
}

std::string in_name_order(std::string_view report) {
    std::vector<std::string_view> lines = lines_of(report);
    const auto is_result = [](std::string_view line) {
        return line.starts_with("test ") && line.find(" ... ") != std::string_view::npos;
    };
    std::vector<std::string_view> results;
    std::ranges::copy_if(lines, std::back_inserter(results), is_result);
    std::ranges::sort(results);
    auto next_result = results.begin();
    for (std::string_view& line : lines) {
        if (is_result(line)) {
            line = *next_result++;
        }
    }

    // The blocks stand between "failures:" and an empty line, and an empty line and the list under the
    // second "failures:".
    const auto first = std::ranges::find(lines, "failures:");
    const auto list = std::find(std::ranges::next(first, 1, lines.end()), lines.end(), "failures:");
    if (list == lines.end() || list - first < 3) {
        return joined(lines);
    }
    std::vector<std::vector<std::string_view>> blocks;
    for (auto line = first + 2; line != list - 1; ++line) {
        if (blocks.empty() || (line->starts_with("---- ") && line->ends_with(" stdout ----"))) {
            blocks.emplace_back();
        }
        blocks.back().push_back(*line);
    }
    std::ranges::sort(blocks);
    auto line = first + 2;
    for (const std::vector<std::string_view>& block : blocks) {
        line = std::ranges::copy(block, line).out;
    }
    return joined(lines);
}

std::string without_line(std::string_view report, std::string_view line, std::size_t& removed) {
    std::vector<std::string_view> kept;
    for (const std::string_view each : lines_of(report)) {
        if (each == line) {
            ++removed;
        } else {
            kept.push_back(each);
        }
    }
    return joined(kept);
}

std::string without_backtraces(std::string_view report) {
    std::vector<std::string_view> kept;
    bool in_frames = false;
    for (const std::string_view line : lines_of(report)) {
        if (line == "stack backtrace:" || line == "Stack backtrace:") {
            // An error's report sets its backtrace apart by an empty line.
            if (line.front() == 'S' && !kept.empty() && kept.back().empty()) {
                kept.pop_back();
            }
            in_frames = true;
            continue;
        }
        in_frames = in_frames && line.starts_with("  ");
        if (!in_frames) {
            kept.push_back(line);
        }
    }
    return joined(kept);
}

std::string without_test_output(std::string_view report) {
    std::string text(report);
    // A JSON string ends at the first quote that no backslash escapes.
    constexpr std::string_view field = ", \"stdout\": \"";
    for (std::size_t at = text.find(field); at != std::string::npos; at = text.find(field, at)) {
        std::size_t end = at + field.size();
        while (end < text.size() && text[end] != '"') {
            end += text[end] == '\\' ? 2U : 1U;
        }
        text.erase(at, end + 1 - at);
    }
    constexpr std::string_view open = "<system-out>";
    constexpr std::string_view close = "</system-out>";
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
        const std::size_t end = text.find(close, at);
        text.erase(at, end == std::string::npos ? std::string::npos : end + close.size() - at);
    }
    return text;
}

}  // namespace ovra_tests::deep::runner
