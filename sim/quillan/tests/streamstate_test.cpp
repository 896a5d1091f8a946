#include "EventRecords.h"
#include "SimPixelFormat.h"
#include "StreamState.h"
#include "ThreadWait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using quillan::StreamState;
namespace PF = SimPixelFormat;

namespace {

struct Event {
    int32_t type;
    std::vector<uint8_t> bytes;
    int32_t signal() const
    {
        ORV_EVENT_DS_ACQUISITION_DATA r;
        std::memcpy(&r, bytes.data(), sizeof r);
        return r.signalType;
    }
    uint32_t imageId() const
    {
        ORV_EVENT_DS_ACQUISITION_DATA r;
        std::memcpy(&r, bytes.data(), sizeof r);
        return r.imageId;
    }
    uint16_t eventId() const { return uint16_t((bytes[8] << 8) | bytes[9]); }
    uint16_t blockId() const { return uint16_t((bytes[12] << 8) | bytes[13]); }
};

struct Stream : ::testing::Test {
    StreamState stream;
    std::mutex mutex;
    SimImageSettings settings;
    StreamState::Timing timing;
    std::vector<Event> events;
    int objects[8] = {};

    void SetUp() override
    {
        settings.sensorWidth = settings.width = 64;
        settings.sensorHeight = settings.height = 48;
        settings.pixelFormat = PF::Mono8;
        settings.pattern = SimImageSettings::GreyRamp;
        StreamState::Hooks hooks;
        hooks.imageSettings = [this](SimImageSettings& s) {
            std::lock_guard<std::mutex> lock(mutex);
            s = settings;
            return true;
        };
        hooks.timing = [this](StreamState::Timing& t) {
            std::lock_guard<std::mutex> lock(mutex);
            t = timing;
        };
        hooks.event = [this](int32_t type, const void* record, size_t size) {
            std::lock_guard<std::mutex> lock(mutex);
            const uint8_t* b = static_cast<const uint8_t*>(record);
            events.push_back({type, std::vector<uint8_t>(b, b + size)});
        };
        stream.setHooks(hooks);
        stream.setManual(true);
    }
    void TearDown() override { stream.acquisitionStop(); }

    std::vector<ORV_BUFFER_HANDLE> announceAndQueue(int n, uint32_t size = 64 * 48)
    {
        std::vector<ORV_BUFFER_HANDLE> handles;
        for (int i = 0; i < n; ++i) {
            ORV_BUFFER_HANDLE h = 0;
            EXPECT_EQ(stream.announce(nullptr, size, &objects[i], &h), 0);
            EXPECT_NE(h, 0u);
            EXPECT_EQ(stream.queue(h), 0);
            handles.push_back(h);
        }
        return handles;
    }
    ORV_BUFFER_INFO next(int expectRc = 0)
    {
        void* user = nullptr;
        ORV_BUFFER_HANDLE h = 0;
        ORV_BUFFER_INFO info{};
        EXPECT_EQ(stream.wait(&user, &h, 2000), expectRc);
        if (expectRc == 0) {
            EXPECT_EQ(stream.bufferInfo(h, &info), 0);
            EXPECT_EQ(stream.queue(h), 0);
        }
        return info;
    }
    std::vector<Event> takeEvents(int32_t type)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Event> out;
        for (const auto& e : events)
            if (e.type == type)
                out.push_back(e);
        events.clear();
        return out;
    }
};

} // namespace

TEST_F(Stream, AnnounceQueueWaitRevokeReturnsThePrivatePointers)
{
    const auto handles = announceAndQueue(5);
    EXPECT_EQ(stream.queue(handles[0]), -1006);  // already queued
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    EXPECT_EQ(stream.start(0, ~0ull), -1014);
    stream.acquisitionStart();
    stream.requestFrames(3);
    uint64_t lastTs = 0;
    for (int i = 0; i < 3; ++i) {
        void* user = nullptr;
        ORV_BUFFER_HANDLE h = 0;
        ASSERT_EQ(stream.wait(&user, &h, 2000), 0);
        EXPECT_EQ(h, handles[i]);
        EXPECT_EQ(user, &objects[i]);
        ORV_BUFFER_INFO info{};
        ASSERT_EQ(stream.bufferInfo(h, &info), 0);
        EXPECT_EQ(info.width, 64u);
        EXPECT_EQ(info.height, 48u);
        EXPECT_EQ(info.size, 64u * 48u);
        EXPECT_EQ(info.status, 1u);
        EXPECT_EQ(info.imageId, uint64_t(i + 1));
        EXPECT_GT(info.timestamp, lastTs);
        lastTs = info.timestamp;
        EXPECT_EQ(info.pixelType, 0x101u);  // the SDK's Mono8 type
        EXPECT_EQ(static_cast<uint8_t*>(info.pixels)[63], 255);  // grey ramp, last column
        EXPECT_EQ(info.secondBlock, nullptr);
    }
    void* user = nullptr;
    EXPECT_EQ(stream.revoke(handles[0], nullptr, &user), -1014);  // delivered while running
    EXPECT_EQ(stream.revoke(handles[4], nullptr, &user), -1014);  // queued while running
    stream.acquisitionStop();
    ASSERT_EQ(stream.stop(0), 0);
    EXPECT_EQ(stream.stop(0), 0);
    ASSERT_EQ(stream.flush(0), 0);
    ASSERT_EQ(stream.flush(1), 0);
    ORV_DS_INFO ds;
    ASSERT_EQ(stream.info(&ds), 0);
    EXPECT_EQ(ds.queuedBuffers, 0u);
    EXPECT_EQ(ds.announcedBuffers, 5u);
    EXPECT_EQ(ds.deliveredFrameCount, 3u);
    for (int i = 0; i < 5; ++i) {
        user = nullptr;
        ASSERT_EQ(stream.revoke(handles[i], nullptr, &user), 0);
        EXPECT_EQ(user, &objects[i]);
    }
    EXPECT_EQ(stream.revoke(handles[0], nullptr, &user), -1002);
    EXPECT_EQ(stream.announcedCount(), 0u);
}

TEST_F(Stream, WaitsTimeOutBeforeStartWhenStalledAndWithoutImages)
{
    announceAndQueue(2);
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(stream.wait(&user, &h, 20), -1011);  // before the start
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    EXPECT_EQ(stream.wait(&user, &h, 20), -1011);  // camera not acquiring
    stream.setManual(false);
    stream.setStall(true);
    stream.acquisitionStart();
    EXPECT_EQ(stream.wait(&user, &h, 100), -1011);
    EXPECT_EQ(stream.wait(nullptr, &h, 0), -1006);
}

TEST_F(Stream, InjectedDropsSkipIdsAndReportFrameLoss)
{
    announceAndQueue(3);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    stream.requestFrames(2);
    EXPECT_EQ(next().imageId, 1u);
    EXPECT_EQ(next().imageId, 2u);
    takeEvents(ORV_EVENT_TYPE_DS_ACQUISITION);
    stream.drop(2);
    stream.requestFrames(3);
    EXPECT_EQ(next().imageId, 5u);
    EXPECT_EQ(stream.frameLoss(), 2u);
    EXPECT_EQ(stream.lostFrameCount(), 0u);
    const auto ds = takeEvents(ORV_EVENT_TYPE_DS_ACQUISITION);
    ASSERT_EQ(ds.size(), 3u);
    EXPECT_EQ(ds[0].signal(), 7);
    EXPECT_EQ(ds[0].imageId(), 3u);
    EXPECT_EQ(ds[1].signal(), 7);
    EXPECT_EQ(ds[1].imageId(), 4u);
    EXPECT_EQ(ds[2].signal(), 1);
    EXPECT_EQ(ds[2].imageId(), 5u);
}

TEST_F(Stream, ImagesWithoutAQueuedBufferAreAbandoned)
{
    const auto handles = announceAndQueue(1);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    stream.requestFrames(2);  // image 1 fills the only buffer, image 2 finds none
    void* user;
    ORV_BUFFER_HANDLE h;
    ASSERT_EQ(stream.wait(&user, &h, 2000), 0);
    ORV_BUFFER_INFO info{};
    ASSERT_EQ(stream.bufferInfo(h, &info), 0);
    EXPECT_EQ(info.imageId, 1u);
    // Image 2 is lost while the buffer is out; queue it back for image 3.
    for (int i = 0; i < 200 && stream.lostFrameCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(stream.lostFrameCount(), 1u);
    ASSERT_EQ(stream.queue(h), 0);
    stream.requestFrames(1);
    EXPECT_EQ(next().imageId, 3u);
    const auto ds = takeEvents(ORV_EVENT_TYPE_DS_ACQUISITION);
    ASSERT_EQ(ds.size(), 3u);
    EXPECT_EQ(ds[1].signal(), 2);
    EXPECT_EQ(ds[1].imageId(), 2u);
    EXPECT_EQ(stream.frameLoss(), 0u);
}

TEST_F(Stream, IncompleteAndTruncatedImages)
{
    announceAndQueue(1, 100);  // smaller than the 3072-byte image
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    stream.requestFrames(1);
    ORV_BUFFER_INFO a = next();
    EXPECT_EQ(a.size, 100u);
    EXPECT_EQ(a.status, 7u);

    StreamState other;
    other.setManual(true);
    ORV_BUFFER_HANDLE h;
    ASSERT_EQ(other.announce(nullptr, 64 * 48, nullptr, &h), 0);
    ASSERT_EQ(other.queue(h), 0);
    other.incomplete(1);
    ASSERT_EQ(other.start(0, ~0ull), 0);
    other.acquisitionStart();
    other.requestFrames(1);
    void* user;
    ASSERT_EQ(other.wait(&user, &h, 2000), 0);
    ORV_BUFFER_INFO b{};
    ASSERT_EQ(other.bufferInfo(h, &b), 0);
    EXPECT_EQ(b.status, 7u);
    EXPECT_LT(b.size, PF::imageBytes(PF::Mono8, 1280, 1024));
    other.acquisitionStop();
}

TEST_F(Stream, NextIdRestartsNumberingAndStartResetsIt)
{
    announceAndQueue(3);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    stream.requestFrames(2);
    EXPECT_EQ(next().imageId, 1u);
    EXPECT_EQ(next().imageId, 2u);
    stream.setNextId(1);
    stream.requestFrames(2);
    EXPECT_EQ(next().imageId, 1u);
    EXPECT_EQ(next().imageId, 2u);
    ASSERT_EQ(stream.stop(0), 0);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.requestFrames(1);
    EXPECT_EQ(next().imageId, 1u);
}

TEST_F(Stream, ImageCountStopsTheStreamByItself)
{
    announceAndQueue(4);
    ASSERT_EQ(stream.start(0, 2), 0);
    stream.acquisitionStart();
    stream.requestFrames(3);
    next();
    next();
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(stream.wait(&user, &h, 100), -1011);
    EXPECT_EQ(stream.start(0, 2), 0);  // stopped by itself, can start again
}

TEST_F(Stream, StopEndsAWaitInProgress)
{
    announceAndQueue(2);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    EXPECT_EQ(simtest::waitEndedBy(
                  [this] {
                      void* user;
                      ORV_BUFFER_HANDLE h;
                      return stream.wait(&user, &h, 60000);
                  },
                  [this] { stream.stop(0); }),
              -1012);
}

TEST_F(Stream, CloseRevokesEverythingAndEndsWaits)
{
    announceAndQueue(3);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    EXPECT_EQ(simtest::waitEndedBy(
                  [this] {
                      void* user;
                      ORV_BUFFER_HANDLE h;
                      return stream.wait(&user, &h, 60000);
                  },
                  [this] { stream.close(); }),
              -1012);
    EXPECT_EQ(stream.announcedCount(), 0u);
}

TEST_F(Stream, SoftwareTriggerMakesOneImageAndAnEvent)
{
    stream.setManual(false);
    {
        std::lock_guard<std::mutex> lock(mutex);
        timing.triggered = true;
    }
    announceAndQueue(2);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(stream.wait(&user, &h, 150), -1011);
    takeEvents(ORV_EVENT_TYPE_REMOTE_DEVICE);
    stream.softwareTrigger();
    ORV_BUFFER_INFO info = next();
    EXPECT_EQ(info.imageId, 1u);
    const auto dev = takeEvents(ORV_EVENT_TYPE_REMOTE_DEVICE);
    ASSERT_EQ(dev.size(), 3u);  // trigger, exposure start, exposure end
    EXPECT_EQ(dev[0].eventId(), 0x9004);
    EXPECT_EQ(dev[1].eventId(), 0x9007);
    EXPECT_EQ(dev[1].blockId(), 1);
    EXPECT_EQ(dev[2].eventId(), 0x9008);
}

TEST_F(Stream, SingleFrameEndsTheAcquisition)
{
    stream.setManual(false);
    {
        std::lock_guard<std::mutex> lock(mutex);
        timing.singleFrame = true;
        timing.frameRate = 200;
    }
    announceAndQueue(2);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    EXPECT_EQ(next().imageId, 1u);
    void* user;
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(stream.wait(&user, &h, 100), -1011);
    EXPECT_FALSE(stream.acquiring());
}

TEST_F(Stream, StreamInfoPayloadAndOverrides)
{
    ORV_DS_INFO ds;
    ASSERT_EQ(stream.info(&ds), 0);
    EXPECT_EQ(ds.payloadSize, 64u * 48u);
    EXPECT_EQ(ds.payloadSizeValid, 1);
    stream.setInfoMode(StreamState::InfoMode::Invalid);
    ASSERT_EQ(stream.info(&ds), 0);
    EXPECT_EQ(ds.payloadSizeValid, 0);
    stream.setInfoMode(StreamState::InfoMode::Zero);
    ASSERT_EQ(stream.info(&ds), 0);
    EXPECT_EQ(ds.payloadSize, 0u);
    EXPECT_EQ(ds.payloadSizeValid, 1);
    {
        std::lock_guard<std::mutex> lock(mutex);
        settings.pixelFormat = PF::Mono12Packed;
    }
    EXPECT_EQ(stream.payloadSize(true), 64u * 48u * 3 / 2);
    stream.setPayloadOverride(true, 0);
    EXPECT_EQ(stream.payloadSize(true), 0u);
    EXPECT_EQ(stream.payloadSize(false), 64u * 48u * 3 / 2);
    stream.resetControls();
    EXPECT_EQ(stream.payloadSize(true), 64u * 48u * 3 / 2);
}

TEST_F(Stream, PixelTypeAsDelivered)
{
    announceAndQueue(4, 64 * 48 * 2);
    ASSERT_EQ(stream.start(0, ~0ull), 0);
    stream.acquisitionStart();
    {
        std::lock_guard<std::mutex> lock(mutex);
        settings.pixelFormat = PF::Mono12;
    }
    stream.requestFrames(1);
    EXPECT_EQ(next().pixelType, 0x103u);
    stream.setPixelType(StreamState::PixelTypeMode::Pfnc, 0, 0);
    stream.requestFrames(1);
    EXPECT_EQ(next().pixelType, uint64_t(PF::Mono12));
    stream.setPixelType(StreamState::PixelTypeMode::Raw, 0x104, 7);
    stream.requestFrames(1);
    EXPECT_EQ(next().pixelType, 0x104u | (uint64_t(7) << 32));
}

TEST_F(Stream, AnnounceFailsOnRequestAndForBadArguments)
{
    stream.failAnnounce(3, -1006);
    ORV_BUFFER_HANDLE h;
    EXPECT_EQ(stream.announce(nullptr, 10, nullptr, &h), 0);
    EXPECT_EQ(stream.announce(nullptr, 10, nullptr, &h), 0);
    EXPECT_EQ(stream.announce(nullptr, 10, nullptr, &h), -1006);
    EXPECT_EQ(stream.announce(nullptr, 10, nullptr, &h), 0);
    EXPECT_EQ(stream.announce(nullptr, 0, nullptr, &h), -1006);
    EXPECT_EQ(stream.announce(nullptr, 10, nullptr, nullptr), -1006);
    uint8_t own[16];
    ASSERT_EQ(stream.announce(own, sizeof own, nullptr, &h), 0);
    void* memory = nullptr;
    ASSERT_EQ(stream.revoke(h, &memory, nullptr), 0);
    EXPECT_EQ(memory, own);
    EXPECT_EQ(stream.bufferId(0, &h), 0);
    EXPECT_EQ(stream.bufferId(3, &h), -1006);
}

// Start and stop many times while two threads wait and queue back, as the
// viewer's producer and consumer do.
TEST_F(Stream, ManyCyclesWithConcurrentWaits)
{
    stream.setManual(false);
    stream.setFrameRate(2000);
    for (int cycle = 0; cycle < 20; ++cycle) {
        const auto handles = announceAndQueue(5);
        ASSERT_EQ(stream.start(0, ~0ull), 0);
        std::atomic<bool> running{true};
        std::atomic<int> received{0};
        std::mutex idsMutex;
        std::set<uint64_t> ids;
        auto worker = [&] {
            while (running) {
                void* user;
                ORV_BUFFER_HANDLE h;
                const int rc = stream.wait(&user, &h, 1000);
                if (rc == -1012)
                    continue;
                if (rc != 0)
                    continue;
                ORV_BUFFER_INFO info{};
                if (stream.bufferInfo(h, &info) == 0) {
                    std::lock_guard<std::mutex> lock(idsMutex);
                    EXPECT_TRUE(ids.insert(info.imageId).second) << "image " << info.imageId << " delivered twice";
                }
                ++received;
                stream.queue(h);
            }
        };
        std::thread a(worker), b(worker);
        stream.acquisitionStart();
        while (received < 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stream.acquisitionStop();
        running = false;
        stream.stop(0);
        a.join();
        b.join();
        ASSERT_EQ(stream.flush(0), 0);
        ASSERT_EQ(stream.flush(1), 0);
        for (size_t i = 0; i < handles.size(); ++i) {
            void* user = nullptr;
            ASSERT_EQ(stream.revoke(handles[i], nullptr, &user), 0) << "cycle " << cycle;
            EXPECT_EQ(user, &objects[i]);
        }
    }
}

// The last owner may let go while the camera runs; the producer, which holds
// the stream only during one step, ends by itself.
TEST(StreamLifetime, OwnerMayLetGoWhileTheCameraRuns)
{
    for (int round = 0; round < 20; ++round) {
        auto stream = std::make_shared<StreamState>();
        StreamState::Hooks hooks;
        hooks.imageSettings = [](SimImageSettings& s) {
            s.sensorWidth = s.width = 32;
            s.sensorHeight = s.height = 8;
            return true;
        };
        stream->setHooks(hooks);
        stream->setFrameRate(5000);
        ORV_BUFFER_HANDLE h;
        ASSERT_EQ(stream->announce(nullptr, 256, nullptr, &h), 0);
        ASSERT_EQ(stream->queue(h), 0);
        ASSERT_EQ(stream->start(0, ~0ull), 0);
        stream->acquisitionStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 3));
        std::weak_ptr<StreamState> weak = stream;
        stream.reset();
        for (int i = 0; i < 200 && !weak.expired(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(weak.expired());
    }
}
