#include "OrvCLDeviceGenCP.h"

#include "GenCPFrame.h"
#include "OrvCLLogger.h"
#include "SerialIO.h"
#include "UncompressBuffer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <thread>
#include <vector>

namespace brenwick {
namespace {

constexpr int kMaxStaleAcks = 4;
constexpr std::uint16_t kMaxStaleScd = 1024;

void copyName(char (&name)[64], const std::uint8_t* bytes)
{
    std::memcpy(name, bytes, sizeof name);
    name[63] = '\0';
}

}  // namespace

std::uint16_t OrvCLDeviceGenCP::takeRequestId()
{
    const std::uint16_t id = m_requestId;
    m_requestId = m_requestId == 0xFFFF ? 1 : std::uint16_t(m_requestId + 1);
    return id;
}

// Sends one command and checks its acknowledge: the header first, then only
// as many SCD bytes as were asked for. An acknowledge of an earlier, abandoned
// exchange is dropped whole. After any failure the line is drained, so late
// bytes cannot shift the next exchange.
std::int32_t OrvCLDeviceGenCP::exchange(CLSerialPort* serial, const std::uint8_t* command, std::size_t commandSize,
                                        std::uint16_t requestId, bool reading, std::uint8_t* scd,
                                        std::uint16_t scdLength, std::uint32_t timeoutMs)
{
    const char* who = reading ? "OrvCLDeviceGenCP::_ReadRegister" : "OrvCLDeviceGenCP::_WriteRegister";
    const char* op = reading ? "ReadRegister" : "WriteRegister";
    const std::uint16_t expected = reading ? kGenCPReadMemAck : kGenCPWriteMemAck;
    auto fail = [&](std::int32_t result) {
        serialDrain(serial);
        return result;
    };

    std::int32_t result = serialWrite(serial, command, std::uint32_t(commandSize), timeoutMs);
    if (result != 0)
        return fail(result);
    for (int stale = 0;; ++stale) {
        std::uint8_t header[kGenCPHeaderSize];
        result = serialRead(serial, header, sizeof header, timeoutMs);
        if (result != 0) {
            if (stale == 0)
                return fail(result);
            CLP_TRACE(kTraceError, "%s %s failed! nRequestId invalid", who, op);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        const GenCPAckHeader ack = gencpParseHeader(header);
        if (ack.preamble != kGenCPPreamble) {
            CLP_TRACE(kTraceError, "%s %s failed! preamble 0x%04x invalid", who, op, ack.preamble);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        if (ack.requestId != requestId && gencpCcdValid(header) && stale < kMaxStaleAcks
            && ack.scdLength <= kMaxStaleScd) {
            std::vector<std::uint8_t> skipped(ack.scdLength);
            if (ack.scdLength == 0 || serialRead(serial, skipped.data(), ack.scdLength, timeoutMs) == 0)
                continue;
        }
        if (ack.command != expected) {
            CLP_TRACE(kTraceError, reading ? "%s ReadRegister failed! no GENCP_CCD_COMMAND_READMEM_ACK found"
                                           : "%s WriteRegister failed! no GENCP_CCD_COMMAND_WRITEMEM_ACK found",
                      who);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        if (ack.requestId != requestId) {
            CLP_TRACE(kTraceError, "%s %s failed! nRequestId invalid", who, op);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        if (!gencpCcdValid(header)) {
            CLP_TRACE(kTraceError, "%s %s failed! nCCD_CRC_16 wrong", who, op);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        if (ack.status != 0) {
            CLP_TRACE(kTraceError, "%s %s failed! status error 0x%04x", who, op, ack.status);
            return ack.scdLength == 0 ? std::int32_t(ack.status) : fail(ack.status);
        }
        if (ack.scdLength != scdLength) {
            CLP_TRACE(kTraceError, "%s %s failed! SCD length %u instead of %u", who, op, unsigned(ack.scdLength),
                      unsigned(scdLength));
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        result = serialRead(serial, scd, scdLength, timeoutMs);
        if (result != 0)
            return fail(result);
        if (!gencpScdValid(header, scd, scdLength)) {
            CLP_TRACE(kTraceError, "%s %s failed! nSCD_CRC_16 wrong", who, op);
            return fail(CL_ERR_GENCP_ACK_INVALID);
        }
        return 0;
    }
}

std::int32_t OrvCLDeviceGenCP::_ReadRegister(CLSerialPort* serial, std::uint64_t address, std::uint8_t* buffer,
                                             std::uint16_t length, std::uint32_t timeoutMs)
{
    const std::uint16_t id = takeRequestId();
    const std::vector<std::uint8_t> command = gencpReadMemCommand(id, address, length);
    return exchange(serial, command.data(), command.size(), id, true, buffer, length, timeoutMs);
}

std::int32_t OrvCLDeviceGenCP::_WriteRegister(CLSerialPort* serial, std::uint64_t address, const std::uint8_t* data,
                                              std::uint16_t length, std::uint32_t timeoutMs)
{
    const std::uint16_t id = takeRequestId();
    const std::vector<std::uint8_t> command = gencpWriteMemCommand(id, address, data, length);
    std::uint8_t scd[4];
    const std::int32_t result = exchange(serial, command.data(), command.size(), id, false, scd, sizeof scd, timeoutMs);
    if (result != 0)
        return result;
    const std::uint16_t written = readBE16(scd + 2);
    if (written < length) {
        CLP_TRACE(kTraceError, "%s WriteRegister failed! %u of %u bytes written", "OrvCLDeviceGenCP::_WriteRegister",
                  unsigned(written), unsigned(length));
        return CL_ERR_GENCP_ACK_INVALID;
    }
    return 0;
}

// Runs one exchange per piece of at most `piece` bytes; the first error ends it.
template <typename Exchange>
std::int32_t inPieces(std::uint64_t length, std::uint32_t piece, Exchange exchange)
{
    for (std::uint64_t done = 0; done < length;) {
        const std::uint16_t size = std::uint16_t(std::min<std::uint64_t>(piece, length - done));
        const std::int32_t result = exchange(done, size);
        if (result != 0)
            return result;
        done += size;
    }
    return 0;
}

std::int32_t OrvCLDeviceGenCP::ReadRegister(CLSerialPort* serial, std::uint64_t address, std::uint8_t* buffer,
                                            std::uint64_t length, std::uint32_t timeoutMs)
{
    return inPieces(length, kReadPiece, [&](std::uint64_t done, std::uint16_t size) {
        return _ReadRegister(serial, address + done, buffer + done, size, timeoutMs);
    });
}

std::int32_t OrvCLDeviceGenCP::WriteRegister(CLSerialPort* serial, std::uint64_t address, const std::uint8_t* buffer,
                                             std::uint64_t length, std::uint32_t timeoutMs)
{
    return inPieces(length, kWritePiece, [&](std::uint64_t done, std::uint16_t size) {
        return _WriteRegister(serial, address + done, buffer + done, size, timeoutMs);
    });
}

std::int32_t OrvCLDeviceGenCP::GetSupportedBaudRates(CLSerialPort* serial, std::uint32_t* mask)
{
    std::uint8_t value[4];
    std::int32_t result = ReadRegister(serial, m_sbrmAddress, value, sizeof value, 500);
    if (result != 0)
        return result;
    std::uint32_t portMask = 0;
    result = serial->functions->getSupportedBaudRates(serial, &portMask);
    if (result != 0)
        return result;
    *mask = readBE32(value) & portMask;
    return 0;
}

std::int32_t OrvCLDeviceGenCP::GetBaudRate(CLSerialPort* serial, std::uint32_t* rate, std::uint32_t timeoutMs)
{
    std::uint8_t value[4];
    const std::int32_t result = ReadRegister(serial, m_sbrmAddress + 4, value, sizeof value, timeoutMs);
    if (result == 0)
        *rate = readBE32(value);
    return result;
}

std::int32_t OrvCLDeviceGenCP::SetBaudRate(CLSerialPort* serial, const std::uint32_t* rate, std::uint32_t timeoutMs)
{
    std::uint32_t common = 0;
    std::int32_t result = GetSupportedBaudRates(serial, &common);
    if (result != 0)
        return result;
    // Exactly one rate bit, and one both ends support.
    const std::uint32_t wanted = *rate;
    if (wanted == 0 || (wanted & (wanted - 1)) != 0 || (wanted & common) == 0)
        return CL_ERR_BAUD_RATE_NOT_SUPPORTED;
    std::uint8_t value[4];
    writeBE(value, wanted, 4);
    result = WriteRegister(serial, m_sbrmAddress + 4, value, sizeof value, timeoutMs);
    if (result != 0)
        return result;
    result = serial->functions->setBaudRate(serial, wanted);
    if (result != 0)
        return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}

std::int32_t OrvCLDeviceGenCP::Connect(CLSerialPort* serial, const std::string& deviceKey, std::uint32_t timeoutMs)
{
    std::uint8_t bytes[72];
    std::int32_t result = ReadRegister(serial, 0x0000, bytes, 4, timeoutMs);
    if (result != 0)
        return result;
    m_gencpMajor = readBE32(bytes) >> 16;
    const struct {
        std::uint64_t address;
        char (*name)[64];
    } names[] = {{0x0004, &m_manufacturer}, {0x0044, &m_model}, {0x0144, &m_serial}, {0x00C4, &m_version}};
    for (const auto& entry : names) {
        if ((result = ReadRegister(serial, entry.address, bytes, 64, timeoutMs)) != 0)
            return result;
        copyName(*entry.name, bytes);
    }
    if ((result = ReadRegister(serial, 0x01D0, bytes, 8, timeoutMs)) != 0)
        return result;
    const std::uint64_t manifest = readBE64(bytes);
    if ((result = ReadRegister(serial, manifest, bytes, 72, timeoutMs)) != 0)
        return result;
    if ((result = ReadRegister(serial, manifest + 8, m_manifestEntry, 64, timeoutMs)) != 0)
        return result;
    if ((result = ReadRegister(serial, 0x01D8, bytes, 8, timeoutMs)) != 0)
        return result;
    m_sbrmAddress = readBE64(bytes);

    m_deviceId = deviceKey + "#" + m_model + "#" + m_version + "#" + m_serial;
    const std::uint8_t* e = m_manifestEntry;
    char xmlId[512];
    std::snprintf(xmlId, sizeof xmlId, "SchemaVersion.%d.%d@%s@XMLVersion.%d.%d.%d", e[4], e[5], m_deviceId.c_str(),
                  e[0], e[1], readBE16(e + 2));
    m_xmlId = xmlId;
    return 0;
}

std::int32_t OrvCLDeviceGenCP::GetXMLIDs(CLSerialPort*, char* buffer, std::uint32_t* size)
{
    if (!size)
        return CL_ERR_INVALID_PTR;
    const std::uint32_t needed = std::uint32_t(m_xmlId.size() + 1);
    if (*size < needed) {
        *size = needed;
        return CL_ERR_BUFFER_TOO_SMALL;
    }
    if (buffer)
        std::memcpy(buffer, m_xmlId.c_str(), needed);
    return 0;
}

std::int32_t OrvCLDeviceGenCP::_readXML(CLSerialPort* serial, std::string& file, std::uint32_t timeoutMs)
{
    const std::uint64_t address = readBE64(m_manifestEntry + 8);
    const std::uint64_t size = readBE64(m_manifestEntry + 16);
    // Checked before anything is allocated: a false size cannot exhaust memory.
    if (size > kMaxXmlFileSize) {
        CLP_TRACE(kTraceError, "%s file size %llu too large", "OrvCLDeviceGenCP::_readXML",
                  static_cast<unsigned long long>(size));
        return CL_ERR_NO_XMLDESCRIPTION_FOUND;
    }
    file.assign(std::size_t(size) + 1, '\0');
    const std::int32_t result = ReadRegister(serial, address, reinterpret_cast<std::uint8_t*>(&file[0]), size, timeoutMs);
    if (result != 0)
        CLP_TRACE(kTraceError, "%s ReadRegister failed! %d", "OrvCLDeviceGenCP::_readXML", result);
    return result;
}

std::int32_t OrvCLDeviceGenCP::GetXMLDescription(CLSerialPort* serial, const char* xmlId, char* buffer,
                                                 std::uint32_t* size, std::uint32_t timeoutMs)
{
    const char* who = "OrvCLDeviceGenCP::GetXMLDescription";
    if (!size || !serial || !xmlId) {
        CLP_TRACE(kTraceError, "%s CL_ERR_INVALID_PTR", who);
        return CL_ERR_INVALID_PTR;
    }
    if (strcasecmp(xmlId, m_xmlId.c_str()) != 0) {
        CLP_TRACE(kTraceError, "%s CL_ERR_NO_XMLDESCRIPTION_FOUND", who);
        return CL_ERR_NO_XMLDESCRIPTION_FOUND;
    }
    if (m_xmlCached) {
        const std::uint32_t needed = std::uint32_t(m_xmlCache.size() + 1);
        if (*size < needed) {
            *size = needed;
            CLP_TRACE(kTraceError, "%s CL_ERR_BUFFER_TOO_SMALL", who);
            return CL_ERR_BUFFER_TOO_SMALL;
        }
        if (buffer)
            std::memcpy(buffer, m_xmlCache.c_str(), needed);
        return 0;
    }

    std::string file;
    std::int32_t result = _readXML(serial, file, timeoutMs);
    if (result != 0) {
        CLP_TRACE(kTraceError, "%s _readXML Failed!", who);
        return result;
    }
    const std::uint32_t fileType = (readBE32(m_manifestEntry + 4) >> 10) & 0x3F;
    std::vector<char> text;
    if (fileType == 1) {
        std::size_t textSize = 0;
        if (!UncompressBuffer(reinterpret_cast<const std::uint8_t*>(file.data()), file.size() - 1, text, textSize,
                              kMaxXmlFileSize)) {
            CLP_TRACE(kTraceError, "%s UncompressBuffer Failed!", who);
            return CL_ERR_NO_XMLDESCRIPTION_FOUND;
        }
    } else {
        text.assign(file.begin(), file.end());
    }
    const std::uint32_t n = std::uint32_t(text.size());
    m_xmlCache.assign(text.data());
    m_xmlCached = true;
    if (*size < n) {
        if (*size != 0)
            CLP_TRACE(kTraceError, "%s CL_ERR_BUFFER_TOO_SMALL", who);
        result = CL_ERR_BUFFER_TOO_SMALL;
    } else if (buffer) {
        std::memcpy(buffer, text.data(), n);
    }
    *size = n;
    return result;
}

}  // namespace brenwick
