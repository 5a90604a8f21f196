// The runner over three tests that do nothing: what the runner's own start-up, run loop and report cost.
#include <array>

#include "ovra/runner/runner.hpp"
#include "ovra/trivial_test/registry.hpp"

namespace {

ovra_runner::Status nothing() { return {}; }

constexpr std::array<ovra_runner::TestDescriptor, 3> table{{
    {.name = "diagnostic::tests::first", .function = &nothing},
    {.name = "diagnostic::tests::second", .function = &nothing},
    {.name = "tests::third", .function = &nothing},
}};

}  // namespace

int main(int argc, char** argv) {
    // The real table stays linked so that both programs load the same code.
    if (argc < 0) {
        return ovra_runner::test_main(ovra_tests::registry(), argc, argv);
    }
    return ovra_runner::test_main(table, argc, argv);
}
