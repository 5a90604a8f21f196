// The floor for whole-process timings: a main that returns at once, linked with the same libraries as the
// suite so that loading them and running their static initialisers is part of the floor.
#include "ovra/runner/runner.hpp"
#include "ovra/trivial_test/registry.hpp"

int main(int argc, char**) {
    // Keeps the libraries linked without running anything.
    if (argc < 0) {
        return ovra_runner::test_main(ovra_tests::registry(), 0, nullptr);
    }
    return 0;
}
