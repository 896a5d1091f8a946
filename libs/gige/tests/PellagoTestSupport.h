// Shared by the GigE library's tests: a UDP peer on 127.0.0.1 that answers
// each datagram as its script says and records what it got, GVCP packet
// builders, an injected clock, and scripted packet-filter devices.
#pragma once

#include "FilterDevice.h"
#include "FilterRequestBlock.h"

#include <gtest/gtest.h>
#include "PellagoInternal.h"
#include "StreamingChannel.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pellagotest {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLoopback = 0x7F000001;

inline uint16_t get16(const Bytes& b, size_t at)
{
    return static_cast<uint16_t>(b.at(at) << 8 | b.at(at + 1));
}

inline uint32_t get32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(get16(b, at)) << 16 | get16(b, at + 2);
}

inline void put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

inline void put32(Bytes& b, uint32_t v)
{
    put16(b, static_cast<uint16_t>(v >> 16));
    put16(b, static_cast<uint16_t>(v));
}

// The descriptors the process holds.
inline std::set<int> openDescriptors()
{
    std::set<int> fds;
    DIR* dir = ::opendir("/proc/self/fd");
    const int own = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.' && std::atoi(e->d_name) != own)
            fds.insert(std::atoi(e->d_name));
    }
    ::closedir(dir);
    return fds;
}

// Big-endian words, as a GVCP payload.
inline Bytes words(std::initializer_list<uint32_t> values)
{
    Bytes b;
    for (uint32_t v : values)
        put32(b, v);
    return b;
}

// An acknowledge: status, command, payload length, id, payload.
inline Bytes ack(uint16_t status, uint16_t command, uint16_t id, const Bytes& payload = {},
                 int lengthField = -1)
{
    Bytes b;
    put16(b, status);
    put16(b, command);
    put16(b, static_cast<uint16_t>(lengthField < 0 ? payload.size() : static_cast<size_t>(lengthField)));
    put16(b, id);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

inline Bytes pendingAck(uint16_t id, uint16_t millis)
{
    return ack(0, 0x0089, id, words({millis}));
}

// The id of a received command.
inline uint16_t idOf(const Bytes& command)
{
    return get16(command, 6);
}

struct Reply {
    int delayMs;
    Bytes bytes;
};

// Answers the `index`-th datagram (from 0).
using Script = std::function<std::vector<Reply>(int index, const Bytes& got)>;

class ScriptedPeer {
public:
    explicit ScriptedPeer(Script script) : script_(std::move(script))
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(kLoopback);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("peer socket");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }

    ~ScriptedPeer()
    {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }

    uint16_t port() const { return port_; }

    std::vector<Bytes> received()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return received_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t buffer[2048];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0)
                continue;
            Bytes got(buffer, buffer + n);
            int index;
            {
                std::lock_guard<std::mutex> hold(lock_);
                index = static_cast<int>(received_.size());
                received_.push_back(got);
            }
            for (const Reply& r : script_ ? script_(index, got) : std::vector<Reply>{}) {
                if (stop_)
                    break;
                if (r.delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(r.delayMs));
                ::sendto(fd_, r.bytes.data(), r.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         len);
            }
        }
    }

    Script script_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<Bytes> received_;
    std::thread thread_;
};

// A peer that answers every READREG, WRITEREG and READMEM with success and
// a payload of the right size (register values: the address plus 1).
inline Script answerAll()
{
    return [](int, const Bytes& got) -> std::vector<Reply> {
        const uint16_t command = get16(got, 2);
        Bytes payload;
        if (command == 0x0080) {
            for (size_t i = 8; i + 4 <= got.size(); i += 4)
                put32(payload, get32(got, i) + 1);
        } else if (command == 0x0082) {
            put32(payload, static_cast<uint32_t>((got.size() - 8) / 8));
        } else if (command == 0x0084) {
            payload = Bytes(get16(got, 14), 0x5A);
        }
        return {{0, ack(0, static_cast<uint16_t>(command + 1), idOf(got), payload)}};
    };
}

// A clock that stands still until the test moves it.
class FakeClock : public pellago::Clock {
public:
    std::atomic<int64_t> now{0};
    int64_t ticksPerSecond = 1000000;
    std::tm wallTime{};

    FakeClock()
    {
        wallTime.tm_year = 2026 - 1900;
        wallTime.tm_mon = 11;
        wallTime.tm_mday = 10;
        wallTime.tm_hour = 19;
        wallTime.tm_min = 42;
        wallTime.tm_sec = 5;
    }
    int64_t counter() override { return now.load(); }
    int64_t frequency() override { return ticksPerSecond; }
    std::tm localTime() override { return wallTime; }
};

// Installs a clock for the life of the object.
class ClockScope {
public:
    explicit ClockScope(pellago::Clock* c) { pellago::setLogClock(c); }
    ~ClockScope() { pellago::setLogClock(nullptr); }
};

// Gathers the lines a camera log hands to its callback.
struct LineSink {
    std::mutex lock;
    std::vector<std::string> lines;

    static void callback(const char* line, void* context)
    {
        auto* sink = static_cast<LineSink*>(context);
        std::lock_guard<std::mutex> hold(sink->lock);
        sink->lines.emplace_back(line);
    }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<std::string> out;
        out.swap(lines);
        return out;
    }
};

// A scripted packet-filter device: records each request and answers it
// through `answer`, which may change the block; `false` fails the call.
class ScriptedDevice : public gigefilter::FilterDevice {
public:
    using Block = gigefilter::FilterRequestBlock;
    struct Request {
        uint32_t code;
        Block block;
    };
    using Answer = std::function<bool(uint32_t code, Block& block, uint32_t* returned)>;

    ScriptedDevice(Answer answer, std::vector<Request>* log, std::mutex* logLock,
                   std::function<void()> onClose)
        : answer_(std::move(answer)), log_(log), logLock_(logLock), onClose_(std::move(onClose))
    {
    }
    bool request(uint32_t code, void* block, uint32_t inSize, uint32_t, uint32_t* returned) override
    {
        auto& b = *static_cast<Block*>(block);
        EXPECT_EQ(inSize, sizeof(Block));
        {
            std::lock_guard<std::mutex> hold(*logLock_);
            log_->push_back({code, b});
        }
        *returned = 0;
        return !closed_ && answer_(code, b, returned);
    }
    void close() override
    {
        closed_ = true;
        if (onClose_)
            onClose_();
    }

private:
    Answer answer_;
    std::vector<Request>* log_;
    std::mutex* logLock_;
    std::function<void()> onClose_;
    std::atomic<bool> closed_{false};
};

// Where the library looks for its driver: \\.\OrvGigE
inline const std::string kDriverPath = "\\\\.\\OrvGigE";

// Puts `factory` (empty: no device at all) under the driver's path for the
// life of the object, then the one that was there.
class DriverPathScope {
public:
    explicit DriverPathScope(gigefilter::FilterDeviceFactory factory)
        : previous_(gigefilter::filterDeviceFactory(kDriverPath))
    {
        gigefilter::registerFilterDevice(kDriverPath, std::move(factory));
    }
    ~DriverPathScope() { gigefilter::registerFilterDevice(kDriverPath, previous_); }
    DriverPathScope(const DriverPathScope&) = delete;
    DriverPathScope& operator=(const DriverPathScope&) = delete;

private:
    gigefilter::FilterDeviceFactory previous_;
};

// Puts a scripted device under the driver's path for the life of the object.
class DeviceScope {
public:
    explicit DeviceScope(ScriptedDevice::Answer answer, std::function<void()> onClose = nullptr)
        : path_([this, answer, onClose] {
              return std::make_unique<ScriptedDevice>(answer, &requests, &lock, onClose);
          })
    {
    }

    std::vector<ScriptedDevice::Request> taken()
    {
        std::lock_guard<std::mutex> hold(lock);
        return requests;
    }

private:
    std::mutex lock;
    std::vector<ScriptedDevice::Request> requests;
    DriverPathScope path_;
};

}  // namespace pellagotest
