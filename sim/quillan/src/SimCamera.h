// One simulated camera of the world.
//
// The description (SimCameraConfig) is fixed when the world is built; the
// runtime state (current ID, interface, status, address, connection, who
// holds it open) changes through the SDK and the test controls and survives
// closing the camera and reloading the library. Only a world reset makes
// new cameras.
//
// Slots for the other parts of the simulator: the device, remote-device and
// stream modules (each with its feature-store slot) and the per-camera state
// of streams, events and device files. Fill a slot lazily with ensure().
#ifndef SIMCAMERA_H
#define SIMCAMERA_H

#include "SimModule.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

class StreamState;  // defined by the stream code
class EventState;   // defined by the event code
class FileStore;    // defined by the device-file code

struct SimCameraConfig {
    std::string key;            // profile name of the features: "G1", "U2", ...
    std::string deviceId;       // "GEV-G1-0001"
    std::string producerFile;   // "orv_gev_tl.cti"
    std::string interfaceId;    // "gev-if-0"
    std::string vendor;         // device-record vendor
    std::string model;
    std::string serialNumber;
    std::string version = "3.2.1";
    std::string tlType;         // "GEV", "U3V", "CL", "CLHS", "CXP", "PCIx"
    int32_t status = 1;
    uint32_t width = 640;
    uint32_t height = 480;
    std::vector<std::string> pixelFormats; // entry names, first is the default
    bool hasStream = true;
    bool bigEndianMemory = true;
    std::vector<int32_t> eventTypes;       // accepted event types
    uint32_t probeTimeMs = 0;              // Camera Link: time a probe takes
    uint32_t latencyMs = 20;               // answer time to a device-list update
    // GigE: current address, mask, gateway as dotted text; MAC as 48 bits.
    std::string ipAddress;
    std::string subnetMask;
    std::string gateway;
    uint64_t mac = 0;
    // Forces a subnet text in the device record (empty: computed).
    std::string subnetOverride;
};

class SimCamera : public std::enable_shared_from_this<SimCamera> {
public:
    explicit SimCamera(SimCameraConfig config);

    // Builds the three modules; called once right after construction.
    void createModules();

    const SimCameraConfig& config() const { return config_; }
    const std::string& key() const { return config_.key; }

    // Runtime state; every accessor locks the camera.
    std::string deviceId() const;
    void setDeviceId(const std::string& id);
    std::string interfaceId() const;
    void setInterfaceId(const std::string& id);
    int32_t status() const;
    void setStatus(int32_t status);
    std::string ipAddress() const;
    std::string subnetMask() const;
    void setIp(const std::string& ip, const std::string& mask);
    std::string gateway() const;
    void setGateway(const std::string& gateway);

    // GigE persistent configuration and flags (bit 0 persistent IP, bit 1
    // DHCP, bit 2 link-local, which stays set).
    struct PersistentIp {
        uint32_t flags = 4;
        uint32_t ip = 0;
        uint32_t mask = 0;
        uint32_t gateway = 0;
    };
    PersistentIp persistentIp() const;
    void setPersistentIp(const PersistentIp& config);
    std::string subnetOverride() const;
    void setSubnetOverride(const std::string& subnet);
    uint32_t probeTimeMs() const;
    void setProbeTimeMs(uint32_t ms);
    uint32_t latencyMs() const;
    void setLatencyMs(uint32_t ms);
    std::string firmwareVersion() const;  // version the device record reports
    void setFirmwareVersion(const std::string& version);

    // Present in the lists (false while unplugged or between a reset and its return).
    bool present() const;
    // Handles work (false: every call on its handles fails with -1013).
    bool connected() const;
    void setConnection(bool present, bool connected);

    // The device handle that holds the camera open through this library (0: none).
    uint32_t openHandle() const;
    // Claims the camera for a device handle opened through the system of
    // systemPath; false when already held.
    bool claim(uint32_t deviceHandle, const std::string& systemPath);
    std::string openSystemPath() const;
    void release(uint32_t deviceHandle);
    bool readOnlyOpen() const;
    void setReadOnlyOpen(bool readOnly);

    // Device reset timing, milliseconds after the command.
    uint32_t resetDisconnectMs() const;
    uint32_t resetReturnMs() const;
    void setResetTiming(uint32_t disconnectMs, uint32_t returnMs);

    // Modules; the same objects for the whole life of the camera.
    std::shared_ptr<SimModule> deviceModule() const { return deviceModule_; }
    std::shared_ptr<SimModule> remoteModule() const { return remoteModule_; }
    std::shared_ptr<SimModule> streamModule() const { return streamModule_; }

    // Slots of the stream, event and file code.
    std::shared_ptr<StreamState> streamState;
    std::shared_ptr<EventState> eventState;
    std::shared_ptr<FileStore> fileStore;

    // Returns slot, creating it with make() on first use, under the camera's slot lock.
    template <class T, class Make>
    std::shared_ptr<T> ensure(std::shared_ptr<T>& slot, Make make)
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        if (!slot)
            slot = make();
        return slot;
    }

    // The dotted subnet of the device record: the override, or the network of
    // the current address under its mask; empty for non-GigE cameras.
    std::string subnetText() const;

private:
    const SimCameraConfig config_;
    mutable std::mutex mutex_;
    std::mutex slotMutex_;
    std::string deviceId_;
    std::string interfaceId_;
    int32_t status_;
    std::string ip_;
    std::string mask_;
    std::string gateway_;
    PersistentIp persistent_;
    std::string subnetOverride_;
    uint32_t probeTimeMs_;
    uint32_t latencyMs_;
    std::string firmwareVersion_;
    bool present_ = true;
    bool connected_ = true;
    uint32_t openHandle_ = 0;
    std::string openSystemPath_;
    bool readOnlyOpen_ = false;
    uint32_t resetDisconnectMs_ = 1000;
    uint32_t resetReturnMs_ = 3000;
    std::shared_ptr<SimModule> deviceModule_;
    std::shared_ptr<SimModule> remoteModule_;
    std::shared_ptr<SimModule> streamModule_;
};

} // namespace quillan

#endif // SIMCAMERA_H
