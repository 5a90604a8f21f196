// The runner's vocabulary that the suite is written in: results and errors, checks, checked narrowing and the
// test table's entries. They live in `ovra_runner`; the suite names them as its own.
#pragma once

#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/runner/narrow.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests {

using ovra_runner::check;
using ovra_runner::check_eq;
using ovra_runner::CheckFailure;
using ovra_runner::checked_narrow;
using ovra_runner::Error;
using ovra_runner::fail;
using ovra_runner::integer_conversion_error;
using ovra_runner::integer_conversion_message;
using ovra_runner::make_error;
using ovra_runner::render_report;
using ovra_runner::table_fault;
using ovra_runner::Result;
using ovra_runner::Status;
using ovra_runner::TestDescriptor;
using ovra_runner::TestFunction;
using ovra_runner::to_error;

}  // namespace ovra_tests
