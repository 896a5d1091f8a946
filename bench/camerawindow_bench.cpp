// A camera window streams from the simulated camera for one second per
// iteration (offscreen), after a first second that holds the start. Each
// case gives the camera a sensor of exactly the size it names. The GUI
// thread sits in its event loop, as the viewer's does. Counters:
//   delivered_fps      images the stream filled, from its own delivered
//                      count, per second once streaming runs;
//   lost               images the camera made while the stream had no free
//                      buffer, from the stream's own lost count;
//   handed_fps         images handed to the camera window;
//   shown_fps          images the image view painted: each image handed to
//                      the view counts once, at its first paint;
//   shown_ratio        shown over delivered;
//   start_shown_ratio  the same in the stream's first second, counted from
//                      the start, and start_delivered the images delivered
//                      in it.
// Frames the window cannot show are dropped by the pipeline, never queued.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindow.h"
#include "ZelFeatureManager.h"
#include "ZelImageViewRendererPainter.h"
#include "ZelImageViewWidget.h"
#include "ZelPropertyWidget.h"
#include "ZelSdkLoader.h"

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

// Counts the images the renderer paints: an image handed to the view counts
// once, at the first paint that follows, when the renderer holds an image.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(ZelImageViewRenderer* renderer) : m_renderer(renderer)
    {
        renderer->installEventFilter(this);
    }
    ~PaintCounter() override
    {
        if (m_renderer)
            m_renderer->removeEventFilter(this);
    }
    void handedOver()
    {
        m_fresh = true;
        ++m_handed;
    }
    quint64 painted() const { return m_painted; }
    quint64 handed() const { return m_handed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_renderer && event->type() == QEvent::Paint && m_fresh && m_renderer->hasImage()) {
            m_fresh = false;
            ++m_painted;
        }
        return false;
    }

private:
    QPointer<ZelImageViewRenderer> m_renderer;
    bool m_fresh = false;
    quint64 m_painted = 0;
    quint64 m_handed = 0;
};

// The stream's own counts of images delivered and lost.
struct StreamCounts {
    quint64 delivered = 0;
    quint64 lost = 0;
};

StreamCounts streamCounts(ORV_STREAM_HANDLE stream)
{
    ORV_DS_INFO info{};
    if (OrvStreamGetInfo(stream, &info) != ORV_SUCCESS)
        return {};
    return {info.deliveredFrameCount, info.lostFrameCount};
}

struct Tally {
    quint64 handed = 0;
    quint64 shown = 0;
    quint64 delivered = 0;
    quint64 lost = 0;
    Tally& operator+=(const Tally& o)
    {
        handed += o.handed;
        shown += o.shown;
        delivered += o.delivered;
        lost += o.lost;
        return *this;
    }
    double ratio() const { return delivered ? double(shown) / double(delivered) : 0.0; }
};

// Images painted, delivered and lost while the GUI thread runs its event
// loop for `ms`, from the stream counts `from` on.
Tally stream(const PaintCounter& painted, ORV_STREAM_HANDLE handle, const StreamCounts& from, int ms)
{
    const quint64 paintedBefore = painted.painted();
    const quint64 handedBefore = painted.handed();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const StreamCounts to = streamCounts(handle);
    Tally t;
    t.handed = painted.handed() - handedBefore;
    t.shown = painted.painted() - paintedBefore;
    t.delivered = to.delivered >= from.delivered ? to.delivered - from.delivered : 0;
    t.lost = to.lost >= from.lost ? to.lost - from.lost : 0;
    return t;
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
    auto* view = window->findChild<ZelImageViewWidget*>();
    if (!view) {
        delete window;
        r.manager->CloseCamera(r.key);
        state.SkipWithError("no image view");
        return;
    }
    PaintCounter painted(view->renderer());
    bool sizeMatches = true;
    QObject::connect(camera->dataStream, &ZelCameraDataStream::imageReady, window, [&](ZelAcqBufferPtr buffer) {
        if (!buffer)
            return;
        const ORV_BUFFER_INFO info = buffer->GetInfo();
        sizeMatches = sizeMatches && int(info.width) == width && int(info.height) == height;
        painted.handedOver();
    });

    // The stream counts from its start.
    const StreamCounts before;
    emit window->propertyWidget()->startButtonClicked();
    // The first second holds the start: buffers allocated and first touched
    // by the window and the simulated camera. It is reported on its own.
    const Tally start = stream(painted, camera->streamHandle, before, 1000);
    Tally total;
    for (auto _ : state)
        total += stream(painted, camera->streamHandle, streamCounts(camera->streamHandle), 1000);
    emit window->propertyWidget()->stopButtonClicked();
    delete window;
    r.manager->CloseCamera(r.key);
    if (!sizeMatches || total.shown == 0) {
        state.SkipWithError(total.shown == 0 ? "no image shown" : "images of another size");
        return;
    }
    const double seconds = double(state.iterations());
    state.counters["handed_fps"] = benchmark::Counter(double(total.handed) / seconds);
    state.counters["shown_fps"] = benchmark::Counter(double(total.shown) / seconds);
    state.counters["delivered_fps"] = benchmark::Counter(double(total.delivered) / seconds);
    state.counters["lost"] = benchmark::Counter(double(total.lost));
    state.counters["shown_ratio"] = total.ratio();
    state.counters["start_shown_ratio"] = start.ratio();
    state.counters["start_delivered"] = benchmark::Counter(double(start.delivered));
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
