#include "ZelDiscoveryController.h"

#include "ZelCameraManager.h"
#include "ZelUtil.h"

#include <QVector>

ZelDiscoveryController::ZelDiscoveryController(const QList<ZelCameraManager*>& managers, QObject* parent)
    : QObject(parent)
    , m_managers(managers)
{
    for (ZelCameraManager* manager : m_managers) {
        if (manager)
            connect(manager, &ZelCameraManager::cameraDiscovered, this, &ZelDiscoveryController::_onCameraDiscovered);
    }
}

ZelDiscoveryController::~ZelDiscoveryController()
{
    for (ZelCameraManager* manager : m_managers) {
        if (!manager)
            continue;
        disconnect(manager, &ZelCameraManager::cameraDiscovered, this, &ZelDiscoveryController::_onCameraDiscovered);
        if (manager->IsDiscovering())
            manager->StopDiscovery();
    }
}

bool ZelDiscoveryController::isCameraLinkType(const QString& tlType)
{
    return tlType.compare(QLatin1String("CL"), Qt::CaseInsensitive) == 0
        || tlType.compare(QLatin1String("CLHS"), Qt::CaseInsensitive) == 0;
}

QList<ZelCameraManager*> ZelDiscoveryController::watchedManagers() const
{
    QList<ZelCameraManager*> watched;
    for (ZelCameraManager* manager : m_managers) {
        if (manager && !isCameraLinkType(manager->TLType()))
            watched.append(manager);
    }
    return watched;
}

ZelCameraManager* ZelDiscoveryController::GetCameraManager(int n, const QString& tlType) const
{
    for (ZelCameraManager* manager : m_managers) {
        if (manager && manager->TLType() == tlType && n-- == 0)
            return manager;
    }
    return nullptr;
}

void ZelDiscoveryController::stopAndClear(const QString& tlType)
{
    for (int n = 0; ZelCameraManager* manager = GetCameraManager(n, tlType); ++n) {
        if (manager->IsDiscovering())
            manager->StopDiscovery();
    }
    m_cameraLists[tlType] = ZelCameraInfoList();
    emit discoveredCameraListChanged(tlType, ZelCameraInfoList());
}

void ZelDiscoveryController::restartDiscovery(const QString& tlType)
{
    stopAndClear(tlType);
    if (isCameraLinkType(tlType))
        return;
    for (int n = 0; ZelCameraManager* manager = GetCameraManager(n, tlType); ++n) {
        if (!manager->IsDiscovering())
            manager->StartDiscovery(scanTimeoutMs);
    }
}

void ZelDiscoveryController::stopDiscovery(const QString& tlType)
{
    stopAndClear(tlType);
}

void ZelDiscoveryController::UpdateInterface(const QString& tlType, ORV_INTERFACE_INFO* interfaceInfo,
                                             ZelCameraInfoList& out)
{
    for (int n = 0; ZelCameraManager* manager = GetCameraManager(n, tlType); ++n)
        manager->DiscoverCameras(interfaceInfo, &out, probeTimeoutMs);
}

bool ZelDiscoveryController::sameCameras(const ZelCameraInfoList& stored, const ZelCameraInfoList& report)
{
    if (stored.size() != report.size())
        return false;
    // Each stored record answers for at most one reported record.
    QVector<bool> used(stored.size(), false);
    for (const ZelCameraInfo& reported : report) {
        const QString deviceId = ZelUtil::RecordText(reported.deviceInfo.id);
        int match = -1;
        for (int i = 0; i < stored.size(); ++i) {
            if (!used.at(i) && stored.at(i).hSystem == reported.hSystem
                && ZelUtil::RecordText(stored.at(i).deviceInfo.id).compare(deviceId, Qt::CaseInsensitive) == 0) {
                match = i;
                break;
            }
        }
        if (match < 0)
            return false;
        used[match] = true;
        const ZelCameraInfo& counterpart = stored.at(match);
        if (ZelUtil::RecordText(counterpart.interfaceInfo.id) != ZelUtil::RecordText(reported.interfaceInfo.id)
            || counterpart.deviceInfo.accessStatus != reported.deviceInfo.accessStatus)
            return false;
    }
    return true;
}

void ZelDiscoveryController::_onCameraDiscovered(ZelCameraInfoList discoveredCameraInfoList)
{
    auto* manager = qobject_cast<ZelCameraManager*>(sender());
    if (!manager)
        return;
    const ORV_SYSTEM_HANDLE hSystem = manager->hSystem;
    const QString tlType = manager->TLType();

    const ZelCameraInfoList typeList = m_cameraLists.value(tlType);
    ZelCameraInfoList others;
    ZelCameraInfoList ours;
    for (const ZelCameraInfo& info : typeList)
        (info.hSystem == hSystem ? ours : others).append(info);
    if (sameCameras(ours, discoveredCameraInfoList))
        return;

    others.append(discoveredCameraInfoList);
    m_cameraLists[tlType] = others;
    emit discoveredCameraListChanged(tlType, others);
}
