#include "SimModule.h"

#include "SimCamera.h"

namespace quillan {

std::string SimModule::address() const
{
    std::string name = name_;
    if (auto cam = camera.lock())
        name = cam->deviceId();
    return std::string(handleKindName(kind)) + ":" + name;
}

} // namespace quillan
