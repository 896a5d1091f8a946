// A stream channel: the packet-filter device it talks to, the request block
// it sends and receives in place, its buffers and image records, and the
// receive thread that turns the device's events into signals.
#pragma once

#include "FilterDevice.h"
#include "FilterRequestBlock.h"
#include "PellagoInternal.h"
#include "UserSpaceDriver.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pellago {

constexpr uint32_t kImageRecordMagic = 0x92645470;

// The next instance id: the library's own generator, seeded once from the
// time and the process id; consecutive ids differ.
uint32_t nextInstanceId();

// Total physical memory in bytes, as buffer creation sees it.
using PhysicalMemoryFunction = uint64_t (*)();
void setPhysicalMemoryFunction(PhysicalMemoryFunction function);  // null: the system's

// The channel's image records, handed out in turn.
class ImageSlotPool {
public:
    explicit ImageSlotPool(size_t slots);
    ImageRecord& take();
    ImageRecord& at(size_t index) { return records_[index]; }
    size_t size() const { return records_.size(); }

private:
    std::mutex lock_;
    std::vector<ImageRecord> records_;
    size_t current_ = 0;
};

class StreamingChannel {
public:
    // A channel for `bufferCount` buffers of `bufferSize` bytes and packets
    // of `payloadSize` data bytes; opens the device (without one every
    // request fails).
    StreamingChannel(int32_t bufferSize, int32_t payloadSize, int32_t bufferCount);
    ~StreamingChannel();
    StreamingChannel(const StreamingChannel&) = delete;
    StreamingChannel& operator=(const StreamingChannel&) = delete;

    struct OpenArguments {
        uint16_t streamPort;
        uint32_t cameraIp;
        uint16_t cameraPort;
        uint32_t sourceIp;
        uint32_t hostIp;
        uint16_t controlPort;
        int32_t driverParameter;
        OrvGigETL_StreamCallback callback;
        void* context;
        CameraPtr camera;
    };

    // Opens the channel, creates its buffers and starts its thread. False
    // on failure; status() then holds the driver's status word.
    bool open(const OpenArguments& arguments);
    // Stops the thread, destroys the buffers and closes the channel.
    void close();
    bool probe();

    bool deviceValid() const { return device_ != nullptr; }
    uint32_t status() const { return block_.status; }
    uint32_t sourceIp() const { return sourceIp_; }
    uint32_t instanceId() const { return instanceId_; }
    size_t slotCount() const { return slotCount_; }
    int32_t requestedCount() const { return bufferCount_; }
    CameraConnection* camera() const { return camera_.get(); }

    // True on the channel's own receive thread (inside its callback).
    bool onReceiveThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // Ends the receive thread after the current signal, without waiting.
    void requestStop() { stop_ = true; }

    void enable(bool accept);
    // The driver's address of buffer `index`; null outside the buffers.
    void* bufferAddress(int32_t index) const;

    // Signals the host pushes, on the calling thread.
    void signalConnectionLost();
    void signalCameraMessage(uint32_t type, uint64_t value);
    void signalMulticastMessage(int32_t message, uint32_t group, int32_t port, int32_t payload);

    // Parts of the receive thread, reachable for tests.
    const gigefilter::FilterRequestBlock& block() const { return block_; }

private:
    bool send(uint32_t code, bool needsOpen, uint32_t* returned, bool withKey = true);
    bool sendExpectingReply(uint32_t code, bool needsOpen);
    void rewriteKey();
    bool createBuffers(uint32_t count, uint32_t size);
    void stopThread();
    void receiveLoop();
    void handleEvent();
    void handleFrame(uint32_t event);
    static constexpr uint32_t kWrapGapLimit = 1024;
    static uint32_t framesSkipped(uint16_t last, uint16_t id, uint32_t limit, bool reused = false);
    // The pace of the frames given, by camera timestamps and host times.
    struct FramePace {
        static constexpr uint32_t kNoLimit = 0xFFFFFFFFu;
        uint64_t lastStamp = 0;
        int64_t lastAt = 0;
        double stampStep = 0;
        double hostStep = 0;
        uint32_t limit(uint64_t stamp, int64_t at, bool byHost) const;
        void next(bool consecutive, uint64_t stamp, int64_t at);
    };
    void handleStart();
    void requestResend();
    void updateRates(ImageRecord& record);
    void release(uint16_t blockId);
    int32_t deliver(OrvGigETL_SIGNAL& signal, const char* name);
    // Fills the channel's record of `type` (stamp: the event time) and delivers it.
    int32_t deliverEvent(int32_t type, void* data, int32_t value, const char* name);
    void deliverMulticast(OrvGigETL_SIGNAL& signal, OrvGigETL_MULTICAST_MESSAGE& data);

    std::unique_ptr<gigefilter::FilterDevice> device_;
    gigefilter::FilterRequestBlock block_{};
    std::atomic<bool> requestInProgress_{false};
    std::atomic<bool> open_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> accept_{false};
    std::atomic<int64_t> enableTime_{0};

    int32_t bufferSize_;
    int32_t payloadSize_;
    int32_t bufferCount_;
    size_t slotCount_;
    ImageSlotPool pool_;
    std::vector<void*> addresses_;
    void* scratch_ = nullptr;
    uint32_t instanceId_;

    std::thread thread_;
    std::mutex doneLock_;
    std::condition_variable doneSignal_;
    bool done_ = false;

    uint32_t sourceIp_ = 0;
    OrvGigETL_StreamCallback callback_ = nullptr;
    void* context_ = nullptr;
    CameraPtr camera_;
    uint16_t streamPort_ = 0;
    uint8_t hostMac_[6] = {};

    // Receive-thread state.
    OrvGigETL_SIGNAL signals_[21] = {};
    OrvGigETL_MULTICAST_MESSAGE multicast_{};
    uint16_t startAdjustment_ = 0;
    int startsInARow_ = 0;
    uint16_t lastBlockId_ = 0;
    uint16_t aheadBlockId_ = 0;  // the last id before a jump; 0: none since
    FramePace pace_;
    uint32_t lostFrames_ = 0;
    uint32_t resentTotal_ = 0;
    uint32_t oldStyleBaseline_ = 0;
    bool oldStyleGiven_ = false;
    double eventTime_ = 0;
    double frameRate_ = 0;
    double dataRate_ = 0;
    float peakRate_ = 0;
    int64_t previousFrameCounter_ = 0;
};

}  // namespace pellago
