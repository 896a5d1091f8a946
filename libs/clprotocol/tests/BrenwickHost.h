// The tests act as a CLProtocol host: they load libBrenwick.so by path, and
// reach the same libJotwell.so it binds to switch the log file on.
#pragma once

#include "Brenwick.h"
#include "ClSerialSim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#define BRENWICK_FUNCTIONS(X)                                                                                  \
    X(clpInitLib) X(clpCloseLib) X(clpGetShortDeviceIDTemplates) X(clpProbeDevice) X(clpGetXMLIDs)             \
    X(clpGetXMLDescription) X(clpReadRegister) X(clpWriteRegister) X(clpContinueWriteRegister)                \
    X(clpGetErrorText) X(clpDisconnect) X(clpGetCLProtocolVersion) X(clpGetParam) X(clpSetParam)              \
    X(clpIsParamSupported)

struct Brenwick {
#define BRENWICK_MEMBER(name) decltype(&::name) name = nullptr;
    BRENWICK_FUNCTIONS(BRENWICK_MEMBER)
#undef BRENWICK_MEMBER

    // Loaded once per process and never unloaded, as a host would.
    static const Brenwick& get()
    {
        static const Brenwick driver;
        return driver;
    }

private:
    Brenwick()
    {
        void* handle = dlopen(SUITE_BIN_DIR "/libBrenwick.so", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            ADD_FAILURE() << dlerror();
            std::abort();
        }
#define BRENWICK_BIND(name)                                                  \
    name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));        \
    if (!name) {                                                             \
        ADD_FAILURE() << "missing export " #name;                            \
        std::abort();                                                        \
    }
        BRENWICK_FUNCTIONS(BRENWICK_BIND)
#undef BRENWICK_BIND
    }
};

// The logging library the driver binds, opened by the same path, so that the
// test and the driver share one logging context.
class JotwellLog {
public:
    JotwellLog()
    {
        m_handle = dlopen(SUITE_BIN_DIR "/libJotwell.so", RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) {
            ADD_FAILURE() << dlerror();
            return;
        }
        init = reinterpret_cast<bool (*)()>(dlsym(m_handle, "OrvLInit"));
        close = reinterpret_cast<void (*)()>(dlsym(m_handle, "OrvLClose"));
        enableFile = reinterpret_cast<bool (*)(bool, const char*)>(dlsym(m_handle, "OrvLEnableFileLogging"));
        enableWindbg = reinterpret_cast<bool (*)(bool)>(dlsym(m_handle, "OrvLEnableWindbg"));
        setLevel = reinterpret_cast<void (*)(std::uint32_t)>(dlsym(m_handle, "OrvLSetGlobalDebugLevel"));
        traceA = reinterpret_cast<void (*)(const char*, std::uint32_t, const char*, va_list*)>(
            dlsym(m_handle, "OrvLTraceA"));
        char pattern[] = "/tmp/brenwick-log-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0)
            ::close(fd);
        m_path = pattern;
    }
    ~JotwellLog()
    {
        std::remove(m_path.c_str());
        if (m_handle)
            dlclose(m_handle);
    }

    // Opens a context of the test's own, every level, output to the file only.
    void start()
    {
        init();
        setLevel(0xFFFFFFFFu);
        enableWindbg(false);
        ASSERT_TRUE(enableFile(true, m_path.c_str()));
    }
    void stop() { close(); }

    // Writes a marker and waits until the writer thread has put it in the
    // file; everything traced before it is then in the file too.
    std::string flushed()
    {
        static int counter = 0;
        const std::string marker = "marker-" + std::to_string(++counter);
        trace(marker.c_str());
        for (int i = 0; i < 500; ++i) {
            const std::string text = contents();
            if (text.find(marker) != std::string::npos)
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "log marker never written";
        return contents();
    }
    std::string contents() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    const std::string& path() const { return m_path; }

    bool (*init)() = nullptr;
    void (*close)() = nullptr;
    bool (*enableFile)(bool, const char*) = nullptr;
    bool (*enableWindbg)(bool) = nullptr;
    void (*setLevel)(std::uint32_t) = nullptr;
    void (*traceA)(const char*, std::uint32_t, const char*, va_list*) = nullptr;

private:
    void trace(const char* text, ...)
    {
        va_list arguments;
        va_start(arguments, text);
        traceA("Test", 8, text, &arguments);
        va_end(arguments);
    }

    void* m_handle = nullptr;
    std::string m_path;
};

inline int countOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A simulated camera on a pty and the host's port on its other end.
struct PtyRig {
    explicit PtyRig(clsim::CameraConfig config = {}) : camera(std::move(config)), port(camera.slavePath())
    {
        EXPECT_TRUE(camera.ok());
        EXPECT_TRUE(port.ok());
    }
    clsim::PtyCamera camera;
    clsim::PtySerialPort port;
};

// A simulated camera in memory behind a scripted port.
struct ScriptedRig {
    explicit ScriptedRig(clsim::CameraConfig config = {}) : device(std::move(config))
    {
        port.setRate(device.rate());
        port.attach(&device);
    }
    clsim::GenCPDevice device;
    clsim::ScriptedSerialPort port;
};

inline std::string asText(const std::vector<char>& buffer) { return std::string(buffer.data()); }

constexpr char kKey[] = "NORRIK-Ombrel#CameraLink";
