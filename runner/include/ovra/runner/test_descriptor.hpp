// One entry of a test table: what the runner needs to filter, run and report a test, and where its function's
// name stands in the project's source so that tools can jump to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <source_location>
#include <span>
#include <string_view>
#include <variant>

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

// One line of a table: the test called `name` runs `function`. A listing points tools at this line of the
// table (where the call stands), which is as close as a table can know where the function is.
//
//     constexpr ovra_runner::TestDescriptor tests[] = {
//         ovra_runner::test_case("packing::tests::empty_binding_packs_to_nothing", empty_binding_packs_to_nothing),
//         ovra_runner::ignored(ovra_runner::test_case("packing::tests::huge_binding", huge_binding), "slow"),
//     };
//     static_assert(!ovra_runner::table_fault(tests));
consteval TestDescriptor test_case(std::string_view name, TestFunction function,
                                   std::source_location where = std::source_location::current()) {
    const auto length = static_cast<std::uint32_t>(name.size());
    return {.name = name,
            .source_file = where.file_name(),
            .start_line = where.line(),
            .start_col = where.column(),
            .end_line = where.line(),
            .end_col = where.column() + length,
            .function = function};
}

// The same test, run only when asked for (`--ignored`, `--include-ignored`); the reports show `reason`.
constexpr TestDescriptor ignored(TestDescriptor test, std::string_view reason) {
    test.ignore = true;
    test.ignore_message = reason;
    return test;
}

// The same test, passing only when it fails.
constexpr TestDescriptor should_panic(TestDescriptor test) {
    test.should_panic = true;
    return test;
}

// What makes a table unfit to run, naming the test.
struct DuplicateName {
    std::string_view name;
};
struct MissingFunction {
    std::string_view name;
};
using TableFault = std::variant<DuplicateName, MissingFunction>;

// Whether a table line has no function to run. Under AddressSanitizer or the null check of
// UndefinedBehaviorSanitizer the compiler will not fold a function's address against null while compiling, so
// there only a null pointer itself counts as missing; a function's address never is.
constexpr bool lacks_function(const TestDescriptor& test) {
    if consteval {
        return __builtin_constant_p(test.function == nullptr) && test.function == nullptr;
    }
    return test.function == nullptr;
}

// The first fault of `table` in its order, if any. The runner refuses a faulty table before it runs anything;
// a table that is a constant expression can be checked while compiling, as above.
constexpr std::optional<TableFault> table_fault(std::span<const TestDescriptor> table) {
    for (std::size_t index = 0; index < table.size(); ++index) {
        if (lacks_function(table[index])) {
            return MissingFunction{table[index].name};
        }
        for (std::size_t earlier = 0; earlier < index; ++earlier) {
            if (table[earlier].name == table[index].name) {
                return DuplicateName{table[index].name};
            }
        }
    }
    return std::nullopt;
}

}  // namespace ovra_runner
