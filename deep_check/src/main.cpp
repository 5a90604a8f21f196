// ovra_deep_check: chooses the CBLAS under check (OVRA_CBLAS, or the linked one), then either serves the
// kernel sweep as one of its children or hands the deep check's test table and the command line to the
// runner.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/kernel_sweep.hpp"
#include "ovra/deep_check/registry.hpp"
#include "ovra/runner/runner.hpp"

int main(int argc, char** argv) {
    try {
        if (const ovra_tests::Status chosen = ovra_tests::deep::choose_cblas_under_check(); !chosen) {
            std::fprintf(stderr, "error: %s\n", chosen.error().message.c_str());
            return ovra_runner::exit_failure;
        }
        if (const char* request = std::getenv(ovra_tests::deep::diagnostic::tests::kernel_child_variable)) {
            return ovra_tests::deep::diagnostic::tests::serve_kernel_child(request);
        }
    } catch (const std::bad_alloc&) {
        std::fwrite(ovra_runner::out_of_memory_line.data(), 1, ovra_runner::out_of_memory_line.size(),
                    stderr);
        return ovra_runner::exit_failure;
    }
    return ovra_runner::test_main(ovra_tests::deep::registry(), argc, argv);
}
