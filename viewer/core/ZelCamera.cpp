#include "ZelCamera.h"

#include "ZelCameraDataStream.h"
#include "ZelFeatureManager.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <QFile>
#include <QVariant>

#include <cstring>

ZelCamera::ZelCamera(const QString& interfaceId_, const QString& deviceId_, ORV_SYSTEM_HANDLE hSystem,
                     ORV_INTERFACE_HANDLE hInterface, ORV_DEVICE_HANDLE hDevice,
                     ORV_REMOTE_DEVICE_HANDLE hRemoteDevice, QObject* parent)
    : QObject(parent)
    , deviceId(deviceId_)
    , interfaceId(interfaceId_)
    , deviceHandle(hDevice)
    , remoteDeviceHandle(hRemoteDevice)
{
    setProperty("ID", deviceId);
    setProperty("HANDLE", QVariant::fromValue(reinterpret_cast<void*>(quintptr(deviceHandle))));
    remoteDeviceFeatures = featureManagerFor(remoteDeviceHandle);
    deviceFeatures = featureManagerFor(deviceHandle);
    interfaceFeatures = featureManagerFor(hInterface);
    systemFeatures = featureManagerFor(hSystem);
    _openDataStream();
}

ZelCamera::~ZelCamera()
{
    delete dataStream; // stops a running stream and closes it
    delete streamFeatures;
    delete remoteDeviceFeatures;
    delete deviceFeatures;
    delete interfaceFeatures;
    delete systemFeatures;
    OrvDeviceClose(deviceHandle);
}

ZelFeatureManager* ZelCamera::featureManagerFor(ORV_MODULE_HANDLE module)
{
    return module != 0 ? new ZelFeatureManager(module) : nullptr;
}

QString ZelCamera::GetManufacturerInfo()
{
    if (!remoteDeviceFeatures)
        return QString();
    QVariant value;
    if (!remoteDeviceFeatures->GetValue("DeviceManufacturerInfo", value)
        && !remoteDeviceFeatures->GetValue("ManufacturerInfo", value))
        return QString();
    return value.toString();
}

void ZelCamera::_openDataStream()
{
    static const char* const fn = "ZelCamera::_openDataStream";
    char id[ORV_TEXT_SIZE] = {};
    size_t size = sizeof id;
    int rc = OrvDeviceGetStreamId(deviceHandle, 0, id, &size);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvDeviceGetStreamId:%d", fn, rc);
        return;
    }
    id[sizeof id - 1] = '\0';
    ORV_STREAM_HANDLE stream = 0;
    rc = OrvDeviceStreamOpen(deviceHandle, id, &stream);
    if (rc != ORV_SUCCESS || stream == 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvDeviceStreamOpen[%s]:%d", fn, id, rc);
        return;
    }
    streamHandle = stream;
    streamFeatures = featureManagerFor(streamHandle);
    dataStream = new ZelCameraDataStream(remoteDeviceHandle, streamHandle);
}

ORV_DEVICE_INFO ZelCamera::GetDeviceInfo() const
{
    ORV_DEVICE_INFO info;
    std::memset(&info, 0, sizeof info);
    if (OrvDeviceGetInfo(deviceHandle, &info) != ORV_SUCCESS)
        std::memset(&info, 0, sizeof info);
    return info;
}

namespace {

// One settings-file call of the SDK on the device, traced when it fails.
bool settingsFileCall(int (*call)(ORV_DEVICE_HANDLE, const char*), ORV_DEVICE_HANDLE device,
                      const QString& fileName, const char* function, const char* format)
{
    const int rc = call(device, QFile::encodeName(fileName).constData());
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, format, function, rc);
    return rc == ORV_SUCCESS;
}

} // namespace

bool ZelCamera::LoadSettings(const QString& fileName)
{
    return settingsFileCall(&OrvDeviceLoadSettings, deviceHandle, fileName, "ZelCamera::LoadSettings",
                            "%s Failed! OrvDeviceLoadSettings:%d");
}

bool ZelCamera::SaveSettings(const QString& fileName)
{
    return settingsFileCall(&OrvDeviceSaveSettings, deviceHandle, fileName, "ZelCamera::SaveSettings",
                            "%s Failed! OrvDeviceSaveSettings:%d");
}
