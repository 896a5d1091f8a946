// The data stream of one simulated camera: announced buffers, the input pool
// and output queue, the camera's frame production and the test controls of
// streams. It belongs to the camera and keeps its settings (manual mode,
// stalls, injected losses) across stream handles.
//
// While the camera's acquisition runs, one producer thread makes images at
// the frame rate, on software triggers or on request, fills the oldest queued
// buffer and moves it to the output queue. Hooks bring the camera's image
// settings in and the stream and device events out; they are called without
// the stream's lock held.
#ifndef STREAMSTATE_H
#define STREAMSTATE_H

#include "OrvSdk.h"
#include "SimImageGenerator.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillan {

class ShadingTable;

class StreamState : public std::enable_shared_from_this<StreamState> {
public:
    struct Timing {
        double frameRate = 30.0;  // images per second in free run
        bool triggered = false;   // TriggerMode On: one image per software trigger
        bool singleFrame = false; // AcquisitionMode SingleFrame
    };
    struct Hooks {
        // The camera's current image settings; false when it cannot deliver.
        std::function<bool(SimImageSettings&)> imageSettings;
        std::function<void(Timing&)> timing;
        // A stream (5000) or remote-device (4) event record.
        std::function<void(int32_t type, const void* record, size_t size)> event;
        // The camera's acquisition ended by itself (single frame).
        std::function<void()> acquisitionEnded;
    };
    enum class PixelTypeMode { Sdk, Pfnc, Raw };
    // Image content chosen by test control; negative or unset fields keep the camera's.
    struct Content {
        int pattern = -1;
        double flatValue = -1;
        double noise = -1;
        double vignetting = -1;
        bool defectsSet = false;
        std::vector<SimImageSettings::Defect> defects;
        bool castSet = false;
        std::array<double, 9> cast{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
        // Applies the chosen fields to settings.
        void applyTo(SimImageSettings& s) const;
    };
    enum class InfoMode { Normal, Invalid, Zero };

    StreamState();
    ~StreamState();
    StreamState(const StreamState&) = delete;
    StreamState& operator=(const StreamState&) = delete;

    void setHooks(Hooks hooks);
    void setStreamId(const std::string& id);
    // Whether the camera delivers the SDK's 16-bit types where they exist.
    void setDeliversSdkTypes(bool sdk);
    // The camera's shading correction as the generator takes it.
    ShadingTable& shading() { return *shading_; }
    // True exactly once: for whoever binds the camera's features to this stream.
    bool claimBinding() { return !bound_.exchange(true); }

    // ---- SDK side ----
    // memory null: the stream allocates size bytes.
    int announce(void* memory, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* handle);
    int revoke(ORV_BUFFER_HANDLE handle, void** memory, void** userPointer);
    int queue(ORV_BUFFER_HANDLE handle);
    int bufferId(uint32_t index, ORV_BUFFER_HANDLE* handle) const;
    int flush(uint32_t operation);
    int wait(void** userPointer, ORV_BUFFER_HANDLE* handle, uint32_t timeoutMs);
    int bufferInfo(ORV_BUFFER_HANDLE handle, ORV_BUFFER_INFO* info) const;
    int start(uint32_t flags, uint64_t imageCount);
    int stop(uint32_t flags);
    int info(ORV_DS_INFO* info);
    // The handle closes: stop, end waits, revoke every buffer.
    void close();

    // ---- camera side ----
    void acquisitionStart();
    void acquisitionStop();
    void softwareTrigger();
    // A remote-device event of the camera, not tied to an image.
    void postDeviceEvent(uint16_t eventId);
    // The sequencer ran its sequence: event 0x9000.
    void sequenceDone() { postDeviceEvent(0x9000); }
    bool acquiring() const;
    // Payload of the current image settings (overrides included).
    uint32_t payloadSize(bool remote);
    uint64_t lostFrameCount() const;   // no buffer queued
    uint64_t frameLoss() const;        // lost on the way
    uint64_t deliveredCount() const;
    uint32_t announcedCount() const;

    // ---- test control ----
    void setManual(bool on);
    void requestFrames(uint32_t n);
    void setStall(bool on);
    void drop(uint32_t n);
    void incomplete(uint32_t n);
    void setNextId(uint64_t id);
    void failAnnounce(uint32_t nth, int code);
    void setInfoMode(InfoMode mode);
    // Overrides PayloadSize of the remote device or the stream; negative clears.
    void setPayloadOverride(bool remote, int64_t bytes);
    void setPixelType(PixelTypeMode mode, uint32_t type, uint32_t secondWord);
    void setFrameRate(double fps);     // 0: the camera's own
    void setContent(const Content& content);
    Content content() const;
    // Remote-device event IDs sent per image (default 0x9007, 0x9008).
    void setFrameEvents(std::vector<uint16_t> ids);
    // Clears every test-control setting.
    void resetControls();

private:
    enum class State { Announced, Queued, Filling, Output, Delivered };
    struct Buffer {
        ORV_BUFFER_HANDLE handle = 0;
        uint8_t* memory = nullptr;
        std::unique_ptr<uint8_t[]> owned;
        uint32_t size = 0;
        void* user = nullptr;
        State state = State::Announced;
        bool filled = false;
        ORV_BUFFER_INFO record{};
    };
    using Clock = std::chrono::steady_clock;

    // One wait or one image of the producer; false when it ends.
    bool producerStep(Clock::time_point& next);
    void produceOne();
    void joinProducer(std::unique_lock<std::mutex>& lock);
    void sendEvents(std::vector<std::vector<uint8_t>>& events, std::vector<int32_t>& types);
    uint64_t timestampNow();
    Buffer* findLocked(ORV_BUFFER_HANDLE handle);
    const Buffer* findLocked(ORV_BUFFER_HANDLE handle) const;
    void revokeLocked(std::map<ORV_BUFFER_HANDLE, Buffer>::iterator it);

    mutable std::mutex mutex_;
    std::condition_variable outputReady_;
    std::condition_variable producerWake_;
    Hooks hooks_;
    std::string streamId_ = "Stream0";
    bool sdkTypes_ = true;
    std::atomic<bool> bound_{false};
    std::unique_ptr<ShadingTable> shading_;

    std::map<ORV_BUFFER_HANDLE, Buffer> buffers_;
    std::vector<ORV_BUFFER_HANDLE> order_;   // announce order
    std::deque<ORV_BUFFER_HANDLE> input_;
    std::deque<ORV_BUFFER_HANDLE> output_;
    uint64_t abortGeneration_ = 0;

    bool started_ = false;
    uint64_t imagesLeft_ = 0;
    uint64_t nextId_ = 1;
    uint64_t lost_ = 0;
    uint64_t frameLoss_ = 0;
    uint64_t delivered_ = 0;
    uint64_t lastTimestamp_ = 0;
    const Clock::time_point powerUp_ = Clock::now();

    bool acquiring_ = false;
    bool producerStop_ = false;
    std::thread producer_;
    uint32_t pendingTriggers_ = 0;
    uint32_t pendingFrames_ = 0;
    SimImageGenerator generator_;  // producer thread only
    uint64_t frameNumber_ = 0;     // producer thread only

    bool manual_ = false;
    bool stall_ = false;
    uint32_t drops_ = 0;
    uint32_t incompletes_ = 0;
    bool nextIdSet_ = false;
    uint64_t nextIdValue_ = 0;
    uint32_t announceFailNth_ = 0;
    int announceFailCode_ = 0;
    uint32_t announcesSinceFault_ = 0;
    InfoMode infoMode_ = InfoMode::Normal;
    int64_t payloadRemote_ = -1;
    int64_t payloadStream_ = -1;
    PixelTypeMode pixelMode_ = PixelTypeMode::Sdk;
    bool pixelModeSet_ = false;
    uint32_t rawType_ = 0;
    uint32_t rawSecondWord_ = 0;
    double fpsOverride_ = 0;
    Content content_;
    std::vector<uint16_t> frameEvents_{0x9007, 0x9008};
};

} // namespace quillan

#endif // STREAMSTATE_H
