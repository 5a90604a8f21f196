#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_error_text.hpp"

namespace {

namespace layout = ovra_codegen::layout;
namespace operator_ = ovra_codegen::operator_;
namespace storage = ovra_codegen::storage;
namespace text = ovra_codegen::text;

// Accepts a fixed number of writes, then refuses every further one. Counts every attempt.
struct RefusingSink {
    std::size_t accepted_writes;
    std::string out;
    std::size_t attempts = 0;

    text::WriteResult write(std::string_view piece) {
        ++attempts;
        if (attempts > accepted_writes) {
            return std::unexpected(text::WriteError{});
        }
        out.append(piece);
        return {};
    }
};

using Rendering = std::function<text::WriteResult(RefusingSink&)>;

const layout::BlockedOrder order{
    {layout::TensorAxis{layout::FromEnd{4}}, layout::TensorAxis{layout::Linear{}}}, {8, 16}, {0, 1}};

// Renderings that take many writes, nested ones included.
std::vector<Rendering> renderings() {
    const storage::StorageError block_major = storage::BlockMajorBlock{order};
    const storage::StorageError wrapped = storage::Layout{layout::AxisOutOfRange{layout::FromStart{9}, 4}};
    const layout::LayoutError padding = layout::InvalidPaddingGroups{3, 4, 10};
    const operator_::Precision precision = operator_::F8F143{-128};
    return {
        [](RefusingSink& sink) { return layout::write_debug(sink, order); },
        [=](RefusingSink& sink) { return layout::write_debug(sink, padding); },
        [=](RefusingSink& sink) { return layout::write_message(sink, padding); },
        [=](RefusingSink& sink) { return storage::write_debug(sink, block_major); },
        [=](RefusingSink& sink) { return storage::write_message(sink, block_major); },
        [=](RefusingSink& sink) { return storage::write_debug(sink, wrapped); },
        [=](RefusingSink& sink) { return storage::write_message(sink, wrapped); },
        [=](RefusingSink& sink) { return operator_::write_debug(sink, precision); },
        [](RefusingSink& sink) { return layout::write_debug(sink, layout::NativeKernelOrder::Output); },
    };
}

TEST(RefusedWrite, IsPassedBackAndEndsTheRendering) {
    for (const Rendering& render : renderings()) {
        RefusingSink unlimited{static_cast<std::size_t>(-1), {}};
        ASSERT_TRUE(render(unlimited).has_value());
        const std::size_t writes_needed = unlimited.attempts;

        for (std::size_t budget = 0; budget < writes_needed; ++budget) {
            RefusingSink sink{budget, {}};
            const text::WriteResult result = render(sink);
            SCOPED_TRACE(unlimited.out + " with " + std::to_string(budget) + " writes accepted");
            EXPECT_EQ(result, std::unexpected(text::WriteError{}));
            EXPECT_EQ(sink.attempts, budget + 1) << "nothing may be written after a refusal";
            EXPECT_TRUE(unlimited.out.starts_with(sink.out)) << sink.out;
        }

        RefusingSink enough{writes_needed, {}};
        EXPECT_TRUE(render(enough).has_value());
        EXPECT_EQ(enough.out, unlimited.out);
    }
}

}  // namespace
