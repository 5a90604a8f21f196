#include "ovra/deep_check/known_outcomes.hpp"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "ovra/deep_check/registry.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"

namespace ovra_tests::deep::known_outcomes {

const std::source_location check_eq_location = std::source_location::current();
const std::source_location check_location = std::source_location::current();

namespace {

ovra_runner::Status check_eq_fails() {
    ovra_runner::println("adding 2 and 2");
    ovra_runner::check_eq(2 + 2, 5, check_eq_location);
    return {};
}

ovra_runner::Status check_fails() {
    ovra_runner::check(false, "the known condition does not hold", check_location);
    return {};
}

ovra_runner::Status error_is_returned() {
    return std::unexpected(
        ovra_runner::make_error("the known error", {"its first cause", "its second cause"}));
}

ovra_runner::Status exception_is_thrown() {
    throw std::runtime_error("the known exception");
}

// Run only when asked for: then it fails.
ovra_runner::Status ignored_test() {
    return std::unexpected(ovra_runner::make_error("an ignored test ran"));
}

ovra_runner::Status passes() {
    ovra_runner::println("output of a passing test");
    return {};
}

ovra_runner::Status does_not_panic() {
    return {};
}

ovra_runner::Status panics_as_expected() {
    ovra_runner::fail("the expected failure");
}

constexpr ovra_runner::TestDescriptor known_tests[] = {
    ovra_runner::test_case("known::check_eq_fails", check_eq_fails),
    ovra_runner::test_case("known::check_fails", check_fails),
    ovra_runner::should_panic(ovra_runner::test_case("known::does_not_panic", does_not_panic)),
    ovra_runner::test_case("known::error_is_returned", error_is_returned),
    ovra_runner::test_case("known::exception_is_thrown", exception_is_thrown),
    ovra_runner::ignored(ovra_runner::test_case("known::ignored_test", ignored_test), "known reason"),
    ovra_runner::should_panic(ovra_runner::test_case("known::panics_as_expected", panics_as_expected)),
    ovra_runner::test_case("known::passes", passes),
};
static_assert(!ovra_runner::table_fault(known_tests));

}  // namespace

std::span<const ovra_runner::TestDescriptor> table() {
    return known_tests;
}

std::span<const ovra_runner::TestDescriptor> table_for_process(const char* invoked) {
    const bool known =
        invoked != nullptr && std::ranges::any_of(known_tests, [&](const ovra_runner::TestDescriptor& test) {
            return test.name == std::string_view(invoked);
        });
    return known ? table() : registry();
}

}  // namespace ovra_tests::deep::known_outcomes
