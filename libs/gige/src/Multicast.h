// The pieces of multicast membership that need no socket: the IGMPv2
// message and the ports a group's stream may bind to.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace pellago {

// A version 2 membership report (join) or a leave for `group` (host byte
// order): type, 0, checksum, group, in network byte order.
std::array<uint8_t, 8> igmpMessage(bool join, uint32_t group);

// 1024 + r, 1024 + r + 13, ... up to 3000 + r, with r = group mod 1976.
std::vector<uint16_t> multicastPortCandidates(uint32_t group);

}  // namespace pellago
