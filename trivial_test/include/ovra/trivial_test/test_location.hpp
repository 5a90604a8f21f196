// Where a test function's name stands in its source, as trivial_test/locate_tests.cmake finds it at build
// time, and the table line made from it, so that a registry never carries a stale line number.
#pragma once

#include <cstdint>
#include <string_view>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests {

namespace test_locations {

struct Location {
    std::string_view file;
    std::uint32_t line;
    std::uint32_t start_col;
    std::uint32_t end_col;
};

}  // namespace test_locations

// The test called `name` runs `function`, which is defined at `location`.
constexpr ovra_runner::TestDescriptor located_test(std::string_view name,
                                                   const test_locations::Location& location,
                                                   ovra_runner::TestFunction function) {
    return {.name = name,
            .source_file = location.file,
            .start_line = location.line,
            .start_col = location.start_col,
            .end_line = location.line,
            .end_col = location.end_col,
            .function = function};
}

}  // namespace ovra_tests
