#ifndef ZELDISCOVERYCONTROLLER_H
#define ZELDISCOVERYCONTROLLER_H

#include "ZelCameraInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class ZelCameraManager;

// Keeps one merged camera list per transport-layer type, fed by the reports
// of the camera managers, and starts, stops and probes per type. GUI thread
// only.
class ZelDiscoveryController : public QObject
{
    Q_OBJECT

public:
    // Round time-out of the discovery threads and of the Camera Link probe.
    static constexpr int scanTimeoutMs = 3000;
    static constexpr int probeTimeoutMs = 300;

    explicit ZelDiscoveryController(const QList<ZelCameraManager*>& managers, QObject* parent = nullptr);
    ~ZelDiscoveryController() override;

    QList<ZelCameraManager*> managers() const { return m_managers; }
    // The managers that get discovery threads: neither "CL" nor "CLHS".
    QList<ZelCameraManager*> watchedManagers() const;
    // The n-th manager of that exact type, or null.
    ZelCameraManager* GetCameraManager(int n, const QString& tlType) const;

    void restartDiscovery(const QString& tlType);
    void stopDiscovery(const QString& tlType);

    // Camera Link probe of one port through every manager of the type.
    void UpdateInterface(const QString& tlType, ORV_INTERFACE_INFO* interfaceInfo, ZelCameraInfoList& out);

    // The merged list of a type (empty when the type has none yet).
    ZelCameraInfoList cameraList(const QString& tlType) const { return m_cameraLists.value(tlType); }

    static bool isCameraLinkType(const QString& tlType);

signals:
    void discoveredCameraListChanged(QString tlType, ZelCameraInfoList cameraInfoList);

private slots:
    void _onCameraDiscovered(ZelCameraInfoList discoveredCameraInfoList);

private:
    // Stops the type's threads, empties its list and reports the empty list.
    void stopAndClear(const QString& tlType);
    static bool sameCameras(const ZelCameraInfoList& stored, const ZelCameraInfoList& report);

    QMap<QString, ZelCameraInfoList> m_cameraLists;
    QList<ZelCameraManager*> m_managers;
};

#endif // ZELDISCOVERYCONTROLLER_H
