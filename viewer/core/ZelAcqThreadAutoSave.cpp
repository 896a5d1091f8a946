#include "ZelAcqThreadAutoSave.h"

#include "ZelAppSettings.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QFileInfo>

namespace {

const char* const runName = "ZelAcqThreadAutoSave::run";

} // namespace

ZelAcqThreadAutoSave::ZelAcqThreadAutoSave(QObject* parent)
    : ZelWorkerThread(parent)
{
}

ZelAcqThreadAutoSave::~ZelAcqThreadAutoSave()
{
    requestStop();
    joinRun();
    std::lock_guard<std::mutex> lock(queueMutex);
    releaseQueued();
}

void ZelAcqThreadAutoSave::releaseQueued()
{
    for (ORV_BUFFER_INFO& image : queue)
        ZelUtil::FreeBufferInfo(&image);
    queue.clear();
}

bool ZelAcqThreadAutoSave::start(int count, const QString& prefix, QThread::Priority priority)
{
    if (isRunning())
        return false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        releaseQueued();
        filePrefix = prefix;
        maxCount = count;
        queuedCount = 0;
        savedCount = 0;
        fileNumber = 0;
        accepting = count > 0;
    }
    beginRun();
    QThread::start(priority);
    return true;
}

void ZelAcqThreadAutoSave::storeImage(const ORV_BUFFER_INFO& image)
{
    std::lock_guard<std::mutex> lock(queueMutex);
    if (!accepting || queuedCount >= maxCount || queue.size() >= MaxQueued)
        return;
    ORV_BUFFER_INFO copy{};
    if (!ZelUtil::CloneBufferInfo(&copy, &image))
        return;
    queue.append(copy);
    ++queuedCount;
    queueCondition.notify_one();
}

void ZelAcqThreadAutoSave::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        accepting = false;
        queue.append(ORV_BUFFER_INFO{});
        queueCondition.notify_one();
    }
    ZelWorkerThread::requestStop();
}

int ZelAcqThreadAutoSave::SavedCount() const
{
    std::lock_guard<std::mutex> lock(queueMutex);
    return savedCount;
}

int ZelAcqThreadAutoSave::QueuedCount() const
{
    std::lock_guard<std::mutex> lock(queueMutex);
    return queuedCount;
}

QString ZelAcqThreadAutoSave::nextFilePath()
{
    ZelAppSettings* settings = ZelAppSettings::instance();
    const QString folder = settings->value("Directory", "SaveImageDir").toString();
    const QString format = settings->value("Settings", "AutoSaveFormat", "PNG").toString();
    QString path;
    do {
        path = folder + "/" + filePrefix + QString::number(fileNumber++) + "." + format;
    } while (QFileInfo::exists(path));
    return path;
}

void ZelAcqThreadAutoSave::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    // Every image taken counts, written or not, so a failed write cannot keep
    // the thread waiting for images that will never be queued.
    for (int taken = 0; taken < maxCount; ++taken) {
        if (stopRequested())
            break;
        ORV_BUFFER_INFO image{};
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueCondition.wait(lock, [this] { return !queue.isEmpty(); });
            image = queue.takeFirst();
        }
        if (!image.pixels)
            break;
        if (ZelUtil::SaveImage(nextFilePath(), &image)) {
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                ++savedCount;
            }
            emit imageSaved();
        } else {
            ZelTrace(ZEL_TRACE_ERROR, "%s SaveImageToFile Failed!", runName);
        }
        ZelUtil::FreeBufferInfo(&image);
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        accepting = false;
        releaseQueued();
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
    endRun();
}
