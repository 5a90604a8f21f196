#include "shuffle.hpp"

#include <array>
#include <bit>
#include <numeric>
#include <utility>

namespace ovra_runner {

namespace {

// SipHash-1-3 with both keys zero over a byte stream.
struct SipHasher13 {
    std::uint64_t v0 = 0x736f6d6570736575ULL;
    std::uint64_t v1 = 0x646f72616e646f6dULL;
    std::uint64_t v2 = 0x6c7967656e657261ULL;
    std::uint64_t v3 = 0x7465646279746573ULL;
    std::uint64_t tail = 0;
    std::size_t tail_length = 0;
    std::uint64_t length = 0;
};

void sip_round(SipHasher13& h) {
    h.v0 += h.v1;
    h.v1 = std::rotl(h.v1, 13);
    h.v1 ^= h.v0;
    h.v0 = std::rotl(h.v0, 32);
    h.v2 += h.v3;
    h.v3 = std::rotl(h.v3, 16);
    h.v3 ^= h.v2;
    h.v0 += h.v3;
    h.v3 = std::rotl(h.v3, 21);
    h.v3 ^= h.v0;
    h.v2 += h.v1;
    h.v1 = std::rotl(h.v1, 17);
    h.v1 ^= h.v2;
    h.v2 = std::rotl(h.v2, 32);
}

void compress(SipHasher13& h, std::uint64_t word) {
    h.v3 ^= word;
    sip_round(h);
    h.v0 ^= word;
}

void write_bytes(SipHasher13& hasher, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        hasher.tail |= std::uint64_t{byte} << (8 * hasher.tail_length);
        ++hasher.tail_length;
        if (hasher.tail_length == 8) {
            compress(hasher, hasher.tail);
            hasher.tail = 0;
            hasher.tail_length = 0;
        }
    }
    hasher.length += bytes.size();
}

void write_u64(SipHasher13& hasher, std::uint64_t value) {
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<std::uint8_t>(value >> (8 * index));
    }
    write_bytes(hasher, bytes);
}

// A string as the hashed stream carries it: its bytes, then 0xFF.
void write_str(SipHasher13& hasher, std::string_view text) {
    write_bytes(hasher, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    const std::uint8_t terminator = 0xFF;
    write_bytes(hasher, std::span(&terminator, 1));
}

std::uint64_t finish(const SipHasher13& hasher) {
    SipHasher13 h = hasher;
    const std::uint64_t last = ((h.length & 0xFFU) << 56) | h.tail;
    compress(h, last);
    h.v2 ^= 0xFF;
    for (int round = 0; round < 3; ++round) {
        sip_round(h);
    }
    return h.v0 ^ h.v1 ^ h.v2 ^ h.v3;
}

// The standard runner hashes its list of test names after it has given every name its padding: each name is
// the third variant of its name type (discriminant 2) carrying the text and the padding "none" (0).
constexpr std::uint64_t padded_name_discriminant = 2;
constexpr std::uint64_t no_padding = 0;

std::uint64_t hash_names(std::span<const std::string_view> names) {
    SipHasher13 hasher;
    write_u64(hasher, names.size());
    for (const std::string_view name : names) {
        write_u64(hasher, padded_name_discriminant);
        write_str(hasher, name);
        write_u64(hasher, no_padding);
    }
    return finish(hasher);
}

std::uint64_t hash_pair(std::uint64_t first, std::uint64_t second) {
    SipHasher13 hasher;
    write_u64(hasher, first);
    write_u64(hasher, second);
    return finish(hasher);
}

}  // namespace

std::vector<std::size_t> shuffled_order(std::uint64_t seed, std::span<const std::string_view> names) {
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const std::uint64_t extra = hash_names(names);
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < order.size(); ++i) {
        state = hash_pair(state, extra);
        const std::uint64_t remaining = order.size() - i;
        const auto pick = static_cast<std::size_t>(state % remaining);
        std::swap(order[i], order[i + pick]);
    }
    return order;
}

}  // namespace ovra_runner
