#ifndef ZELCAMERATOOL_H
#define ZELCAMERATOOL_H

#include <QString>

// The tool windows a camera window opens, at most one of each per window.
// The order is the order in which the window matches a destroyed tool.
enum class ZelCameraTool {
    LineStatus,
    Lut,
    Sequencer,
    StrobeController,
    IOConfig,
    EventViewer,
    PixelHistogram,
    ColorCorrection,
    DefectPixelCorrection,
    BlockShading,
    NUShading,
    FileAccess,
    Count
};

constexpr int zelCameraToolCount = int(ZelCameraTool::Count);

// The tool's name as the main window asks for it ("LUT", "LineStatus", ...).
QString zelCameraToolName(ZelCameraTool tool);
// The tool of that name; Count when there is none.
ZelCameraTool zelCameraToolFromName(const QString& name);

#endif // ZELCAMERATOOL_H
