// Five tests of a toolchain engineer's own, each a function and one line of the table: one passes, one fails
// a check, one returns an error, one is ignored and one throws. The runner reports each as the standard runner
// would; CTest gets one entry per test from ovra_discover_tests().
#include <stdexcept>
#include <vector>

#include "ovra/package/binding.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/runner/runner.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace {

using ovra_runner::Status;

ovra_package::Binding weights() {
    return {"weights", "f16", {2, 16}, {{0, 0x100000, 0, 64}}};
}

Status a_binding_keeps_its_slices() {
    ovra_runner::check_eq(weights().slices.size(), std::size_t{1});
    return {};
}

Status a_failing_check_shows_both_sides() {
    ovra_runner::check_eq(weights().shape, std::vector<std::uint32_t>{16, 2});
    return {};
}

Status an_error_is_reported_with_its_message() {
    return std::unexpected(ovra_runner::make_error("the device is not there"));
}

Status a_slow_test_waits_for_the_nightly_run() {
    return {};
}

Status an_exception_fails_only_its_own_test() {
    throw std::runtime_error("out of slices");
}

constexpr ovra_runner::TestDescriptor tests[] = {
    ovra_runner::test_case("packing::tests::a_binding_keeps_its_slices", a_binding_keeps_its_slices),
    ovra_runner::test_case("packing::tests::a_failing_check_shows_both_sides", a_failing_check_shows_both_sides),
    ovra_runner::test_case("packing::tests::an_error_is_reported_with_its_message",
                           an_error_is_reported_with_its_message),
    ovra_runner::ignored(ovra_runner::test_case("packing::tests::a_slow_test_waits_for_the_nightly_run",
                                                a_slow_test_waits_for_the_nightly_run),
                         "nightly only"),
    ovra_runner::test_case("packing::tests::an_exception_fails_only_its_own_test",
                           an_exception_fails_only_its_own_test),
};
static_assert(!ovra_runner::table_fault(tests));

}  // namespace

int main(int argc, char** argv) {
    return ovra_runner::test_main(tests, argc, argv);
}
