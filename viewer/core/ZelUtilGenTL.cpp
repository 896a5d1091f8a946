#include "ZelUtilGenTL.h"

#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <cstring>

namespace {

// One listing: refresh the module's list, count it, then fetch the ID and
// the record of every entry. Failed steps are traced by the caller's
// functions; a failed entry is skipped.
template <typename Handle, typename Record, typename Listing>
void listRecords(Handle handle, QList<Record>* out, int timeoutMs, const Listing& listing)
{
    const char* const fn = listing.functionName;
    int rc = listing.update(handle, nullptr, uint32_t(timeoutMs));
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, listing.updateFailed, fn, rc);
        return;
    }
    uint32_t count = 0;
    rc = listing.count(handle, &count);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, listing.countFailed, fn, rc);
        return;
    }
    for (uint32_t index = 0; index < count; ++index) {
        char id[ORV_TEXT_SIZE] = {};
        size_t size = sizeof id;
        rc = listing.id(handle, index, id, &size);
        if (rc != ORV_SUCCESS) {
            listing.idFailed(fn, index, rc);
            continue;
        }
        id[sizeof id - 1] = '\0';
        Record info;
        std::memset(&info, 0, sizeof info);
        rc = listing.info(handle, id, &info);
        if (rc != ORV_SUCCESS) {
            listing.infoFailed(fn, id, rc);
            continue;
        }
        out->append(info);
    }
}

struct InterfaceListing {
    const char* functionName = "ZelUtilGenTL::DiscoverInterfaces";
    const char* updateFailed = "%s Failed! OrvSystemUpdateInterfaceList:%d";
    const char* countFailed = "%s Failed! OrvSystemGetNumInterfaces:%d";
    decltype(&OrvSystemUpdateInterfaceList) update = &OrvSystemUpdateInterfaceList;
    decltype(&OrvSystemGetNumInterfaces) count = &OrvSystemGetNumInterfaces;
    decltype(&OrvSystemGetInterfaceId) id = &OrvSystemGetInterfaceId;
    decltype(&OrvSystemInterfaceGetInfo) info = &OrvSystemInterfaceGetInfo;
    static void idFailed(const char* fn, uint32_t, int rc)
    {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemGetInterfaceId:%d", fn, rc);
    }
    static void infoFailed(const char* fn, const char* id, int rc)
    {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemInterfaceGetInfo[%s]:%d", fn, id, rc);
    }
};

struct DeviceListing {
    const char* functionName = "ZelUtilGenTL::DiscoverDevices";
    const char* updateFailed = "%s Failed! OrvInterfaceUpdateDeviceList:%d";
    const char* countFailed = "%s Failed! OrvInterfaceGetNumDevices:%d";
    decltype(&OrvInterfaceUpdateDeviceList) update = &OrvInterfaceUpdateDeviceList;
    decltype(&OrvInterfaceGetNumDevices) count = &OrvInterfaceGetNumDevices;
    decltype(&OrvInterfaceGetDeviceId) id = &OrvInterfaceGetDeviceId;
    decltype(&OrvInterfaceDeviceGetInfo) info = &OrvInterfaceDeviceGetInfo;
    static void idFailed(const char* fn, uint32_t index, int rc)
    {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceGetDeviceId[%d]:%d", fn, int(index), rc);
    }
    static void infoFailed(const char* fn, const char*, int rc)
    {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceDeviceGetInfo:%d", fn, rc);
    }
};

} // namespace

void ZelUtilGenTL::DiscoverInterfaces(ORV_SYSTEM_HANDLE hSystem, ZelInterfaceInfoList* interfaces, int timeoutMs)
{
    if (interfaces)
        listRecords(hSystem, interfaces, timeoutMs, InterfaceListing());
}

void ZelUtilGenTL::DiscoverDevices(ORV_INTERFACE_HANDLE hInterface, ZelDeviceInfoList* devices, int timeoutMs)
{
    if (devices)
        listRecords(hInterface, devices, timeoutMs, DeviceListing());
}
