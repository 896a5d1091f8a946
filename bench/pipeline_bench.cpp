// Live streaming through the acquisition engine from the simulated camera
// running as fast as it can: images the camera delivered, images the
// producer took, images that reached imageReady (the display is paced to
// about 60 a second by design), and images the camera lost for want of a
// queued buffer. "Time per frame" is the engine's own work on one image:
// the display conversion and its copy.

#include "TestHome.h"
#include <benchmark/benchmark.h>

#include "SimSdk.h"
#include "ZelAcqBuffer.h"
#include "ZelAcqEngine.h"
#include "ZelAcqThreadConsumer.h"
#include "ZelAcqThreadProducer.h"
#include "ZelStartup.h"
#include "ZelUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <memory>
#include <string>

namespace {

struct Case {
    const char* device;
    uint32_t format;
};

SimSdk* sdk()
{
    static SimSdk* instance = [] {
        static QTemporaryDir home;
        useTestHome(home.path());
        static int argc = 1;
        static char name[] = "pipeline_bench";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        ZelStartup::registerMetaTypes();
        return new SimSdk();
    }();
    return instance;
}

SimCameraHandles camera(const char* device)
{
    static std::map<std::string, SimCameraHandles> opened;
    auto it = opened.find(device);
    if (it == opened.end())
        it = opened.emplace(device, sdk()->open("orv_gev_tl.cti", "gev-if-0", device)).first;
    return it->second;
}

bool configure(const SimCameraHandles& cam, const char* device, int width, int height, uint32_t format)
{
    const std::string id = device;
    sdk()->control.run("feature.range remote:" + id + " Width 16 " + std::to_string(width) + " 16");
    sdk()->control.run("feature.range remote:" + id + " Height 16 " + std::to_string(height) + " 2");
    sdk()->control.run("stream.fps " + id + " 100000");
    return ZelUtil::SetFeatureValue(cam.remote, "PixelFormat", QVariant(qint64(format)), false) &&
           ZelUtil::SetFeatureValue(cam.remote, "Width", QVariant(qint64(width)), false) &&
           ZelUtil::SetFeatureValue(cam.remote, "Height", QVariant(qint64(height)), false);
}

// The case's camera in *cam, set to the size the benchmark names; the
// benchmark is skipped when the camera is not available.
bool prepare(benchmark::State& state, const Case& c, SimCameraHandles* cam)
{
    *cam = camera(c.device);
    if (!cam->stream || !configure(*cam, c.device, int(state.range(0)), int(state.range(1)), c.format)) {
        state.SkipWithError("camera not available");
        return false;
    }
    return true;
}

ORV_DS_INFO info(ORV_STREAM_HANDLE stream)
{
    ORV_DS_INFO ds{};
    OrvStreamGetInfo(stream, &ds);
    return ds;
}

void BM_Live(benchmark::State& state, Case c)
{
    SimCameraHandles cam;
    if (!prepare(state, c, &cam))
        return;
    ZelAcqEngine engine(cam.remote, cam.stream);
    std::atomic<quint64> produced{0};
    quint64 shown = 0;
    QObject::connect(engine.Producer(), &ZelAcqThreadProducer::imageProduced, [&] { ++produced; });
    QObject::connect(engine.Consumer(), &ZelAcqThreadConsumer::imageReady, [&](ZelAcqBufferPtr b) { shown += b ? 1 : 0; });
    if (!engine.Start(~quint64(0))) {
        state.SkipWithError("start failed");
        return;
    }
    engine.ExecuteAcquisitionCommand(true);
    QDeadlineTimer warmUp(200);
    while (!warmUp.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    const ORV_DS_INFO before = info(cam.stream);
    const quint64 producedBefore = produced, shownBefore = shown;
    double seconds = 0;
    for (auto _ : state) {
        QDeadlineTimer window(1000);
        while (!window.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        seconds += 1.0;
    }
    const ORV_DS_INFO after = info(cam.stream);
    engine.Stop();
    state.counters["delivered_fps"] = double(after.deliveredFrameCount - before.deliveredFrameCount) / seconds;
    state.counters["taken_fps"] = double(produced - producedBefore) / seconds;
    state.counters["imageReady_fps"] = double(shown - shownBefore) / seconds;
    state.counters["no_buffer_lost"] = double(after.lostFrameCount - before.lostFrameCount);
}

// The engine's own work on one image: conversion into a display buffer.
void BM_Convert(benchmark::State& state, Case c)
{
    SimCameraHandles cam;
    if (!prepare(state, c, &cam))
        return;
    ZelAcqEngine engine(cam.remote, cam.stream);
    ZelAcqBufferPtr image = nullptr;
    QObject::connect(engine.Consumer(), &ZelAcqThreadConsumer::imageReady, [&](ZelAcqBufferPtr b) { image = b; });
    sdk()->control.run(std::string("stream.manual ") + c.device + " on");
    engine.Start(~quint64(0));
    engine.ExecuteAcquisitionCommand(true);
    sdk()->control.run(std::string("stream.frame ") + c.device + " 1");
    QDeadlineTimer limit(10000);
    while (!image && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!image) {
        engine.Stop();
        sdk()->control.run(std::string("stream.manual ") + c.device + " off");
        state.SkipWithError("no image");
        return;
    }
    const ORV_BUFFER_INFO frame = image->GetInfo();
    ZelAcqBuffer display(frame.width, frame.height, uint32_t(frame.pixelType), uint32_t(frame.pixelType >> 32));
    for (auto _ : state)
        benchmark::DoNotOptimize(ZelAcqThreadConsumer::Convert(frame, &display));
    engine.Stop();
    sdk()->control.run(std::string("stream.manual ") + c.device + " off");
    state.SetBytesProcessed(int64_t(state.iterations()) * frame.size);
}

const Case mono8{"GEV-G1-0001", 0x01080001};
const Case mono12{"GEV-G1-0001", 0x01100005};
const Case bayerRG8{"GEV-G2-0002", 0x01080009};

void sizes(benchmark::internal::Benchmark* b)
{
    b->Args({640, 480})->Args({2448, 2048})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK_CAPTURE(BM_Live, Mono8, mono8)->Apply(sizes)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(BM_Live, Mono12, mono12)->Apply(sizes)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(BM_Live, BayerRG8, bayerRG8)->Apply(sizes)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert, Mono8, mono8)->Apply(sizes);
BENCHMARK_CAPTURE(BM_Convert, Mono12, mono12)->Apply(sizes);
BENCHMARK_CAPTURE(BM_Convert, BayerRG8, bayerRG8)->Apply(sizes);

BENCHMARK_MAIN();
