// Notifications between the parts of the simulator.
//
// Register from a static initializer of your own file, for example
//   static const bool hooked = (SimHooks::instance().onDeviceClosing(&stopStreams), true);
// Notifications run on the thread that caused them, after the sender has
// released its own locks; a handler may call back into the SDK. Handlers stay
// registered for the life of the process.
#ifndef SIMHOOKS_H
#define SIMHOOKS_H

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quillan {

class SimCamera;

// Connection states of a camera as the device-connection event carries them.
enum ConnectionState : uint32_t {
    ConnectionDisconnected = 0, // unplugged
    ConnectionConnected = 1,
    ConnectionReconnected = 2,  // replugged, or back after a reset
    ConnectionLost = 3,         // reset or heartbeat loss
};

class SimHooks {
public:
    using CameraFn = std::function<void(const std::shared_ptr<SimCamera>&)>;
    using DeviceFn = std::function<void(const std::shared_ptr<SimCamera>&, uint32_t deviceHandle)>;
    using ConnectionFn = std::function<void(const std::shared_ptr<SimCamera>&, uint32_t state)>;
    using PlainFn = std::function<void()>;

    static SimHooks& instance();

    // A device handle was opened (the remote handle exists too).
    void onDeviceOpened(DeviceFn fn);
    // A device handle is about to close (OrvDeviceClose, OrvSystemClose,
    // OrvLibClose): stop streams, end waits, drop registrations. Its handles
    // are still live during the call and removed right after.
    void onDeviceClosing(DeviceFn fn);
    // The camera's connection changed (ConnectionState). Sent while the
    // camera may be open or closed.
    void onConnection(ConnectionFn fn);
    // A camera returns from a device reset: restore its power-up state
    // (user set default, firmware version). Sent before ConnectionReconnected.
    void onPowerUp(CameraFn fn);
    // OrvLibClose is closing everything; sent before the handles go. Blocked
    // waits must end with -1012.
    void onLibraryClosing(PlainFn fn);
    // The world was rebuilt: cameras are new objects; drop global caches.
    void onWorldReset(PlainFn fn);

    void deviceOpened(const std::shared_ptr<SimCamera>& camera, uint32_t deviceHandle);
    void deviceClosing(const std::shared_ptr<SimCamera>& camera, uint32_t deviceHandle);
    void connection(const std::shared_ptr<SimCamera>& camera, uint32_t state);
    void powerUp(const std::shared_ptr<SimCamera>& camera);
    void libraryClosing();
    void worldReset();

private:
    template <class Fn>
    std::vector<Fn> copy(const std::vector<Fn>& list)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return list;
    }

    std::mutex mutex_;
    std::vector<DeviceFn> opened_;
    std::vector<DeviceFn> closing_;
    std::vector<ConnectionFn> connection_;
    std::vector<CameraFn> powerUp_;
    std::vector<PlainFn> libraryClosing_;
    std::vector<PlainFn> worldReset_;
};

} // namespace quillan

#endif // SIMHOOKS_H
