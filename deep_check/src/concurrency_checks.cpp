#include "ovra/deep_check/concurrency_checks.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <latch>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/check_that.hpp"
#include "ovra/deep_check/sgemm_calls.hpp"
#include "ovra/trivial_test/diagnostic.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_runner::Status;

namespace {

using calls::Gemm;

// One product and its result computed alone.
struct Product {
    Gemm gemm;
    std::vector<float> left;
    std::vector<float> right;
    std::vector<float> alone;
};

Status compute(SgemmThroughFunction sgemm_through, const Cblas& blas, const Product& product,
               std::span<float> output) {
    const Gemm& gemm = product.gemm;
    return sgemm_through(blas, product.left, product.right, output, gemm.rows, gemm.columns, gemm.inner,
                         gemm.left_stride, gemm.right_stride, gemm.transpose_left, gemm.transpose_right);
}

// Operands of small integers, different for every worker and product, with padded rows.
Product draw_product(Rng& random) {
    const auto extent = [&random] { return random.u32(inclusive<std::uint32_t>(1, 40)); };
    Gemm gemm{extent(), extent(), extent(), 0, 0, random.boolean(), random.boolean()};
    gemm.left_stride = calls::stored_left(gemm).columns + random.u32(inclusive<std::uint32_t>(0, 2));
    gemm.right_stride = calls::stored_right(gemm).columns + random.u32(inclusive<std::uint32_t>(0, 2));
    const auto values = [&random](std::size_t count) {
        std::vector<float> stored(count);
        for (float& value : stored) {
            value = static_cast<float>(static_cast<int>(random.u32(inclusive<std::uint32_t>(0, 16))) - 8);
        }
        return stored;
    };
    std::vector<float> left = values(calls::addressed(calls::stored_left(gemm), gemm.left_stride));
    std::vector<float> right = values(calls::addressed(calls::stored_right(gemm), gemm.right_stride));
    return {gemm, std::move(left), std::move(right), {}};
}

// More threads than cores, so that the system switches between them in the middle of products too.
unsigned worker_count() {
    return std::clamp(2 * std::thread::hardware_concurrency() + 2, 6U, 16U);
}

// Runs `work(worker)` on `workers` threads released at once and returns the first failure any of them
// reports ("" when none does). A thread the system refuses is a failure too, after the others have ended.
template <class Work>
std::string run_at_once(unsigned workers, const Work& work) {
    std::latch start(workers);
    std::mutex guard;
    std::string first_failure;
    {
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        for (unsigned worker = 0; worker < workers; ++worker) {
            try {
                threads.emplace_back([&, worker] {
                    start.arrive_and_wait();
                    std::string failure = work(worker);
                    const std::lock_guard lock(guard);
                    if (first_failure.empty()) {
                        first_failure = std::move(failure);
                    }
                });
            } catch (const std::system_error& refused) {
                start.count_down(workers - worker);
                const std::lock_guard lock(guard);
                first_failure = fmt::format("the system refused thread {} of {}: {}", worker + 1, workers,
                                            refused.what());
                break;
            }
        }
    }
    return first_failure;
}

// A stand-in for a library's sgemm that counts the calls inside it and stays inside long enough for any
// other call that is let in to overlap it.
std::atomic<int> calls_inside{0};
std::atomic<int> most_calls_inside{0};

void counting_sgemm(CBLAS_ORDER, CBLAS_TRANSPOSE, CBLAS_TRANSPOSE, int rows, int columns, int, float,
                    const float*, int, const float*, int, float, float* output, int output_stride) {
    const int inside = calls_inside.fetch_add(1) + 1;
    int most = most_calls_inside.load();
    while (inside > most && !most_calls_inside.compare_exchange_weak(most, inside)) {
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    for (int row = 0; row < rows; ++row) {
        std::fill_n(output + static_cast<std::ptrdiff_t>(row) * output_stride, columns, 0.0F);
    }
    calls_inside.fetch_sub(1);
}

}  // namespace

Status concurrent_products_equal_products_alone(SgemmThroughFunction sgemm_through, const Cblas& blas,
                                                bool must_take_turns) {
    constexpr unsigned products_per_worker = 12;
    constexpr unsigned rounds = 20;
    const unsigned workers = worker_count();
    // Calls let in at once garble a product only when two of them ask for a work buffer at the same
    // instant, so the products below show a missing turn only now and then; this shows it in every run.
    check_that(blas.serialised || !must_take_turns, [] {
        return std::string(
            "host_sgemm lets calls in at once, into a library that says its calls must take turns");
    });

    Rng random = Rng::with_seed(0x434F4E43555252ULL);  // "CONCURR"
    std::vector<std::vector<Product>> work(workers);
    for (std::vector<Product>& products : work) {
        for (unsigned n = 0; n < products_per_worker; ++n) {
            Product product = draw_product(random);
            product.alone.assign(std::size_t{product.gemm.rows} * product.gemm.columns, 0.0F);
            const Status status = compute(sgemm_through, blas, product, product.alone);
            check_that(status.has_value(), [&] {
                return calls::describe(product.gemm) + ": refused: " + status.error().message;
            });
            products.push_back(std::move(product));
        }
    }

    const std::string mismatch = run_at_once(workers, [&](unsigned worker) -> std::string {
        std::vector<float> output;
        for (unsigned round = 0; round < rounds; ++round) {
            for (const Product& product : work[worker]) {
                output.assign(product.alone.size(), -1.0F);
                const Status status = compute(sgemm_through, blas, product, output);
                if (!status) {
                    return calls::describe(product.gemm) + ": refused: " + status.error().message;
                }
                const auto wrong = std::ranges::mismatch(output, product.alone);
                if (wrong.in1 != output.end()) {
                    const auto at = static_cast<std::size_t>(wrong.in1 - output.begin());
                    return fmt::format(
                        "{}, on one of {} threads at once: element ({}, {}) is {}, not {} as alone",
                        calls::describe(product.gemm), workers, at / product.gemm.columns,
                        at % product.gemm.columns, *wrong.in1, *wrong.in2);
                }
            }
        }
        return {};
    });
    check_that(mismatch.empty(), [&] { return mismatch; });

    Cblas counted = blas;
    counted.sgemm = counting_sgemm;
    calls_inside = 0;
    most_calls_inside = 0;
    const std::string refused = run_at_once(workers, [&](unsigned) -> std::string {
        const std::vector<float> one{1.0F};
        std::vector<float> output{-1.0F};
        for (int call = 0; call < 3; ++call) {
            if (const Status status = sgemm_through(counted, one, one, output, 1, 1, 1, 1, 1, false, false);
                !status) {
                return "1 x 1 x 1: refused: " + status.error().message;
            }
        }
        return {};
    });
    check_that(refused.empty(), [&] { return refused; });
    check_that(!blas.serialised || most_calls_inside.load() == 1, [&] {
        return fmt::format(
            "{} calls from {} threads were inside a library whose calls must take turns at once",
            most_calls_inside.load(), workers);
    });
    return {};
}

Status randomized_concurrent_products_equal_products_alone() {
    const CblasLibrary& library = cblas_under_check();
    return concurrent_products_equal_products_alone(ovra_tests::diagnostic::host_sgemm_through, library.cblas,
                                                    library.must_take_turns);
}

}  // namespace ovra_tests::deep::diagnostic::tests
