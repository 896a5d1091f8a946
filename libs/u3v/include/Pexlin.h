/* libPexlin.so: USB3 Vision cameras for host programs. */
#ifndef PEXLIN_H
#define PEXLIN_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PEXLIN_BUILDING)
#define PEXLIN_API __attribute__((visibility("default")))
#else
#define PEXLIN_API
#endif

typedef uint16_t U3V_STATUS;

#define U3V_STATUS_SUCCESS 0x0000
#define U3V_STATUS_TRANSFER_FAILED 0x800B
#define U3V_STATUS_WRONG_LENGTH 0x800E
#define U3V_STATUS_OPEN_FAILED 0xC001
#define U3V_STATUS_NO_CONFIGURATION 0xC002
#define U3V_STATUS_NO_INTERFACES 0xC003
#define U3V_STATUS_CONFIG_DESCRIPTOR 0xC004
#define U3V_STATUS_STRING_DESCRIPTOR 0xC005
#define U3V_STATUS_CLAIM_CONTROL 0xC006
#define U3V_STATUS_CONTROL_NOT_OPEN 0xC007
#define U3V_STATUS_WRONG_PREFIX 0xC008
#define U3V_STATUS_WRONG_COMMAND 0xC009
#define U3V_STATUS_WRONG_REQUEST_ID 0xC00A
#define U3V_STATUS_XML_SIZE 0xC00B
#define U3V_STATUS_XML_READ 0xC00C
#define U3V_STATUS_FILE_OPEN 0xC00D
#define U3V_STATUS_FILE_WRITE 0xC00E
#define U3V_STATUS_MANIFEST_WRITE 0xC00F
#define U3V_STATUS_NO_EVENT_INTERFACE 0xC010
#define U3V_STATUS_CLAIM_EVENT 0xC011
#define U3V_STATUS_EVENT_NOT_OPEN 0xC012
#define U3V_STATUS_NO_EIRM 0xC013
#define U3V_STATUS_NO_STREAM 0xC014
#define U3V_STATUS_CLAIM_STREAM 0xC015
#define U3V_STATUS_STREAM_NOT_OPEN 0xC016
#define U3V_STATUS_NO_IMAGE 0xC017
#define U3V_STATUS_IMAGE_TIMEOUT 0xC018
#define U3V_STATUS_IMAGE_INCOMPLETE 0xC019
#define U3V_STATUS_NULL_HANDLE 0xC01A
#define U3V_STATUS_EXCEPTION 0xC01B
#define U3V_STATUS_NO_DEVICE 0xC01C
#define U3V_STATUS_UNZIP_FAILED 0xC01D
#define U3V_STATUS_OUT_OF_RANGE 0xC01E

/* Log levels, also the bits of a device's log mask. */
#define U3V_LOG_INFO 1
#define U3V_LOG_WARNING 2
#define U3V_LOG_ERROR 4

#pragma pack(push, 1)
typedef struct U3V_DEVICE_INFO {
    uint32_t genCpVersion;
    uint32_t u3vVersion;
    char guid[13];
    char vendorName[64];
    char modelName[64];
    char familyName[64];
    char deviceVersion[64];
    char manufacturerInfo[64];
    char serialNumber[64];
    char userDefinedName[64];
    uint8_t speedSupport;
    uint8_t inUse;
} U3V_DEVICE_INFO;
#pragma pack(pop)

/* One delivered image, as U3V_GetImage writes it. */
#pragma pack(push, 1)
typedef struct U3V_IMAGE_INFO {
    uint64_t blockId;
    uint64_t timestamp;
    uint32_t pixelFormat;
    uint32_t sizeX;
    uint32_t sizeY;
    uint32_t offsetX;
    uint32_t offsetY;
    uint16_t paddingX;
    uint32_t missingTransfers;
} U3V_IMAGE_INFO;
#pragma pack(pop)

typedef struct U3V_Device U3V_Device;
typedef struct U3V_Control U3V_Control;
typedef struct U3V_Event U3V_Event;
typedef struct U3V_Stream U3V_Stream;

typedef void (*U3V_LOG_CALLBACK)(int32_t level, const char* text);
typedef void (*U3V_PROGRESS_CALLBACK)(int32_t percent);
/* An event: its identifier, timestamp, data length and first data word. */
typedef void (*U3V_EVENT_CALLBACK)(uint32_t eventId, uint64_t timestamp, uint32_t dataLength,
                                   uint32_t dataWord);

PEXLIN_API U3V_STATUS U3V_DiscoveryDevices(uint16_t* count);
PEXLIN_API U3V_STATUS U3V_GetDeviceInfo(uint16_t index, U3V_DEVICE_INFO* info);
PEXLIN_API U3V_STATUS U3V_OpenDevice(const char* guid, U3V_Device** device,
                                     U3V_LOG_CALLBACK log, uint8_t logMask);
PEXLIN_API U3V_STATUS U3V_CloseDevice(U3V_Device* device);
PEXLIN_API U3V_STATUS U3V_SetDetailedLog(U3V_Device* device, uint8_t mask);
PEXLIN_API U3V_STATUS U3V_GetDetailedLog(U3V_Device* device, uint8_t* mask);

PEXLIN_API U3V_STATUS U3V_OpenControl(U3V_Device* device, U3V_Control** control);
PEXLIN_API U3V_STATUS U3V_CloseControl(U3V_Control* control);
PEXLIN_API U3V_STATUS U3V_ReadMem(U3V_Control* control, uint64_t address, uint16_t count,
                                  void* data);
PEXLIN_API U3V_STATUS U3V_WriteMem(U3V_Control* control, uint64_t address, uint16_t count,
                                   const void* data);
PEXLIN_API U3V_STATUS U3V_ReadXml(U3V_Control* control, uint8_t** xml, uint32_t* size,
                                  bool dump);
PEXLIN_API U3V_STATUS U3V_WriteXml(U3V_Control* control, const char* path,
                                   uint32_t fileAddress, uint32_t manifestAddress,
                                   uint32_t fileVersion, uint32_t schemaVersion,
                                   U3V_PROGRESS_CALLBACK progress);
PEXLIN_API U3V_STATUS U3V_MaximumDeviceResponseTime(U3V_Control* control, uint32_t* ms);

PEXLIN_API U3V_STATUS U3V_OpenEvent(U3V_Device* device, U3V_Control* control, U3V_Event** event,
                                    U3V_EVENT_CALLBACK callback, uint32_t timeoutMs);
PEXLIN_API U3V_STATUS U3V_CloseEvent(U3V_Event* event);
PEXLIN_API U3V_STATUS U3V_TestEvent(U3V_Event* event);

PEXLIN_API U3V_STATUS U3V_OpenStream(U3V_Device* device, U3V_Control* control,
                                     U3V_Stream** stream, uint32_t timeoutMs);
PEXLIN_API U3V_STATUS U3V_CloseStream(U3V_Stream* stream);
PEXLIN_API U3V_STATUS U3V_AcquisitionStart(U3V_Stream* stream, uint32_t unused);
PEXLIN_API U3V_STATUS U3V_AcquisitionStop(U3V_Stream* stream, uint64_t* first, uint64_t* second);
PEXLIN_API U3V_STATUS U3V_GetImage(U3V_Stream* stream, void* buffer, uint32_t timeoutMs,
                                   U3V_IMAGE_INFO* info);
PEXLIN_API U3V_STATUS U3V_GetBufferCount(U3V_Stream* stream, uint32_t* count);
PEXLIN_API U3V_STATUS U3V_SetBufferCount(U3V_Stream* stream, uint32_t count);
PEXLIN_API U3V_STATUS U3V_GetTransferSize(U3V_Stream* stream, uint32_t* size);
PEXLIN_API U3V_STATUS U3V_SetTransferSize(U3V_Stream* stream, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* PEXLIN_H */
