#include "ZelCameraDataStream.h"

#include "ZelAcqEngine.h"
#include "ZelAcqThreadConsumer.h"
#include "ZelAcqThreadProducer.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include <atomic>
#include <cstring>

namespace {

// Longest wait for images delivered before a snap, and the time the
// consumer gets afterwards to take the last of them.
constexpr qint64 drainLimitMs = 1000;
constexpr qint64 consumerSettleMs = 40;

} // namespace

// Shared with the producer thread, which counts its images and pauses
// itself after the first image a snap may return.
struct ZelCameraDataStream::SnapState {
    std::atomic<quint64> produced{0}; // images handed on since the start
    std::atomic<quint64> barrier{0};  // images a snap must let pass first
    std::atomic<quint64> armedSnap{0}; // id of the waiting snap, 0: none
    std::atomic<quint64> doneSnap{0};  // id of the last snap that got its image
    quint64 nextSnap = 0;              // GUI thread only
};

ZelCameraDataStream::ZelCameraDataStream(ORV_REMOTE_DEVICE_HANDLE remoteDevice, ORV_STREAM_HANDLE stream,
                                         QObject* parent)
    : QObject(parent)
    , remoteDeviceHandle(remoteDevice)
    , streamHandle(stream)
    , m_snap(std::make_shared<SnapState>())
{
    engine = new ZelAcqEngine(remoteDeviceHandle, streamHandle);
    ZelAcqThreadProducer* producer = engine->Producer();
    connect(producer, &ZelAcqThreadProducer::imageSaved, this, &ZelCameraDataStream::imageSaved);

    // Runs on the producer thread right after each image, before the
    // producer looks at its pause flag: a snap's image pauses it at once.
    std::shared_ptr<SnapState> snap = m_snap;
    ZelAcqEngine* acqEngine = engine;
    connect(
        producer, &ZelAcqThreadProducer::imageProduced, this,
        [this, snap, acqEngine]() {
            const quint64 count = ++snap->produced;
            quint64 snapId = snap->armedSnap.load();
            if (snapId == 0 || count <= snap->barrier.load())
                return;
            if (!snap->armedSnap.compare_exchange_strong(snapId, 0))
                return;
            acqEngine->Pause();
            snap->doneSnap.store(snapId);
            // Posted events of a deleted stream are dropped by Qt.
            QMetaObject::invokeMethod(this, "quitSnap", Qt::QueuedConnection, Q_ARG(quint64, snapId));
        },
        Qt::DirectConnection);
}

ZelCameraDataStream::~ZelCameraDataStream()
{
    if (m_snapLoop)
        m_snapLoop->quit();
    StopAcquisition();
    delete engine;
    engine = nullptr;
    OrvStreamClose(streamHandle);
}

bool ZelCameraDataStream::StartAcquisition(quint64 count)
{
    if (started)
        return false;
    ZelAcqThreadProducer* producer = engine->Producer();
    m_streamingConnections = {
        connect(engine->Consumer(), &ZelAcqThreadConsumer::imageReady, this, &ZelCameraDataStream::imageReady),
        connect(producer, &ZelAcqThreadProducer::frameRateReady, this, &ZelCameraDataStream::frameRateReady),
        connect(producer, &ZelAcqThreadProducer::imageLost, this, &ZelCameraDataStream::imageLost),
        connect(producer, &ZelAcqThreadProducer::acquisitionError, this, &ZelCameraDataStream::acquisitionError),
        connect(producer, &ZelAcqThreadProducer::dataRateReady, this, &ZelCameraDataStream::dataRateReady),
    };
    m_snap->produced.store(0);
    if (!engine->Start(count)) {
        disconnectStreaming();
        return false;
    }
    m_deliveredBase = deliveredImages();
    started = true;
    return true;
}

void ZelCameraDataStream::StopAcquisition()
{
    if (!started)
        return;
    if (m_snapLoop)
        m_snapLoop->quit();
    engine->Stop();
    disconnectStreaming();
    started = false;
}

void ZelCameraDataStream::disconnectStreaming()
{
    for (const QMetaObject::Connection& connection : m_streamingConnections)
        disconnect(connection);
    m_streamingConnections.clear();
}

bool ZelCameraDataStream::AcquisitionStart()
{
    // The engine's command helper ignores the outcome; a refused start must
    // reach the operator.
    const bool accepted = ZelUtil::SetFeatureValue(remoteDeviceHandle, "AcquisitionStart", QVariant(qint64(1)), false);
    engine->Continue();
    return accepted;
}

quint64 ZelCameraDataStream::deliveredImages() const
{
    ORV_DS_INFO info;
    std::memset(&info, 0, sizeof info);
    if (OrvStreamGetInfo(streamHandle, &info) != ORV_SUCCESS)
        return 0;
    return info.deliveredFrameCount;
}

void ZelCameraDataStream::quitSnap(quint64 snapId)
{
    if (m_snapLoop && m_snap->doneSnap.load() == snapId)
        m_snapLoop->quit();
}

bool ZelCameraDataStream::drainStaleImages(quint64 barrier)
{
    if (m_snap->produced.load() >= barrier)
        return true;
    // Older images come at once; let the consumer take the last of them off
    // its hand-off list, where it would push the snap's image aside.
    QPointer<ZelCameraDataStream> self(this);
    QElapsedTimer clock;
    clock.start();
    while (self && started && m_snap->produced.load() < barrier && clock.elapsed() < drainLimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!self || !started)
        return false;
    QElapsedTimer settle;
    settle.start();
    while (self && started && settle.elapsed() < consumerSettleMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return self && started;
}

bool ZelCameraDataStream::Snap()
{
    if (!started || m_inSnap)
        return false;
    QPointer<ZelCameraDataStream> self(this);
    m_inSnap = true;
    const bool result = snapOnce();
    if (self)
        m_inSnap = false;
    return result;
}

bool ZelCameraDataStream::snapOnce()
{
    const quint64 snapId = ++m_snap->nextSnap;

    // Images the SDK delivered before this snap, still on their way through
    // the producer, must not count as the snap's image: let them pass.
    engine->Continue();
    quint64 barrier = m_snap->produced.load();
    const quint64 delivered = deliveredImages();
    if (delivered > m_deliveredBase && delivered - m_deliveredBase > barrier)
        barrier = delivered - m_deliveredBase;
    m_snap->barrier.store(barrier);
    if (!drainStaleImages(barrier))
        return false;
    m_snap->armedSnap.store(snapId);

    QPointer<ZelCameraDataStream> self(this);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the snap 5 % early
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_snapLoop = &loop;
    timer.start(snapTimeoutMs);
    const bool accepted = ZelUtil::SetFeatureValue(remoteDeviceHandle, "AcquisitionStart", QVariant(qint64(1)), false);
    if (accepted && self && started && m_snap->doneSnap.load() != snapId)
        loop.exec();
    if (!self)
        return false; // deleted while waiting: its destructor stopped everything
    m_snapLoop = nullptr;

    quint64 stillArmed = snapId;
    m_snap->armedSnap.compare_exchange_strong(stillArmed, 0);
    const bool gotImage = m_snap->doneSnap.load() == snapId && timer.isActive();
    if (started)
        engine->ExecuteAcquisitionCommand(false);
    if (!accepted)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! AcquisitionStart refused", "ZelCameraDataStream::Snap");
    return accepted && gotImage;
}

int ZelCameraDataStream::GetWidth()
{
    QVariant value;
    return ZelUtil::GetFeatureValue(remoteDeviceHandle, "Width", value, false, false) ? int(value.toLongLong()) : 0;
}

int ZelCameraDataStream::GetHeight()
{
    QVariant value;
    return ZelUtil::GetFeatureValue(remoteDeviceHandle, "Height", value, false, false) ? int(value.toLongLong()) : 0;
}

QString ZelCameraDataStream::SafeFileNamePart(QString text)
{
    text.replace(QLatin1Char('/'), QLatin1Char('_'));
    text.replace(QLatin1Char('\\'), QLatin1Char('_'));
    text.replace(QLatin1String(".."), QLatin1String("__"));
    return text;
}

QString ZelCameraDataStream::AutoSavePrefix(const QString& modelName, const QString& deviceId)
{
    QString prefix;
    if (!modelName.isEmpty())
        prefix += SafeFileNamePart(modelName) + QLatin1Char('_');
    if (!deviceId.isEmpty())
        prefix += SafeFileNamePart(deviceId) + QLatin1Char('_');
    return prefix;
}

void ZelCameraDataStream::onEnableAutoSave(bool bEnable, int count)
{
    QString prefix;
    if (bEnable) {
        QVariant model;
        QVariant id;
        if (!ZelUtil::GetFeatureValue(remoteDeviceHandle, "DeviceModelName", model, false, false))
            model.clear();
        if (!ZelUtil::GetFeatureValue(remoteDeviceHandle, "DeviceID", id, false, false))
            id.clear();
        prefix = AutoSavePrefix(model.toString(), id.toString());
    }
    engine->Producer()->enableAutoSave(bEnable, count, prefix);
}
