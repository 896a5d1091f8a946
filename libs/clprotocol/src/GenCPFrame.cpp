#include "GenCPFrame.h"

#include <cstring>

namespace brenwick {
namespace {

std::uint32_t addWords(std::uint32_t sum, const std::uint8_t* data, std::size_t size)
{
    std::size_t i = 0;
    for (; i + 1 < size; i += 2)
        sum += std::uint32_t(data[i]) << 8 | data[i + 1];
    if (i < size)
        sum += std::uint32_t(data[i]) << 8;
    return sum;
}

std::uint16_t fold(std::uint32_t sum)
{
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum & 0xFFFF);
}

// Fills preamble, channel, flags, command, SCD length and request id and
// seals both checksums; the SCD must already stand at offset 16.
void seal(std::vector<std::uint8_t>& frame, std::uint16_t command, std::uint16_t requestId)
{
    std::uint8_t* f = frame.data();
    writeBE(f + 0, kGenCPPreamble, 2);
    writeBE(f + 6, 0, 2);
    writeBE(f + 8, kGenCPFlagAckRequested, 2);
    writeBE(f + 10, command, 2);
    writeBE(f + 12, frame.size() - kGenCPHeaderSize, 2);
    writeBE(f + 14, requestId, 2);
    writeBE(f + 2, gencpSerialChecksum(f + 6, 10), 2);
    writeBE(f + 4, gencpSerialChecksum(f + 6, frame.size() - 6), 2);
}

}  // namespace

std::uint16_t readBE16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }
std::uint32_t readBE32(const std::uint8_t* p) { return std::uint32_t(readBE16(p)) << 16 | readBE16(p + 2); }
std::uint64_t readBE64(const std::uint8_t* p) { return std::uint64_t(readBE32(p)) << 32 | readBE32(p + 4); }

void writeBE(std::uint8_t* p, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        p[i] = std::uint8_t(value);
}

std::uint16_t gencpSerialChecksum(const std::uint8_t* data, std::size_t size)
{
    return fold(addWords(0, data, size));
}

std::vector<std::uint8_t> gencpReadMemCommand(std::uint16_t requestId, std::uint64_t address, std::uint16_t length)
{
    std::vector<std::uint8_t> frame(28, 0);
    writeBE(frame.data() + 16, address, 8);
    writeBE(frame.data() + 26, length, 2);
    seal(frame, kGenCPReadMem, requestId);
    return frame;
}

std::vector<std::uint8_t> gencpWriteMemCommand(std::uint16_t requestId, std::uint64_t address,
                                               const std::uint8_t* data, std::uint16_t length)
{
    std::vector<std::uint8_t> frame(24 + std::size_t(length), 0);
    writeBE(frame.data() + 16, address, 8);
    if (length > 0)
        std::memcpy(frame.data() + 24, data, length);
    seal(frame, kGenCPWriteMem, requestId);
    return frame;
}

GenCPAckHeader gencpParseHeader(const std::uint8_t* h)
{
    GenCPAckHeader header;
    header.preamble = readBE16(h + 0);
    header.ccdChecksum = readBE16(h + 2);
    header.scdChecksum = readBE16(h + 4);
    header.channelId = readBE16(h + 6);
    header.status = readBE16(h + 8);
    header.command = readBE16(h + 10);
    header.scdLength = readBE16(h + 12);
    header.requestId = readBE16(h + 14);
    return header;
}

bool gencpCcdValid(const std::uint8_t* header)
{
    return gencpSerialChecksum(header + 6, 10) == readBE16(header + 2);
}

bool gencpScdValid(const std::uint8_t* header, const std::uint8_t* scd, std::size_t scdLength)
{
    return fold(addWords(addWords(0, header + 6, 10), scd, scdLength)) == readBE16(header + 4);
}

}  // namespace brenwick
