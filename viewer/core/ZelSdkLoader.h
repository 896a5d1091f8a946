#ifndef ZELSDKLOADER_H
#define ZELSDKLOADER_H

#include "OrvSdk.h"

#include <QString>

// Holder of the camera SDK library (libQuillan.so from $NORRIK_SDK_BIN_32)
// and of its function table. Every SDK call of the viewer goes through one
// of the forwarders declared below, which return -1003 while the SDK is not
// initialised or lacks the function.
class ZelSdkLoader
{
public:
    static ZelSdkLoader* instance();

    // Opens the library and looks up the 91 functions; 0, or -1001 when the
    // library or a required function is missing. A library already open is
    // kept. The forwarders reach it only after a successful init.
    static int load();

    // Loads the library when needed and initialises the SDK with the GenTL
    // producer search path and the GenICam folders. On failure the operator
    // is told in a message box. GUI thread only.
    bool init(const QString& tlSearchPath);

    // Closes the SDK and unloads the library when initialised. GUI thread
    // only, while no other thread uses the SDK.
    void close();

    bool isInitialised() const { return m_initialised; }

    // True when the forwarder of table row `row` (1 to 91) reaches the SDK.
    static bool isBound(int row);

    ZelSdkLoader(const ZelSdkLoader&) = delete;
    ZelSdkLoader& operator=(const ZelSdkLoader&) = delete;

private:
    ZelSdkLoader() = default;

    bool m_initialised = false;
};

// Rows without a forwarder: OrvLibInit and OrvLibClose, which the loader calls
// itself, the functions the viewer never calls, and JotwellTraceA, whose
// forwarder takes variable arguments.
#define ZEL_SDK_PROBE ~, 1
#define ZEL_SDK_NO_FORWARDER_1 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_5 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_13 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_19 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_21 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_31 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_35 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_47 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_53 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_62 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_63 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_67 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_69 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_72 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_73 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_75 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_77 ZEL_SDK_PROBE
#define ZEL_SDK_NO_FORWARDER_81 ZEL_SDK_PROBE

#define ZEL_SDK_CAT_(a, b) a##b
#define ZEL_SDK_CAT(a, b) ZEL_SDK_CAT_(a, b)
#define ZEL_SDK_SECOND_(a, b, ...) b
#define ZEL_SDK_SECOND(...) ZEL_SDK_SECOND_(__VA_ARGS__)
// 1 for the rows listed above, 0 for every other row.
#define ZEL_SDK_SKIPPED(row) ZEL_SDK_SECOND(ZEL_SDK_CAT(ZEL_SDK_NO_FORWARDER_, row), 0, ~)
// Expands `action(row, name, ret, params, args)` for the forwarded rows only.
#define ZEL_SDK_IF_FORWARDED_0(action, row, name, ret, params, args) action(row, name, ret, params, args)
#define ZEL_SDK_IF_FORWARDED_1(action, row, name, ret, params, args)
#define ZEL_SDK_IF_FORWARDED(action, row, name, ret, params, args) \
    ZEL_SDK_CAT(ZEL_SDK_IF_FORWARDED_, ZEL_SDK_SKIPPED(row))(action, row, name, ret, params, args)

#define ZEL_SDK_DECLARE_FORWARDER(row, name, ret, params, args) ret name params;
#define ZEL_SDK_DECLARE_IF_FORWARDED(row, name, ret, params, args) \
    ZEL_SDK_IF_FORWARDED(ZEL_SDK_DECLARE_FORWARDER, row, name, ret, params, args)
ORV_SDK_FUNCTIONS(ZEL_SDK_DECLARE_IF_FORWARDED)
#undef ZEL_SDK_DECLARE_IF_FORWARDED
#undef ZEL_SDK_DECLARE_FORWARDER

// The SDK logger; the remaining arguments are handed on as a va_list.
int JotwellTraceA(const char* moduleName, uint32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#endif // ZELSDKLOADER_H
