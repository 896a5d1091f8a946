#include "ZelUtilGenTL.h"

#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <cstring>

void ZelUtilGenTL::DiscoverInterfaces(ORV_SYSTEM_HANDLE hSystem, ZelInterfaceInfoList* interfaces, int timeoutMs)
{
    static const char* const fn = "ZelUtilGenTL::DiscoverInterfaces";
    if (!interfaces)
        return;
    int rc = OrvSystemUpdateInterfaceList(hSystem, nullptr, uint32_t(timeoutMs));
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemUpdateInterfaceList:%d", fn, rc);
        return;
    }
    uint32_t count = 0;
    rc = OrvSystemGetNumInterfaces(hSystem, &count);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemGetNumInterfaces:%d", fn, rc);
        return;
    }
    for (uint32_t index = 0; index < count; ++index) {
        char id[ORV_TEXT_SIZE] = {};
        size_t size = sizeof id;
        rc = OrvSystemGetInterfaceId(hSystem, index, id, &size);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemGetInterfaceId:%d", fn, rc);
            continue;
        }
        id[sizeof id - 1] = '\0';
        ORV_INTERFACE_INFO info;
        std::memset(&info, 0, sizeof info);
        rc = OrvSystemInterfaceGetInfo(hSystem, id, &info);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemInterfaceGetInfo[%s]:%d", fn, id, rc);
            continue;
        }
        interfaces->append(info);
    }
}

void ZelUtilGenTL::DiscoverDevices(ORV_INTERFACE_HANDLE hInterface, ZelDeviceInfoList* devices, int timeoutMs)
{
    static const char* const fn = "ZelUtilGenTL::DiscoverDevices";
    if (!devices)
        return;
    int rc = OrvInterfaceUpdateDeviceList(hInterface, nullptr, uint32_t(timeoutMs));
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceUpdateDeviceList:%d", fn, rc);
        return;
    }
    uint32_t count = 0;
    rc = OrvInterfaceGetNumDevices(hInterface, &count);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceGetNumDevices:%d", fn, rc);
        return;
    }
    for (uint32_t index = 0; index < count; ++index) {
        char id[ORV_TEXT_SIZE] = {};
        size_t size = sizeof id;
        rc = OrvInterfaceGetDeviceId(hInterface, index, id, &size);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceGetDeviceId[%d]:%d", fn, int(index), rc);
            continue;
        }
        id[sizeof id - 1] = '\0';
        ORV_DEVICE_INFO info;
        std::memset(&info, 0, sizeof info);
        rc = OrvInterfaceDeviceGetInfo(hInterface, id, &info);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceDeviceGetInfo:%d", fn, rc);
            continue;
        }
        devices->append(info);
    }
}
