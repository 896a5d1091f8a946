// The packet-filter device in user space: it takes the stream socket the
// library bound (found by its port), receives GVSP 1.x on it from the
// channel's source, places packets by id in its own buffers and answers the
// library's requests. Each wait runs on the calling thread and returns one
// event, or an empty reply within 100 ms.
#pragma once

#include "FilterDevice.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace gigefilter {

// The path the library opens.
extern const char* const kFilterDevicePath;

// The driver's tick counter: nanoseconds of the steady clock, the same
// counter the library reads.
constexpr int64_t kDriverTicksPerSecond = 1000000000;

struct DriverOptions {
    // Tick counter; empty: the steady clock.
    std::function<int64_t()> clock;
    // A frame that gets no packet for this long is abandoned. The open
    // request's driver parameter, when above 0, sets it instead (ms).
    int frameTimeoutMs = 1000;
    // A gap is asked for once nothing came for this long, or once packets
    // 32 ids further on have come: packets may arrive out of order.
    int gapWaitMs = 5;
    // A packet asked for again after this long without an answer; after
    // three requests the frame is abandoned.
    int resendRetryMs = 50;
    // Packets after the last one received count as missing once a newer
    // frame has begun or nothing came for this long.
    int tailWaitMs = 50;
};

std::unique_ptr<FilterDevice> makeUserSpaceDriver(const DriverOptions& options = {});

}  // namespace gigefilter
