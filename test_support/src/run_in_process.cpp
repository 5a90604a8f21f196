#include "ovra/test_support/run_in_process.hpp"

#include "ovra/runner/runner.hpp"

namespace ovra_test_support {

int run_tests_collecting(std::span<const ovra_tests::TestDescriptor> table,
                         std::span<const std::string_view> args,
                         const ovra_tests::RunEnvironment& environment, std::string& out, std::string& err) {
    using ovra_tests::WriteResult;
    const ovra_tests::ConsoleWriters console{[&](std::string_view text) -> WriteResult {
                                                 out.append(text);
                                                 return {};
                                             },
                                             [&](std::string_view text) -> WriteResult {
                                                 err.append(text);
                                                 return {};
                                             }};
    return ovra_tests::run_tests(table, args, environment, console);
}

}  // namespace ovra_test_support
