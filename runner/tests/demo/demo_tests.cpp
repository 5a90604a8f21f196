#include "demo_tests.hpp"

#include <array>
#include <utility>

#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/narrow.hpp"

namespace ovra_runner_demo {

using ovra_runner::Status;

namespace diagnostic::tests {

Status randomized_alpha_passes() {
    ovra_runner::println("hello from alpha");
    return {};
}

Status randomized_beta_fails_eq() {
    ovra_runner::check_eq(std::pair{0, 8}, std::pair{0, 2});
    return {};
}

}  // namespace diagnostic::tests

namespace tests {

Status randomized_gamma_returns_error() {
    return std::unexpected(ovra_runner::integer_conversion_error());
}

Status zeta_ignored() {
    return {};
}

}  // namespace tests

namespace {

constexpr std::string_view source = "runner/tests/demo/demo_tests.cpp";

constexpr std::array<ovra_runner::TestDescriptor, 4> table{{
    {.name = "diagnostic::tests::randomized_alpha_passes",
     .source_file = source,
     .start_line = 16,
     .start_col = 8,
     .end_line = 16,
     .end_col = 31,
     .function = diagnostic::tests::randomized_alpha_passes},
    {.name = "diagnostic::tests::randomized_beta_fails_eq",
     .source_file = source,
     .start_line = 21,
     .start_col = 8,
     .end_line = 21,
     .end_col = 32,
     .function = diagnostic::tests::randomized_beta_fails_eq},
    {.name = "tests::randomized_gamma_returns_error",
     .source_file = source,
     .start_line = 30,
     .start_col = 8,
     .end_line = 30,
     .end_col = 38,
     .function = tests::randomized_gamma_returns_error},
    {.name = "tests::zeta_ignored",
     .ignore = true,
     .source_file = source,
     .start_line = 34,
     .start_col = 8,
     .end_line = 34,
     .end_col = 20,
     .function = tests::zeta_ignored},
}};

}  // namespace

std::span<const ovra_runner::TestDescriptor> demo_table() {
    return table;
}

}  // namespace ovra_runner_demo
