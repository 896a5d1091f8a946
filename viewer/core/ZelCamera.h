#ifndef ZELCAMERA_H
#define ZELCAMERA_H

#include "OrvSdk.h"

#include <QMetaType>
#include <QObject>
#include <QString>

class ZelCameraDataStream;
class ZelFeatureManager;

// One open camera: its module handles and its first data stream. Created
// and owned by the camera manager that opened the device; its destructor
// closes the stream and the device.
class ZelCamera : public QObject
{
    Q_OBJECT

public:
    ZelCamera(const QString& interfaceId, const QString& deviceId, ORV_SYSTEM_HANDLE hSystem,
              ORV_INTERFACE_HANDLE hInterface, ORV_DEVICE_HANDLE hDevice, ORV_REMOTE_DEVICE_HANDLE hRemoteDevice,
              QObject* parent = nullptr);
    ~ZelCamera() override;

    // The device record as the SDK gives it now; all zero when it fails.
    ORV_DEVICE_INFO GetDeviceInfo() const;
    // "DeviceManufacturerInfo", else "ManufacturerInfo", as text; empty when
    // neither can be read.
    QString GetManufacturerInfo();
    bool LoadSettings(const QString& fileName);
    bool SaveSettings(const QString& fileName);

    QString deviceId;
    QString interfaceId;
    ORV_DEVICE_HANDLE deviceHandle = 0;
    ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle = 0;
    // One per module whose handle is not null; owned.
    ZelFeatureManager* remoteDeviceFeatures = nullptr;
    ZelFeatureManager* deviceFeatures = nullptr;
    ZelFeatureManager* interfaceFeatures = nullptr;
    ZelFeatureManager* systemFeatures = nullptr;
    ZelFeatureManager* streamFeatures = nullptr;
    // Null when the camera has no stream that opens; owned.
    ZelCameraDataStream* dataStream = nullptr;
    ORV_STREAM_HANDLE streamHandle = 0;

private:
    static ZelFeatureManager* featureManagerFor(ORV_MODULE_HANDLE module);
    void _openDataStream();
};

typedef ZelCamera* ZelCameraPtr;
Q_DECLARE_METATYPE(ZelCameraPtr)

#endif // ZELCAMERA_H
