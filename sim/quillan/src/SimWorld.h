// The simulated world: producer files, their interfaces and the cameras
// behind them. One per process; it outlives OrvLibClose/OrvLibInit, so
// camera state survives an SDK reload. reset() rebuilds it.
//
// Producers are known by file name: every system whose producer file has a
// known name shows that producer's interfaces and cameras; an unknown name
// becomes a producer without interfaces.
#ifndef SIMWORLD_H
#define SIMWORLD_H

#include "SimCamera.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

struct SimInterfaceDesc {
    std::string id;          // "gev-if-0"
    std::string displayName; // "GigE adapter 0 (192.168.1.10)"
    std::string tlType;
    std::string ipAddress;   // GigE: adapter address, dotted
    std::string subnetMask;  // GigE: adapter mask, dotted
    std::string gateway;
    // GigE: the subnet text of the interface record; empty otherwise.
    std::string subnetText() const;
};

struct SimProducerDesc {
    std::string fileName;
    std::string vendor;
    std::string model;
    std::string tlType;
    std::string version = "2.5.15";
    std::vector<SimInterfaceDesc> interfaces;
    // Camera Link ports: device lists fill only by probing.
    bool probed() const { return tlType == "CL" || tlType == "CLHS"; }
};

// A world: its producers and the descriptions of its cameras.
struct SimWorldDescription {
    std::vector<SimProducerDesc> producers;
    std::vector<SimCameraConfig> cameras;
};

class SimWorld {
public:
    static SimWorld& instance();

    // Rebuilds the world of the process start: the file named by
    // QUILLAN_SIM_WORLD, or the built-in one. Cameras become new objects;
    // open handles of the old ones keep working on them until closed.
    void reset();
    // Replaces the world by a world file; false with the reason when the
    // file cannot be used (the world then stays as it was).
    bool load(const std::string& path, std::string* error);
    static SimWorldDescription builtInWorld();
    // Rebuilds the world with a scenario variant: "default",
    // "duplicate-camera" (G1 also on gev-if-1) or "duplicate-serial" (a
    // second camera with G1's model and serial). False for an unknown name.
    bool setScenario(const std::string& name);
    std::string scenario() const;

    // The producer of that file name; unknown names give the unknown producer.
    SimProducerDesc producer(const std::string& fileName) const;
    bool findInterface(const std::string& fileName, const std::string& interfaceId,
                       SimInterfaceDesc* out) const;
    // Interface hot-plug.
    bool addInterface(const std::string& fileName, const SimInterfaceDesc& desc);
    bool removeInterface(const std::string& fileName, const std::string& interfaceId);

    std::vector<std::shared_ptr<SimCamera>> cameras() const;
    // Cameras currently on that interface of that producer, present or not.
    std::vector<std::shared_ptr<SimCamera>> camerasOn(const std::string& fileName,
                                                      const std::string& interfaceId) const;
    // By device ID (exact, then ignoring case) or by profile key ("G1").
    std::shared_ptr<SimCamera> findCamera(const std::string& idOrKey) const;

    // Access status a listing reports for the camera: the configured one, or
    // 3 when a GigE camera's address lies outside its interface's subnet.
    int32_t listedStatus(const std::shared_ptr<SimCamera>& camera) const;

    // Connection changes; each sends its notification (SimHooks).
    void unplug(const std::shared_ptr<SimCamera>& camera);
    void replug(const std::shared_ptr<SimCamera>& camera);
    // Device reset: disconnect after the camera's reset delays, then return
    // with its power-up state.
    void scheduleReset(const std::shared_ptr<SimCamera>& camera);

    // GigE address state shared between processes (QUILLAN_SIM_STATE): one
    // line per GigE camera with its current and persistent configuration.
    // load applies what the file holds; a missing file changes nothing.
    bool loadIpState(const std::string& path);
    bool saveIpState(const std::string& path) const;
    // The file named by QUILLAN_SIM_STATE, or empty.
    static std::string ipStatePath();
    // Applies the QUILLAN_SIM_STATE file when it differs from the one last
    // applied (another process wrote it), or always; true when it was read.
    bool refreshIpState(bool always = false);

private:
    SimWorld();
    void buildLocked();

    mutable std::mutex mutex_;
    std::string scenario_ = "default";
    SimWorldDescription startWorld_;
    SimWorldDescription world_;
    std::vector<SimProducerDesc> producers_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
    // Identity of the state file last applied: inode, size, change time.
    std::mutex stateMutex_;
    std::string stateStamp_;
};

} // namespace quillan

#endif // SIMWORLD_H
