// Reading the recorded output of the standard runner on the demo tests, and making two outputs comparable
// by masking what differs between runs (times, thread ids) and between the two languages (the failure's
// source place, the backtrace variable).
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ovra_runner::testing {

struct TranscriptBlock {
    std::string command;
    // The runner's arguments, args[0] being the program.
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int exit_status = 0;
};

// Shows a block by its command in test listings.
inline void PrintTo(const TranscriptBlock& block, std::ostream* stream) {
    *stream << block.command;
}

std::vector<TranscriptBlock> read_transcripts(const std::filesystem::path& path);

std::string normalise(std::string_view text);

// A file under the tests' data folder, whole.
std::string read_data_file(std::string_view name);

// Lines of `text` in sorted order, for output whose line order depends on which test ends first. Terse
// progress is split into one line per mark, without the " k/N" counts or blank lines.
std::vector<std::string> sorted_lines(std::string_view text, bool terse);

// The decimal number right after the first `prefix` in `text`.
std::optional<std::size_t> number_after(std::string_view text, std::string_view prefix);

// "a_b_c" from any text, for test names.
std::string identifier_from(std::string_view text);

}  // namespace ovra_runner::testing
