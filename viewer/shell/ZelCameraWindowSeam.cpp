#include "ZelCameraWindowSeam.h"

#include "ZelCameraWindow.h"
#include "ZelPropertyWidget.h"

QWidget* ZelCameraWindowSeam::create(ZelCamera* camera, int accessMode, QWidget* parent)
{
    return new ZelCameraWindow(camera, accessMode, parent);
}

bool ZelCameraWindowSeam::isReadOnly(const QWidget* window)
{
    const auto* cameraWindow = qobject_cast<const ZelCameraWindow*>(window);
    return !cameraWindow || cameraWindow->isReadOnly();
}

QObject* ZelCameraWindowSeam::invalidateReceiver(QWidget* window)
{
    auto* cameraWindow = qobject_cast<ZelCameraWindow*>(window);
    return cameraWindow ? cameraWindow->propertyWidget() : nullptr;
}

bool ZelCameraWindowSeam::canOpen(QWidget* window, const QString& tool)
{
    auto* cameraWindow = qobject_cast<ZelCameraWindow*>(window);
    const ZelCameraTool which = zelCameraToolFromName(tool);
    return cameraWindow && which != ZelCameraTool::Count && cameraWindow->canOpen(which);
}
