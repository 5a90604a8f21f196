#include "ovra/deep_check/cblas_under_check.hpp"

#include <dlfcn.h>
#include <link.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "ovra/printable/printable.hpp"
#include "ovra/trivial_test/diagnostic.hpp"

#if defined(OVRA_BLAS_OPENBLAS)
extern "C" char* openblas_get_config();
extern "C" int openblas_get_parallel();
extern "C" char* openblas_get_corename();
#endif

namespace ovra_tests::deep {

namespace {

using ovra_printable::printable;
using ovra_tests::diagnostic::CblasSgemm;
using ovra_tests::diagnostic::CblasVendor;

// The sanitizer runtimes refuse RTLD_DEEPBIND: a library bound to its own symbols first would bypass their
// interceptors.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int deep_bind = 0;
#else
constexpr int deep_bind = RTLD_DEEPBIND;
#endif

template <class Function>
Function symbol(void* handle, const char* name) {
    return std::bit_cast<Function>(::dlsym(handle, name));
}

// The file that holds `address`, links resolved; empty when it is this executable.
std::string file_holding(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
    if (error) {
        return info.dli_fname;
    }
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    return !error && file == self ? std::string() : file.string();
}

std::string trimmed(const char* text) {
    std::string_view view(text);
    while (!view.empty() && (view.back() == ' ' || view.back() == '\n')) {
        view.remove_suffix(1);
    }
    return std::string(view);
}

// What OpenBLAS says of itself.
struct OpenBlasSays {
    LibraryText config = nullptr;
    LibraryText kernel = nullptr;
    int (*parallel)() = nullptr;
};

// A library as it says it is: OpenBLAS by its configuration, BLIS by its version, or neither.
CblasLibrary described(CblasSgemm sgemm, std::string loaded_as, OpenBlasSays openblas,
                       LibraryText blis_version) {
    CblasLibrary library{
        {}, std::move(loaded_as), file_holding(std::bit_cast<const void*>(sgemm)), {}, nullptr, false, true};
    if (openblas.config != nullptr) {
        // Asked once per library: every call rewrites the text in one shared buffer.
        library.version = trimmed(openblas.config());
        library.cblas = ovra_tests::diagnostic::describe_cblas(
            sgemm, CblasVendor::OpenBlas,
            openblas.parallel != nullptr ? std::optional<int>(openblas.parallel()) : std::nullopt);
        library.kernel = openblas.kernel;
        library.kernel_choice =
            openblas.kernel != nullptr && library.version.find("DYNAMIC_ARCH") != std::string::npos;
    } else if (blis_version != nullptr) {
        library.version = "BLIS " + trimmed(blis_version());
        library.cblas = ovra_tests::diagnostic::describe_cblas(sgemm, CblasVendor::Blis);
    } else {
        library.cblas = ovra_tests::diagnostic::describe_cblas(sgemm, CblasVendor::Other);
    }
    library.must_take_turns = library.cblas.serialised;
    return library;
}

std::optional<CblasLibrary>& chosen_library() {
    static std::optional<CblasLibrary> chosen;
    return chosen;
}

}  // namespace

ovra_runner::Result<CblasLibrary> load_cblas(const std::string& name) {
    if (name.empty()) {
        return std::unexpected(
            ovra_runner::make_error(fmt::format("{} is set but names no library", library_variable)));
    }
    void* const handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | deep_bind);
    if (handle == nullptr) {
        const char* const reason = ::dlerror();
        return std::unexpected(
            ovra_runner::make_error(fmt::format("cannot load the CBLAS that {} names: {}", library_variable,
                                                printable(reason != nullptr ? reason : name))));
    }
    const auto sgemm = symbol<CblasSgemm>(handle, "cblas_sgemm");
    if (sgemm == nullptr) {
        link_map* map = nullptr;
        const bool located = ::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr;
        const std::string file = printable(located ? map->l_name : name);
        ::dlclose(handle);
        return std::unexpected(ovra_runner::make_error(
            fmt::format("the library that {} names has no cblas_sgemm: {}", library_variable, file)));
    }
    // Never closed: the library is called until the process ends.
    return described(sgemm, name,
                     {symbol<LibraryText>(handle, "openblas_get_config"),
                      symbol<LibraryText>(handle, "openblas_get_corename"),
                      symbol<int (*)()>(handle, "openblas_get_parallel")},
                     symbol<LibraryText>(handle, "bli_info_get_version_str"));
}

CblasLibrary linked_cblas_library() {
#if defined(OVRA_BLAS_OPENBLAS)
    CblasLibrary library = described(
        &cblas_sgemm, {}, {&openblas_get_config, &openblas_get_corename, &openblas_get_parallel}, nullptr);
#else
    // A BLIS linked as a shared library makes its version function visible.
    CblasLibrary library =
        described(&cblas_sgemm, {}, {}, symbol<LibraryText>(RTLD_DEFAULT, "bli_info_get_version_str"));
#endif
    // Exactly how host_sgemm calls it, decided on its own, which the concurrency check holds to
    // `must_take_turns`.
    library.cblas = ovra_tests::diagnostic::linked_cblas();
    return library;
}

std::string describe(const CblasLibrary& library) {
    const std::string version =
        library.version.empty() ? "a CBLAS that does not say its version" : printable(library.version);
    if (!library.loaded_as.empty()) {
        return fmt::format("{}, loaded by {}={} from {}", version, library_variable,
                           printable(library.loaded_as), printable(library.file));
    }
    if (library.file.empty()) {
        return version + ", linked into this executable";
    }
    return fmt::format("{}, linked from {}", version, printable(library.file));
}

ovra_runner::Status choose_cblas_under_check() {
    const char* const name = std::getenv(library_variable);
    if (name == nullptr) {
        return {};
    }
    ovra_runner::Result<CblasLibrary> loaded = load_cblas(name);
    if (!loaded) {
        return std::unexpected(std::move(loaded.error()));
    }
    chosen_library() = std::move(*loaded);
    return {};
}

const CblasLibrary& cblas_under_check() {
    if (const std::optional<CblasLibrary>& chosen = chosen_library()) {
        return *chosen;
    }
    static const CblasLibrary linked = linked_cblas_library();
    return linked;
}

ovra_runner::Status sgemm_under_check(std::span<const float> left, std::span<const float> right,
                                      std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                      std::uint32_t inner, std::uint32_t left_stride,
                                      std::uint32_t right_stride, bool transpose_left, bool transpose_right) {
    return ovra_tests::diagnostic::host_sgemm_through(cblas_under_check().cblas, left, right, output, rows,
                                                      columns, inner, left_stride, right_stride,
                                                      transpose_left, transpose_right);
}

}  // namespace ovra_tests::deep
