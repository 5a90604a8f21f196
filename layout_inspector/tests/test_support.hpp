// Shorthands the inspector's tests share: the three precisions, a stored matrix's description in
// failure messages; a file's contents and a scratch directory of one's own.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "ovra/layout_inspector/storage_order.hpp"

namespace inspector_test {

namespace operator_ = ovra_codegen::operator_;
using namespace ovra_layout_inspector;

inline const Precision f8 = operator_::F8F143{0};
inline const Precision f16 = operator_::F16{};
inline const Precision f32 = operator_::F32{};

inline std::string describe(const StoredMatrix& m) {
    return fmt::format("{} {} {} x {}", role_name(m.role), precision_name(m.precision), m.rows, m.columns);
}

inline std::string contents_of(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A new directory under the test's temporary directory that anyone may read, named from `stem`.
inline std::filesystem::path make_scratch(const std::string& stem) {
    std::string name = (std::filesystem::path(testing::TempDir()) / (stem + "_XXXXXX")).string();
    EXPECT_NE(::mkdtemp(name.data()), nullptr);
    std::filesystem::permissions(name, std::filesystem::perms(0755));
    return name;
}

}  // namespace inspector_test
