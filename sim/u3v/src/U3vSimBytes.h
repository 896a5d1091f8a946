// Little-endian fields of the simulated device's packets.
#pragma once

#include <cstdint>

namespace u3vsim {

inline void put16(std::uint8_t* p, std::uint16_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
inline void put32(std::uint8_t* p, std::uint32_t v) { put16(p, std::uint16_t(v)); put16(p + 2, std::uint16_t(v >> 16)); }
inline void put64(std::uint8_t* p, std::uint64_t v) { put32(p, std::uint32_t(v)); put32(p + 4, std::uint32_t(v >> 32)); }
inline std::uint16_t get16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t get32(const std::uint8_t* p) { return get16(p) | std::uint32_t(get16(p + 2)) << 16; }
inline std::uint64_t get64(const std::uint8_t* p) { return get32(p) | std::uint64_t(get32(p + 4)) << 32; }

} // namespace u3vsim
