#include "EventQueue.h"

#include "OrvSdk.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quillan {

EventQueue::EventQueue(size_t recordSize, size_t capacity)
    : recordSize_(recordSize), capacity_(capacity ? capacity : 1)
{
}

void EventQueue::push(const void* record)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (records_.size() >= capacity_) {
            records_.pop_front();
            ++dropped_;
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(record);
        records_.emplace_back(recordSize_ && bytes ? std::vector<uint8_t>(bytes, bytes + recordSize_)
                                                  : std::vector<uint8_t>(recordSize_, 0));
    }
    changed_.notify_one();
}

int EventQueue::wait(void* buffer, size_t* size, uint64_t timeoutMs)
{
    if (recordSize_ > 0 && (!buffer || !size || *size < recordSize_)) {
        if (size)
            *size = recordSize_;
        return ORV_ERROR_INVALID_ARGUMENT;
    }
    // Far-away deadlines are capped so that the clock arithmetic cannot overflow.
    const auto timeout = std::chrono::milliseconds(std::min<uint64_t>(timeoutMs, uint64_t(1) << 40));
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return killed_ || !records_.empty(); }))
        return ORV_ERROR_TIMEOUT;
    if (killed_)
        return ORV_ERROR_ABORTED;
    if (recordSize_ > 0)
        std::memcpy(buffer, records_.front().data(), recordSize_);
    if (size)
        *size = recordSize_;
    records_.pop_front();
    return ORV_SUCCESS;
}

void EventQueue::flush()
{
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
}

void EventQueue::kill()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        killed_ = true;
    }
    changed_.notify_all();
}

bool EventQueue::killed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return killed_;
}

size_t EventQueue::pending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

uint64_t EventQueue::dropped() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

} // namespace quillan
