// {fmt} adapters over the renderings. They add no text of their own: "{}" gives an error's message
// (or, for the other vocabulary types, their debug rendering) and "{:?}" gives the debug rendering.
#pragma once

#include <fmt/format.h>

#include "ovra/codegen/text_sink.hpp"

namespace ovra_codegen::text {

// Accepts no format flags or just "?"; reports whether "?" was given.
template <typename ParseContext>
constexpr typename ParseContext::iterator parse_debug_flag(ParseContext& ctx, bool& debug) {
    auto it = ctx.begin();
    if (it != ctx.end() && *it == '?') {
        debug = true;
        ++it;
    }
    if (it != ctx.end() && *it != '}') {
        ctx.on_error("invalid format flags: only \"\" and \"?\" are accepted");
    }
    return it;
}

// Formats a value: "{:?}" gives its debug rendering; "{}" gives its message when it has one (errors) and its
// debug rendering otherwise.
template <typename T, bool HasMessage>
struct RenderingFormatter {
    bool debug = false;

    template <typename ParseContext>
    constexpr typename ParseContext::iterator parse(ParseContext& ctx) {
        return parse_debug_flag(ctx, debug);
    }

    template <typename FormatContext>
    typename FormatContext::iterator format(const T& value, FormatContext& ctx) const {
        IteratorSink<typename FormatContext::iterator> sink{ctx.out()};
        // An iterator sink never refuses, so there is no failure to pass on.
        if constexpr (HasMessage) {
            static_cast<void>(debug ? write_debug(sink, value) : write_message(sink, value));
        } else {
            static_cast<void>(write_debug(sink, value));
        }
        return sink.out;
    }
};

template <typename T>
using DebugFormatter = RenderingFormatter<T, false>;
template <typename T>
using ErrorFormatter = RenderingFormatter<T, true>;

}  // namespace ovra_codegen::text
