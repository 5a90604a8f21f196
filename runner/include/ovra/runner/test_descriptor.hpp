// One entry of a test table: what the runner needs to filter, run and report a test, and where its function's
// name stands in the project's source so that tools can jump to it (test_support checks that it does).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ovra/runner/error.hpp"

namespace ovra_runner {

using TestFunction = Status (*)();

struct TestDescriptor {
    // The module path of the test function joined by "::" to its name; unique within a table.
    std::string_view name{};
    bool ignore = false;
    std::optional<std::string_view> ignore_message{};
    // Path relative to the repository root, with '/' separators.
    std::string_view source_file{};
    // 1-based; `end_col` is the column just after the name's last character, so that
    // `end_col - start_col` is the name's length.
    std::uint32_t start_line = 0;
    std::uint32_t start_col = 0;
    std::uint32_t end_line = 0;
    std::uint32_t end_col = 0;
    // The test passes only when it fails: by a check, an exception or a returned error.
    bool should_panic = false;
    TestFunction function = nullptr;
};

// The function name of a test: its name after the last "::".
std::string_view function_name(const TestDescriptor& test);

}  // namespace ovra_runner
