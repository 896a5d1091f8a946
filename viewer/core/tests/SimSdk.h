// Test helpers for code that runs against the simulated SDK: the SDK's
// test-control export, and the SDK initialised over a folder of producer
// placeholder files with cameras opened by device ID. They serve GoogleTest
// and Qt Test alike: what goes wrong is collected in problems().
#ifndef SIMSDK_H
#define SIMSDK_H

#include "OrvSdk.h"
#include "ZelDialogs.h"
#include "ZelSdkLoader.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <string>
#include <vector>

// The simulated SDK's test-control export, reached through the same file the
// loader opens.
class SimControl
{
public:
    explicit SimControl(const QString& folder = QStringLiteral(SUITE_BIN_DIR))
    {
        const QByteArray path = (folder + "/libQuillan.so").toUtf8();
        m_handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle)
            m_control = reinterpret_cast<Control>(dlsym(m_handle, "OrvSimControl"));
    }
    ~SimControl()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    SimControl(const SimControl&) = delete;
    SimControl& operator=(const SimControl&) = delete;

    bool valid() const { return m_control != nullptr; }

    int run(const std::string& command, std::string* reply = nullptr)
    {
        if (!m_control)
            return ORV_ERROR_FUNCTION_MISSING;
        std::vector<char> buffer(1 << 20);
        size_t size = buffer.size();
        int rc = m_control(command.c_str(), buffer.data(), &size);
        // A reply that filled the buffer may have been cut: ask again with room.
        while (reply && size == buffer.size() && buffer.size() < (size_t(1) << 28)) {
            buffer.assign(buffer.size() * 8, '\0');
            size = buffer.size();
            rc = m_control(command.c_str(), buffer.data(), &size);
        }
        if (reply)
            *reply = std::string(buffer.data(), qstrnlen(buffer.data(), buffer.size()));
        return rc;
    }
    // The reply of a command that must succeed; a failure is kept in problems().
    std::string reply(const std::string& command)
    {
        std::string text;
        const int rc = run(command, &text);
        if (rc != 0)
            m_problems << QString::fromStdString(command + ": " + std::to_string(rc) + " " + text);
        return text;
    }
    QStringList problems() const { return m_problems; }

private:
    using Control = int (*)(const char*, char*, size_t*);
    void* m_handle = nullptr;
    Control m_control = nullptr;
    QStringList m_problems;
};

// The value of one "key=value" line of a control reply.
inline std::string simField(const std::string& reply, const std::string& key)
{
    const QStringList lines = QString::fromStdString(reply).split('\n');
    for (const QString& line : lines) {
        if (line.startsWith(QString::fromStdString(key) + "="))
            return line.mid(int(key.size()) + 1).toStdString();
    }
    return "<missing " + key + ">";
}

// Handles of one opened camera.
struct SimCameraHandles {
    ORV_SYSTEM_HANDLE system = 0;
    ORV_INTERFACE_HANDLE iface = 0;
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ORV_STREAM_HANDLE stream = 0;
};

// The SDK initialised through ZelSdkLoader over placeholder producer files,
// with the world reset; closed again on destruction. Creates the application
// object when the test has none. Interfaces are opened
// once per system, as the camera manager does, so cameras behind one
// interface share its handle.
class SimSdk
{
public:
    explicit SimSdk(const QStringList& producers = {QStringLiteral("orv_gev_tl.cti"), QStringLiteral("orv_u3v_tl.cti")})
    {
        static int argc = 1;
        static char name[] = "sim-sdk-test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        for (const QString& producer : producers) {
            QFile file(m_folder.path() + "/" + producer);
            if (!file.open(QIODevice::WriteOnly))
                m_problems << "cannot create " + file.fileName();
        }
        if (!control.valid())
            m_problems << QStringLiteral("no test control in the simulated SDK");
        control.run("world.reset");
        qputenv("NORRIK_SDK_BIN_32", QByteArray(SUITE_BIN_DIR));
        m_ready = ZelSdkLoader::instance()->init(m_folder.path());
        if (!m_ready)
            m_problems << QStringLiteral("the simulated SDK did not initialise");
    }
    ~SimSdk()
    {
        for (const SimCameraHandles& camera : m_cameras) {
            if (camera.stream)
                OrvStreamClose(camera.stream);
            OrvDeviceClose(camera.device);
        }
        for (ORV_SYSTEM_HANDLE system : m_systems)
            OrvSystemClose(system);
        ZelSdkLoader::instance()->close();
    }
    SimSdk(const SimSdk&) = delete;
    SimSdk& operator=(const SimSdk&) = delete;

    bool ready() const { return m_ready; }
    QStringList problems() const { return m_problems + control.problems(); }

    // Opens the camera with that device ID behind the interface of the
    // producer file; all handles 0 when it cannot be opened.
    SimCameraHandles open(const QString& producer, const QString& interfaceId, const QString& deviceId,
                          uint32_t accessMode = ORV_ACCESS_MODE_CONTROL)
    {
        SimCameraHandles camera;
        camera.system = system(producer);
        if (!camera.system)
            return {};
        camera.iface = openInterface(camera.system, interfaceId);
        if (!camera.iface)
            return {};
        const QByteArray id = deviceId.toUtf8();
        OrvInterfaceUpdateDeviceList(camera.iface, nullptr, 3000);
        const int rc = OrvInterfaceDeviceOpen(camera.iface, id.constData(), accessMode, &camera.device, &camera.remote);
        if (rc != ORV_SUCCESS || !camera.device) {
            m_problems << QStringLiteral("OrvInterfaceDeviceOpen %1: %2").arg(deviceId).arg(rc);
            return {};
        }
        char streamId[ORV_TEXT_SIZE] = {};
        size_t size = sizeof streamId;
        if (OrvDeviceGetStreamId(camera.device, 0, streamId, &size) == ORV_SUCCESS)
            OrvDeviceStreamOpen(camera.device, streamId, &camera.stream);
        m_cameras.push_back(camera);
        return camera;
    }

    SimControl control;

private:
    ORV_SYSTEM_HANDLE system(const QString& producer)
    {
        uint32_t count = 0;
        OrvLibSystemGetCount(&count);
        for (uint32_t index = 0; index < count; ++index) {
            ORV_TL_INFO info = {};
            if (OrvLibSystemGetInfo(index, &info) != ORV_SUCCESS ||
                QString::fromUtf8(info.name, int(qstrnlen(info.name, sizeof info.name))) != producer)
                continue;
            if (m_systemIndex.contains(int(index)))
                return m_systems[m_systemIndex.indexOf(int(index))];
            ORV_SYSTEM_HANDLE handle = 0;
            if (OrvLibSystemOpen(index, &handle) != ORV_SUCCESS || !handle)
                break;
            OrvSystemUpdateInterfaceList(handle, nullptr, 3000);
            m_systems.push_back(handle);
            m_systemIndex.append(int(index));
            return handle;
        }
        m_problems << "no system for " + producer;
        return 0;
    }

    ORV_INTERFACE_HANDLE openInterface(ORV_SYSTEM_HANDLE system, const QString& interfaceId)
    {
        const QByteArray id = interfaceId.toUtf8();
        ORV_INTERFACE_HANDLE handle = 0;
        const int rc = OrvSystemInterfaceOpen(system, id.constData(), &handle);
        if (rc != ORV_SUCCESS)
            m_problems << QStringLiteral("OrvSystemInterfaceOpen %1: %2").arg(interfaceId).arg(rc);
        return handle;
    }

    // An SDK that fails to initialise tells the script, not a real box.
    ZelDialogs::Script m_dialogs;
    QTemporaryDir m_folder;
    bool m_ready = false;
    QStringList m_problems;
    std::vector<ORV_SYSTEM_HANDLE> m_systems;
    QList<int> m_systemIndex;
    std::vector<SimCameraHandles> m_cameras;
};

#endif // SIMSDK_H
