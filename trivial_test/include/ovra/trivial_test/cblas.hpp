// The one CBLAS function the host product calls, declared as the CBLAS interface fixes it (32-bit integers),
// so that every vendor's library links, whatever its own header is called and wherever it lies; and what
// the product needs to know of the library it calls.
#pragma once

#include <optional>

extern "C" {

enum CBLAS_ORDER { CblasRowMajor = 101, CblasColMajor = 102 };
enum CBLAS_TRANSPOSE { CblasNoTrans = 111, CblasTrans = 112, CblasConjTrans = 113 };

void cblas_sgemm(CBLAS_ORDER order, CBLAS_TRANSPOSE transpose_left, CBLAS_TRANSPOSE transpose_right, int rows,
                 int columns, int inner, float alpha, const float* left, int left_stride, const float* right,
                 int right_stride, float beta, float* output, int output_stride);

}  // extern "C"

namespace ovra_tests::diagnostic {

using CblasSgemm = decltype(&cblas_sgemm);

// A CBLAS library as the host product calls it.
struct Cblas {
    CblasSgemm sgemm = nullptr;
    // Calls must take turns: the library hands its work buffers out without a lock, so two products
    // computed at once can share one and both come out wrong.
    bool serialised = true;
    // OpenBLAS maps a 128 MiB work buffer the first time a thread computes, and retries for ever when the
    // system refuses the mapping.
    bool maps_work_buffer = false;
};

enum class CblasVendor { OpenBlas, Blis, Other };

// How to call `sgemm` of a library from `vendor`. OpenBLAS says how it runs in openblas_get_parallel()
// (`openblas_parallel`: 0 for its serial build, the one that takes no lock; absent when the library has no
// such function, and then its calls take turns). Not from openblas_get_config(): that rewrites one shared
// buffer on every call, so a thread reading it while another asks sees it half written. BLIS is safe for
// concurrent calls; of any other library nothing says so, and its calls take turns.
Cblas describe_cblas(CblasSgemm sgemm, CblasVendor vendor,
                     std::optional<int> openblas_parallel = std::nullopt);

// The CBLAS this executable was linked with.
const Cblas& linked_cblas();

}  // namespace ovra_tests::diagnostic
