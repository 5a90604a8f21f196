// The one error type of storage addressing: why a storage position or size cannot be computed.
// A plain value; the wrapped layout error of `Layout` is held by value.
#pragma once

#include <variant>

#include "ovra/codegen/layout.hpp"

namespace ovra_codegen::storage {

struct WrongShard {
    friend bool operator==(const WrongShard&, const WrongShard&) = default;
};

struct InvalidView {
    friend bool operator==(const InvalidView&, const InvalidView&) = default;
};

struct MatrixRank {
    friend bool operator==(const MatrixRank&, const MatrixRank&) = default;
};

// The extents do not fit the block shape of `role`'s native order; always an untransposed role.
struct AmpBlock {
    layout::NativeKernelOrder role;
    friend bool operator==(const AmpBlock&, const AmpBlock&) = default;
};

struct BlockMajorBlock {
    layout::BlockedOrder order;
    friend bool operator==(const BlockMajorBlock&, const BlockMajorBlock&) = default;
};

// A layout error met while addressing storage. It adds no text: its message is the wrapped one.
struct Layout {
    layout::LayoutError error;
    friend bool operator==(const Layout&, const Layout&) = default;
};

struct Overflow {
    friend bool operator==(const Overflow&, const Overflow&) = default;
};

using StorageError =
    std::variant<WrongShard, InvalidView, MatrixRank, AmpBlock, BlockMajorBlock, Layout, Overflow>;

}  // namespace ovra_codegen::storage
