// The request block that every request to the packet-filter device carries,
// sent and answered in place. Fields keep their order; address fields are
// pointer-wide, so only names and sizeof may be relied on, never offsets.
#pragma once

#include <cstdint>

namespace gigefilter {

// Control codes.
enum : uint32_t {
    kOpenChannel = 0x12080C,
    kCloseChannel = 0x120810,
    kWaitForEvent = 0x120814,
    kReleaseBlock = 0x120818,
    kCreateBuffers = 0x12081C,
    kDestroyBuffers = 0x120820,
    kBufferInfo = 0x120844,  // with bufferInfoRequest = -2; also the probe
};

constexpr uint32_t kInterfaceVersion = 0x01050400;
constexpr uint32_t kRequestMarker = 0x2468;
constexpr uint32_t kReplyMarker = 0x13578642;
constexpr int32_t kBufferInfoRequest = -2;

// Reply status values.
enum : uint32_t {
    kStatusOk = 0,
    kStatusProbe = 1,  // sent in the probe; a driver that answers changes it
    kStatusEnd = 2,    // open: version mismatch; wait: the channel has ended
    kStatusAlignment = 3,
    kStatusOldStyle = 5,
    kStatusCreationFailed = 14,
    kStatusBufferAllocation = 16,
    kStatusPending = 17,
};

// Event types of a wait reply.
enum : uint32_t {
    kEventFrameCompleted = 1,
    kEventFrameAbandoned = 2,
    kEventStartOfTransfer = 3,
    kEventBandwidthExceeded = 4,
    kEventTestPacket = 5,
    kEventResend = 7,
};

struct FilterRequestBlock {
    uint32_t version;
    uint32_t status;
    uint8_t secondMac[6];
    uint8_t hostMac[6];
    uint32_t portField;        // stays 0
    uint8_t streamPort[4];     // network byte order, then two zero bytes
    uint32_t sourceIpNet;      // network byte order
    uint32_t addressField;     // stays 0
    uint32_t instanceId;
    uint32_t cameraIp;         // open
    uint16_t cameraPort;       // open
    uint16_t reserved46;
    uint32_t hostIp;           // open
    uint16_t controlPort;      // open
    uint16_t reserved54;
    uint32_t reserved56[2];
    uint32_t frameSize;        // wait
    uint32_t reserved68[4];
    void* frameData;           // wait; buffer info: the buffer's address
    uint32_t reserved88[6];
    uint32_t value112;         // wait: passed on in the image record
    uint32_t framesDropped;    // wait (frame event): frames the driver could not keep since the last one
    uint32_t idReused;         // wait (frame event): 1 when its id was given within the time-out
    uint32_t packetCountLess3; // wait (resend event)
    uint32_t resentPackets;    // wait
    uint32_t reserved132[5];
    int32_t* packetStatus;     // wait (resend event): one entry per packet
    uint32_t reserved156[3];
    int64_t completionTime;    // wait, ticks
    uint32_t reserved176[8];
    int64_t transferDuration;  // wait, ticks
    uint64_t cameraTimestamp;  // wait
    uint16_t blockId;          // release; wait
    uint16_t reserved226;
    uint32_t value228;
    uint32_t value232;
    uint32_t value236;
    uint32_t reserved240[2];
    uint32_t value248;
    uint32_t reserved252[7];
    void* scratch;             // create; null after destroy
    uint32_t slotCount;        // create; open reply: count used for create
    uint32_t bufferSize;       // create; open reply: size used for create
    uint32_t reserved296;
    uint32_t payloadSize;
    uint32_t reserved304;
    uint32_t driverParameter;  // open
    uint32_t openConstants[5]; // open: 2000, 4000, 8000, 13, 15
    uint32_t releaseValues[5]; // release after a completed frame
    uint32_t eventType;        // wait: 0 sent, event type back
    int64_t eventTime;         // wait, ticks
    uint32_t value364;
    uint32_t reserved368[2];
    uint32_t oldStyleCounter;  // open and wait
    uint8_t accept;            // wait
    uint8_t reserved381;
    uint16_t startBlockId;     // wait (start event)
    int32_t bufferInfoRequest; // buffer info: -2
    uint32_t bufferIndex;      // buffer info
    uint32_t reserved392[4];
    uint32_t frameValues[5];   // wait: passed on in the image record
    uint32_t reserved428[29];
    uint32_t marker;           // 0x2468 sent, 0x13578642 back
    uint8_t tail[476];
};

// Steps forward from block id `from` to `to` in the order of GVSP 1.x block
// ids: 1 to 65535, then 1 again (0 is never used). 0 when they are equal.
inline uint32_t blockIdSteps(uint16_t from, uint16_t to)
{
    return (uint32_t(to) + 65535u - from) % 65535u;
}

// Whether block id `a` comes after `b`, within half the id cycle.
inline bool blockIdComesAfter(uint16_t a, uint16_t b)
{
    const uint32_t steps = blockIdSteps(b, a);
    return steps != 0 && steps < 32768;
}

}  // namespace gigefilter
