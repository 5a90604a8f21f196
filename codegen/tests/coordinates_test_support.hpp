// Shorthands the coordinate tests share: one call over both storage-order functions, and descriptions of
// orders and results for failure messages.
#pragma once

#include <optional>
#include <string>

#include <fmt/format.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"

namespace coordinates_test {

namespace layout = ovra_codegen::layout;
namespace operator_ = ovra_codegen::operator_;
namespace storage = ovra_codegen::storage;

using layout::NativeKernelOrder;
using operator_::Precision;
using storage::CoordinatesResult;
using storage::MatrixCoordinates;

// A kernel role, or nothing for the right-matrix order of right_matrix_coordinates.
using Order = std::optional<NativeKernelOrder>;
inline constexpr Order right_matrix = std::nullopt;

inline CoordinatesResult map(Order order, Precision precision, std::uint32_t rows, std::uint32_t columns,
                             std::uint32_t linear) {
    if (!order) {
        return storage::right_matrix_coordinates(precision, rows, columns, linear);
    }
    return storage::amp_matrix_coordinates(*order, precision, rows, columns, linear);
}

inline std::string describe(Order order) {
    return order ? fmt::format("{}", *order) : "right-matrix";
}

inline std::string describe(const CoordinatesResult& result) {
    return result ? fmt::format("{}", *result) : fmt::format("{:?}", result.error());
}

}  // namespace coordinates_test
