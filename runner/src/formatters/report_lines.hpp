// Report lines that several formats share: the run's header, the long-running notice, the summary blocks and
// the listing's lines.
#pragma once

#include <string>

#include "../console.hpp"
#include "../run_plan.hpp"
#include "../run_summary.hpp"

namespace ovra_runner {

// "\nrunning N tests" with the shuffle seed when there is one.
std::string run_header(const RunPlan& plan);

// "test NAME has been running for over S seconds\n".
std::string long_running_text(const RunPlan& plan, const TestDescriptor& test);

// The passing tests' outputs with `--show-output`, the failures' blocks, then the "test result:" line.
void write_run_summary(const RunPlan& plan, Console& console, const RunSummary& summary);

// A listed test: "NAME: test".
std::string listed_test_line(const TestDescriptor& test);

// The closing line of a plain listing, after a blank line when anything was listed.
std::string listing_summary(const RunPlan& plan);

}  // namespace ovra_runner
