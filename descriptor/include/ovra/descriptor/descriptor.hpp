// An open file descriptor owned by one value and closed with it: the runner's pipes and the descriptors it
// hands to children, and the layout inspector's output file and the directory it lies in.
#pragma once

#include <unistd.h>

#include <utility>

namespace ovra_descriptor {

struct Descriptor {
    int fd = -1;

    Descriptor() = default;
    explicit Descriptor(int opened) noexcept : fd(opened) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    [[nodiscard]] bool is_open() const noexcept { return fd >= 0; }

    // Closes it now. A failed close is not retried: on Linux the descriptor is gone either way.
    void reset() noexcept {
        if (fd >= 0) {
            static_cast<void>(::close(fd));
            fd = -1;
        }
    }

    // Gives the descriptor up without closing it.
    [[nodiscard]] int release() noexcept { return std::exchange(fd, -1); }
};

}  // namespace ovra_descriptor
