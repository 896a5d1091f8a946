#include "U3vSimPattern.h"
#include "U3vStream.h"
#include "U3vTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <set>
#include <thread>

#include <sys/mman.h>

using namespace u3vtest;
using namespace std::chrono_literals;

namespace {

// 640 x 480 Mono8: four transfers of 64 KiB and a first final of 45056 bytes.
const char* const kSmall = "width=640 height=480";
constexpr std::uint32_t kSmallPayload = 640 * 480;
constexpr int kSmallTransfers = 7;

// U3V_IMAGE_INFO's fields unpacked, so that checks may bind to them.
struct ImageInfo {
    std::uint64_t blockId = 0, timestamp = 0;
    std::uint32_t pixelFormat = 0, sizeX = 0, sizeY = 0, offsetX = 0, offsetY = 0;
    std::uint16_t paddingX = 0;
    std::uint32_t missingTransfers = 0;
};

class PexlinStream : public SimBus {
public:
    void TearDown() override
    {
        if (stream_) {
            withinWatchdog([this] { EXPECT_EQ(U3V_CloseStream(stream_), 0); }, "close");
        }
        stream_ = nullptr;
        SimBus::TearDown();
    }

    void openStream(const std::string& deviceArgs = kSmall, std::uint32_t timeoutMs = 1000)
    {
        sim("device.add cam " + deviceArgs);
        openCamera();
        ASSERT_EQ(U3V_OpenStream(dev_, control_, &stream_, timeoutMs), 0);
    }

    u3vsim::StreamCounts counts() const { return device()->streamCounts(); }

    // Takes one image into image_; returns the status.
    U3V_STATUS take(std::uint32_t timeoutMs = 10000)
    {
        image_.assign(stream_->requiredPayloadSize, 0);
        U3V_IMAGE_INFO packed{};
        const U3V_STATUS status = U3V_GetImage(stream_, image_.data(), timeoutMs, &packed);
        info_.blockId = packed.blockId;
        info_.timestamp = packed.timestamp;
        info_.pixelFormat = packed.pixelFormat;
        info_.sizeX = packed.sizeX;
        info_.sizeY = packed.sizeY;
        info_.offsetX = packed.offsetX;
        info_.offsetY = packed.offsetY;
        info_.paddingX = packed.paddingX;
        info_.missingTransfers = packed.missingTransfers;
        return status;
    }

    bool imageMatches() const
    {
        return u3vsim::matchesPattern(image_.data(), info_.blockId, image_.size());
    }

    U3V_Stream* stream_ = nullptr;
    std::vector<std::uint8_t> image_;
    ImageInfo info_;
};

} // namespace

TEST_F(PexlinStream, LayoutIsWrittenInOrderAndTheRingHasOneSpare)
{
    struct Case {
        const char* name;
        const char* device;
        std::uint32_t transferSize;
        std::uint32_t leader, count, final1, final2, trailer;
        std::size_t contexts;
    };
    const Case cases[] = {
        {"1,000,000 bytes, alignment 2", "payload=1000000", 65536, 52, 15, 16960, 0, 32, 18},
        {"1,000,001 bytes, alignment 2", "payload=1000001", 65536, 52, 15, 16960, 2, 32, 19},
        {"1,000,001 bytes, exponent 3", "payload=1000001 align=3", 65536, 52, 15, 16960, 8, 32, 19},
        {"exact multiple", "payload=655360", 65536, 52, 10, 0, 0, 32, 12},
        {"alignment above the leader and trailer", "payload=1000 align=7", 65536, 128, 0, 896, 128,
         128, 4},
        {"small transfers", "payload=1000 align=2", 256, 52, 3, 232, 0, 32, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        openStream(c.device);
        ASSERT_EQ(U3V_SetTransferSize(stream_, c.transferSize), 0);
        device()->clearRecords();
        ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
        const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
            {0x04, 0}, {0x18, c.leader}, {0x1C, c.transferSize}, {0x20, c.count},
            {0x24, c.final1}, {0x28, c.final2}, {0x2C, c.trailer}, {0x04, 1}};
        EXPECT_EQ(device()->sirmWrites(), expected);
        EXPECT_EQ(stream_->transferContexts(), c.contexts);
        EXPECT_EQ(stream_->ringSize(), 5u);
        // An image through this layout arrives whole.
        ASSERT_EQ(take(), 0);
        EXPECT_TRUE(imageMatches());
        EXPECT_EQ(info_.missingTransfers, 0u);
        EXPECT_EQ(U3V_CloseStream(stream_), 0);
        stream_ = nullptr;
        closeCamera();
    }
    EXPECT_TRUE(logged(1, "SI_RequiredPayloadSize: 1000"));
    EXPECT_TRUE(logged(1, "SI_PayloadTransferCount: 3"));
    EXPECT_TRUE(logged(1, "SI_PayloadFinalTransfer1Size: 232"));
    EXPECT_TRUE(logged(1, "SI_MaximumTrailerSize: 32"));
}

TEST_F(PexlinStream, NoMoreThanTheBufferCountWaits)
{
    openStream();
    std::uint32_t count = 0, size = 0;
    ASSERT_EQ(U3V_GetBufferCount(stream_, &count), 0);
    ASSERT_EQ(U3V_GetTransferSize(stream_, &size), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(size, 0x10000u);
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    EXPECT_EQ(stream_->ringSize(), 5u);
    ASSERT_TRUE(eventually([this] { return counts().frames >= 12; }));
    EXPECT_EQ(stream_->readyCount(), 4u);
}

TEST_F(PexlinStream, Frames)
{
    struct Case {
        const char* name;
        const char* fault;
        U3V_STATUS status;
        std::uint64_t block;
        std::uint32_t missing;
        std::uint32_t timeoutMs;
        int partial;              // the transfer that lacks data, -1: none
        std::size_t partialBytes; // what it holds
    };
    const Case cases[] = {
        {"good frame", nullptr, 0, 0, 0, 1000, -1, 0},
        {"one short transfer", "short-transfer 2", U3V_STATUS_IMAGE_INCOMPLETE, 0, 1, 1000, 2, 0x8000},
        {"trailer status", "trailer-status 0x8005", 0x8005, 0, 0, 1000, -1, 0},
        {"block id mismatch", "trailer-id", 0, 1, 0, 1000, -1, 0},
        {"lost trailer", "lost-trailer 300", 0, 1, 0, 100, -1, 0},
        {"short leader", "short-leader 49", 0, 1, 0, 1000, -1, 0},
        {"bad leader magic", "leader-magic", 0, 1, 0, 1000, -1, 0},
        {"payload type other than image", "payload-type 2", 0, 1, 0, 1000, -1, 0},
        {"refused submission, its data lost", "refuse-submit 1 after=2", U3V_STATUS_IMAGE_INCOMPLETE,
         0, 1, 1000, 1, 0},
        {"refused submission, data shifted", "refuse-submit after=2", 0, 1, 0, 1000, -1, 0},
        {"stall within the time-out", "stall 50", 0, 0, 0, 1000, -1, 0},
        {"stall beyond the time-out", "stall 250", 0, 1, 0, 100, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        openStream(std::string(kSmall) + " offset-x=8 offset-y=4 padding-x=2 fps=100", c.timeoutMs);
        if (c.fault)
            sim(std::string("fault cam ") + c.fault);
        ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
        ASSERT_EQ(take(), c.status);
        EXPECT_EQ(info_.blockId, c.block);
        EXPECT_EQ(info_.missingTransfers, c.missing);
        EXPECT_EQ(info_.timestamp, u3vsim::kTimestampBase + c.block * u3vsim::kTimestampStep);
        EXPECT_EQ(info_.pixelFormat, u3vsim::kMono8);
        EXPECT_EQ(info_.sizeX, 640u);
        EXPECT_EQ(info_.sizeY, 480u);
        EXPECT_EQ(info_.offsetX, 8u);
        EXPECT_EQ(info_.offsetY, 4u);
        EXPECT_EQ(info_.paddingX, 2u);
        // Every transfer that arrived whole is in its own place.
        std::vector<std::uint8_t> expected(image_.size());
        u3vsim::fillPattern(expected.data(), info_.blockId, 0, expected.size());
        for (std::size_t i = 0, at = 0; at < image_.size(); ++i, at += 0x10000) {
            const std::size_t whole = std::min<std::size_t>(0x10000, image_.size() - at);
            const std::size_t n = int(i) == c.partial ? c.partialBytes : whole;
            EXPECT_EQ(std::memcmp(image_.data() + at, expected.data() + at, n), 0) << "transfer " << i;
        }
        // The next image is whole. A failed attempt left nothing submitted:
        // the thread waits for the next frame with its leader transfer alone.
        ASSERT_EQ(take(), 0);
        EXPECT_TRUE(imageMatches());
        EXPECT_GT(info_.blockId, c.block);
        EXPECT_TRUE(eventually([this] { return counts().pending == 1; }));
        std::uint64_t first = 7, second = 7;
        EXPECT_EQ(U3V_AcquisitionStop(stream_, &first, &second), 0);
        EXPECT_EQ(first, 0u);
        EXPECT_EQ(second, 0u);
        EXPECT_EQ(counts().pending, 0u);
        EXPECT_FALSE(counts().enabled);
        EXPECT_EQ(U3V_CloseStream(stream_), 0);
        stream_ = nullptr;
        closeCamera();
    }
    EXPECT_TRUE(logged(4, "Missing Packet 2  expected -> 65536, actual ret -> 32768"));
    EXPECT_TRUE(logged(2, "Missing data packets in the image."));
    EXPECT_TRUE(logged(4, "Leader block id != trailer block id. Expected -> 0, actual -> 1000"));
    EXPECT_TRUE(logged(4, "check if leader correct 49"));
    EXPECT_TRUE(logged(4, "(pGenericLeader->nMagicKey != LEADER_MAGIC_KEY 52"));
}

TEST_F(PexlinStream, QueuedImagesAreNeverOverwrittenWhenTheHostFallsBehind)
{
    openStream();
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    ASSERT_TRUE(eventually([this] { return counts().frames >= 10; }));
    // The device goes on sending while the queued images are read.
    std::uint64_t previous = 0;
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(take(), 0);
        EXPECT_TRUE(imageMatches());
        if (i > 0) {
            EXPECT_GT(info_.blockId, previous);
        }
        previous = info_.blockId;
    }
}

TEST_F(PexlinStream, ImagesCopiedOutOnSeveralThreadsAreWholeAndDistinct)
{
    // A ring of two and large images: while one image is copied out the
    // stream thread has a single buffer left to receive into.
    openStream("width=2448 height=2048");
    ASSERT_EQ(U3V_SetBufferCount(stream_, 1), 0);
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    constexpr int kHosts = 3, kImages = 15;
    const std::size_t size = stream_->requiredPayloadSize;
    std::vector<std::vector<std::uint64_t>> ids(kHosts);
    std::atomic<int> taken{0}, torn{0};
    withinWatchdog(
        [&] {
            std::vector<std::thread> hosts;
            for (int h = 0; h < kHosts; ++h) {
                hosts.emplace_back([&, h] {
                    std::vector<std::uint8_t> image(size);
                    while (ids[h].size() < kImages) {
                        U3V_IMAGE_INFO info{};
                        const U3V_STATUS status = U3V_GetImage(stream_, image.data(), 10000, &info);
                        if (status == U3V_STATUS_IMAGE_TIMEOUT)
                            continue; // the restart below
                        EXPECT_EQ(status, 0);
                        if (!u3vsim::matchesPattern(image.data(), info.blockId, size))
                            ++torn;
                        ids[h].push_back(info.blockId);
                        ++taken;
                    }
                });
            }
            // A restart rebuilds the ring while images are being copied out.
            EXPECT_TRUE(eventually([&] { return taken >= kHosts * kImages / 2; }));
            EXPECT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
            for (std::thread& h : hosts)
                h.join();
        },
        "several hosts");
    EXPECT_EQ(torn, 0);
    std::set<std::uint64_t> all;
    for (const std::vector<std::uint64_t>& own : ids) {
        EXPECT_TRUE(std::is_sorted(own.begin(), own.end()));
        all.insert(own.begin(), own.end());
    }
    EXPECT_EQ(all.size(), std::size_t(kHosts * kImages));
}

TEST_F(PexlinStream, RestartsWhileImagesAreCopiedOut)
{
    // Payloads not written, so that the hosts spend their time copying.
    openStream("width=2448 height=2048 no-fill");
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    // Each restart rewrites the size while the hosts run, so they take it
    // from here, read before the first restart.
    const std::size_t size = stream_->requiredPayloadSize;
    ASSERT_GT(size, 0u);
    std::atomic<bool> done{false};
    std::atomic<int> taken{0};
    std::atomic<int> steps{0};
    auto restarting = std::async(std::launch::async, [&] {
        std::vector<std::thread> hosts;
        for (int h = 0; h < 2; ++h) {
            hosts.emplace_back([&] {
                while (!done) {
                    // Fresh pages fault in during the copy, so that it
                    // lasts long enough for a restart to meet it.
                    void* image = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                    ASSERT_NE(image, MAP_FAILED);
                    const U3V_STATUS status = U3V_GetImage(stream_, image, 10000, nullptr);
                    munmap(image, size);
                    if (status == 0)
                        ++taken;
                    else
                        EXPECT_EQ(status, U3V_STATUS_IMAGE_TIMEOUT);
                }
            });
        }
        for (int i = 0; i < 20; ++i) {
            const int before = taken;
            EXPECT_TRUE(eventually([&] { return taken > before; }));
            EXPECT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
            ++steps;
        }
        done = true;
        std::uint64_t a = 0, b = 0;
        EXPECT_EQ(U3V_AcquisitionStop(stream_, &a, &b), 0);
        for (std::thread& h : hosts)
            h.join();
    });
    // A slow machine (a sanitizer) takes long for all twenty; a hang is a
    // restart that does not come at all.
    for (int seen = -1; restarting.wait_for(std::chrono::seconds(30)) != std::future_status::ready;) {
        ASSERT_NE(steps.load(), seen) << "restarts hang after " << seen;
        seen = steps;
    }
    restarting.get();
}

TEST_F(PexlinStream, Lifecycle)
{
    struct Case {
        const char* name;
        std::function<void(PexlinStream&)> run;
    };
    const Case cases[] = {
        {"image before start", [](PexlinStream& t) {
             const auto begin = std::chrono::steady_clock::now();
             EXPECT_EQ(U3V_GetImage(t.stream_, nullptr, 200, nullptr), U3V_STATUS_IMAGE_TIMEOUT);
             EXPECT_GE(std::chrono::steady_clock::now() - begin, 190ms);
         }},
        {"stop while an image is awaited", [](PexlinStream& t) {
             t.sim("stream cam fps=0.1");
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(t.take(), 0); // the first frame comes at once, the next in 10 s
             auto waiting = std::async(std::launch::async, [&t] {
                 return U3V_GetImage(t.stream_, nullptr, 60000, nullptr);
             });
             std::this_thread::sleep_for(100ms);
             std::uint64_t a = 0, b = 0;
             EXPECT_EQ(U3V_AcquisitionStop(t.stream_, &a, &b), 0);
             EXPECT_EQ(waiting.get(), U3V_STATUS_IMAGE_TIMEOUT);
             // After a stop the queue is emptied: no image, whatever arrived.
             EXPECT_EQ(U3V_GetImage(t.stream_, nullptr, 0, nullptr), U3V_STATUS_IMAGE_TIMEOUT);
             EXPECT_EQ(t.stream_->readyCount(), 0u);
         }},
        {"start then stop at once", [](PexlinStream& t) {
             std::uint64_t a = 0, b = 0;
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             EXPECT_EQ(U3V_AcquisitionStop(t.stream_, &a, &b), 0);
             EXPECT_TRUE(t.stream_->threadEnded);
             EXPECT_FALSE(t.stream_->running());
             EXPECT_FALSE(t.stream_->streaming);
             EXPECT_EQ(t.counts().pending, 0u);
         }},
        {"start twice", [](PexlinStream& t) {
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(t.take(), 0);
             EXPECT_TRUE(t.imageMatches());
             EXPECT_TRUE(t.counts().enabled);
         }},
        {"close without stop", [](PexlinStream& t) {
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(t.take(), 0);
             EXPECT_EQ(U3V_CloseStream(t.stream_), 0);
             t.stream_ = nullptr;
             EXPECT_FALSE(t.counts().enabled);
             EXPECT_EQ(t.counts().pending, 0u);
         }},
        {"unplug, then stop and close", [](PexlinStream& t) {
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(t.take(), 0);
             t.sim("device.remove cam");
             std::uint64_t a = 0, b = 0;
             EXPECT_NE(U3V_AcquisitionStop(t.stream_, &a, &b), 0); // the disable fails
             EXPECT_FALSE(t.stream_->running());
             EXPECT_EQ(U3V_CloseStream(t.stream_), 0);
             t.stream_ = nullptr;
         }},
        {"second start with a new count and size", [](PexlinStream& t) {
             std::uint64_t a = 0, b = 0;
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             ASSERT_EQ(t.take(), 0);
             ASSERT_EQ(U3V_AcquisitionStop(t.stream_, &a, &b), 0);
             ASSERT_EQ(U3V_SetBufferCount(t.stream_, 2), 0);
             ASSERT_EQ(U3V_SetTransferSize(t.stream_, 0x4000), 0);
             ASSERT_EQ(U3V_AcquisitionStart(t.stream_, 0), 0);
             EXPECT_EQ(t.stream_->ringSize(), 3u);
             EXPECT_EQ(t.stream_->payloadTransferSize, 0x4000u);
             EXPECT_EQ(t.stream_->payloadTransferCount, kSmallPayload / 0x4000);
             ASSERT_EQ(t.take(), 0);
             EXPECT_TRUE(t.imageMatches());
             ASSERT_TRUE(eventually([&t] { return t.stream_->readyCount() == 2; }));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        openStream();
        withinWatchdog([&] { c.run(*this); }, c.name);
        if (stream_) {
            withinWatchdog([this] { EXPECT_EQ(U3V_CloseStream(stream_), 0); }, "close");
        }
        stream_ = nullptr;
        closeCamera();
    }
}

TEST_F(PexlinStream, SettingsAndNullPointers)
{
    openStream();
    EXPECT_EQ(U3V_SetBufferCount(stream_, 0), U3V_STATUS_OUT_OF_RANGE);
    EXPECT_EQ(U3V_SetBufferCount(stream_, 0xFFFFFFFF), U3V_STATUS_OUT_OF_RANGE);
    EXPECT_EQ(U3V_SetTransferSize(stream_, 0), U3V_STATUS_OUT_OF_RANGE);
    std::uint32_t value = 0;
    EXPECT_EQ(U3V_GetBufferCount(stream_, &value), 0);
    EXPECT_EQ(value, 4u);
    EXPECT_EQ(U3V_GetTransferSize(stream_, &value), 0);
    EXPECT_EQ(value, 0x10000u);

    U3V_Stream* other = nullptr;
    std::uint64_t a = 0;
    EXPECT_EQ(U3V_OpenStream(nullptr, control_, &other, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_OpenStream(dev_, nullptr, &other, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_OpenStream(dev_, control_, nullptr, 100), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_CloseStream(nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_AcquisitionStart(nullptr, 0), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_AcquisitionStop(nullptr, &a, &a), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_GetImage(nullptr, nullptr, 0, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_GetBufferCount(nullptr, &value), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_GetBufferCount(stream_, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_SetBufferCount(nullptr, 4), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_GetTransferSize(nullptr, &value), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_GetTransferSize(stream_, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_SetTransferSize(nullptr, 4), U3V_STATUS_NULL_HANDLE);

    // A stop without counter pointers still stops.
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    ASSERT_EQ(take(), 0);
    EXPECT_EQ(U3V_AcquisitionStop(stream_, nullptr, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_FALSE(stream_->running());
    EXPECT_FALSE(counts().enabled);
    EXPECT_EQ(counts().pending, 0u);
}

TEST_F(PexlinStream, OpenFailures)
{
    struct Case { const char* name; const char* device; U3V_STATUS status; const char* line; int level; };
    const Case cases[] = {
        {"no stream interface", "no-stream", U3V_STATUS_NO_STREAM, "No stream interface available.", 1},
        {"SIRM not announced", "no-sirm", U3V_STATUS_NO_STREAM, "No stream interface available.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        sim(std::string("device.add cam ") + c.device);
        openCamera();
        U3V_Stream* stream = nullptr;
        EXPECT_EQ(U3V_OpenStream(dev_, control_, &stream, 100), c.status);
        ASSERT_NE(stream, nullptr); // kept: the host closes it
        EXPECT_TRUE(logged(c.level, c.line));
        EXPECT_EQ(U3V_AcquisitionStart(stream, 0), U3V_STATUS_STREAM_NOT_OPEN);
        EXPECT_EQ(U3V_CloseStream(stream), 0);
        EXPECT_TRUE(logged(4, "Stream interface not open."));
        closeCamera();
    }

    // The interface held by another opening of the camera.
    sim("world.clear");
    openStream();
    SecondOpening second;
    U3V_Stream* stream = nullptr;
    EXPECT_EQ(U3V_OpenStream(second.device, second.channel.get(), &stream, 100),
              U3V_STATUS_CLAIM_STREAM);
    EXPECT_TRUE(logged(4, "Can't open/claiming stream interface."));
    EXPECT_EQ(U3V_CloseStream(stream), 0);
}

TEST_F(PexlinStream, DeviceSizesOutOfRangeAreRefusedAtStart)
{
    struct Case { const char* name; const char* device; std::uint32_t transferSize; };
    const Case cases[] = {
        {"leader of 1 MiB", "leader=0x100000", 0x10000},
        {"trailer of 1 MiB", "trailer=0x100000", 0x10000},
        {"alignment exponent 40", "align=40", 0x10000},
        {"payload beyond 32 bits", "payload=0x100000000", 0x10000},
        {"millions of transfers", "payload=4000000", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        openStream(c.device);
        ASSERT_EQ(U3V_SetTransferSize(stream_, c.transferSize), 0);
        EXPECT_EQ(U3V_AcquisitionStart(stream_, 0), U3V_STATUS_OUT_OF_RANGE);
        EXPECT_FALSE(stream_->running());
        EXPECT_EQ(U3V_GetImage(stream_, nullptr, 0, nullptr), U3V_STATUS_IMAGE_TIMEOUT);
        EXPECT_EQ(U3V_CloseStream(stream_), 0);
        stream_ = nullptr;
        closeCamera();
    }
}

TEST_F(PexlinStream, FailedEnableLeavesNoThread)
{
    openStream();
    // Writes from SI control on at start: the disable, six layout registers,
    // then the enable and its one retry.
    sim("fault cam status 0x8006 on=write after=7 count=2 from="
        + std::to_string(u3vsim::kSirmAddress + 4));
    EXPECT_EQ(U3V_AcquisitionStart(stream_, 0), 0x8006);
    EXPECT_FALSE(stream_->running());
    EXPECT_FALSE(stream_->streaming);
    EXPECT_TRUE(stream_->threadEnded);
    EXPECT_EQ(counts().pending, 0u);
    EXPECT_EQ(U3V_GetImage(stream_, nullptr, 0, nullptr), U3V_STATUS_IMAGE_TIMEOUT);
    // A later start works.
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    ASSERT_EQ(take(), 0);
    EXPECT_TRUE(imageMatches());
}

TEST_F(PexlinStream, UnpluggedDeviceIsNotPolledInALoop)
{
    openStream();
    ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
    ASSERT_EQ(take(), 0);
    auto unplugged = device();
    sim("device.remove cam");
    const std::uint64_t before = unplugged->streamCounts().submissions;
    std::this_thread::sleep_for(500ms);
    // Failed submissions are followed by a pause: a handful, not thousands.
    const std::uint64_t after = unplugged->streamCounts().submissions;
    EXPECT_LT(after - before, 30u);
    EXPECT_GT(after - before, 0u);
    withinWatchdog([this] { U3V_CloseStream(stream_); }, "close after unplug", 5s);
    stream_ = nullptr;
}

TEST_F(PexlinStream, CloseIsPromptWhateverTheTimeOut)
{
    for (std::uint32_t timeout : {0u, 1u, 60000u}) {
        SCOPED_TRACE(timeout);
        sim("world.clear");
        // The device sends nothing but leaders: every payload reap waits.
        openStream(std::string(kSmall) + " fps=1000", timeout);
        sim("fault cam stall 100000");
        ASSERT_EQ(U3V_AcquisitionStart(stream_, 0), 0);
        std::this_thread::sleep_for(50ms);
        withinWatchdog([this] { EXPECT_EQ(U3V_CloseStream(stream_), 0); }, "close", 5s);
        stream_ = nullptr;
        closeCamera();
    }
}
