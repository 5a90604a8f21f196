// Prints where the element at storage position 18 of a 2 x 16 F16 matrix in Output order lies, and what a
// block-shape mismatch reports: the two answers callers of ovra::codegen handle.
#include <cstdio>

#include <fmt/format.h>

#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/package/binding.hpp"
#include "ovra/runner/error.hpp"

int main() {
    using ovra_codegen::layout::NativeKernelOrder;
    using ovra_codegen::storage::amp_matrix_coordinates;
    constexpr ovra_codegen::operator_::Precision f16 = ovra_codegen::operator_::F16{};

    const auto cell = amp_matrix_coordinates(NativeKernelOrder::Output, f16, 2, 16, 18);
    const auto mismatch = amp_matrix_coordinates(NativeKernelOrder::Left, f16, 2, 24, 0);
    if (!cell || mismatch) {
        std::fputs("unexpected result from ovra::codegen\n", stderr);
        return 1;
    }
    const ovra_package::Binding binding{"weights", "f16", {2, 16}, {{0, 0x100000, 0, 64}}};
    const ovra_runner::Error error = ovra_runner::to_error(mismatch.error());
    fmt::print("Output F16 2x16, position 18: {}\n", *cell);
    fmt::print("Left F16 2x24: {}\n", ovra_runner::render_report(error));
    fmt::print("binding {} has {} slice(s)\n", binding.name, binding.slices.size());
    return 0;
}
