// The isolation demo as an executable: its crashing tests need a process of their own to crash in.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "isolation_demo_tests.hpp"
#include "ovra/runner/runner.hpp"

// A crash must reach the parent as the signal it is, not as a sanitizer's report and exit status.
extern "C" const char* __asan_default_options() {
    return "handle_segv=0:handle_abort=0";
}
extern "C" const char* __tsan_default_options() {
    return "handle_segv=0:handle_abort=0";
}

int main(int argc, char** argv) {
    // DEMO_START_DELAY_MS lengthens the start of every process, a test's child's included: the moment between
    // a child's start and its taking its parent's death as its own, in which a runner killed outright may leave
    // it behind, becomes long enough for a test to hit.
    if (const char* delay = std::getenv("DEMO_START_DELAY_MS")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoll(delay)));
    }
    return ovra_runner::test_main(ovra_runner_isolation_demo::isolation_demo_table(), argc, argv);
}
