// ovra_deep_check: hands the deep check's test table and the command line to the runner.
#include "ovra/deep_check/registry.hpp"
#include "ovra/runner/runner.hpp"

int main(int argc, char** argv) {
    return ovra_runner::test_main(ovra_tests::deep::registry(), argc, argv);
}
