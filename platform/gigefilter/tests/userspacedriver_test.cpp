// The user-space packet-filter device on its own: requests straight from
// the test, GVSP datagrams from a plain socket on loopback.
#include "FilterRequestBlock.h"
#include "UserSpaceDriver.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

using namespace gigefilter;
using Clock = std::chrono::steady_clock;

namespace {

int boundSocket(uint16_t* port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return -1;
    *port = ntohs(a.sin_port);
    return fd;
}

// A device with an open channel of four 4096-byte buffers on a socket of
// the test's own.
class Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        socket = boundSocket(&port);
        ASSERT_GE(socket, 0);
        device = makeUserSpaceDriver();
        block.version = kInterfaceVersion;
        block.streamPort[0] = uint8_t(port >> 8);
        block.streamPort[1] = uint8_t(port);
        block.sourceIpNet = htonl(INADDR_LOOPBACK);
        block.payloadSize = 1000;
        ASSERT_TRUE(call(kOpenChannel));
        ASSERT_EQ(block.status, kStatusOk);
        block.slotCount = 4;
        block.bufferSize = 4096;
        ASSERT_TRUE(call(kCreateBuffers));
        ASSERT_EQ(block.status, kStatusOk);
    }
    void TearDown() override
    {
        ::close(socket);
        if (sender >= 0)
            ::close(sender);
    }

    bool call(uint32_t code)
    {
        uint32_t returned = 0;
        block.marker = kRequestMarker;
        const bool ok = device->request(code, &block, sizeof block, sizeof block, &returned);
        return ok && returned == sizeof block && block.marker == kReplyMarker;
    }

    // Sends packet `id` of a 2000-byte Mono8 frame (two 1000-byte data
    // packets) whose pixels are all `fill`; its leader carries `timestamp`.
    void sendPacket(uint16_t blockId, uint32_t id, uint8_t fill, uint32_t timestamp = 0)
    {
        if (sender < 0)
            sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        std::vector<uint8_t> p = {0, 0, uint8_t(blockId >> 8), uint8_t(blockId), 3, 0, 0, uint8_t(id)};
        if (id == 0) {
            p[4] = 1;
            const uint8_t leader[36] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x08, 0, 0x01,
                                        0, 0, 0, 100, 0, 0, 0, 20};  // Mono8, 100 x 20
            p.insert(p.end(), leader, leader + sizeof leader);
            for (int i = 0; i < 4; ++i)
                p[8 + 8 + i] = uint8_t(timestamp >> (24 - 8 * i));  // the timestamp's low word
        } else if (id == 3) {
            p[4] = 2;
            p.resize(p.size() + 8, 0);
        } else {
            p.resize(p.size() + 1000, fill);
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        ::sendto(sender, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    void sendFrame(uint16_t blockId, uint8_t fill, uint32_t skip = 99, uint32_t timestamp = 0)
    {
        for (uint32_t id = 0; id < 4; ++id)
            if (id != skip)
                sendPacket(blockId, id, fill, timestamp);
    }
    // The next frame event; false when none came.
    bool nextFrame()
    {
        for (int i = 0; i < 20; ++i) {
            block.eventType = 0;
            if (!call(kWaitForEvent))
                return false;
            if (block.eventType == kEventFrameCompleted || block.eventType == kEventFrameAbandoned)
                return true;
        }
        return false;
    }
    bool filledWith(uint8_t fill) const
    {
        const auto* data = static_cast<const uint8_t*>(block.frameData);
        return data && block.frameSize == 2000
               && std::all_of(data, data + 2000, [fill](uint8_t b) { return b == fill; });
    }
    void release(uint16_t blockId)
    {
        block.blockId = blockId;
        ASSERT_TRUE(call(kReleaseBlock));
    }

    int socket = -1;
    int sender = -1;
    uint16_t port = 0;
    std::unique_ptr<FilterDevice> device;
    FilterRequestBlock block{};
};

}  // namespace

TEST(UserSpaceDriver, ProbeAndRefusedOpens)
{
    auto device = makeUserSpaceDriver();
    FilterRequestBlock block{};
    uint32_t returned = 0;
    block.status = kStatusProbe;
    ASSERT_TRUE(device->request(kBufferInfo, &block, sizeof block, sizeof block, &returned));
    EXPECT_EQ(returned, sizeof block);
    EXPECT_EQ(block.status, kStatusOk);
    EXPECT_EQ(block.marker, kReplyMarker);

    block.version = 0x01040000;  // another interface version
    ASSERT_TRUE(device->request(kOpenChannel, &block, sizeof block, sizeof block, &returned));
    EXPECT_EQ(block.status, kStatusEnd);
    block.version = kInterfaceVersion;
    block.streamPort[0] = 0;
    block.streamPort[1] = 1;  // no socket of this process is bound to port 1
    ASSERT_TRUE(device->request(kOpenChannel, &block, sizeof block, sizeof block, &returned));
    EXPECT_EQ(block.status, kStatusCreationFailed);
    block.bufferInfoRequest = kBufferInfoRequest;
    block.bufferIndex = 0;  // no buffers yet
    ASSERT_TRUE(device->request(kBufferInfo, &block, sizeof block, sizeof block, &returned));
    EXPECT_NE(block.status, kStatusOk);
}

TEST_F(Device, BufferAddressesAndAnEmptyWait)
{
    std::vector<void*> addresses;
    for (uint32_t i = 0; i < 5; ++i) {
        block.bufferInfoRequest = kBufferInfoRequest;
        block.bufferIndex = i;
        ASSERT_TRUE(call(kBufferInfo));
        if (i < 4) {
            EXPECT_EQ(block.status, kStatusOk);
            addresses.push_back(block.frameData);
        } else {
            EXPECT_NE(block.status, kStatusOk);
        }
    }
    for (size_t i = 1; i < addresses.size(); ++i)
        EXPECT_GE(static_cast<uint8_t*>(addresses[i]) - static_cast<uint8_t*>(addresses[i - 1]), 4096);

    const auto began = Clock::now();
    block.eventType = 0;
    ASSERT_TRUE(call(kWaitForEvent));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    EXPECT_EQ(block.status, kStatusOk);
    EXPECT_EQ(block.eventType, 0u);
    EXPECT_GE(took, 90);
    EXPECT_LT(took, 1000);

    ASSERT_TRUE(call(kCloseChannel));
    ASSERT_TRUE(call(kWaitForEvent));
    EXPECT_EQ(block.status, kStatusEnd);  // the thread's end
}

TEST_F(Device, CloseWakesAWaitInProgress)
{
    std::atomic<bool> returned{false};
    std::atomic<bool> result{true};
    std::thread waiter([&] {
        for (int i = 0; i < 100 && result; ++i)
            result = call(kWaitForEvent);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    device->close();
    waiter.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(result);
    EXPECT_FALSE(call(kWaitForEvent));  // every later request fails at once
}

TEST_F(Device, SocketDropsGiveBandwidthEvent)
{
    // The test shrinks the socket's queue after the device took it, and
    // floods it before the next wait.
    const int small = 1;
    ASSERT_EQ(::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    std::vector<uint8_t> payload(1008, 0);
    payload[3] = 7;     // block id 7
    payload[4] = 3;     // data packet
    payload[7] = 1;     // packet id 1
    for (int i = 0; i < 200; ++i)
        ::sendto(sender, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    // A datagram queued after the drops carries their count.
    bool bandwidth = false;
    for (int i = 0; i < 5 && !bandwidth; ++i) {
        ASSERT_TRUE(call(kWaitForEvent));
        bandwidth = block.status == kStatusOk && block.eventType == kEventBandwidthExceeded;
        ::sendto(sender, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ::close(sender);
    EXPECT_TRUE(bandwidth);
}

TEST_F(Device, IdUsedAgainWhileItsEarlierFrameWaitsKeepsBothBuffers)
{
    // Frame 1 waits for a packet; 2 and 65535 complete behind it. Then the
    // camera, its ids begun anew, sends 2 again into the first buffer.
    sendFrame(100, 0x10);
    ASSERT_TRUE(nextFrame());
    ASSERT_EQ(block.blockId, 100);
    sendFrame(1, 0x11, 2);
    sendFrame(2, 0x22);
    sendFrame(65535, 0x33);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    block.eventType = 0;
    ASSERT_TRUE(call(kWaitForEvent));  // takes the packets in
    release(100);
    sendFrame(2, 0x44);
    sendPacket(1, 2, 0x11);
    struct Expected {
        uint16_t blockId;
        uint8_t fill;
    };
    for (const Expected& e : {Expected{1, 0x11}, Expected{2, 0x22}, Expected{65535, 0x33}, Expected{2, 0x44}}) {
        ASSERT_TRUE(nextFrame()) << e.blockId;
        EXPECT_EQ(block.eventType, kEventFrameCompleted) << e.blockId;
        EXPECT_EQ(block.blockId, e.blockId);
        EXPECT_TRUE(filledWith(e.fill)) << e.blockId;
        const uint16_t given = block.blockId;
        release(given);
        // A new frame takes the buffer just released, never one still to be given.
        if (e.fill == 0x22)
            sendFrame(3, 0x55);
    }
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(block.blockId, 3);
    EXPECT_TRUE(filledWith(0x55));
}

TEST_F(Device, LeaderStampedAnewEndsTheFrameOfItsIdAndBeginsANewOne)
{
    // Frame 5 waits for packets when the camera, begun anew, sends a whole
    // frame 5 of its own.
    sendPacket(5, 0, 0, 1000);
    sendPacket(5, 1, 0x11);
    sendFrame(5, 0x22, 99, 2000);
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(block.eventType, kEventFrameAbandoned);
    EXPECT_EQ(block.blockId, 5);
    release(5);
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(block.eventType, kEventFrameCompleted);
    EXPECT_EQ(block.blockId, 5);
    EXPECT_TRUE(filledWith(0x22));
    EXPECT_EQ(block.cameraTimestamp, 2000u);
    release(5);

    // The frame just given, repeated whole, begins nothing.
    sendFrame(5, 0x22, 99, 2000);
    for (int i = 0; i < 2; ++i) {
        block.eventType = 0;
        ASSERT_TRUE(call(kWaitForEvent));
        EXPECT_EQ(block.eventType, 0u);
    }
}

TEST_F(Device, FloodsOfLeadersLeaveTheFramesAfterThemWhole)
{
    struct Case {
        const char* name;
        int leaders;
        uint16_t (*id)(std::mt19937&);
        size_t mostFrameEvents;  // before the frame after the flood; 0: any number
    };
    const Case cases[] = {
        // Each leader ends the frame begun by the one before: only the
        // first is a frame, the others begin nothing but a trial.
        {"one id, each leader stamped anew", 30000, [](std::mt19937&) { return uint16_t(7); }, 1},
        {"random ids and stamps", 100000, [](std::mt19937& r) { return uint16_t(1 + r() % 30000); }, 0},
    };
    std::mt19937 random(5);
    uint16_t after = 40000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.leaders; ++i)
            sendPacket(c.id(random), 0, 0, uint32_t(1000 + i));
        // Takes every event in, releasing each frame, until nothing came
        // for longer than the frame time-out (1 s).
        size_t frameEvents = 0;
        auto quietSince = Clock::now();
        while (Clock::now() - quietSince < std::chrono::milliseconds(1100)) {
            block.eventType = 0;
            ASSERT_TRUE(call(kWaitForEvent));
            if (block.eventType != 0)
                quietSince = Clock::now();
            if (block.eventType == kEventFrameCompleted || block.eventType == kEventFrameAbandoned) {
                ++frameEvents;
                release(block.blockId);
            }
        }
        if (c.mostFrameEvents != 0) {
            EXPECT_LE(frameEvents, c.mostFrameEvents);
        }
        sendFrame(after, 0x5A);
        ASSERT_TRUE(nextFrame());
        EXPECT_EQ(block.eventType, kEventFrameCompleted);
        EXPECT_EQ(block.blockId, after);
        EXPECT_TRUE(filledWith(0x5A));
        release(after++);
    }
}
