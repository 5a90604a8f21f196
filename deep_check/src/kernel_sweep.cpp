#include "ovra/deep_check/kernel_sweep.hpp"

#include <sys/prctl.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <thread>

#include <fmt/format.h>

#include "ovra/deep_check/blocking_checks.hpp"
#include "ovra/deep_check/check_that.hpp"
#include "ovra/deep_check/child_runs.hpp"
#include "ovra/deep_check/sgemm_checks.hpp"
#include "ovra/runner/capture.hpp"

extern char** environ;

namespace ovra_tests::deep::diagnostic::tests {

using ovra_runner::Status;

namespace {

// Every check of the host product that the kernel matters to, which a kernel child runs.
struct SgemmCheck {
    std::string_view name;
    Status (*check)(SgemmFunction sgemm);
};

constexpr std::array<SgemmCheck, 6> sgemm_checks{{
    {"exhaustive_integer_products_past_the_blocking_sizes_are_exact",
     integer_products_past_the_blocking_sizes_are_exact},
    {"exhaustive_sgemm_refuses_arguments_at_their_limits", sgemm_refuses_arguments_at_their_limits},
    {"exhaustive_small_integer_products_are_exact", small_integer_products_are_exact},
    {"randomized_integer_products_up_to_64_are_exact", integer_products_up_to_64_are_exact},
    {"randomized_long_sums_keep_their_precision", long_sums_keep_their_precision},
    {"randomized_real_products_match_a_scalar_reference", real_products_match_a_scalar_reference},
}};

constexpr std::string_view kernel_prefix = "kernel ";
constexpr std::string_view not_executable = "not executable on this CPU (SIGILL)";

bool same_name(std::string_view one, std::string_view other) {
    return one.size() == other.size() && ::strncasecmp(one.data(), other.data(), one.size()) == 0;
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (end > 0) {
            lines.push_back(text.substr(0, end));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// The kernel a child names on its line "kernel NAME".
std::optional<std::string> reported_kernel(std::string_view output) {
    for (const std::string_view line : lines_of(output)) {
        if (line.starts_with(kernel_prefix)) {
            return std::string(line.substr(kernel_prefix.size()));
        }
    }
    return std::nullopt;
}

// What a child said besides its kernel, on one line.
std::string said(std::string_view output) {
    std::string text;
    for (const std::string_view line : lines_of(output)) {
        if (!line.starts_with(kernel_prefix)) {
            text += text.empty() ? "" : "; ";
            text += line;
        }
    }
    return text;
}

bool died_of_sigill(const ChildEnd& end) {
    const auto* signalled = std::get_if<child_end::Signalled>(&end);
    return signalled != nullptr && signalled->signal == SIGILL;
}

// A child of this executable with OPENBLAS_CORETYPE = `name`, checking the same library as this process.
ChildRun kernel_child(const KernelSweep& sweep, std::string_view name, std::string_view request) {
    ChildRun run{sweep.program, {sweep.program}, {}};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        const auto named = [&](std::string_view wanted) {
            return variable.starts_with(wanted) && variable.substr(wanted.size()).starts_with('=');
        };
        if (!named("OPENBLAS_CORETYPE") && !named(library_variable) && !named(kernel_child_variable)) {
            run.environment.emplace_back(variable);
        }
    }
    if (!sweep.library->loaded_as.empty()) {
        run.environment.push_back(fmt::format("{}={}", library_variable, sweep.library->loaded_as));
    }
    run.environment.push_back(fmt::format("OPENBLAS_CORETYPE={}", name));
    run.environment.push_back(fmt::format("{}={} {}", kernel_child_variable, request, ::getpid()));
    return run;
}

// How a child ended that did not end as asked, and what it said.
std::string ended_badly(const ChildResult& result, std::chrono::milliseconds time_limit) {
    const std::string output = said(result.output);
    return describe(result.end, time_limit) + (output.empty() ? "" : ": " + output);
}

// Why a child that checked `kernel` failed, or nothing when it passed.
std::optional<std::string> check_failure(const ChildResult& result, std::string_view kernel,
                                         std::chrono::milliseconds time_limit) {
    const auto* exited = std::get_if<child_end::Exited>(&result.end);
    const std::optional<std::string> ran = reported_kernel(result.output);
    if (exited != nullptr && exited->status == 0 && ran == kernel) {
        return std::nullopt;
    }
    if (exited != nullptr && exited->status <= 1 && ran.has_value() && ran != kernel) {
        return fmt::format("ran kernel {}, not {}", *ran, kernel);
    }
    if (exited != nullptr && exited->status == 1 && ran.has_value()) {
        return said(result.output);
    }
    return ended_badly(result, time_limit);
}

}  // namespace

KernelReport sweep_kernels(const KernelSweep& sweep) {
    const CblasLibrary& library = *sweep.library;
    KernelReport report;
    report.lines.push_back("library: " + describe(library));
    if (!library.kernel_choice) {
        report.lines.push_back(
            library.kernel != nullptr
                ? fmt::format("kernels: this OpenBLAS has one kernel, {}, which the other SGEMM tests check",
                              library.kernel())
                : "kernels: the library offers no choice of kernel; the other SGEMM tests check the one it "
                  "runs");
        return report;
    }
    const std::string host_kernel = library.kernel();
    const std::size_t at_once = std::max(std::thread::hardware_concurrency(), 1U);
    const std::span<const std::string_view> names = sweep.names;

    // Which kernel each name brings up.
    std::vector<ChildRun> probes;
    for (const std::string_view name : names) {
        probes.push_back(kernel_child(sweep, name, "probe"));
    }
    const std::vector<ChildResult> probed = run_children(probes, at_once, sweep.time_limit);
    std::vector<std::string> verdicts(names.size());
    std::vector<std::optional<std::string>> kernel_of(names.size());
    for (std::size_t at = 0; at < names.size(); ++at) {
        const auto* exited = std::get_if<child_end::Exited>(&probed[at].end);
        if (exited != nullptr && exited->status == 0 && reported_kernel(probed[at].output)) {
            kernel_of[at] = reported_kernel(probed[at].output);
        } else if (died_of_sigill(probed[at].end)) {
            verdicts[at] = not_executable;
        } else {
            const std::string why = "its probe " + ended_badly(probed[at], sweep.time_limit);
            verdicts[at] = "FAILED: " + why;
            report.failures.push_back(fmt::format("{}: {}", names[at], why));
        }
    }

    // One child per kernel, started with the kernel's own name where that is among the names.
    std::vector<std::string> kernels;
    std::vector<std::size_t> checked_as;
    for (std::size_t at = 0; at < names.size(); ++at) {
        if (!kernel_of[at]) {
            continue;
        }
        const auto known = std::ranges::find(kernels, *kernel_of[at]);
        if (known == kernels.end()) {
            kernels.push_back(*kernel_of[at]);
            checked_as.push_back(at);
        } else if (const auto index = static_cast<std::size_t>(known - kernels.begin());
                   same_name(names[at], *known) && !same_name(names[checked_as[index]], *known)) {
            checked_as[index] = at;
        }
    }
    std::vector<ChildRun> checks;
    for (const std::size_t at : checked_as) {
        checks.push_back(kernel_child(sweep, names[at], "check"));
    }
    const std::vector<ChildResult> checked = run_children(checks, at_once, sweep.time_limit);

    std::size_t passed = 0;
    std::size_t sigill = 0;
    for (std::size_t index = 0; index < kernels.size(); ++index) {
        const std::string& kernel = kernels[index];
        const std::size_t at = checked_as[index];
        if (died_of_sigill(checked[index].end)) {
            verdicts[at] = not_executable;
        } else if (const std::optional<std::string> why =
                       check_failure(checked[index], kernel, sweep.time_limit)) {
            verdicts[at] = "FAILED: " + *why;
            report.failures.push_back(fmt::format("{}: {}", names[at], *why));
        } else {
            verdicts[at] = "ok";
            ++passed;
        }
        if (!same_name(names[at], kernel)) {
            verdicts[at] += fmt::format(" (kernel {})", kernel);
        }
        if (kernel == host_kernel) {
            verdicts[at] += " (selected on this host)";
        }
    }
    std::size_t aliases = 0;
    for (std::size_t at = 0; at < names.size(); ++at) {
        if (verdicts[at].empty()) {
            verdicts[at] = "same as " + *kernel_of[at];
            ++aliases;
        }
        if (verdicts[at] == not_executable) {
            ++sigill;
        }
        report.lines.push_back(fmt::format("kernel {}: {}", names[at], verdicts[at]));
    }
    report.lines.push_back(fmt::format(
        "{} kernels passed the SGEMM checks, {} failed; {} names not executable on this CPU, {} the same as "
        "another",
        passed, report.failures.size(), sigill, aliases));
    return report;
}

Status sgemm_checks_pass_under_every_kernel(const KernelSweep& sweep) {
    const KernelReport report = sweep_kernels(sweep);
    for (const std::string& line : report.lines) {
        ovra_runner::println("{}", line);
    }
    check_that(report.failures.empty(), [&] {
        return fmt::format("the SGEMM checks fail under {} of the library's kernels: {}",
                           report.failures.size(), fmt::join(report.failures, "; "));
    });
    return {};
}

int serve_kernel_child(std::string_view request) {
    const std::size_t space = std::min(request.find(' '), request.size());
    const std::string_view mode = request.substr(0, space);
    const std::string_view parent_text = request.substr(std::min(space + 1, request.size()));
    pid_t parent = 0;
    const auto [end, parsed] =
        std::from_chars(parent_text.data(), parent_text.data() + parent_text.size(), parent);
    ::unsetenv(kernel_child_variable);
    // A child ends with the sweep that started it, or at once when that has already ended.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (parsed != std::errc() || end != parent_text.data() + parent_text.size() || ::getppid() != parent) {
        return 1;
    }
    const CblasLibrary& library = cblas_under_check();
    if ((mode != "probe" && mode != "check") || library.kernel == nullptr) {
        std::fputs("error: no kernel to report\n", stderr);
        return 1;
    }
    int status = std::printf("kernel %s\n", library.kernel()) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
    if (mode == "check") {
        for (const SgemmCheck& check : sgemm_checks) {
            std::string failure;
            try {
                if (const Status result = check.check(sgemm_under_check); !result) {
                    failure = result.error().message;
                }
            } catch (const ovra_runner::CheckFailure& failed) {
                failure = failed.message;
            } catch (const std::exception& exception) {
                failure = fmt::format("C++ exception: {}", exception.what());
            }
            if (!failure.empty()) {
                std::printf("%.*s: %s\n", static_cast<int>(check.name.size()), check.name.data(),
                            failure.c_str());
                status = 1;
            }
        }
    }
    return std::fflush(stdout) != 0 ? 1 : status;
}

Status exhaustive_sgemm_checks_pass_under_every_kernel() {
    return sgemm_checks_pass_under_every_kernel(
        {"/proc/self/exe", &cblas_under_check(), openblas_kernel_names, std::chrono::seconds(120)});
}

}  // namespace ovra_tests::deep::diagnostic::tests
