// A GenCP camera behind the host's Camera Link serial port.
#pragma once

#include "OrvCLDeviceBase.h"

#include <cstdint>
#include <string>

namespace brenwick {

constexpr std::uint32_t kReadPiece = 996;
constexpr std::uint32_t kWritePiece = 1000;
constexpr std::uint64_t kMaxXmlFileSize = 64ull << 20;

class OrvCLDeviceGenCP : public OrvCLDeviceBase {
public:
    std::int32_t Connect(CLSerialPort* serial, const std::string& deviceKey, std::uint32_t timeoutMs) override;
    std::int32_t GetXMLIDs(CLSerialPort* serial, char* buffer, std::uint32_t* size) override;
    std::int32_t GetXMLDescription(CLSerialPort* serial, const char* xmlId, char* buffer, std::uint32_t* size,
                                   std::uint32_t timeoutMs) override;
    std::int32_t ReadRegister(CLSerialPort* serial, std::uint64_t address, std::uint8_t* buffer, std::uint64_t length,
                              std::uint32_t timeoutMs) override;
    std::int32_t WriteRegister(CLSerialPort* serial, std::uint64_t address, const std::uint8_t* buffer,
                               std::uint64_t length, std::uint32_t timeoutMs) override;
    std::int32_t GetSupportedBaudRates(CLSerialPort* serial, std::uint32_t* mask) override;
    std::int32_t GetBaudRate(CLSerialPort* serial, std::uint32_t* rate, std::uint32_t timeoutMs) override;
    std::int32_t SetBaudRate(CLSerialPort* serial, const std::uint32_t* rate, std::uint32_t timeoutMs) override;

    // One GenCP exchange each.
    std::int32_t _ReadRegister(CLSerialPort* serial, std::uint64_t address, std::uint8_t* buffer, std::uint16_t length,
                               std::uint32_t timeoutMs);
    std::int32_t _WriteRegister(CLSerialPort* serial, std::uint64_t address, const std::uint8_t* data,
                                std::uint16_t length, std::uint32_t timeoutMs);

    std::uint64_t sbrmAddress() const { return m_sbrmAddress; }

private:
    std::uint16_t takeRequestId();
    std::int32_t exchange(CLSerialPort* serial, const std::uint8_t* command, std::size_t commandSize,
                          std::uint16_t requestId, bool reading, std::uint8_t* scd, std::uint16_t scdLength,
                          std::uint32_t timeoutMs);
    std::int32_t _readXML(CLSerialPort* serial, std::string& file, std::uint32_t timeoutMs);

    std::uint64_t m_sbrmAddress = 0;
    std::uint32_t m_gencpMajor = 0;
    std::uint8_t m_manifestEntry[64] = {};
    std::string m_xmlCache;  // the text up to its first zero
    bool m_xmlCached = false;  // set once the file was read, even when its text is empty
};

}  // namespace brenwick
