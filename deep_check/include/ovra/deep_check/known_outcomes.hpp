// A small table of tests whose outcomes are known in advance: one of each way a test can end. The
// runner's own check runs it and requires the reports, counts and exit statuses those outcomes must give.
#pragma once

#include <source_location>
#include <span>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests::deep::known_outcomes {

// Where the two failing checks stand, so that the expected reports can name the place.
extern const std::source_location check_eq_location;
extern const std::source_location check_location;

// In name order: a failed check_eq (after printing a line), a failed check, a returned error with two
// causes, a thrown exception, an ignored test, a passing test (which prints a line), a should_panic test
// that does not fail and one that does.
std::span<const ovra_runner::TestDescriptor> table();

// The table a process of the deep check hands to the runner. A child that the runner started to run one
// test (`invoked`, the value of OVRA_TEST_INVOKE) gets the known outcomes when it names one of them, so
// that the runner's check can run them isolated; every other process gets the deep check's own table, so
// that a listing never shows them.
std::span<const ovra_runner::TestDescriptor> table_for_process(const char* invoked);

}  // namespace ovra_tests::deep::known_outcomes
