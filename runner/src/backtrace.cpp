#include "ovra/runner/backtrace.hpp"

#include "demangle.hpp"

#include <cxxabi.h>
#include <execinfo.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <backtrace.h>
#include <fmt/format.h>

namespace ovra_runner {

namespace {

constexpr int max_frames = 128;

}  // namespace

std::string demangle(const char* name) {
    if (name == nullptr) {
        return "<unknown>";
    }
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                      &std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(name);
}

namespace {

// libbacktrace keeps its own caches; one state serves every thread of the process.
backtrace_state* symbol_state() {
    static backtrace_state* const state = backtrace_create_state(nullptr, 1, nullptr, nullptr);
    return state;
}

struct FrameText {
    std::string* out;
    std::size_t index;
    bool found;
};

void append_frame_header(FrameText& frame, const char* function) {
    frame.out->append(fmt::format("{:>4}: {}\n", frame.index, demangle(function)));
    frame.found = true;
}

int on_pcinfo(void* data, std::uintptr_t, const char* filename, int lineno, const char* function) {
    auto& frame = *static_cast<FrameText*>(data);
    if (function == nullptr) {
        return 0;
    }
    append_frame_header(frame, function);
    if (filename != nullptr) {
        frame.out->append(fmt::format("             at {}:{}\n", filename, lineno));
    }
    return 0;
}

void on_syminfo(void* data, std::uintptr_t, const char* symname, std::uintptr_t, std::uintptr_t) {
    auto& frame = *static_cast<FrameText*>(data);
    if (symname != nullptr) {
        append_frame_header(frame, symname);
    }
}

void on_error(void*, const char*, int) {}

// True when the environment variable OVRA_BACKTRACE is set to anything but "0"; read once per process.
bool backtrace_enabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("OVRA_BACKTRACE");
        return value != nullptr && std::string_view(value) != "0";
    }();
    return enabled;
}

// Program counters of the caller's callers: `skip` frames above this one are left out.
[[gnu::noinline]] Backtrace capture_frames(std::size_t skip) {
    std::array<void*, max_frames> addresses{};
    const auto depth = static_cast<std::size_t>(::backtrace(addresses.data(), max_frames));
    Backtrace result;
    for (std::size_t index = skip + 1; index < depth; ++index) {
        result.frames.push_back(reinterpret_cast<std::uintptr_t>(addresses[index]));
    }
    return result;
}

// Work after the call keeps the compiler from turning it into a jump, which would drop this frame and make
// the skip count wrong.
inline void keep_frame() {
    asm volatile("" ::: "memory");
}

}  // namespace

[[gnu::noinline]] std::optional<Backtrace> capture_backtrace_if_enabled() {
    if (!backtrace_enabled()) {
        return std::nullopt;
    }
    std::optional<Backtrace> frames = capture_frames(1);
    keep_frame();
    return frames;
}

[[gnu::noinline]] Backtrace capture_backtrace() {
    Backtrace frames = capture_frames(1);
    keep_frame();
    return frames;
}

std::string symbolise(const Backtrace& backtrace) {
    std::string out;
    backtrace_state* state = symbol_state();
    for (std::size_t index = 0; index < backtrace.frames.size(); ++index) {
        FrameText frame{&out, index, false};
        // A return address points after the call; step back into the call instruction for its line.
        const std::uintptr_t pc = backtrace.frames[index] - 1;
        if (state != nullptr) {
            backtrace_pcinfo(state, pc, on_pcinfo, on_error, &frame);
            if (!frame.found) {
                backtrace_syminfo(state, pc, on_syminfo, on_error, &frame);
            }
        }
        if (!frame.found) {
            out.append(fmt::format("{:>4}: {:#x}\n", index, backtrace.frames[index]));
        }
    }
    return out;
}

}  // namespace ovra_runner
