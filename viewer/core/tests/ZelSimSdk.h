// For the Qt Test programs of the core that run against the simulated SDK:
// the SDK initialised over every producer file of the simulated world, with
// the test control of SimSdk.h (only its gtest-free parts are used here).
#ifndef ZELSIMSDK_H
#define ZELSIMSDK_H

#include "SimSdk.h"
#include "ZelCameraManager.h"
#include "ZelSdkLoader.h"
#include "ZelStartup.h"
#include "ZelUtil.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace zeltest {

// Every producer file the simulated world knows, in the order the SDK lists
// them (by name).
inline QStringList producerFiles()
{
    return {"coaxlink.cti",      "orv_cl_tl.cti",       "orv_clhs_tl.cti", "orv_gev_brox_tl.cti",
            "orv_gev_tl.cti",    "orv_gev_tl_rdma.cti", "orv_u3v_tl.cti",  "other_vendor_tl.cti"};
}

// The simulated SDK initialised on a fresh world with every producer file.
class SimWorldSdk
{
public:
    SimWorldSdk()
    {
        ZelStartup::registerMetaTypes();
        qputenv("NORRIK_SDK_BIN_32", QByteArrayLiteral(SUITE_BIN_DIR));
        for (const QString& file : producerFiles()) {
            QFile placeholder(m_folder.filePath(file));
            placeholder.open(QIODevice::WriteOnly);
            placeholder.write("\n");
        }
        ZelSdkLoader::instance()->close();
        m_ready = control.valid() && resetControls() && control.run("world.reset") == 0
            && ZelSdkLoader::instance()->init(m_folder.path());
    }
    ~SimWorldSdk()
    {
        ZelSdkLoader::instance()->close();
        resetControls();
    }
    SimWorldSdk(const SimWorldSdk&) = delete;
    SimWorldSdk& operator=(const SimWorldSdk&) = delete;

    bool ready() const { return m_ready; }

    // The SDK's index of a producer file, or -1.
    static int systemIndex(const QString& file)
    {
        uint32_t count = 0;
        if (OrvLibSystemGetCount(&count) != ORV_SUCCESS)
            return -1;
        for (uint32_t i = 0; i < count; ++i) {
            ORV_TL_INFO info = {};
            if (OrvLibSystemGetInfo(i, &info) == ORV_SUCCESS && ZelUtil::RecordText(info.name) == file)
                return int(i);
        }
        return -1;
    }

    ::SimControl control;

private:
    // No fault armed, no call or trace kept from an earlier test.
    bool resetControls()
    {
        bool ok = true;
        for (const char* command : {"fault.clear", "log.calls off", "log.calls.clear", "log.trace off", "log.trace.clear"})
            ok = control.run(command) == 0 && ok;
        return ok;
    }

    QTemporaryDir m_folder;
    bool m_ready = false;
};

// A fresh simulated world in `sdk`, for a test's init(); false when it is
// not ready. The old world goes first: its teardown closes the SDK.
inline bool startWorld(std::unique_ptr<SimWorldSdk>& sdk)
{
    sdk.reset();
    sdk.reset(new SimWorldSdk);
    return sdk->ready();
}

// Opens the camera of that device ID through the manager; its camera key
// goes to *key. Null when it is not found or does not open.
inline ZelCamera* openCamera(ZelCameraManager& manager, const QString& deviceId, int access, QString* key)
{
    ZelInterfaceInfoList interfaces;
    manager.DiscoverInterfaces(&interfaces, 1000);
    ZelCameraInfoList cameras;
    for (ORV_INTERFACE_INFO& info : interfaces)
        manager.DiscoverCameras(&info, &cameras, 300);
    for (const ZelCameraInfo& info : cameras) {
        if (ZelUtil::RecordText(info.deviceInfo.id) == deviceId) {
            *key = info.cameraKey();
            return manager.OpenCamera(info, access);
        }
    }
    return nullptr;
}

} // namespace zeltest

#endif // ZELSIMSDK_H
