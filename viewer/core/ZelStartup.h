#ifndef ZELSTARTUP_H
#define ZELSTARTUP_H

// What the viewer's main does before it creates the application object.
class ZelStartup
{
public:
    // Registers the value types that cross threads and queued signals, each
    // under the name that the signal signatures use, in a fixed order.
    static void registerMetaTypes();

    // Registers the meta types, names the application, selects the "fusion"
    // style and enables high-DPI scaling. Call before QApplication exists.
    static void prepareApplication();
};

#endif // ZELSTARTUP_H
