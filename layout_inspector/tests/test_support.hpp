// Shorthands the inspector's tests share: the three precisions, a stored matrix from its parts, and its
// description in failure messages.
#pragma once

#include <cstdint>
#include <string>

#include <fmt/format.h>

#include "ovra/layout_inspector/storage_order.hpp"

namespace inspector_test {

namespace operator_ = ovra_codegen::operator_;
using namespace ovra_layout_inspector;

inline const Precision f8 = operator_::F8F143{0};
inline const Precision f16 = operator_::F16{};
inline const Precision f32 = operator_::F32{};

inline StoredMatrix matrix(Role role, const Precision& precision, std::uint32_t rows, std::uint32_t columns) {
    return StoredMatrix{role, precision, rows, columns};
}

inline std::string describe(const StoredMatrix& m) {
    return fmt::format("{} {} {} x {}", role_name(m.role), precision_name(m.precision), m.rows, m.columns);
}

}  // namespace inspector_test
