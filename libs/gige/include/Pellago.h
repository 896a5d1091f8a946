/* Pellago: GigE Vision cameras for a host program. GVCP control of each
 * camera over UDP, a per-camera log, status texts and a version check.
 * Image streams that a packet-filter device fills, delivered through a
 * callback. Plain C interface; every call returns an OrvGigETL_STATUS, 0 on
 * success. Camera and stream handles are opaque pointer-sized values that are
 * never reused. */
#ifndef PELLAGO_H
#define PELLAGO_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(PELLAGO_BUILDING)
#define PELLAGO_API __attribute__((visibility("default")))
#else
#define PELLAGO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t OrvGigETL_STATUS;

enum {
    OrvGigETL_OK = 0,

    /* GigE Vision device statuses, passed through from acknowledges. */
    OrvGigETL_GEV_STATUS_NOT_IMPLEMENTED = 0x8001,
    OrvGigETL_GEV_STATUS_INVALID_PARAMETER = 0x8002,
    OrvGigETL_GEV_STATUS_INVALID_ADDRESS = 0x8003,
    OrvGigETL_GEV_STATUS_WRITE_PROTECTED = 0x8004,
    OrvGigETL_GEV_STATUS_BAD_ALIGNMENT = 0x8005,
    OrvGigETL_GEV_STATUS_ACCESS_DENIED = 0x8006,
    OrvGigETL_GEV_STATUS_BUSY = 0x8007,
    OrvGigETL_GEV_STATUS_LOCAL_PROBLEM = 0x8008,
    OrvGigETL_GEV_STATUS_MSG_MISMATCH = 0x8009,
    OrvGigETL_GEV_STATUS_INVALID_PROTOCOL = 0x800A,
    OrvGigETL_GEV_STATUS_NO_MSG = 0x800B,
    OrvGigETL_GEV_STATUS_PACKET_UNAVAILABLE = 0x800C,
    OrvGigETL_GEV_STATUS_DATA_OVERRUN = 0x800D,
    OrvGigETL_GEV_STATUS_INVALID_HEADER = 0x800E,
    OrvGigETL_GEV_STATUS_ERROR = 0x8FFF,

    /* Transport statuses. */
    NORRIK_GigE_SORBIX_STATUS_ERROR = -101,
    NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR = -102,
    NORRIK_GigE_SORBIX_STATUS_ALREADY_CONNECTED = -103,
    NORRIK_GigE_SORBIX_STATUS_INVALID_MAC = -104,
    NORRIK_GigE_SORBIX_STATUS_UNREACHABLE = -105,
    NORRIK_GigE_SORBIX_STATUS_PROTOCOL_ID_MISMATCH = -110,
    NORRIK_GigE_SORBIX_STATUS_NOT_ACKNOWLEDGED = -111,
    NORRIK_GigE_SORBIX_STATUS_RECEIVE_LENGTH_MISMATCH = -112,
    NORRIK_GigE_SORBIX_STATUS_ACKNOWLEDGED_LENGTH_MISMATCH = -113,
    OrvGigETL_SORBIX_STATUS_NO_ACK_BUFFER_PROVIDED = -114,

    /* Library statuses. */
    OrvGigETL_DLL_NOT_LOADED = -201,
    OrvGigETL_DLL_VERSION_MISMATCH = -202,
    OrvGigETL_DLL_ALIGNMENT_PROBLEM = -203,
    OrvGigETL_OPERATING_SYSTEM_NOT_SUPPORTED = -204,
    OrvGigETL_WINSOCK_INITIALIZATION_FAILED = -205,
    OrvGigETL_CAMERA_NOT_FOUND = -206,
    OrvGigETL_CAMERA_OPEN_FAILED = -207,
    OrvGigETL_CAMERA_NOT_OPEN = -208,
    OrvGigETL_CAMERA_UNKNWON_COMMAND = -209,
    OrvGigETL_CAMERA_PAYLOAD_LENGTH_EXCEEDED = -210,
    OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID = -211,
    OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT = -212,
    OrvGigETL_CAMERA_ACCESS_DENIED = -213,
    OrvGigETL_CAMERA_CONNECTION_LOST = -214,
    OrvGigETL_STREAMING_FUNCTION_ALREADY_REGISTERED = -215,
    OrvGigETL_NO_STREAMING_PORT_FOUND = -216,
    OrvGigETL_OUT_OF_MEMORY = -217,
    OrvGigETL_INVALID_CALLBACK_FUNCTION_POINTER = -218,
    OrvGigETL_STREAMING_CHANNEL_NOT_AVAILABLE = -219,
    OrvGigETL_STREAMING_CHANNEL_VERSION_MISMATCH = -220,
    OrvGigETL_CALLBACK_INVALID_PARAMETER = -221,
    OrvGigETL_CALLBACK_IMAGE_DATA_MISSING = -222,
    OrvGigETL_OPENING_STREAMING_CHANNEL_FAILED = -223,
    OrvGigETL_CHANNEL_CREATION_FAILED = -224,
    OrvGigETL_DRIVER_NOT_INSTALLED = -225,
    OrvGigETL_PENDING_CHANNEL_DETECTED = -226,
    OrvGigETL_UNSUPPORTED_PACKET_FORMAT = -227,
    OrvGigETL_INCORRECT_BLOCK_ID = -228,
    OrvGigETL_INVALID_PARAMETER = -229,
    OrvGigETL_STREAMING_CHANNEL_LOOSING_FRAMES = -230,
    OrvGigETL_FRAME_BUFFER_ALLOCATION_FAILED = -231,
    OrvGigETL_FRAME_BUFFER_INFO_NOT_AVAILABLE = -232,
    OrvGigETL_MULTICAST_MANAGEMENT_FAILED = -233,
    OrvGigETL_CAMERA_SIGNAL_IGNORED = -234,
    OrvGigETL_FILTER_DRIVER_INSTALLATION_NOT_SUPPORTED = -235,
    OrvGigETL_FILTER_DRIVER_NOT_AVAILABLE = -236,
    OrvGigETL_FILTER_INF_FILE_NOT_FOUND = -237,
    OrvGigETL_FILTER_INF_FILE_COPY_FAILED = -238,
    OrvGigETL_FILTER_INITIALIZING_COM_FAILED = -239,
    OrvGigETL_FILTER_DRIVER_INSTALLATION_FAILED = -240,
    OrvGigETL_FILTER_DRIVER_DEINSTALLATION_FAILED = -241,
    OrvGigETL_DRIVER_INSTALL_REQUIRES_ADMIN_PRIVILEGES = -242,
    OrvGigETL_DRIVER_INSTALL_REQUIRES_REBOOT = -243,
    OrvGigETL_DRIVER_REINSTALL_AFTER_REBOOT_REQUIRED = -244,
    OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED = -245
};

/* GVCP commands the control transport sends. */
enum {
    OrvGigETL_READREG_CMD = 0x0080,
    OrvGigETL_WRITEREG_CMD = 0x0082,
    OrvGigETL_READMEM_CMD = 0x0084,
    OrvGigETL_WRITEMEM_CMD = 0x0086
};

/* Receives every line of a camera log, without its leading line break. It
 * runs on the thread that wrote the line, under the library's log lock; it
 * may call the library again. */
typedef void (*OrvGigETL_MessageCallback)(const char* line, void* context);

/* Signal types delivered to a stream callback. */
enum {
    OrvGigETL_SIGNAL_FRAME_COMPLETED = 1,
    OrvGigETL_SIGNAL_FRAME_ABANDONED = 2,
    OrvGigETL_SIGNAL_START_OF_TRANSFER = 3,
    OrvGigETL_SIGNAL_BANDWIDTH_EXCEEDED = 4,
    OrvGigETL_SIGNAL_OLD_STYLE_DATA_PACKETS = 5,
    OrvGigETL_SIGNAL_TEST_PACKET = 6,
    OrvGigETL_SIGNAL_CAMERA_IMAGE_TRANSFER_DONE = 7,
    OrvGigETL_SIGNAL_CAMERA_CONNECTION_LOST = 8,
    OrvGigETL_SIGNAL_MULTICAST_MESSAGE = 9,
    OrvGigETL_SIGNAL_CAMERA_SEQ_DONE = 12,
    OrvGigETL_SIGNAL_CAMERA_TRIGGER_VIOLATION = 13,
    OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_START = 14,
    OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_END = 15,
    OrvGigETL_SIGNAL_CAMERA_FRAME_TRIGGER = 16,
    OrvGigETL_SIGNAL_CAMERA_FRAME_START = 17,
    OrvGigETL_SIGNAL_CAMERA_FRAME_END = 18,
    OrvGigETL_SIGNAL_CAMERA_EXPOSURE_START = 19,
    OrvGigETL_SIGNAL_CAMERA_EXPOSURE_END = 20
};

/* One signal, valid only during the callback. `stamp` is the event time in
 * microseconds for types 1 to 6, the host's value for camera messages. */
typedef struct OrvGigETL_SIGNAL {
    int32_t type;
    void* data;
    int32_t value;
    union {
        double time;
        uint64_t value;
    } stamp;
} __attribute__((packed)) OrvGigETL_SIGNAL;

/* The data of a multicast message signal. */
typedef struct OrvGigETL_MULTICAST_MESSAGE {
    int32_t message;
    uint32_t group;
    int32_t port;
    int32_t payload;
} OrvGigETL_MULTICAST_MESSAGE;

/* One frame of a stream, the data of frame and start-of-transfer signals.
 * The host may write the release values; the record is reused once the
 * channel's records have gone round. */
typedef struct ImageRecord {
    void* frameData; /* null for a start of transfer */
    uint32_t frameSize;
    uint32_t blockId;
    uint32_t slotIndex;
    uint32_t value364;
    uint32_t lostFrames;
    uint32_t value112;
    uint32_t resentPackets;
    uint32_t sequence; /* release values: sent back with a completed frame */
    uint32_t offset;
    uint32_t cycle;
    uint32_t count;
    uint32_t fifthReleaseValue;
    uint32_t transferTime; /* microseconds */
    float frameRate;       /* frames per second */
    float dataRate;        /* MB/s */
    float peakTransferRate;
    uint8_t reserved68[576];
    uint32_t state; /* 1 completed, 2 abandoned */
    uint64_t cameraTimestamp;
    uint8_t inUse;
    uint8_t reserved657[7];
    uint32_t value228;
    uint32_t value232;
    uint32_t value236;
    uint8_t reserved676[8];
    uint32_t value248;
    uint32_t frameValues[5];
    uint32_t magic; /* 0x92645470 */
} ImageRecord;

/* Receives a stream's signals; the result is logged for completed frames. */
typedef int32_t (*OrvGigETL_StreamCallback)(const OrvGigETL_SIGNAL* signal, void* context);

/* Opens the control connection to the camera at `cameraIp`:`cameraPort`
 * (host byte order). The same address twice gives the same handle with one
 * more reference. -207 when the control socket cannot be made. */
PELLAGO_API OrvGigETL_STATUS openCamera(void** camera, uint32_t cameraIp, uint16_t cameraPort);

/* Drops one reference; the last one ends the connection. -206 when unknown. */
PELLAGO_API OrvGigETL_STATUS closeCamera(void* camera);

/* Sets the camera's log level, log file (null: none) and text callback. */
PELLAGO_API OrvGigETL_STATUS registerMessageCallback(void* camera, int32_t level,
                                                     const char* fileName,
                                                     OrvGigETL_MessageCallback callback,
                                                     void* context);

/* One GVCP command and acknowledge. `data` is the command payload and
 * `ackBuffer` receives the acknowledge payload, both in network byte order;
 * lengths are multiples of 4 up to 540. Returns 0, the camera's status, or a
 * library status. */
PELLAGO_API OrvGigETL_STATUS GVCPTransportEx(void* camera, uint32_t command, int32_t dataLength,
                                             const void* data, int32_t ackLength,
                                             void* ackBuffer, int32_t tries, int32_t timeoutMs);

/* GVCPTransportEx with 3 tries of 200 ms. */
PELLAGO_API OrvGigETL_STATUS GVCPTransport(void* camera, uint32_t command, int32_t dataLength,
                                           const void* data, int32_t ackLength, void* ackBuffer);

/* Adds a unicast stream from the camera: binds a socket on an ephemeral
 * port (written to `port`), opens a packet-filter channel with `bufferCount`
 * buffers of `bufferSize` bytes and starts its receive thread. */
PELLAGO_API OrvGigETL_STATUS addStream(void* camera, void** stream, const uint32_t* hostIp,
                                       uint16_t* port, int32_t bufferSize, int32_t bufferCount,
                                       int32_t packetSize, int32_t driverParameter,
                                       OrvGigETL_StreamCallback callback, void* context);

/* addStream from another source (0: the camera). */
PELLAGO_API OrvGigETL_STATUS addStreamFromIP(void* camera, void** stream, const uint32_t* hostIp,
                                             uint16_t* port, uint32_t sourceIp, int32_t bufferSize,
                                             int32_t bufferCount, int32_t packetSize,
                                             int32_t driverParameter,
                                             OrvGigETL_StreamCallback callback, void* context);

/* Adds a stream the camera sends to multicast `group`: binds a socket to
 * the group and `*port` (0: the first free port derived from the group,
 * written back), joins the group on the adapter of `hostIp` and reports the
 * membership (IGMPv2, from a raw socket: -233 without the right to open
 * one). The rest as addStream. */
PELLAGO_API OrvGigETL_STATUS addMulticastStream(void* camera, void** stream, uint32_t group, uint32_t hostIp,
                                                uint16_t* port, int32_t bufferSize, int32_t bufferCount,
                                                int32_t packetSize, int32_t driverParameter,
                                                OrvGigETL_StreamCallback callback, void* context);

/* addMulticastStream from another source (0: the camera). */
PELLAGO_API OrvGigETL_STATUS addMulticastStreamFromIP(void* camera, void** stream, uint32_t group, uint32_t hostIp,
                                                      uint16_t* port, uint32_t sourceIp, int32_t bufferSize,
                                                      int32_t bufferCount, int32_t packetSize,
                                                      int32_t driverParameter, OrvGigETL_StreamCallback callback,
                                                      void* context);

/* Leaves or joins `group` again: the socket's membership and one IGMP
 * report or leave. -233 when the report could not be sent. */
PELLAGO_API OrvGigETL_STATUS setMulticastMembership(void* stream, uint32_t group, bool join);

/* Ends a multicast stream as closeStream does and leaves `group`. */
PELLAGO_API OrvGigETL_STATUS closeMulticastStream(void* stream, uint32_t group);

/* Accepts frames completed from now on, or rejects every frame. */
PELLAGO_API OrvGigETL_STATUS enableStream(void* stream, bool enable);

/* The address of driver buffer `index`; -232 outside the buffer count. */
PELLAGO_API OrvGigETL_STATUS getBufferData(void* stream, int32_t index, void** address);

/* Ends the stream: its thread, channel, buffers and socket. */
PELLAGO_API OrvGigETL_STATUS closeStream(void* stream);

/* Deliver host-side events through the stream's callback. */
PELLAGO_API OrvGigETL_STATUS signalCameraConnectionLost(void* stream);
PELLAGO_API OrvGigETL_STATUS signalCameraMessage(void* stream, uint32_t messageType, uint64_t value);
PELLAGO_API OrvGigETL_STATUS signalMulticastMessage(void* stream, int32_t message, uint32_t group,
                                                    int32_t port, int32_t payload);

/* The name of a status; "OrvGigETL_ERROR" for values without one. */
PELLAGO_API const char* getErrorMessage(OrvGigETL_STATUS code);

/* Writes the library's version word (bytes 01 05 04 29: version 1.5.4) and
 * checks that `requested` (major, minor, sub-minor) is served and that the
 * packet-filter driver answers. */
PELLAGO_API OrvGigETL_STATUS isVersionCompliant(uint32_t* libraryVersion, const uint8_t* requested);

#ifdef __cplusplus
}
#endif

#endif
