// Helpers for tests that drive the main window against the simulated SDK.
#ifndef MAINWINDOWRIG_H
#define MAINWINDOWRIG_H

#include "../core/tests/SimSdk.h"
#include "ViewerTestHome.h"
#include "ZelCameraManager.h"
#include "ZelMainWindow.h"
#include "ZelSoftwarePollingItemInfo.h"
#include "ZelStartup.h"
#include "ZelUtil.h"

#include <QCoreApplication>
#include <QStringList>

// What a main-window test process needs first: a home of its own, the
// program's names and meta types, and the simulated SDK's controls.
struct MainWindowTestProcess {
    MainWindowTestProcess()
    {
        ZelStartup::registerMetaTypes(nullptr, registerSoftwarePollingItemInfo);
        QCoreApplication::setApplicationName(QStringLiteral("Kalveen"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.5.15.3209"));
    }
    ViewerTestHome home;
    SimControl control;
};

// The producer file of each manager, in order.
inline QStringList managerFiles(const QList<ZelCameraManager*>& managers)
{
    QStringList files;
    for (ZelCameraManager* manager : managers)
        files << ZelUtil::RecordText(manager->tlInfo.name);
    return files;
}

// The discovered record of one camera, listed through its manager as the
// discovery window does (a Camera Link port is probed).
inline bool findCamera(ZelCameraManager* manager, const QString& deviceId, ZelCameraInfo* out)
{
    if (!manager)
        return false;
    ZelInterfaceInfoList interfaces;
    manager->DiscoverInterfaces(&interfaces, 5000);
    ZelCameraInfoList cameras;
    for (ORV_INTERFACE_INFO& record : interfaces)
        manager->DiscoverCameras(&record, &cameras, 300);
    for (const ZelCameraInfo& info : cameras) {
        if (ZelUtil::RecordText(info.deviceInfo.id) == deviceId) {
            *out = info;
            return true;
        }
    }
    return false;
}

inline ZelCameraManager* managerOf(const ZelMainWindow& window, const QString& file)
{
    for (ZelCameraManager* manager : window.cameraManagers()) {
        if (ZelUtil::RecordText(manager->tlInfo.name) == file)
            return manager;
    }
    return nullptr;
}

#endif // MAINWINDOWRIG_H
