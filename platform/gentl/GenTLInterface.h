// The GenICam GenTL producer interface as the suite speaks it: handles,
// result codes, info data types and commands, and the C signature of each
// producer call that the IP tool makes and the simulated producers serve,
// with the maker's two IP configuration calls.
#ifndef GENTLINTERFACE_H
#define GENTLINTERFACE_H

#include <cstddef>
#include <cstdint>

namespace GenTL {

typedef int32_t GC_ERROR;
typedef void* TL_HANDLE;
typedef void* IF_HANDLE;
typedef void* DEV_HANDLE;
typedef void* DS_HANDLE;
typedef void* PORT_HANDLE;
typedef void* BUFFER_HANDLE;
typedef void* EVENT_HANDLE;
typedef uint8_t bool8_t;
typedef int32_t INFO_DATATYPE;

enum : GC_ERROR {
    GC_ERR_SUCCESS = 0,
    GC_ERR_ERROR = -1001,
    GC_ERR_NOT_INITIALIZED = -1002,
    GC_ERR_NOT_IMPLEMENTED = -1003,
    GC_ERR_RESOURCE_IN_USE = -1004,
    GC_ERR_ACCESS_DENIED = -1005,
    GC_ERR_INVALID_HANDLE = -1006,
    GC_ERR_INVALID_ID = -1007,
    GC_ERR_NO_DATA = -1008,
    GC_ERR_INVALID_PARAMETER = -1009,
    GC_ERR_IO = -1010,
    GC_ERR_TIMEOUT = -1011,
    GC_ERR_ABORT = -1012,
    GC_ERR_INVALID_BUFFER = -1013,
    GC_ERR_NOT_AVAILABLE = -1014,
    GC_ERR_INVALID_ADDRESS = -1015,
    GC_ERR_BUFFER_TOO_SMALL = -1016,
};

enum : INFO_DATATYPE {
    INFO_DATATYPE_UNKNOWN = 0,
    INFO_DATATYPE_STRING = 1,
    INFO_DATATYPE_UINT32 = 6,
    INFO_DATATYPE_UINT64 = 8,
};

// Interface info commands; 0xA000 on are the maker's.
enum : int32_t {
    INTERFACE_INFO_ID = 0,
    INTERFACE_INFO_DISPLAYNAME = 1,
    INTERFACE_INFO_TLTYPE = 2,
    INTERFACE_INFO_MAC_TEXT = 0xA000,
    INTERFACE_INFO_IP_TEXT = 0xA001,
    INTERFACE_INFO_MASK_TEXT = 0xA002,
    INTERFACE_INFO_GATEWAY_TEXT = 0xA003,
};

// Device info commands; 0xB000 on are the maker's.
enum : int32_t {
    DEVICE_INFO_ID = 0,
    DEVICE_INFO_VENDOR = 1,
    DEVICE_INFO_MODEL = 2,
    DEVICE_INFO_TLTYPE = 3,
    DEVICE_INFO_DISPLAYNAME = 4,
    DEVICE_INFO_ACCESS_STATUS = 5,
    DEVICE_INFO_USER_DEFINED_NAME = 6,
    DEVICE_INFO_SERIAL_NUMBER = 7,
    DEVICE_INFO_VERSION = 8,
    DEVICE_INFO_MAC = 0xB000,
    DEVICE_INFO_IP = 0xB001,
    DEVICE_INFO_MASK = 0xB002,
    DEVICE_INFO_GATEWAY = 0xB003,
    DEVICE_INFO_IP_FLAGS = 0xB004,
    DEVICE_INFO_IP_FLAGS_SUPPORTED = 0xB005,
    DEVICE_INFO_PERSISTENT_IP = 0xB006,
    DEVICE_INFO_PERSISTENT_MASK = 0xB007,
    DEVICE_INFO_PERSISTENT_GATEWAY = 0xB008,
};

// Access asked of IFOpenDevice.
enum : int32_t { DEVICE_ACCESS_CONTROL = 3 };

// Signatures of the producer calls.
using GCInitLibFn = GC_ERROR();
using GCCloseLibFn = GC_ERROR();
using TLOpenFn = GC_ERROR(TL_HANDLE* tl);
using TLCloseFn = GC_ERROR(TL_HANDLE tl);
using TLUpdateInterfaceListFn = GC_ERROR(TL_HANDLE tl, bool8_t* changed, uint64_t timeoutMs);
using TLGetNumInterfacesFn = GC_ERROR(TL_HANDLE tl, uint32_t* count);
using TLGetInterfaceIDFn = GC_ERROR(TL_HANDLE tl, uint32_t index, char* id, size_t* size);
using TLOpenInterfaceFn = GC_ERROR(TL_HANDLE tl, const char* id, IF_HANDLE* iface);
using IFCloseFn = GC_ERROR(IF_HANDLE iface);
using IFGetInfoFn = GC_ERROR(IF_HANDLE iface, int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size);
using IFUpdateDeviceListFn = GC_ERROR(IF_HANDLE iface, bool8_t* changed, uint64_t timeoutMs);
using IFGetNumDevicesFn = GC_ERROR(IF_HANDLE iface, uint32_t* count);
using IFGetDeviceIDFn = GC_ERROR(IF_HANDLE iface, uint32_t index, char* id, size_t* size);
using IFGetDeviceInfoFn = GC_ERROR(IF_HANDLE iface, const char* deviceId, int32_t command, INFO_DATATYPE* type,
                                   void* buffer, size_t* size);
using IFOpenDeviceFn = GC_ERROR(IF_HANDLE iface, const char* deviceId, int32_t access, DEV_HANDLE* device);
using DevGetInfoFn = GC_ERROR(DEV_HANDLE device, int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size);
using DevCloseFn = GC_ERROR(DEV_HANDLE device);
using OrvForceIPConfigFn = GC_ERROR(IF_HANDLE iface, const char* deviceId, uint32_t ip, uint32_t mask,
                                    uint32_t gateway);
using OrvSetIPConfigFn = GC_ERROR(DEV_HANDLE device, bool8_t dhcp, bool8_t persistentIp, uint32_t ip, uint32_t mask,
                                  uint32_t gateway);

} // namespace GenTL

#endif // GENTLINTERFACE_H
