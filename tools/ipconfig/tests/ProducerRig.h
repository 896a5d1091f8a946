// The simulated GigE producer as the tool's tests use it: the tool finds it
// in cti/, the test holds it loaded and drives it through its test control.
// Each rig starts from the built-in world without faults.
#ifndef PRODUCERRIG_H
#define PRODUCERRIG_H

#include "ZelGenTLControl.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <dlfcn.h>
#include <vector>

class ProducerRig
{
public:
    ProducerRig()
    {
        qputenv("NORRIK_TLGIGE_BIN_32", SUITE_CTI_DIR);
        qunsetenv("QUILLAN_SIM_STATE");
        m_handle = dlopen(SUITE_CTI_DIR "/orv_gev_tl.cti", RTLD_NOW | RTLD_LOCAL);
        if (m_handle)
            m_control = reinterpret_cast<Control>(dlsym(m_handle, "OrvSimControl"));
        m_ok = m_control && control("fault.clear") && control("world.scenario default") && control("log.calls.clear");
    }
    ~ProducerRig()
    {
        if (m_control) {
            control("fault.clear");
            control("log.calls off");
            control("world.scenario default");
        }
        if (m_handle)
            dlclose(m_handle);
    }
    ProducerRig(const ProducerRig&) = delete;
    ProducerRig& operator=(const ProducerRig&) = delete;

    bool ok() const { return m_ok; }

    // Runs one test-control command; false when the producer refused it.
    bool control(const QString& command, QString* reply = nullptr)
    {
        std::vector<char> buffer(1 << 20, '\0');
        size_t size = buffer.size();
        int rc = m_control(command.toUtf8().constData(), buffer.data(), &size);
        if (reply)
            *reply = QString::fromUtf8(buffer.data());
        return rc == 0;
    }

    // The logged calls of that function, one line each with its arguments.
    QStringList calls(const QString& function)
    {
        QString all;
        control(QStringLiteral("log.calls.get"), &all);
        QStringList out;
        for (const QString& line : all.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (function.isEmpty() || line.startsWith(function + QLatin1Char('(')))
                out << line;
        return out;
    }

private:
    typedef int (*Control)(const char*, char*, size_t*);
    void* m_handle = nullptr;
    Control m_control = nullptr;
    bool m_ok = false;
};

// The cameras the control lists now.
inline QList<OrvDeviceInfo> listed(ZelGenTLControl& control)
{
    QList<OrvDeviceInfo> records;
    control.ListDevices(records);
    return records;
}

// The device IDs of the cameras listed now.
inline QStringList listedIds(ZelGenTLControl& control)
{
    QStringList ids;
    for (const OrvDeviceInfo& r : listed(control))
        ids << QString::fromLatin1(r.device.deviceId);
    return ids;
}

// The listed record of one camera; an empty record when it is not listed.
inline OrvDeviceInfo recordOf(ZelGenTLControl& control, const char* id)
{
    for (const OrvDeviceInfo& r : listed(control))
        if (qstrcmp(r.device.deviceId, id) == 0)
            return r;
    return OrvDeviceInfo();
}

#endif // PRODUCERRIG_H
