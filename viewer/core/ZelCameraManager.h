#ifndef ZELCAMERAMANAGER_H
#define ZELCAMERAMANAGER_H

#include "ZelCameraInfo.h"
#include "ZelHandleList.h"

#include <QObject>

#include <mutex>

class ZelCamera;
class ZelDiscoveryThread;

// One open transport layer (SDK system): opens its interfaces, lists its
// cameras, opens and closes them by camera key and runs its discovery
// thread. Listings may run on the discovery thread and the GUI thread at
// the same time; opening and closing cameras happen on the GUI thread.
class ZelCameraManager : public QObject
{
    Q_OBJECT

public:
    explicit ZelCameraManager(int tlIndex, QObject* parent = nullptr);
    ~ZelCameraManager() override;

    // Appends the system's interfaces to the list and opens each one that
    // is not open yet.
    void DiscoverInterfaces(ZelInterfaceInfoList* interfaces, int timeoutMs);

    // Appends one record per device behind the (opened) interface; cameras
    // this manager holds open carry the status "Already Opened!".
    void DiscoverCameras(ORV_INTERFACE_INFO* interfaceInfo, ZelCameraInfoList* cameras, int timeoutMs);

    // Null when the interface is not open, the camera is open already or
    // the SDK refuses it.
    ZelCamera* OpenCamera(const ZelCameraInfo& info, int accessMode);
    void CloseCamera(const QString& cameraKey);

    // The open camera under that key, or null.
    ZelCamera* FindCamera(const QString& cameraKey);

    void StartDiscovery(int timeoutMs);
    void StopDiscovery();
    bool IsDiscovering() const;

    // False when the SDK refused to open the system: nothing is listed then.
    bool IsSystemOpen() const { return m_systemOpen; }
    QString TLType() const;

    // Written by the constructor only.
    ORV_SYSTEM_HANDLE hSystem = 0;
    ORV_TL_INFO tlInfo;

signals:
    void cameraDiscovered(ZelCameraInfoList discoveredCameraInfoList);

private slots:
    void _onThreadDiscovered(ZelCameraInfoList discoveredCameraInfoList);

private:
    static void deleteCameraEntry(ZelHandleEntry* entry);

    ZelHandleList openedInterfaces;
    ZelHandleList openedCameras;
    ZelDiscoveryThread* discoveryThread = nullptr;
    // Serialises the check and open of interfaces between listings.
    std::mutex m_interfaceOpenMutex;
    bool m_systemOpen = false;
};

#endif // ZELCAMERAMANAGER_H
