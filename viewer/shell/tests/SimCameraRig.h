#ifndef SIMCAMERARIG_H
#define SIMCAMERARIG_H

// One simulated camera opened through the viewer's SDK binding, with the
// simulation's test control beside it.

#include "ZelSdkLoader.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QString>

#include <dlfcn.h>
#include <vector>

class SimCameraRig
{
public:
    explicit SimCameraRig(const char* deviceId = "GEV-G1-0001", const char* interfaceId = "gev-if-0",
                          const char* producer = "orv_gev_tl.cti")
        : deviceId(deviceId)
    {
        // The same file the viewer's loader opens, so that both reach one world.
        QString folder = QString::fromLocal8Bit(qgetenv("NORRIK_SDK_BIN_32"));
        if (folder.isEmpty())
            folder = QStringLiteral(SUITE_BIN_DIR);
        const QByteArray path = (folder + "/libQuillan.so").toUtf8();
        library = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (library)
            simControl = reinterpret_cast<Control>(dlsym(library, "OrvSimControl"));
        if (!ZelSdkLoader::instance()->isInitialised()
            && !ZelSdkLoader::instance()->init(producerFolder(producer)))
            return;
        uint32_t count = 0;
        OrvLibSystemGetCount(&count);
        for (uint32_t i = 0; i < count && !system; ++i) {
            ORV_TL_INFO info{};
            if (OrvLibSystemGetInfo(i, &info) == 0 && qstrncmp(info.name, producer, sizeof info.name) == 0)
                OrvLibSystemOpen(i, &system);
        }
        if (!system)
            return;
        bool changed = false;
        OrvSystemUpdateInterfaceList(system, &changed, 1000);
        if (OrvSystemInterfaceOpen(system, interfaceId, &iface) != 0)
            return;
        OrvInterfaceUpdateDeviceList(iface, &changed, 1000);
        OrvInterfaceDeviceOpen(iface, deviceId, 3, &device, &remote);
    }

    ~SimCameraRig()
    {
        if (simControl)
            control("fault.clear");
        if (device)
            OrvDeviceClose(device);
        // The viewer never closes an interface itself: no forwarder.
        using InterfaceClose = int (*)(ORV_INTERFACE_HANDLE);
        if (iface && library) {
            if (auto close = reinterpret_cast<InterfaceClose>(dlsym(library, "OrvInterfaceClose")))
                close(iface);
        }
        if (system)
            OrvSystemClose(system);
        // Camera state outlives the handles: the next test starts afresh.
        if (simControl)
            control("world.reset");
        if (library)
            dlclose(library);
    }

    // The simulation lists one system per producer file it finds: a folder
    // with an empty file of that name, for the whole process.
    static QString producerFolder(const char* producer)
    {
        static QTemporaryDir folder;
        QFile file(folder.path() + '/' + QString::fromLatin1(producer));
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.write("\n");
        return folder.path();
    }

    bool ready() const { return simControl && remote; }

    // Runs one test-control command; the reply through `reply`.
    int control(const QString& command, QString* reply = nullptr)
    {
        if (!simControl)
            return -1;
        std::vector<char> buffer(1 << 20);
        size_t size = buffer.size();
        const int rc = simControl(command.toUtf8().constData(), buffer.data(), &size);
        if (reply)
            *reply = QString::fromUtf8(buffer.data());
        return rc;
    }

    // "remote:<device>" and its kin, as the test control names modules.
    QString module(const char* kind) const { return QString::fromLatin1(kind) + ':' + deviceId; }

    const char* deviceId;
    ORV_SYSTEM_HANDLE system = 0;
    ORV_INTERFACE_HANDLE iface = 0;
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;

private:
    using Control = int (*)(const char*, char*, size_t*);
    void* library = nullptr;
    Control simControl = nullptr;
};

#endif // SIMCAMERARIG_H
