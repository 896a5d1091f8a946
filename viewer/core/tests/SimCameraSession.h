// For Qt Test programs that work on one camera of the simulated SDK: a fresh
// world per test, the camera opened through its own manager, the test
// control and the call log.
#ifndef SIMCAMERASESSION_H
#define SIMCAMERASESSION_H

#include "SimCallLog.h"
#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraManager.h"

#include <functional>
#include <memory>

namespace zeltest {

class SimCameraSession
{
public:
    // For init(): a fresh world.
    bool start() { return startWorld(sdk); }
    // For cleanup(): closes the camera and the world.
    void stop()
    {
        if (manager && !key.isEmpty())
            manager->CloseCamera(key);
        key.clear();
        manager.reset();
        sdk.reset();
    }
    ZelCamera* open(const QString& deviceId, const QString& producer, int access = ORV_ACCESS_MODE_CONTROL)
    {
        manager = std::make_shared<ZelCameraManager>(SimWorldSdk::systemIndex(producer));
        return openCamera(*manager, deviceId, access, &key);
    }
    void closeCamera()
    {
        if (manager && !key.isEmpty())
            manager->CloseCamera(key);
        key.clear();
    }
    int run(const QString& command, QString* reply = nullptr)
    {
        std::string text;
        const int rc = sdk->control.run(command.toStdString(), &text);
        if (reply)
            *reply = QString::fromStdString(text);
        return rc;
    }
    // The whole call log of the action.
    QString callsDuring(const std::function<void()>& action)
    {
        run("log.calls.clear");
        run("log.calls on");
        action();
        run("log.calls off");
        QString log;
        run("log.calls.get", &log);
        return log;
    }
    // The feature writes of the action (featureWrites).
    QStringList writesDuring(const std::function<void()>& action, const QStringList& features)
    {
        return featureWrites(callsDuring(action), features);
    }

    std::unique_ptr<SimWorldSdk> sdk;
    std::shared_ptr<ZelCameraManager> manager;
    QString key;
};

} // namespace zeltest

#endif // SIMCAMERASESSION_H
