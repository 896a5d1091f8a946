#include "ZelSdkLoader.h"

#include "ZelDialogs.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace {

// The library and what load() found in it; written on the GUI thread only.
void* libraryHandle = nullptr;
void* resolved[ORV_SDK_FUNCTION_COUNT] = {};

// What the forwarders call: filled by a successful init, cleared by close.
// Worker threads read the rows while the GUI thread may change them.
std::atomic<void*> table[ORV_SDK_FUNCTION_COUNT];

void publishTable(bool on)
{
    for (int i = 0; i < ORV_SDK_FUNCTION_COUNT; ++i)
        table[i].store(on ? resolved[i] : nullptr, std::memory_order_release);
}

void unloadLibrary()
{
    publishTable(false);
    if (libraryHandle)
        dlclose(libraryHandle);
    libraryHandle = nullptr;
    for (void*& entry : resolved)
        entry = nullptr;
}

template <typename Fn>
Fn sdkRow(int number)
{
    return reinterpret_cast<Fn>(table[number - 1].load(std::memory_order_acquire));
}

QString environmentFolder(const QProcessEnvironment& environment, const char* name, const QString& fallback)
{
    const QString value = environment.value(QLatin1String(name));
    return value.isEmpty() ? fallback : value;
}

QString initFailureText(int code)
{
    switch (code) {
    case ORV_ERROR_GENICAM_LOAD:
        return QStringLiteral("Failed to load Genicam !   ");
    case ORV_ERROR_GENICAM_CACHE:
        return QStringLiteral("Invalid Genicam cache dir !   ");
    case ORV_ERROR_RESOURCE_IN_USE:
        return QStringLiteral("Failed to load SDK: Resource in use !    ");
    default:
        return QStringLiteral("Failed to load SDK !     ");
    }
}

} // namespace

ZelSdkLoader* ZelSdkLoader::instance()
{
    static ZelSdkLoader loader;
    return &loader;
}

int ZelSdkLoader::load()
{
    if (libraryHandle)
        return ORV_SUCCESS;

    const char* folder = std::getenv("NORRIK_SDK_BIN_32");
    if (!folder || !*folder)
        return ORV_ERROR_LIBRARY_MISSING;
    const QByteArray path = QByteArray(folder) + "/libQuillan.so";
    if (path.size() >= PATH_MAX)
        return ORV_ERROR_LIBRARY_MISSING;

    libraryHandle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!libraryHandle)
        return ORV_ERROR_LIBRARY_MISSING;

    bool complete = true;
    for (int i = 0; i < ORV_SDK_FUNCTION_COUNT; ++i) {
        resolved[i] = dlsym(libraryHandle, ORV_SDK_FUNCTION_NAMES[i]);
        if (!resolved[i] && i + 1 != ORV_SDK_OPTIONAL_ROW)
            complete = false;
    }
    if (!complete) {
        unloadLibrary();
        return ORV_ERROR_LIBRARY_MISSING;
    }
    return ORV_SUCCESS;
}

bool ZelSdkLoader::init(const QString& tlSearchPath)
{
    if (m_initialised)
        return false;

    const QString appDir = QCoreApplication::applicationDirPath();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString root = environmentFolder(environment, "NORRIK_GENICAM_ROOT", appDir + QStringLiteral("/GeniCam"));
    const QString cache = environmentFolder(environment, "NORRIK_GENICAM_CACHE", appDir + QStringLiteral("/cache"));
    const QString clProtocol =
        environmentFolder(environment, "NORRIK_GENICAM_CLPROTOCOL", appDir + QStringLiteral("/CLProtocol"));

    const QByteArray searchPathUtf8 = tlSearchPath.toUtf8();
    const QByteArray rootUtf8 = root.toUtf8();
    const QByteArray cacheUtf8 = cache.toUtf8();
    const QByteArray clProtocolUtf8 = clProtocol.toUtf8();

    int code = libraryHandle ? ORV_SUCCESS : load();
    if (code == ORV_SUCCESS) {
        auto libInit = reinterpret_cast<OrvLibInitFn>(resolved[0]);
        code = libInit ? libInit(searchPathUtf8.constData(), rootUtf8.constData(), cacheUtf8.constData(),
                                 clProtocolUtf8.constData())
                       : ORV_ERROR_FUNCTION_MISSING;
    }
    if (code == ORV_SUCCESS) {
        publishTable(true);
        m_initialised = true;
        return true;
    }
    // A library whose initialisation failed stays loaded, but no forwarder
    // reaches it until an init succeeds.
    ZelDialogs::information(nullptr, QString(), initFailureText(code), QMessageBox::Ok);
    return false;
}

void ZelSdkLoader::close()
{
    if (m_initialised) {
        publishTable(false);
        auto libClose = reinterpret_cast<OrvLibCloseFn>(resolved[4]);
        if (libClose)
            libClose();
        unloadLibrary();
    }
    m_initialised = false;
}

bool ZelSdkLoader::isBound(int number)
{
    if (number < 1 || number > ORV_SDK_FUNCTION_COUNT)
        return false;
    return table[number - 1].load(std::memory_order_acquire) != nullptr;
}

#define ZEL_SDK_DEFINE_FORWARDER(number, name, ret, params, args) \
    ret name params                                                \
    {                                                              \
        auto fn = sdkRow<name##Fn>(number);                          \
        return fn ? fn args : ORV_ERROR_FUNCTION_MISSING;          \
    }
#define ZEL_SDK_DEFINE_IF_FORWARDED(row, name, ret, params, args) \
    ZEL_SDK_IF_FORWARDED(ZEL_SDK_DEFINE_FORWARDER, row, name, ret, params, args)
ORV_SDK_FUNCTIONS(ZEL_SDK_DEFINE_IF_FORWARDED)
#undef ZEL_SDK_DEFINE_IF_FORWARDED
#undef ZEL_SDK_DEFINE_FORWARDER

int JotwellTraceA(const char* moduleName, uint32_t level, const char* format, ...)
{
    auto fn = sdkRow<JotwellTraceAFn>(67);
    if (!fn)
        return ORV_ERROR_FUNCTION_MISSING;
    va_list arguments;
    va_start(arguments, format);
    const int result = fn(moduleName, level, format, arguments);
    va_end(arguments);
    return result;
}
