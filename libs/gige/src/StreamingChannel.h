// A stream channel's side of the packet-filter device: the device, the
// request block it sends and receives in place, and the channel's identity.
#pragma once

#include "FilterDevice.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pellago {

constexpr const char* kFilterDevicePath = "\\\\.\\OrvGigE";
constexpr uint32_t kInterfaceVersion = 0x01050400;
constexpr uint32_t kRequestMarker = 0x2468;
constexpr uint32_t kProbeCode = 0x120844;

// One request block; fields at fixed offsets, little-endian.
struct FilterRequestBlock {
    uint8_t bytes[1024];

    uint32_t get32(size_t offset) const;
    void put32(size_t offset, uint32_t value);
};

// The next instance id: the library's own generator, seeded once from the
// time and the process id; consecutive ids differ.
uint32_t nextInstanceId();

class StreamingChannel {
public:
    // Opens the device; without one every request fails.
    StreamingChannel();
    ~StreamingChannel();
    StreamingChannel(const StreamingChannel&) = delete;
    StreamingChannel& operator=(const StreamingChannel&) = delete;

    bool deviceValid() const { return device_ != nullptr; }
    uint32_t instanceId() const { return instanceId_; }

    // Asks the driver whether it answers: true when it changed the status.
    bool probe();

private:
    std::unique_ptr<gigefilter::FilterDevice> device_;
    FilterRequestBlock block_{};
    bool requestInProgress_ = false;
    uint32_t instanceId_;
};

}  // namespace pellago
