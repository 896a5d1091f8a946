#ifndef SIMCAMERARIG_H
#define SIMCAMERARIG_H

// The full mono GigE camera of the simulated SDK, opened with control access,
// with the simulation's test control beside it.

#include "../../core/tests/SimSdk.h"

#include <QString>

class SimCameraRig
{
public:
    SimCameraRig()
        : camera(sdk.open(QStringLiteral("orv_gev_tl.cti"), QStringLiteral("gev-if-0"), QStringLiteral("GEV-G1-0001")))
        , system(camera.system)
        , iface(camera.iface)
        , device(camera.device)
        , remote(camera.remote)
    {
    }

    bool ready() const { return sdk.ready() && remote != 0; }
    QStringList problems() const { return sdk.problems(); }

    // Runs one test-control command; the reply through `reply`.
    int control(const QString& command, QString* reply = nullptr)
    {
        std::string text;
        const int rc = sdk.control.run(command.toStdString(), &text);
        if (reply)
            *reply = QString::fromStdString(text);
        return rc;
    }

    // "remote:GEV-G1-0001" and its kin, as the test control names modules.
    QString module(const char* kind) const { return QString::fromLatin1(kind) + QStringLiteral(":GEV-G1-0001"); }

    SimSdk sdk;
    SimCameraHandles camera;
    ORV_SYSTEM_HANDLE system;
    ORV_INTERFACE_HANDLE iface;
    ORV_DEVICE_HANDLE device;
    ORV_REMOTE_DEVICE_HANDLE remote;
};

#endif // SIMCAMERARIG_H
