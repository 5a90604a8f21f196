// Module `deep::diagnostic::tests`, continued: the SGEMM checks under every kernel of the library. An
// OpenBLAS built with kernels for many CPU generations (DYNAMIC_ARCH, as Debian's) chooses one when it
// starts, so the older hosts of a fleet run kernels that no check on a newer host ever ran. Each name that
// OPENBLAS_CORETYPE accepts is tried in a child process of the deep check itself: a cheap probe first says
// which kernel the name brings up (names for the same kernel are checked once), then one child per kernel
// runs every SGEMM check over it. A kernel the CPU cannot execute dies of SIGILL, and is reported as such.
#pragma once

#include <array>
#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/runner/error.hpp"

namespace ovra_tests::deep::diagnostic::tests {

// Makes the deep check a kernel child instead of a run of its tests: "probe PID" prints the line "kernel
// NAME" with the kernel the library chose and exits; "check PID" prints that line, then runs every SGEMM
// check and prints "CHECK: MESSAGE" for each that fails, and exits with 1 when one did. PID is the parent's:
// the child ends with it.
inline constexpr const char* kernel_child_variable = "OVRA_DEEP_CHECK_KERNEL";

// The names OpenBLAS 0.3.21 accepts on x86-64 (older ones map onto their successors), and a newer one.
inline constexpr std::array<std::string_view, 26> openblas_kernel_names{
    "Katmai",    "Coppermine",  "Northwood", "Prescott",   "Banias",        "Atom",         "Core2",
    "Penryn",    "Dunnington",  "Nehalem",   "Athlon",     "Opteron",       "Opteron_SSE3", "Barcelona",
    "Nano",      "Sandybridge", "Bobcat",    "Bulldozer",  "Piledriver",    "Haswell",      "Steamroller",
    "Excavator", "Zen",         "SkylakeX",  "Cooperlake", "SapphireRapids"};

struct KernelSweep {
    // The deep check to start for each kernel.
    std::string program;
    // The library whose kernels are checked, as this process has it: the children check the same one.
    const CblasLibrary* library;
    // OPENBLAS_CORETYPE values to try.
    std::span<const std::string_view> names;
    // A child still running then is killed, and its kernel fails.
    std::chrono::milliseconds time_limit;
};

struct KernelReport {
    // The library, one line per name with its verdict, and a count.
    std::vector<std::string> lines;
    // "NAME: WHY" for each kernel that failed.
    std::vector<std::string> failures;
};

KernelReport sweep_kernels(const KernelSweep& sweep);

// Prints the report's lines; fails when a kernel failed.
ovra_runner::Status sgemm_checks_pass_under_every_kernel(const KernelSweep& sweep);

// For `main`, when kernel_child_variable is set: serves the request and returns the exit status.
int serve_kernel_child(std::string_view request);

ovra_runner::Status exhaustive_sgemm_checks_pass_under_every_kernel();

}  // namespace ovra_tests::deep::diagnostic::tests
