// Contract of the camera SDK Quillan as the viewer and the simulated SDK both
// see it: result codes, handle types, callback types, the records the SDK
// fills, and the 91 functions in the order of the loader's table.
//
// This header declares no function. The viewer defines C++ forwarders with
// the SDK's names; the simulated SDK declares the C exports in its own header.
#ifndef ORVSDK_H
#define ORVSDK_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------
constexpr int ORV_SUCCESS = 0;
constexpr int ORV_ERROR_LIBRARY_MISSING = -1001;  // viewer's own: library or export missing
constexpr int ORV_ERROR_INVALID_HANDLE = -1002;   // handle is 0, closed or of the wrong kind
constexpr int ORV_ERROR_FUNCTION_MISSING = -1003; // viewer's own: function not available
constexpr int ORV_ERROR_RESOURCE_IN_USE = -1004;  // OrvLibInit
constexpr int ORV_WARNING_OUT_OF_RANGE = -1005;   // int read: value delivered but outside the range
constexpr int ORV_ERROR_INVALID_ARGUMENT = -1006; // bad argument, buffer too small, already queued
constexpr int ORV_ERROR_ACCESS_DENIED = -1007;    // locked, read-only, protected
constexpr int ORV_ERROR_END_OF_LIST = -1008;
constexpr int ORV_ERROR_NOT_AVAILABLE = -1009;    // unknown name, absent, unsupported, unmapped
constexpr int ORV_ERROR_OUT_OF_RANGE = -1010;     // out of range, off the grid, no such entry
constexpr int ORV_ERROR_TIMEOUT = -1011;
constexpr int ORV_ERROR_ABORTED = -1012;          // wait ended by kill, stop or close; transfer cancelled
constexpr int ORV_ERROR_IO = -1013;               // device lost, injected fault
constexpr int ORV_ERROR_BUSY = -1014;             // held elsewhere, in use, already registered
constexpr int ORV_ERROR_NOT_INITIALISED = -1015;
constexpr int ORV_ERROR_GENICAM_LOAD = -2008;
constexpr int ORV_ERROR_GENICAM_CACHE = -2009;

// ---------------------------------------------------------------------------
// Handles: 32-bit identifiers issued by the SDK; 0 is "none".
// ---------------------------------------------------------------------------
typedef uint32_t ORV_SYSTEM_HANDLE;
typedef uint32_t ORV_INTERFACE_HANDLE;
typedef uint32_t ORV_DEVICE_HANDLE;
typedef uint32_t ORV_REMOTE_DEVICE_HANDLE;
typedef uint32_t ORV_STREAM_HANDLE;
typedef uint32_t ORV_BUFFER_HANDLE;
typedef uint32_t ORV_FEATURE_HANDLE;
typedef uint32_t ORV_EVENT_HANDLE;
// Any of the system, interface, device, remote-device and stream handles.
typedef uint32_t ORV_MODULE_HANDLE;

// Device access status reported in ORV_DEVICE_INFO::accessStatus.
constexpr int32_t ORV_ACCESS_STATUS_READY = 1;
constexpr int32_t ORV_ACCESS_STATUS_READ_ONLY = 2;
constexpr int32_t ORV_ACCESS_STATUS_NOT_ACCESSIBLE = 3;

// Access modes of OrvInterfaceDeviceOpen.
constexpr uint32_t ORV_ACCESS_MODE_READ_ONLY = 2;
constexpr uint32_t ORV_ACCESS_MODE_CONTROL = 3;
constexpr uint32_t ORV_ACCESS_MODE_EXCLUSIVE = 4;

// Event types.
constexpr int32_t ORV_EVENT_TYPE_REMOTE_DEVICE = 4;
constexpr int32_t ORV_EVENT_TYPE_DEVICE_CONNECTION = 4000;
constexpr int32_t ORV_EVENT_TYPE_DS_ACQUISITION = 5000;

// Feature interface types (ORV_FEATURE_INFO::interfaceType).
constexpr uint8_t ORV_FEATURE_TYPE_INTEGER = 2;
constexpr uint8_t ORV_FEATURE_TYPE_BOOLEAN = 3;
constexpr uint8_t ORV_FEATURE_TYPE_COMMAND = 4;
constexpr uint8_t ORV_FEATURE_TYPE_FLOAT = 5;
constexpr uint8_t ORV_FEATURE_TYPE_STRING = 6;
constexpr uint8_t ORV_FEATURE_TYPE_REGISTER = 7;
constexpr uint8_t ORV_FEATURE_TYPE_CATEGORY = 8;
constexpr uint8_t ORV_FEATURE_TYPE_ENUMERATION = 9;

// Size of every fixed text field of the discovery and feature records.
constexpr size_t ORV_TEXT_SIZE = 512;

// ---------------------------------------------------------------------------
// Callbacks. Pointers handed to a callback are valid only during the call.
// ---------------------------------------------------------------------------
typedef void (*ORV_FEATURE_INVALIDATE_CALLBACK)(void* context, const char* featureName);
typedef void (*ORV_FEATURE_INVALIDATE_CALLBACK2)(void* context, const char* featureName,
                                                 ORV_FEATURE_HANDLE feature);
typedef void (*ORV_FILE_ACCESS_CALLBACK)(void* context, const int64_t* remaining,
                                         const char* fileName, const char* operation);

// The device file calls (OrvDeviceSaveFile, OrvDeviceLoadFile) keep the bytes
// moved in the 64-bit integer that `transfer` points to. Another thread that
// stores ORV_TRANSFER_CANCEL into it (with an atomic store) ends the transfer
// before its next block: the call returns ORV_ERROR_ABORTED, and an upload
// ended so leaves the camera's file as it was.
constexpr int64_t ORV_TRANSFER_CANCEL = INT64_MIN;

// ---------------------------------------------------------------------------
// Records. Text fields are zero-terminated when they fit; read them bounded.
// Multi-byte fields are little-endian unless a comment says otherwise.
// ---------------------------------------------------------------------------

// One transport layer (GenTL producer), 4108 bytes.
struct ORV_TL_INFO {
    char id[512];
    char vendor[512];
    char model[512];
    char version[512];
    char tlType[512];       // "GEV", "U3V", "CL", "CLHS", "CXP", ...
    char name[512];         // producer file name
    char fullPath[512];     // folder + "/" + file name
    char displayName[512];
    uint32_t genTLVersionMajor;
    uint32_t genTLVersionMinor;
    uint32_t systemIndex;
};

// One interface of a system, 3076 bytes.
struct ORV_INTERFACE_INFO {
    uint32_t index;
    char id[512];
    char displayName[512];
    char tlType[512];
    char ipAddress[512];
    char subnet[512];       // IPv4 dotted text, empty for non-GEV interfaces
    char subnetMask[512];
};

// One device behind an interface, 5648 bytes.
struct ORV_DEVICE_INFO {
    uint32_t index;
    char id[512];
    char vendor[512];
    char model[512];
    char displayName[512];
    char tlType[512];
    int32_t accessStatus;   // ORV_ACCESS_STATUS_*, or another value for unknown
    char userDefinedName[512];
    char serialNumber[512];
    char version[512];
    char ipAddress[512];
    uint8_t macAddress[8];
    char subnet[512];       // IPv4 dotted text, empty for non-GEV devices
    char gateway[512];
};

// One image, filled by OrvStreamBufferGetInfo. Holds addresses: only field
// names and sizeof may be relied on, never byte offsets.
struct ORV_BUFFER_INFO {
    void* pixels;           // first image byte
    void* secondBlock;      // 0 in records the SDK fills
    uint32_t width;
    uint32_t height;
    uint32_t size;          // bytes of the image at pixels
    uint32_t status;        // 1 complete, 7 incomplete
    uint64_t pixelType;     // low word: SDK pixel type, high word: second format word
    uint64_t imageId;
    uint64_t timestamp;
    uint32_t payloadType;   // 1 image
    uint32_t lostPackets;
    uint64_t acquisitionCounter;
    uint8_t reserved[8];
};

// Data-stream information, 1072 bytes, filled by OrvStreamGetInfo.
struct ORV_DS_INFO {
    char streamId[512];
    uint64_t deliveredFrameCount;
    uint64_t lostFrameCount;
    uint32_t announcedBuffers;
    uint32_t queuedBuffers;
    uint32_t awaitingDelivery;
    uint32_t payloadSize;
    uint8_t acquisitionRunning;
    uint8_t payloadSizeValid; // non-zero when payloadSize is valid
    uint8_t reserved[526];
};

// Feature information, 2664 bytes, filled by OrvFeatureGetInfo.
struct ORV_FEATURE_INFO {
    uint8_t interfaceType;  // ORV_FEATURE_TYPE_*
    char name[512];
    char rootName[512];
    char displayName[512];
    char toolTip[512];
    uint8_t level;
    uint8_t visibility;     // 0 Beginner, 1 Expert, 2 Guru, 3 invisible
    uint8_t isAvailable;
    uint8_t isReadable;
    uint8_t isLocked;
    uint8_t isWritable;
    uint8_t isImplemented;
    int64_t intMin;
    int64_t intMax;
    int64_t intInc;
    double floatMin;
    double floatMax;
    double floatInc;
    uint8_t representation;   // 4 hex, 5 IPv4, 6 MAC, 7 undefined, others decimal
    uint8_t displayNotation;  // 1 fixed, 2 scientific, other automatic
    uint8_t reserved1[6];
    int32_t displayPrecision;
    uint8_t reserved2[4];
    int32_t maxLength;
    uint8_t reserved3[4];
    int32_t enumIndex;        // enumCount when the value matches no available entry
    uint8_t reserved4[4];
    int64_t enumCount;
    uint64_t registerLength;
    char unit[512];
};

// Event type 4, 546 bytes. The numeric fields are big-endian byte arrays,
// as the camera sent them.
struct ORV_EVENT_REMOTE_DEVICE_DATA {
    uint8_t header[8];
    uint8_t eventId[2];
    uint8_t streamChannel[2];
    uint8_t blockId[2];
    uint8_t timestampHigh[4];
    uint8_t timestampLow[4];
    uint8_t data[524];
};

// Event type 4000, 260 bytes.
struct ORV_EVENT_DEVICE_CONNECTION_DATA {
    uint32_t connectionState; // 0 disconnected, 1 connected, 2 reconnected, 3 lost
    char deviceId[256];
};

// Event type 5000, 32 bytes, host byte order.
struct ORV_EVENT_DS_ACQUISITION_DATA {
    int32_t signalType;       // 0 none, 1 completed, 2 abandoned, 3 start, 4 bandwidth, 7 incomplete
    uint32_t imageId;         // low 32 bits of the image ID
    uint64_t timestamp;
    uint32_t payloadSize;
    uint32_t bufferStatus;
    uint8_t reserved[8];
};

static_assert(offsetof(ORV_TL_INFO, id) == 0);
static_assert(offsetof(ORV_TL_INFO, vendor) == 512);
static_assert(offsetof(ORV_TL_INFO, model) == 1024);
static_assert(offsetof(ORV_TL_INFO, version) == 1536);
static_assert(offsetof(ORV_TL_INFO, tlType) == 2048);
static_assert(offsetof(ORV_TL_INFO, name) == 2560);
static_assert(offsetof(ORV_TL_INFO, fullPath) == 3072);
static_assert(offsetof(ORV_TL_INFO, displayName) == 3584);
static_assert(offsetof(ORV_TL_INFO, genTLVersionMajor) == 4096);
static_assert(sizeof(ORV_TL_INFO) == 4108);

static_assert(offsetof(ORV_INTERFACE_INFO, index) == 0);
static_assert(offsetof(ORV_INTERFACE_INFO, id) == 4);
static_assert(offsetof(ORV_INTERFACE_INFO, displayName) == 516);
static_assert(offsetof(ORV_INTERFACE_INFO, tlType) == 1028);
static_assert(offsetof(ORV_INTERFACE_INFO, subnet) == 2052);
static_assert(offsetof(ORV_INTERFACE_INFO, subnetMask) == 2564);
static_assert(sizeof(ORV_INTERFACE_INFO) == 3076);

static_assert(offsetof(ORV_DEVICE_INFO, index) == 0);
static_assert(offsetof(ORV_DEVICE_INFO, id) == 4);
static_assert(offsetof(ORV_DEVICE_INFO, vendor) == 516);
static_assert(offsetof(ORV_DEVICE_INFO, model) == 1028);
static_assert(offsetof(ORV_DEVICE_INFO, displayName) == 1540);
static_assert(offsetof(ORV_DEVICE_INFO, tlType) == 2052);
static_assert(offsetof(ORV_DEVICE_INFO, accessStatus) == 2564);
static_assert(offsetof(ORV_DEVICE_INFO, userDefinedName) == 2568);
static_assert(offsetof(ORV_DEVICE_INFO, serialNumber) == 3080);
static_assert(offsetof(ORV_DEVICE_INFO, version) == 3592);
static_assert(offsetof(ORV_DEVICE_INFO, ipAddress) == 4104);
static_assert(offsetof(ORV_DEVICE_INFO, macAddress) == 4616);
static_assert(offsetof(ORV_DEVICE_INFO, subnet) == 4624);
static_assert(offsetof(ORV_DEVICE_INFO, gateway) == 5136);
static_assert(sizeof(ORV_DEVICE_INFO) == 5648);

// ORV_BUFFER_INFO: field order and native pointer width only.
static_assert(offsetof(ORV_BUFFER_INFO, pixels) == 0);
static_assert(offsetof(ORV_BUFFER_INFO, secondBlock) == sizeof(void*));
static_assert(offsetof(ORV_BUFFER_INFO, width) == 2 * sizeof(void*));
static_assert(offsetof(ORV_BUFFER_INFO, height) == offsetof(ORV_BUFFER_INFO, width) + 4);
static_assert(offsetof(ORV_BUFFER_INFO, size) == offsetof(ORV_BUFFER_INFO, height) + 4);
static_assert(offsetof(ORV_BUFFER_INFO, status) == offsetof(ORV_BUFFER_INFO, size) + 4);
static_assert(offsetof(ORV_BUFFER_INFO, pixelType) == offsetof(ORV_BUFFER_INFO, status) + 4);
static_assert(offsetof(ORV_BUFFER_INFO, imageId) == offsetof(ORV_BUFFER_INFO, pixelType) + 8);
static_assert(offsetof(ORV_BUFFER_INFO, timestamp) == offsetof(ORV_BUFFER_INFO, imageId) + 8);
static_assert(offsetof(ORV_BUFFER_INFO, payloadType) == offsetof(ORV_BUFFER_INFO, timestamp) + 8);
static_assert(sizeof(ORV_BUFFER_INFO) == offsetof(ORV_BUFFER_INFO, payloadType) + 24);

static_assert(offsetof(ORV_DS_INFO, deliveredFrameCount) == 512);
static_assert(offsetof(ORV_DS_INFO, lostFrameCount) == 520);
static_assert(offsetof(ORV_DS_INFO, announcedBuffers) == 528);
static_assert(offsetof(ORV_DS_INFO, queuedBuffers) == 532);
static_assert(offsetof(ORV_DS_INFO, awaitingDelivery) == 536);
static_assert(offsetof(ORV_DS_INFO, payloadSize) == 540);
static_assert(offsetof(ORV_DS_INFO, acquisitionRunning) == 544);
static_assert(offsetof(ORV_DS_INFO, payloadSizeValid) == 545);
static_assert(offsetof(ORV_DS_INFO, reserved) == 546);
static_assert(sizeof(ORV_DS_INFO) == 1072);

static_assert(offsetof(ORV_FEATURE_INFO, interfaceType) == 0x000);
static_assert(offsetof(ORV_FEATURE_INFO, name) == 0x001);
static_assert(offsetof(ORV_FEATURE_INFO, rootName) == 0x201);
static_assert(offsetof(ORV_FEATURE_INFO, displayName) == 0x401);
static_assert(offsetof(ORV_FEATURE_INFO, toolTip) == 0x601);
static_assert(offsetof(ORV_FEATURE_INFO, level) == 0x801);
static_assert(offsetof(ORV_FEATURE_INFO, visibility) == 0x802);
static_assert(offsetof(ORV_FEATURE_INFO, isAvailable) == 0x803);
static_assert(offsetof(ORV_FEATURE_INFO, isReadable) == 0x804);
static_assert(offsetof(ORV_FEATURE_INFO, isLocked) == 0x805);
static_assert(offsetof(ORV_FEATURE_INFO, isWritable) == 0x806);
static_assert(offsetof(ORV_FEATURE_INFO, intMin) == 0x808);
static_assert(offsetof(ORV_FEATURE_INFO, intMax) == 0x810);
static_assert(offsetof(ORV_FEATURE_INFO, intInc) == 0x818);
static_assert(offsetof(ORV_FEATURE_INFO, floatMin) == 0x820);
static_assert(offsetof(ORV_FEATURE_INFO, floatMax) == 0x828);
static_assert(offsetof(ORV_FEATURE_INFO, floatInc) == 0x830);
static_assert(offsetof(ORV_FEATURE_INFO, representation) == 0x838);
static_assert(offsetof(ORV_FEATURE_INFO, displayNotation) == 0x839);
static_assert(offsetof(ORV_FEATURE_INFO, displayPrecision) == 0x840);
static_assert(offsetof(ORV_FEATURE_INFO, maxLength) == 0x848);
static_assert(offsetof(ORV_FEATURE_INFO, enumIndex) == 0x850);
static_assert(offsetof(ORV_FEATURE_INFO, enumCount) == 0x858);
static_assert(offsetof(ORV_FEATURE_INFO, registerLength) == 0x860);
static_assert(offsetof(ORV_FEATURE_INFO, unit) == 0x868);
static_assert(sizeof(ORV_FEATURE_INFO) == 2664);

static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, eventId) == 8);
static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, streamChannel) == 10);
static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, blockId) == 12);
static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, timestampHigh) == 14);
static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, timestampLow) == 18);
static_assert(offsetof(ORV_EVENT_REMOTE_DEVICE_DATA, data) == 22);
static_assert(sizeof(ORV_EVENT_REMOTE_DEVICE_DATA) == 546);

static_assert(offsetof(ORV_EVENT_DEVICE_CONNECTION_DATA, connectionState) == 0);
static_assert(offsetof(ORV_EVENT_DEVICE_CONNECTION_DATA, deviceId) == 4);
static_assert(sizeof(ORV_EVENT_DEVICE_CONNECTION_DATA) == 260);

static_assert(offsetof(ORV_EVENT_DS_ACQUISITION_DATA, signalType) == 0);
static_assert(offsetof(ORV_EVENT_DS_ACQUISITION_DATA, imageId) == 4);
static_assert(offsetof(ORV_EVENT_DS_ACQUISITION_DATA, timestamp) == 8);
static_assert(offsetof(ORV_EVENT_DS_ACQUISITION_DATA, payloadSize) == 16);
static_assert(sizeof(ORV_EVENT_DS_ACQUISITION_DATA) == 32);

// ---------------------------------------------------------------------------
// The 91 functions in table order. Every one returns int, 0 on success.
//
// X(row, name, returnType, (parameter declarations), (argument names))
//
// Row 85 (OrvStreamGetInfo) is optional; every other row must be exported.
// ---------------------------------------------------------------------------
#define ORV_SDK_FUNCTIONS(X) \
    X(1, OrvLibInit, int, (const char* tlSearchPath, const char* genicamRoot, const char* genicamCache, const char* clProtocolFolder), (tlSearchPath, genicamRoot, genicamCache, clProtocolFolder)) \
    X(2, OrvLibSystemGetCount, int, (uint32_t* count), (count)) \
    X(3, OrvLibSystemGetInfo, int, (uint32_t index, ORV_TL_INFO* info), (index, info)) \
    X(4, OrvLibSystemOpen, int, (uint32_t index, ORV_SYSTEM_HANDLE* system), (index, system)) \
    X(5, OrvLibClose, int, (void), ()) \
    X(6, OrvSystemGetInfo, int, (ORV_SYSTEM_HANDLE system, ORV_TL_INFO* info), (system, info)) \
    X(7, OrvSystemUpdateInterfaceList, int, (ORV_SYSTEM_HANDLE system, bool* changed, uint32_t timeoutMs), (system, changed, timeoutMs)) \
    X(8, OrvSystemGetNumInterfaces, int, (ORV_SYSTEM_HANDLE system, uint32_t* count), (system, count)) \
    X(9, OrvSystemGetInterfaceId, int, (ORV_SYSTEM_HANDLE system, uint32_t index, char* id, size_t* size), (system, index, id, size)) \
    X(10, OrvSystemInterfaceGetInfo, int, (ORV_SYSTEM_HANDLE system, const char* interfaceId, ORV_INTERFACE_INFO* info), (system, interfaceId, info)) \
    X(11, OrvSystemInterfaceOpen, int, (ORV_SYSTEM_HANDLE system, const char* interfaceId, ORV_INTERFACE_HANDLE* iface), (system, interfaceId, iface)) \
    X(12, OrvSystemClose, int, (ORV_SYSTEM_HANDLE system), (system)) \
    X(13, OrvInterfaceGetInfo, int, (ORV_INTERFACE_HANDLE iface, ORV_INTERFACE_INFO* info), (iface, info)) \
    X(14, OrvInterfaceUpdateDeviceList, int, (ORV_INTERFACE_HANDLE iface, bool* changed, uint32_t timeoutMs), (iface, changed, timeoutMs)) \
    X(15, OrvInterfaceGetNumDevices, int, (ORV_INTERFACE_HANDLE iface, uint32_t* count), (iface, count)) \
    X(16, OrvInterfaceGetDeviceId, int, (ORV_INTERFACE_HANDLE iface, uint32_t index, char* id, size_t* size), (iface, index, id, size)) \
    X(17, OrvInterfaceDeviceGetInfo, int, (ORV_INTERFACE_HANDLE iface, const char* deviceId, ORV_DEVICE_INFO* info), (iface, deviceId, info)) \
    X(18, OrvInterfaceDeviceOpen, int, (ORV_INTERFACE_HANDLE iface, const char* deviceId, uint32_t accessMode, ORV_DEVICE_HANDLE* device, ORV_REMOTE_DEVICE_HANDLE* remoteDevice), (iface, deviceId, accessMode, device, remoteDevice)) \
    X(19, OrvInterfaceClose, int, (ORV_INTERFACE_HANDLE iface), (iface)) \
    X(20, OrvDeviceGetInfo, int, (ORV_DEVICE_HANDLE device, ORV_DEVICE_INFO* info), (device, info)) \
    X(21, OrvDeviceGetNumStreams, int, (ORV_DEVICE_HANDLE device, uint32_t* count), (device, count)) \
    X(22, OrvDeviceGetStreamId, int, (ORV_DEVICE_HANDLE device, uint32_t index, char* id, size_t* size), (device, index, id, size)) \
    X(23, OrvDeviceSaveSettings, int, (ORV_DEVICE_HANDLE device, const char* fileName), (device, fileName)) \
    X(24, OrvDeviceLoadSettings, int, (ORV_DEVICE_HANDLE device, const char* fileName), (device, fileName)) \
    X(25, OrvDeviceRead, int, (ORV_MODULE_HANDLE module, uint64_t address, void* buffer, size_t* length), (module, address, buffer, length)) \
    X(26, OrvDeviceWrite, int, (ORV_MODULE_HANDLE module, uint64_t address, const void* buffer, size_t* length), (module, address, buffer, length)) \
    X(27, OrvDeviceStreamOpen, int, (ORV_DEVICE_HANDLE device, const char* streamId, ORV_STREAM_HANDLE* stream), (device, streamId, stream)) \
    X(28, OrvDeviceClose, int, (ORV_DEVICE_HANDLE device), (device)) \
    X(29, OrvStreamAcquisitionStart, int, (ORV_STREAM_HANDLE stream, uint32_t flags, uint64_t imageCount), (stream, flags, imageCount)) \
    X(30, OrvStreamAcquisitionStop, int, (ORV_STREAM_HANDLE stream, uint32_t flags), (stream, flags)) \
    X(31, OrvStreamAnnounceBuffer, int, (ORV_STREAM_HANDLE stream, void* buffer, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle), (stream, buffer, size, userPointer, bufferHandle)) \
    X(32, OrvStreamAllocAndAnnounceBuffer, int, (ORV_STREAM_HANDLE stream, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle), (stream, size, userPointer, bufferHandle)) \
    X(33, OrvStreamRevokeBuffer, int, (ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, void** bufferData, void** userPointer), (stream, bufferHandle, bufferData, userPointer)) \
    X(34, OrvStreamQueueBuffer, int, (ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle), (stream, bufferHandle)) \
    X(35, OrvStreamGetBufferId, int, (ORV_STREAM_HANDLE stream, uint32_t index, ORV_BUFFER_HANDLE* bufferHandle), (stream, index, bufferHandle)) \
    X(36, OrvStreamFlushQueue, int, (ORV_STREAM_HANDLE stream, uint32_t operation), (stream, operation)) \
    X(37, OrvStreamWaitForNewBuffer, int, (ORV_STREAM_HANDLE stream, void** userPointer, ORV_BUFFER_HANDLE* bufferHandle, uint32_t timeoutMs), (stream, userPointer, bufferHandle, timeoutMs)) \
    X(38, OrvStreamBufferGetInfo, int, (ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, ORV_BUFFER_INFO* info), (stream, bufferHandle, info)) \
    X(39, OrvStreamClose, int, (ORV_STREAM_HANDLE stream), (stream)) \
    X(40, OrvFeatureGetByName, int, (ORV_MODULE_HANDLE module, const char* name, ORV_FEATURE_HANDLE* feature), (module, name, feature)) \
    X(41, OrvFeatureGetByIndex, int, (ORV_MODULE_HANDLE module, uint32_t index, ORV_FEATURE_HANDLE* feature), (module, index, feature)) \
    X(42, OrvFeatureGetInfo, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO* info), (module, feature, info)) \
    X(43, OrvFeatureGetValueBool, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool* value, bool verify, bool ignoreCache), (module, feature, value, verify, ignoreCache)) \
    X(44, OrvFeatureGetValueInt64, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache), (module, feature, value, verify, ignoreCache)) \
    X(45, OrvFeatureGetValueFloat, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double* value, bool verify, bool ignoreCache), (module, feature, value, verify, ignoreCache)) \
    X(46, OrvFeatureGetValueString, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size, bool verify, bool ignoreCache), (module, feature, buffer, size, verify, ignoreCache)) \
    X(47, OrvFeatureGetRegister, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* buffer, size_t* length), (module, feature, buffer, length)) \
    X(48, OrvFeatureGetValueInt64Enum, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache), (module, feature, value, verify, ignoreCache)) \
    X(49, OrvFeatureSetValueBool, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool value, bool verify), (module, feature, value, verify)) \
    X(50, OrvFeatureSetValueInt64, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t value, bool verify), (module, feature, value, verify)) \
    X(51, OrvFeatureSetValueFloat, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double value, bool verify), (module, feature, value, verify)) \
    X(52, OrvFeatureSetValueString, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* value, bool verify), (module, feature, value, verify)) \
    X(53, OrvFeatureSetRegister, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* buffer, size_t* length), (module, feature, buffer, length)) \
    X(54, OrvFeatureSetValueInt64Enum, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t entryValue, bool verify), (module, feature, entryValue, verify)) \
    X(55, OrvFeatureCommandExecute, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, uint32_t timeoutMs, bool verify), (module, feature, timeoutMs, verify)) \
    X(56, OrvFeatureEnumSubFeatures, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int32_t index, char* name, uint32_t size, int64_t* value), (module, feature, index, name, size, value)) \
    X(57, OrvFeatureRegisterInvalidateCB, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK callback), (module, feature, context, callback)) \
    X(58, OrvFeatureUnRegisterInvalidateCB, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature), (module, feature)) \
    X(59, OrvUtilBuffer12BitTo8Bit, int, (ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize), (source, destination, destinationSize)) \
    X(60, OrvUtilBuffer12BitTo16Bit, int, (ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize), (source, destination, destinationSize)) \
    X(61, OrvUtilBuffer16BitTo8Bit, int, (ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize), (source, destination, destinationSize)) \
    X(62, OrvUtilBufferBayerToRGB, int, (ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize), (source, destination, destinationSize)) \
    X(63, JotwellRegister, int, (const char* moduleName, uint32_t levelMask), (moduleName, levelMask)) \
    X(64, JotwellEnableWindbg, int, (bool on), (on)) \
    X(65, JotwellEnableFileLogging, int, (bool on, const char* path), (on, path)) \
    X(66, JotwellSetGlobalDebugLevel, int, (uint32_t mask), (mask)) \
    X(67, JotwellTraceA, int, (const char* moduleName, uint32_t level, const char* format, va_list arguments), (moduleName, level, format, arguments)) \
    X(68, OrvUtilBufferBayerToRGB32, int, (ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize), (source, destination, destinationSize)) \
    X(69, OrvLibIsVersionCompliant, int, (uint32_t major, uint32_t minor, bool* compliant), (major, minor, compliant)) \
    X(70, OrvFeatureGetValueEnum, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* entryName, uint32_t size, bool verify, bool ignoreCache), (module, feature, entryName, size, verify, ignoreCache)) \
    X(71, OrvFeatureSetValueEnum, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* entryName, bool verify), (module, feature, entryName, verify)) \
    X(72, OrvDeviceSaveSettingsToString, int, (ORV_DEVICE_HANDLE device, char* buffer, size_t* size), (device, buffer, size)) \
    X(73, OrvDeviceLoadSettingsFromString, int, (ORV_DEVICE_HANDLE device, const char* text), (device, text)) \
    X(74, OrvFeatureListRefresh, int, (ORV_MODULE_HANDLE module), (module)) \
    X(75, OrvUtilSaveImageToPNGFile, int, (const ORV_BUFFER_INFO* image, const char* fileName), (image, fileName)) \
    X(76, OrvFeatureGetDescription, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size), (module, feature, buffer, size)) \
    X(77, OrvFeatureRegisterInvalidateCB2, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK2 callback), (module, feature, context, callback)) \
    X(78, OrvEventRegister, int, (ORV_MODULE_HANDLE module, int32_t eventType, ORV_EVENT_HANDLE* event), (module, eventType, event)) \
    X(79, OrvEventUnRegister, int, (ORV_MODULE_HANDLE module, int32_t eventType), (module, eventType)) \
    X(80, OrvEventWait, int, (ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, void* buffer, size_t* size, uint64_t timeoutMs), (module, event, buffer, size, timeoutMs)) \
    X(81, OrvEventGetInfo, int, (ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, uint32_t command, void* buffer, size_t* size), (module, event, command, buffer, size)) \
    X(82, OrvEventFlush, int, (ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event), (module, event)) \
    X(83, OrvEventKill, int, (ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event), (module, event)) \
    X(84, OrvUtilSaveImageToFile, int, (const ORV_BUFFER_INFO* image, const char* fileName, int32_t fileType), (image, fileName, fileType)) \
    X(85, OrvStreamGetInfo, int, (ORV_STREAM_HANDLE stream, ORV_DS_INFO* info), (stream, info)) \
    X(86, OrvRegisterDeviceWrite, int, (ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* data, size_t* length, uint32_t mode, uint32_t offset), (module, feature, data, length, mode, offset)) \
    X(87, OrvDeviceSaveFile, int, (ORV_MODULE_HANDLE module, const char* localPath, const char* deviceFileName, const char* fileSelectorEntry, void* transfer), (module, localPath, deviceFileName, fileSelectorEntry, transfer)) \
    X(88, OrvDeviceLoadFile, int, (ORV_MODULE_HANDLE module, const char* deviceFileName, const char* localPath, const char* fileSelectorEntry, void* transfer), (module, deviceFileName, localPath, fileSelectorEntry, transfer)) \
    X(89, OrvDeviceDeleteFile, int, (ORV_MODULE_HANDLE module, const char* deviceFileName, const char* fileSelectorEntry), (module, deviceFileName, fileSelectorEntry)) \
    X(90, OrvDeviceRegisterFileAccessCB, int, (ORV_MODULE_HANDLE module, void* context, ORV_FILE_ACCESS_CALLBACK callback), (module, context, callback)) \
    X(91, OrvDeviceUnRegisterFileAccessCB, int, (ORV_MODULE_HANDLE module), (module))

constexpr int ORV_SDK_FUNCTION_COUNT = 91;
constexpr int ORV_SDK_OPTIONAL_ROW = 85; // OrvStreamGetInfo

// One pointer type per function: OrvLibInitFn, OrvLibSystemGetCountFn, ...
#define ORV_SDK_DECLARE_POINTER_TYPE(row, name, ret, params, args) typedef ret(*name##Fn) params;
ORV_SDK_FUNCTIONS(ORV_SDK_DECLARE_POINTER_TYPE)
#undef ORV_SDK_DECLARE_POINTER_TYPE

// Export names in table order; index = row - 1.
#define ORV_SDK_NAME_ENTRY(row, name, ret, params, args) #name,
inline constexpr const char* ORV_SDK_FUNCTION_NAMES[ORV_SDK_FUNCTION_COUNT] = {
    ORV_SDK_FUNCTIONS(ORV_SDK_NAME_ENTRY)
};
#undef ORV_SDK_NAME_ENTRY

namespace orv_sdk_detail {
#define ORV_SDK_ROW_ENTRY(row, name, ret, params, args) row,
inline constexpr int rows[] = {ORV_SDK_FUNCTIONS(ORV_SDK_ROW_ENTRY)};
#undef ORV_SDK_ROW_ENTRY
constexpr bool rowsInOrder()
{
    for (int i = 0; i < ORV_SDK_FUNCTION_COUNT; ++i)
        if (rows[i] != i + 1)
            return false;
    return sizeof(rows) / sizeof(rows[0]) == ORV_SDK_FUNCTION_COUNT;
}
static_assert(rowsInOrder(), "the function list must hold rows 1 to 91 in order");
} // namespace orv_sdk_detail

#endif // ORVSDK_H
