// Library state of the simulated SDK: initialisation, the system list found
// on the producer search path, the objects behind system and interface
// handles, and opening and closing devices.
//
// For the other parts of the simulator the entry points are resolveModule()
// (what a module handle stands for, with the -1002 / -1013 checks) and the
// notifications of SimHooks.
#ifndef SIMLIBRARY_H
#define SIMLIBRARY_H

#include "OrvSdk.h"
#include "SimHandles.h"
#include "SimModule.h"
#include "SimWorld.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

// One producer file found by OrvLibInit.
struct SimSystemEntry {
    uint32_t index = 0;
    std::string fileName;
    std::string folder;
    std::string fullPath; // folder + "/" + file name
};

// Object of a system handle. Each OrvLibSystemOpen makes its own.
class SimSystem : public SimModule {
public:
    explicit SimSystem(SimSystemEntry entry)
        : SimModule(HandleKind::System, entry.fileName), entry(std::move(entry)) {}
    const SimSystemEntry entry;

    std::mutex mutex;
    std::vector<std::string> interfaceIds;  // after the last update
    std::vector<std::pair<std::string, uint32_t>> openInterfaces;
};

// Object of an interface handle, owned by its system handle.
class SimInterface : public SimModule {
public:
    SimInterface(uint32_t systemHandle, SimSystemEntry system, SimInterfaceDesc desc)
        : SimModule(HandleKind::Interface, desc.id), systemHandle(systemHandle),
          system(std::move(system)), desc(std::move(desc)) {}
    const uint32_t systemHandle;
    const SimSystemEntry system;
    const SimInterfaceDesc desc;

    std::mutex mutex;
    std::vector<std::weak_ptr<SimCamera>> devices; // after the last update
};

// What a module handle stands for.
struct SimModuleRef {
    HandleKind kind = HandleKind::System;
    std::shared_ptr<SimModule> module;
    std::shared_ptr<SimCamera> camera;  // device, remote-device and stream modules
};

// Resolves a live module handle of any module kind. Returns 0, -1015 when the
// library is not initialised, -1002 for 0, a stale handle or a handle that is
// no module, -1013 when its camera is disconnected.
int resolveModule(uint32_t handle, SimModuleRef* ref);
// The same, accepting only one kind (-1002 for the others).
int resolveModule(uint32_t handle, HandleKind kind, SimModuleRef* ref);

class SimLibrary {
public:
    static SimLibrary& instance();

    struct InitArgs {
        std::string searchPath;
        std::string genicamRoot;
        std::string genicamCache;
        std::string clProtocol;
    };

    int init(const InitArgs& args);
    int close();
    bool initialised() const;
    InitArgs lastInit() const;

    std::vector<SimSystemEntry> systems() const;
    bool system(uint32_t index, SimSystemEntry* entry) const;

    // Records as the SDK fills them.
    static void fillTlInfo(const SimSystemEntry& entry, ORV_TL_INFO* info);
    static void fillInterfaceInfo(const SimInterfaceDesc& desc, uint32_t index, ORV_INTERFACE_INFO* info);
    // Device record as listed through the system of systemPath ("" for the
    // record of an open device).
    static void fillDeviceInfo(const std::shared_ptr<SimCamera>& camera, const std::string& systemPath,
                               uint32_t index, ORV_DEVICE_INFO* info);
    // Access status reported through the system of systemPath: the world's,
    // or 3 when another system holds the camera open.
    static int32_t statusThrough(const std::shared_ptr<SimCamera>& camera, const std::string& systemPath);

    int openSystem(uint32_t index, ORV_SYSTEM_HANDLE* handle);
    int closeSystem(ORV_SYSTEM_HANDLE handle);
    int openDevice(ORV_INTERFACE_HANDLE iface, const std::string& deviceId, uint32_t accessMode,
                   ORV_DEVICE_HANDLE* device, ORV_REMOTE_DEVICE_HANDLE* remote);
    int closeDevice(ORV_DEVICE_HANDLE device);

    // Position of an interface within its producer, or -1; fills desc.
    static int interfaceIndex(const std::string& fileName, const std::string& interfaceId, SimInterfaceDesc* desc);

    // Producer files of a ";"-separated search path, in system order.
    static std::vector<SimSystemEntry> scan(const std::string& searchPath);

private:
    mutable std::mutex mutex_;
    bool initialised_ = false;
    InitArgs lastInit_;
    std::vector<SimSystemEntry> systems_;
};

} // namespace quillan

#endif // SIMLIBRARY_H
