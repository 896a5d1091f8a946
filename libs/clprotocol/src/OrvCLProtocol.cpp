#include "OrvCLProtocol.h"

#include "OrvCLLogger.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace brenwick {
namespace {

const char kVendor[] = "NORRIK-Ombrel";
const char kFamily[] = "CameraLink";
constexpr std::uint32_t kRateProbeMask = 0xF1;
constexpr std::uint32_t kRateProbeTimeoutMs = 100;

std::vector<std::string> splitFields(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('#', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

}  // namespace

OrvCLProtocol& OrvCLProtocol::instance()
{
    static OrvCLProtocol protocol;
    return protocol;
}

std::shared_ptr<OrvCLDeviceGenCP> OrvCLProtocol::find(std::int32_t cookie)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const auto it = m_devices.find(cookie);
    return it == m_devices.end() ? nullptr : it->second;
}

std::int32_t OrvCLProtocol::add(const std::shared_ptr<OrvCLDeviceGenCP>& device)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::int32_t cookie = m_nextCookie++;
    device->setCookie(cookie);
    m_devices[cookie] = device;
    return cookie;
}

void OrvCLProtocol::remove(std::int32_t cookie)
{
    std::shared_ptr<OrvCLDeviceGenCP> device;  // destroyed after the lock is let go
    std::lock_guard<std::mutex> lock(m_lock);
    const auto it = m_devices.find(cookie);
    if (it != m_devices.end()) {
        device = it->second;
        m_devices.erase(it);
    }
}

std::int32_t OrvCLProtocol::ProbeDevice(CLSerialPort* serial, const char* deviceTemplate, char* deviceId,
                                        std::uint32_t* size, std::int32_t* cookie, std::uint32_t timeoutMs)
{
    const char* who = "OrvCLProtocol::ProbeDevice";
    if (!deviceTemplate || !serial || (deviceId && !size)) {
        CLP_TRACE(kTraceError, "%s CL_ERR_INVALID_PTR", who);
        return CL_ERR_INVALID_PTR;
    }
    const std::vector<std::string> fields = splitFields(deviceTemplate);
    const bool withId = deviceId || size;
    if (fields.size() < 2 || fields.size() > 6 || (withId && fields.size() < 4)) {
        CLP_TRACE(kTraceError, "%s CL_ERR_INVALID_DEVICEID(1) :%s", who, deviceTemplate);
        return CL_ERR_INVALID_DEVICEID;
    }
    const std::size_t first = withId ? 2 : 0;
    if (fields[first] != kVendor || fields[first + 1] != kFamily) {
        CLP_TRACE(kTraceError, "%s CL_ERR_INVALID_DEVICEID(2)", who);
        return CL_ERR_INVALID_DEVICEID;
    }
    const std::string key = fields[first] + "#" + fields[first + 1];
    const std::uint32_t needed = std::uint32_t(std::strlen(deviceTemplate) + 195);
    if (size && *size < needed) {
        *size = needed;
        CLP_TRACE(kTraceError, "%s CL_ERR_BUFFER_TOO_SMALL", who);
        return CL_ERR_BUFFER_TOO_SMALL;
    }

    auto device = std::make_shared<OrvCLDeviceGenCP>();
    if (device->Connect(serial, key, timeoutMs) != 0) {
        std::uint32_t rates = 0;
        if (serial->functions->getSupportedBaudRates(serial, &rates) != 0)
            rates = 0;
        rates &= kRateProbeMask;
        bool connected = false;
        for (std::uint32_t bit = 0x80; bit != 0 && !connected; bit >>= 1)
            if ((rates & bit) && serial->functions->setBaudRate(serial, bit) == 0)
                connected = device->Connect(serial, key, kRateProbeTimeoutMs) == 0;
        if (!connected) {
            CLP_TRACE(kTraceInfo, "%s Connect failed!", who);
            return CL_ERR_CONNECTING_FAILED;
        }
    }
    const std::int32_t newCookie = add(device);
    if (cookie)
        *cookie = newCookie;
    if (deviceId)
        std::snprintf(deviceId, *size, "%s#%s#%s", fields[0].c_str(), fields[1].c_str(), device->deviceId().c_str());
    return 0;
}

std::int32_t OrvCLProtocol::GetXMLIDs(CLSerialPort* serial, std::int32_t cookie, char* buffer, std::uint32_t* size)
{
    const std::shared_ptr<OrvCLDeviceGenCP> device = find(cookie);
    if (!device) {
        CLP_TRACE(kTraceError, "%s failed! CL_ERR_INVALID_COOKIE", "OrvCLProtocol::GetXMLIDs");
        return CL_ERR_INVALID_COOKIE;
    }
    const std::int32_t result = device->GetXMLIDs(serial, buffer, size);
    if (result != 0)
        CLP_TRACE(kTraceError, "%s failed! Error:%d", "OrvCLProtocol::GetXMLIDs", result);
    return result;
}

std::int32_t OrvCLProtocol::GetXMLDescription(CLSerialPort* serial, std::int32_t cookie, const char* xmlId,
                                              char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    const std::shared_ptr<OrvCLDeviceGenCP> device = find(cookie);
    if (!device) {
        CLP_TRACE(kTraceError, "%s failed! CL_ERR_INVALID_COOKIE", "OrvCLProtocol::GetXMLDescription");
        return CL_ERR_INVALID_COOKIE;
    }
    const std::int32_t result = device->GetXMLDescription(serial, xmlId, buffer, size, timeoutMs);
    if (result != 0 && result != CL_ERR_BUFFER_TOO_SMALL)
        CLP_TRACE(kTraceError, "%s failed! Error:%d", "OrvCLProtocol::GetXMLDescription", result);
    return result;
}

}  // namespace brenwick
