#include "PellagoTestSupport.h"


#include <gtest/gtest.h>

#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <set>

using namespace pellagotest;
using Block = gigefilter::FilterRequestBlock;

namespace {

// A scripted stream driver: answers open, create, buffer info, release,
// destroy and close at once; a wait takes the next scripted event, or
// gives an empty reply after 10 ms (or blocks until closed, when asked).
class StreamDriver {
public:
    using Event = std::function<void(Block&)>;

    uint32_t openStatuses[2] = {0, 0};  // first and later opens
    uint32_t createStatus = 0;
    int failingBufferInfo = -1;
    uint32_t oldStyleBaseline = 0;
    bool blockingWait = false;

    StreamDriver()
        : scope_([this](uint32_t code, Block& b, uint32_t* returned) { return answer(code, b, returned); },
                 [this] {
                     std::lock_guard<std::mutex> hold(lock_);
                     closed_ = true;
                     changed_.notify_all();
                 })
    {
    }

    // `callFails`: the wait request itself fails instead of answering.
    void push(Event e, uint32_t status = 0, bool callFails = false)
    {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back({std::move(e), status, callFails});
        changed_.notify_all();
    }
    size_t pending()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return events_.size();
    }
    bool closed()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return closed_;
    }
    // Waits until every scripted event has been taken and handled.
    void drain()
    {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::seconds(5), [this] { return events_.empty() && waitsAfter_ >= 1; });
    }
    std::vector<ScriptedDevice::Request> requests() { return scope_.taken(); }
    std::vector<ScriptedDevice::Request> requests(uint32_t code)
    {
        std::vector<ScriptedDevice::Request> out;
        for (auto& r : scope_.taken())
            if (r.code == code)
                out.push_back(r);
        return out;
    }
    uint8_t* buffer(size_t i) { return buffers_[i % 8]; }
    std::atomic<int> opens{0};

private:
    bool answer(uint32_t code, Block& b, uint32_t* returned)
    {
        b.marker = gigefilter::kReplyMarker;
        *returned = sizeof b;
        switch (code) {
        case gigefilter::kOpenChannel:
            b.status = openStatuses[opens++ == 0 ? 0 : 1];
            b.oldStyleCounter = oldStyleBaseline;
            return true;
        case gigefilter::kCreateBuffers:
            b.status = createStatus;
            return true;
        case gigefilter::kBufferInfo:
            b.status = int(b.bufferIndex) == failingBufferInfo ? 9 : 0;
            b.frameData = buffers_[b.bufferIndex % 8];
            return true;
        case gigefilter::kWaitForEvent:
            return wait(b);
        default:
            b.status = 0;
            return true;
        }
    }

    bool wait(Block& b)
    {
        std::unique_lock<std::mutex> hold(lock_);
        if (events_.empty())
            ++waitsAfter_;
        changed_.notify_all();
        if (blockingWait) {
            changed_.wait(hold, [this] { return closed_ || !events_.empty(); });
        } else {
            changed_.wait_for(hold, std::chrono::milliseconds(10), [this] { return !events_.empty(); });
        }
        b.status = 0;
        b.eventType = 0;
        if (events_.empty())
            return !closed_;
        waitsAfter_ = 0;
        const Scripted next = events_.front();
        events_.pop_front();
        b.status = next.status;
        next.event(b);
        return !next.callFails;
    }

    std::mutex lock_;
    std::condition_variable changed_;
    struct Scripted {
        Event event;
        uint32_t status;
        bool callFails;
    };
    std::deque<Scripted> events_;
    int waitsAfter_ = 0;
    bool closed_ = false;
    uint8_t buffers_[8][64] = {};
    DeviceScope scope_;
};

struct Delivered {
    int32_t type;
    int32_t value;
    ImageRecord record;
    OrvGigETL_MULTICAST_MESSAGE multicast;
    uint64_t stamp;
    const OrvGigETL_SIGNAL* signal;
    std::thread::id thread;
};

struct SignalSink {
    std::mutex lock;
    std::vector<Delivered> signals;
    int32_t result = 0;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* sink = static_cast<SignalSink*>(context);
        Delivered d{s->type, s->value, {}, {}, s->stamp.value, s, std::this_thread::get_id()};
        if (s->type <= 3 && s->data)
            d.record = *static_cast<const ImageRecord*>(s->data);
        if (s->type == 9)
            d.multicast = *static_cast<const OrvGigETL_MULTICAST_MESSAGE*>(s->data);
        if (s->type == 1) {
            auto* r = static_cast<ImageRecord*>(s->data);
            r->sequence = 11, r->offset = 12, r->cycle = 13, r->count = 14, r->fifthReleaseValue = 15;
        }
        std::lock_guard<std::mutex> hold(sink->lock);
        sink->signals.push_back(d);
        return sink->result;
    }
    std::vector<Delivered> take()
    {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<Delivered> out;
        out.swap(signals);
        return out;
    }
};

// The threads the process runs.
size_t threadCount()
{
    size_t n = 0;
    DIR* dir = ::opendir("/proc/self/task");
    while (dirent* e = ::readdir(dir))
        n += e->d_name[0] != '.';
    ::closedir(dir);
    return n;
}

uint64_t twoGiB()
{
    return 2ull << 30;
}

uint64_t quarterGiB()
{
    return 256ull << 20;
}

class Streams : public ::testing::Test {
protected:
    void SetUp() override
    {
        peer = std::make_unique<ScriptedPeer>(Script{});
        ASSERT_EQ(openCamera(&camera, kLoopback, peer->port()), 0);
        ASSERT_EQ(registerMessageCallback(camera, 7, nullptr, &LineSink::callback, &lines), 0);
        lines.take();
    }
    void TearDown() override
    {
        closeCamera(camera);
        pellago::setPhysicalMemoryFunction(nullptr);
    }
    int32_t add(void** stream, int32_t size = 200000, int32_t count = 4, uint32_t source = 0)
    {
        const uint32_t host = kLoopback;
        uint16_t port = 0;
        return addStreamFromIP(camera, stream, &host, &port, source, size, count, 1500, 77,
                               &SignalSink::callback, &sink);
    }
    std::vector<std::string> linesWith(const std::string& text)
    {
        std::vector<std::string> out;
        for (const std::string& l : lines.take())
            if (l.find(text) != std::string::npos)
                out.push_back(l.substr(18));
        return out;
    }

    FakeClock fake;
    ClockScope clockScope{&fake};
    std::unique_ptr<ScriptedPeer> peer;
    void* camera = nullptr;
    LineSink lines;
    SignalSink sink;
};


}  // namespace

namespace {

StreamDriver::Event frame(uint16_t id, uint32_t event = 1, int64_t completion = 0)
{
    return [=](Block& b) {
        b.eventType = event;
        b.blockId = id;
        b.frameSize = 1000;
        b.frameData = nullptr;
        b.resentPackets = 2;
        b.transferDuration = 500;  // 500 µs at the test clock
        b.completionTime = completion;
        b.eventTime = 42;
        b.cameraTimestamp = 0x100000007ull;
        b.value112 = 112;
        b.value364 = 364;
    };
}

StreamDriver::Event start(uint16_t id)
{
    return [=](Block& b) {
        b.eventType = 3;
        b.startBlockId = id;
        b.frameSize = 1000;
    };
}

}  // namespace

TEST_F(Streams, OpenRequestCarriesTheStreamByName)
{
    StreamDriver driver;
    void* stream = nullptr;
    const uint32_t host = kLoopback;
    uint16_t port = 0;
    ASSERT_EQ(addStream(camera, &stream, &host, &port, 200000, 4, 1500, 77, &SignalSink::callback, &sink), 0);
    EXPECT_NE(port, 0);
    const auto opens = driver.requests(gigefilter::kOpenChannel);
    ASSERT_EQ(opens.size(), 1u);
    const Block& b = opens[0].block;
    const auto record = pellago::findCamera(camera);
    EXPECT_EQ(b.version, 0x01050400u);
    EXPECT_EQ(b.marker, 0x2468u);
    EXPECT_EQ(b.cameraIp, kLoopback);
    EXPECT_EQ(b.cameraPort, peer->port());
    EXPECT_EQ(b.hostIp, kLoopback);
    EXPECT_EQ(b.controlPort, record->localPort);
    EXPECT_EQ(b.driverParameter, 77u);
    EXPECT_EQ(b.streamPort[0] << 8 | b.streamPort[1], port);
    EXPECT_EQ(b.streamPort[2] | b.streamPort[3], 0);
    EXPECT_EQ(b.sourceIpNet, htonl(kLoopback));  // source 0: the camera
    EXPECT_EQ(b.payloadSize, 1500u - 36);
    EXPECT_EQ(b.slotCount, 4u);
    EXPECT_EQ(b.bufferSize, 200000u);
    const uint32_t constants[5] = {2000, 4000, 8000, 13, 15};
    EXPECT_EQ(std::memcmp(b.openConstants, constants, sizeof constants), 0);
    EXPECT_NE(b.instanceId, 0u);
    for (const auto& r : driver.requests())
        EXPECT_EQ(r.block.instanceId, b.instanceId);
    EXPECT_EQ(record->localIp.load(), kLoopback);

    const auto creates = driver.requests(gigefilter::kCreateBuffers);
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_NE(creates[0].block.scratch, nullptr);
    EXPECT_EQ(creates[0].block.slotCount, 4u);
    EXPECT_EQ(creates[0].block.bufferSize, 200000u);
    EXPECT_EQ(creates[0].block.marker, 0x2468u);
    const auto infos = driver.requests(gigefilter::kBufferInfo);
    ASSERT_EQ(infos.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(infos[i].block.bufferInfoRequest, -2);
        EXPECT_EQ(infos[i].block.bufferIndex, i);
        EXPECT_EQ(infos[i].block.marker, 0x2468u);
    }
    // The key fields go with every request.
    for (const auto& r : driver.requests()) {
        EXPECT_EQ(r.block.sourceIpNet, htonl(kLoopback));
        EXPECT_EQ(r.block.streamPort[0] << 8 | r.block.streamPort[1], port);
        EXPECT_EQ(r.block.portField | r.block.addressField, 0u);
        EXPECT_EQ(std::memcmp(r.block.hostMac, b.hostMac, 6), 0);
    }
    // A wait sends the request marker, event type 0 and the accept flag; a
    // release the block id.
    driver.push(frame(0x4321));
    driver.drain();
    const auto waits = driver.requests(gigefilter::kWaitForEvent);
    ASSERT_FALSE(waits.empty());
    EXPECT_EQ(waits[0].block.marker, 0x2468u);
    EXPECT_EQ(waits[0].block.eventType, 0u);
    EXPECT_EQ(waits[0].block.accept, 1);
    const auto releases = driver.requests(gigefilter::kReleaseBlock);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].block.blockId, 0x4321);
    EXPECT_EQ(releases[0].block.marker, 0x2468u);
    enableStream(stream, false);
    driver.push([](Block&) {});
    driver.drain();
    EXPECT_EQ(driver.requests(gigefilter::kWaitForEvent).back().block.accept, 0);
    void* address = reinterpret_cast<void*>(1);
    EXPECT_EQ(getBufferData(stream, 3, &address), 0);
    EXPECT_EQ(address, driver.buffer(3));
    EXPECT_EQ(getBufferData(stream, 4, &address), OrvGigETL_FRAME_BUFFER_INFO_NOT_AVAILABLE);
    EXPECT_EQ(address, nullptr);
    EXPECT_EQ(getBufferData(stream, -1, &address), OrvGigETL_FRAME_BUFFER_INFO_NOT_AVAILABLE);
    EXPECT_EQ(closeStream(stream), 0);
    const auto destroys = driver.requests(gigefilter::kDestroyBuffers);
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_EQ(destroys[0].block.scratch, nullptr);
    EXPECT_EQ(driver.requests(gigefilter::kCloseChannel).size(), 1u);
    // Unknown streams: nothing happens.
    EXPECT_EQ(getBufferData(stream, 0, &address), 0);
    EXPECT_EQ(address, nullptr);
    EXPECT_EQ(closeStream(stream), 0);
    EXPECT_EQ(enableStream(stream, true), 0);
}

TEST_F(Streams, SlotCountsForSmallBuffers)
{
    StreamDriver driver;
    pellago::StreamingChannel six(100000, 1464, 4), four(200000, 1464, 4), one(600000, 1464, 1);
    EXPECT_EQ(six.slotCount(), 6u);
    EXPECT_EQ(four.slotCount(), 4u);
    EXPECT_EQ(one.slotCount(), 1u);
}

TEST_F(Streams, FailedAddsLeaveNothingBehind)
{
    struct Case {
        const char* name;
        std::function<void(StreamDriver&)> setup;
        int32_t size;
        int32_t count;
        int32_t result;
    };
    const Case cases[] = {
        {"version", [](StreamDriver& d) { d.openStatuses[0] = 2; }, 200000, 4, -220},
        {"alignment", [](StreamDriver& d) { d.openStatuses[0] = 3; }, 200000, 4, -203},
        {"creation", [](StreamDriver& d) { d.openStatuses[0] = 14; }, 200000, 4, -224},
        {"other", [](StreamDriver& d) { d.openStatuses[0] = 9; }, 200000, 4, -223},
        {"pending twice", [](StreamDriver& d) { d.openStatuses[0] = d.openStatuses[1] = 17; }, 200000, 4, -226},
        {"create refused", [](StreamDriver& d) { d.createStatus = 5; }, 200000, 4, -231},
        {"buffer info", [](StreamDriver& d) { d.failingBufferInfo = 2; }, 200000, 4, -231},
        {"size 0", [](StreamDriver&) {}, 0, 4, -229},
        {"count 0", [](StreamDriver&) {}, 200000, 0, -229},
        {"over 1.75 GiB", [](StreamDriver&) { pellago::setPhysicalMemoryFunction(&twoGiB); }, 65536, 28673, -231},
        {"70000 x 65536", [](StreamDriver&) { pellago::setPhysicalMemoryFunction(&twoGiB); }, 65536, 70000, -231},
        {"over 128 MiB", [](StreamDriver&) { pellago::setPhysicalMemoryFunction(&quarterGiB); }, 1048576, 129, -231},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::set<int> before = openDescriptors();
        const size_t threadsBefore = threadCount();
        {
            StreamDriver driver;
            c.setup(driver);
            void* stream = nullptr;
            EXPECT_EQ(add(&stream, c.size, c.count), c.result);
            void* address = reinterpret_cast<void*>(1);
            EXPECT_EQ(getBufferData(stream, 0, &address), 0);  // not in the list
            EXPECT_EQ(address, nullptr);
            EXPECT_EQ(threadCount(), threadsBefore);
            if (c.result == -231) {
                EXPECT_FALSE(driver.requests(gigefilter::kCloseChannel).empty());
            }
        }
        pellago::setPhysicalMemoryFunction(nullptr);
        EXPECT_EQ(openDescriptors(), before);
    }
    // Exactly at the limit passes.
    StreamDriver driver;
    pellago::setPhysicalMemoryFunction(&quarterGiB);
    void* stream = nullptr;
    EXPECT_EQ(add(&stream, 1048576, 128), 0);
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, WithoutDriverOrAdapterTheAddFails)
{
    const std::set<int> before = openDescriptors();
    void* stream = nullptr;
    {
        DriverPathScope none(nullptr);
        EXPECT_EQ(add(&stream), OrvGigETL_OPENING_STREAMING_CHANNEL_FAILED);
    }
    {
        StreamDriver driver;
        const uint32_t nowhere = 0x0AFFFFFE;  // 10.255.255.254, on no adapter
        uint16_t port = 0;
        EXPECT_EQ(addStream(camera, &stream, &nowhere, &port, 200000, 4, 1500, 0, nullptr, nullptr),
                  OrvGigETL_OPENING_STREAMING_CHANNEL_FAILED);
        EXPECT_TRUE(driver.requests(gigefilter::kOpenChannel).empty());
        const auto failed = linesWith("MACAddressGet(");
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].rfind("--> openChannel MACAddressGet(", 0), 0u);
    }
    EXPECT_EQ(openDescriptors(), before);
    uint16_t port = 0;
    const uint32_t host = kLoopback;
    EXPECT_EQ(addStream(camera, nullptr, &host, &port, 1, 1, 1500, 0, nullptr, nullptr), -229);
    EXPECT_EQ(addStream(camera, &stream, nullptr, &port, 1, 1, 1500, 0, nullptr, nullptr), -229);
    EXPECT_EQ(addStream(camera, &stream, &host, nullptr, 1, 1, 1500, 0, nullptr, nullptr), -229);
    EXPECT_EQ(addStream(reinterpret_cast<void*>(0x7FFFFFF3), &stream, &host, &port, 1, 1, 1500, 0, nullptr, nullptr),
              -206);
}

TEST_F(Streams, PendingChannelClosesTheOlderStreamsOfItsSource)
{
    StreamDriver driver;
    void* older = nullptr;
    void* otherSource = nullptr;
    ASSERT_EQ(add(&older), 0);
    ASSERT_EQ(add(&otherSource, 200000, 4, 0x7F000002), 0);
    driver.openStatuses[1] = 17;
    driver.opens = 0;  // the next open answers 17, the one after it 17 too
    void* newer = nullptr;
    driver.openStatuses[0] = 17;
    driver.openStatuses[1] = 0;
    ASSERT_EQ(add(&newer), 0);
    void* address = nullptr;
    EXPECT_EQ(getBufferData(older, 0, &address), 0);
    EXPECT_EQ(address, nullptr);  // gone
    EXPECT_EQ(getBufferData(otherSource, 0, &address), 0);
    EXPECT_NE(address, nullptr);
    EXPECT_EQ(getBufferData(newer, 0, &address), 0);
    EXPECT_NE(address, nullptr);
    closeStream(otherSource);
    closeStream(newer);
}


TEST_F(Streams, FramesLostFramesGapsAndRejection)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    lines.take();
    for (uint16_t id : {65535, 1, 5, 9})
        driver.push(frame(id));
    driver.push(frame(10, 2));
    driver.drain();
    auto got = sink.take();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].type, 1);
    EXPECT_EQ(got[0].value, 200000);
    EXPECT_EQ(got[0].record.blockId, 65535u);
    EXPECT_EQ(got[0].record.frameSize, 1000u);
    EXPECT_EQ(got[0].record.slotIndex, 1u);  // the pool hands out slot 1 first
    EXPECT_EQ(got[0].record.transferTime, 500u);
    EXPECT_FLOAT_EQ(got[0].record.peakTransferRate, 2.0f);
    EXPECT_EQ(got[0].record.value112, 112u);
    EXPECT_EQ(got[0].record.value364, 364u);
    EXPECT_EQ(got[0].record.resentPackets, 2u);
    EXPECT_EQ(got[0].record.magic, 0x92645470u);
    EXPECT_EQ(got[0].record.state, 1u);
    EXPECT_EQ(got[1].record.lostFrames, 0u);  // 65535 then 1
    EXPECT_EQ(got[2].record.lostFrames, 3u);  // 1 then 5
    EXPECT_EQ(got[3].record.lostFrames, 6u);  // 5 then 9
    EXPECT_EQ(got[4].type, 2);
    EXPECT_EQ(got[4].record.lostFrames, 7u);  // abandoned
    EXPECT_EQ(got[4].record.state, 2u);
    const auto gaps = linesWith("gap");
    EXPECT_EQ(gaps, (std::vector<std::string>{"<-- ImageCallback(ID=65535): gap 0 - 65535",
                                              "<-- ImageCallback(ID=00005): gap 1 - 5",
                                              "<-- ImageCallback(ID=00009): gap 5 - 9"}));
    // The host's release values go back with the release.
    const auto releases = driver.requests(gigefilter::kReleaseBlock);
    ASSERT_EQ(releases.size(), 5u);
    EXPECT_EQ(releases[0].block.blockId, 65535);
    const uint32_t values[5] = {11, 12, 14, 13, 15};
    EXPECT_EQ(std::memcmp(releases[0].block.releaseValues, values, sizeof values), 0);

    // Disabled: released with a rejection line, no signal; enabled again,
    // frames completed before the enable time are rejected too.
    enableStream(stream, false);
    driver.push(frame(3));
    driver.drain();
    fake.now = 5000000;
    enableStream(stream, true);
    driver.push(frame(4, 1, 4000000));
    driver.push(frame(5, 1, 6000000));
    driver.drain();
    got = sink.take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].record.blockId, 5u);
    const auto rejected = linesWith("ImageRejected");
    EXPECT_EQ(rejected, (std::vector<std::string>{"<-- ImageRejected(ID=00003): 'disabled' time condition=  0",
                                                   "<-- ImageRejected(ID=00004): 'enabled' time condition= -1"}));
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, LostFramesCountOnlyGapsForward)
{
    struct Case {
        const char* name;
        std::vector<uint16_t> ids;
        std::vector<uint32_t> lost;  // the count each frame carries
    };
    const Case cases[] = {
        {"a gap", {5, 9}, {0, 3}},
        {"the wrap", {65534, 65535, 1, 2}, {0, 0, 0, 0}},
        {"a gap across the wrap, which skips 0", {65530, 3}, {0, 7}},
        {"ids begun anew", {65535, 1, 2, 65533, 65534}, {0, 0, 0, 0, 0}},
        {"ids begun anew from the middle of the cycle", {40099, 1, 2}, {0, 0, 0}},
        {"ids begun anew, the first frames lost", {40099, 4, 5}, {0, 0, 0}},
        {"the longest gap across the wrap that counts", {64535, 24}, {0, 1023}},
        {"a longer one is taken for ids begun anew", {64535, 25}, {0, 0}},
        {"a jump back from low ids", {10, 15, 65535, 1, 3}, {0, 4, 4, 4, 5}},
        {"just under half the cycle", {100, 32867}, {0, 32766}},
        {"half the cycle", {100, 32868}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamDriver driver;
        void* stream = nullptr;
        ASSERT_EQ(add(&stream), 0);
        for (uint16_t id : c.ids)
            driver.push(frame(id));
        driver.drain();
        const auto got = sink.take();
        ASSERT_EQ(got.size(), c.ids.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].record.blockId, c.ids[i]);
            EXPECT_EQ(got[i].record.lostFrames, c.lost[i]) << c.ids[i];
        }
        EXPECT_EQ(closeStream(stream), 0);
    }
}

// A jump to a lower id across the end of the cycle, or to an id the driver
// saw used within the frame time-out, counts the frames between only as far
// as the time between the two frames could hold them: by the camera's
// timestamps where it stamps, else by the host's completion times.
TEST_F(Streams, LostFramesAcrossAJumpAreBoundedByTheTimeBetween)
{
    struct Sent {
        uint16_t id;
        uint64_t stamp;      // 0: unstamped
        int64_t completion;  // ticks
        bool reused;
    };
    struct Case {
        const char* name;
        std::vector<Sent> frames;
        std::vector<uint32_t> lost;  // the count each frame carries
    };
    const Case cases[] = {
        {"1500 lost across the wrap, by stamps",
         {{65000, 1000, 0, false}, {65001, 2000, 0, false}, {967, 2000 + 1501 * 1000, 0, false}}, {0, 0, 1500}},
        {"a restart from 65000 at once, by stamps",
         {{64999, 1000, 0, false}, {65000, 2000, 0, false}, {1, 3000, 0, false}}, {0, 0, 0}},
        {"a restart whose clock began anew",
         {{64999, 5000, 0, false}, {65000, 6000, 0, false}, {1, 100, 0, false}}, {0, 0, 0}},
        {"1500 lost across the wrap, by host times",
         {{65000, 0, 1000, false}, {65001, 0, 2000, false}, {967, 0, 2000 + 1501 * 1000, false}}, {0, 0, 1500}},
        {"a restart from 65000 at once, by host times",
         {{64999, 0, 1000, false}, {65000, 0, 2000, false}, {1, 0, 3000, false}}, {0, 0, 0}},
        {"an id used again ahead, unstamped: a repeat",
         {{10, 0, 1000, false}, {11, 0, 2000, false}, {40, 0, 3000, true}, {12, 0, 4000, false}}, {0, 0, 0, 0}},
        {"an id used again ahead, stamped: frames lost",
         {{10, 1000, 0, false}, {11, 2000, 0, false}, {14, 5000, 0, true}, {15, 6000, 0, false}}, {0, 0, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamDriver driver;
        void* stream = nullptr;
        ASSERT_EQ(add(&stream), 0);
        for (const Sent& f : c.frames) {
            driver.push([f, base = frame(f.id, 1, f.completion)](Block& b) {
                base(b);
                b.cameraTimestamp = f.stamp;
                b.idReused = f.reused ? 1 : 0;
            });
        }
        driver.drain();
        const auto got = sink.take();
        ASSERT_EQ(got.size(), c.frames.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].record.lostFrames, c.lost[i]) << c.frames[i].id;
        EXPECT_EQ(closeStream(stream), 0);
    }
}

TEST_F(Streams, StartsInARowAndOldStylePackets)
{
    StreamDriver driver;
    driver.oldStyleBaseline = 10;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    for (uint16_t id : {0, 7, 8, 9})
        driver.push(start(id));
    driver.push(frame(10));
    driver.push(start(11));
    driver.push([](Block& b) { b.oldStyleCounter = 50; }, 5);
    driver.push([](Block& b) { b.oldStyleCounter = 200; }, 5);
    driver.push([](Block& b) { b.oldStyleCounter = 900; }, 5);
    driver.drain();
    const auto got = sink.take();
    std::vector<int> types;
    for (const Delivered& d : got)
        types.push_back(d.type);
    EXPECT_EQ(types, (std::vector<int>{3, 3, 3, 3, 9, 1, 3, 5}));
    EXPECT_EQ(got[0].record.blockId, 1u);  // id 0 becomes 1, and later ids move up by 1
    EXPECT_EQ(got[1].record.blockId, 8u);
    EXPECT_EQ(got[0].record.frameData, nullptr);
    EXPECT_EQ(got[4].multicast.message, 1);
    EXPECT_EQ(got[4].multicast.payload, 1464);
    EXPECT_EQ(got[4].value, 16);
    EXPECT_EQ(got[7].value, 50);
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, ResendRequestGoesToTheCamera)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    int32_t entries[5] = {1, 0, 0, 1, 3};
    driver.push([&](Block& b) {
        b.eventType = 7;
        b.blockId = 0x1234;
        b.packetCountLess3 = 2;
        b.packetStatus = entries;
    });
    int32_t none[4] = {1, 1, 1, 1};
    driver.push([&](Block& b) {
        b.eventType = 7;
        b.blockId = 0;
        b.packetCountLess3 = 1;
        b.packetStatus = none;
    });
    driver.drain();
    for (int i = 0; i < 100 && peer->received().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto got = peer->received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0x42, 0x00, 0x00, 0x40, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0, 0, 0, 1, 0,
                             0, 0, 2}));
    EXPECT_EQ(std::vector<int32_t>(entries, entries + 5), (std::vector<int32_t>{1, -1, -1, 1, 3}));
    EXPECT_EQ(linesWith("PacketResend ("),
              std::vector<std::string>{"    Image Incomplete (ID=04660) -> send PacketResend (1..2) total: 2  FrameLoss: 0"});
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, HostSignalsAndCameraMessageNames)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    lines.take();
    const std::pair<uint32_t, const char*> names[] = {
        {7, "OrvGigETL_SIGNAL_CAMERA_IMAGE_TRANSFER_DONE"}, {12, "OrvGigETL_SIGNAL_CAMERA_SEQ_DONE"},
        {13, "OrvGigETL_SIGNAL_CAMERA_TRIGGER_VIOLATION"},  {14, " OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_START"},
        {15, "OrvGigETL_SIGNAL_CAMERA_FRAMETRANSFER_END "}, {16, " OrvGigETL_SIGNAL_CAMERA_FRAME_TRIGGER"},
        {17, " OrvGigETL_SIGNAL_CAMERA_FRAME_START"},       {18, " OrvGigETL_SIGNAL_CAMERA_FRAME_END"},
        {19, "OrvGigETL_SIGNAL_CAMERA_EXPOSURE_START "},    {20, " OrvGigETL_SIGNAL_CAMERA_EXPOSURE_END"},
    };
    for (const auto& [type, name] : names) {
        SCOPED_TRACE(type);
        EXPECT_EQ(signalCameraMessage(stream, type, 0x1122334455667788ull), 0);
        const auto got = sink.take();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].type, int32_t(type));
        EXPECT_EQ(got[0].stamp, 0x1122334455667788ull);
        EXPECT_EQ(lines.take(), std::vector<std::string>{"00:00:00.000.000  signalCameraMessage() '" + std::string(name) + "'"});
    }
    // At level 4 only the trigger violation's line is written.
    ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, &LineSink::callback, &lines), 0);
    lines.take();
    signalCameraMessage(stream, 12, 0);
    signalCameraMessage(stream, 13, 0);
    EXPECT_EQ(lines.take(), std::vector<std::string>{
                                "00:00:00.000.000  signalCameraMessage() 'OrvGigETL_SIGNAL_CAMERA_TRIGGER_VIOLATION'"});
    EXPECT_EQ(sink.take().size(), 2u);
    ASSERT_EQ(registerMessageCallback(camera, 7, nullptr, &LineSink::callback, &lines), 0);
    lines.take();

    EXPECT_EQ(signalCameraMessage(stream, 8, 0), 0);
    EXPECT_TRUE(sink.take().empty());
    EXPECT_EQ(lines.take(), (std::vector<std::string>{
                                "00:00:00.000.000  signalCameraMessage() 'unknown message type': 8",
                                "00:00:00.000.000  signalCameraMessage() 'OrvGigETL_LOGLEVEL_WARNING '"}));

    EXPECT_EQ(signalCameraConnectionLost(stream), 0);
    EXPECT_EQ(signalMulticastMessage(stream, 9, 0xEFFF0001, 1769, 1464), 0);
    const auto got = sink.take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, 8);
    EXPECT_EQ(got[1].type, 9);
    EXPECT_EQ(got[1].value, 16);
    EXPECT_EQ(got[1].multicast.message, 9);
    EXPECT_EQ(got[1].multicast.group, 0xEFFF0001u);
    EXPECT_EQ(got[1].multicast.port, 1769);
    EXPECT_EQ(got[1].multicast.payload, 1464);
    EXPECT_EQ(closeStream(stream), 0);
    // Unknown stream: nothing delivered.
    EXPECT_EQ(signalCameraConnectionLost(stream), 0);
    EXPECT_TRUE(sink.take().empty());
}

TEST_F(Streams, CloseDuringABlockedWaitRightAfterAddAndInACallback)
{
    for (int round = 0; round < 100; ++round) {
        StreamDriver driver;
        // A driver that never ends a wait by itself is woken by the close,
        // after the time the thread is given to end (once: it takes 3 s).
        driver.blockingWait = round == 0;
        void* stream = nullptr;
        ASSERT_EQ(add(&stream), 0);
        if (round == 0) {
            driver.drain();  // the thread is inside a wait only a close ends
        } else if (round % 3 == 0) {
            driver.push(frame(uint16_t(round + 1)));
        }
        EXPECT_EQ(closeStream(stream), 0);
        if (round == 0) {
            EXPECT_EQ(driver.requests(gigefilter::kWaitForEvent).size(), 1u);
        }
        void* address = nullptr;
        EXPECT_EQ(getBufferData(stream, 0, &address), 0);
        EXPECT_EQ(address, nullptr);
    }
    sink.take();

    // A close from inside the stream's own callback ends its thread; the
    // host's next close frees the stream.
    StreamDriver driver;
    struct Closer {
        void* stream = nullptr;
        std::atomic<int> calls{0};
    } closer;
    const uint32_t host = kLoopback;
    uint16_t port = 0;
    auto callback = [](const OrvGigETL_SIGNAL*, void* context) -> int32_t {
        auto* c = static_cast<Closer*>(context);
        ++c->calls;
        closeStream(c->stream);
        return 0;
    };
    ASSERT_EQ(addStream(camera, &closer.stream, &host, &port, 200000, 4, 1500, 0, callback, &closer), 0);
    driver.push(frame(1));
    driver.push(frame(2));
    for (int i = 0; i < 200 && closer.calls == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(closer.calls.load(), 1);
    EXPECT_EQ(closeStream(closer.stream), 0);
    void* address = nullptr;
    EXPECT_EQ(getBufferData(closer.stream, 0, &address), 0);
    EXPECT_EQ(address, nullptr);
}

namespace {

std::string hex(const void* p)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIXPTR, reinterpret_cast<uintptr_t>(p));
    return text;
}

StreamDriver::Event event(uint32_t type)
{
    return [=](Block& b) { b.eventType = type; };
}

}  // namespace

TEST_F(Streams, EachEventWritesItsLinesAndSignal)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    lines.take();
    driver.push(frame(1));
    driver.push(frame(2, 2));
    driver.push(start(7));
    driver.push(event(4));  // resets the starts in a row
    for (uint16_t id : {8, 9, 10})
        driver.push(start(id));
    driver.push(event(5));  // so does a test packet
    for (uint16_t id : {11, 12, 13, 14})
        driver.push(start(id));
    driver.push(event(6));  // ignored
    driver.drain();
    const auto got = sink.take();
    std::vector<int> types;
    for (const Delivered& d : got)
        types.push_back(d.type);
    ASSERT_EQ(types, (std::vector<int>{1, 2, 3, 4, 3, 3, 3, 6, 3, 3, 3, 3, 9}));
    double stamp = 0;
    std::memcpy(&stamp, &got[0].stamp, sizeof stamp);
    EXPECT_DOUBLE_EQ(stamp, 42.0);  // 42 ticks of a 1 MHz counter

    const std::string who = "function= " + hex(reinterpret_cast<const void*>(&SignalSink::callback))
                            + "  context= " + hex(&sink) + "  signal= ";
    const auto delivered = [&](const char* name, size_t i) {
        return std::string("<<< ") + name + "() " + who + hex(got[i].signal);
    };
    std::vector<std::string> expected = {
        "    ImgBuffer: 1  Transfer: 500 ",
        "<-- ImageCallback(ID=00001): 0.000 MB/s   Resend packets: 2",
        "<-- ImageCallback(ID=00001): signal->timestamp:42.000, img->timestamp:7",
        delivered("signalFrameCompleted", 0),
        "    Ret=0  Sequence=11  Offset=12  Count=14  Cycle=13",
        "    ImgBuffer: 2  Transfer: 500 ",
        "<-- ImageAbandoned(ID=00002)  PacketResend: 2",
        delivered("signalFrameAbandoned", 1),
        "<-- ImagesStart(ID=00007): 0",
        delivered("signalStartOfTransfer", 2),
        delivered("signalBandwidthExceeded", 3),
        "<-- ImagesStart(ID=00008): 0",
        delivered("signalStartOfTransfer", 4),
        "<-- ImagesStart(ID=00009): 1",
        delivered("signalStartOfTransfer", 5),
        "<-- ImagesStart(ID=00010): 2",
        delivered("signalStartOfTransfer", 6),
        delivered("SignalTestPacket", 7),
    };
    for (int i = 0; i < 4; ++i) {
        expected.push_back("<-- ImagesStart(ID=000" + std::to_string(11 + i) + "): " + std::to_string(i));
        expected.push_back(delivered("signalStartOfTransfer", size_t(8 + i)));
    }
    expected.push_back("<<< signalMulticast() " + who + hex(got[12].signal)
                       + " message= 1 group= 0x00000000 port= 0 payload= 1464");
    std::vector<std::string> written;
    for (const std::string& l : lines.take())
        written.push_back(l.substr(18));
    EXPECT_EQ(written, expected);
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, RatesFollowTheFrameClock)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    // Ticks since the previous frame (1 MHz counter) and the frame rate
    // that follows; the data rate adds 28 header bytes to each 1464.
    const double perPacket = 1492.0 / 1464.0;
    struct Step {
        int64_t ticks;
        double rate;
        double dataRate;
    };
    const Step steps[] = {
        {10000, 100, 20 * perPacket},                                  // 100 fps
        {10000, 100, 20 * perPacket},                                  // steady
        {9524, 100 + (1e6 / 9524 - 100) * 0.005, -1},                   // 5 %: creeps
        {7692, 1e6 / 7692, 0.2 * 1e6 / 7692 * perPacket},              // 30 %: jumps
        {0, 0, 0.2 * 1e6 / 7692 * perPacket},                          // no time: 0, data rate stays
        {50000, 20, 4 * perPacket},                                    // 20 fps
        {48077, 20 + (1e6 / 48077 - 20) * 0.2, -1},                     // below 50 fps: β = 0.2
        {500, 0, -1},                                                  // above 1000: 0
    };
    for (const Step& s : steps) {
        fake.now += s.ticks;
        driver.push(frame(7));
        driver.drain();
        const auto got = sink.take();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_NEAR(got[0].record.frameRate, s.rate, 1e-3) << s.ticks;
        if (s.dataRate >= 0) {
            EXPECT_NEAR(got[0].record.dataRate, s.dataRate, 1e-3) << s.ticks;
        }
    }
    EXPECT_EQ(closeStream(stream), 0);
}

TEST_F(Streams, WaitRepliesThatEndTheThread)
{
    struct Case {
        const char* name;
        uint32_t status;
        uint32_t marker;
        bool callFails;
        bool ends;
    };
    const Case cases[] = {
        {"status 2", 2, gigefilter::kReplyMarker, false, true},
        {"other marker", 0, 0x2468, false, true},
        {"failed call", 0, gigefilter::kReplyMarker, true, true},
        {"status 5 without a jump", 5, gigefilter::kReplyMarker, false, false},
        {"status 5, other marker", 5, 0x2468, false, false},
        {"other status", 9, gigefilter::kReplyMarker, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamDriver driver;
        void* stream = nullptr;
        ASSERT_EQ(add(&stream), 0);
        driver.push([&](Block& b) { b.marker = c.marker; }, c.status, c.callFails);
        driver.push(frame(3));
        if (c.ends) {
            // Nothing more is asked of the driver or delivered, silently.
            for (int i = 0; i < 20 && driver.pending() > 1; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(driver.pending(), 1u);
            EXPECT_TRUE(sink.take().empty());
        } else {
            driver.drain();
            const auto got = sink.take();
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].record.blockId, 3u);
        }
        EXPECT_EQ(closeStream(stream), 0);
        EXPECT_EQ(driver.requests(gigefilter::kCloseChannel).size(), 1u);
    }
}

TEST_F(Streams, HostMulticastMessagesUseTheirOwnRecords)
{
    StreamDriver driver;
    void* stream = nullptr;
    ASSERT_EQ(add(&stream), 0);
    const int rounds = 200;
    for (int i = 0; i < rounds; ++i)
        driver.push(start(uint16_t(i + 1)));  // from the fourth on, each gives a type 9
    std::thread host([&] {
        for (int i = 0; i < rounds; ++i)
            signalMulticastMessage(stream, 9, 0xEFFF0001, 1769, i);
    });
    host.join();
    driver.drain();
    std::set<const OrvGigETL_SIGNAL*> threadRecords, hostRecords;
    int fromHost = 0, fromThread = 0;
    for (const Delivered& d : sink.take()) {
        if (d.type != 9)
            continue;
        if (d.multicast.message == 9) {
            EXPECT_EQ(d.multicast.group, 0xEFFF0001u);
            EXPECT_EQ(d.multicast.port, 1769);
            EXPECT_EQ(d.multicast.payload, fromHost);
            hostRecords.insert(d.signal);
            ++fromHost;
        } else {
            EXPECT_EQ(d.multicast.message, 1);
            EXPECT_EQ(d.multicast.group, 0u);
            EXPECT_EQ(d.multicast.payload, 1464);
            threadRecords.insert(d.signal);
            ++fromThread;
        }
    }
    EXPECT_EQ(fromHost, rounds);
    EXPECT_EQ(fromThread, rounds - 3);
    for (const OrvGigETL_SIGNAL* s : hostRecords)
        EXPECT_EQ(threadRecords.count(s), 0u);
    EXPECT_EQ(closeStream(stream), 0);
}
