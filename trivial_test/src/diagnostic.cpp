#include "ovra/trivial_test/diagnostic.hpp"

#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>

#include <fmt/format.h>

#include "ovra/runner/error.hpp"
#include "ovra/runner/narrow.hpp"
#include "ovra/trivial_test/cblas.hpp"

#if defined(OVRA_BLAS_OPENBLAS)
extern "C" int openblas_get_parallel();
#endif

namespace ovra_tests::diagnostic {

namespace {

// Elements that an operand stored `rows` x `columns` with row stride `stride` reaches: every row but the last
// is a full stride. Every value is below 2^31, so this cannot wrap.
constexpr std::uint64_t addressed_elements(std::uint64_t rows, std::uint64_t columns, std::uint64_t stride) {
    return rows == 0 || columns == 0 ? 0 : (rows - 1) * stride + columns;
}

// Whether CBLAS may read the operand as its shape and stride say: a stride shorter than a row would make it
// complain on the console, a buffer too short would make it read past the end.
constexpr bool readable(std::size_t elements, std::uint64_t rows, std::uint64_t columns,
                        std::uint64_t stride) {
    return stride >= columns && elements >= addressed_elements(rows, columns, stride);
}

// Why CBLAS may not read the operand; for an operand that `readable` refuses.
ovra_runner::Status unreadable_operand(const char* label, std::size_t elements, std::uint64_t rows,
                                       std::uint64_t columns, std::uint64_t stride) {
    if (stride < columns) {
        return std::unexpected(ovra_runner::make_error(fmt::format(
            "host GEMM {} stride {} is shorter than its stored row of {} elements", label, stride, columns)));
    }
    return std::unexpected(ovra_runner::make_error(
        fmt::format("host GEMM {} operand holds {} elements but its shape and stride address {}", label,
                    elements, addressed_elements(rows, columns, stride))));
}

// OpenBLAS maps a work buffer of 128 MiB the first time a thread needs one (and keeps it for later products)
// and, when the system refuses the mapping, tries again for ever. Under an address-space limit
// (`ulimit -v`) a thread's first product makes sure that such a mapping can be made now, so that a limit too
// tight for OpenBLAS fails the product instead of hanging it.
constexpr std::size_t blas_work_buffer_bytes = std::size_t{128} << 20;

bool address_space_limited() {
    static const bool limited = [] {
        rlimit limit{};
        return ::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY;
    }();
    return limited;
}

thread_local bool blas_work_buffer_checked = false;

ovra_runner::Status check_blas_work_buffer() {
    void* const probe = ::mmap(nullptr, blas_work_buffer_bytes, PROT_NONE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED) {
        return std::unexpected(
            ovra_runner::make_error(fmt::format("host GEMM: OpenBLAS cannot map its {} MiB work buffer: {}",
                                                blas_work_buffer_bytes >> 20, std::strerror(errno))));
    }
    ::munmap(probe, blas_work_buffer_bytes);
    blas_work_buffer_checked = true;
    return {};
}

// Held around each call into a library whose calls must take turns.
std::mutex blas_turn;

}  // namespace

Cblas describe_cblas(CblasSgemm sgemm, CblasVendor vendor, std::optional<int> openblas_parallel) {
    switch (vendor) {
        case CblasVendor::OpenBlas:
            return {sgemm, openblas_parallel.value_or(0) == 0, true};
        case CblasVendor::Blis:
            return {sgemm, false, false};
        case CblasVendor::Other:
            break;
    }
    return {sgemm, true, false};
}

const Cblas& linked_cblas() {
#if defined(OVRA_BLAS_OPENBLAS)
    static const Cblas linked = describe_cblas(&cblas_sgemm, CblasVendor::OpenBlas, openblas_get_parallel());
#else
    // A BLIS linked as a shared library makes its own version function visible.
    static const Cblas linked = describe_cblas(
        &cblas_sgemm, ::dlsym(RTLD_DEFAULT, "bli_info_get_version_str") != nullptr ? CblasVendor::Blis
                                                                                   : CblasVendor::Other);
#endif
    return linked;
}

ovra_runner::Status host_sgemm(std::span<const float> left, std::span<const float> right,
                               std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                               std::uint32_t inner, std::uint32_t left_stride, std::uint32_t right_stride,
                               bool transpose_left, bool transpose_right) {
    return host_sgemm_through(linked_cblas(), left, right, output, rows, columns, inner, left_stride,
                              right_stride, transpose_left, transpose_right);
}

ovra_runner::Status host_sgemm_through(const Cblas& blas, std::span<const float> left,
                                       std::span<const float> right, std::span<float> output,
                                       std::uint32_t rows, std::uint32_t columns, std::uint32_t inner,
                                       std::uint32_t left_stride, std::uint32_t right_stride,
                                       bool transpose_left, bool transpose_right) {
    // CBLAS takes signed 32-bit extents; one that does not fit ends the call.
    if (!std::in_range<std::int32_t>(rows) || !std::in_range<std::int32_t>(columns) ||
        !std::in_range<std::int32_t>(inner) || !std::in_range<std::int32_t>(left_stride) ||
        !std::in_range<std::int32_t>(right_stride)) {
        return std::unexpected(ovra_runner::integer_conversion_error());
    }
    if (output.size() != std::size_t{rows} * std::size_t{columns}) {
        return std::unexpected(ovra_runner::make_error("host GEMM output dimensions are inconsistent"));
    }
    // Each operand as stored: rows and row length before any transpose.
    const std::uint32_t left_rows = transpose_left ? inner : rows;
    const std::uint32_t left_columns = transpose_left ? rows : inner;
    const std::uint32_t right_rows = transpose_right ? columns : inner;
    const std::uint32_t right_columns = transpose_right ? inner : columns;
    if (!readable(left.size(), left_rows, left_columns, left_stride)) {
        return unreadable_operand("left", left.size(), left_rows, left_columns, left_stride);
    }
    if (!readable(right.size(), right_rows, right_columns, right_stride)) {
        return unreadable_operand("right", right.size(), right_rows, right_columns, right_stride);
    }
    // An empty extent leaves a product of zeros (or no product at all), which CBLAS is not asked for: it
    // rejects the leading dimension 0 such a matrix may have.
    if (rows == 0 || columns == 0 || inner == 0) {
        std::ranges::fill(output, 0.0F);
        return {};
    }

    if (blas.maps_work_buffer && !blas_work_buffer_checked && address_space_limited()) {
        if (ovra_runner::Status checked = check_blas_work_buffer(); !checked) {
            return checked;
        }
    }
    std::unique_lock turn(blas_turn, std::defer_lock);
    if (blas.serialised) {
        turn.lock();
    }
    const auto n = static_cast<std::int32_t>(columns);
    blas.sgemm(CblasRowMajor, transpose_left ? CblasTrans : CblasNoTrans,
               transpose_right ? CblasTrans : CblasNoTrans, static_cast<std::int32_t>(rows), n,
               static_cast<std::int32_t>(inner), 1.0F, left.data(), static_cast<std::int32_t>(left_stride),
               right.data(), static_cast<std::int32_t>(right_stride), 0.0F, output.data(), n);
    return {};
}

}  // namespace ovra_tests::diagnostic
