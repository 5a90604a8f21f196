// Modules `deep::layout::tests` and `deep::storage::tests` (texts): every debug rendering and message of
// the layout vocabulary and of the storage errors, what a storage error becomes as the tests' error value,
// and the integer-conversion error, each against a text written here, never one taken from the code under
// test. The renderings are a parameter, so that a broken one can be shown to fail them.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "ovra/codegen/layout.hpp"
#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/storage_error.hpp"
#include "ovra/runner/error.hpp"

namespace ovra_tests::deep::rendering {

using Vocabulary = std::variant<ovra_codegen::layout::TensorAxis, ovra_codegen::layout::NativeKernelOrder,
                                ovra_codegen::layout::BlockedOrder, ovra_codegen::operator_::Precision,
                                ovra_codegen::layout::LayoutError, ovra_codegen::storage::StorageError>;

// What the libraries make of one value: its debug rendering, what {fmt} gives for "{}" and "{:?}", and for
// an error its message and the tests' error value it converts into.
struct Texts {
    std::string debug;
    std::string formatted;
    std::string formatted_debug;
    std::optional<std::string> message;
    std::optional<ovra_runner::Error> converted;
};

using RenderFunction = Texts (*)(const Vocabulary& value);
// Called like integer_conversion_error.
using ConversionErrorFunction = ovra_runner::Error (*)();

// The libraries' own renderings, message and conversion.
Texts library_texts(const Vocabulary& value);

}  // namespace ovra_tests::deep::rendering

namespace ovra_tests::deep::layout::tests {

// Every axis kind and kernel order, block orders, every precision, every layout error variant, with the
// extreme values of their fields: debug renderings, messages, {fmt}'s two forms, and the error value.
ovra_runner::Status vocabulary_renders_as_written(rendering::RenderFunction render);

ovra_runner::Status exhaustive_vocabulary_renders_as_written();

}  // namespace ovra_tests::deep::layout::tests

namespace ovra_tests::deep::storage::tests {

// Every storage error variant, `Layout` around each layout error: debug renderings and messages, and the
// error value each converts into (its message, no cause); the integer-conversion error's text.
ovra_runner::Status errors_render_and_convert_as_written(rendering::RenderFunction render,
                                                         rendering::ConversionErrorFunction conversion_error);

ovra_runner::Status exhaustive_errors_render_and_convert_as_written();

}  // namespace ovra_tests::deep::storage::tests
