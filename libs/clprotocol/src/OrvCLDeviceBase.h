// A camera the driver has probed, as the CLProtocol exports see it.
#pragma once

#include "Brenwick.h"

#include <cstdint>
#include <string>

namespace brenwick {

class OrvCLDeviceBase {
public:
    virtual ~OrvCLDeviceBase() = default;
    virtual std::int32_t Connect(CLSerialPort* serial, const std::string& deviceKey, std::uint32_t timeoutMs) = 0;
    virtual std::int32_t GetXMLIDs(CLSerialPort* serial, char* buffer, std::uint32_t* size) = 0;
    virtual std::int32_t GetXMLDescription(CLSerialPort* serial, const char* xmlId, char* buffer, std::uint32_t* size,
                                           std::uint32_t timeoutMs) = 0;
    virtual std::int32_t ReadRegister(CLSerialPort* serial, std::uint64_t address, std::uint8_t* buffer,
                                      std::uint64_t length, std::uint32_t timeoutMs) = 0;
    virtual std::int32_t WriteRegister(CLSerialPort* serial, std::uint64_t address, const std::uint8_t* buffer,
                                       std::uint64_t length, std::uint32_t timeoutMs) = 0;
    virtual std::int32_t GetSupportedBaudRates(CLSerialPort* serial, std::uint32_t* mask) = 0;
    virtual std::int32_t GetBaudRate(CLSerialPort* serial, std::uint32_t* rate, std::uint32_t timeoutMs) = 0;
    virtual std::int32_t SetBaudRate(CLSerialPort* serial, const std::uint32_t* rate, std::uint32_t timeoutMs) = 0;

    std::int32_t cookie() const { return m_cookie; }
    void setCookie(std::int32_t cookie) { m_cookie = cookie; }
    const std::string& deviceId() const { return m_deviceId; }
    const std::string& xmlId() const { return m_xmlId; }

protected:
    std::int32_t m_cookie = 0;
    std::uint16_t m_requestId = 1;
    std::string m_deviceId;
    std::string m_xmlId;
    char m_manufacturer[64] = {};
    char m_model[64] = {};
    char m_serial[64] = {};
    char m_version[64] = {};
};

}  // namespace brenwick
