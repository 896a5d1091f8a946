#include "ZelAcqThreadAutoSave.h"

#include "ZelAppSettings.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {

const char* const runName = "ZelAcqThreadAutoSave::run";

} // namespace

ZelAcqThreadAutoSave::ZelAcqThreadAutoSave(QObject* parent)
    : QThread(parent)
{
}

ZelAcqThreadAutoSave::~ZelAcqThreadAutoSave()
{
    requestStop();
    wait();
    QMutexLocker lock(&queueMutex);
    for (ORV_BUFFER_INFO& image : queue)
        ZelUtil::FreeBufferInfo(&image);
    queue.clear();
}

bool ZelAcqThreadAutoSave::start(int count, const QString& prefix, QThread::Priority priority)
{
    if (isRunning())
        return false;
    {
        QMutexLocker lock(&queueMutex);
        for (ORV_BUFFER_INFO& image : queue)
            ZelUtil::FreeBufferInfo(&image);
        queue.clear();
        filePrefix = prefix;
        maxCount = count;
        queuedCount = 0;
        savedCount = 0;
        fileNumber = 0;
        accepting = count > 0;
    }
    {
        QMutexLocker lock(&stopMutex);
        stopRequested = false;
    }
    QThread::start(priority);
    return true;
}

void ZelAcqThreadAutoSave::storeImage(const ORV_BUFFER_INFO& image)
{
    QMutexLocker lock(&queueMutex);
    if (!accepting || queuedCount >= maxCount || queue.size() >= MaxQueued)
        return;
    ORV_BUFFER_INFO copy{};
    if (!ZelUtil::CloneBufferInfo(&copy, &image))
        return;
    queue.append(copy);
    ++queuedCount;
    queueCondition.wakeOne();
}

void ZelAcqThreadAutoSave::requestStop()
{
    {
        QMutexLocker lock(&queueMutex);
        accepting = false;
        queue.append(ORV_BUFFER_INFO{});
        queueCondition.wakeOne();
    }
    QMutexLocker lock(&stopMutex);
    stopRequested = true;
}

int ZelAcqThreadAutoSave::SavedCount() const
{
    QMutexLocker lock(&queueMutex);
    return savedCount;
}

int ZelAcqThreadAutoSave::QueuedCount() const
{
    QMutexLocker lock(&queueMutex);
    return queuedCount;
}

bool ZelAcqThreadAutoSave::isStopRequested()
{
    QMutexLocker lock(&stopMutex);
    return stopRequested;
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
        if (isStopRequested())
            break;
        ORV_BUFFER_INFO image{};
        {
            QMutexLocker lock(&queueMutex);
            while (queue.isEmpty())
                queueCondition.wait(&queueMutex);
            image = queue.takeFirst();
        }
        if (!image.pixels)
            break;
        if (ZelUtil::SaveImage(nextFilePath(), &image)) {
            {
                QMutexLocker lock(&queueMutex);
                ++savedCount;
            }
            emit imageSaved();
        } else {
            ZelTrace(ZEL_TRACE_ERROR, "%s SaveImageToFile Failed!", runName);
        }
        ZelUtil::FreeBufferInfo(&image);
    }
    QMutexLocker lock(&queueMutex);
    accepting = false;
    for (ORV_BUFFER_INFO& image : queue)
        ZelUtil::FreeBufferInfo(&image);
    queue.clear();
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
}
