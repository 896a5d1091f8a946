#ifndef ZELUTILGENTL_H
#define ZELUTILGENTL_H

#include "ZelCameraInfo.h"

// The two SDK listings every discovery path ends in. Failed calls are
// traced; the lists only ever grow.
class ZelUtilGenTL
{
public:
    // Appends one record per interface of the system.
    static void DiscoverInterfaces(ORV_SYSTEM_HANDLE hSystem, ZelInterfaceInfoList* interfaces, int timeoutMs);

    // Appends one record per device behind the interface.
    static void DiscoverDevices(ORV_INTERFACE_HANDLE hInterface, ZelDeviceInfoList* devices, int timeoutMs);
};

#endif // ZELUTILGENTL_H
