// A library for LD_PRELOAD that signals ovra_layout at a known moment of a file replacement: the
// process's first fsync raises the signal numbered OVRA_RAISE_AT_SYNC, once. That fsync is the one of
// the temporary file, whole but not yet renamed over its target, so the signal lands in the middle of
// the replacement on every run.
//
// Built without the C++ runtime, like ovra_fail_allocation.
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int fsync(int fd) {
    static bool raised = false;
    if (const char* number = getenv("OVRA_RAISE_AT_SYNC"); number != nullptr && !raised) {
        raised = true;
        raise(atoi(number));
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}
