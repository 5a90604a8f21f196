// What the renderings do beyond the vocabulary's own values, which ovra_deep_check holds to their written
// texts: a kernel order cast from an out-of-range integer, the names the renderings start with, and the
// format flags {fmt} accepts.
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_error_text.hpp"

namespace {

namespace layout = ovra_codegen::layout;
namespace operator_ = ovra_codegen::operator_;
namespace storage = ovra_codegen::storage;

using layout::NativeKernelOrder;
using operator_::Precision;

// The names the debug renderings start with, for tools that show them on their own.
static_assert(layout::kernel_order_name(NativeKernelOrder::TransposedOutput) == "TransposedOutput");
static_assert(layout::kernel_order_name(static_cast<NativeKernelOrder>(200)).empty());
static_assert(operator_::precision_name(Precision{operator_::F8F143{-3}}) == "F8F143");
static_assert(operator_::precision_name(Precision{operator_::F32{}}) == "F32");

TEST(Rendering, AnOrderOutsideTheEnumerationShowsItsNumber) {
    const auto order = static_cast<NativeKernelOrder>(200);
    EXPECT_EQ(layout::debug(order), "NativeKernelOrder(200)");
    EXPECT_EQ(fmt::format("{}", order), "NativeKernelOrder(200)");
    EXPECT_EQ(fmt::format("{:?}", order), "NativeKernelOrder(200)");
}

TEST(Rendering, UnknownFormatFlagsAreRejected) {
    const storage::StorageError error = storage::Overflow{};
    EXPECT_THROW(static_cast<void>(fmt::format(fmt::runtime("{:x}"), error)), fmt::format_error);
    EXPECT_THROW(static_cast<void>(fmt::format(fmt::runtime("{:?x}"), NativeKernelOrder::Left)),
                 fmt::format_error);
}

}  // namespace
