// The feature list behind a module handle, kept in the module's slot.
//
// A camera's device, remote-device and stream modules share one
// SimCameraFeatures (features, memory, settings and user sets of the camera).
// System and interface modules get one store per producer file and per
// interface, shared by every handle that opens them.
//
// Other parts of the simulator reach a camera's features through
// FeatureStore::ofCamera(camera) to bind values of their own, for example
//   FeatureStore::ofCamera(cam)->stream()->bindExternal("StreamLostFrameCount", {getter, {}, {}});
#ifndef FEATURESTORE_H
#define FEATURESTORE_H

#include "SimCameraFeatures.h"
#include "SimLibrary.h"

#include <memory>
#include <string>

namespace quillan {

class FeatureStore
{
public:
    std::shared_ptr<SimCameraFeatures> camera; // camera modules
    std::shared_ptr<SimFeatureStore> shared;   // system and interface modules
    SimFeatureStore* store = nullptr;          // the module's list; null: the module has none

    // The store of a resolved module, built on first use.
    static std::shared_ptr<FeatureStore> of(const SimModuleRef& ref);
    // The features of a camera, built on first use.
    static std::shared_ptr<SimCameraFeatures> ofCamera(const std::shared_ptr<SimCamera>& camera);
    // A module store by test-control address ("remote:GEV-G1-0001",
    // "system:orv_gev_tl.cti", "interface:gev-if-0"); null with a reason.
    static SimFeatureStore* byAddress(const std::string& address, std::string& reply,
                                      std::shared_ptr<SimCameraFeatures>* camera = nullptr);
    // Clears the injected faults of the system and interface stores.
    static void clearSharedFaults();
};

} // namespace quillan

#endif
