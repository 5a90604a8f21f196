#include "demo_tests.hpp"
#include "ovra/runner/runner.hpp"

int main(int argc, char** argv) {
    return ovra_runner::test_main(ovra_runner_demo::demo_table(), argc, argv);
}
