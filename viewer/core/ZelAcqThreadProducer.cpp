#include "ZelAcqThreadProducer.h"

#include "ZelAcqBuffer.h"
#include "ZelAcqBufferManager.h"
#include "ZelAcqEngine.h"
#include "ZelAcqThreadAutoSave.h"
#include "ZelTrace.h"

#include <QMutexLocker>

namespace {

const char* const runName = "ZelAcqThreadProducer::run";
const char* const waitName = "ZelAcqThreadProducer::_waitForNewImage";

// An image shorter than its width, height and format need arrived
// incomplete; formats of unknown depth are taken as they come.
bool isIncomplete(const ORV_BUFFER_INFO& info)
{
    return info.size < ZelAcqBuffer::DeliveredImageSize(info.width, info.height, info.pixelType);
}

} // namespace

ZelAcqThreadProducer::ZelAcqThreadProducer(ZelAcqEngine* engine, ZelAcqBufferManager* bufferManager,
                                           QObject* parent)
    : QThread(parent)
    , engine(engine)
    , bufferManager(bufferManager)
{
    autoSave = new ZelAcqThreadAutoSave(this);
    connect(autoSave, &ZelAcqThreadAutoSave::imageSaved, this, &ZelAcqThreadProducer::imageSaved);
}

ZelAcqThreadProducer::~ZelAcqThreadProducer()
{
    requestStop();
    wait();
    // The auto-save thread is a child; stop it before the QObject tree does.
    delete autoSave;
    autoSave = nullptr;
}

bool ZelAcqThreadProducer::start(quint64 count, QThread::Priority priority)
{
    if (isRunning())
        return false;
    imageCount = count;
    lostTotal = 0;
    expectedImageId = 0;
    windowImages = 0;
    windowBytes = 0;
    firstImage = true;
    reportTimer.invalidate();
    {
        QMutexLocker lock(&stopMutex);
        stopRequested = false;
    }
    QThread::start(priority);
    return true;
}

void ZelAcqThreadProducer::requestStop()
{
    {
        QMutexLocker lock(&stopMutex);
        stopRequested = true;
    }
    continueAfterPause();
}

bool ZelAcqThreadProducer::isStopRequested()
{
    QMutexLocker lock(&stopMutex);
    return stopRequested;
}

void ZelAcqThreadProducer::enableAutoSave(bool on, int count, const QString& prefix)
{
    if (on) {
        // A run still saving ends first, so the new one counts from 0.
        if (autoSave->isRunning()) {
            autoSave->requestStop();
            autoSave->wait();
        }
        autoSave->start(count, prefix, QThread::InheritPriority);
    } else {
        autoSave->requestStop();
    }
    QMutexLocker lock(&autoSaveMutex);
    autoSaveEnabled = on;
}

void ZelAcqThreadProducer::pauseAfterNextImage()
{
    QMutexLocker lock(&pauseMutex);
    pauseAfterImage = true;
}

void ZelAcqThreadProducer::continueAfterPause()
{
    QMutexLocker lock(&pauseMutex);
    if (pauseAfterImage) {
        pauseAfterImage = false;
        pauseCondition.wakeOne();
    }
}

void ZelAcqThreadProducer::reportLoss(quint64 imageId)
{
    const quint64 gap = imageId - expectedImageId;
    quint64 reported = 0;
    qint64 value = 0;
    if (engine->getFrameLoss(value) == 0) {
        lostTotal = value > 0 ? quint64(value) : 0;
        reported = lostTotal;
    } else {
        lostTotal += gap;
        qint64 discarded = 0;
        if (engine->getStreamLostFrameCount(discarded) != 0 || discarded < 0)
            discarded = 0;
        // The SDK's count may run ahead of the gaps seen so far.
        reported = quint64(discarded) < lostTotal ? lostTotal - quint64(discarded) : 0;
    }
    emit imageLost(QString::number(reported));
    if (gap == 1)
        ZelTrace(ZEL_TRACE_INFO, "ZelAcqThreadProducer::run Image lost! FrameID:%lld", qint64(imageId - 1));
    else
        ZelTrace(ZEL_TRACE_INFO, "ZelAcqThreadProducer::run Image lost! FrameID:(%lld - %lld)",
                 qint64(expectedImageId), qint64(imageId - 1));
}

void ZelAcqThreadProducer::reportRates()
{
    const qint64 ms = rateTimer.elapsed();
    if (ms == 0)
        return;
    if (reportTimer.isValid() && reportTimer.elapsed() < RateReportIntervalMs)
        return;
    reportTimer.start();
    const double seconds = ms / 1000.0;
    if (windowBytes != 0)
        emit dataRateReady(QString::number(double(windowBytes) / (1024.0 * 1024.0) / seconds, 'f', 4));
    if (windowImages != 0)
        emit frameRateReady(QString::number(double(windowImages) / seconds, 'f', 1));
}

void ZelAcqThreadProducer::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    for (;;) {
        if (isStopRequested())
            break;
        if (windowImages % 100 == 0) {
            rateTimer.restart();
            windowImages = 0;
            windowBytes = 0;
        }
        ZelAcqBuffer* buffer = nullptr;
        const int rc = engine->WaitForNewImage(buffer, 1000);
        if (rc != 0) {
            // A wait that a stop ended is no acquisition error.
            if (isStopRequested())
                break;
            emit acquisitionError(rc);
            continue;
        }
        if (!buffer) {
            ZelTrace(ZEL_TRACE_INFO, "%s NULL == pAcqBuffer(ignore)!", waitName);
            continue;
        }
        const ORV_BUFFER_INFO info = buffer->GetInfo();
        if (info.width == 0 || info.height == 0 || !info.pixels) {
            ZelTrace(ZEL_TRACE_ERROR, "%s GetBufferInfo Failed (ignore)!", waitName);
            bufferManager->Queue(buffer);
            continue;
        }
        if (!firstImage && info.imageId > expectedImageId)
            reportLoss(info.imageId);
        expectedImageId = info.imageId + 1;
        firstImage = false;
        windowBytes += info.size;
        windowImages += 1;
        reportRates();

        if (isIncomplete(info)) {
            ZelTrace(ZEL_TRACE_INFO, "%s Incomplete image (ignore)! FrameID:%lld", waitName, qint64(info.imageId));
            bufferManager->Queue(buffer);
            continue;
        }
        {
            QMutexLocker lock(&autoSaveMutex);
            if (autoSaveEnabled)
                autoSave->storeImage(info);
        }
        if (!bufferManager->TryPushReady(buffer, 1))
            bufferManager->Queue(buffer);
        emit imageProduced();

        QMutexLocker lock(&pauseMutex);
        while (pauseAfterImage)
            pauseCondition.wait(&pauseMutex);
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
}
