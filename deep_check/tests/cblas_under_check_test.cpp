// The library under check: what a loaded CBLAS says of itself decides how it is called and swept, the
// deep check's SGEMM tests reach the library that OVRA_CBLAS names, and one it cannot use ends the run
// before any test with one error line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/test_support/child_process.hpp"

namespace ovra_tests::deep {
namespace {

using ovra_test_support::run_child;

TEST(CblasUnderCheck, DescribesALoadedLibraryByWhatItSaysOfItself) {
    const ovra_runner::Result<CblasLibrary> loaded = load_cblas(OVRA_FAKE_OPENBLAS);
    ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
    EXPECT_EQ(loaded->loaded_as, OVRA_FAKE_OPENBLAS);
    EXPECT_EQ(loaded->file, std::filesystem::canonical(OVRA_FAKE_OPENBLAS).string());
    EXPECT_EQ(loaded->version, "OpenBLAS 0.3.21 stand-in DYNAMIC_ARCH SINGLE_THREADED");
    EXPECT_TRUE(loaded->kernel_choice);
    ASSERT_NE(loaded->kernel, nullptr);
    EXPECT_STREQ(loaded->kernel(), "Haswell");
    // OpenBLAS's serial build: its calls take turns, and it maps a work buffer.
    EXPECT_TRUE(loaded->cblas.serialised);
    EXPECT_TRUE(loaded->must_take_turns);
    EXPECT_TRUE(loaded->cblas.maps_work_buffer);
}

TEST(CblasUnderCheck, RefusesALibraryItCannotUseWithOneErrorLineBeforeAnyTest) {
    struct Case {
        std::string library;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"/nonexistent/libcblas.so",
         "error: cannot load the CBLAS that OVRA_CBLAS names: /nonexistent/libcblas.so: cannot open shared "
         "object "
         "file: No such file or directory\n"},
        {"libm.so.6", "error: the library that OVRA_CBLAS names has no cblas_sgemm: "},
        {"", "error: OVRA_CBLAS is set but names no library\n"},
    };
    for (const Case& c : cases) {
        const auto outcome = run_child(OVRA_DEEP_CHECK, {"--list"}, {"OVRA_CBLAS=" + c.library});
        EXPECT_EQ(outcome.status, 101) << c.library;
        EXPECT_EQ(outcome.out, "") << c.library;
        EXPECT_TRUE(outcome.err.starts_with(c.error)) << c.library << ": " << outcome.err;
        EXPECT_EQ(std::ranges::count(outcome.err, '\n'), 1) << c.library << ": " << outcome.err;
    }
}

TEST(CblasUnderCheck, TheSgemmTestsCheckTheLibraryThatOvraCblasNames) {
    const std::vector<std::string> arguments{
        "--exact", "deep::diagnostic::tests::exhaustive_integer_products_past_the_blocking_sizes_are_exact"};
    const std::string library = std::string("OVRA_CBLAS=") + OVRA_FAKE_OPENBLAS;
    EXPECT_EQ(run_child(OVRA_DEEP_CHECK, arguments, {library}).status, 0);
    // Under this kernel the stand-in is wrong past 1,024 columns.
    const auto wrong = run_child(OVRA_DEEP_CHECK, arguments, {library, "OPENBLAS_CORETYPE=Penryn"});
    EXPECT_EQ(wrong.status, 101);
    EXPECT_NE(wrong.out.find("2 x 1089 x 1032 (rows x inner x columns)"), std::string::npos) << wrong.out;
    EXPECT_NE(wrong.out.find("element (0, 1024)"), std::string::npos) << wrong.out;
}

}  // namespace
}  // namespace ovra_tests::deep
