#include "SimHooks.h"

namespace quillan {

SimHooks& SimHooks::instance()
{
    static SimHooks hooks;
    return hooks;
}

#define QUILLAN_HOOK_ADD(method, type, list)       \
    void SimHooks::method(type fn)                  \
    {                                               \
        std::lock_guard<std::mutex> lock(mutex_);   \
        list.push_back(std::move(fn));              \
    }
QUILLAN_HOOK_ADD(onDeviceOpened, DeviceFn, opened_)
QUILLAN_HOOK_ADD(onDeviceClosing, DeviceFn, closing_)
QUILLAN_HOOK_ADD(onConnection, ConnectionFn, connection_)
QUILLAN_HOOK_ADD(onPowerUp, CameraFn, powerUp_)
QUILLAN_HOOK_ADD(onLibraryClosing, PlainFn, libraryClosing_)
QUILLAN_HOOK_ADD(onWorldReset, PlainFn, worldReset_)
#undef QUILLAN_HOOK_ADD

void SimHooks::deviceOpened(const std::shared_ptr<SimCamera>& camera, uint32_t deviceHandle)
{
    for (auto& fn : copy(opened_))
        fn(camera, deviceHandle);
}

void SimHooks::deviceClosing(const std::shared_ptr<SimCamera>& camera, uint32_t deviceHandle)
{
    for (auto& fn : copy(closing_))
        fn(camera, deviceHandle);
}

void SimHooks::connection(const std::shared_ptr<SimCamera>& camera, uint32_t state)
{
    for (auto& fn : copy(connection_))
        fn(camera, state);
}

void SimHooks::powerUp(const std::shared_ptr<SimCamera>& camera)
{
    for (auto& fn : copy(powerUp_))
        fn(camera);
}

void SimHooks::libraryClosing()
{
    for (auto& fn : copy(libraryClosing_))
        fn();
}

void SimHooks::worldReset()
{
    for (auto& fn : copy(worldReset_))
        fn();
}

} // namespace quillan
