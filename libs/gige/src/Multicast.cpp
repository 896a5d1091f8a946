#include "Multicast.h"

#include <cstddef>

namespace pellago {

std::array<uint8_t, 8> igmpMessage(bool join, uint32_t group)
{
    std::array<uint8_t, 8> m = {static_cast<uint8_t>(join ? 0x16 : 0x17), 0, 0, 0,
                                static_cast<uint8_t>(group >> 24), static_cast<uint8_t>(group >> 16),
                                static_cast<uint8_t>(group >> 8), static_cast<uint8_t>(group)};
    uint32_t sum = 0;
    for (std::size_t i = 0; i < m.size(); i += 2)
        sum += static_cast<uint32_t>(m[i] << 8 | m[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    const uint16_t checksum = static_cast<uint16_t>(~sum);
    m[2] = static_cast<uint8_t>(checksum >> 8);
    m[3] = static_cast<uint8_t>(checksum);
    return m;
}

std::vector<uint16_t> multicastPortCandidates(uint32_t group)
{
    const uint32_t r = group % 1976;
    std::vector<uint16_t> ports;
    for (uint32_t port = 1024 + r; port <= 3000 + r; port += 13)
        ports.push_back(static_cast<uint16_t>(port));
    return ports;
}

}  // namespace pellago
