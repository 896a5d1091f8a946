// Device exports owned by the device lifecycle: record, stream count, close.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimLibrary.h"

using namespace quillan;

int OrvDeviceGetInfo(ORV_DEVICE_HANDLE device, ORV_DEVICE_INFO* info)
{
    SimCall call("OrvDeviceGetInfo", device);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(device, HandleKind::Device, &ref))
        return call.result(rc);
    if (!info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    SimLibrary::fillDeviceInfo(ref.camera, std::string(), 0, info);
    return call.result(ORV_SUCCESS);
}

int OrvDeviceGetNumStreams(ORV_DEVICE_HANDLE device, uint32_t* count)
{
    SimCall call("OrvDeviceGetNumStreams", device);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(device, HandleKind::Device, &ref))
        return call.result(rc);
    if (!count)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    *count = ref.camera->config().hasStream ? 1 : 0;
    return call.result(ORV_SUCCESS);
}

int OrvDeviceClose(ORV_DEVICE_HANDLE device)
{
    SimCall call("OrvDeviceClose", device);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLibrary::instance().closeDevice(device));
}
