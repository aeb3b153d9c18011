#pragma once
// Bytes of a simulated save-log page. Header-only, so tests can compute what a
// page file must hold without running the simulator.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace dumplog::sim {

constexpr std::size_t kSimPageSize = 16384;

/// Exactly kSimPageSize bytes, a pure function of serial and page. The page starts with a readable
/// tag ("SAVELOG p=05 "); the rest comes from a xorshift64 generator seeded with an FNV-1a hash of
/// the serial mixed with the page number, so neighbouring pages and drives differ throughout.
inline std::string sim_page_bytes(std::string_view serial, unsigned page) {
    std::uint64_t seed = 0xcbf29ce484222325ULL;  // FNV-1a offset basis
    for (const unsigned char c : serial) {
        seed ^= c;
        seed *= 0x100000001b3ULL;  // FNV-1a prime
    }
    seed ^= (static_cast<std::uint64_t>(page) + 1) * 0x9e3779b97f4a7c15ULL;
    // splitmix64 finaliser, so a one-bit change in the seed reaches every bit.
    seed ^= seed >> 30;
    seed *= 0xbf58476d1ce4e5b9ULL;
    seed ^= seed >> 27;
    seed *= 0x94d049bb133111ebULL;
    seed ^= seed >> 31;
    std::uint64_t state = seed != 0 ? seed : 0x2545f4914f6cdd1dULL;

    std::string out(kSimPageSize, '\0');
    const int tag_size = std::snprintf(out.data(), out.size(), "SAVELOG p=%02X ", page);
    for (std::size_t pos = static_cast<std::size_t>(tag_size); pos < kSimPageSize;) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        for (int i = 0; i < 8 && pos < kSimPageSize; ++i, ++pos)
            out[pos] = static_cast<char>((state >> (8 * i)) & 0xFF);
    }
    return out;
}

}  // namespace dumplog::sim
