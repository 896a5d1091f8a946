#include "StreamingChannel.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

using namespace gigefilter;

namespace pellago {

namespace {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kSmallBuffers = 524288;

uint64_t mix(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t systemPhysicalMemory()
{
    struct sysinfo info {};
    if (::sysinfo(&info) != 0)
        return 0;
    return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}

std::atomic<PhysicalMemoryFunction> physicalMemory{&systemPhysicalMemory};

// The MAC of the adapter that carries `hostIp`: an adapter whose first
// address it is wins; one that carries it as a further address is taken
// unless a later adapter's first address matches.
bool adapterMac(uint32_t hostIp, uint8_t mac[6])
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    std::map<std::string, std::vector<uint8_t>> macs;
    std::map<std::string, bool> seenFirst;
    std::string chosen;
    bool chosenIsFirst = false;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr)
            continue;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            macs[a->ifa_name].assign(ll->sll_addr, ll->sll_addr + std::min<int>(ll->sll_halen, 6));
        } else if (a->ifa_addr->sa_family == AF_INET) {
            const bool first = !seenFirst[a->ifa_name];
            seenFirst[a->ifa_name] = true;
            const uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
            if (ip == hostIp && !chosenIsFirst && (first || chosen.empty())) {
                chosen = a->ifa_name;
                chosenIsFirst = first;
            }
        }
    }
    ::freeifaddrs(list);
    if (chosen.empty())
        return false;
    std::memset(mac, 0, 6);
    const std::vector<uint8_t>& found = macs[chosen];
    std::memcpy(mac, found.data(), found.size());
    return true;
}

int64_t ticksToMicros(int64_t ticks, int64_t frequency)
{
    return frequency ? ticks * 1000000 / frequency : ticks;
}

}  // namespace

void setPhysicalMemoryFunction(PhysicalMemoryFunction function)
{
    physicalMemory.store(function ? function : &systemPhysicalMemory);
}

uint32_t nextInstanceId()
{
    // A 32-bit counter run through a bijection of 32-bit words: ids repeat
    // only after 2^32 calls, however many channels are made within one second.
    static const uint32_t seed = static_cast<uint32_t>(
        mix(static_cast<uint64_t>(std::time(nullptr)) + static_cast<uint64_t>(::getpid())));
    static std::atomic<uint32_t> counter{0};
    uint32_t x = seed + counter.fetch_add(1);
    x = (x ^ (x >> 16)) * 0x7FEB352Du;
    x = (x ^ (x >> 15)) * 0x846CA68Bu;
    return x ^ (x >> 16);
}

ImageSlotPool::ImageSlotPool(size_t slots) : records_(slots)
{
    for (size_t i = 0; i < slots; ++i) {
        std::memset(&records_[i], 0, sizeof(ImageRecord));
        records_[i].slotIndex = static_cast<uint32_t>(i);
        records_[i].magic = kImageRecordMagic;
    }
}

ImageRecord& ImageSlotPool::take()
{
    std::lock_guard<std::mutex> hold(lock_);
    current_ = (current_ + 1) % records_.size();
    ImageRecord& record = records_[current_];
    record.inUse = 1;
    return record;
}

namespace {

size_t slotsFor(int32_t bufferSize, int32_t bufferCount)
{
    if (bufferSize <= 0 || bufferCount <= 0)
        return 1;
    const uint64_t total = static_cast<uint64_t>(bufferSize) * static_cast<uint64_t>(bufferCount);
    if (total < kSmallBuffers)
        return kSmallBuffers / static_cast<uint64_t>(bufferSize) + 1;
    return static_cast<size_t>(bufferCount);
}

}  // namespace

StreamingChannel::StreamingChannel(int32_t bufferSize, int32_t payloadSize, int32_t bufferCount)
    : device_(openFilterDevice(kFilterDevicePath)),
      bufferSize_(bufferSize),
      payloadSize_(payloadSize),
      bufferCount_(bufferCount),
      slotCount_(slotsFor(bufferSize, bufferCount)),
      pool_(slotCount_),
      addresses_(slotCount_, nullptr),
      instanceId_(nextInstanceId())
{
    block_.version = kInterfaceVersion;
    block_.instanceId = instanceId_;
    block_.slotCount = static_cast<uint32_t>(slotCount_);
    block_.bufferSize = static_cast<uint32_t>(bufferSize);
    block_.payloadSize = static_cast<uint32_t>(payloadSize);
}

StreamingChannel::~StreamingChannel()
{
    if (open_ || thread_.joinable())
        close();
    stopThread();
    for (size_t i = 0; i < pool_.size() && i < static_cast<size_t>(std::max(bufferCount_, 0)); ++i)
        pool_.at(i).frameData = nullptr;
    if (device_)
        device_->close();
    std::free(scratch_);
}

void StreamingChannel::rewriteKey()
{
    std::memset(block_.secondMac, 0, sizeof block_.secondMac);
    std::memcpy(block_.hostMac, hostMac_, sizeof hostMac_);
    block_.portField = 0;
    block_.streamPort[0] = static_cast<uint8_t>(streamPort_ >> 8);
    block_.streamPort[1] = static_cast<uint8_t>(streamPort_);
    block_.streamPort[2] = block_.streamPort[3] = 0;
    block_.sourceIpNet = htonl(sourceIp_);
    block_.addressField = 0;
    block_.instanceId = instanceId_;
}

bool StreamingChannel::send(uint32_t code, bool needsOpen, uint32_t* returned, bool withKey)
{
    *returned = 0;
    if (!device_ || (needsOpen && !open_))
        return false;
    bool idle = false;
    if (!requestInProgress_.compare_exchange_strong(idle, true))
        return false;
    if (withKey)
        rewriteKey();
    const bool ok = device_->request(code, &block_, sizeof block_, sizeof block_, returned);
    requestInProgress_ = false;
    return ok;
}

// Success as the open, create and buffer-info requests see it.
bool StreamingChannel::sendExpectingReply(uint32_t code, bool needsOpen)
{
    uint32_t returned = 0;
    return send(code, needsOpen, &returned) && returned == sizeof block_
           && block_.marker == kReplyMarker && block_.status == kStatusOk;
}

bool StreamingChannel::probe()
{
    if (!device_ || requestInProgress_)
        return false;
    std::memset(block_.secondMac, 0, sizeof block_.secondMac);
    std::memcpy(block_.hostMac, hostMac_, sizeof hostMac_);
    block_.portField = 0;
    std::memset(block_.streamPort, 0, sizeof block_.streamPort);
    block_.sourceIpNet = 0;
    block_.addressField = 0;
    block_.instanceId = 0;
    block_.status = kStatusProbe;
    block_.marker = kRequestMarker;
    uint32_t returned = 0;
    const bool ok = send(kBufferInfo, false, &returned, false);
    return ok && returned >= sizeof block_ && block_.status != kStatusProbe;
}

bool StreamingChannel::open(const OpenArguments& a)
{
    if (!device_ || requestInProgress_)
        return false;
    callback_ = a.callback;
    context_ = a.context;
    camera_ = a.camera;
    std::memset(hostMac_, 0, sizeof hostMac_);
    streamPort_ = a.streamPort;
    sourceIp_ = a.sourceIp;
    if (a.hostIp != 0 && !adapterMac(a.hostIp, hostMac_)) {
        writeCameraLog(2, camera_.get(), "--> openChannel MACAddressGet(%" PRIdPTR ") failed!\n",
                       reinterpret_cast<intptr_t>(this));
        return false;
    }
    block_.cameraIp = a.cameraIp;
    block_.cameraPort = a.cameraPort;
    block_.hostIp = a.hostIp;
    block_.controlPort = a.controlPort;
    block_.driverParameter = static_cast<uint32_t>(a.driverParameter);
    const uint32_t constants[5] = {2000, 4000, 8000, 13, 15};
    std::memcpy(block_.openConstants, constants, sizeof constants);
    block_.marker = kRequestMarker;
    accept_ = true;

    uint32_t returned = 0;
    const bool called = send(kOpenChannel, false, &returned);
    if (called && returned == sizeof block_ && block_.marker == kReplyMarker)
        writeCameraLog(4, camera_.get(), "--> openChannel [%" PRIXPTR "] Status: %d",
                       reinterpret_cast<uintptr_t>(this), static_cast<int>(block_.status));
    if (!called || returned != sizeof block_ || block_.marker != kReplyMarker
        || block_.status != kStatusOk)
        return false;
    oldStyleBaseline_ = block_.oldStyleCounter;
    open_ = true;
    if (!createBuffers(block_.slotCount, block_.bufferSize)) {
        close();
        block_.status = kStatusBufferAllocation;
        return false;
    }
    return true;
}

bool StreamingChannel::createBuffers(uint32_t count, uint32_t size)
{
    if (requestInProgress_ || !open_ || count == 0 || size == 0)
        return false;
    const uint64_t total = static_cast<uint64_t>(count) * size;
    const uint64_t memory = physicalMemory.load()();
    if (total > memory - std::min<uint64_t>(256 * kMiB, memory / 2))
        return false;
    scratch_ = std::malloc(total);
    if (!scratch_)
        return false;
    block_.scratch = scratch_;
    block_.slotCount = count;
    block_.bufferSize = size;
    block_.marker = kRequestMarker;
    uint32_t returned = 0;
    const bool created = send(kCreateBuffers, true, &returned) && returned == sizeof block_
                         && block_.status == kStatusOk;
    const int sizeMiB = static_cast<int>(size / kMiB);
    const int totalMiB = static_cast<int>(total / kMiB);
    if (!created) {
        writeCameraLog(2, camera_.get(), "Buffer creation failed: %d buffers (%dx %d MB = %d MB)",
                       static_cast<int>(count), static_cast<int>(count), sizeMiB, totalMiB);
        return false;
    }
    writeCameraLog(2, camera_.get(), "Buffer creation OK: %d buffers allocated (%dx %d MB = %d MB)",
                   static_cast<int>(count), static_cast<int>(count), sizeMiB, totalMiB);

    // Every buffer needs its address, or no frame could be read from it.
    if (addresses_.size() < count)
        addresses_.resize(count, nullptr);
    for (uint32_t i = 0; i < count; ++i) {
        block_.bufferInfoRequest = kBufferInfoRequest;
        block_.bufferIndex = i;
        block_.marker = kRequestMarker;
        block_.frameData = nullptr;
        if (!sendExpectingReply(kBufferInfo, true) || !block_.frameData)
            return false;
        addresses_[i] = block_.frameData;
    }

    try {
        stop_ = false;
        done_ = false;
        thread_ = std::thread([this] { receiveLoop(); });
    } catch (const std::system_error&) {
        return false;
    }
    sched_param priority{};
    priority.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(thread_.native_handle(), SCHED_FIFO, &priority);  // refusal ignored
    std::free(scratch_);
    scratch_ = nullptr;
    return true;
}

void StreamingChannel::stopThread()
{
    stop_ = true;
    if (!thread_.joinable())
        return;
    bool ended;
    {
        std::unique_lock<std::mutex> hold(doneLock_);
        ended = doneSignal_.wait_for(hold, std::chrono::milliseconds(3000), [this] { return done_; });
    }
    // A wait the driver does not end by itself is woken by closing the
    // device; nothing is freed before the thread has ended.
    if (!ended && device_)
        device_->close();
    thread_.join();
}

void StreamingChannel::close()
{
    stopThread();
    std::free(scratch_);
    scratch_ = nullptr;
    block_.scratch = nullptr;
    block_.marker = kRequestMarker;
    uint32_t returned = 0;
    send(kDestroyBuffers, true, &returned);
    if (open_ && !requestInProgress_) {
        block_.marker = kRequestMarker;
        // The close request still needs the open flag to be sent.
        const bool called = send(kCloseChannel, true, &returned);
        open_ = false;
        if (called && returned == sizeof block_)
            writeCameraLog(4, camera_.get(), "--> closeChannel [%" PRIXPTR "] Status: %d",
                           reinterpret_cast<uintptr_t>(this), static_cast<int>(block_.status));
    }
}

void StreamingChannel::enable(bool accept)
{
    if (accept)
        enableTime_ = logClock().counter();
    accept_ = accept;
}

void* StreamingChannel::bufferAddress(int32_t index) const
{
    if (index < 0 || index >= bufferCount_ || static_cast<size_t>(index) >= addresses_.size())
        return nullptr;
    return addresses_[static_cast<size_t>(index)];
}

int32_t StreamingChannel::deliver(OrvGigETL_SIGNAL& signal, const char* name)
{
    if (name)
        writeCameraLog(7, camera_.get(),
                       "<<< %s() function= 0x%" PRIXPTR "  context= 0x%" PRIXPTR "  signal= 0x%" PRIXPTR,
                       name, reinterpret_cast<uintptr_t>(callback_),
                       reinterpret_cast<uintptr_t>(context_), reinterpret_cast<uintptr_t>(&signal));
    return callback_ ? callback_(&signal, context_) : 0;
}

int32_t StreamingChannel::deliverEvent(int32_t type, void* data, int32_t value, const char* name)
{
    OrvGigETL_SIGNAL& s = signals_[type];
    s = {type, data, value, {0}};
    s.stamp.time = eventTime_;
    return deliver(s, name);
}

void StreamingChannel::deliverMulticast(OrvGigETL_SIGNAL& signal, OrvGigETL_MULTICAST_MESSAGE& data)
{
    signal = {OrvGigETL_SIGNAL_MULTICAST_MESSAGE, &data, 16, {0}};
    writeCameraLog(7, camera_.get(),
                   "<<< signalMulticast() function= 0x%" PRIXPTR "  context= 0x%" PRIXPTR "  signal= 0x%" PRIXPTR
                   " message= %d group= 0x%08X port= %d payload= %d",
                   reinterpret_cast<uintptr_t>(callback_), reinterpret_cast<uintptr_t>(context_),
                   reinterpret_cast<uintptr_t>(&signal), data.message, data.group, data.port, data.payload);
    deliver(signal, nullptr);
}

void StreamingChannel::receiveLoop()
{
    for (;;) {
        block_.marker = kRequestMarker;
        block_.eventType = 0;
        block_.accept = accept_ ? 1 : 0;
        uint32_t returned = 0;
        const bool called = send(kWaitForEvent, true, &returned);
        if (stop_ || !called)
            break;
        if (returned == sizeof block_ && block_.marker == kReplyMarker && block_.status == kStatusOk) {
            const int64_t frequency = logClock().frequency();
            if (frequency != 0)
                eventTime_ = static_cast<double>(block_.eventTime) * 1000000.0 / static_cast<double>(frequency);
            handleEvent();
        } else if (block_.status == kStatusOldStyle) {
            const uint32_t counter = block_.oldStyleCounter;
            if (counter > oldStyleBaseline_ + 100 && counter > oldStyleBaseline_ && !oldStyleGiven_
                && !stop_) {
                deliverEvent(OrvGigETL_SIGNAL_OLD_STYLE_DATA_PACKETS, nullptr,
                             static_cast<int32_t>(oldStyleBaseline_), "signalOldStyleDataPackets");
                oldStyleGiven_ = true;
            }
            oldStyleBaseline_ = counter;
        } else if (block_.status == kStatusEnd || block_.marker != kReplyMarker) {
            break;
        }
        if (stop_)
            break;
    }
    std::lock_guard<std::mutex> hold(doneLock_);
    done_ = true;
    doneSignal_.notify_all();
}

void StreamingChannel::handleEvent()
{
    switch (block_.eventType) {
    case kEventFrameCompleted:
    case kEventFrameAbandoned:
        handleFrame(block_.eventType);
        break;
    case kEventStartOfTransfer:
        handleStart();
        break;
    case kEventBandwidthExceeded:
        deliverEvent(OrvGigETL_SIGNAL_BANDWIDTH_EXCEEDED, nullptr, 0, "signalBandwidthExceeded");
        startsInARow_ = 0;
        break;
    case kEventTestPacket:
        deliverEvent(OrvGigETL_SIGNAL_TEST_PACKET, nullptr, 0, "SignalTestPacket");
        startsInARow_ = 0;
        break;
    case kEventResend:
        writeCameraLog(4, camera_.get(), "ResendPacket for BlockID: %d", static_cast<int>(block_.blockId));
        requestResend();
        break;
    default:
        break;
    }
}

// Frames lost between block id `last` and `id`, counted forward in the id
// cycle. A jump forward by half the cycle or more is a late id, or the camera
// beginning its ids anew, not frames lost. So is a jump to a lower id unless
// it crosses the end of the cycle with no more frames lost than `limit`, the
// most that the time between the two frames could hold: the wire cannot tell
// a camera that began anew from one whose ids came round while frames were
// lost, but a gap longer than the time allows is the first. The same holds
// for any jump to an id `reused` within the frame time-out (a restart, or a
// repeat of an earlier frame), where only the camera's timestamps are close
// enough to tell.
uint32_t StreamingChannel::framesSkipped(uint16_t last, uint16_t id, uint32_t limit, bool reused)
{
    if (!blockIdComesAfter(id, last))
        return 0;
    const uint32_t skipped = blockIdSteps(last, id) - 1;
    return (id < last || reused) && skipped > limit ? 0 : skipped;
}

// The most frames that could have been sent between the last frame and one
// with camera timestamp `stamp` completed at `at`: twice the frame periods
// in between, by the camera's timestamps where it stamps its frames, else
// by the host's completion times (`byHost`). Without a period yet, a guess.
uint32_t StreamingChannel::FramePace::limit(uint64_t stamp, int64_t at, bool byHost) const
{
    const auto periods = [](double elapsed, double period) {
        return static_cast<uint32_t>(std::min(2.0 * elapsed / period, double(kNoLimit)));
    };
    if (stamp != 0 && lastStamp != 0 && stamp != lastStamp && stampStep > 0)
        return stamp < lastStamp ? 0 : periods(double(stamp - lastStamp), stampStep);  // its clock began anew
    if (!byHost)
        return 0;
    if (at > lastAt && hostStep > 0)
        return periods(double(at - lastAt), hostStep);
    return kWrapGapLimit - 1;
}

// Learns the frame period from frames that follow each other.
void StreamingChannel::FramePace::next(bool consecutive, uint64_t stamp, int64_t at)
{
    const auto learn = [](double& step, double elapsed) { step = step > 0 ? (3 * step + elapsed) / 4 : elapsed; };
    if (consecutive && stamp > lastStamp && lastStamp != 0)
        learn(stampStep, double(stamp - lastStamp));
    if (consecutive && at > lastAt && lastAt != 0)
        learn(hostStep, double(at - lastAt));
    lastStamp = stamp;
    lastAt = at;
}

void StreamingChannel::handleFrame(uint32_t event)
{
    const uint16_t id = block_.blockId;
    uint32_t skipped = 0;
    if (id != 0 && lastBlockId_ != 0) {
        const bool reused = block_.idReused != 0;
        const uint32_t limit = pace_.limit(block_.cameraTimestamp, block_.completionTime, !reused);
        skipped = framesSkipped(lastBlockId_, id, limit, reused);
        // After a jump (a repeat, or a restart) ids may go on from the one
        // before the jump: a repeat's frames lost nothing.
        if (aheadBlockId_ != 0 && (id == aheadBlockId_ || blockIdComesAfter(id, aheadBlockId_))) {
            skipped = std::min(skipped, framesSkipped(aheadBlockId_, id, limit, reused));
            aheadBlockId_ = 0;
        }
        const bool jumped = !blockIdComesAfter(id, lastBlockId_)
                            || (reused && skipped == 0 && blockIdSteps(lastBlockId_, id) > 1);
        if (jumped && aheadBlockId_ == 0)
            aheadBlockId_ = lastBlockId_;
    }
    // Frames the driver could not keep may lie in the gap: counted once.
    lostFrames_ += std::max(skipped, block_.framesDropped);
    if (event == kEventFrameAbandoned)
        lostFrames_ += 1;
    pace_.next(lastBlockId_ != 0 && blockIdSteps(lastBlockId_, id) == 1, block_.cameraTimestamp,
               block_.completionTime);

    ImageRecord& r = pool_.take();
    r.frameData = block_.frameData;
    r.frameSize = block_.frameSize;
    r.blockId = id;
    r.value364 = block_.value364;
    r.value112 = block_.value112;
    r.value228 = block_.value228;
    r.value232 = block_.value232;
    r.value236 = block_.value236;
    r.value248 = block_.value248;
    std::memcpy(r.frameValues, block_.frameValues, sizeof r.frameValues);
    r.cameraTimestamp = block_.cameraTimestamp;
    r.resentPackets = block_.resentPackets;
    r.lostFrames = lostFrames_;

    const int64_t frequency = logClock().frequency();
    const uint64_t transfer = static_cast<uint64_t>(ticksToMicros(block_.transferDuration, frequency));
    r.transferTime = static_cast<uint32_t>(transfer);
    if (transfer > 0) {
        const float rate = static_cast<float>(static_cast<double>(r.frameSize) / static_cast<double>(transfer));
        if (rate > peakRate_)
            peakRate_ = rate;
    }
    r.peakTransferRate = peakRate_;
    updateRates(r);
    writeCameraLog(6, camera_.get(), "    ImgBuffer: %d  Transfer: %d ", static_cast<int>(r.slotIndex),
                   static_cast<int>(r.transferTime));

    const bool accepted = accept_ && block_.completionTime >= enableTime_.load();
    if (accepted && event == kEventFrameCompleted) {
        writeCameraLog(4, camera_.get(), "<-- ImageCallback(ID=%05d): %5.3f MB/s   Resend packets: %d", id,
                       dataRate_, static_cast<int>(r.resentPackets));
        writeCameraLog(4, camera_.get(), "<-- ImageCallback(ID=%05d): signal->timestamp:%5.3f, img->timestamp:%lu",
                       id, eventTime_, static_cast<unsigned long>(r.cameraTimestamp & 0xFFFFFFFFu));
        if (lastBlockId_ + 1 != id && lastBlockId_ != 65535 && id != 1)
            writeCameraLog(3, camera_.get(), "<-- ImageCallback(ID=%05d): gap %d - %d", id, lastBlockId_, id);
        r.state = 1;
        const int32_t result = deliverEvent(OrvGigETL_SIGNAL_FRAME_COMPLETED, &r, bufferSize_, "signalFrameCompleted");
        const uint32_t values[5] = {r.sequence, r.offset, r.count, r.cycle, r.fifthReleaseValue};
        std::memcpy(block_.releaseValues, values, sizeof values);
        writeCameraLog(7, camera_.get(), "    Ret=%d  Sequence=%d  Offset=%d  Count=%d  Cycle=%d", result,
                       static_cast<int>(r.sequence), static_cast<int>(r.offset), static_cast<int>(r.count),
                       static_cast<int>(r.cycle));
    } else if (accepted) {
        writeCameraLog(5, camera_.get(), "<-- ImageAbandoned(ID=%05d)  PacketResend: %d", id,
                       static_cast<int>(r.resentPackets));
        r.state = 2;
        deliverEvent(OrvGigETL_SIGNAL_FRAME_ABANDONED, &r, bufferSize_, "signalFrameAbandoned");
    } else {
        writeCameraLog(5, camera_.get(), "<-- ImageRejected(ID=%05d): '%s' time condition=%3.0f", id,
                       accept_ ? "enabled" : "disabled",
                       static_cast<double>(block_.completionTime - enableTime_.load()) / 1000000.0);
    }
    release(id);
    lastBlockId_ = id;
    startsInARow_ = 0;
}

void StreamingChannel::handleStart()
{
    uint16_t id = block_.startBlockId;
    if (id == 0) {
        id = 1;
        startAdjustment_ = 1;
    } else {
        id = static_cast<uint16_t>(id + startAdjustment_);
    }
    writeCameraLog(5, camera_.get(), "<-- ImagesStart(ID=%05d): %d", id, startsInARow_);
    ImageRecord& r = pool_.take();
    r.frameData = nullptr;
    r.frameSize = block_.frameSize;
    r.cameraTimestamp = block_.cameraTimestamp;
    r.resentPackets = 0;
    r.blockId = id;
    r.value364 = block_.value364;
    r.lostFrames = lostFrames_;
    deliverEvent(OrvGigETL_SIGNAL_START_OF_TRANSFER, &r, 0, "signalStartOfTransfer");
    if (++startsInARow_ > 3) {
        multicast_ = {1, 0, 0, payloadSize_};
        deliverMulticast(signals_[OrvGigETL_SIGNAL_MULTICAST_MESSAGE], multicast_);
    }
}

void StreamingChannel::requestResend()
{
    const uint16_t id = block_.blockId;
    int32_t* entries = block_.packetStatus;
    if (id == 0 || !entries)
        return;
    const uint32_t count = block_.packetCountLess3 + 3;
    int64_t first = -1, last = -1;
    for (uint32_t i = 0; i < count; ++i) {
        if (entries[i] != 1) {
            if (first < 0)
                first = i;
            last = i;
            entries[i] -= 1;
        }
        if ((entries[i] == 1 || i + 1 == count) && first >= 0)
            break;
    }
    if (first < 0)
        return;
    resentTotal_ += static_cast<uint32_t>(last - first + 1);
    writeCameraLog(4, camera_.get(),
                   "    Image Incomplete (ID=%05d) -> send PacketResend (%d..%d) total: %d  FrameLoss: %d", id,
                   static_cast<int>(first), static_cast<int>(last), static_cast<int>(resentTotal_),
                   static_cast<int>(lostFrames_));
    CameraConnection* c = camera_.get();
    if (!c || c->socketGone)
        return;
    uint8_t packet[20] = {0x42, 0x00, 0x00, 0x40, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00,
                          static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)};
    const uint32_t ids[2] = {htonl(static_cast<uint32_t>(first)), htonl(static_cast<uint32_t>(last))};
    std::memcpy(packet + 12, ids, sizeof ids);
    ::sendto(c->controlSocket, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&c->cameraAddress),
             sizeof c->cameraAddress);
}

void StreamingChannel::updateRates(ImageRecord& record)
{
    const int64_t now = logClock().counter();
    const int64_t ticks = now - previousFrameCounter_;
    previousFrameCounter_ = now;
    if (ticks <= 0) {
        frameRate_ = 0;
    } else {
        const double instant = static_cast<double>(logClock().frequency()) / static_cast<double>(ticks);
        double alpha = 0.05, beta = 0.2;
        if (frameRate_ > 50)
            alpha = 0.15, beta = 0.005;
        if (std::fabs(instant - frameRate_) > frameRate_ * alpha)
            frameRate_ = instant;
        frameRate_ += (instant - frameRate_) * beta;
        if (frameRate_ > 1000)
            frameRate_ = 0;
        dataRate_ = payloadSize_ > 0 ? static_cast<double>(bufferSize_) * frameRate_ / 1000000.0
                                           * (payloadSize_ + 28) / payloadSize_
                                     : 0;
    }
    record.frameRate = static_cast<float>(frameRate_);
    record.dataRate = static_cast<float>(dataRate_);
}

void StreamingChannel::release(uint16_t blockId)
{
    block_.blockId = blockId;
    block_.marker = kRequestMarker;
    uint32_t returned = 0;
    send(kReleaseBlock, true, &returned);
}

void StreamingChannel::signalConnectionLost()
{
    OrvGigETL_SIGNAL s = {OrvGigETL_SIGNAL_CAMERA_CONNECTION_LOST, nullptr, 0, {0}};
    deliver(s, "signalCameraConnectionLost");
}

void StreamingChannel::signalCameraMessage(uint32_t type, uint64_t value)
{
    static const std::map<uint32_t, const char*> names = {
        {7, "OrvGigETL_SIGNAL_CAMERA_IMAGE_TRANSFER_DONE"},
        {12, "OrvGigETL_SIGNAL_CAMERA_SEQ_DONE"},
        {13, "OrvGigETL_SIGNAL_CAMERA_TRIGGER_VIOLATION"},
        {14, " OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_START"},
        {15, "OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_END "},
        {16, " OrvGigETL_SIGNAL_CAMERA_FRAME_TRIGGER"},
        {17, " OrvGigETL_SIGNAL_CAMERA_FRAME_START"},
        {18, " OrvGigETL_SIGNAL_CAMERA_FRAME_END"},
        {19, "OrvGigETL_SIGNAL_CAMERA_EXPOSURE_START "},
        {20, " OrvGigETL_SIGNAL_CAMERA_EXPOSURE_END"},
    };
    const auto it = names.find(type);
    if (it == names.end()) {
        writeCameraLog(3, camera_.get(), "signalCameraMessage() 'unknown message type': %d", static_cast<int>(type));
        writeCameraLog(5, camera_.get(), "signalCameraMessage() '%s'", "OrvGigETL_LOGLEVEL_WARNING ");
        return;
    }
    writeCameraLog(type == 13 ? 3 : 5, camera_.get(), "signalCameraMessage() '%s'", it->second);
    OrvGigETL_SIGNAL s = {static_cast<int32_t>(type), nullptr, 0, {0}};
    s.stamp.value = value;
    deliver(s, nullptr);
}

void StreamingChannel::signalMulticastMessage(int32_t message, uint32_t group, int32_t port, int32_t payload)
{
    // The caller's own records: the receive thread may be delivering too.
    OrvGigETL_MULTICAST_MESSAGE data = {message, group, port, payload};
    OrvGigETL_SIGNAL signal{};
    deliverMulticast(signal, data);
}

}  // namespace pellago
