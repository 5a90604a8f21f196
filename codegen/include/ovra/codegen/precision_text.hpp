#pragma once

// Debug rendering of element precisions, e.g. "F8F143 { scale_exponent: -3 }" or "F16".

#include <string>
#include <variant>

#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/text_format.hpp"
#include "ovra/codegen/text_sink.hpp"

namespace ovra_codegen::operator_ {

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F8F143& precision) {
    return text::write_pieces(sink, "F8F143 { scale_exponent: ", precision.scale_exponent, " }");
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F16& /*precision*/) {
    return sink.write("F16");
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F32& /*precision*/) {
    return sink.write("F32");
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const Precision& precision) {
    return std::visit([&sink](const auto& variant) { return write_debug(sink, variant); }, precision);
}

std::string debug(const Precision& precision);

}  // namespace ovra_codegen::operator_

template <>
struct fmt::formatter<ovra_codegen::operator_::Precision>
    : ovra_codegen::text::DebugFormatter<ovra_codegen::operator_::Precision> {};
