// The simulated camera's stream: on enable it sends frame after frame as the
// SIRM layout asks (leader, payload transfers, finals, trailer), straight
// into the transfers the host has submitted, in submission order. A frame
// begins when a transfer waits for it: at once, or at the pace set.
#include "U3vSim.h"
#include "U3vSimBytes.h"
#include "U3vSimPattern.h"

#include <algorithm>
#include <cstring>

namespace u3vsim {
namespace {

using Clock = std::chrono::steady_clock;

// More payload transfers than this per frame and the device sends nothing.
constexpr std::uint32_t kMaxTransfersPerFrame = 1u << 20;
constexpr std::int64_t kDefaultShortLeader = 20;
constexpr std::int64_t kDefaultTrailerGapMs = 200;

Clock::duration period(double fps)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps));
}

} // namespace

bool SimDevice::takeStreamFault(const std::string& kind, std::int64_t* value)
{
    Fault hit;
    if (!takeFault(kind, true, ~0ull, &hit))
        return false;
    *value = hit.value;
    return true;
}

void SimDevice::writeSirm(std::uint64_t address, const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        const std::uint32_t offset = std::uint32_t(address + i - kSirmAddress);
        const std::uint32_t value = get32(data + i);
        sirmWrites_.emplace_back(offset, value);
        if (offset != 0x04)
            continue;
        const bool enable = value & 1;
        if (enable == streaming_)
            continue;
        streaming_ = enable;
        messages_.clear(); // a frame on its way is abandoned
        const Clock::time_point now = Clock::now();
        lastDue_ = fps_ > 0 ? now - period(fps_) : now;
        streamChanged_.notify_all();
    }
}

void SimDevice::beginFrameLocked(Clock::time_point now)
{
    std::uint8_t r[24];
    readLocked(kSirmAddress + 0x18, r, sizeof r);
    const std::uint32_t transferSize = get32(r + 4), count = get32(r + 8);
    const std::uint32_t final1 = get32(r + 12), final2 = get32(r + 16);
    if (count > kMaxTransfersPerFrame)
        return;

    block_ = nextBlock_++;
    ++counts_.frames;
    frame_ = FrameFaults{};
    frame_.trailerBlockId = block_;
    Clock::time_point due = std::max(now, lastDue_); // lastDue_ may hold an idle gap
    if (fps_ > 0) {
        due = lastDue_ + period(fps_);
        if (due < now - period(fps_))
            due = now; // the host fell far behind: no burst to catch up
        lastDue_ = due;
    }

    std::int64_t v = 0;
    int leaderSize = int(setup_.leaderSize);
    if (takeStreamFault("short-leader", &v))
        leaderSize = int(v > 0 ? v : kDefaultShortLeader);
    frame_.badMagic = takeStreamFault("leader-magic", &v);
    if (takeStreamFault("payload-type", &v))
        frame_.payloadType = std::uint16_t(v);
    if (takeStreamFault("trailer-id", &v))
        frame_.trailerBlockId = block_ + 1000;
    if (takeStreamFault("trailer-status", &v))
        frame_.trailerStatus = std::uint16_t(v);
    Clock::duration stall{};
    if (takeStreamFault("stall", &v))
        stall = std::chrono::milliseconds(v);
    std::int64_t shortIndex = -1;
    if (takeStreamFault("short-transfer", &v))
        shortIndex = v;

    messages_.push_back({Message::Leader, leaderSize, 0, due, false});
    std::uint64_t offset = 0;
    for (std::uint32_t i = 0; i < count; ++i, offset += transferSize) {
        const int size = std::int64_t(i) == shortIndex ? int(transferSize / 2) : int(transferSize);
        messages_.push_back({Message::Payload, size, offset, due + stall, false});
    }
    for (std::uint32_t size : {final1, final2}) {
        if (size != 0)
            messages_.push_back({Message::Payload, int(size), offset, due + stall, false});
        offset += size;
    }
    const bool lost = takeStreamFault("lost-trailer", &v);
    messages_.push_back({Message::Trailer, int(setup_.trailerSize), 0, due + stall, lost});
    if (lost) // the device idles before its next frame
        lastDue_ = due + stall + std::chrono::milliseconds(v > 0 ? v : kDefaultTrailerGapMs);
}

void SimDevice::pumpLocked()
{
    bool delivered = false;
    const Clock::time_point now = Clock::now();
    while (!pending_.empty() && !gone) {
        if (messages_.empty()) {
            if (!streaming_)
                break;
            beginFrameLocked(now);
            if (messages_.empty())
                break;
        }
        const Message m = messages_.front();
        if (m.due > now)
            break;
        messages_.pop_front();
        if (m.dropped)
            continue;
        SimAsync* t = pending_.front();
        pending_.pop_front();
        t->state = SimAsync::Done;
        delivered = true;
        if (m.size > t->size) {
            t->result = usb::ErrorOverflow;
            continue;
        }
        t->result = m.size;
        if (m.kind == Message::Payload) {
            if (fill_)
                fillPattern(t->buffer, block_, m.offset, std::size_t(m.size));
            continue;
        }
        std::vector<std::uint8_t> p(std::max<std::size_t>(std::size_t(m.size), 52), 0);
        if (m.kind == Message::Leader) {
            put32(p.data(), frame_.badMagic ? 0x58563355 : 0x4C563355); // "U3VL"
            put16(p.data() + 6, std::uint16_t(setup_.leaderSize));
            put64(p.data() + 8, block_);
            put16(p.data() + 18, frame_.payloadType);
            put64(p.data() + 20, kTimestampBase + block_ * kTimestampStep);
            put32(p.data() + 28, setup_.pixelFormat);
            put32(p.data() + 32, setup_.width);
            put32(p.data() + 36, setup_.height);
            put32(p.data() + 40, setup_.offsetX);
            put32(p.data() + 44, setup_.offsetY);
            put16(p.data() + 48, setup_.paddingX);
            lastLeader_.assign(p.begin(), p.begin() + m.size);
        } else {
            std::uint8_t r[8];
            readLocked(kSirmAddress + 0x08, r, sizeof r);
            put32(p.data(), 0x54563355); // "U3VT"
            put16(p.data() + 6, std::uint16_t(setup_.trailerSize));
            put64(p.data() + 8, frame_.trailerBlockId);
            put16(p.data() + 16, frame_.trailerStatus);
            put64(p.data() + 20, get64(r));
            put32(p.data() + 28, setup_.height);
            lastTrailer_.assign(p.begin(), p.begin() + m.size);
        }
        std::memcpy(t->buffer, p.data(), std::size_t(m.size));
    }
    if (delivered)
        streamChanged_.notify_all();
}

int SimDevice::submitAsync(SimAsync* t, std::uint8_t* buffer, int size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.submissions;
    if (gone)
        return usb::ErrorNoDevice;
    if (t->state != SimAsync::Idle)
        return usb::ErrorBusy;
    std::int64_t v = 0;
    if (size < 0 || (size > 0 && !buffer))
        return usb::ErrorInvalid;
    if (takeStreamFault("refuse-submit", &v)) {
        // Value 1: the data meant for this transfer is lost as well, so the
        // later transfers of the frame still get theirs.
        std::size_t ahead = pending_.size();
        for (Message& m : messages_) {
            if (m.dropped)
                continue;
            if (ahead-- == 0) {
                m.dropped = v == 1;
                break;
            }
        }
        return usb::ErrorIo;
    }
    t->buffer = buffer;
    t->size = size;
    t->state = SimAsync::Pending;
    ++counts_.pending;
    pending_.push_back(t);
    pumpLocked();
    return 0;
}

int SimDevice::reapAsync(SimAsync* t, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (t->state == SimAsync::Idle)
        return usb::ErrorInvalid;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pumpLocked();
        if (t->state == SimAsync::Done) {
            t->state = SimAsync::Idle;
            --counts_.pending;
            return t->result;
        }
        const Clock::time_point now = Clock::now();
        if (timeoutMs > 0 && now >= deadline) {
            pending_.erase(std::find(pending_.begin(), pending_.end(), t));
            t->state = SimAsync::Idle;
            --counts_.pending;
            return usb::ErrorTimeout;
        }
        Clock::time_point wake = timeoutMs > 0 ? deadline : now + std::chrono::hours(1);
        if (!messages_.empty() && messages_.front().due > now)
            wake = std::min(wake, messages_.front().due);
        streamChanged_.wait_until(lock, wake);
    }
}

int SimDevice::cancelAsync(SimAsync* t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (t->state == SimAsync::Pending) {
        pending_.erase(std::find(pending_.begin(), pending_.end(), t));
        t->state = SimAsync::Done;
        t->result = usb::ErrorCancelled;
        streamChanged_.notify_all();
    }
    return 0;
}

void SimDevice::forgetAsync(SimAsync* t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (t->state == SimAsync::Pending)
        pending_.erase(std::find(pending_.begin(), pending_.end(), t));
    if (t->state != SimAsync::Idle)
        --counts_.pending;
    t->state = SimAsync::Idle;
}

void SimDevice::setPace(double fps)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fps_ = fps;
    streamChanged_.notify_all();
}

void SimDevice::setFill(bool fill)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fill_ = fill;
}

StreamCounts SimDevice::streamCounts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    StreamCounts c = counts_;
    c.enabled = streaming_;
    return c;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> SimDevice::sirmWrites() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sirmWrites_;
}

std::vector<std::uint8_t> SimDevice::lastLeader() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastLeader_;
}

std::vector<std::uint8_t> SimDevice::lastTrailer() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastTrailer_;
}

} // namespace u3vsim
