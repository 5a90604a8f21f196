// Four small tests with one outcome each (a pass that prints, a failed equality check, a returned error and
// an ignored test), for checking the runner's reports against known output.
#pragma once

#include <span>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner_demo {

std::span<const ovra_runner::TestDescriptor> demo_table();

}  // namespace ovra_runner_demo
