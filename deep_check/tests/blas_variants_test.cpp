// Every SGEMM check passes over products computed legally in other ways than the BLAS computes them, so it
// raises no false alarm on a correct library; and the products past the blocking sizes fail on faults that
// a BLAS makes only where it changes path, which products up to 64 x 64 x 64 never reach.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "ovra/deep_check/blocking_checks.hpp"
#include "ovra/deep_check/sgemm_checks.hpp"
#include "stand_in_cblas.hpp"

namespace ovra_tests::deep {
namespace {

using diagnostic::tests::SgemmFunction;
using stand_in::product;
using stand_in::through;

using SgemmCheck = ovra_runner::Status (*)(SgemmFunction sgemm);

// The message of the check that stopped `check` over `sgemm`, if one did.
std::optional<std::string> failure(SgemmCheck check, SgemmFunction sgemm) {
    try {
        if (const ovra_runner::Status status = check(sgemm); !status) {
            return status.error().message;
        }
    } catch (const ovra_runner::CheckFailure& failed) {
        return failed.message;
    }
    return std::nullopt;
}

// Legal ways of summing: backwards, in blocks, pairwise, fused, in double precision.
float reversed(std::span<const float> row, std::span<const float> column) {
    float sum = 0.0F;
    for (std::size_t k = row.size(); k-- > 0;) {
        sum += row[k] * column[k];
    }
    return sum;
}

float in_blocks_of_64(std::span<const float> row, std::span<const float> column) {
    float sum = 0.0F;
    for (std::size_t start = 0; start < row.size(); start += 64) {
        const std::size_t length = std::min<std::size_t>(64, row.size() - start);
        sum += stand_in::in_order(row.subspan(start, length), column.subspan(start, length));
    }
    return sum;
}

float pairwise(std::span<const float> row, std::span<const float> column) {
    if (row.size() <= 8) {
        return stand_in::in_order(row, column);
    }
    const std::size_t half = row.size() / 2;
    return pairwise(row.first(half), column.first(half)) + pairwise(row.subspan(half), column.subspan(half));
}

float fused(std::span<const float> row, std::span<const float> column) {
    float sum = 0.0F;
    for (std::size_t k = 0; k < row.size(); ++k) {
        sum = std::fma(row[k], column[k], sum);
    }
    return sum;
}

float in_double(std::span<const float> row, std::span<const float> column) {
    double sum = 0.0;
    for (std::size_t k = 0; k < row.size(); ++k) {
        sum += double{row[k]} * double{column[k]};
    }
    return static_cast<float>(sum);
}

TEST(SgemmChecks, PassOverEveryLegalWayOfComputingTheProduct) {
    const std::pair<const char*, SgemmFunction> variants[] = {
        {"in order", through<product<stand_in::in_order>>},
        {"reversed", through<product<reversed>>},
        {"in blocks of 64", through<product<in_blocks_of_64>>},
        {"pairwise", through<product<pairwise>>},
        {"fused", through<product<fused>>},
        {"in double precision", through<product<in_double>>},
    };
    const std::pair<const char*, SgemmCheck> checks[] = {
        {"past the blocking sizes", diagnostic::tests::integer_products_past_the_blocking_sizes_are_exact},
        {"long sums", diagnostic::tests::long_sums_keep_their_precision},
        {"small", diagnostic::tests::small_integer_products_are_exact},
        {"up to 64", diagnostic::tests::integer_products_up_to_64_are_exact},
        {"real", diagnostic::tests::real_products_match_a_scalar_reference},
        {"limits", diagnostic::tests::sgemm_refuses_arguments_at_their_limits},
    };
    for (const auto& [variant, sgemm] : variants) {
        for (const auto& [name, check] : checks) {
            EXPECT_EQ(failure(check, sgemm), std::nullopt) << name << " over the product summed " << variant;
        }
    }
}

// Faults past a block, each in one place only.
std::optional<float> rows_past_the_first_panel_off(float value, int row, int, int, int) {
    return row >= 512 ? value + 1.0F : value;
}
std::optional<float> columns_past_16384_off(float value, int, int column, int, int) {
    return column >= 16384 ? value + 1.0F : value;
}
std::optional<float> last_row_of_a_large_product_unwritten(float value, int row, int, int rows, int columns) {
    return rows >= 1024 && columns >= 1024 && row == rows - 1 ? std::nullopt : std::optional(value);
}

TEST(SgemmChecks, ProductsPastTheBlockingSizesFailOnFaultsPastABlock) {
    struct Fault {
        const char* name;
        SgemmFunction sgemm;
        // The product and element the check must name.
        const char* product;
        const char* element;
    };
    const Fault faults[] = {
        {"rows past the first panel", through<product<stand_in::in_order, rows_past_the_first_panel_off>>,
         "1025 x 1040 x 3 (rows x inner x columns)", "element (512, 0)"},
        {"columns past the first block", through<product<stand_in::in_order, columns_past_16384_off>>,
         "1 x 1 x 16400 (rows x inner x columns)", "element (0, 16384)"},
        {"an unwritten edge", through<product<stand_in::in_order, last_row_of_a_large_product_unwritten>>,
         "1040 x 1 x 1104 (rows x inner x columns)", "element (1039, 0) is nan"},
    };
    for (const Fault& fault : faults) {
        const std::optional<std::string> message =
            failure(diagnostic::tests::integer_products_past_the_blocking_sizes_are_exact, fault.sgemm);
        ASSERT_TRUE(message.has_value()) << fault.name;
        EXPECT_NE(message->find(fault.product), std::string::npos) << fault.name << ": " << *message;
        EXPECT_NE(message->find(fault.element), std::string::npos) << fault.name << ": " << *message;
    }
}

}  // namespace
}  // namespace ovra_tests::deep
