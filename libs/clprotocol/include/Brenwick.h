/* Brenwick: Camera Link protocol driver (CLProtocol 1.1 C interface) that
 * talks GenCP to cameras over the host's Camera Link serial port. */
#ifndef BRENWICK_H
#define BRENWICK_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(BRENWICK_BUILDING)
#define BRENWICK_API __attribute__((visibility("default")))
#else
#define BRENWICK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The host's serial port object: a pointer to four functions, each called
 * with the object itself first. A host embeds CLSerialPort as the first
 * member of its own port record. Results: 0, -10004 time-out, or another
 * Camera Link serial code. */
typedef struct CLSerialPort CLSerialPort;

typedef struct CLSerialPortFunctions {
    /* size: in, bytes wanted; out, bytes read (also on a time-out). */
    int32_t (*read)(CLSerialPort* port, char* buffer, uint32_t* size, uint32_t timeoutMs);
    /* size: in, bytes to write; out, bytes written (also on a time-out). */
    int32_t (*write)(CLSerialPort* port, const char* buffer, uint32_t* size, uint32_t timeoutMs);
    /* Bit mask of the rates the port supports (0x01 9600 ... 0x80 921600). */
    int32_t (*getSupportedBaudRates)(CLSerialPort* port, uint32_t* rates);
    /* Sets one rate bit of the mask. */
    int32_t (*setBaudRate)(CLSerialPort* port, uint32_t rate);
} CLSerialPortFunctions;

struct CLSerialPort {
    const CLSerialPortFunctions* functions;
};

/* Baud-rate bits. */
enum {
    CL_BAUDRATE_9600 = 0x01,
    CL_BAUDRATE_19200 = 0x02,
    CL_BAUDRATE_38400 = 0x04,
    CL_BAUDRATE_57600 = 0x08,
    CL_BAUDRATE_115200 = 0x10,
    CL_BAUDRATE_230400 = 0x20,
    CL_BAUDRATE_460800 = 0x40,
    CL_BAUDRATE_921600 = 0x80
};

/* Result codes; positive results are GenCP status codes of the camera. */
enum {
    CL_ERR_NO_ERR = 0,
    CL_ERR_NOTHING_TO_MOVE = -5,
    CL_ERR_BUFFER_TOO_SMALL = -10001,
    CL_ERR_TIMEOUT = -10004,
    CL_ERR_ERROR_NOT_FOUND = -10007,
    CL_ERR_BAUD_RATE_NOT_SUPPORTED = -10008,
    CL_ERR_INVALID_PTR = -10011,
    CL_ERR_INVALID_DEVICEID = -20100,
    CL_ERR_CONNECTING_FAILED = -20101,
    CL_ERR_NO_XMLDESCRIPTION_FOUND = -20102,
    CL_ERR_INVALID_COOKIE = -20103,
    CL_ERR_GENCP_ACK_INVALID = -20104,
    CL_ERR_PARAM_NOT_SUPPORTED = -20105,
    CL_ERR_PARAM_READ_ONLY = -20106,
    CL_ERR_PARAM_WRONG_SIZE = -20107,
    CL_ERR_PARAM_INVALID_VALUE = -20108
};

/* Parameters of clpGetParam and clpSetParam. */
enum {
    CL_PARAM_LOG_LEVEL = 1,
    CL_PARAM_LOGGER = 2, /* 4 + sizeof(void*) bytes: CL_LOGGER_MAGIC, then the handle */
    CL_PARAM_BAUDRATE = -1,
    CL_PARAM_SUPPORTED_BAUDRATES = -2
};
#define CL_LOGGER_MAGIC 0xEB6E1CA9u

/* Pseudo registers of clpReadRegister and clpWriteRegister. */
#define CL_REG_BAUDRATES 0xFFFF0000ll
#define CL_REG_BAUDRATE_FIRST 0xFFFF000F0000ll
#define CL_REG_BAUDRATE_LAST 0xFFFF000FFFFFll
#define CL_BAUDRATE_HIGHEST 0x40000000u

BRENWICK_API int32_t clpInitLib(void* logger, int32_t logLevel);
BRENWICK_API int32_t clpCloseLib(void);
BRENWICK_API int32_t clpGetShortDeviceIDTemplates(char* pShortDeviceTemplates, uint32_t* pBufferSize);
BRENWICK_API int32_t clpProbeDevice(CLSerialPort* serial, const char* pDeviceIDTemplate, char* pDeviceID,
                                    uint32_t* pBufferSize, int32_t* pCookie, uint32_t timeoutMs);
BRENWICK_API int32_t clpGetXMLIDs(CLSerialPort* serial, int32_t cookie, char* pXMLIDs, uint32_t* pBufferSize,
                                  uint32_t timeoutMs);
BRENWICK_API int32_t clpGetXMLDescription(CLSerialPort* serial, int32_t cookie, const char* pXMLID,
                                          char* pXMLBuffer, uint32_t* pBufferSize, uint32_t timeoutMs);
BRENWICK_API int32_t clpReadRegister(CLSerialPort* serial, int32_t cookie, int64_t address, char* pBuffer,
                                     int64_t length, uint32_t timeoutMs);
BRENWICK_API int32_t clpWriteRegister(CLSerialPort* serial, int32_t cookie, int64_t address, const char* pBuffer,
                                      int64_t length, uint32_t timeoutMs);
BRENWICK_API int32_t clpContinueWriteRegister(CLSerialPort* serial, int32_t cookie, bool continueWaiting);
BRENWICK_API int32_t clpGetErrorText(int32_t errorCode, char* errorText, uint32_t* pBufferSize, int32_t cookie);
BRENWICK_API int32_t clpDisconnect(int32_t cookie);
BRENWICK_API int32_t clpGetCLProtocolVersion(uint32_t* versionMajor, uint32_t* versionMinor);
BRENWICK_API int32_t clpGetParam(CLSerialPort* serial, int32_t param, int32_t cookie, void* pBuffer,
                                 int64_t bufferSize, uint32_t timeoutMs);
BRENWICK_API int32_t clpSetParam(CLSerialPort* serial, int32_t param, int32_t cookie, const void* pBuffer,
                                 int64_t bufferSize, uint32_t timeoutMs);
BRENWICK_API int32_t clpIsParamSupported(int32_t param);

#ifdef __cplusplus
}
#endif

#endif
