#ifndef ZELCONSTANTS_H
#define ZELCONSTANTS_H

#include <QString>

// Process-wide constant texts, read-only after static initialisation.
class ZelConstants
{
public:
    // Header sections of the I/O configuration and software polling tables.
    static const QString HeaderSectionStyleSheet;
    // Help of the look-up table editor in knee (point) mode.
    static const QString PointEditorHelpText;
    // Help of the look-up table editor in manual mode.
    static const QString LutHelpText;
    // Context menus of the image view.
    static const QString ContextMenuStyleSheet;
};

#endif // ZELCONSTANTS_H
