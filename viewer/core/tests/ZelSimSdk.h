// Shared by the core tests that run against the simulated SDK: its test
// control, reached through the same library file the loader opens, and a
// temporary folder of producer files that the SDK is initialised with.
#ifndef ZELSIMSDK_H
#define ZELSIMSDK_H

#include "ZelSdkLoader.h"
#include "ZelStartup.h"
#include "ZelUtil.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <string>
#include <vector>

namespace zeltest {

// The simulated SDK's test-control export.
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

    // The result code; the reply text goes to reply when given.
    int run(const std::string& command, std::string* reply = nullptr)
    {
        if (!m_control)
            return -1;
        std::vector<char> buffer(1 << 20);
        size_t size = buffer.size();
        const int rc = m_control(command.c_str(), buffer.data(), &size);
        if (reply)
            *reply = buffer.data();
        return rc;
    }

private:
    using Control = int (*)(const char*, char*, size_t*);
    void* m_handle = nullptr;
    Control m_control = nullptr;
};

// Every producer file the simulated world knows, in the order the SDK lists
// them (by name).
inline QStringList producerFiles()
{
    return {"coaxlink.cti",      "orv_cl_tl.cti",       "orv_clhs_tl.cti", "orv_gev_brox_tl.cti",
            "orv_gev_tl.cti",    "orv_gev_tl_rdma.cti", "orv_u3v_tl.cti",  "other_vendor_tl.cti"};
}

// The simulated SDK initialised on a fresh world with every producer file.
class SimSdk
{
public:
    SimSdk()
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
    ~SimSdk()
    {
        ZelSdkLoader::instance()->close();
        resetControls();
    }
    SimSdk(const SimSdk&) = delete;
    SimSdk& operator=(const SimSdk&) = delete;

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

    SimControl control;

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

} // namespace zeltest

#endif // ZELSIMSDK_H
