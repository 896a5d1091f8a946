#include "ZelMainWindowTcpTarget.h"

#include "ZelCamera.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindowSeam.h"
#include "ZelFeatureManager.h"
#include "ZelMainWindow.h"
#include "ZelUtil.h"

#include <QDebug>
#include <QMdiArea>

ZelMainWindowTcpTarget::ZelMainWindowTcpTarget(ZelMainWindow* window)
    : m_window(window)
{
}

ZelTcpFeatureTarget::Route ZelMainWindowTcpTarget::route() const
{
    if (m_window->mdiArea()->subWindowList().isEmpty())
        return Route::NoWindow;
    const QMdiSubWindow* sub = m_window->activeCameraSubWindow();
    if (!sub)
        return Route::Silent;
    if (!sub->widget() || ZelCameraWindowSeam::isReadOnly(sub->widget()) || !activeRemoteFeatures())
        return Route::Silent;
    return Route::Camera;
}

ZelFeatureManager* ZelMainWindowTcpTarget::activeRemoteFeatures() const
{
    const QMdiSubWindow* sub = m_window->activeCameraSubWindow();
    if (!sub)
        return nullptr;
    const QVariant property = sub->property("CameraInfo");
    if (!property.canConvert<ZelCameraInfo>())
        return nullptr;
    const ZelCameraInfo info = property.value<ZelCameraInfo>();
    ZelCameraManager* manager = m_window->_findCameraManager(info.hSystem, ZelUtil::RecordText(info.tlInfo.tlType));
    ZelCamera* camera = manager ? manager->FindCamera(info.cameraKey()) : nullptr;
    return camera ? camera->remoteDeviceFeatures : nullptr;
}

bool ZelMainWindowTcpTarget::readFeature(const QString& name, QVariant& value)
{
    ZelFeatureManager* features = activeRemoteFeatures();
    return features && features->GetValueExt(name.toUtf8().constData(), value);
}

bool ZelMainWindowTcpTarget::writeFeature(const QString& name, const QVariant& value)
{
    ZelFeatureManager* features = activeRemoteFeatures();
    return features && features->SetValueExt(name.toUtf8().constData(), value, true);
}
