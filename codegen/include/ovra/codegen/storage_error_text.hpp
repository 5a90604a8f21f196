// Messages and debug renderings of storage errors. Fields of the layout vocabulary appear in their
// debug rendering; `Layout` passes the wrapped error's message through untouched.
#pragma once

#include <string>
#include <variant>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/storage_error.hpp"
#include "ovra/codegen/text_format.hpp"
#include "ovra/codegen/text_sink.hpp"

namespace ovra_codegen::storage {

using text::TextSink;
using text::WriteResult;

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const WrongShard& /*error*/) {
    return sink.write("WrongShard");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const InvalidView& /*error*/) {
    return sink.write("InvalidView");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const MatrixRank& /*error*/) {
    return sink.write("MatrixRank");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const AmpBlock& error) {
    return text::write_pieces(sink, "AmpBlock { role: ", error.role, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const BlockMajorBlock& error) {
    return text::write_pieces(sink, "BlockMajorBlock { order: ", error.order, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const Layout& error) {
    return text::write_pieces(sink, "Layout(", error.error, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const Overflow& /*error*/) {
    return sink.write("Overflow");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const StorageError& error) {
    return std::visit([&sink](const auto& variant) { return write_debug(sink, variant); }, error);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const WrongShard& /*error*/) {
    return sink.write("view does not refer to the supplied shard");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const InvalidView& /*error*/) {
    return sink.write("view extents are not a valid subset of the shard");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const MatrixRank& /*error*/) {
    return sink.write("matrix storage requires a tensor of rank at least two");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const AmpBlock& error) {
    return text::write_pieces(sink, "AMP ", error.role,
                              " storage dimensions are incompatible with its block shape");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const BlockMajorBlock& error) {
    return text::write_pieces(sink, "block-major ", error.order,
                              " storage dimensions are incompatible with its block shape");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const Layout& error) {
    return layout::write_message(sink, error.error);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const Overflow& /*error*/) {
    return sink.write("tensor storage size overflowed");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const StorageError& error) {
    return std::visit([&sink](const auto& variant) { return write_message(sink, variant); }, error);
}

std::string debug(const StorageError& error);
std::string message(const StorageError& error);

}  // namespace ovra_codegen::storage

template <>
struct fmt::formatter<ovra_codegen::storage::StorageError>
    : ovra_codegen::text::ErrorFormatter<ovra_codegen::storage::StorageError> {};
