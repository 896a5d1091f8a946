// The fifteen CLProtocol exports: each traces its entry and its result
// around the work of the registry and the device.
#include "Brenwick.h"

#include "ErrorTexts.h"
#include "OrvCLLogger.h"
#include "OrvCLProtocol.h"

#include <atomic>
#include <cstring>
#include <string>

using namespace brenwick;

namespace {

constexpr char kShortTemplate[] = "NORRIK-Ombrel#CameraLink\t";
constexpr std::uint32_t kShortTemplateSize = sizeof kShortTemplate;  // 26, with the zero
constexpr std::uint32_t kMaxLogLevel = 799;
constexpr std::int64_t kLoggerParamSize = 4 + sizeof(void*);

std::atomic<void*> g_logger{nullptr};
std::atomic<std::uint32_t> g_logLevel{0};

const char* textOr(const char* text) { return text ? text : "NULL"; }
int valueOr(const std::uint32_t* size) { return size ? int(*size) : -1; }
int valueOr(const std::int32_t* cookie) { return cookie ? int(*cookie) : -1; }

#define CLP_ENTRY(level) CLP_TRACE(level, "%s Entry!", __func__)
#define CLP_FINISH(result, details, ...)                                                  \
    do {                                                                                  \
        if ((result) != 0)                                                                \
            CLP_TRACE(kTraceError, "%s Failed! :%d", __func__, int(result));              \
        else                                                                              \
            CLP_TRACE(kTraceInfo, "%s Successful!" details, __func__, __VA_ARGS__);       \
    } while (0)

std::shared_ptr<OrvCLDeviceGenCP> findDevice(std::int32_t cookie, const char* who)
{
    std::shared_ptr<OrvCLDeviceGenCP> device = OrvCLProtocol::instance().find(cookie);
    if (!device)
        CLP_TRACE(kTraceError, "%s failed! CL_ERR_INVALID_COOKIE", who);
    return device;
}

std::uint32_t highestBit(std::uint32_t mask)
{
    std::uint32_t bit = 0x80000000u;
    while (bit && !(bit & mask))
        bit >>= 1;
    return bit;
}

// The cookie's device and the arguments every register call shares.
std::int32_t registerCall(std::int32_t cookie, const char* who, CLSerialPort* serial, const char* buffer,
                          std::int64_t length, std::shared_ptr<OrvCLDeviceGenCP>& device)
{
    device = findDevice(cookie, who);
    if (!device)
        return CL_ERR_INVALID_COOKIE;
    if (!buffer || !serial)
        return CL_ERR_INVALID_PTR;
    return length < 0 ? CL_ERR_PARAM_INVALID_VALUE : 0;
}

std::int32_t readRegister(CLSerialPort* serial, std::int32_t cookie, std::int64_t address, char* buffer,
                          std::int64_t length, std::uint32_t timeoutMs)
{
    const char* who = "OrvCLProtocol::ReadRegister";
    std::shared_ptr<OrvCLDeviceGenCP> device;
    std::int32_t result = registerCall(cookie, who, serial, buffer, length, device);
    if (result != 0)
        return result;
    std::uint32_t value = 0;
    if (address == CL_REG_BAUDRATES && length == 4) {
        result = device->GetSupportedBaudRates(serial, &value);
        value |= CL_BAUDRATE_HIGHEST;
    } else if (address >= CL_REG_BAUDRATE_FIRST && address <= CL_REG_BAUDRATE_LAST && length == 4) {
        result = device->GetBaudRate(serial, &value, timeoutMs);
    } else {
        result = device->ReadRegister(serial, std::uint64_t(address), reinterpret_cast<std::uint8_t*>(buffer),
                                      std::uint64_t(length), timeoutMs);
        if (result != 0)
            CLP_TRACE(kTraceError, "%s failed! Error:%d", who, result);
        return result;
    }
    if (result == 0)
        std::memcpy(buffer, &value, sizeof value);
    else
        CLP_TRACE(kTraceError, "%s failed! Error:%d", who, result);
    return result;
}

std::int32_t writeRegister(CLSerialPort* serial, std::int32_t cookie, std::int64_t address, const char* buffer,
                           std::int64_t length, std::uint32_t timeoutMs)
{
    const char* who = "OrvCLProtocol::WriteRegister";
    std::shared_ptr<OrvCLDeviceGenCP> device;
    std::int32_t result = registerCall(cookie, who, serial, buffer, length, device);
    if (result != 0)
        return result;
    if (address == CL_REG_BAUDRATES && length == 4) {
        std::uint32_t rate;
        std::memcpy(&rate, buffer, sizeof rate);
        result = 0;
        if (rate == CL_BAUDRATE_HIGHEST) {
            std::uint32_t common = 0;
            result = device->GetSupportedBaudRates(serial, &common);
            rate = highestBit(common);
            if (result == 0 && rate == 0)
                result = CL_ERR_BAUD_RATE_NOT_SUPPORTED;
        }
        if (result == 0)
            result = device->SetBaudRate(serial, &rate, timeoutMs);
    } else {
        result = device->WriteRegister(serial, std::uint64_t(address), reinterpret_cast<const std::uint8_t*>(buffer),
                                       std::uint64_t(length), timeoutMs);
    }
    if (result != 0)
        CLP_TRACE(kTraceError, "%s failed! Error:%d", who, result);
    return result;
}

std::int32_t getParam(CLSerialPort* serial, std::int32_t param, std::int32_t cookie, void* buffer,
                      std::int64_t size, std::uint32_t timeoutMs)
{
    std::int64_t required;
    switch (param) {
    case CL_PARAM_LOG_LEVEL:
    case CL_PARAM_BAUDRATE:
    case CL_PARAM_SUPPORTED_BAUDRATES: required = 4; break;
    case CL_PARAM_LOGGER: required = kLoggerParamSize; break;
    default: return CL_ERR_PARAM_NOT_SUPPORTED;
    }
    if (size != required)
        return CL_ERR_PARAM_WRONG_SIZE;
    if (!buffer)
        return CL_ERR_INVALID_PTR;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    if (param == CL_PARAM_LOG_LEVEL) {
        const std::uint32_t level = g_logLevel;
        std::memcpy(bytes, &level, 4);
        return 0;
    }
    if (param == CL_PARAM_LOGGER) {
        const std::uint32_t magic = CL_LOGGER_MAGIC;
        void* logger = g_logger;
        std::memcpy(bytes, &magic, 4);
        std::memcpy(bytes + 4, &logger, sizeof logger);
        return 0;
    }
    const auto device = findDevice(cookie, "OrvCLProtocol::GetParam");
    if (!device)
        return CL_ERR_INVALID_COOKIE;
    if (!serial)
        return CL_ERR_INVALID_PTR;
    std::uint32_t value = 0;
    const std::int32_t result = param == CL_PARAM_BAUDRATE ? device->GetBaudRate(serial, &value, timeoutMs)
                                                           : device->GetSupportedBaudRates(serial, &value);
    if (result == 0)
        std::memcpy(bytes, &value, 4);
    return result;
}

std::int32_t setParam(CLSerialPort* serial, std::int32_t param, std::int32_t cookie, const void* buffer,
                      std::int64_t size, std::uint32_t timeoutMs)
{
    std::int64_t required;
    switch (param) {
    case CL_PARAM_LOG_LEVEL:
    case CL_PARAM_BAUDRATE: required = 4; break;
    case CL_PARAM_LOGGER: required = kLoggerParamSize; break;
    case CL_PARAM_SUPPORTED_BAUDRATES: return CL_ERR_PARAM_READ_ONLY;
    default: return CL_ERR_PARAM_NOT_SUPPORTED;
    }
    if (size != required)
        return CL_ERR_PARAM_WRONG_SIZE;
    if (!buffer)
        return CL_ERR_INVALID_PTR;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    if (param == CL_PARAM_LOG_LEVEL) {
        if (value > kMaxLogLevel)
            return CL_ERR_PARAM_INVALID_VALUE;
        g_logLevel = value;
        return 0;
    }
    if (param == CL_PARAM_LOGGER) {
        if (value != CL_LOGGER_MAGIC)
            return CL_ERR_PARAM_INVALID_VALUE;
        void* logger;
        std::memcpy(&logger, bytes + 4, sizeof logger);
        g_logger = logger;
        return 0;
    }
    const auto device = findDevice(cookie, "OrvCLProtocol::SetParam");
    if (!device)
        return CL_ERR_INVALID_COOKIE;
    if (!serial)
        return CL_ERR_INVALID_PTR;
    return device->SetBaudRate(serial, &value, timeoutMs);
}

}  // namespace

extern "C" {

BRENWICK_API int32_t clpInitLib(void* logger, int32_t logLevel)
{
    CLP_TRACE(kTraceInfo, "%s Entry! logger:%p logLevel:%d", __func__, logger, logLevel);
    g_logger = logger;
    g_logLevel = std::uint32_t(logLevel);
    OrvCLLogger::instance().setUp();
    CLP_TRACE(kTraceInfo, "%s Successful!", __func__);
    return 0;
}

BRENWICK_API int32_t clpCloseLib(void)
{
    CLP_ENTRY(kTraceInfo);
    g_logger = nullptr;
    g_logLevel = 0;
    OrvCLLogger::instance().close();
    CLP_TRACE(kTraceInfo, "%s Successful!", __func__);
    return 0;
}

BRENWICK_API int32_t clpGetShortDeviceIDTemplates(char* pShortDeviceTemplates, uint32_t* pBufferSize)
{
    CLP_ENTRY(kTraceInfo);
    std::int32_t result = 0;
    if (!pBufferSize) {
        result = CL_ERR_INVALID_PTR;
    } else if (*pBufferSize < kShortTemplateSize) {
        *pBufferSize = kShortTemplateSize;
        result = CL_ERR_BUFFER_TOO_SMALL;
    } else {
        if (pShortDeviceTemplates)
            std::memcpy(pShortDeviceTemplates, kShortTemplate, kShortTemplateSize);
        *pBufferSize = kShortTemplateSize;
    }
    CLP_FINISH(result, " pShortDeviceTemplates:%s pBufferSize:%d", textOr(pShortDeviceTemplates),
               valueOr(pBufferSize));
    return result;
}

BRENWICK_API int32_t clpProbeDevice(CLSerialPort* serial, const char* pDeviceIDTemplate, char* pDeviceID,
                                    uint32_t* pBufferSize, int32_t* pCookie, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceInfo);
    const std::int32_t result =
        OrvCLProtocol::instance().ProbeDevice(serial, pDeviceIDTemplate, pDeviceID, pBufferSize, pCookie, timeoutMs);
    CLP_FINISH(result, " pDeviceIDTemplate:%s pDeviceID:%s pBufferSize:%d Cookie:%d", textOr(pDeviceIDTemplate),
               textOr(pDeviceID), valueOr(pBufferSize), valueOr(pCookie));
    return result;
}

BRENWICK_API int32_t clpGetXMLIDs(CLSerialPort* serial, int32_t cookie, char* pXMLIDs, uint32_t* pBufferSize,
                                  uint32_t)
{
    CLP_ENTRY(kTraceInfo);
    const std::int32_t result = OrvCLProtocol::instance().GetXMLIDs(serial, cookie, pXMLIDs, pBufferSize);
    CLP_FINISH(result, " Cookie:%d pXMLIDs:%s pBufferSize:%d", cookie, textOr(pXMLIDs), valueOr(pBufferSize));
    return result;
}

BRENWICK_API int32_t clpGetXMLDescription(CLSerialPort* serial, int32_t cookie, const char* pXMLID,
                                          char* pXMLBuffer, uint32_t* pBufferSize, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceInfo);
    const std::int32_t result =
        OrvCLProtocol::instance().GetXMLDescription(serial, cookie, pXMLID, pXMLBuffer, pBufferSize, timeoutMs);
    // A too-small buffer is the usual first step of a host asking for the size.
    CLP_FINISH(result == CL_ERR_BUFFER_TOO_SMALL ? 0 : result, " Cookie:%d pXMLIDs:%s XMLBufferSize:%d", cookie,
               textOr(pXMLID), valueOr(pBufferSize));
    return result;
}

BRENWICK_API int32_t clpReadRegister(CLSerialPort* serial, int32_t cookie, int64_t address, char* pBuffer,
                                     int64_t length, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceDebug);
    const std::int32_t result = readRegister(serial, cookie, address, pBuffer, length, timeoutMs);
    CLP_FINISH(result, " Cookie:%d Address:%lld", cookie, static_cast<long long>(address));
    return result;
}

BRENWICK_API int32_t clpWriteRegister(CLSerialPort* serial, int32_t cookie, int64_t address, const char* pBuffer,
                                      int64_t length, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceDebug);
    const std::int32_t result = writeRegister(serial, cookie, address, pBuffer, length, timeoutMs);
    CLP_FINISH(result, " Cookie:%d Address:%lld", cookie, static_cast<long long>(address));
    return result;
}

BRENWICK_API int32_t clpContinueWriteRegister(CLSerialPort*, int32_t cookie, bool continueWaiting)
{
    CLP_ENTRY(kTraceDebug);
    CLP_FINISH(0, " Cookie:%d ContinueWaiting:%d", cookie, int(continueWaiting));
    return 0;
}

BRENWICK_API int32_t clpGetErrorText(int32_t errorCode, char* errorText, uint32_t* pBufferSize, int32_t cookie)
{
    CLP_ENTRY(kTraceDebug);
    std::int32_t result = 0;
    std::string text;
    if (!pBufferSize) {
        result = CL_ERR_INVALID_PTR;
    } else if (!brenwick::errorText(errorCode, text)) {
        result = CL_ERR_ERROR_NOT_FOUND;
    } else {
        const std::uint32_t needed = std::uint32_t(text.size() + 1);
        if (text.size() < *pBufferSize) {
            if (errorText)
                std::memcpy(errorText, text.c_str(), needed);
        } else {
            result = CL_ERR_BUFFER_TOO_SMALL;
        }
        *pBufferSize = needed;
    }
    CLP_FINISH(result, " Cookie:%d errorCode:%d", cookie, errorCode);
    return result;
}

BRENWICK_API int32_t clpDisconnect(int32_t cookie)
{
    CLP_ENTRY(kTraceDebug);
    OrvCLProtocol::instance().remove(cookie);
    CLP_FINISH(0, " Cookie:%d", cookie);
    return 0;
}

BRENWICK_API int32_t clpGetCLProtocolVersion(uint32_t* versionMajor, uint32_t* versionMinor)
{
    CLP_ENTRY(kTraceDebug);
    std::int32_t result = CL_ERR_INVALID_PTR;
    if (versionMajor && versionMinor) {
        *versionMajor = 1;
        *versionMinor = 1;
        result = 0;
    }
    CLP_FINISH(result, " VersionMajor:%d VersionMinor:%d", valueOr(versionMajor), valueOr(versionMinor));
    return result;
}

BRENWICK_API int32_t clpGetParam(CLSerialPort* serial, int32_t param, int32_t cookie, void* pBuffer,
                                 int64_t bufferSize, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceDebug);
    const std::int32_t result = getParam(serial, param, cookie, pBuffer, bufferSize, timeoutMs);
    CLP_FINISH(result, " Cookie:%d param:%d", cookie, param);
    return result;
}

BRENWICK_API int32_t clpSetParam(CLSerialPort* serial, int32_t param, int32_t cookie, const void* pBuffer,
                                 int64_t bufferSize, uint32_t timeoutMs)
{
    CLP_ENTRY(kTraceDebug);
    const std::int32_t result = setParam(serial, param, cookie, pBuffer, bufferSize, timeoutMs);
    CLP_FINISH(result, " Cookie:%d param:%d", cookie, param);
    return result;
}

BRENWICK_API int32_t clpIsParamSupported(int32_t param)
{
    CLP_ENTRY(kTraceDebug);
    const bool supported = param == CL_PARAM_LOG_LEVEL || param == CL_PARAM_LOGGER || param == CL_PARAM_BAUDRATE
                           || param == CL_PARAM_SUPPORTED_BAUDRATES;
    const std::int32_t result = supported ? 0 : CL_ERR_PARAM_NOT_SUPPORTED;
    CLP_FINISH(result, " param:%d", param);
    return result;
}

}  // extern "C"
