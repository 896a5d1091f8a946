#ifndef ZELCAMERAINFO_H
#define ZELCAMERAINFO_H

#include "ZelSdkMetaTypes.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <cstddef>
#include <cstdint>

// Access status the viewer writes into the record of a camera it holds open.
constexpr int32_t ZEL_ACCESS_STATUS_ALREADY_OPENED = 0x1000;

// One discovered camera: the records of its system, interface and device,
// copied bytewise and carried by value in signals and window properties.
struct ZelCameraInfo {
    ORV_SYSTEM_HANDLE hSystem;
    ORV_TL_INFO tlInfo;
    ORV_INTERFACE_INFO interfaceInfo;
    int32_t reserved;
    ORV_DEVICE_INFO deviceInfo;

    // Interface ID, "/", device ID: the key of an open camera.
    QString cameraKey() const;

    // "Ready", "Read-Only", "Not Accessible", "Already Opened!" or "Unknown".
    static QString accessStatusText(int32_t accessStatus);
};

static_assert(offsetof(ZelCameraInfo, hSystem) == 0);
static_assert(offsetof(ZelCameraInfo, tlInfo) == 4);
static_assert(offsetof(ZelCameraInfo, interfaceInfo) == 4112);
static_assert(offsetof(ZelCameraInfo, reserved) == 7188);
static_assert(offsetof(ZelCameraInfo, deviceInfo) == 7192);
static_assert(sizeof(ZelCameraInfo) == 12840, "ZelCameraInfo is a fixed 12840-byte record");

typedef QList<ZelCameraInfo> ZelCameraInfoList;
typedef QList<ORV_INTERFACE_INFO> ZelInterfaceInfoList;
typedef QList<ORV_DEVICE_INFO> ZelDeviceInfoList;

Q_DECLARE_METATYPE(ZelCameraInfo)
// The two lists are meta types through Qt's declaration of QList.

#endif // ZELCAMERAINFO_H
