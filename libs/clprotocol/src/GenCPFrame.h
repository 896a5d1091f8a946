// GenCP packets on the Camera Link serial line: checksums, commands and the
// acknowledge header. Multi-byte fields are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brenwick {

constexpr std::uint16_t kGenCPPreamble = 0x0100;
constexpr std::uint16_t kGenCPFlagAckRequested = 0x4000;
constexpr std::uint16_t kGenCPReadMem = 0x0800;
constexpr std::uint16_t kGenCPReadMemAck = 0x0801;
constexpr std::uint16_t kGenCPWriteMem = 0x0802;
constexpr std::uint16_t kGenCPWriteMemAck = 0x0803;
constexpr std::size_t kGenCPHeaderSize = 16;

// RFC 1071 Internet checksum over [data, data + size); an odd last byte is
// padded with zero.
std::uint16_t gencpSerialChecksum(const std::uint8_t* data, std::size_t size);

std::vector<std::uint8_t> gencpReadMemCommand(std::uint16_t requestId, std::uint64_t address, std::uint16_t length);
std::vector<std::uint8_t> gencpWriteMemCommand(std::uint16_t requestId, std::uint64_t address,
                                               const std::uint8_t* data, std::uint16_t length);

struct GenCPAckHeader {
    std::uint16_t preamble = 0;
    std::uint16_t ccdChecksum = 0;
    std::uint16_t scdChecksum = 0;
    std::uint16_t channelId = 0;
    std::uint16_t status = 0;
    std::uint16_t command = 0;
    std::uint16_t scdLength = 0;
    std::uint16_t requestId = 0;
};

GenCPAckHeader gencpParseHeader(const std::uint8_t* header);
// The CCD checksum covers the header from the channel id on.
bool gencpCcdValid(const std::uint8_t* header);
// The SCD checksum covers the same ten header bytes and the SCD.
bool gencpScdValid(const std::uint8_t* header, const std::uint8_t* scd, std::size_t scdLength);

std::uint16_t readBE16(const std::uint8_t* p);
std::uint32_t readBE32(const std::uint8_t* p);
std::uint64_t readBE64(const std::uint8_t* p);
void writeBE(std::uint8_t* p, std::uint64_t value, int bytes);

}  // namespace brenwick
