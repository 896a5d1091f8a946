#ifndef ZELSTARTUP_H
#define ZELSTARTUP_H

// What the viewer's main does before it creates the application object.
class ZelStartup
{
public:
    using RegisterFunction = void (*)();

    // Registers the value types that cross threads and queued signals, each
    // under the name that the signal signatures use, in a fixed order. The
    // two records of the tool libraries are registered at their places by
    // the functions given (main passes them; null skips).
    static void registerMetaTypes(RegisterFunction registerPixelHistogramData = nullptr,
                                  RegisterFunction registerSoftwarePollingItemInfo = nullptr);

    // Registers the meta types, names the application, selects the "fusion"
    // style and enables high-DPI scaling. Call before QApplication exists.
    static void prepareApplication(RegisterFunction registerPixelHistogramData = nullptr,
                                   RegisterFunction registerSoftwarePollingItemInfo = nullptr);
};

#endif // ZELSTARTUP_H
