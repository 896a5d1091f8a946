#include "ZelAcqThreadProducer.h"

#include "ZelAcqBuffer.h"
#include "ZelAcqBufferManager.h"
#include "ZelAcqEngine.h"
#include "ZelAcqThreadAutoSave.h"
#include "ZelTrace.h"

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
    : ZelWorkerThread(parent)
    , engine(engine)
    , bufferManager(bufferManager)
{
    autoSave = new ZelAcqThreadAutoSave(this);
    connect(autoSave, &ZelAcqThreadAutoSave::imageSaved, this, &ZelAcqThreadProducer::imageSaved);
}

ZelAcqThreadProducer::~ZelAcqThreadProducer()
{
    requestStop();
    joinRun();
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
        // A pause left over from the last run would stop this one after its
        // first image.
        std::lock_guard<std::mutex> lock(pauseMutex);
        pauseAfterImage = false;
    }
    {
        // News of an earlier run is stale; an update already posted stays.
        std::lock_guard<std::mutex> lock(newsMutex);
        const bool posted = news.posted;
        news = News();
        news.posted = posted;
    }
    beginRun();
    QThread::start(priority);
    return true;
}

void ZelAcqThreadProducer::requestStop()
{
    ZelWorkerThread::requestStop();
    continueAfterPause();
}

void ZelAcqThreadProducer::enableAutoSave(bool on, int count, const QString& prefix)
{
    if (on) {
        // A run still saving ends first, so the new one counts from 0.
        if (autoSave->isRunning()) {
            autoSave->requestStop();
            autoSave->waitForEnd();
        }
        autoSave->start(count, prefix, QThread::InheritPriority);
    } else {
        autoSave->requestStop();
    }
    std::lock_guard<std::mutex> lock(autoSaveMutex);
    autoSaveEnabled = on;
}

void ZelAcqThreadProducer::pauseAfterNextImage()
{
    std::lock_guard<std::mutex> lock(pauseMutex);
    pauseAfterImage = true;
}

void ZelAcqThreadProducer::continueAfterPause()
{
    std::lock_guard<std::mutex> lock(pauseMutex);
    if (pauseAfterImage) {
        pauseAfterImage = false;
        pauseCondition.notify_one();
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
    {
        std::lock_guard<std::mutex> lock(newsMutex);
        news.lostSet = true;
        news.lost = reported;
    }
    post();
    if (gap == 1)
        ZelTrace(ZEL_TRACE_INFO, "ZelAcqThreadProducer::run Image lost! FrameID:%lld", qint64(imageId - 1));
    else
        ZelTrace(ZEL_TRACE_INFO, "ZelAcqThreadProducer::run Image lost! FrameID:(%lld - %lld)",
                 qint64(expectedImageId), qint64(imageId - 1));
}

void ZelAcqThreadProducer::reportRates()
{
    const qint64 ms = rateTimer.elapsed();
    // One image gives no rate: its figure would be the time of one wait.
    if (ms == 0 || windowImages < 2)
        return;
    if (reportTimer.isValid() && reportTimer.elapsed() < RateReportIntervalMs)
        return;
    reportTimer.start();
    const double seconds = ms / 1000.0;
    {
        std::lock_guard<std::mutex> lock(newsMutex);
        news.ratesSet = true;
        news.dataRate = windowBytes != 0 ? double(windowBytes) / (1024.0 * 1024.0) / seconds : -1;
        news.frameRate = windowImages != 0 ? double(windowImages) / seconds : -1;
    }
    post();
}

void ZelAcqThreadProducer::post()
{
    {
        std::lock_guard<std::mutex> lock(newsMutex);
        if (news.posted)
            return;
        news.posted = true;
    }
    QMetaObject::invokeMethod(this, "publish", Qt::QueuedConnection);
}

void ZelAcqThreadProducer::publish()
{
    News now;
    {
        std::lock_guard<std::mutex> lock(newsMutex);
        now = news;
        news = News();
    }
    if (now.lostSet)
        emit imageLost(QString::number(now.lost));
    if (now.ratesSet && now.dataRate >= 0)
        emit dataRateReady(QString::number(now.dataRate, 'f', 4));
    if (now.ratesSet && now.frameRate >= 0)
        emit frameRateReady(QString::number(now.frameRate, 'f', 1));
    for (int error : qAsConst(now.errors))
        emit acquisitionError(error);
}

void ZelAcqThreadProducer::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    int failuresInARow = 0;
    for (;;) {
        if (stopRequested())
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
            if (stopRequested())
                break;
            {
                std::lock_guard<std::mutex> lock(newsMutex);
                // A handful tells the story; more would only flood the GUI.
                if (news.errors.size() < 8)
                    news.errors.append(rc);
            }
            post();
            // A time-out has waited already; a wait that fails at once (a
            // camera gone) must not be repeated in a tight loop.
            if (rc != ORV_ERROR_TIMEOUT)
                pauseAfterFailure(++failuresInARow);
            continue;
        }
        failuresInARow = 0;
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
            std::lock_guard<std::mutex> lock(autoSaveMutex);
            if (autoSaveEnabled)
                autoSave->storeImage(info);
        }
        if (!bufferManager->TryPushReady(buffer, 1))
            bufferManager->Queue(buffer);
        // On this thread, right after the image and before the pause check,
        // so that a direct receiver can still ask for the pause.
        emit imageProduced();

        // A pause asked for after the stop request (a snap's image arriving
        // as the stream stops) must not keep the producer from ending.
        std::unique_lock<std::mutex> lock(pauseMutex);
        pauseCondition.wait(lock, [this] { return !pauseAfterImage || stopRequested(); });
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
    endRun();
}
