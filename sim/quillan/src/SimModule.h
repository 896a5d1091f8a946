// Module objects: what a system, interface, device, remote-device or stream
// handle stands for.
//
// Every module carries a feature-store slot that the feature code fills on
// first use (guard it with slotMutex). The device, remote-device and stream
// modules of a camera belong to the camera (SimCamera) and keep their state
// across closing and reopening; system and interface modules belong to one
// open system handle.
#ifndef SIMMODULE_H
#define SIMMODULE_H

#include "SimHandles.h"

#include <memory>
#include <mutex>
#include <string>

namespace quillan {

class FeatureStore; // defined by the feature code
class SimCamera;

class SimModule {
public:
    // name: the producer file name or interface ID; camera modules take the
    // camera's current device ID instead.
    SimModule(HandleKind kind, std::string name) : kind(kind), name_(std::move(name)) {}
    virtual ~SimModule() = default;
    SimModule(const SimModule&) = delete;
    SimModule& operator=(const SimModule&) = delete;

    const HandleKind kind;
    // Test-control address: "system:<file>", "interface:<id>", "device:<id>",
    // "remote:<id>", "stream:<id>".
    std::string address() const;

    // The camera of a device, remote-device or stream module; empty for
    // system and interface modules.
    std::weak_ptr<SimCamera> camera;

    // Slot of the feature code; set and read under slotMutex.
    std::mutex slotMutex;
    std::shared_ptr<FeatureStore> features;

    // Returns the slot, creating it with make() on first use.
    template <class Make>
    std::shared_ptr<FeatureStore> featureStore(Make make)
    {
        std::lock_guard<std::mutex> lock(slotMutex);
        if (!features)
            features = make();
        return features;
    }

private:
    const std::string name_;
};

} // namespace quillan

#endif // SIMMODULE_H
