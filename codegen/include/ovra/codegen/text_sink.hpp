// Text sinks and the small helpers every rendering of the codegen vocabulary is built from.
//
// A sink is any type with `WriteResult write(std::string_view)`. It may refuse a write (a full buffer,
// a closed stream); the rendering then stops at once and hands the refusal back to its caller
// unchanged. Whatever the sink accepted before the refusal stays where the sink put it.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <type_traits>

namespace ovra_codegen::text {

// A sink refused a write. It carries nothing more: only the sink's owner knows why.
struct WriteError {
    friend bool operator==(const WriteError&, const WriteError&) = default;
};

using WriteResult = std::expected<void, WriteError>;

template <typename Sink>
concept TextSink = requires(Sink& sink, std::string_view text) {
    { sink.write(text) } -> std::same_as<WriteResult>;
};

// Collects the text in a string. Never refuses.
struct StringSink {
    std::string& out;

    WriteResult write(std::string_view text) {
        out.append(text);
        return {};
    }
};

// Runs `render` against a string sink and returns the text. A string sink never refuses, so the text
// is always whole.
template <typename Render>
std::string render_to_string(Render render) {
    std::string out;
    StringSink sink{out};
    static_cast<void>(render(sink));
    return out;
}

// Copies the text to an output iterator, such as the one {fmt} hands a formatter. Never refuses.
template <typename OutputIt>
struct IteratorSink {
    OutputIt out;

    WriteResult write(std::string_view text) {
        out = std::copy(text.begin(), text.end(), out);
        return {};
    }
};

// Integers written as decimal numbers. The character types hold text, so they are not among them; the 8-bit
// integer types are, since a std::int8_t or std::uint8_t field must come out as a number, never as a letter.
template <typename T>
concept DecimalInteger =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> && !std::same_as<T, wchar_t> &&
    !std::same_as<T, char8_t> && !std::same_as<T, char16_t> && !std::same_as<T, char32_t>;

template <TextSink Sink, DecimalInteger T>
WriteResult write_decimal(Sink& sink, T value) {
    // Room for any 64-bit value: 2^64 - 1 has 20 digits, -2^63 has 19 and a sign.
    std::array<char, 20> digits{};
    const std::to_chars_result written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return sink.write(std::string_view(digits.data(), written.ptr));
}

template <TextSink Sink, typename Piece>
WriteResult write_piece(Sink& sink, const Piece& piece);

// "[a, b, ...]", each element rendered as a piece.
template <TextSink Sink, typename T, std::size_t N>
WriteResult write_list(Sink& sink, const std::array<T, N>& items) {
    if (WriteResult opened = sink.write("["); !opened) {
        return opened;
    }
    for (std::size_t index = 0; index < N; ++index) {
        if (index != 0) {
            if (WriteResult separated = sink.write(", "); !separated) {
                return separated;
            }
        }
        if (WriteResult item = write_piece(sink, items[index]); !item) {
            return item;
        }
    }
    return sink.write("]");
}

template <typename T>
inline constexpr bool is_std_array = false;
template <typename T, std::size_t N>
inline constexpr bool is_std_array<std::array<T, N>> = true;

// One piece of a rendering: literal text as it is, an integer in decimal, an array as a list, and any
// other value in its debug rendering, which `write_debug` in the value's own namespace provides.
template <TextSink Sink, typename Piece>
WriteResult write_piece(Sink& sink, const Piece& piece) {
    if constexpr (std::is_convertible_v<const Piece&, std::string_view>) {
        return sink.write(std::string_view(piece));
    } else if constexpr (DecimalInteger<Piece>) {
        return write_decimal(sink, piece);
    } else if constexpr (is_std_array<Piece>) {
        return write_list(sink, piece);
    } else {
        return write_debug(sink, piece);
    }
}

// Writes the pieces in order and stops at the first refusal, so nothing follows a refused write.
template <TextSink Sink, typename... Pieces>
WriteResult write_pieces(Sink& sink, const Pieces&... pieces) {
    WriteResult result{};
    static_cast<void>(((result = write_piece(sink, pieces)).has_value() && ...));
    return result;
}

}  // namespace ovra_codegen::text
