#include "ovra/test_support/run_in_process.hpp"

#include "ovra/runner/runner.hpp"

namespace ovra_test_support {

int run_tests_collecting(std::span<const ovra_runner::TestDescriptor> table,
                         std::span<const std::string_view> args,
                         const ovra_runner::RunEnvironment& environment, std::string& out, std::string& err) {
    using ovra_runner::IoResult;
    const ovra_runner::ConsoleWriters console{[&](std::string_view text) -> IoResult {
                                                  out.append(text);
                                                  return {};
                                              },
                                              [&](std::string_view text) -> IoResult {
                                                  err.append(text);
                                                  return {};
                                              }};
    return ovra_runner::run_tests(table, args, environment, console);
}

}  // namespace ovra_test_support
