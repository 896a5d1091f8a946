#include "ZelStartup.h"

#include "ZelAcqBuffer.h"
#include "ZelCamera.h"
#include "ZelCameraInfo.h"
#include "ZelSdkMetaTypes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStyleFactory>
#include <QVector>

void ZelStartup::registerMetaTypes(RegisterFunction registerPixelHistogramData,
                                   RegisterFunction registerSoftwarePollingItemInfo)
{
    // Keep this order; each type joins at its place once its header exists.
    qRegisterMetaType<ZelCameraInfo>("ZelCameraInfo");
    qRegisterMetaType<ZelCameraInfoList>("ZelCameraInfoList");
    qRegisterMetaType<ZelInterfaceInfoList>("ZelInterfaceInfoList");
    qRegisterMetaType<ZelAcqBufferPtr>("ZelAcqBufferPtr");
    qRegisterMetaType<ZelCameraPtr>("ZelCameraPtr");
    qRegisterMetaType<ORV_INTERFACE_INFO>("ORV_INTERFACE_INFO");
    qRegisterMetaType<ORV_DEVICE_INFO>("ORV_DEVICE_INFO");
    qRegisterMetaType<ORV_TL_INFO>("ORV_TL_INFO");
    // The histogram and polling records belong to the tool libraries.
    if (registerPixelHistogramData)
        registerPixelHistogramData();
    if (registerSoftwarePollingItemInfo)
        registerSoftwarePollingItemInfo();
    qRegisterMetaType<QVector<int>>("QVector<int>");
    qRegisterMetaType<ORV_EVENT_DS_ACQUISITION_DATA>("ORV_EVENT_DS_ACQUISITION_DATA");
    qRegisterMetaType<ORV_EVENT_REMOTE_DEVICE_DATA>("ORV_EVENT_REMOTE_DEVICE_DATA");
}

void ZelStartup::prepareApplication(RegisterFunction registerPixelHistogramData,
                                    RegisterFunction registerSoftwarePollingItemInfo)
{
    registerMetaTypes(registerPixelHistogramData, registerSoftwarePollingItemInfo);
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5.15.3209"));
    QCoreApplication::setApplicationName(QStringLiteral("Kalveen"));
    QCoreApplication::setOrganizationName(QStringLiteral("NORRIK-OMBREL GmbH"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("norrik-ombrel.com"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    // Takes effect only when set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
}
