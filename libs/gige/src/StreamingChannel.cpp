#include "StreamingChannel.h"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>

namespace pellago {

namespace {

constexpr size_t kStatusOffset = 4;
constexpr size_t kKeyBegin = 8;
constexpr size_t kKeyEnd = 40;
constexpr size_t kMarkerOffset = 544;

uint64_t mix(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

uint32_t FilterRequestBlock::get32(size_t offset) const
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[offset + static_cast<size_t>(i)];
    return value;
}

void FilterRequestBlock::put32(size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t nextInstanceId()
{
    // A counter run through a bijective mixer: ids repeat only after 2^64
    // calls, however many channels are made within one second.
    static const uint64_t seed =
        mix(static_cast<uint64_t>(std::time(nullptr)) + static_cast<uint64_t>(::getpid()));
    static std::atomic<uint64_t> counter{0};
    const uint64_t n = counter.fetch_add(1);
    const uint64_t value = mix(seed + n * 0x9E3779B97F4A7C15ull);
    return static_cast<uint32_t>(value ^ (value >> 32));
}

StreamingChannel::StreamingChannel()
    : device_(gigefilter::openFilterDevice(kFilterDevicePath)), instanceId_(nextInstanceId())
{
    block_.put32(0, kInterfaceVersion);
}

StreamingChannel::~StreamingChannel()
{
    if (device_)
        device_->close();
}

bool StreamingChannel::probe()
{
    if (!device_ || requestInProgress_)
        return false;
    std::memset(block_.bytes + kKeyBegin, 0, kKeyEnd - kKeyBegin);
    block_.put32(kStatusOffset, 1);
    block_.put32(kMarkerOffset, kRequestMarker);
    requestInProgress_ = true;
    uint32_t returned = 0;
    const bool ok = device_->request(kProbeCode, block_.bytes, sizeof block_.bytes,
                                     sizeof block_.bytes, &returned);
    requestInProgress_ = false;
    return ok && returned >= sizeof block_.bytes && block_.get32(kStatusOffset) != 1;
}

}  // namespace pellago
