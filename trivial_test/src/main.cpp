// ovra_trivial_test: hands the test table and the command line to the runner.
#include "ovra/runner/runner.hpp"
#include "ovra/trivial_test/registry.hpp"

int main(int argc, char** argv) { return ovra_runner::test_main(ovra_tests::registry(), argc, argv); }
