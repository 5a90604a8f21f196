// Debug rendering of element precisions, e.g. "F8F143 { scale_exponent: -3 }" or "F16".
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/text_format.hpp"
#include "ovra/codegen/text_sink.hpp"

namespace ovra_codegen::operator_ {

// The name of a precision's variant, with which its debug rendering starts: "F8F143", "F16" or "F32".
constexpr std::string_view precision_name(const F8F143& /*precision*/) {
    return "F8F143";
}
constexpr std::string_view precision_name(const F16& /*precision*/) {
    return "F16";
}
constexpr std::string_view precision_name(const F32& /*precision*/) {
    return "F32";
}
constexpr std::string_view precision_name(const Precision& precision) {
    return std::visit([](const auto& variant) { return precision_name(variant); }, precision);
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F8F143& precision) {
    return text::write_pieces(sink, precision_name(precision),
                              " { scale_exponent: ", precision.scale_exponent, " }");
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F16& precision) {
    return sink.write(precision_name(precision));
}

template <text::TextSink Sink>
text::WriteResult write_debug(Sink& sink, const F32& precision) {
    return sink.write(precision_name(precision));
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
