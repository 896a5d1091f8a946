#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The queue of one event registration: records of a fixed size (0 for types
// without payload), at most `capacity` of them, the oldest dropped first.
// A kill ends the waits in progress and every later wait with -1012.
namespace quillan {

class EventQueue {
public:
    explicit EventQueue(size_t recordSize, size_t capacity = 1024);

    size_t recordSize() const { return recordSize_; }
    void push(const void* record);
    // 0 with the oldest record copied and *size set to the record size;
    // -1011 after timeoutMs; -1012 once killed; -1006 when the buffer is
    // missing or smaller than a record (the record stays queued).
    int wait(void* buffer, size_t* size, uint64_t timeoutMs);
    void flush();
    void kill();
    bool killed() const;
    size_t pending() const;
    uint64_t dropped() const;

private:
    const size_t recordSize_;
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> records_;
    bool killed_ = false;
    uint64_t dropped_ = 0;
};

} // namespace quillan
