#include "ZelCameraManager.h"

#include "ZelCamera.h"
#include "ZelDiscoveryThread.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"
#include "ZelUtil.h"
#include "ZelUtilGenTL.h"

#include <QCoreApplication>

#include <cstring>

ZelCameraManager::ZelCameraManager(int tlIndex, QObject* parent)
    : QObject(parent)
{
    std::memset(&tlInfo, 0, sizeof tlInfo);
    ORV_SYSTEM_HANDLE system = 0;
    const int rc = OrvLibSystemOpen(uint32_t(tlIndex), &system);
    if (rc == ORV_SUCCESS && system != 0) {
        hSystem = system;
        m_systemOpen = true;
        const int infoRc = OrvSystemGetInfo(hSystem, &tlInfo);
        if (infoRc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemGetInfo:%d", "ZelCameraManager::ZelCameraManager", infoRc);
            std::memset(&tlInfo, 0, sizeof tlInfo);
        }
    } else {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvLibSystemOpen[%d]:%d", "ZelCameraManager::ZelCameraManager", tlIndex, rc);
    }
    discoveryThread = new ZelDiscoveryThread(this);
    connect(discoveryThread, &ZelDiscoveryThread::cameraDiscovered, this, &ZelCameraManager::_onThreadDiscovered);
}

ZelCameraManager::~ZelCameraManager()
{
    StopDiscovery();
    delete discoveryThread;
    discoveryThread = nullptr;

    // Cameras still open are closed before the system that holds them.
    for (ZelHandleEntry* entry : openedCameras.takeAll())
        deleteCameraEntry(entry);
    openedInterfaces.clear();
    if (m_systemOpen)
        OrvSystemClose(hSystem);
}

QString ZelCameraManager::TLType() const
{
    return ZelUtil::RecordText(tlInfo.tlType);
}

void ZelCameraManager::DiscoverInterfaces(ZelInterfaceInfoList* interfaces, int timeoutMs)
{
    if (!interfaces || !m_systemOpen)
        return;
    ZelUtilGenTL::DiscoverInterfaces(hSystem, interfaces, timeoutMs);

    std::lock_guard<std::mutex> lock(m_interfaceOpenMutex);
    for (const ORV_INTERFACE_INFO& info : *interfaces) {
        const QString id = ZelUtil::RecordText(info.id);
        if (openedInterfaces.lookup(id))
            continue;
        ORV_INTERFACE_HANDLE handle = 0;
        const QByteArray idText = id.toUtf8();
        const int rc = OrvSystemInterfaceOpen(hSystem, idText.constData(), &handle);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvSystemInterfaceOpen:%d", "ZelCameraManager::DiscoverInterfaces", rc);
            continue;
        }
        openedInterfaces.add(id, handle, nullptr);
    }
}

void ZelCameraManager::DiscoverCameras(ORV_INTERFACE_INFO* interfaceInfo, ZelCameraInfoList* cameras, int timeoutMs)
{
    if (!interfaceInfo || !cameras)
        return;
    ORV_INTERFACE_HANDLE hInterface = 0;
    if (!openedInterfaces.lookup(ZelUtil::RecordText(interfaceInfo->id), &hInterface)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Interface not opened!", "ZelCameraManager::DiscoverCameras");
        return;
    }
    ZelDeviceInfoList devices;
    ZelUtilGenTL::DiscoverDevices(hInterface, &devices, timeoutMs);
    for (const ORV_DEVICE_INFO& device : devices) {
        ZelCameraInfo info;
        info.hSystem = hSystem;
        info.tlInfo = tlInfo;
        info.interfaceInfo = *interfaceInfo;
        info.reserved = 0;
        info.deviceInfo = device;
        if (openedCameras.lookup(info.cameraKey()))
            info.deviceInfo.accessStatus = ZEL_ACCESS_STATUS_ALREADY_OPENED;
        cameras->append(info);
    }
}

ZelCamera* ZelCameraManager::OpenCamera(const ZelCameraInfo& info, int accessMode)
{
    static const char* const fn = "ZelCameraManager::OpenCamera";
    const QString interfaceId = ZelUtil::RecordText(info.interfaceInfo.id);
    const QString deviceId = ZelUtil::RecordText(info.deviceInfo.id);
    ORV_INTERFACE_HANDLE hInterface = 0;
    if (!openedInterfaces.lookup(interfaceId, &hInterface)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Interface not opened!", fn);
        return nullptr;
    }
    const QString key = info.cameraKey();
    if (openedCameras.lookup(key)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Device already opened!", fn);
        return nullptr;
    }

    ORV_DEVICE_HANDLE hDevice = 0;
    ORV_REMOTE_DEVICE_HANDLE hRemoteDevice = 0;
    const QByteArray deviceIdText = deviceId.toUtf8();
    const int rc = OrvInterfaceDeviceOpen(hInterface, deviceIdText.constData(), uint32_t(accessMode), &hDevice, &hRemoteDevice);
    if (rc != ORV_SUCCESS || hDevice == 0 || hRemoteDevice == 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvInterfaceDeviceOpen:%d", fn, rc);
        // Whatever the half-failed open gave is closed again.
        if (hDevice != 0)
            OrvDeviceClose(hDevice);
        return nullptr;
    }

    auto* camera = new ZelCamera(interfaceId, deviceId, hSystem, hInterface, hDevice, hRemoteDevice);
    openedCameras.add(key, hDevice, camera);
    return camera;
}

void ZelCameraManager::CloseCamera(const QString& cameraKey)
{
    ZelHandleEntry* entry = openedCameras.find(cameraKey, true);
    if (!entry) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Device not opened!", "ZelCameraManager::CloseCamera");
        return;
    }
    deleteCameraEntry(entry);
}

ZelCamera* ZelCameraManager::FindCamera(const QString& cameraKey)
{
    ZelHandleEntry* entry = openedCameras.find(cameraKey, false);
    return entry ? static_cast<ZelCamera*>(entry->object) : nullptr;
}

void ZelCameraManager::deleteCameraEntry(ZelHandleEntry* entry)
{
    if (entry->object)
        delete static_cast<ZelCamera*>(entry->object); // closes the stream and the device
    else
        OrvDeviceClose(entry->handle);
    delete entry;
}

void ZelCameraManager::StartDiscovery(int timeoutMs)
{
    if (!m_systemOpen || !discoveryThread)
        return;
    discoveryThread->Start(timeoutMs, QThread::InheritPriority);
}

void ZelCameraManager::StopDiscovery()
{
    if (!discoveryThread || !discoveryThread->isRunning())
        return;
    discoveryThread->Stop();
    // Reports of the stopped thread still on their way are dropped.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

bool ZelCameraManager::IsDiscovering() const
{
    return discoveryThread && discoveryThread->isRunning();
}

void ZelCameraManager::_onThreadDiscovered(ZelCameraInfoList discoveredCameraInfoList)
{
    emit cameraDiscovered(discoveredCameraInfoList);
}
