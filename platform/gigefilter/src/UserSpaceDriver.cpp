#include "UserSpaceDriver.h"

#include "FilterRequestBlock.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

namespace gigefilter {

const char* const kFilterDevicePath = "\\\\.\\OrvGigE";

namespace {

constexpr uint32_t kStatusNoSocket = kStatusCreationFailed;
constexpr uint32_t kStatusRefused = 4;
constexpr int kBatch = 64;
constexpr size_t kMaxDatagram = 9216;  // jumbo frames
constexpr size_t kMinSlot = 576;       // room for any leader
constexpr int kWaitMs = 100;
constexpr int64_t kGatherNs = 200000;    // packets flowing: the pause that lets a batch gather
constexpr int kBookkeepingBatches = 16;  // full batches in a row before timers are looked at
constexpr int kMaxRequests = 3;
constexpr size_t kBlockIds = 65536;
constexpr int64_t kNever = std::numeric_limits<int64_t>::min();
constexpr uint32_t kReorderWindow = 32;
constexpr int kStampsPerId = 4;      // frames remembered per block id within the time-out
constexpr size_t kSpareEvents = 64;  // queued beyond one frame per buffer

enum PacketFormat : uint8_t { kLeader = 1, kTrailer = 2, kPayload = 3 };

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

int64_t steadyTicks()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The datagram socket of this process bound to `port`.
int findBoundSocket(uint16_t port)
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    const int own = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const int fd = std::atoi(e->d_name);
        if (fd == own)
            continue;
        int type = 0;
        socklen_t length = sizeof type;
        sockaddr_in bound{};
        socklen_t boundLength = sizeof bound;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0
            && bound.sin_family == AF_INET && ntohs(bound.sin_port) == port) {
            found = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

class UserSpaceDriver : public FilterDevice {
public:
    explicit UserSpaceDriver(const DriverOptions& options)
        : options_(options), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        if (!options_.clock)
            options_.clock = &steadyTicks;
        for (int i = 0; i < kBatch; ++i) {
            messages_[i].msg_hdr.msg_iov = &vectors_[i];
            messages_[i].msg_hdr.msg_iovlen = 1;
            messages_[i].msg_hdr.msg_name = &from_[i];
            messages_[i].msg_hdr.msg_control = control_[i];
        }
        resetMessages(kBatch);
    }

    ~UserSpaceDriver() override
    {
        closeSocket();
        if (wake_ >= 0)
            ::close(wake_);
        freeMemory();
    }

    bool request(uint32_t code, void* data, uint32_t inSize, uint32_t outSize, uint32_t* returned) override
    {
        *returned = 0;
        if (closed_ || inSize < sizeof(FilterRequestBlock) || outSize < sizeof(FilterRequestBlock))
            return false;
        auto& block = *static_cast<FilterRequestBlock*>(data);
        takeBackResendRun();
        bool ok = true;
        switch (code) {
        case kOpenChannel:
            openChannel(block);
            break;
        case kCloseChannel:
            closeSocket();
            ended_ = true;
            block.status = kStatusOk;
            break;
        case kCreateBuffers:
            createBuffers(block);
            break;
        case kDestroyBuffers:
            destroyBuffers();
            block.status = kStatusOk;
            break;
        case kBufferInfo:
            if (block.bufferInfoRequest == kBufferInfoRequest)
                bufferInfo(block);
            else
                block.status = kStatusOk;  // the probe: answered
            break;
        case kReleaseBlock:
            release(block.blockId);
            block.status = kStatusOk;
            break;
        case kWaitForEvent:
            ok = wait(block);
            break;
        default:
            block.status = kStatusRefused;
            break;
        }
        if (!ok)
            return false;
        block.marker = kReplyMarker;
        *returned = sizeof(FilterRequestBlock);
        return true;
    }

    void close() override
    {
        closed_ = true;
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) < 0) {
            // The flag alone ends the next wait within its poll period.
        }
    }

private:
    struct Frame {
        int buffer = -1;  // -1: none was free
        uint16_t blockId = 0;
        bool done = false;
        uint32_t event = 0;
        uint64_t seq = 0;        // the order frames began in
        bool tentative = false;  // begun by a leader that may be a stray: shows nothing until confirmed
        bool reused = false;     // its id was given within the time-out
        bool lateLeader = false; // its leader joined packets that came before it
        // Filled while packets arrive.
        bool leader = false;
        bool trailer = false;
        uint32_t total = 0;  // packets with leader and trailer, once known
        uint32_t leaderTotal = 0;
        uint32_t highest = 0;
        uint32_t received = 0;
        uint32_t bytes = 0;
        uint32_t resent = 0;
        int64_t first = 0;
        int64_t last = 0;
        int64_t finished = 0;
        uint64_t timestamp = 0;
        uint32_t values[5] = {};
    };

    struct Buffer {
        uint8_t* data = nullptr;
        bool free = true;
        bool handed = false;  // its frame went to the library, which releases it
        uint16_t blockId = 0;
        std::vector<int32_t> status;     // per packet id: 1 received, 0 missing, -n asked n times
        std::vector<int64_t> askedAt;
        uint32_t firstHole = 0;  // every id below it is received
        int32_t mostAsked = 0;   // the lowest status any id reached
        std::vector<int32_t> shown;      // what a resend event hands out
    };

    struct Event {
        uint32_t type;
        Frame frame;
    };

    // A frame given back, remembered for the frame time-out.
    struct Given {
        int64_t at = kNever;     // when it was finished
        uint64_t timestamp = 0;  // its leader's; 0: none came, or unstamped
    };

    void openChannel(FilterRequestBlock& block)
    {
        if (block.version != kInterfaceVersion) {
            block.status = kStatusEnd;
            return;
        }
        closeSocket();
        const uint16_t port = static_cast<uint16_t>(block.streamPort[0] << 8 | block.streamPort[1]);
        socket_ = findBoundSocket(port);
        if (socket_ < 0) {
            block.status = kStatusNoSocket;
            return;
        }
        const int on = 1;
        ::setsockopt(socket_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
        const int size = 32 * 1024 * 1024;
        if (::setsockopt(socket_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        // A pause fills at most a fifth of the queue at 10 GbE (1.25 bytes a
        // nanosecond), where the queue could not be made large.
        int granted = 0;
        socklen_t length = sizeof granted;
        ::getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &granted, &length);
        gatherNs_ = std::min<int64_t>(kGatherNs, std::max(granted, 0) / 5);
        sourceIp_ = block.sourceIpNet;
        payloadSize_ = block.payloadSize;
        layOutDatagrams();
        if (block.driverParameter > 0)
            frameTimeout_ = static_cast<int64_t>(block.driverParameter) * 1000000;
        else
            frameTimeout_ = static_cast<int64_t>(options_.frameTimeoutMs) * 1000000;
        ended_ = false;
        drops_ = 0;
        block.oldStyleCounter = 0;
        block.status = kStatusOk;
    }

    // One slot per datagram of a batch, as large as a packet of the
    // channel's payload size: longer datagrams are cut, and only their
    // length is looked at.
    void layOutDatagrams()
    {
        const size_t packet = (static_cast<size_t>(payloadSize_) + 8 + 63) / 64 * 64;
        slot_ = std::min(kMaxDatagram, std::max(kMinSlot, packet));
        datagrams_.resize(kBatch * slot_);
        for (int i = 0; i < kBatch; ++i)
            vectors_[i] = {&datagrams_[i * slot_], slot_};
    }

    // Readies the headers the last receive filled in.
    void resetMessages(int count)
    {
        for (int i = 0; i < count; ++i) {
            messages_[i].msg_hdr.msg_namelen = sizeof from_[i];
            messages_[i].msg_hdr.msg_controllen = sizeof control_[i];
            messages_[i].msg_hdr.msg_flags = 0;
        }
    }

    void closeSocket()
    {
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

    void createBuffers(FilterRequestBlock& block)
    {
        destroyBuffers();
        const uint64_t count = block.slotCount, size = block.bufferSize;
        if (count == 0 || size == 0 || payloadSize_ == 0 || static_cast<int32_t>(payloadSize_) < 0) {
            block.status = kStatusBufferAllocation;
            return;
        }
        // Backed by memory before the first frame, as a driver's locked
        // buffers are: a first touch while packets arrive would slow the
        // receive enough to overflow the socket at 10 GbE.
        void* memory = ::mmap(nullptr, count * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                              -1, 0);
        if (memory == MAP_FAILED) {
            block.status = kStatusBufferAllocation;
            return;
        }
        memory_ = static_cast<uint8_t*>(memory);
        given_.assign(kBlockIds * kStampsPerId, Given{});
        begun_.assign(kBlockIds, kNever);
        active_.assign(kBlockIds, nullptr);
        memoryBytes_ = count * size;
        bufferSize_ = static_cast<uint32_t>(size);
        capacity_ = static_cast<uint32_t>(size / payloadSize_ + 3);
        buffers_.resize(count);
        freeBuffers_.clear();
        for (uint64_t i = count; i-- > 0;) {
            buffers_[i].data = memory_ + i * size;
            buffers_[i].free = true;
            freeBuffers_.push_back(static_cast<int>(i));
        }
        block.status = kStatusOk;  // the scratch block is not kept
    }

    void destroyBuffers()
    {
        buffers_.clear();
        freeBuffers_.clear();
        frames_.clear();
        ready_.clear();
        given_.clear();
        begun_.clear();
        active_.clear();
        newestId_ = 0;
        newestSeq_ = 0;
        dropped_ = 0;
        frozen_ = false;
        lastStamp_ = 0;
        bufferlessTrial_ = {};
        shownBuffer_ = -1;
        freeMemory();
    }

    void freeMemory()
    {
        if (memory_)
            ::munmap(memory_, memoryBytes_);
        memory_ = nullptr;
        memoryBytes_ = 0;
    }

    void bufferInfo(FilterRequestBlock& block)
    {
        if (block.bufferIndex >= buffers_.size()) {
            block.status = kStatusRefused;
            return;
        }
        block.frameData = buffers_[block.bufferIndex].data;
        block.status = kStatusOk;
    }

    // Frees the buffer of the frame handed out under `blockId`; a buffer
    // still being received or waiting to be handed out keeps its frame, even
    // when the camera used the id again.
    void release(uint16_t blockId)
    {
        for (size_t i = 0; i < buffers_.size(); ++i) {
            Buffer& b = buffers_[i];
            if (!b.free && b.handed && b.blockId == blockId) {
                freeBuffer(static_cast<int>(i));
                return;
            }
        }
    }

    void freeBuffer(int index)
    {
        buffers_[index].free = true;
        buffers_[index].handed = false;
        freeBuffers_.push_back(index);
    }

    // Entries the library counted down in the last resend event.
    void takeBackResendRun()
    {
        if (shownBuffer_ < 0 || static_cast<size_t>(shownBuffer_) >= buffers_.size())
            return;
        Buffer& b = buffers_[shownBuffer_];
        for (uint32_t id = shownFirst_; id <= shownLast_; ++id) {
            if (b.status[id] != 1 && b.shown[id] < b.status[id]) {
                b.status[id] = b.shown[id];
                b.askedAt[id] = options_.clock();
                b.mostAsked = std::min(b.mostAsked, b.status[id]);
            }
        }
        shownBuffer_ = -1;
    }

    bool wait(FilterRequestBlock& block)
    {
        if (ended_) {
            block.status = kStatusEnd;
            return true;
        }
        const int64_t start = options_.clock();
        for (;;) {
            if (closed_)
                return false;
            const int64_t now = options_.clock();
            const int received = receive(now);
            // While packets wait in the socket they come first: timers, whose
            // cost grows with the holes of the frames in progress, are looked
            // at once the queue is empty or after a while of full batches,
            // and resends are asked for once the queue is empty. A receiver
            // behind the camera that asked for more would only lose more.
            const bool drained = received < kBatch;
            if (drained || ++fullBatches_ >= kBookkeepingBatches) {
                checkTimers(now);
                fullBatches_ = 0;
            }
            if (!ready_.empty()) {
                const Event& e = ready_.front();
                reply(block, e, now);
                if (e.type == kEventFrameCompleted || e.type == kEventFrameAbandoned) {
                    if (e.frame.buffer >= 0)
                        buffers_[e.frame.buffer].handed = true;
                    block.framesDropped = dropped_;
                    block.idReused = e.frame.reused ? 1 : 0;
                    dropped_ = 0;
                }
                ready_.pop_front();
                return true;
            }
            if (drained && resendEvent(block, now))
                return true;
            const int64_t left = start + kWaitMs * 1000000LL - now;
            if (!drained && left > 0)
                continue;  // more may be queued
            if (left <= 0 || socket_ < 0) {
                emptyReply(block, now);
                return true;
            }
            if (received > 0 && receiving()) {
                // Waking at each packet costs more than taking them in batches.
                pollfd wake{wake_, POLLIN, 0};
                const timespec gather{0, static_cast<long>(std::min(gatherNs_, left))};
                ::ppoll(&wake, 1, &gather, nullptr);
                continue;
            }
            // Asleep until a packet comes, a timer is due or the device
            // closes.
            const int64_t sleep = std::min(left, nextTimer(now));
            pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
            const timespec timeout{static_cast<time_t>(sleep / 1000000000), static_cast<long>(sleep % 1000000000)};
            ::ppoll(fds, 2, &timeout, nullptr);
        }
    }

    // Whether a frame is being received.
    bool receiving() const
    {
        for (const Frame& f : frames_)
            if (!f.done)
                return true;
        return false;
    }

    void emptyReply(FilterRequestBlock& block, int64_t now)
    {
        block.status = kStatusOk;
        block.eventType = 0;
        block.eventTime = now;
    }

    void reply(FilterRequestBlock& block, const Event& e, int64_t now)
    {
        const Frame& f = e.frame;
        block.status = kStatusOk;
        block.eventType = e.type;
        block.eventTime = now;
        block.blockId = f.blockId;
        block.startBlockId = f.blockId;
        block.frameSize = e.type == kEventStartOfTransfer ? expectedBytes(f) : f.bytes;
        block.frameData = f.buffer >= 0 && e.type != kEventStartOfTransfer ? buffers_[f.buffer].data : nullptr;
        block.resentPackets = f.resent;
        block.completionTime = f.finished;
        block.transferDuration = f.last - f.first;
        block.cameraTimestamp = f.timestamp;
        std::memcpy(block.frameValues, f.values, sizeof f.values);
        block.packetStatus = nullptr;
        block.packetCountLess3 = 0;
        block.framesDropped = 0;
        block.idReused = 0;
    }

    static uint32_t expectedBytes(const Frame& f)
    {
        const uint64_t bits = (f.values[0] >> 16) & 0xFF;
        return static_cast<uint32_t>(uint64_t(f.values[1]) * f.values[2] * bits / 8);
    }

    Buffer* bufferOf(const Frame& f) { return f.buffer >= 0 ? &buffers_[f.buffer] : nullptr; }

    // The number of packets a frame has, as far as it is known.
    uint32_t knownTotal(const Frame& f) const
    {
        if (f.trailer)
            return f.total;
        if (f.leaderTotal)
            return f.leaderTotal;
        return f.highest + 2;  // the trailer, guessed right after the last
    }

    // Whether any packet of a frame may be missing now: a hole below the
    // highest id, or a tail that is known to be over.
    bool mayMiss(const Frame& f, int64_t now) const
    {
        if (f.received < f.highest + 1)
            return true;
        const bool tailOver = overtaken(f) || now - f.last >= options_.tailWaitMs * 1000000LL;
        return tailOver && f.received < knownTotal(f);
    }

    // Whether packet `id` of a frame is missing and due to be asked for,
    // or has been asked for too often.
    enum class Missing { No, Due, Waiting, GivenUp };
    Missing missing(const Frame& f, const Buffer& b, uint32_t id, int64_t now) const
    {
        if (b.status[id] == 1)
            return Missing::No;
        const bool known = id < f.highest || overtaken(f) || now - f.last >= options_.tailWaitMs * 1000000LL;
        if (!known)
            return Missing::No;
        if (b.status[id] == 0) {
            const bool settled = now - f.last >= options_.gapWaitMs * 1000000LL || f.highest > id + kReorderWindow;
            return settled || id >= f.highest ? Missing::Due : Missing::Waiting;
        }
        if (now - b.askedAt[id] < options_.resendRetryMs * 1000000LL)
            return Missing::Waiting;
        return b.status[id] <= -kMaxRequests ? Missing::GivenUp : Missing::Due;
    }

    // Hands the library the first run of due packets of the oldest frame
    // that has one: the other entries show as received.
    bool resendEvent(FilterRequestBlock& block, int64_t now)
    {
        for (Frame& f : frames_) {
            Buffer* b = bufferOf(f);
            if (f.done || f.tentative || !b || !mayMiss(f, now))
                continue;
            const uint32_t total = std::min(knownTotal(f), capacity_);
            uint32_t id = b->firstHole;
            while (id < total && missing(f, *b, id, now) != Missing::Due)
                ++id;
            if (id >= total)
                continue;
            const uint32_t first = id;
            while (id < total && missing(f, *b, id, now) == Missing::Due)
                ++id;
            const uint32_t last = id - 1;
            const uint32_t shownCount = std::max<uint32_t>(last + 2, 3);
            std::fill(b->shown.begin(), b->shown.begin() + shownCount, 1);
            for (uint32_t i = first; i <= last; ++i)
                b->shown[i] = b->status[i];
            shownBuffer_ = f.buffer;
            shownFirst_ = first;
            shownLast_ = last;
            Event e{kEventResend, f};
            reply(block, e, now);
            block.packetStatus = b->shown.data();
            block.packetCountLess3 = shownCount - 3;
            return true;
        }
        return false;
    }

    void checkTimers(int64_t now)
    {
        if (!frames_.empty() && frames_.back().tentative && now - frames_.back().last >= frameTimeout_)
            dropTrial();
        for (Frame& f : frames_) {
            if (f.done || f.tentative)
                continue;
            if (now - f.last >= frameTimeout_) {
                finish(f, kEventFrameAbandoned, now);
                continue;
            }
            Buffer* b = bufferOf(f);
            if (!b || b->mostAsked > -kMaxRequests || !mayMiss(f, now))
                continue;  // nothing asked for often enough to give up
            const uint32_t total = std::min(knownTotal(f), capacity_);
            for (uint32_t id = b->firstHole; id < total; ++id) {
                if (missing(f, *b, id, now) == Missing::GivenUp) {
                    finish(f, kEventFrameAbandoned, now);
                    break;
                }
            }
        }
        deliverInOrder();
    }

    int64_t nextTimer(int64_t now) const
    {
        int64_t next = kWaitMs * 1000000LL;
        for (const Frame& f : frames_) {
            if (f.done)
                continue;
            next = std::min(next, f.last + frameTimeout_ - now);
            if (f.tentative)
                continue;
            next = std::min(next, std::max<int64_t>(1000000, f.last + options_.tailWaitMs * 1000000LL - now));
            if (f.received != 0)
                next = std::min<int64_t>(next, options_.resendRetryMs * 1000000LL / 2);
        }
        return std::max<int64_t>(next, 1000000);
    }

    void finish(Frame& f, uint32_t event, int64_t now)
    {
        f.done = true;
        f.event = event;
        f.finished = now;
        if (active_[f.blockId] == &f)
            active_[f.blockId] = nullptr;
        remember(f.blockId, now, f.timestamp);
    }

    // Frames leave in the order they began.
    void deliverInOrder()
    {
        while (!frames_.empty() && frames_.front().done) {
            ready_.push_back({frames_.front().event, frames_.front()});
            frames_.pop_front();
        }
    }

    int receive(int64_t now)
    {
        if (socket_ < 0)
            return 0;
        // MSG_TRUNC: each length is the whole datagram's, even when cut.
        const int n = ::recvmmsg(socket_, messages_, kBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
        for (int i = 0; i < n; ++i) {
            const msghdr& h = messages_[i].msg_hdr;
            for (cmsghdr* c = CMSG_FIRSTHDR(const_cast<msghdr*>(&h)); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&h), c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                    uint32_t dropped = 0;
                    std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
                    if (dropped > drops_) {
                        drops_ = dropped;
                        if (room())
                            ready_.push_back({kEventBandwidthExceeded, Frame{}});
                    }
                }
            }
            if (sourceIp_ != 0 && from_[i].sin_addr.s_addr != sourceIp_)
                continue;  // not from the channel's source
            if (messages_[i].msg_len > kMaxDatagram)
                continue;
            packet(&datagrams_[i * slot_], messages_[i].msg_len, now);
        }
        resetMessages(n);
        deliverInOrder();
        return n;
    }

    // The frames given within the frame time-out under `blockId`.
    const Given* givenUnder(uint16_t blockId) const { return &given_[size_t(blockId) * kStampsPerId]; }

    bool isRecent(const Given& g, int64_t now) const { return g.at != kNever && now - g.at < frameTimeout_; }

    bool givenRecently(uint16_t blockId, int64_t now) const
    {
        const Given* g = givenUnder(blockId);
        return std::any_of(g, g + kStampsPerId, [&](const Given& x) { return isRecent(x, now); });
    }

    bool stampGiven(uint16_t blockId, uint64_t timestamp, int64_t now) const
    {
        const Given* g = givenUnder(blockId);
        return std::any_of(g, g + kStampsPerId,
                           [&](const Given& x) { return isRecent(x, now) && x.timestamp == timestamp; });
    }

    int64_t lastGiven(uint16_t blockId) const
    {
        const Given* g = givenUnder(blockId);
        return std::max_element(g, g + kStampsPerId, [](const Given& x, const Given& y) { return x.at < y.at; })->at;
    }

    // Takes the place of the oldest record of the id.
    void remember(uint16_t blockId, int64_t at, uint64_t timestamp)
    {
        Given* g = &given_[size_t(blockId) * kStampsPerId];
        Given* oldest = std::min_element(g, g + kStampsPerId, [](const Given& x, const Given& y) { return x.at < y.at; });
        *oldest = {at, timestamp};
    }

    // Whether one more event or frame without a buffer may queue; what does
    // not fit is dropped (a frame is counted), so a flood costs no memory.
    bool room() const { return frames_.size() + ready_.size() < buffers_.size() + kSpareEvents; }

    // Which frame a packet belongs to; null when it joins none and begins
    // none. `leader`: the packet is a leader, with `timestamp`.
    //
    // A frame is known on the wire only by its 16-bit block id, which the
    // camera uses again when its ids come round and when it begins them anew
    // (a restart), while packets of frames given earlier may still arrive as
    // resends, repeats or strays. A frame given within the frame time-out is
    // remembered with its leader's timestamp, so:
    // - A stamped leader of a frame given under its id within the time-out
    //   is that frame again: ignored.
    // - A packet joins the frame being received under its id. Its leader
    //   stamped otherwise means the camera began anew within that frame,
    //   which ends. A leader for a frame whose leader was lost joins it when
    //   that frame is the newest, or when it was asked for and is stamped
    //   before the frame that began next (the resend); otherwise the camera
    //   began anew and the leaderless frame ends: no new frame joins it.
    // - A leader of an id given within the time-out begins a frame on trial:
    //   it asks for nothing and shows nothing until a data or trailer packet
    //   joins it, so a lone stray leader vanishes without a trace. A camera
    //   that stamps nothing, or always the same, cannot tell a whole repeated
    //   frame from a restart: such a frame is delivered again rather than a
    //   restart's frames lost.
    // - A data or trailer packet of an id given within the time-out begins a
    //   frame only where it can be the frame the camera sends now, its leader
    //   lost: the id follows the newest and the id before it began since the
    //   id was given (the ids came round). Anything else is a stray: no
    //   frame, no resend request, no lost frame.
    // - Any other packet begins a frame: nothing of a frame given longer ago
    //   than the time-out can still be on its way.
    // When a frame on trial is confirmed and its id does not follow the
    // newest, the camera began anew: every frame begun before it that still
    // has no leader ends then (confirm()).
    Frame* frameOf(uint16_t blockId, bool leader, uint64_t timestamp, int64_t now)
    {
        const bool stamped = leader && timestamp != 0 && !frozen_;
        const bool recent = givenRecently(blockId, now);
        if (stamped && recent && stampGiven(blockId, timestamp, now))
            return nullptr;
        if (Frame* f = active_[blockId]) {
            if (!leader)
                return f;
            if (f->leader ? !stamped || f->timestamp == 0 || f->timestamp == timestamp
                          : leaderFor(*f, stamped, timestamp)) {
                f->lateLeader = !f->leader && f->received > 0;
                return f;
            }
            endFrame(*f, now);
            return begin(blockId, true, timestamp, now);
        }
        if (!recent)
            return begin(blockId, false, timestamp, now);
        if (leader)
            return begin(blockId, true, timestamp, now);
        if (bufferlessTrial_.blockId == blockId)
            return begin(blockId, false, bufferlessTrial_.timestamp, now);  // no packet of it is kept
        const uint16_t before = blockId == 1 ? 65535 : static_cast<uint16_t>(blockId - 1);
        if (blockIdComesAfter(blockId, newestId_) && begun_[before] > lastGiven(blockId))
            return begin(blockId, false, timestamp, now);
        return nullptr;
    }

    // Whether a leader belongs to frame `f`, begun without one.
    bool leaderFor(const Frame& f, bool stamped, uint64_t timestamp) const
    {
        if (f.seq == newestSeq_)
            return true;
        if (!stamped || buffers_[f.buffer].status[0] >= 0)
            return false;  // not asked for
        for (const Frame& next : frames_)
            if (next.seq > f.seq)
                return next.timestamp != 0 && timestamp < next.timestamp;
        return false;
    }

    // Ends a frame that a new one under its id replaces.
    void endFrame(Frame& f, int64_t now)
    {
        if (f.tentative)
            dropTrial();
        else
            finish(f, kEventFrameAbandoned, now);
    }

    // Begins a frame, on trial or not; null when no buffer takes it.
    Frame* begin(uint16_t blockId, bool tentative, uint64_t timestamp, int64_t now)
    {
        dropTrial();  // a trial ends when another frame begins
        bufferlessTrial_ = {};
        Frame f;
        f.reused = givenRecently(blockId, now);
        f.seq = nextSeq_++;
        f.blockId = blockId;
        f.first = f.last = now;
        f.timestamp = timestamp;  // known even to a frame no buffer takes
        f.tentative = tentative;
        if (freeBuffers_.empty()) {
            if (tentative) {
                bufferlessTrial_ = {blockId, timestamp};
                return nullptr;
            }
            becomeNewest(f, now);
            if (!room()) {
                ++dropped_;
                remember(blockId, now, timestamp);  // its other packets begin nothing
                return nullptr;
            }
            frames_.push_back(f);
            finish(frames_.back(), kEventFrameAbandoned, now);
            return nullptr;
        }
        f.buffer = freeBuffers_.back();
        freeBuffers_.pop_back();
        Buffer& b = buffers_[f.buffer];
        b.free = false;
        b.handed = false;
        b.blockId = blockId;
        b.status.assign(capacity_, 0);
        b.askedAt.assign(capacity_, 0);
        b.firstHole = 0;
        b.mostAsked = 0;
        b.shown.assign(capacity_ + 3, 1);  // room for the closing entry
        if (!tentative)
            becomeNewest(f, now);
        frames_.push_back(f);
        active_[blockId] = &frames_.back();
        return &frames_.back();
    }

    // The frame begun last: every frame begun before has had its last packet
    // sent (overtaken()).
    void becomeNewest(const Frame& f, int64_t now)
    {
        newestId_ = f.blockId;
        newestSeq_ = f.seq;
        begun_[f.blockId] = now;
    }

    bool overtaken(const Frame& f) const { return f.seq < newestSeq_; }

    // Drops a frame on trial, which is always the last begun: nothing of it
    // reaches the library.
    void dropTrial()
    {
        if (frames_.empty() || !frames_.back().tentative)
            return;
        Frame& f = frames_.back();
        if (active_[f.blockId] == &f)
            active_[f.blockId] = nullptr;
        freeBuffer(f.buffer);
        frames_.pop_back();
    }

    // A data or trailer packet joined a frame on trial: it is a frame.
    void confirm(Frame& f, int64_t now)
    {
        f.tentative = false;
        if (!blockIdComesAfter(f.blockId, newestId_)) {
            // The camera began anew: no frame of before gets a leader now.
            for (Frame& other : frames_)
                if (&other != &f && !other.done && !other.leader)
                    finish(other, kEventFrameAbandoned, now);
        }
        becomeNewest(f, now);
        if (f.leader && room())
            ready_.push_back({kEventStartOfTransfer, f});
    }

    void clearAllButLeader(Frame& f, Buffer& b)
    {
        std::fill(b.status.begin(), b.status.end(), 0);
        b.status[0] = 1;
        b.firstHole = 1;
        b.mostAsked = 0;
        f.lateLeader = f.trailer = false;
        f.total = f.highest = f.bytes = f.resent = 0;
        f.received = 1;
    }

    // `size`: the datagram's length. Its slot holds all of it whenever it
    // fits the payload size, and always the header and a leader's fields.
    void packet(const uint8_t* p, size_t size, int64_t now)
    {
        if (size < 8 || buffers_.empty())
            return;
        const uint16_t blockId = be16(p + 2);
        const uint8_t format = p[4];
        const uint8_t kind = format & 0x0F;
        const uint32_t id = be32(p + 4) & 0xFFFFFF;
        if (blockId == 0 || (format & 0x80))
            return;  // not GVSP 1.x
        const uint8_t* body = p + 8;
        const size_t length = size - 8;
        if ((kind == kLeader && length < 36) || (kind != kLeader && kind != kTrailer && kind != kPayload))
            return;
        const bool leader = kind == kLeader;
        const uint64_t timestamp = leader ? uint64_t(be32(body + 4)) << 32 | be32(body + 8) : 0;
        if (leader && timestamp != 0) {
            // One timestamp on the leaders of two frames: it tells none apart.
            if (timestamp == lastStamp_ && blockId != lastStampId_)
                frozen_ = true;
            else if (timestamp != lastStamp_)
                frozen_ = false;
            lastStamp_ = timestamp;
            lastStampId_ = blockId;
        }
        Frame* f = frameOf(blockId, leader, timestamp, now);
        if (!f)
            return;
        if (f->tentative && !leader)
            confirm(*f, now);
        Buffer& b = buffers_[f->buffer];
        if (id >= capacity_) {
            finish(*f, kEventFrameAbandoned, now);  // beyond its buffer
            return;
        }
        if (b.status[id] == 1) {
            if (!f->lateLeader || leader)
                return;  // a duplicate
            // The leader's own send goes on: what came before it was a stray's.
            clearAllButLeader(*f, b);
        }
        switch (kind) {
        case kLeader:
            f->leader = true;
            f->timestamp = timestamp;
            for (int i = 0; i < 5; ++i)
                f->values[i] = be32(body + 12 + 4 * i);
            if (be16(body + 2) == 1 && be16(body + 32) == 0 && be16(body + 34) == 0) {
                const uint64_t bytes = expectedBytes(*f);
                f->leaderTotal = static_cast<uint32_t>((bytes + payloadSize_ - 1) / payloadSize_ + 2);
            }
            if (!f->tentative && room())
                ready_.push_back({kEventStartOfTransfer, *f});
            break;
        case kTrailer:
            f->trailer = true;
            f->total = id + 1;
            break;
        default: {
            const uint64_t offset = uint64_t(id - 1) * payloadSize_;
            if (id == 0 || length > payloadSize_ || offset + length > bufferSize_) {
                finish(*f, kEventFrameAbandoned, now);  // never written past the buffer
                return;
            }
            std::memcpy(b.data + offset, body, length);
            f->bytes = std::max<uint32_t>(f->bytes, static_cast<uint32_t>(offset + length));
            break;
        }
        }
        if (b.status[id] < 0)
            ++f->resent;
        b.status[id] = 1;
        while (b.firstHole < capacity_ && b.status[b.firstHole] == 1)
            ++b.firstHole;
        ++f->received;
        f->highest = std::max(f->highest, id);
        f->last = now;
        if (f->trailer && f->received == f->total)
            finish(*f, kEventFrameCompleted, now);
    }

    DriverOptions options_;
    std::atomic<bool> closed_{false};
    int wake_ = -1;
    int socket_ = -1;
    bool ended_ = false;
    uint32_t sourceIp_ = 0;  // network byte order
    uint32_t payloadSize_ = 0;
    uint32_t bufferSize_ = 0;
    uint32_t capacity_ = 0;  // packet ids a buffer can hold
    int64_t frameTimeout_ = 0;
    int64_t gatherNs_ = 0;
    int fullBatches_ = 0;  // received since timers were last looked at
    uint32_t drops_ = 0;
    uint8_t* memory_ = nullptr;
    uint64_t memoryBytes_ = 0;
    std::vector<Buffer> buffers_;
    std::deque<Frame> frames_;
    std::deque<Event> ready_;
    std::vector<int> freeBuffers_;  // the last freed on top
    std::vector<Given> given_;    // kStampsPerId per block id
    std::vector<int64_t> begun_;  // per block id: when its last frame began
    std::vector<Frame*> active_;  // per block id: the frame being received, in frames_
    uint16_t newestId_ = 0;       // of the frame begun last; 0: none yet
    uint64_t newestSeq_ = 0;
    uint64_t nextSeq_ = 1;
    uint32_t dropped_ = 0;  // frames not kept since the last frame event
    bool frozen_ = false;   // leaders of different frames carry one timestamp
    uint64_t lastStamp_ = 0;
    uint16_t lastStampId_ = 0;
    struct {
        uint16_t blockId = 0;  // 0: none
        uint64_t timestamp = 0;
    } bufferlessTrial_;  // the leader of a frame on trial that no buffer took
    int shownBuffer_ = -1;
    uint32_t shownFirst_ = 0;
    uint32_t shownLast_ = 0;

    std::vector<uint8_t> datagrams_;
    size_t slot_ = 0;
    iovec vectors_[kBatch];
    mmsghdr messages_[kBatch] = {};
    sockaddr_in from_[kBatch];
    alignas(cmsghdr) uint8_t control_[kBatch][CMSG_SPACE(sizeof(uint32_t))];
};

}  // namespace

std::unique_ptr<FilterDevice> makeUserSpaceDriver(const DriverOptions& options)
{
    return std::make_unique<UserSpaceDriver>(options);
}

}  // namespace gigefilter
