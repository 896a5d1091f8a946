// A camera window streams from the simulated camera for one second per
// iteration (offscreen), after a first second that holds the start. Each
// case gives the camera a sensor of exactly the size it names. Counters:
// frames the camera delivered, frames the window showed, and their ratio,
// once streaming runs, and the ratio in the first second on its own; frames
// the window cannot show are dropped by the pipeline, never queued.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindow.h"
#include "ZelFeatureManager.h"
#include "ZelPropertyWidget.h"

namespace {

struct Rig {
    Rig()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "camerawindow_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        sdk = std::make_unique<zeltest::SimWorldSdk>();
    }
    ZelCamera* open(const QString& deviceId)
    {
        manager = std::make_shared<ZelCameraManager>(zeltest::SimWorldSdk::systemIndex("orv_gev_tl.cti"));
        return zeltest::openCamera(*manager, deviceId, ORV_ACCESS_MODE_CONTROL, &key);
    }
    std::unique_ptr<QApplication> app;
    std::unique_ptr<zeltest::SimWorldSdk> sdk;
    std::shared_ptr<ZelCameraManager> manager;
    QString key;
};

// Lives until the process ends: the SDK must not be unloaded under Qt's own
// teardown.
Rig& rig()
{
    static Rig* shared = new Rig;
    return *shared;
}

void BM_CameraWindowLive(benchmark::State& state, const char* deviceId, const char* format, int width, int height,
                         bool histogram = false)
{
    Rig& r = rig();
    const QString id = QString::fromLatin1(deviceId);
    auto run = [&](const QString& command) { return r.sdk->control.run(command.toStdString()); };
    // The camera's sensor is the size of the case: its profile, resized.
    QTemporaryDir folder;
    QFile world(folder.filePath(QStringLiteral("world.json")));
    const QString profile = id.section(QLatin1Char('-'), 1, 1);
    if (!world.open(QIODevice::WriteOnly) ||
        world.write(QStringLiteral("{\"builtIn\": true, \"cameras\": [{\"profile\": \"%1\", \"id\": \"%2\", "
                                   "\"width\": %3, \"height\": %4}]}")
                        .arg(profile, id)
                        .arg(width)
                        .arg(height)
                        .toUtf8()) < 0) {
        state.SkipWithError("world file not written");
        return;
    }
    world.close();
    if (run("world.reset") != 0 || run(QStringLiteral("world.load \"%1\"").arg(world.fileName())) != 0) {
        state.SkipWithError("world file refused");
        return;
    }
    ZelCamera* camera = r.open(id);
    if (!camera || !camera->dataStream) {
        state.SkipWithError("camera does not open");
        return;
    }
    ZelFeatureManager* remote = camera->remoteDeviceFeatures;
    if (!remote->SetValueEnum("PixelFormat", format) || !remote->SetValue("Width", QVariant(qint64(width))) ||
        !remote->SetValue("Height", QVariant(qint64(height)))) {
        r.manager->CloseCamera(r.key);
        state.SkipWithError("format or size refused");
        return;
    }
    remote->SetValue("AcquisitionFrameRate", QVariant(60.0));
    run(QStringLiteral("stream.fps %1 60").arg(id));

    auto* window = new ZelCameraWindow(camera, ORV_ACCESS_MODE_CONTROL);
    window->resize(1600, 1000);
    window->show();
    // The pixel histogram counts every displayed image beside the view.
    if (histogram)
        window->onShowPixelHistogramWidget();
    quint64 shown = 0;
    quint64 firstId = 0;
    quint64 lastId = 0;
    bool sizeMatches = true;
    QObject::connect(camera->dataStream, &ZelCameraDataStream::imageReady, window, [&](ZelAcqBufferPtr buffer) {
        if (!buffer)
            return;
        ++shown;
        const ORV_BUFFER_INFO info = buffer->GetInfo();
        sizeMatches = sizeMatches && int(info.width) == width && int(info.height) == height;
        lastId = info.imageId;
        if (firstId == 0)
            firstId = lastId;
    });
    emit window->propertyWidget()->startButtonClicked();

    // Frames shown and delivered while events are processed for `ms`.
    auto stream = [&](qint64 ms) {
        shown = 0;
        firstId = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return std::make_pair(shown, lastId >= firstId && firstId ? lastId - firstId + 1 : 0);
    };
    // The first second holds the start: buffers allocated and first touched
    // by the window and the simulated camera. It is reported on its own.
    const auto [startShown, startDelivered] = stream(1000);
    quint64 totalShown = 0;
    quint64 totalDelivered = 0;
    for (auto _ : state) {
        const auto [shownNow, deliveredNow] = stream(1000);
        totalShown += shownNow;
        totalDelivered += deliveredNow;
    }
    emit window->propertyWidget()->stopButtonClicked();
    delete window;
    r.manager->CloseCamera(r.key);
    if (!sizeMatches || totalShown == 0) {
        state.SkipWithError(totalShown == 0 ? "no image shown" : "images of another size");
        return;
    }
    state.counters["shown_fps"] = benchmark::Counter(double(totalShown) / double(state.iterations()));
    state.counters["delivered_fps"] = benchmark::Counter(double(totalDelivered) / double(state.iterations()));
    state.counters["shown_ratio"] = totalDelivered ? double(totalShown) / double(totalDelivered) : 0.0;
    state.counters["start_shown_ratio"] = startDelivered ? double(startShown) / double(startDelivered) : 0.0;
}

BENCHMARK_CAPTURE(BM_CameraWindowLive, mono_640x480, "GEV-G1-0001", "Mono8", 640, 480)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CameraWindowLive, mono_2448x2048, "GEV-G1-0001", "Mono8", 2448, 2048)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CameraWindowLive, bayer_640x480, "GEV-G2-0002", "BayerRG8", 640, 480)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CameraWindowLive, bayer_2448x2048, "GEV-G2-0002", "BayerRG8", 2448, 2048)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CameraWindowLive, mono_2448x2048_histogram, "GEV-G1-0001", "Mono8", 2448, 2048, true)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CameraWindowLive, bayer_2448x2048_histogram, "GEV-G2-0002", "BayerRG8", 2448, 2048, true)
    ->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
