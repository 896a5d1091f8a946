// A GVSP 1.x camera of our own for tests and benchmarks: Mono8 images
// patterned by block id (pixel = x + y + block id, mod 256; with markSends,
// + the image's serial number too, so that two sends of one id differ), each
// with a leader timestamp of its own as a real camera's (a repeat keeps it;
// a camera may also stamp nothing, or always the same), sent from
// 127.0.0.1 in packets of a given size, paced or at line rate, with a loss
// per thousand; it answers PACKETRESEND on its control socket (the port a
// host opens the camera on). Single packets can be sent by hand for the
// cases a real camera does not produce.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace gvsp {

using Bytes = std::vector<uint8_t>;

inline uint8_t pixel(uint32_t x, uint32_t y, uint16_t blockId, uint32_t modulus = 256, uint8_t mark = 0)
{
    return static_cast<uint8_t>((x + y + blockId + mark) % modulus);
}

// Whether `data` is the whole image of `blockId` (with `mark`: of that
// send); the simulator from aravis-tools ramps modulo 255.
inline bool isPattern(const uint8_t* data, uint32_t width, uint32_t height, uint16_t blockId,
                      uint32_t modulus = 256, uint8_t mark = 0)
{
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (data[y * width + x] != pixel(x, y, blockId, modulus, mark))
                return false;
    return true;
}

// The mark of the send `data` is whole of, under markSends; -1 when its
// pixels are not all of one send of `blockId`.
inline int markOf(const uint8_t* data, uint32_t width, uint32_t height, uint16_t blockId)
{
    const uint8_t mark = static_cast<uint8_t>(data[0] - blockId);
    return isPattern(data, width, height, blockId, 256, mark) ? mark : -1;
}

class Sender {
public:
    struct Options {
        uint32_t width = 64;
        uint32_t height = 48;
        uint32_t packetSize = 576;  // IP, UDP and GVSP headers included
        int lossPerThousand = 0;
        bool honourResend = true;
        uint32_t sourceIp = 0x7F000001;  // host order
        uint64_t bytesPerSecond = 0;     // 0: line rate
        uint32_t seed = 1;
        enum class Stamps { Each, None, Frozen } stamps = Stamps::Each;
        bool markSends = false;
    };

    // A leader timestamp of this camera for image serial `serial`.
    static uint64_t stampOf(Options::Stamps stamps, uint32_t serial)
    {
        switch (stamps) {
        case Options::Stamps::Each:
            return uint64_t(serial) * 1000;
        case Options::Stamps::None:
            return 0;
        case Options::Stamps::Frozen:
            break;
        }
        return 0x5000;
    }
    // The mark of image serial `serial` under markSends.
    static uint8_t markOfSerial(uint32_t serial) { return static_cast<uint8_t>(serial); }

    explicit Sender(const Options& options) : o_(options), random_(options.seed)
    {
        data_ = openSocket(o_.sourceIp);
        control_ = openSocket(0x7F000001);
        controlPort_ = portOf(control_);
        const int size = 8 * 1024 * 1024;
        ::setsockopt(data_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        resender_ = std::thread([this] { serveResends(); });
    }

    ~Sender()
    {
        stop_ = true;
        resender_.join();
        ::close(data_);
        ::close(control_);
    }

    uint16_t controlPort() const { return controlPort_; }
    uint32_t payloadSize() const { return o_.packetSize - 36; }
    uint32_t imageBytes() const { return o_.width * o_.height; }
    uint32_t dataPackets() const { return (imageBytes() + payloadSize() - 1) / payloadSize(); }
    uint64_t packetsSent() const { return sent_; }
    uint64_t packetsLost() const { return lost_; }
    uint64_t resendsServed() const { return resent_; }
    uint64_t resendRequests() const { return resendRequests_; }

    void setDestination(uint16_t port, uint32_t ip = 0x7F000001)
    {
        destination_ = {};
        destination_.sin_family = AF_INET;
        destination_.sin_addr.s_addr = htonl(ip);
        destination_.sin_port = htons(port);
    }

    // Packet `id` of image `blockId` (sent last under it, or image serial
    // `serial`): 0 the leader, 1..n data, n + 1 the trailer.
    Bytes packet(uint16_t blockId, uint32_t id, uint32_t serial = 0) const
    {
        Bytes p;
        fill(p, blockId, id, serial ? serial : serialOf(blockId));
        return p;
    }

    // Writes packet `id` of image serial `serial` under `blockId` into `p`,
    // reusing its storage.
    void fill(Bytes& p, uint16_t blockId, uint32_t id, uint32_t serial) const
    {
        if (id != 0 && id != dataPackets() + 1) {
            fillPayload(p, blockId, id, o_.markSends ? markOfSerial(serial) : 0);
            return;
        }
        p.clear();
        putHeader(p, blockId, id == 0 ? 1 : 2, id);
        if (id == 0) {
            put16(p, 0);
            put16(p, 1);  // image
            const uint64_t timestamp = stampOf(o_.stamps, serial);
            put32(p, static_cast<uint32_t>(timestamp >> 32));
            put32(p, static_cast<uint32_t>(timestamp));
            put32(p, 0x01080001);       // Mono8
            put32(p, o_.width);
            put32(p, o_.height);
            put32(p, 0);
            put32(p, 0);
            put16(p, 0);
            put16(p, 0);
        } else {
            put16(p, 0);
            put16(p, 1);
            put32(p, o_.height);
        }
    }

    static Bytes header(uint16_t blockId, uint8_t format, uint32_t id)
    {
        Bytes p;
        putHeader(p, blockId, format, id);
        return p;
    }

    // Sends one datagram as it stands (no loss).
    void send(const Bytes& p)
    {
        ::sendto(data_, p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&destination_),
                 sizeof destination_);
        ++sent_;
    }

    // Sends a new whole image `blockId`, each packet lost at the set ratio;
    // `skip` leaves out the packets it is true for (they count as lost).
    // Returns the image's serial number.
    template <typename Skip>
    uint32_t sendImage(uint16_t blockId, Skip skip)
    {
        const uint32_t serial = remember(blockId);
        sendPackets(blockId, serial, skip);
        return serial;
    }
    uint32_t sendImage(uint16_t blockId)
    {
        return sendImage(blockId, [](uint32_t) { return false; });
    }

    // Sends the image last sent as `blockId` (or image serial `serial`)
    // once more, leader timestamp and all, as a camera repeats a frame.
    void repeatImage(uint16_t blockId, uint32_t serial = 0)
    {
        sendPackets(blockId, serial ? serial : serialOf(blockId), [](uint32_t) { return false; });
    }

private:
    template <typename Skip>
    void sendPackets(uint16_t blockId, uint32_t serial, Skip skip)
    {
        const uint32_t count = dataPackets() + 2;
        size_t queued = 0, bytes = 0;
        for (uint32_t id = 0; id < count; ++id) {
            if (skip(id) || lose()) {
                ++lost_;
                continue;
            }
            fill(batch_[queued], blockId, id, serial);
            bytes += batch_[queued].size();
            if (++queued == kBatch) {
                sendBatch(queued);
                pace(bytes);
                queued = bytes = 0;
            }
        }
        sendBatch(queued);
        pace(bytes);
    }

    static constexpr size_t kBatch = 44;
    // What one segmented send may carry: the kernel's segment limit and a
    // UDP datagram's length.
    static constexpr size_t kMaxSegments = 64;
    static constexpr size_t kMaxSegmentedBytes = 65000;

    // Sends the first `count` datagrams of the batch in order: runs of equal
    // length in one segmented send each where the kernel offers it (the
    // datagrams leave as they would one by one, for a fraction of the
    // calls), the others together between them.
    void sendBatch(size_t count)
    {
        size_t single[kBatch];
        size_t singles = 0;
        for (size_t i = 0; i < count;) {
            size_t end = i + 1;
            size_t bytes = batch_[i].size();
            while (segmented_ && end < count && end - i < kMaxSegments && batch_[end].size() == batch_[i].size()
                   && bytes + batch_[end].size() <= kMaxSegmentedBytes)
                bytes += batch_[end++].size();
            if (end - i >= 2) {
                sendSingles(single, singles);  // in order
                singles = 0;
                if (sendSegmented(i, end)) {
                    i = end;
                    continue;
                }
            }
            while (i < end)
                single[singles++] = i++;
        }
        sendSingles(single, singles);
        sent_ += count;
    }

    // Datagrams first .. end - 1 of the batch, all of one length, in one
    // call; false when the kernel cannot segment (nothing was sent).
    bool sendSegmented(size_t first, size_t end)
    {
        iovec vectors[kMaxSegments];
        for (size_t i = first; i < end; ++i)
            vectors[i - first] = {batch_[i].data(), batch_[i].size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint16_t))] = {};
        msghdr m{};
        m.msg_name = &destination_;
        m.msg_namelen = sizeof destination_;
        m.msg_iov = vectors;
        m.msg_iovlen = end - first;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&m);
        c->cmsg_level = SOL_UDP;
        c->cmsg_type = UDP_SEGMENT;
        c->cmsg_len = CMSG_LEN(sizeof(uint16_t));
        const uint16_t size = static_cast<uint16_t>(batch_[first].size());
        std::memcpy(CMSG_DATA(c), &size, sizeof size);
        if (::sendmsg(data_, &m, 0) >= 0)
            return true;
        if (errno == EINVAL || errno == ENOPROTOOPT || errno == EOPNOTSUPP || errno == EIO)
            segmented_ = false;  // an older kernel: one by one from now on
        return false;
    }

    void sendSingles(const size_t* which, size_t count)
    {
        mmsghdr messages[kBatch] = {};
        iovec vectors[kBatch];
        for (size_t i = 0; i < count; ++i) {
            vectors[i] = {batch_[which[i]].data(), batch_[which[i]].size()};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &destination_;
            messages[i].msg_hdr.msg_namelen = sizeof destination_;
        }
        for (size_t done = 0; done < count;) {
            const int n = ::sendmmsg(data_, messages + done, static_cast<unsigned>(count - done), 0);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
    }

    // A payload packet written in place: `p` keeps its storage and, for
    // packets of one length, its size, so nothing is cleared first.
    void fillPayload(Bytes& p, uint16_t blockId, uint32_t id, uint8_t mark) const
    {
        const uint32_t offset = (id - 1) * payloadSize();
        const uint32_t length = std::min(payloadSize(), imageBytes() - offset);
        p.resize(8 + length);
        const uint32_t word = uint32_t(3) << 24 | (id & 0xFFFFFF);
        const uint8_t head[8] = {0, 0, uint8_t(blockId >> 8), uint8_t(blockId), uint8_t(word >> 24),
                                 uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
        std::memcpy(p.data(), head, sizeof head);
        // Row by row: along a row the pattern counts up by one, so each run
        // is a slice of a ramp 0, 1, .., 255, 0, 1, ..
        static const std::vector<uint8_t> ramp = [] {
            std::vector<uint8_t> r(256 + kRampRun);
            for (size_t i = 0; i < r.size(); ++i)
                r[i] = static_cast<uint8_t>(i);
            return r;
        }();
        uint8_t* out = p.data() + 8;
        for (uint32_t i = offset; i < offset + length;) {
            const uint32_t x = i % o_.width, y = i / o_.width;
            uint32_t run = std::min(o_.width - x, offset + length - i);
            i += run;
            for (uint8_t first = pixel(x, y, blockId, 256, mark); run > 0;) {
                const uint32_t n = std::min<uint32_t>(run, kRampRun);
                std::memcpy(out, ramp.data() + first, n);
                out += n;
                run -= n;
                first = static_cast<uint8_t>(first + n);
            }
        }
    }
    static constexpr uint32_t kRampRun = 4096;

    static void putHeader(Bytes& p, uint16_t blockId, uint8_t format, uint32_t id)
    {
        put16(p, 0);
        put16(p, blockId);
        put32(p, static_cast<uint32_t>(format) << 24 | (id & 0xFFFFFF));
    }

    static void put16(Bytes& b, uint16_t v)
    {
        b.push_back(static_cast<uint8_t>(v >> 8));
        b.push_back(static_cast<uint8_t>(v));
    }
    static void put32(Bytes& b, uint32_t v)
    {
        put16(b, static_cast<uint16_t>(v >> 16));
        put16(b, static_cast<uint16_t>(v));
    }

    static int openSocket(uint32_t ip)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(ip);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("GVSP sender socket");
        return fd;
    }
    static uint16_t portOf(int fd)
    {
        sockaddr_in a{};
        socklen_t length = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        return ntohs(a.sin_port);
    }

    bool lose()
    {
        if (o_.lossPerThousand <= 0)
            return false;
        return static_cast<int>(random_() % 1000) < o_.lossPerThousand;
    }

    void pace(size_t bytes)
    {
        if (o_.bytesPerSecond == 0)
            return;
        using Clock = std::chrono::steady_clock;
        if (paceStart_ == Clock::time_point{})
            paceStart_ = Clock::now();
        const uint64_t paced = paced_ += bytes;
        const auto due = paceStart_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                          double(paced) / double(o_.bytesPerSecond)));
        // A link never sends faster than its rate: a sender held up (its
        // thread not scheduled) goes on at the rate instead of sending what
        // it owes at once.
        const auto behind = Clock::now() - due;
        if (behind > kMostBehind)
            paceStart_ += behind - kMostBehind;
        // Sleeps when far enough ahead, so the resend thread gets its turn.
        if (due - Clock::now() > std::chrono::microseconds(200))
            std::this_thread::sleep_until(due);
        while (Clock::now() < due) {
        }
    }

    // Images that may be sent again: the last 1024 block ids (an image is
    // made again from its id and serial number). A new image gets the next
    // serial number.
    uint32_t remember(uint16_t blockId)
    {
        std::lock_guard<std::mutex> hold(lock_);
        recent_.push_back(blockId);
        if (recent_.size() > 1024)
            recent_.erase(recent_.begin());
        return serials_[blockId] = ++nextSerial_;
    }

    // The serial number of the image last sent as `blockId`.
    uint32_t serialOf(uint16_t blockId) const
    {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = serials_.find(blockId);
        return found == serials_.end() ? 0 : found->second;
    }

    void serveResends()
    {
        while (!stop_) {
            pollfd p{control_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t m[64];
            const ssize_t n = ::recv(control_, m, sizeof m, 0);
            if (n != 20 || m[0] != 0x42 || m[2] != 0x00 || m[3] != 0x40)
                continue;
            ++resendRequests_;
            if (!o_.honourResend)
                continue;
            const uint16_t blockId = static_cast<uint16_t>(m[10] << 8 | m[11]);
            const uint32_t first = uint32_t(m[12]) << 24 | uint32_t(m[13]) << 16 | uint32_t(m[14]) << 8 | m[15];
            const uint32_t last = uint32_t(m[16]) << 24 | uint32_t(m[17]) << 16 | uint32_t(m[18]) << 8 | m[19];
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (std::find(recent_.begin(), recent_.end(), blockId) == recent_.end())
                    continue;
            }
            for (uint32_t id = first; id <= last && id <= dataPackets() + 1; ++id) {
                const Bytes p = packet(blockId, id);
                send(p);
                ++resent_;
                paced_ += p.size();  // resent packets share the link's rate
            }
        }
    }

    Options o_;
    std::minstd_rand random_;
    int data_ = -1;
    int control_ = -1;
    uint16_t controlPort_ = 0;
    sockaddr_in destination_{};
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> lost_{0};
    std::atomic<uint64_t> resent_{0};
    std::atomic<uint64_t> resendRequests_{0};
    mutable std::mutex lock_;
    std::vector<uint16_t> recent_;
    std::map<uint16_t, uint32_t> serials_;
    uint32_t nextSerial_ = 0;
    std::thread resender_;
    static constexpr std::chrono::microseconds kMostBehind{200};
    std::chrono::steady_clock::time_point paceStart_{};
    Bytes batch_[kBatch];
    bool segmented_ = true;
    std::atomic<uint64_t> paced_{0};  // bytes sent, resends included
};

}  // namespace gvsp
