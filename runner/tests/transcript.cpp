#include "transcript.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace ovra_runner::testing {

namespace {

constexpr std::string_view block_marker = "################ $ ";
constexpr std::string_view out_marker = "---- stdout\n";
constexpr std::string_view err_marker = "---- stderr\n";
constexpr std::string_view status_marker = "---- exit status: ";

// The recording shows streams as `cat -A` does: "$" ends a line, "^[" is the escape byte.
std::string decode(std::string_view shown) {
    std::string text;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown.compare(i, 2, "$\n") == 0) {
            text.push_back('\n');
            ++i;
        } else if (shown.compare(i, 2, "^[") == 0) {
            text.push_back('\x1b');
            ++i;
        } else {
            text.push_back(shown[i]);
        }
    }
    return text;
}

std::vector<std::string> split_command(std::string_view command) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (true) {
        const std::size_t space = command.find(' ', start);
        words.emplace_back(command.substr(start, space == std::string_view::npos ? space : space - start));
        if (space == std::string_view::npos) {
            break;
        }
        start = space + 1;
    }
    // "env NAME=VALUE ./S ..." sets the terminal type only, which makes no difference here.
    const auto program = std::find_if(words.begin(), words.end(),
                                      [](const std::string& word) { return word.starts_with("./"); });
    words.erase(words.begin(), program);
    return words;
}

std::size_t find_or_throw(std::string_view text, std::string_view what, std::size_t from) {
    const std::size_t at = text.find(what, from);
    if (at == std::string_view::npos) {
        throw std::runtime_error("malformed transcript near offset " + std::to_string(from));
    }
    return at;
}

// Replaces the run of characters that `keep` accepts after every `prefix` with `replacement`.
template <class Predicate>
void mask_after(std::string& text, std::string_view prefix, Predicate keep, std::string_view replacement) {
    for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
        const std::size_t start = at + prefix.size();
        std::size_t end = start;
        while (end < text.size() && keep(text[end])) {
            ++end;
        }
        if (end > start) {
            text.replace(start, end - start, replacement);
        }
        at = start + (end > start ? replacement.size() : 0);
    }
}

// "..i", ". 1/4", "i 3/4" or "" (terse marks, optionally with their progress count).
bool is_terse_progress(std::string_view line) {
    const std::size_t marks = line.find_first_not_of(".i");
    if (marks == std::string_view::npos) {
        return true;
    }
    const std::string_view rest = line.substr(marks);
    const std::size_t slash = rest.find('/');
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return rest.front() == ' ' && slash != std::string_view::npos && digits(rest.substr(1, slash - 1)) &&
           digits(rest.substr(slash + 1));
}

}  // namespace

std::vector<TranscriptBlock> read_transcripts(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    const std::string text = buffer.str();
    std::vector<TranscriptBlock> blocks;
    for (std::size_t at = text.find(block_marker); at != std::string::npos;
         at = text.find(block_marker, at)) {
        TranscriptBlock block;
        const std::size_t command_start = at + block_marker.size();
        const std::size_t command_end = find_or_throw(text, "\n", command_start);
        block.command = text.substr(command_start, command_end - command_start);
        block.args = split_command(block.command);
        const std::size_t out_start = find_or_throw(text, out_marker, command_end) + out_marker.size();
        const std::size_t err_at = find_or_throw(text, err_marker, out_start);
        const std::size_t err_start = err_at + err_marker.size();
        const std::size_t status_at = find_or_throw(text, status_marker, err_start);
        block.out = decode(std::string_view(text).substr(out_start, err_at - out_start));
        block.err = decode(std::string_view(text).substr(err_start, status_at - err_start));
        const std::size_t status_start = status_at + status_marker.size();
        block.exit_status =
            std::stoi(text.substr(status_start, find_or_throw(text, "\n", status_start) - status_start));
        blocks.push_back(std::move(block));
        at = status_start;
    }
    return blocks;
}

std::string normalise(std::string_view text) {
    const auto is_number = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
    const auto is_place = [](char c) { return c != ' ' && c != '\n' && c != '\\' && c != ']'; };
    const auto is_quoted = [](char c) { return c != '"'; };
    std::string result(text);
    mask_after(result, "finished in ", is_number, "X.XX");
    mask_after(result, "\"exec_time\": ", is_number, "X");
    mask_after(result, "time=\"", is_number, "X");
    mask_after(result, " <", is_number, "X.XXX");
    mask_after(result, "' (", is_number, "TID");
    // The failing check's file:line:col is each language's own.
    mask_after(result, ") panicked at ", is_place, "PLACE:");
    // Listings name each language's own source file and line; the columns of a name agree.
    mask_after(result, "\"source_path\": \"", is_quoted, "FILE");
    mask_after(result, "\"start_line\": ", is_number, "LINE");
    mask_after(result, "\"end_line\": ", is_number, "LINE");
    for (std::size_t at = result.find("RUST_BACKTRACE"); at != std::string::npos;
         at = result.find("RUST_BACKTRACE", at)) {
        result.replace(at, 4, "OVRA");
    }
    return result;
}

std::vector<std::string> sorted_lines(std::string_view text, bool terse) {
    std::vector<std::string> lines;
    std::istringstream stream{std::string(text)};
    for (std::string line; std::getline(stream, line);) {
        if (terse && is_terse_progress(line)) {
            for (const char mark : line.substr(0, line.find(' '))) {
                lines.emplace_back(1, mark);
            }
            continue;
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::optional<std::size_t> number_after(std::string_view text, std::string_view prefix) {
    const std::size_t at = text.find(prefix);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t value = 0;
    bool any = false;
    for (std::size_t i = at + prefix.size(); i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::size_t>(text[i] - '0');
        any = true;
    }
    return any ? std::optional<std::size_t>(value) : std::nullopt;
}

std::string identifier_from(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (word) {
            out.push_back(c);
        } else if (!out.empty() && out.back() != '_') {
            out.push_back('_');
        }
    }
    return out;
}

std::string read_data_file(std::string_view name) {
    std::ifstream file(std::filesystem::path(OVRA_RUNNER_TEST_DATA) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace ovra_runner::testing
