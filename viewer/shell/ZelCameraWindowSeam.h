#ifndef ZELCAMERAWINDOWSEAM_H
#define ZELCAMERAWINDOWSEAM_H

#include <QString>

class QObject;
class QWidget;
class ZelCamera;

// Everything the main window needs of the widget that shows an open camera
// inside its MDI sub-window. The camera window replaces the bodies of these
// functions; the main window uses nothing else of it.
class ZelCameraWindowSeam
{
public:
    // The camera's widget; access mode 3 or 4 drives the camera, any other
    // is read-only.
    static QWidget* create(ZelCamera* camera, int accessMode, QWidget* parent);
    static bool isReadOnly(const QWidget* window);
    // The receiver of the software polling manager's requestInvalidate, or null.
    static QObject* invalidateReceiver(QWidget* window);
    // Whether the window can open the tool of that name ("LUT", "LineStatus",
    // "StrobeController", "Sequencer", "IOConfig", "EventViewer",
    // "PixelHistogram", "ColorCorrection", "DefectPixelCorrection",
    // "BlockShading", "NUShading", "FileAccess").
    static bool canOpen(QWidget* window, const QString& tool);
};

#endif // ZELCAMERAWINDOWSEAM_H
