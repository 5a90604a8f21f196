// A stand-in for an OpenBLAS built with several kernels (DYNAMIC_ARCH), loaded through OVRA_CBLAS by the
// tests of the kernel sweep. Like OpenBLAS it takes its kernel from OPENBLAS_CORETYPE when it is loaded
// (an older name maps onto the kernel that replaced it, an unknown name onto the one it would choose
// itself), and computes plain products, except under the kernels that misbehave as real ones can: wrong
// past a block of columns, dead of SIGILL on a CPU without their instructions, aborted, exited, or hung.
// It brings neither the C++ runtime nor a sanitizer's into the process that loads it.
#include <signal.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

namespace {

struct Kernel {
    const char* name;
    const char* runs;
};

constexpr Kernel kernels[] = {
    {"Katmai", "Prescott"},     {"Prescott", "Prescott"},       {"Penryn", "Penryn"},
    {"Nehalem", "Nehalem"},     {"Sandybridge", "Sandybridge"}, {"Dunnington", "Dunnington"},
    {"Bulldozer", "Bulldozer"}, {"Haswell", "Haswell"},
};

const char* chosen = "Haswell";

bool is(const char* kernel) {
    return strcasecmp(chosen, kernel) == 0;
}

[[gnu::constructor]] void choose_kernel() {
    const char* const forced = getenv("OPENBLAS_CORETYPE");
    for (const Kernel& kernel : kernels) {
        if (forced != nullptr && strcasecmp(forced, kernel.name) == 0) {
            chosen = kernel.runs;
        }
    }
}

}  // namespace

extern "C" {

[[gnu::visibility("default")]] char* openblas_get_config() {
    return const_cast<char*>("OpenBLAS 0.3.21 stand-in DYNAMIC_ARCH SINGLE_THREADED");
}

// Its serial build.
[[gnu::visibility("default")]] int openblas_get_parallel() {
    return 0;
}

[[gnu::visibility("default")]] char* openblas_get_corename() {
    return const_cast<char*>(chosen);
}

// Row-major, alpha and beta as host_sgemm passes them (1 and 0).
[[gnu::visibility("default")]] void cblas_sgemm(int, int transpose_left, int transpose_right, int rows,
                                                int columns, int inner, float, const float* left,
                                                int left_stride, const float* right, int right_stride, float,
                                                float* output, int output_stride) {
    if (is("Bulldozer")) {
        raise(SIGILL);
    } else if (is("Sandybridge")) {
        abort();
    } else if (is("Dunnington")) {
        _exit(3);
    } else if (is("Nehalem")) {
        for (;;) {
            pause();
        }
    }
    constexpr int transposed = 112;
    for (long row = 0; row < rows; ++row) {
        float* const sums = output + row * output_stride;
        for (long column = 0; column < columns; ++column) {
            sums[column] = 0.0F;
        }
        for (long k = 0; k < inner; ++k) {
            const float factor =
                transpose_left == transposed ? left[k * left_stride + row] : left[row * left_stride + k];
            for (long column = 0; column < columns; ++column) {
                sums[column] += factor * (transpose_right == transposed ? right[column * right_stride + k]
                                                                        : right[k * right_stride + column]);
            }
        }
        // Penryn's edge kernel past the first 1,024 columns adds one to the first of them.
        if (is("Penryn") && columns > 1024) {
            sums[1024] += 1.0F;
        }
    }
}

}  // extern "C"
