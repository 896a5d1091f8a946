#include "ZelCameraWindowSeam.h"

#include "ZelCameraWindow.h"
#include "ZelPropertyWidget.h"

#include <QMetaObject>

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

bool ZelCameraWindowSeam::supports(QWidget* window, const QString& capability)
{
    auto* cameraWindow = qobject_cast<ZelCameraWindow*>(window);
    if (!cameraWindow)
        return false;
    // A capability counts only once the window has the tool that serves it.
    static const struct {
        const char* capability;
        const char* tool;
        bool (*test)(ZelCameraWindow*);
    } capabilities[] = {
        {"DefectPixelCorrection", "onInitDefectPixelCorection()",
         [](ZelCameraWindow* w) { return w->isDefectPixelCorrectionSupported(); }},
        {"Shading", "onInitShadingCorection()", [](ZelCameraWindow* w) { return w->isShadingSupported(); }},
        {"NUShading", "onInitShadingCorection()", [](ZelCameraWindow* w) { return w->isNUShadingSupported(); }},
        {"ColorCorrection", "onShowColorCorrection()",
         [](ZelCameraWindow* w) { return w->isColorCorrectionAvailable(); }},
        {"FileAccess", "onShowFileAccess()", [](ZelCameraWindow* w) { return w->isFileAccessSupported(); }},
    };
    for (const auto& entry : capabilities) {
        if (capability != QLatin1String(entry.capability))
            continue;
        if (cameraWindow->metaObject()->indexOfSlot(entry.tool) < 0)
            return false;
        return entry.test(cameraWindow);
    }
    return false;
}
