// ovra_deep_check: hands the deep check's test table and the command line to the runner. A child the runner
// started for one of the known outcomes of the runner's own check gets their table instead.
#include <cstdlib>

#include "ovra/deep_check/known_outcomes.hpp"
#include "ovra/runner/runner.hpp"

int main(int argc, char** argv) {
    // The variable by which the runner names the one test a child of an isolated run is to run.
    const char* invoked = std::getenv("OVRA_TEST_INVOKE");
    return ovra_runner::test_main(ovra_tests::deep::known_outcomes::table_for_process(invoked), argc, argv);
}
