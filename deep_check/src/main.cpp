// ovra_deep_check: chooses the CBLAS under check (OVRA_CBLAS, or the linked one), then either serves the
// kernel sweep as one of its children or hands the deep check's test table and the command line to the
// runner, once the runner has shown that it reports tests of known outcome as it must. A child the runner
// started for one of the known outcomes gets their table instead.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/kernel_sweep.hpp"
#include "ovra/deep_check/known_outcomes.hpp"
#include "ovra/deep_check/runner_checks.hpp"
#include "ovra/runner/runner.hpp"

int main(int argc, char** argv) {
    // The variable by which the runner names the one test a child of an isolated run is to run.
    const char* invoked = std::getenv("OVRA_TEST_INVOKE");
    try {
        if (const ovra_runner::Status chosen = ovra_tests::deep::choose_cblas_under_check(); !chosen) {
            std::fprintf(stderr, "error: %s\n", chosen.error().message.c_str());
            return ovra_runner::exit_failure;
        }
        if (const char* request = std::getenv(ovra_tests::deep::diagnostic::tests::kernel_child_variable)) {
            return ovra_tests::deep::diagnostic::tests::serve_kernel_child(request);
        }
        // A runner that misreports known outcomes would misreport this very failure too (as a pass, with
        // status 0, or by running nothing), so it is reported here, past the runner. Its children were
        // checked by it.
        if (invoked == nullptr) {
            if (const std::optional<std::string> fault =
                    ovra_tests::deep::runner::tests::runner_fault(ovra_runner::run_tests)) {
                std::fprintf(stderr, "error: the test runner misreports tests of known outcome:\n%s\n",
                             fault->c_str());
                return ovra_runner::exit_failure;
            }
        }
    } catch (const std::bad_alloc&) {
        std::fputs("error: out of memory\n", stderr);
        return ovra_runner::exit_failure;
    }
    return ovra_runner::test_main(ovra_tests::deep::known_outcomes::table_for_process(invoked), argc, argv);
}
