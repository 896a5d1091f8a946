// Payload records of the simulated camera events.
#ifndef EVENTRECORDS_H
#define EVENTRECORDS_H

#include "OrvSdk.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace quillan {

inline void putBigEndian(uint8_t* out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = uint8_t(value);
}

// Type 4: every field big-endian, as the camera sends it.
inline ORV_EVENT_REMOTE_DEVICE_DATA remoteDeviceRecord(uint16_t eventId, uint16_t channel, uint16_t blockId,
                                                       uint64_t timestamp)
{
    ORV_EVENT_REMOTE_DEVICE_DATA r;
    std::memset(&r, 0, sizeof r);
    putBigEndian(r.eventId, eventId, 2);
    putBigEndian(r.streamChannel, channel, 2);
    putBigEndian(r.blockId, blockId, 2);
    putBigEndian(r.timestampHigh, timestamp >> 32, 4);
    putBigEndian(r.timestampLow, timestamp & 0xFFFFFFFFu, 4);
    return r;
}

// Type 4000.
inline ORV_EVENT_DEVICE_CONNECTION_DATA connectionRecord(uint32_t state, const std::string& deviceId)
{
    ORV_EVENT_DEVICE_CONNECTION_DATA r;
    std::memset(&r, 0, sizeof r);
    r.connectionState = state;
    std::strncpy(r.deviceId, deviceId.c_str(), sizeof r.deviceId - 1);
    return r;
}

// Type 5000, host byte order.
inline ORV_EVENT_DS_ACQUISITION_DATA streamRecord(int32_t signal, uint64_t imageId, uint64_t timestamp,
                                                  uint32_t payloadSize = 0, uint32_t bufferStatus = 0)
{
    ORV_EVENT_DS_ACQUISITION_DATA r;
    std::memset(&r, 0, sizeof r);
    r.signalType = signal;
    r.imageId = uint32_t(imageId);
    r.timestamp = timestamp;
    r.payloadSize = payloadSize;
    r.bufferStatus = bufferStatus;
    return r;
}

// Record size of an event type; 0 for types without payload.
inline size_t eventRecordSize(int32_t type)
{
    switch (type) {
    case ORV_EVENT_TYPE_REMOTE_DEVICE: return sizeof(ORV_EVENT_REMOTE_DEVICE_DATA);
    case ORV_EVENT_TYPE_DEVICE_CONNECTION: return sizeof(ORV_EVENT_DEVICE_CONNECTION_DATA);
    case ORV_EVENT_TYPE_DS_ACQUISITION: return sizeof(ORV_EVENT_DS_ACQUISITION_DATA);
    default: return 0;
    }
}

} // namespace quillan

#endif // EVENTRECORDS_H
