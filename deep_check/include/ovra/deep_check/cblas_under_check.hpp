// The CBLAS library the deep check holds to its contract: the one linked into the executable, or the one
// that OVRA_CBLAS names, loaded when the program starts, so that a host without a compiler can check the
// library its own software loads. `main` chooses it once, before any test runs; the SGEMM tests reach it
// through `sgemm_under_check`, which is host_sgemm over that library, with every argument check and the
// turns its calls take.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/cblas.hpp"

namespace ovra_tests::deep {

using ovra_tests::diagnostic::Cblas;

// Names the library to check instead of the linked one: a path, or a name the dynamic loader finds.
inline constexpr const char* library_variable = "OVRA_CBLAS";

using LibraryText = char* (*)();

struct CblasLibrary {
    // How host_sgemm calls it: its cblas_sgemm, and whether calls take turns (for the linked library, as
    // host_sgemm itself decided).
    Cblas cblas;
    // The OVRA_CBLAS value it was loaded by; empty for the linked library.
    std::string loaded_as;
    // The file its cblas_sgemm lies in, links resolved; empty when that is this executable.
    std::string file;
    // What it says of itself: OpenBLAS's build configuration ("OpenBLAS 0.3.21 ... DYNAMIC_ARCH ..."), BLIS's
    // version ("BLIS 0.9.0"); empty when it says nothing.
    std::string version;
    // OpenBLAS's openblas_get_corename: the kernel it chose at start. Null for other libraries.
    LibraryText kernel = nullptr;
    // An OpenBLAS built with kernels for several CPU generations (DYNAMIC_ARCH), one of which it chooses at
    // start, or takes from OPENBLAS_CORETYPE.
    bool kernel_choice = false;
    // Whether what it says of itself, asked when it was described, requires its calls to take turns.
    bool must_take_turns = true;
};

// Loads `name` (RTLD_NOW | RTLD_LOCAL, and RTLD_DEEPBIND where no sanitizer runtime refuses it), so that
// neither its symbols nor those linked into the executable can stand in for the other's, and describes it.
// The error is one line: the library cannot be loaded, or has no cblas_sgemm.
ovra_runner::Result<CblasLibrary> load_cblas(const std::string& name);

// The library linked into this executable.
CblasLibrary linked_cblas_library();

// "VERSION, loaded by OVRA_CBLAS=NAME from FILE", "VERSION, linked from FILE" or "VERSION, linked into this
// executable"; VERSION reads "a CBLAS that does not say its version" when it says nothing.
std::string describe(const CblasLibrary& library);

// For `main`: loads the library that OVRA_CBLAS names, when it names one, as the library under check.
ovra_runner::Status choose_cblas_under_check();

// The library under check: the one OVRA_CBLAS named, or the linked one.
const CblasLibrary& cblas_under_check();

// host_sgemm through the library under check.
ovra_runner::Status sgemm_under_check(std::span<const float> left, std::span<const float> right,
                                      std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                      std::uint32_t inner, std::uint32_t left_stride,
                                      std::uint32_t right_stride, bool transpose_left, bool transpose_right);

}  // namespace ovra_tests::deep
