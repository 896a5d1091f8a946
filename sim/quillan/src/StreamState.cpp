#include "StreamState.h"

#include "ShadingTable.h"
#include "EventRecords.h"
#include "SimPixelFormat.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace quillan {

namespace {

// Buffer handles: one process-wide counter, never reused.
ORV_BUFFER_HANDLE nextBufferHandle()
{
    static std::atomic<uint32_t> next{0x40000000u};
    return next.fetch_add(1);
}

constexpr uint64_t kEndless = ~uint64_t(0);
constexpr auto kPoll = std::chrono::milliseconds(50);

} // namespace

StreamState::StreamState() : shading_(new ShadingTable) {}

StreamState::~StreamState()
{
    std::unique_lock<std::mutex> lock(mutex_);
    acquiring_ = false;
    producerStop_ = true;
    // The producer may hold the last owner: it ends on its own after this.
    if (producer_.joinable() && producer_.get_id() == std::this_thread::get_id())
        producer_.detach();
    else
        joinProducer(lock);
}

void StreamState::setHooks(Hooks hooks)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_ = std::move(hooks);
}

void StreamState::setStreamId(const std::string& id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    streamId_ = id;
}

void StreamState::setDeliversSdkTypes(bool sdk)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sdkTypes_ = sdk;
}

StreamState::Buffer* StreamState::findLocked(ORV_BUFFER_HANDLE handle)
{
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : &it->second;
}

const StreamState::Buffer* StreamState::findLocked(ORV_BUFFER_HANDLE handle) const
{
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : &it->second;
}

int StreamState::announce(void* memory, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* handle)
{
    if (!handle || size == 0)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(mutex_);
    if (announceFailNth_ != 0 && ++announcesSinceFault_ == announceFailNth_) {
        announceFailNth_ = 0;
        return announceFailCode_;
    }
    Buffer b;
    if (memory) {
        b.memory = static_cast<uint8_t*>(memory);
    } else {
        b.owned.reset(new (std::nothrow) uint8_t[size]);
        if (!b.owned)
            return ORV_ERROR_INVALID_ARGUMENT;
        b.memory = b.owned.get();
    }
    b.size = size;
    b.user = userPointer;
    b.handle = nextBufferHandle();
    *handle = b.handle;
    order_.push_back(b.handle);
    buffers_.emplace(b.handle, std::move(b));
    return ORV_SUCCESS;
}

void StreamState::revokeLocked(std::map<ORV_BUFFER_HANDLE, Buffer>::iterator it)
{
    const ORV_BUFFER_HANDLE h = it->first;
    input_.erase(std::remove(input_.begin(), input_.end(), h), input_.end());
    output_.erase(std::remove(output_.begin(), output_.end(), h), output_.end());
    order_.erase(std::remove(order_.begin(), order_.end(), h), order_.end());
    buffers_.erase(it);
}

int StreamState::revoke(ORV_BUFFER_HANDLE handle, void** memory, void** userPointer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = buffers_.find(handle);
    if (it == buffers_.end())
        return ORV_ERROR_INVALID_HANDLE;
    const State s = it->second.state;
    if (s == State::Filling || (started_ && s != State::Announced))
        return ORV_ERROR_BUSY;
    if (memory)
        *memory = it->second.owned ? nullptr : it->second.memory;
    if (userPointer)
        *userPointer = it->second.user;
    revokeLocked(it);
    return ORV_SUCCESS;
}

int StreamState::queue(ORV_BUFFER_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Buffer* b = findLocked(handle);
    if (!b)
        return ORV_ERROR_INVALID_HANDLE;
    if (b->state != State::Announced && b->state != State::Delivered)
        return ORV_ERROR_INVALID_ARGUMENT;
    b->state = State::Queued;
    input_.push_back(handle);
    return ORV_SUCCESS;
}

int StreamState::bufferId(uint32_t index, ORV_BUFFER_HANDLE* handle) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!handle || index >= order_.size())
        return ORV_ERROR_INVALID_ARGUMENT;
    *handle = order_[index];
    return ORV_SUCCESS;
}

int StreamState::flush(uint32_t operation)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto setAll = [&](std::deque<ORV_BUFFER_HANDLE>& from, State to) {
        for (ORV_BUFFER_HANDLE h : from) {
            Buffer& b = buffers_[h];
            b.state = to;
            b.filled = false;
        }
    };
    switch (operation) {
    case 0:  // input pool to output queue, without images
        setAll(input_, State::Output);
        output_.insert(output_.end(), input_.begin(), input_.end());
        input_.clear();
        lock.unlock();
        outputReady_.notify_all();
        return ORV_SUCCESS;
    case 1:  // discard the output queue
        setAll(output_, State::Announced);
        output_.clear();
        return ORV_SUCCESS;
    case 2:  // every buffer to the input pool
    case 3:  // buffers that are not queued to the input pool
        for (ORV_BUFFER_HANDLE h : order_) {
            Buffer& b = buffers_[h];
            const bool take = operation == 2 ? (b.state == State::Announced || b.state == State::Output || b.state == State::Delivered)
                                             : b.state == State::Announced;
            if (take) {
                b.state = State::Queued;
                input_.push_back(h);
            }
        }
        output_.erase(std::remove_if(output_.begin(), output_.end(), [&](ORV_BUFFER_HANDLE h) { return buffers_[h].state == State::Queued; }),
                      output_.end());
        return ORV_SUCCESS;
    case 4:  // discard everything
        setAll(input_, State::Announced);
        setAll(output_, State::Announced);
        input_.clear();
        output_.clear();
        return ORV_SUCCESS;
    default:
        return ORV_ERROR_INVALID_ARGUMENT;
    }
}

int StreamState::wait(void** userPointer, ORV_BUFFER_HANDLE* handle, uint32_t timeoutMs)
{
    if (!userPointer || !handle)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t generation = abortGeneration_;
    const bool ready = outputReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return !output_.empty() || generation != abortGeneration_;
    });
    if (generation != abortGeneration_)
        return ORV_ERROR_ABORTED;
    if (!ready)
        return ORV_ERROR_TIMEOUT;
    const ORV_BUFFER_HANDLE h = output_.front();
    output_.pop_front();
    Buffer& b = buffers_[h];
    b.state = State::Delivered;
    *userPointer = b.user;
    *handle = h;
    return ORV_SUCCESS;
}

int StreamState::bufferInfo(ORV_BUFFER_HANDLE handle, ORV_BUFFER_INFO* info) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Buffer* b = findLocked(handle);
    if (!b)
        return ORV_ERROR_INVALID_HANDLE;
    if (!info)
        return ORV_ERROR_INVALID_ARGUMENT;
    if (!b->filled)
        return ORV_ERROR_NOT_AVAILABLE;
    *info = b->record;
    return ORV_SUCCESS;
}

int StreamState::start(uint32_t flags, uint64_t imageCount)
{
    (void)flags;
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_)
        return ORV_ERROR_BUSY;
    started_ = true;
    imagesLeft_ = imageCount == 0 ? kEndless : imageCount;
    nextId_ = 1;
    lost_ = 0;
    frameLoss_ = 0;
    delivered_ = 0;
    return ORV_SUCCESS;
}

int StreamState::stop(uint32_t flags)
{
    (void)flags;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started_ = false;
        ++abortGeneration_;
    }
    outputReady_.notify_all();
    return ORV_SUCCESS;
}

void StreamState::close()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        started_ = false;
        ++abortGeneration_;
        // A buffer being filled is left to the producer, which drops it when
        // it finds the buffer gone.
        for (auto it = buffers_.begin(); it != buffers_.end();) {
            auto next = std::next(it);
            if (it->second.state != State::Filling)
                revokeLocked(it);
            it = next;
        }
    }
    outputReady_.notify_all();
}

int StreamState::info(ORV_DS_INFO* out)
{
    if (!out)
        return ORV_ERROR_INVALID_ARGUMENT;
    const uint32_t payload = payloadSize(false);
    std::lock_guard<std::mutex> lock(mutex_);
    std::memset(out, 0, sizeof *out);
    std::strncpy(out->streamId, streamId_.c_str(), sizeof out->streamId - 1);
    out->deliveredFrameCount = delivered_;
    out->lostFrameCount = lost_;
    out->announcedBuffers = uint32_t(buffers_.size());
    out->queuedBuffers = uint32_t(input_.size());
    out->awaitingDelivery = uint32_t(output_.size());
    out->acquisitionRunning = started_ ? 1 : 0;
    out->payloadSize = infoMode_ == InfoMode::Zero ? 0 : payload;
    out->payloadSizeValid = infoMode_ == InfoMode::Invalid ? 0 : 1;
    return ORV_SUCCESS;
}

// ---- camera side ----

void StreamState::joinProducer(std::unique_lock<std::mutex>& lock)
{
    if (!producer_.joinable() || producer_.get_id() == std::this_thread::get_id())
        return;
    std::thread t = std::move(producer_);
    lock.unlock();
    producerWake_.notify_all();
    t.join();
    lock.lock();
}

void StreamState::acquisitionStart()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (acquiring_)
        return;
    // A producer that ended by itself (single frame) is joined first.
    producerStop_ = true;
    joinProducer(lock);
    if (acquiring_)
        return;
    acquiring_ = true;
    producerStop_ = false;
    pendingTriggers_ = 0;
    pendingFrames_ = 0;
    // The thread keeps the stream alive only while it makes one step, so the
    // last owner may let it go at any time; a stream that is not owned by a
    // shared pointer is always destroyed from another thread, which joins.
    std::weak_ptr<StreamState> weak = weak_from_this();
    StreamState* unowned = weak.expired() ? this : nullptr;
    producer_ = std::thread([weak, unowned] {
        Clock::time_point next = Clock::now();
        for (;;) {
            auto self = weak.lock();
            StreamState* s = unowned ? unowned : self.get();
            if (!s || !s->producerStep(next))
                return;
        }
    });
}

void StreamState::acquisitionStop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    acquiring_ = false;
    producerStop_ = true;
    joinProducer(lock);
}

void StreamState::softwareTrigger()
{
    if (!acquiring())
        return;
    // The trigger's event goes out before the image it starts.
    postDeviceEvent(0x9004);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!acquiring_)
            return;
        ++pendingTriggers_;
    }
    producerWake_.notify_all();
}

void StreamState::postDeviceEvent(uint16_t eventId)
{
    uint64_t ts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ts = timestampNow();
    }
    std::vector<std::vector<uint8_t>> events;
    std::vector<int32_t> types;
    const auto r = remoteDeviceRecord(eventId, 0, 0, ts);
    events.emplace_back(reinterpret_cast<const uint8_t*>(&r), reinterpret_cast<const uint8_t*>(&r) + sizeof r);
    types.push_back(ORV_EVENT_TYPE_REMOTE_DEVICE);
    sendEvents(events, types);
}

bool StreamState::acquiring() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return acquiring_;
}

uint32_t StreamState::payloadSize(bool remote)
{
    std::function<bool(SimImageSettings&)> settings;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t over = remote ? payloadRemote_ : payloadStream_;
        if (over >= 0)
            return uint32_t(over);
        settings = hooks_.imageSettings;
    }
    SimImageSettings s;
    if (settings && !settings(s))
        return 0;
    return uint32_t(SimPixelFormat::imageBytes(s.pixelFormat, s.width, s.height));
}

uint64_t StreamState::lostFrameCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

uint64_t StreamState::frameLoss() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frameLoss_;
}

uint64_t StreamState::deliveredCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
}

uint32_t StreamState::announcedCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return uint32_t(buffers_.size());
}

uint64_t StreamState::timestampNow()
{
    const uint64_t ns = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - powerUp_).count());
    lastTimestamp_ = std::max(ns, lastTimestamp_ + 1);
    return lastTimestamp_;
}

void StreamState::sendEvents(std::vector<std::vector<uint8_t>>& events, std::vector<int32_t>& types)
{
    std::function<void(int32_t, const void*, size_t)> sink;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sink = hooks_.event;
    }
    if (sink) {
        for (size_t i = 0; i < events.size(); ++i)
            sink(types[i], events[i].data(), events[i].size());
    }
    events.clear();
    types.clear();
}

bool StreamState::producerStep(Clock::time_point& next)
{
    std::function<void(Timing&)> timingHook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timingHook = hooks_.timing;
    }
    Timing timing;
    if (timingHook)
        timingHook(timing);

    std::unique_lock<std::mutex> lock(mutex_);
    if (producerStop_ || !acquiring_)
        return false;
    bool due = false;
    const Clock::time_point now = Clock::now();
    if (stall_) {
        producerWake_.wait_for(lock, kPoll);
    } else if (manual_ || timing.triggered) {
        uint32_t& pending = manual_ ? pendingFrames_ : pendingTriggers_;
        if (pending > 0) {
            --pending;
            due = true;
        } else {
            producerWake_.wait_for(lock, kPoll);
        }
    } else {
        const double fps = std::clamp(fpsOverride_ > 0 ? fpsOverride_ : timing.frameRate, 0.01, 100000.0);
        const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps));
        if (now >= next) {
            due = true;
            next += period;
            if (next < now)
                next = now + period;  // fell behind: no burst of late images
        } else {
            producerWake_.wait_until(lock, std::min(next, now + kPoll));
        }
    }
    if (!due)
        return true;
    const bool singleFrame = timing.singleFrame && !manual_;
    lock.unlock();
    produceOne();
    if (!singleFrame)
        return true;
    std::function<void()> ended;
    {
        std::lock_guard<std::mutex> relock(mutex_);
        acquiring_ = false;
        ended = hooks_.acquisitionEnded;
    }
    if (ended)
        ended();
    return false;
}

void StreamState::produceOne()
{
    std::function<bool(SimImageSettings&)> settingsHook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settingsHook = hooks_.imageSettings;
    }
    SimImageSettings settings;
    if (settingsHook && !settingsHook(settings))
        return;
    generator_.configure(settings);
    const uint64_t bytes = generator_.imageBytes();
    const SimPixelFormat::Info* format = SimPixelFormat::find(settings.pixelFormat);
    ++frameNumber_;

    std::vector<std::vector<uint8_t>> events;
    std::vector<int32_t> types;
    auto addStreamEvent = [&](int32_t signal, uint64_t id, uint64_t ts, uint32_t size, uint32_t status) {
        const auto r = streamRecord(signal, id, ts, size, status);
        events.emplace_back(reinterpret_cast<const uint8_t*>(&r), reinterpret_cast<const uint8_t*>(&r) + sizeof r);
        types.push_back(ORV_EVENT_TYPE_DS_ACQUISITION);
    };
    auto addDeviceEvent = [&](uint16_t eventId, uint64_t id, uint64_t ts) {
        const auto r = remoteDeviceRecord(eventId, 0, uint16_t(id & 0xFFFF), ts);
        events.emplace_back(reinterpret_cast<const uint8_t*>(&r), reinterpret_cast<const uint8_t*>(&r) + sizeof r);
        types.push_back(ORV_EVENT_TYPE_REMOTE_DEVICE);
    };

    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t id = nextId_;
    if (nextIdSet_) {
        id = nextIdValue_;
        nextIdSet_ = false;
    }
    nextId_ = id + 1;
    const uint64_t ts = timestampNow();
    for (uint16_t e : frameEvents_)
        addDeviceEvent(e, id, ts);
    if (drops_ > 0) {
        --drops_;
        ++frameLoss_;
        addStreamEvent(7, id, ts, 0, 7);
        addDeviceEvent(0x9001, id, ts);
        lock.unlock();
        sendEvents(events, types);
        return;
    }
    if (!started_) {
        lock.unlock();
        sendEvents(events, types);
        return;
    }
    if (input_.empty()) {
        ++lost_;
        addStreamEvent(2, id, ts, 0, 0);
        lock.unlock();
        sendEvents(events, types);
        return;
    }
    const ORV_BUFFER_HANDLE h = input_.front();
    input_.pop_front();
    Buffer& b = buffers_[h];
    b.state = State::Filling;
    const bool incomplete = incompletes_ > 0;
    if (incomplete)
        --incompletes_;
    uint8_t* memory = b.memory;
    const uint32_t capacity = b.size;
    uint32_t type = format ? (format->sdkType && sdkTypes_ ? format->sdkType : format->pfnc) : settings.pixelFormat;
    uint32_t secondWord = 0;
    if (pixelModeSet_) {
        if (pixelMode_ == PixelTypeMode::Pfnc && format)
            type = format->pfnc;
        else if (pixelMode_ == PixelTypeMode::Sdk && format && format->sdkType)
            type = format->sdkType;
        else if (pixelMode_ == PixelTypeMode::Raw) {
            type = rawType_;
            secondWord = rawSecondWord_;
        }
    }
    lock.unlock();

    uint64_t written = generator_.render(frameNumber_, memory, capacity);
    const bool complete = !incomplete && written >= bytes;
    if (incomplete)
        written /= 2;

    lock.lock();
    const auto it = buffers_.find(h);
    if (it == buffers_.end()) {  // the stream closed meanwhile
        lock.unlock();
        sendEvents(events, types);
        return;
    }
    Buffer& done = it->second;
    ORV_BUFFER_INFO& r = done.record;
    std::memset(&r, 0, sizeof r);
    r.pixels = memory;
    r.secondBlock = nullptr;
    r.width = settings.width;
    r.height = settings.height;
    r.size = uint32_t(written);
    r.status = complete ? 1 : 7;
    r.pixelType = uint64_t(type) | (uint64_t(secondWord) << 32);
    r.imageId = id;
    r.timestamp = ts;
    r.payloadType = 1;
    r.acquisitionCounter = delivered_ + 1;
    done.filled = true;
    // Events of the image go out before the image can be taken.
    addStreamEvent(complete ? 1 : 7, id, ts, r.size, r.status);
    lock.unlock();
    sendEvents(events, types);

    lock.lock();
    const auto again = buffers_.find(h);
    if (again == buffers_.end())
        return;
    Buffer& ready = again->second;
    if (!started_) {
        // Stopped while filling: the buffer goes back to the pool unseen.
        ready.state = State::Queued;
        ready.filled = false;
        input_.push_front(h);
        return;
    }
    ready.state = State::Output;
    output_.push_back(h);
    ++delivered_;
    if (imagesLeft_ != kEndless && --imagesLeft_ == 0)
        started_ = false;
    lock.unlock();
    outputReady_.notify_all();
}

// ---- test control ----

void StreamState::setManual(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    manual_ = on;
    pendingFrames_ = 0;
}

void StreamState::requestFrames(uint32_t n)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (acquiring_)
            pendingFrames_ += n;
    }
    producerWake_.notify_all();
}

void StreamState::setStall(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stall_ = on;
    }
    producerWake_.notify_all();
}

void StreamState::drop(uint32_t n)
{
    std::lock_guard<std::mutex> lock(mutex_);
    drops_ = n;
}

void StreamState::incomplete(uint32_t n)
{
    std::lock_guard<std::mutex> lock(mutex_);
    incompletes_ = n;
}

void StreamState::setNextId(uint64_t id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    nextIdSet_ = true;
    nextIdValue_ = id;
}

void StreamState::failAnnounce(uint32_t nth, int code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    announceFailNth_ = nth;
    announceFailCode_ = code;
    announcesSinceFault_ = 0;
}

void StreamState::setInfoMode(InfoMode mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    infoMode_ = mode;
}

void StreamState::setPayloadOverride(bool remote, int64_t bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    (remote ? payloadRemote_ : payloadStream_) = bytes;
}

void StreamState::setPixelType(PixelTypeMode mode, uint32_t type, uint32_t secondWord)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pixelModeSet_ = true;
    pixelMode_ = mode;
    rawType_ = type;
    rawSecondWord_ = secondWord;
}

void StreamState::setFrameRate(double fps)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fpsOverride_ = fps;
    }
    producerWake_.notify_all();
}

void StreamState::Content::applyTo(SimImageSettings& s) const
{
    if (pattern >= 0)
        s.pattern = pattern;
    if (flatValue >= 0)
        s.flatValue = flatValue;
    if (noise >= 0)
        s.noise = noise;
    if (vignetting >= 0)
        s.vignetting = vignetting;
    if (defectsSet)
        s.defects = defects;
    if (castSet)
        s.colourCast = cast;
}

void StreamState::setContent(const Content& content)
{
    std::lock_guard<std::mutex> lock(mutex_);
    content_ = content;
}

StreamState::Content StreamState::content() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return content_;
}

void StreamState::setFrameEvents(std::vector<uint16_t> ids)
{
    std::lock_guard<std::mutex> lock(mutex_);
    frameEvents_ = std::move(ids);
}

void StreamState::resetControls()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        manual_ = false;
        pendingFrames_ = 0;
        stall_ = false;
        drops_ = 0;
        incompletes_ = 0;
        nextIdSet_ = false;
        announceFailNth_ = 0;
        infoMode_ = InfoMode::Normal;
        payloadRemote_ = payloadStream_ = -1;
        pixelModeSet_ = false;
        fpsOverride_ = 0;
        content_ = Content();
        frameEvents_ = {0x9007, 0x9008};
    }
    producerWake_.notify_all();
}

} // namespace quillan
