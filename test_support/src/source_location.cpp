#include "ovra/test_support/source_location.hpp"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <string_view>

#include <fmt/format.h>

namespace ovra_test_support {

namespace {

// The function name of a test: its name after the last "::".
std::string_view function_name(const ovra_runner::TestDescriptor& test) {
    const std::size_t separator = test.name.rfind("::");
    return separator == std::string_view::npos ? test.name : test.name.substr(separator + 2);
}

bool is_identifier_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

}  // namespace

std::optional<std::string> verify_source_location(const ovra_runner::TestDescriptor& test,
                                                  const std::filesystem::path& repo_root) {
    const std::string_view function = function_name(test);
    if (test.start_line != test.end_line) {
        return fmt::format("{}: a function name spans one line, but lines {} to {} are recorded", test.name,
                           test.start_line, test.end_line);
    }
    if (test.start_col == 0 || test.end_col < test.start_col ||
        test.end_col - test.start_col != function.size()) {
        return fmt::format("{}: columns {} to {} do not span the {} characters of `{}`", test.name,
                           test.start_col, test.end_col, function.size(), function);
    }
    const std::filesystem::path path = repo_root / std::filesystem::path(test.source_file);
    std::ifstream source(path);
    if (!source) {
        return fmt::format("{}: cannot read {}", test.name, path.string());
    }
    std::string line;
    for (std::uint32_t number = 1; number <= test.start_line; ++number) {
        if (!std::getline(source, line)) {
            return fmt::format("{}: {} has fewer than {} lines", test.name, test.source_file,
                               test.start_line);
        }
    }
    const std::size_t start = test.start_col - 1;
    const std::size_t end = test.end_col - 1;
    const bool stands_there = end <= line.size() &&
                              std::string_view(line).substr(start, function.size()) == function &&
                              (start == 0 || !is_identifier_char(line[start - 1])) &&
                              (end == line.size() || !is_identifier_char(line[end]));
    if (!stands_there) {
        return fmt::format("{}: `{}` does not stand at {}:{}:{}; the line reads: {}", test.name, function,
                           test.source_file, test.start_line, test.start_col, line);
    }
    return std::nullopt;
}

}  // namespace ovra_test_support
