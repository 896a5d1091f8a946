// The driver's registry of probed devices and the work behind the probing
// and XML exports.
#pragma once

#include "OrvCLDeviceGenCP.h"

#include <map>
#include <memory>
#include <mutex>

namespace brenwick {

class OrvCLProtocol {
public:
    static OrvCLProtocol& instance();

    // The device stays alive while the caller holds it, even when another
    // thread disconnects its cookie meanwhile.
    std::shared_ptr<OrvCLDeviceGenCP> find(std::int32_t cookie);
    // Gives the device the next cookie and registers it, in one step.
    std::int32_t add(const std::shared_ptr<OrvCLDeviceGenCP>& device);
    void remove(std::int32_t cookie);

    std::int32_t ProbeDevice(CLSerialPort* serial, const char* deviceTemplate, char* deviceId, std::uint32_t* size,
                             std::int32_t* cookie, std::uint32_t timeoutMs);
    std::int32_t GetXMLIDs(CLSerialPort* serial, std::int32_t cookie, char* buffer, std::uint32_t* size);
    std::int32_t GetXMLDescription(CLSerialPort* serial, std::int32_t cookie, const char* xmlId, char* buffer,
                                   std::uint32_t* size, std::uint32_t timeoutMs);

private:
    std::mutex m_lock;
    std::map<std::int32_t, std::shared_ptr<OrvCLDeviceGenCP>> m_devices;
    std::int32_t m_nextCookie = 1;
};

}  // namespace brenwick
