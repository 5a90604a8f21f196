// Logical coordinates of one matrix element, both counted from 0. Formats as "(row, column)".
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "ovra/codegen/text_format.hpp"

namespace ovra_codegen::storage {

struct MatrixCoordinates {
    std::uint32_t row;
    std::uint32_t column;
    friend bool operator==(const MatrixCoordinates&, const MatrixCoordinates&) = default;
};

}  // namespace ovra_codegen::storage

template <>
struct fmt::formatter<ovra_codegen::storage::MatrixCoordinates> {
    bool debug = false;  // "{:?}" is accepted and renders the same pair

    template <typename ParseContext>
    constexpr typename ParseContext::iterator parse(ParseContext& ctx) {
        return ovra_codegen::text::parse_debug_flag(ctx, debug);
    }

    template <typename FormatContext>
    typename FormatContext::iterator format(const ovra_codegen::storage::MatrixCoordinates& coordinates,
                                            FormatContext& ctx) const {
        return fmt::format_to(ctx.out(), "({}, {})", coordinates.row, coordinates.column);
    }
};
