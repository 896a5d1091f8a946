#include "SimCamera.h"

#include "SimText.h"

namespace quillan {

SimCamera::SimCamera(SimCameraConfig config)
    : config_(std::move(config)),
      deviceId_(config_.deviceId),
      interfaceId_(config_.interfaceId),
      status_(config_.status),
      ip_(config_.ipAddress),
      mask_(config_.subnetMask),
      gateway_(config_.gateway),
      subnetOverride_(config_.subnetOverride),
      probeTimeMs_(config_.probeTimeMs),
      latencyMs_(config_.latencyMs),
      firmwareVersion_(config_.version)
{
}

void SimCamera::createModules()
{
    auto self = shared_from_this();
    deviceModule_ = std::make_shared<SimModule>(HandleKind::Device, std::string());
    remoteModule_ = std::make_shared<SimModule>(HandleKind::RemoteDevice, std::string());
    streamModule_ = std::make_shared<SimModule>(HandleKind::Stream, std::string());
    deviceModule_->camera = self;
    remoteModule_->camera = self;
    streamModule_->camera = self;
}

#define QUILLAN_LOCKED_GET(type, name, member) \
    type SimCamera::name() const                \
    {                                           \
        std::lock_guard<std::mutex> lock(mutex_); \
        return member;                          \
    }
#define QUILLAN_LOCKED_SET(type, name, member)  \
    void SimCamera::name(type value)            \
    {                                           \
        std::lock_guard<std::mutex> lock(mutex_); \
        member = value;                         \
    }

QUILLAN_LOCKED_GET(std::string, deviceId, deviceId_)
QUILLAN_LOCKED_SET(const std::string&, setDeviceId, deviceId_)
QUILLAN_LOCKED_GET(std::string, interfaceId, interfaceId_)
QUILLAN_LOCKED_SET(const std::string&, setInterfaceId, interfaceId_)
QUILLAN_LOCKED_GET(int32_t, status, status_)
QUILLAN_LOCKED_SET(int32_t, setStatus, status_)
QUILLAN_LOCKED_GET(std::string, ipAddress, ip_)
QUILLAN_LOCKED_GET(std::string, subnetMask, mask_)
QUILLAN_LOCKED_GET(std::string, gateway, gateway_)
QUILLAN_LOCKED_SET(const std::string&, setGateway, gateway_)
QUILLAN_LOCKED_GET(SimCamera::PersistentIp, persistentIp, persistent_)
QUILLAN_LOCKED_SET(const PersistentIp&, setPersistentIp, persistent_)
QUILLAN_LOCKED_GET(std::string, subnetOverride, subnetOverride_)
QUILLAN_LOCKED_SET(const std::string&, setSubnetOverride, subnetOverride_)
QUILLAN_LOCKED_GET(uint32_t, probeTimeMs, probeTimeMs_)
QUILLAN_LOCKED_SET(uint32_t, setProbeTimeMs, probeTimeMs_)
QUILLAN_LOCKED_GET(uint32_t, latencyMs, latencyMs_)
QUILLAN_LOCKED_SET(uint32_t, setLatencyMs, latencyMs_)
QUILLAN_LOCKED_GET(std::string, firmwareVersion, firmwareVersion_)
QUILLAN_LOCKED_SET(const std::string&, setFirmwareVersion, firmwareVersion_)
QUILLAN_LOCKED_GET(bool, present, present_)
QUILLAN_LOCKED_GET(bool, connected, connected_)
QUILLAN_LOCKED_GET(uint32_t, openHandle, openHandle_)
QUILLAN_LOCKED_GET(std::string, openSystemPath, openSystemPath_)
QUILLAN_LOCKED_GET(bool, readOnlyOpen, readOnlyOpen_)
QUILLAN_LOCKED_SET(bool, setReadOnlyOpen, readOnlyOpen_)
QUILLAN_LOCKED_GET(uint32_t, resetDisconnectMs, resetDisconnectMs_)
QUILLAN_LOCKED_GET(uint32_t, resetReturnMs, resetReturnMs_)

#undef QUILLAN_LOCKED_GET
#undef QUILLAN_LOCKED_SET

void SimCamera::setIp(const std::string& ip, const std::string& mask)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ip_ = ip;
    mask_ = mask;
}

void SimCamera::setConnection(bool present, bool connected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    present_ = present;
    connected_ = connected;
}

bool SimCamera::claim(uint32_t deviceHandle, const std::string& systemPath)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (openHandle_ != 0)
        return false;
    openHandle_ = deviceHandle;
    openSystemPath_ = systemPath;
    return true;
}

void SimCamera::release(uint32_t deviceHandle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (openHandle_ == deviceHandle) {
        openHandle_ = 0;
        openSystemPath_.clear();
        readOnlyOpen_ = false;
    }
}

void SimCamera::setResetTiming(uint32_t disconnectMs, uint32_t returnMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    resetDisconnectMs_ = disconnectMs;
    resetReturnMs_ = returnMs;
}

std::string SimCamera::subnetText() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!subnetOverride_.empty())
        return subnetOverride_;
    if (config_.tlType != "GEV")
        return std::string();
    uint32_t ip = 0, mask = 0;
    if (!parseIpv4(ip_, &ip) || !parseIpv4(mask_, &mask))
        return std::string();
    return formatIpv4(ip & mask);
}

} // namespace quillan
