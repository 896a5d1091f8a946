#include "AcqTestRig.h"

#include "ZelAcqBufferManager.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

const std::string G1 = "GEV-G1-0001"; // mono, "StreamLostFrameCount" only
const std::string G2 = "GEV-G2-0002"; // colour, "FrameLoss" readable

class ZelAcqEngineTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareAcqTestProcess("core_ZelAcqEngine_test"); }
};

std::string traces(AcqRig& rig)
{
    return rig.control("log.trace.get");
}

} // namespace

TEST_F(ZelAcqEngineTest, LiveImagesReachTheGuiAndStopEndsThem)
{
    AcqRig rig(G1);
    rig.smallImages();
    rig.stream("fps", "400");
    ASSERT_TRUE(rig.start());
    EXPECT_FALSE(rig.engine->Start(~quint64(0))) << "a second start must be refused";
    // The camera runs faster than the display, however slow the machine.
    ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() >= 20 && rig.record.produced > rig.record.realImages() + 1; },
                          60000));
    rig.engine->Stop();
    EXPECT_FALSE(rig.engine->IsStarted());
    EXPECT_EQ(rig.info().acquisitionRunning, 0);

    const int shown = rig.record.images.size();
    spinFor(100);
    EXPECT_EQ(rig.record.images.size(), shown) << "no image may arrive after Stop returned";
    for (int error : rig.record.errors) // a slow machine's time-out is no fault
        EXPECT_EQ(error, ORV_ERROR_TIMEOUT);
    EXPECT_FALSE(rig.record.displayReused);
    EXPECT_EQ(rig.record.nullImages, 0);
    // Image IDs only grow.
    for (int i = 1; i < rig.record.imageIds.size(); ++i)
        EXPECT_LT(rig.record.imageIds[i - 1], rig.record.imageIds[i]);
    // The camera ran faster than the display: surplus images went back to the
    // stream rather than piling up.
    EXPECT_GT(rig.record.produced, shown);
}

TEST_F(ZelAcqEngineTest, ManyStartStopCyclesAtFullSpeed)
{
    AcqRig rig(G1);
    rig.smallImages();
    rig.stream("fps", "2000");
    for (int cycle = 0; cycle < 25; ++cycle) {
        SCOPED_TRACE(cycle);
        const int before = rig.record.realImages();
        ASSERT_TRUE(rig.start());
        // Every other cycle stops before anything was shown.
        if (cycle % 2 == 0) {
            ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() >= before + 2; }));
        }
        rig.engine->Stop();
        EXPECT_FALSE(rig.engine->Producer()->isRunning());
        EXPECT_FALSE(rig.engine->Consumer()->isRunning());
    }
    // A wait that ran out on a slow machine is no fault; nothing else may come.
    for (int error : rig.record.errors)
        EXPECT_EQ(error, ORV_ERROR_TIMEOUT);
    EXPECT_FALSE(rig.record.displayReused);
}

TEST_F(ZelAcqEngineTest, ASlowGuiGetsOneImageAtATime)
{
    AcqRig rig(G1);
    rig.smallImages();
    rig.stream("fps", "1000");
    ASSERT_TRUE(rig.start());
    // The GUI does not look at its events while the camera delivers a good
    // many images: at most one waits for it, the rest go back to the stream.
    QDeadlineTimer deadline(60000);
    while (rig.info().deliveredFrameCount <= 10 && !deadline.hasExpired())
        QThread::msleep(10);
    ASSERT_GT(rig.info().deliveredFrameCount, 10u);
    int delivered = 0;
    QObject::connect(rig.engine->Consumer(), &ZelAcqThreadConsumer::imageReady, [&] { ++delivered; });
    QCoreApplication::sendPostedEvents();
    EXPECT_LE(delivered, 1);
    ASSERT_TRUE(spinUntil([&] { return delivered >= 3; }));
    rig.engine->Stop();
}

TEST_F(ZelAcqEngineTest, LostImagesAreReportedWithTheirIds)
{
    AcqRig rig(G1);
    rig.control("log.trace on");
    rig.control("log.trace.clear");
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.frames(2, 2)); // IDs 1 and 2
    EXPECT_TRUE(rig.record.lost.isEmpty()) << "the first image of a run reports no loss";

    rig.stream("drop", "2");
    ASSERT_TRUE(rig.frames(3, 3)); // 3 and 4 lost, 5 arrives
    ASSERT_TRUE(spinUntil([&] { return rig.record.lost.size() == 1; }));
    EXPECT_EQ(rig.record.lost.last(), "2");
    EXPECT_NE(traces(rig).find("ZelAcqThreadProducer::run Image lost! FrameID:(3 - 4)"), std::string::npos);

    rig.stream("drop", "1");
    ASSERT_TRUE(rig.frames(2, 4)); // 6 lost, 7 arrives
    ASSERT_TRUE(spinUntil([&] { return rig.record.lost.size() == 2; }));
    EXPECT_EQ(rig.record.lost.last(), "3");
    EXPECT_NE(traces(rig).find("ZelAcqThreadProducer::run Image lost! FrameID:6"), std::string::npos);

    // Restarted numbering is no loss.
    rig.stream("nextid", "2");
    ASSERT_TRUE(rig.frames(1, 5));
    spinFor(50);
    EXPECT_EQ(rig.record.lost.size(), 2);

    // Images the SDK discarded for want of a queued buffer are not counted:
    // with the producer paused the stream's buffers fill up.
    rig.engine->Pause();
    ASSERT_TRUE(rig.frames(1, 6));
    // Only the image on show stays out of the stream once the consumer has
    // handed the one before back; a slow consumer must not change the count.
    ASSERT_TRUE(spinUntil([&] { return rig.info().queuedBuffers == uint32_t(ZelAcqEngine::BufferCount - 1); }));
    rig.stream("frame", std::to_string(ZelAcqEngine::BufferCount - 1 + 3));
    ASSERT_TRUE(spinUntil([&] { return rig.info().lostFrameCount == 3; }));
    rig.engine->Continue();
    ASSERT_TRUE(spinUntil([&] { return rig.info().awaitingDelivery == 0; }));
    ASSERT_TRUE(rig.frames(1, 6 + ZelAcqEngine::BufferCount));
    ASSERT_TRUE(spinUntil([&] { return rig.record.lost.size() == 3; }));
    EXPECT_EQ(rig.record.lost.last(), "3");
    // IDs since the restart: 2, 3 (paused), 4 to 7 (buffered), 8 to 10
    // (no buffer), 11.
    EXPECT_NE(traces(rig).find("ZelAcqThreadProducer::run Image lost! FrameID:(8 - 10)"), std::string::npos);
    rig.engine->Stop();
    rig.control("log.trace off");
}

TEST_F(ZelAcqEngineTest, FrameLossFeatureGivesTheReportedCount)
{
    AcqRig rig(G2);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.frames(1, 1));
    rig.stream("drop", "3");
    ASSERT_TRUE(rig.frames(4, 2));
    ASSERT_TRUE(spinUntil([&] { return rig.record.lost.size() == 1; }));
    EXPECT_EQ(rig.record.lost.last(), "3");
    rig.engine->Stop();
}

TEST_F(ZelAcqEngineTest, UnsupportedAndIncompleteImagesDoNotStarveTheStream)
{
    AcqRig rig(G1);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.frames(1, 1));
    ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == 1; }));

    // Far more bad images than the stream has buffers.
    const int bad = 3 * ZelAcqEngine::BufferCount;
    rig.stream("pixeltype", "raw 0x104");
    for (int i = 0; i < bad; ++i)
        ASSERT_TRUE(rig.frames(1, uint64_t(2 + i)));
    ASSERT_TRUE(spinUntil([&] { return rig.record.nullImages >= 1; }));
    rig.stream("pixeltype", "sdk");
    rig.stream("incomplete", std::to_string(bad));
    for (int i = 0; i < bad; ++i)
        ASSERT_TRUE(rig.frames(1, uint64_t(2 + bad + i)));

    // Every buffer is back: only the image shown stays out of the stream.
    ASSERT_TRUE(spinUntil([&] { return rig.info().queuedBuffers == uint32_t(ZelAcqEngine::BufferCount - 1); }));
    EXPECT_EQ(rig.info().lostFrameCount, 0u);
    EXPECT_EQ(rig.record.realImages(), 1);

    ASSERT_TRUE(rig.frames(1, uint64_t(2 + 2 * bad)));
    ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == 2; }));
    rig.engine->Stop();
}

TEST_F(ZelAcqEngineTest, AStalledCameraReportsTimeOuts)
{
    AcqRig rig(G1);
    rig.stream("stall", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(spinUntil([&] { return rig.record.errors.size() >= 2; }, 5000));
    for (int error : rig.record.errors)
        EXPECT_EQ(error, ORV_ERROR_TIMEOUT);
    rig.engine->Stop();
    const int errors = rig.record.errors.size();
    spinFor(50);
    EXPECT_EQ(rig.record.errors.size(), errors) << "a stop is no acquisition error";
}

TEST_F(ZelAcqEngineTest, AWaitThatFailsAtOnceIsNotRetriedInATightLoop)
{
    AcqRig rig(G1);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    // An unplugged camera's stream refuses every wait at once.
    rig.control("device.unplug G1");
    rig.control("log.calls.clear");
    rig.control("log.calls on");
    QElapsedTimer watched;
    watched.start();
    const auto waits = [&] {
        return QString::fromStdString(rig.control("log.calls.get")).count(QStringLiteral("OrvStreamWaitForNewBuffer("));
    };
    ASSERT_TRUE(spinUntil([&] { return waits() >= 3; })) << "the producer keeps waiting";
    // Failed waits are at least 20 ms apart; a spinning producer would have
    // made thousands of calls by now.
    const int seen = waits();
    EXPECT_LE(seen, watched.elapsed() / 20 + 2) << "a failing wait must not spin";
    rig.control("log.calls off");
    ASSERT_TRUE(spinUntil([&] { return rig.record.errors.contains(ORV_ERROR_LIBRARY_MISSING); }));
    // A wait that ran out before the unplug on a slow machine is no fault.
    for (int error : rig.record.errors)
        EXPECT_TRUE(error == ORV_ERROR_LIBRARY_MISSING || error == ORV_ERROR_TIMEOUT) << error;

    // The pause between failed waits does not delay a stop.
    QElapsedTimer clock;
    clock.start();
    rig.engine->Stop();
    EXPECT_LT(clock.elapsed(), 900);
    rig.control("device.replug G1");
}

TEST_F(ZelAcqEngineTest, StopReleasesAPausedSnap)
{
    AcqRig rig(G1);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    rig.engine->Pause();
    ASSERT_TRUE(rig.frames(1, 1));
    ASSERT_TRUE(spinUntil([&] { return rig.record.produced == 1; }));
    // Paused: a second image waits in the stream.
    rig.stream("frame", "1");
    spinFor(100);
    EXPECT_EQ(rig.record.produced, 1);
    rig.engine->Continue();
    ASSERT_TRUE(spinUntil([&] { return rig.record.produced == 2; }));
    rig.engine->Pause();
    ASSERT_TRUE(rig.frames(1, 3));
    rig.engine->Stop();
    EXPECT_FALSE(rig.engine->Producer()->isRunning());
}

TEST_F(ZelAcqEngineTest, APauseAskedForAfterTheStopRequestDoesNotHangStop)
{
    AcqRig rig(G1);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    // As a snap does: a direct receiver of imageProduced asks for the pause.
    // This one asks only once the stop has reached the SDK, so the stop
    // request came first.
    std::atomic<bool> produced{false};
    ZelAcqEngine* engine = rig.engine.get();
    const ORV_STREAM_HANDLE stream = rig.camera.stream;
    const QMetaObject::Connection pauser = QObject::connect(
        engine->Producer(), &ZelAcqThreadProducer::imageProduced, engine->Producer(),
        [&produced, engine, stream] {
            produced = true;
            QDeadlineTimer deadline(5000);
            for (;;) {
                ORV_DS_INFO ds{};
                if ((OrvStreamGetInfo(stream, &ds) == ORV_SUCCESS && !ds.acquisitionRunning) || deadline.hasExpired())
                    break;
                QThread::msleep(2);
            }
            engine->Pause();
        },
        Qt::DirectConnection);
    rig.stream("frame", "1");
    ASSERT_TRUE(spinUntil([&] { return produced.load(); }));
    // The record counts through a queued connection: let it see that image
    // now, not in the middle of the next run's count.
    ASSERT_TRUE(spinUntil([&] { return rig.record.produced == 1; }));

    // Releases a producer that would otherwise never end, so the test ends.
    std::atomic<bool> stopped{false};
    std::atomic<bool> rescued{false};
    std::thread watchdog([&] {
        QDeadlineTimer deadline(20000);
        while (!stopped && !deadline.hasExpired())
            QThread::msleep(5);
        if (!stopped) {
            rescued = true;
            engine->Continue();
        }
    });
    rig.engine->Stop();
    stopped = true;
    watchdog.join();
    EXPECT_FALSE(rescued) << "Stop waited for a producer paused after the stop request";
    EXPECT_FALSE(rig.engine->Producer()->isRunning());

    // The late pause request does not outlive the run: the next one streams.
    QObject::disconnect(pauser);
    ASSERT_TRUE(rig.start());
    const int before = rig.record.produced;
    ASSERT_TRUE(rig.frames(2, 2));
    EXPECT_TRUE(spinUntil([&] { return rig.record.produced == before + 2; }, 30000));
    rig.engine->Stop();
}

TEST_F(ZelAcqEngineTest, StartFailures)
{
    AcqRig rig(G1);
    auto locked = [&](ORV_MODULE_HANDLE module) {
        QVariant value;
        EXPECT_TRUE(ZelUtil::GetFeatureValue(module, "TLParamsLocked", value, false, false));
        return value.toLongLong();
    };

    // No payload size anywhere.
    rig.stream("dsinfo", "zero");
    rig.stream("payload", "remote 0");
    rig.stream("payload", "stream 0");
    EXPECT_FALSE(rig.engine->Start(~quint64(0)));
    EXPECT_EQ(locked(rig.camera.remote), 0);
    EXPECT_EQ(locked(rig.camera.stream), 0);
    rig.stream("dsinfo", "normal");
    rig.stream("payload", "remote clear");
    rig.stream("payload", "stream clear");

    // The third buffer is refused: nothing stays announced.
    rig.stream("announce.fail", "3 -1006");
    EXPECT_FALSE(rig.engine->Start(~quint64(0)));
    EXPECT_EQ(rig.engine->BufferManager()->BufferCount(), 0);
    EXPECT_EQ(rig.info().announcedBuffers, 0u);

    // No buffer could be queued.
    rig.control("call.fail OrvStreamQueueBuffer -1006 count=5");
    EXPECT_FALSE(rig.engine->Start(~quint64(0)));
    EXPECT_FALSE(rig.engine->IsStarted());
    EXPECT_FALSE(rig.engine->Consumer()->isRunning());
    rig.control("fault.clear");

    // The SDK refuses to start: the threads end again.
    rig.control("call.fail OrvStreamAcquisitionStart -1014");
    EXPECT_FALSE(rig.engine->Start(~quint64(0)));
    EXPECT_FALSE(rig.engine->Producer()->isRunning());
    EXPECT_FALSE(rig.engine->Consumer()->isRunning());
    EXPECT_EQ(locked(rig.camera.remote), 0);

    // And then it starts.
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(locked(rig.camera.remote), 1);
    EXPECT_EQ(rig.info().queuedBuffers, uint32_t(ZelAcqEngine::BufferCount));
    ASSERT_TRUE(rig.frames(1, 1));
    ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == 1; }));
    rig.engine->Stop();
    EXPECT_EQ(locked(rig.camera.remote), 0);
}

TEST_F(ZelAcqEngineTest, OneImageGivesNoRate)
{
    AcqRig rig(G1);
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.frames(1, 1));
    ASSERT_TRUE(spinUntil([&] { return rig.record.produced == 1; }));
    spinFor(ZelAcqThreadProducer::RateReportIntervalMs + 50);
    EXPECT_TRUE(rig.record.frameRates.isEmpty()) << "the time of one wait is no frame rate";
    EXPECT_TRUE(rig.record.dataRates.isEmpty());
    ASSERT_TRUE(rig.frames(1, 2));
    ASSERT_TRUE(spinUntil([&] { return !rig.record.frameRates.isEmpty() && !rig.record.dataRates.isEmpty(); }));
    rig.engine->Stop();
}

TEST_F(ZelAcqEngineTest, RatesAreReportedAFewTimesASecond)
{
    AcqRig rig(G1);
    rig.smallImages();
    rig.stream("fps", "1000");
    ASSERT_TRUE(rig.start());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(spinUntil([&] { return rig.info().deliveredFrameCount >= 300 && rig.record.frameRates.size() >= 2; },
                          60000));
    rig.engine->Stop();
    spinFor(20);
    // At most one report per interval, whatever the image rate.
    const qint64 intervals = clock.elapsed() / ZelAcqThreadProducer::RateReportIntervalMs + 1;
    EXPECT_LE(rig.record.frameRates.size(), intervals);
    EXPECT_EQ(rig.record.frameRates.size(), rig.record.dataRates.size());
    bool ok = false;
    EXPECT_GT(rig.record.frameRates.last().toDouble(&ok), 0.0);
    EXPECT_TRUE(ok);
    EXPECT_GT(rig.record.dataRates.last().toDouble(&ok), 0.0);
    EXPECT_TRUE(ok);
}

namespace {

// Whether every page of a block is backed by memory.
bool resident(const void* data, size_t size)
{
    if (!data || size == 0)
        return false;
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = uintptr_t(data) & ~(page - 1);
    const size_t length = uintptr_t(data) + size - first;
    std::vector<unsigned char> pages((length + page - 1) / page);
    if (mincore(reinterpret_cast<void*>(first), length, pages.data()) != 0)
        return false;
    return std::all_of(pages.begin(), pages.end(), [](unsigned char p) { return (p & 1) != 0; });
}

struct PreparedCase {
    const char* name;
    uint32_t format;
    uint32_t bytesPerPixel; // of the displayed image
    uint32_t secondBytesPerPixel;
};

void PrintTo(const PreparedCase& c, std::ostream* out)
{
    *out << c.name;
}

class ZelAcqEnginePreparedTest : public ::testing::TestWithParam<PreparedCase>
{
protected:
    static void SetUpTestSuite() { prepareAcqTestProcess("core_ZelAcqEngine_test"); }
};

} // namespace

TEST_P(ZelAcqEnginePreparedTest, DisplayBuffersAreReadyBeforeTheFirstImage)
{
    const PreparedCase c = GetParam();
    AcqRig rig(c.format == 0x01080001 || c.format == 0x01100005 ? G1 : G2);
    ASSERT_TRUE(rig.setRemote("PixelFormat", c.format));
    ASSERT_TRUE(rig.setRemote("Width", 640));
    ASSERT_TRUE(rig.setRemote("Height", 480));
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());

    ZelAcqThreadConsumer* consumer = rig.engine->Consumer();
    ZelAcqBuffer* prepared[2] = {consumer->DisplayBuffer(0), consumer->DisplayBuffer(1)};
    for (ZelAcqBuffer* display : prepared) {
        ASSERT_NE(display, nullptr) << "no display buffer before the first image";
        const ORV_BUFFER_INFO info = display->GetInfo();
        EXPECT_EQ(info.width, 640u);
        EXPECT_EQ(info.height, 480u);
        EXPECT_EQ(info.pixelType, c.format);
        EXPECT_EQ(info.size, 640u * 480u * c.bytesPerPixel);
        EXPECT_EQ(display->SecondBlockSize(), 640u * 480u * c.secondBytesPerPixel);
        EXPECT_TRUE(resident(info.pixels, info.size)) << "the converted image's pages are not backed yet";
        EXPECT_TRUE(resident(info.secondBlock, display->SecondBlockSize()));
    }

    // The images use the prepared buffers: none is made anew. One frame at a
    // time, since the consumer shows only the newest of frames that come
    // within one display period.
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(rig.frames(1, uint64_t(n)));
        ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == n; }));
    }
    for (ZelAcqBufferPtr image : rig.record.images) {
        ZelAcqBuffer* display = image->GetDisplayBuffer();
        EXPECT_TRUE(display == prepared[0] || display == prepared[1]);
    }
    EXPECT_EQ(consumer->DisplayBuffer(0), prepared[0]);
    EXPECT_EQ(consumer->DisplayBuffer(1), prepared[1]);
    rig.engine->Stop();
}

INSTANTIATE_TEST_SUITE_P(Formats, ZelAcqEnginePreparedTest,
                         ::testing::Values(PreparedCase{"Mono8", 0x01080001, 1, 1},
                                           PreparedCase{"Mono12", 0x01100005, 1, 2},
                                           PreparedCase{"BayerRG8", 0x01080009, 4, 4}),
                         [](const ::testing::TestParamInfo<PreparedCase>& info) { return info.param.name; });

// A start with another image size keeps the buffer of the image the GUI
// still shows until the run's first image has been handed over.
TEST_F(ZelAcqEngineTest, ANewSizeKeepsTheShownBufferUntilTheFirstImage)
{
    AcqRig rig(G1);
    rig.smallImages();
    rig.stream("manual", "on");
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.frames(1, 1));
    ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == 1; }));
    rig.engine->Stop();
    ZelAcqBuffer* shown = rig.record.shownDisplay;
    ASSERT_NE(shown, nullptr);
    const ORV_BUFFER_INFO before = shown->GetInfo();

    ASSERT_TRUE(rig.setRemote("Width", 640));
    ASSERT_TRUE(rig.setRemote("Height", 480));
    ASSERT_TRUE(rig.start());
    ZelAcqThreadConsumer* consumer = rig.engine->Consumer();
    const int held = consumer->DisplayBuffer(0) == shown ? 0 : 1;
    ASSERT_EQ(consumer->DisplayBuffer(held), shown) << "the shown buffer went before a new image came";
    EXPECT_EQ(shown->GetInfo().pixels, before.pixels);
    ASSERT_NE(consumer->DisplayBuffer(1 - held), nullptr) << "no buffer for the new size before its first image";
    EXPECT_EQ(consumer->DisplayBuffer(1 - held)->GetInfo().width, 640u);

    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(rig.frames(1, uint64_t(n)));
        ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == 1 + n; }));
    }
    for (int index = 0; index < 2; ++index) {
        const ORV_BUFFER_INFO info = consumer->DisplayBuffer(index)->GetInfo();
        EXPECT_EQ(info.width, 640u);
        EXPECT_EQ(info.height, 480u);
    }
    EXPECT_FALSE(rig.record.displayReused);
    rig.engine->Stop();
}
