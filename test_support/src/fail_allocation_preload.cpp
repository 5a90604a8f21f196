// A library for LD_PRELOAD that makes one allocation of a process fail, as a machine out of memory would:
// the tests of the executables use it to show that a refused allocation never aborts them.
//
//   OVRA_FAIL_ALLOCATION=N           the N-th allocation (1-based, counted from this library's start; malloc,
//                                    calloc, realloc and the aligned forms alike) returns null with ENOMEM,
//                                    once; every other one succeeds
//   OVRA_COUNT_ALLOCATIONS_TO=PATH   at exit, writes the number of allocations made to PATH, so that a test
//                                    knows how many places there are to fail
//
// Built without the C++ runtime: nothing here may allocate or throw.
#include <errno.h>
#include <fcntl.h>
#include <stddef.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

// 0 until the constructor has read the environment: allocations of the dynamic loader and of the C library's
// own start are not counted, so N means the same allocation on every run.
std::atomic<bool> counting{false};
std::atomic<std::uint64_t> allocations{0};
std::uint64_t fail_at = 0;
const char* count_path = nullptr;

std::uint64_t parse_count(const char* text) {
    std::uint64_t value = 0;
    for (; text != nullptr && *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<std::uint64_t>(*text - '0');
    }
    return value;
}

// True when this allocation is the one to refuse.
bool refuse() {
    if (!counting.load(std::memory_order_relaxed)) {
        return false;
    }
    const std::uint64_t number = allocations.fetch_add(1, std::memory_order_relaxed) + 1;
    if (number == fail_at) {
        errno = ENOMEM;
        return true;
    }
    return false;
}

[[gnu::constructor]] void start_counting() {
    fail_at = parse_count(getenv("OVRA_FAIL_ALLOCATION"));
    count_path = getenv("OVRA_COUNT_ALLOCATIONS_TO");
    counting.store(true);
}

[[gnu::destructor]] void report_count() {
    if (count_path == nullptr) {
        return;
    }
    char digits[24];
    std::size_t length = 0;
    std::uint64_t value = allocations.load();
    do {
        digits[sizeof digits - 1 - length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const int fd = open(count_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        (void)!write(fd, digits + sizeof digits - length, length);
        close(fd);
    }
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
    return refuse() ? nullptr : __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    return refuse() ? nullptr : __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    return refuse() ? nullptr : __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) {
    return refuse() ? nullptr : __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    return refuse() ? nullptr : __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (refuse()) {
        return ENOMEM;
    }
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *result = block;
    return 0;
}

}  // extern "C"
