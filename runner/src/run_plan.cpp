#include "run_plan.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "shuffle.hpp"

namespace ovra_runner {

namespace {

bool chosen(const TestSelection& selection, const TestDescriptor& test) {
    const auto matches = [&](std::string_view filter) {
        return selection.exact ? test.name == filter : test.name.find(filter) != std::string_view::npos;
    };
    const auto matches_any = [&](const std::vector<std::string>& filters) {
        return std::any_of(filters.begin(), filters.end(), matches);
    };
    return (selection.filters.empty() || matches_any(selection.filters)) && !matches_any(selection.skip) &&
           !(selection.exclude_should_panic && test.should_panic) &&
           !(selection.run_ignored == RunIgnored::Only && !test.ignore);
}

std::vector<TestDescriptor> shuffled(const std::vector<TestDescriptor>& tests, std::uint64_t seed) {
    std::vector<std::string_view> names;
    names.reserve(tests.size());
    for (const TestDescriptor& test : tests) {
        names.push_back(test.name);
    }
    std::vector<TestDescriptor> order;
    order.reserve(tests.size());
    for (const std::size_t index : shuffled_order(seed, names)) {
        order.push_back(tests[index]);
    }
    return order;
}

}  // namespace

void select_tests(std::span<const TestDescriptor> table, RunPlan& plan) {
    const TestSelection& selection = plan.selection;
    plan.tests.clear();
    for (const TestDescriptor& test : table) {
        if (chosen(selection, test)) {
            plan.tests.push_back(test);
            if (selection.run_ignored != RunIgnored::No) {
                plan.tests.back().ignore = false;
            }
        }
    }
    plan.filtered_out = table.size() - plan.tests.size();
    std::stable_sort(plan.tests.begin(), plan.tests.end(),
                     [](const TestDescriptor& a, const TestDescriptor& b) { return a.name < b.name; });
    // A listing shows the tests as the table has them, in name order.
    if (plan.action == PlanAction::List) {
        return;
    }
    if (selection.ignore_all) {
        for (TestDescriptor& test : plan.tests) {
            test.ignore = true;
        }
    }
    if (plan.shuffle_seed) {
        plan.tests = shuffled(plan.tests, *plan.shuffle_seed);
    }
}

}  // namespace ovra_runner
