// The event viewer writes events into logs that are already full, so every
// event also drops the oldest one (offscreen, window shown). An iteration is
// 1000 images' worth of events (three per image) and ends when the GUI's
// queue holds none of them any more: below 1000 ms per iteration the window
// keeps up with 1000 images a second and no backlog grows. Counter
// events_per_second: events written per second.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include <cstring>
#include <memory>

#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraManager.h"
#include "ZelEventManager.h"
#include "ZelEventViewer.h"
#include "ZelSdkMetaTypes.h"

namespace {

struct Rig {
    Rig()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "events_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        sdk = std::make_unique<zeltest::SimWorldSdk>();
    }
    std::unique_ptr<QApplication> app;
    std::unique_ptr<zeltest::SimWorldSdk> sdk;
};

Rig& rig()
{
    static Rig* shared = new Rig;
    return *shared;
}

QVariant streamEvent(quint32 id)
{
    ORV_EVENT_DS_ACQUISITION_DATA record;
    std::memset(&record, 0, sizeof record);
    record.signalType = 1;
    record.imageId = id;
    record.timestamp = quint64(id) * 1000;
    return QVariant::fromValue(record);
}

QVariant deviceEvent(quint16 eventId, quint16 block)
{
    ORV_EVENT_REMOTE_DEVICE_DATA record;
    std::memset(&record, 0, sizeof record);
    record.eventId[0] = quint8(eventId >> 8);
    record.eventId[1] = quint8(eventId);
    record.blockId[0] = quint8(block >> 8);
    record.blockId[1] = quint8(block);
    return QVariant::fromValue(record);
}

// Fills both logs to their limits.
void fill(ZelEventViewer& viewer)
{
    for (quint32 i = 0; i < 2048; ++i) {
        viewer.onDSAcquisitionEventTriggered(ORV_EVENT_TYPE_DS_ACQUISITION, streamEvent(i));
        viewer.onRemoteDeviceEventTriggered(ORV_EVENT_TYPE_REMOTE_DEVICE, deviceEvent(0x9007, quint16(i)));
    }
}

// 1000 images' worth of events per iteration: per image one stream event and
// two remote-device events, queued as the event managers deliver them.
void BM_EventViewerQueued(benchmark::State& state)
{
    rig();
    ZelEventViewer viewer(0, 0, QStringLiteral("bench"));
    viewer.show();
    fill(viewer);
    QCoreApplication::processEvents();
    quint32 id = 0;
    qint64 events = 0;
    for (auto _ : state) {
        for (int image = 0; image < 1000; ++image, ++id) {
            QMetaObject::invokeMethod(&viewer, "onDSAcquisitionEventTriggered", Qt::QueuedConnection,
                                      Q_ARG(int, ORV_EVENT_TYPE_DS_ACQUISITION), Q_ARG(QVariant, streamEvent(id)));
            for (quint16 eventId : {quint16(0x9007), quint16(0x9008)})
                QMetaObject::invokeMethod(&viewer, "onRemoteDeviceEventTriggered", Qt::QueuedConnection,
                                          Q_ARG(int, ORV_EVENT_TYPE_REMOTE_DEVICE),
                                          Q_ARG(QVariant, deviceEvent(eventId, quint16(id))));
        }
        QCoreApplication::sendPostedEvents(&viewer, QEvent::MetaCall);
        QCoreApplication::processEvents();
        events += 3000;
    }
    state.counters["events_per_second"] = benchmark::Counter(double(events), benchmark::Counter::kIsRate);
    state.counters["log_lines"] = double(viewer.form().txtDataStream->blockCount() +
                                         viewer.form().txtRemoteDevice->blockCount());
}

// The same from the simulated camera through both event managers' threads.
void BM_EventViewerFromCamera(benchmark::State& state)
{
    Rig& r = rig();
    auto manager = std::make_shared<ZelCameraManager>(zeltest::SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    QString key;
    ZelCamera* camera = zeltest::openCamera(*manager, QStringLiteral("GEV-G1-0001"), ORV_ACCESS_MODE_CONTROL, &key);
    if (!camera) {
        state.SkipWithError("camera did not open");
        return;
    }
    {
        ZelEventViewer viewer(camera->deviceHandle, camera->streamHandle, QStringLiteral("bench"));
        viewer.show();
        fill(viewer);
        viewer.onChkRemoteDeviceToggled(true);
        viewer.onChkDSAcquisitionToggled(true);
        QSignalSpy stream(viewer.dataStreamEvents(), &ZelEventManager::triggered);
        QSignalSpy device(viewer.remoteDeviceEvents(), &ZelEventManager::triggered);
        qint64 events = 0;
        for (auto _ : state) {
            // The SDK keeps at most 1024 events per registration, so each
            // burst of the remote device is taken in before the next.
            const int want = stream.count() + 1000;
            r.sdk->control.run("event.burst GEV-G1-0001 5000 1000");
            for (int burst = 0; burst < 2; ++burst) {
                const int wantDevice = device.count() + 1000;
                r.sdk->control.run("event.burst GEV-G1-0001 4 1000");
                while (device.count() < wantDevice)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
            while (stream.count() < want)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            QCoreApplication::processEvents();
            events += 3000;
        }
        state.counters["events_per_second"] = benchmark::Counter(double(events), benchmark::Counter::kIsRate);
    }
    manager->CloseCamera(key);
}

} // namespace

BENCHMARK(BM_EventViewerQueued)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EventViewerFromCamera)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
