#include "ovra/runner/error.hpp"

#include <string_view>

#include <fmt/format.h>

namespace ovra_runner {

namespace {

// Appends `text`, indenting every line after the first by `indent` spaces.
void append_indented(std::string& out, std::string_view text, std::string_view indent) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        out.append(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return;
        }
        out.push_back('\n');
        out.append(indent);
        start = end + 1;
    }
}

std::string_view trim_end(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \t\r\n\f\v");
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

}  // namespace

Error make_error(std::string message, std::vector<std::string> causes) {
    return Error{std::move(message), std::move(causes), capture_backtrace_if_enabled()};
}

std::string render_report(const Error& error) {
    std::string out = error.message;
    if (!error.causes.empty()) {
        out.append("\n\nCaused by:");
        const bool numbered = error.causes.size() > 1;
        for (std::size_t index = 0; index < error.causes.size(); ++index) {
            out.push_back('\n');
            if (numbered) {
                out.append(fmt::format("{:>5}: ", index));
                append_indented(out, error.causes[index], "       ");
            } else {
                out.append("    ");
                append_indented(out, error.causes[index], "    ");
            }
        }
    }
    if (error.backtrace) {
        out.append("\n\nStack backtrace:\n");
        out.append(trim_end(symbolise(*error.backtrace)));
    }
    return out;
}

}  // namespace ovra_runner
