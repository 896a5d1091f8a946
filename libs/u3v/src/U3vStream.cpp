#include "U3vStream.h"

#include "Bytes.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

using namespace pexlin;

namespace {

constexpr int kSlotIdle = 1;

// Failures that are not the device's data arriving late or wrong: the
// thread pauses before it tries again.
bool needsPause(int result)
{
    return result < 0 && result != usb::ErrorTimeout && result != usb::ErrorOverflow
        && result != usb::ErrorCancelled;
}

} // namespace

void ManualEvent::set()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    cv_.notify_all();
}

void ManualEvent::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool ManualEvent::wait(std::uint32_t ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
}

U3V_Stream::U3V_Stream(U3V_Device* owner, U3V_Control* channel) : control(channel), device(owner)
{
    requestStop(); // not acquiring until a start
}

U3V_Stream::~U3V_Stream()
{
    Join();
    freeTransfers();
}

U3V_STATUS U3V_Stream::Open(std::uint32_t timeoutMs)
{
    if (device->streamInterface == 0) {
        device->Log(U3V_LOG_INFO, "No stream interface available.");
        return U3V_STATUS_NO_STREAM;
    }
    usb::Backend* usb = usb::backend();
    if (!usb || !device->handle || usb->claimInterface(device->handle, device->streamInterface) < 0) {
        device->Log(U3V_LOG_ERROR, "Can't open/claiming stream interface.");
        return U3V_STATUS_CLAIM_STREAM;
    }
    transferTimeoutMs = timeoutMs;
    std::uint8_t b[8] = {};
    U3V_STATUS status = control->ReadMem(control->sbrmAddress + 0x04, 8, b);
    if (status != 0)
        return status;
    if (!(b[0] & 0x01)) {
        sirmAvailable = 0;
        device->Log(U3V_LOG_INFO, "No stream interface available.");
        return U3V_STATUS_NO_STREAM;
    }
    sirmAvailable = 1;
    if ((status = control->ReadMem(control->sbrmAddress + 0x20, 8, b)) != 0)
        return status;
    sirmAddress = get64(b);
    if ((status = control->ReadMem(control->sbrmAddress + 0x28, 4, b)) != 0)
        return status;
    sirmLength = get32(b);
    if ((status = control->ReadMem(sirmAddress + 0x00, 4, b)) != 0)
        return status;
    alignExponent = b[3];
    if (alignExponent == 0)
        alignExponent = 1; // alignment 2, not 1
    bufferCount = 4;
    open = 1;
    return 0;
}

U3V_STATUS U3V_Stream::Enable(bool on)
{
    if (!open) {
        device->Log(U3V_LOG_ERROR, "Stream interface not open.");
        return U3V_STATUS_STREAM_NOT_OPEN;
    }
    std::uint8_t b[4] = {};
    const U3V_STATUS status = control->ReadMem(sirmAddress + 0x04, 4, b);
    if (status != 0)
        return status;
    const std::uint32_t value = get32(b);
    put32(b, on ? value | 1u : value & ~1u);
    U3V_STATUS written = control->WriteMem(sirmAddress + 0x04, 4, b);
    if (written != 0)
        written = control->WriteMem(sirmAddress + 0x04, 4, b);
    streaming = on;
    return written;
}

U3V_STATUS U3V_Stream::SetBufferCount(std::uint32_t count)
{
    // The ring holds one buffer more than the count.
    if (count == 0 || count == std::numeric_limits<std::uint32_t>::max())
        return U3V_STATUS_OUT_OF_RANGE;
    bufferCount = count;
    return 0;
}

U3V_STATUS U3V_Stream::SetTransferSize(std::uint32_t size)
{
    if (size == 0)
        return U3V_STATUS_OUT_OF_RANGE;
    transferSize = size;
    return 0;
}

std::size_t U3V_Stream::ringSize() const
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return ring_.size();
}

std::size_t U3V_Stream::readyCount() const
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return ready_.size();
}

// Reads the required sizes, writes the layout and builds the ring, the
// transfer contexts and the leader and trailer buffers.
U3V_STATUS U3V_Stream::prepare()
{
    std::uint8_t b[8] = {};
    U3V_STATUS status = control->ReadMem(sirmAddress + 0x08, 8, b);
    if (status != 0)
        return status;
    requiredPayloadSize = get64(b);
    if ((status = Enable(false)) != 0)
        return status;
    if ((status = control->ReadMem(sirmAddress + 0x10, 4, b)) != 0)
        return status;
    requiredLeaderSize = get32(b);
    if ((status = control->ReadMem(sirmAddress + 0x14, 4, b)) != 0)
        return status;
    requiredTrailerSize = get32(b);

    const std::uint64_t align = alignExponent < 32 ? std::uint64_t(1) << alignExponent : 0;
    const std::uint64_t leader = std::max<std::uint64_t>(requiredLeaderSize, align);
    const std::uint64_t trailer = std::max<std::uint64_t>(requiredTrailerSize, align);
    const std::uint32_t t = transferSize;
    const std::uint32_t payload = std::uint32_t(requiredPayloadSize);
    const std::uint64_t count = payload / t;
    if (align == 0 || leader > kMaxLeaderTrailerSize || trailer > kMaxLeaderTrailerSize
        || requiredPayloadSize > std::numeric_limits<std::uint32_t>::max()
        || count + 4 > kMaxTransfersPerImage) {
        device->Log(U3V_LOG_ERROR, "Stream sizes out of range.");
        return U3V_STATUS_OUT_OF_RANGE;
    }
    maxLeaderSize = std::uint32_t(leader);
    maxTrailerSize = std::uint32_t(trailer);
    payloadTransferSize = t;
    payloadTransferCount = std::uint32_t(count);
    const std::uint32_t rest = payload % t;
    final1Size = std::uint32_t(rest / align * align);
    final2Size = rest - final1Size;
    if (final2Size != 0)
        final2Size = std::uint32_t(align);

    const std::pair<std::uint64_t, std::uint32_t> layout[] = {
        {0x18, maxLeaderSize}, {0x1C, payloadTransferSize}, {0x20, payloadTransferCount},
        {0x24, final1Size}, {0x28, final2Size}, {0x2C, maxTrailerSize}};
    for (const auto& [offset, value] : layout) {
        put32(b, value);
        control->WriteMem(sirmAddress + offset, 4, b); // results not looked at
    }
    device->Log(U3V_LOG_INFO, "SI_RequiredPayloadSize: %lld", (long long)requiredPayloadSize);
    device->Log(U3V_LOG_INFO, "SI_MaximumLeaderSize: %d", int(maxLeaderSize));
    device->Log(U3V_LOG_INFO, "SI_PayloadTransferSize: %d", int(payloadTransferSize));
    device->Log(U3V_LOG_INFO, "SI_PayloadTransferCount: %d", int(payloadTransferCount));
    device->Log(U3V_LOG_INFO, "SI_PayloadFinalTransfer1Size: %d", int(final1Size));
    device->Log(U3V_LOG_INFO, "SI_PayloadFinalTransfer2Size: %d", int(final2Size));
    device->Log(U3V_LOG_INFO, "SI_MaximumTrailerSize: %d", int(maxTrailerSize));

    const std::uint64_t bytes = std::uint64_t(payloadTransferCount) * t + final1Size + final2Size;
    const std::uint64_t buffers = std::uint64_t(bufferCount) + 1;
    if (bytes != 0 && buffers > std::numeric_limits<std::size_t>::max() / bytes) {
        device->Log(U3V_LOG_ERROR, "Stream sizes out of range.");
        return U3V_STATUS_OUT_OF_RANGE;
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        ring_.clear();
        ready_.clear();
        nextBuffer_ = 0;
        ring_.resize(std::size_t(buffers));
        for (U3V_ImageBuffer& buffer : ring_) {
            buffer.payloadSize = payload;
            buffer.payload = std::make_unique<std::uint8_t[]>(std::size_t(bytes));
        }
    }

    // Slot 0 the leader, then the payload transfers, the finals present and
    // the trailer.
    freeTransfers();
    usb::Backend* usb = usb::backend();
    const std::size_t slots = std::size_t(count) + 2 + (final1Size != 0) + (final2Size != 0);
    contexts_.reserve(slots);
    for (std::size_t i = 0; i < slots; ++i) {
        usb::AsyncTransfer* context = usb ? usb->setupAsync(device->handle, device->streamIn)
                                          : nullptr;
        if (!context) {
            device->Log(U3V_LOG_ERROR, "usb_bulk_setup_async failed.");
            freeTransfers();
            return U3V_STATUS_TRANSFER_FAILED;
        }
        contexts_.push_back(context);
    }
    slots_.assign(slots, kSlotIdle);
    leader_.assign(std::max<std::size_t>(maxLeaderSize, kLeaderFields), 0);
    trailer_.assign(std::max<std::size_t>(maxTrailerSize, kTrailerFields), 0);
    return 0;
}

U3V_STATUS U3V_Stream::Start()
{
    if (open && (streaming || running()))
        Stop(nullptr, nullptr); // a start while acquiring stops first
    if (!open) {
        device->Log(U3V_LOG_ERROR, "Stream interface not open.");
        return U3V_STATUS_STREAM_NOT_OPEN;
    }
    U3V_STATUS status = prepare();
    if (status != 0)
        return status;
    counter1 = counter2 = 0;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        imageReady_ = false;
    }
    startEvent_.reset();
    threadEnded = false;
    CThread::Start(); // clears the stop flag before the thread exists
    if ((status = Enable(true)) != 0) {
        stopThread();
        streaming = false;
        return status;
    }
    streaming = true;
    startEvent_.set();
    return 0;
}

void U3V_Stream::signalStop()
{
    requestStop();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        imageReady_ = true; // a waiting U3V_GetImage wakes
    }
    imageReadyCv_.notify_all();
    startEvent_.set();
}

void U3V_Stream::stopThread()
{
    signalStop();
    {
        std::lock_guard<std::mutex> lock(submitMutex_);
        if (usb::Backend* usb = usb::backend())
            for (usb::AsyncTransfer* context : contexts_)
                usb->cancelAsync(context);
    }
    Join();
    threadEnded = true;
    freeTransfers();
}

void U3V_Stream::freeTransfers()
{
    usb::Backend* usb = usb::backend();
    for (usb::AsyncTransfer* context : contexts_)
        if (usb)
            usb->freeAsync(context);
    contexts_.clear();
    slots_.clear();
}

U3V_STATUS U3V_Stream::Stop(std::uint64_t* first, std::uint64_t* second)
{
    if (!open) {
        device->Log(U3V_LOG_ERROR, "Stream interface not open.");
        return U3V_STATUS_STREAM_NOT_OPEN;
    }
    signalStop();
    // The thread is stopped whatever the disable returned.
    const U3V_STATUS status = Enable(false);
    stopThread();
    streaming = false;
    if (first)
        *first = counter2;
    if (second)
        *second = counter1;
    return status;
}

void U3V_Stream::Close()
{
    if (open)
        Stop(nullptr, nullptr);
    else
        device->Log(U3V_LOG_ERROR, "Stream interface not open.");
    stopThread();
    std::lock_guard<std::mutex> lock(queueMutex_);
    ready_.clear();
    ring_.clear();
}

U3V_STATUS U3V_Stream::GetImage(void* out, std::uint32_t timeoutMs, U3V_IMAGE_INFO* info)
{
    std::unique_lock<std::mutex> lock(queueMutex_);
    auto waitReady = [&] {
        return imageReadyCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [this] { return imageReady_; });
    };
    if (stopRequested()) {
        if (threadEnded) {
            for (std::size_t index : ready_)
                ring_[index].queued = false;
            ready_.clear();
        }
        waitReady();
        return U3V_STATUS_IMAGE_TIMEOUT;
    }
    if (!ready_.empty()) {
        imageReady_ = false;
    } else {
        if (!waitReady())
            return U3V_STATUS_IMAGE_TIMEOUT;
        imageReady_ = false;
        if (stopRequested())
            return U3V_STATUS_IMAGE_TIMEOUT; // woken by a stop
        if (ready_.empty())
            return U3V_STATUS_NO_IMAGE;
    }
    U3V_ImageBuffer& image = ring_[ready_.front()];
    if (out)
        std::memcpy(out, image.payload.get(), image.payloadSize);
    if (info) {
        U3V_IMAGE_INFO i{};
        i.blockId = image.blockId;
        i.timestamp = image.timestamp;
        i.pixelFormat = image.pixelFormat;
        i.sizeX = image.sizeX;
        i.sizeY = image.sizeY;
        i.offsetX = image.offsetX;
        i.offsetY = image.offsetY;
        i.paddingX = image.paddingX;
        i.missingTransfers = image.missing;
        std::memcpy(info, &i, sizeof i);
    }
    image.queued = false;
    ready_.pop_front();
    if (image.missing != 0) {
        lock.unlock();
        device->Log(U3V_LOG_WARNING, "Missing data packets in the image.");
        return U3V_STATUS_IMAGE_INCOMPLETE;
    }
    return image.trailerStatus;
}

// The next buffer of the ring that the ready queue does not hold.
std::size_t U3V_Stream::takeBuffer()
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    for (std::size_t k = 0; k < ring_.size(); ++k) {
        const std::size_t index = (nextBuffer_ + k) % ring_.size();
        if (!ring_[index].queued) {
            nextBuffer_ = (index + 1) % ring_.size();
            return index;
        }
    }
    return nextBuffer_; // not reached: the queue holds at most all but one
}

void U3V_Stream::queueImage(std::size_t index)
{
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (ready_.size() + 1 >= ring_.size())
            return; // the host is behind: not queued
        ready_.push_back(index);
        ring_[index].queued = true;
        imageReady_ = true;
    }
    imageReadyCv_.notify_all();
}

void U3V_Stream::abandon(std::size_t from)
{
    usb::Backend* usb = usb::backend();
    for (std::size_t slot = from; slot < slots_.size(); ++slot) {
        if (slots_[slot] == 0) {
            usb->cancelAsync(contexts_[slot]);
            usb->reapAsync(contexts_[slot], kLeaderReapMs);
        }
        slots_[slot] = kSlotIdle;
    }
}

U3V_Stream::Outcome U3V_Stream::receive(U3V_ImageBuffer& buffer)
{
    usb::Backend* usb = usb::backend();
    int rc = 0;
    {
        std::lock_guard<std::mutex> lock(submitMutex_);
        if (stopRequested())
            return Outcome::Again;
        rc = usb->submitAsync(contexts_[0], leader_.data(), int(maxLeaderSize));
    }
    if (rc < 0)
        device->Log(U3V_LOG_ERROR, " usb_submit_async Err %d\n", rc);
    const int got = usb->reapAsync(contexts_[0], kLeaderReapMs);
    if (got < 0) {
        if (!stopRequested())
            device->Log(U3V_LOG_ERROR, " get leader Err %d\n", got);
        return needsPause(rc) || needsPause(got) ? Outcome::AgainAfterPause : Outcome::Again;
    }
    GenericLeader leader{};
    std::memcpy(&leader, leader_.data(), sizeof leader);
    if (got < 4 || leader.nMagicKey != LEADER_MAGIC_KEY) {
        device->Log(U3V_LOG_ERROR, "(pGenericLeader->nMagicKey != LEADER_MAGIC_KEY %d\n", got);
        return Outcome::Again;
    }
    if (got < kLeaderFields || leader.payloadType != 1) {
        device->Log(U3V_LOG_ERROR, "check if leader correct %d\n", got);
        return Outcome::Again;
    }

    // Every transfer of the image is queued before the first is reaped; each
    // payload transfer has its own place in the buffer.
    const std::size_t count = payloadTransferCount, last = contexts_.size() - 1;
    const std::uint32_t t = payloadTransferSize;
    std::uint8_t* payload = buffer.payload.get();
    {
        std::lock_guard<std::mutex> lock(submitMutex_);
        if (stopRequested())
            return Outcome::Again;
        for (std::size_t i = 1; i <= count; ++i)
            slots_[i] = std::min(0, usb->submitAsync(contexts_[i], payload + (i - 1) * t, int(t)));
        std::uint8_t* next = payload + count * t;
        for (std::size_t slot = count + 1; slot <= last; ++slot) {
            const bool isTrailer = slot == last;
            const std::uint32_t size = isTrailer ? maxTrailerSize
                                     : slot == count + 1 && final1Size != 0 ? final1Size
                                                                            : final2Size;
            rc = usb->submitAsync(contexts_[slot], isTrailer ? trailer_.data() : next, int(size));
            next += isTrailer ? 0 : size;
            if (rc < 0) {
                device->Log(U3V_LOG_ERROR, " usb_submit_async Err %d\n", rc);
                break;
            }
            slots_[slot] = 0;
        }
    }
    if (rc < 0) {
        abandon(1);
        return Outcome::AgainAfterPause;
    }

    std::uint32_t missing = 0;
    for (std::size_t i = 1; i <= count; ++i) {
        const int r = slots_[i] == 0 ? usb->reapAsync(contexts_[i], int(transferTimeoutMs))
                                     : slots_[i];
        slots_[i] = kSlotIdle;
        if (r != int(t)) {
            device->Log(U3V_LOG_ERROR, "Missing Packet %d  expected -> %d, actual ret -> %d",
                        int(i - 1), int(t), r);
            ++missing;
        }
    }
    for (std::size_t slot = count + 1; slot < last; ++slot) {
        const std::uint32_t size = slot == count + 1 && final1Size != 0 ? final1Size : final2Size;
        const int r = usb->reapAsync(contexts_[slot], int(transferTimeoutMs));
        slots_[slot] = kSlotIdle;
        if (r < 0) {
            abandon(slot + 1);
            return needsPause(r) ? Outcome::AgainAfterPause : Outcome::Again;
        }
        if (r != int(size))
            ++missing;
    }
    const int r = usb->reapAsync(contexts_[last], int(transferTimeoutMs));
    slots_[last] = kSlotIdle;
    if (r < 0)
        return needsPause(r) ? Outcome::AgainAfterPause : Outcome::Again;
    GenericTrailer trailer{};
    std::memcpy(&trailer, trailer_.data(), sizeof trailer);
    if (r < kTrailerFields || trailer.nMagicKey != TRAILER_MAGIC_KEY)
        return Outcome::Again;
    if (leader.blockId != trailer.blockId) {
        device->Log(U3V_LOG_ERROR,
                    "Leader block id != trailer block id. Expected -> %lld, actual -> %lld",
                    (long long)leader.blockId, (long long)trailer.blockId);
        return Outcome::Again;
    }
    buffer.blockId = leader.blockId;
    buffer.timestamp = leader.timestamp;
    buffer.pixelFormat = leader.pixelFormat;
    buffer.sizeX = leader.sizeX;
    buffer.sizeY = leader.sizeY;
    buffer.offsetX = leader.offsetX;
    buffer.offsetY = leader.offsetY;
    buffer.paddingX = leader.paddingX;
    buffer.missing = missing;
    buffer.trailerStatus = trailer.status;
    return Outcome::Received;
}

void U3V_Stream::Run()
{
    while (!stopRequested()) {
        if (!streaming) {
            if (startEvent_.wait(kStartWaitMs))
                startEvent_.reset();
            continue;
        }
        const std::size_t index = takeBuffer();
        while (!stopRequested()) {
            const Outcome outcome = receive(ring_[index]);
            if (outcome == Outcome::Received) {
                queueImage(index);
                break;
            }
            if (outcome == Outcome::AgainAfterPause)
                waitForStop(kStreamFailurePauseMs);
        }
    }
    threadEnded = true;
    device->Log(U3V_LOG_INFO, "end thread...");
}
