#include "ZelCameraTool.h"

namespace {

const char* const toolNames[zelCameraToolCount] = {
    "LineStatus",  "LUT",        "Sequencer",     "StrobeController",
    "IOConfig",    "EventViewer", "PixelHistogram", "ColorCorrection",
    "DefectPixelCorrection", "BlockShading", "NUShading", "FileAccess",
};

} // namespace

QString zelCameraToolName(ZelCameraTool tool)
{
    const int i = int(tool);
    return i >= 0 && i < zelCameraToolCount ? QString::fromLatin1(toolNames[i]) : QString();
}

ZelCameraTool zelCameraToolFromName(const QString& name)
{
    for (int i = 0; i < zelCameraToolCount; ++i) {
        if (name == QLatin1String(toolNames[i]))
            return ZelCameraTool(i);
    }
    return ZelCameraTool::Count;
}
