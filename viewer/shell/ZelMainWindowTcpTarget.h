#ifndef ZELMAINWINDOWTCPTARGET_H
#define ZELMAINWINDOWTCPTARGET_H

#include "ZelTcpFeatureTarget.h"

class ZelFeatureManager;
class ZelMainWindow;

// Routes TCP feature requests to the camera whose sub-window of the main
// window was activated last.
class ZelMainWindowTcpTarget : public ZelTcpFeatureTarget
{
public:
    explicit ZelMainWindowTcpTarget(ZelMainWindow* window);

    Route route() const override;
    bool readFeature(const QString& name, QVariant& value) override;
    bool writeFeature(const QString& name, const QVariant& value) override;

private:
    ZelFeatureManager* activeRemoteFeatures() const;

    ZelMainWindow* m_window;
};

#endif // ZELMAINWINDOWTCPTARGET_H
