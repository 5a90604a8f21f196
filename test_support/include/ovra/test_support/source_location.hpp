// Checks that a test table's recorded source locations point at the test functions' names, for the tests of
// every table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_test_support {

// Reads the recorded source file under `repo_root` and checks that the test's function name stands at the
// recorded place. Returns what is wrong, or nothing when the location is right.
std::optional<std::string> verify_source_location(const ovra_runner::TestDescriptor& test,
                                                  const std::filesystem::path& repo_root);

}  // namespace ovra_test_support
