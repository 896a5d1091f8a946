// The payload pattern of the simulated USB3 Vision camera: block b's payload
// is a run of little-endian 32-bit words, word k being b * 0x9E3779B1 + k, so
// every block and every position within it differ. Header-only, so that a
// host test can check images without linking the simulated device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace u3vsim {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the pattern is written as host words");

inline std::uint8_t patternByte(std::uint64_t block, std::uint64_t offset)
{
    const std::uint32_t word = std::uint32_t(block * 0x9E3779B1u + offset / 4);
    return std::uint8_t(word >> (8 * (offset % 4)));
}

// Writes size bytes of block's payload, from payload offset on, into dst.
inline void fillPattern(std::uint8_t* dst, std::uint64_t block, std::uint64_t offset,
                        std::size_t size)
{
    for (; size > 0 && offset % 4 != 0; --size)
        *dst++ = patternByte(block, offset++);
    const std::uint32_t base = std::uint32_t(block * 0x9E3779B1u + offset / 4);
    const std::size_t words = size / 4;
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint32_t w = base + std::uint32_t(i);
        std::memcpy(dst + 4 * i, &w, 4);
    }
    offset += 4 * words;
    dst += 4 * words;
    for (size -= 4 * words; size > 0; --size)
        *dst++ = patternByte(block, offset++);
}

// True when size bytes at p are block's payload from its start.
inline bool matchesPattern(const std::uint8_t* p, std::uint64_t block, std::size_t size)
{
    std::uint8_t chunk[4096];
    for (std::size_t done = 0; done < size; done += sizeof chunk) {
        const std::size_t n = size - done < sizeof chunk ? size - done : sizeof chunk;
        fillPattern(chunk, block, done, n);
        if (std::memcmp(chunk, p + done, n) != 0)
            return false;
    }
    return true;
}

} // namespace u3vsim
