#include "temporary_file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstddef>

#include <fmt/format.h>

#include "ovra/layout_inspector/file_output.hpp"

namespace ovra_layout_inspector {

namespace {

constexpr std::array ending_signals{SIGINT, SIGTERM, SIGHUP};
// Temporary names are unique per process; a few more attempts step over leftovers of a process that
// had the same id and was killed outright.
constexpr int most_name_attempts = 100;
// Room for the temporary name's additions within the usual 255-byte limit of one file name.
constexpr std::size_t longest_name_part = 200;

// The temporary file, for the signal handler: static storage, changed only while the ending signals
// are held back, so that the handler never sees it half set or removes a name that is not ours.
volatile sig_atomic_t temporary_exists = 0;
int temporary_directory = -1;
std::array<char, NAME_MAX + 1> temporary_name{};

sigset_t ending_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : ending_signals) {
        sigaddset(&set, signal_number);
    }
    return set;
}

// Holds the ending signals back while it lives; one that arrives meanwhile is handled right after.
struct EndingSignalsHeld {
    sigset_t previous{};
    EndingSignalsHeld() {
        const sigset_t held = ending_signal_set();
        pthread_sigmask(SIG_BLOCK, &held, &previous);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;
};

// Only async-signal-safe calls. The process then ends by the signal itself, as without this handler:
// raised again with its default action, it is delivered as soon as the handler returns.
void remove_temporary_and_end(int signal_number) {
    if (temporary_exists != 0) {
        static_cast<void>(::unlinkat(temporary_directory, temporary_name.data(), 0));
    }
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

}  // namespace

std::expected<int, std::error_code> create_temporary(int directory, std::string_view name) {
    const EndingSignalsHeld held;
    const std::string_view stem = name.substr(0, longest_name_part);
    for (int attempt = 0; attempt < most_name_attempts; ++attempt) {
        char* const end = fmt::format_to_n(temporary_name.data(), temporary_name.size() - 1, ".{}.tmp{}.{}",
                                           stem, ::getpid(), attempt)
                              .out;
        *end = '\0';
        const int fd = ::openat(directory, temporary_name.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary_directory = directory;
            temporary_exists = 1;
            return fd;
        }
        if (errno != EEXIST) {
            return std::unexpected(last_error());
        }
    }
    return std::unexpected(std::error_code(EEXIST, std::system_category()));
}

std::expected<void, std::error_code> rename_temporary(const char* name) {
    const EndingSignalsHeld held;
    if (::renameat(temporary_directory, temporary_name.data(), temporary_directory, name) != 0) {
        return std::unexpected(last_error());
    }
    temporary_exists = 0;
    return {};
}

void discard_temporary() {
    const EndingSignalsHeld held;
    static_cast<void>(::unlinkat(temporary_directory, temporary_name.data(), 0));
    temporary_exists = 0;
}

void remove_temporary_on_ending_signals() {
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_end;
    // One handler at a time: a second ending signal waits for the first to end the process.
    action.sa_mask = ending_signal_set();
    for (const int signal_number : ending_signals) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(signal_number, &action, nullptr);
        }
    }
}

}  // namespace ovra_layout_inspector
