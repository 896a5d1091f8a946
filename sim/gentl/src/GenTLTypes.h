// The part of the GenICam GenTL C interface that the simulated producers
// offer: handle and error types, info data types and the producer's
// exports, plus the maker's two IP functions.
#ifndef GENTLTYPES_H
#define GENTLTYPES_H

#include <cstddef>
#include <cstdint>

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

// Interface info commands.
enum : int32_t {
    INTERFACE_INFO_ID = 0,
    INTERFACE_INFO_DISPLAYNAME = 1,
    INTERFACE_INFO_TLTYPE = 2,
    INTERFACE_INFO_MAC_TEXT = 0xA000,
    INTERFACE_INFO_IP_TEXT = 0xA001,
    INTERFACE_INFO_MASK_TEXT = 0xA002,
    INTERFACE_INFO_GATEWAY_TEXT = 0xA003,
};

// Device info commands.
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

#define GENTL_EXPORT extern "C" __attribute__((visibility("default")))

// What the simulated producer implements; the other names of the producer
// table exist and answer GC_ERR_NOT_IMPLEMENTED.
GENTL_EXPORT GC_ERROR GCInitLib(void);
GENTL_EXPORT GC_ERROR GCCloseLib(void);
GENTL_EXPORT GC_ERROR TLOpen(TL_HANDLE* tl);
GENTL_EXPORT GC_ERROR TLClose(TL_HANDLE tl);
GENTL_EXPORT GC_ERROR TLUpdateInterfaceList(TL_HANDLE tl, bool8_t* changed, uint64_t timeoutMs);
GENTL_EXPORT GC_ERROR TLGetNumInterfaces(TL_HANDLE tl, uint32_t* count);
GENTL_EXPORT GC_ERROR TLGetInterfaceID(TL_HANDLE tl, uint32_t index, char* id, size_t* size);
GENTL_EXPORT GC_ERROR TLOpenInterface(TL_HANDLE tl, const char* id, IF_HANDLE* iface);
GENTL_EXPORT GC_ERROR IFClose(IF_HANDLE iface);
GENTL_EXPORT GC_ERROR IFGetInfo(IF_HANDLE iface, int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size);
GENTL_EXPORT GC_ERROR IFUpdateDeviceList(IF_HANDLE iface, bool8_t* changed, uint64_t timeoutMs);
GENTL_EXPORT GC_ERROR IFGetNumDevices(IF_HANDLE iface, uint32_t* count);
GENTL_EXPORT GC_ERROR IFGetDeviceID(IF_HANDLE iface, uint32_t index, char* id, size_t* size);
GENTL_EXPORT GC_ERROR IFGetDeviceInfo(IF_HANDLE iface, const char* deviceId, int32_t command, INFO_DATATYPE* type,
                                      void* buffer, size_t* size);
GENTL_EXPORT GC_ERROR IFOpenDevice(IF_HANDLE iface, const char* deviceId, int32_t access, DEV_HANDLE* device);
GENTL_EXPORT GC_ERROR DevGetInfo(DEV_HANDLE device, int32_t command, INFO_DATATYPE* type, void* buffer,
                                 size_t* size);
GENTL_EXPORT GC_ERROR DevClose(DEV_HANDLE device);
GENTL_EXPORT GC_ERROR OrvForceIPConfig(IF_HANDLE iface, const char* deviceId, uint32_t ip, uint32_t mask,
                                       uint32_t gateway);
GENTL_EXPORT GC_ERROR OrvSetIPConfig(DEV_HANDLE device, bool8_t dhcp, bool8_t persistentIp, uint32_t ip,
                                     uint32_t mask, uint32_t gateway);

#endif // GENTLTYPES_H
