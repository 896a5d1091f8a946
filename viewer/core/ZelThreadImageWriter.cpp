#include "ZelThreadImageWriter.h"

#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QMutexLocker>

#include <new>

namespace {

const char* const runName = "ZelThreadImageWriter::run";

} // namespace

ZelThreadImageWriter::ZelThreadImageWriter(QObject* parent)
    : QThread(parent)
{
}

ZelThreadImageWriter::~ZelThreadImageWriter()
{
    requestStop();
    wait();
    clearQueue();
    QMutexLocker lock(&fileNameMutex);
    for (Job& job : jobs)
        release(job.image);
    jobs.clear();
}

void ZelThreadImageWriter::release(ORV_BUFFER_INFO* image)
{
    if (!image)
        return;
    ZelUtil::FreeBufferInfo(image);
    delete image;
}

bool ZelThreadImageWriter::start(QThread::Priority priority)
{
    if (isRunning())
        return false;
    {
        QMutexLocker lock(&stopMutex);
        stopRequested = false;
    }
    {
        QMutexLocker lock(&queueMutex);
        accepting = true;
    }
    QThread::start(priority);
    return true;
}

void ZelThreadImageWriter::requestStop()
{
    {
        QMutexLocker lock(&queueMutex);
        accepting = false;
    }
    {
        QMutexLocker lock(&stopMutex);
        stopRequested = true;
    }
    QMutexLocker lock(&fileNameMutex);
    fileNameCondition.wakeAll();
}

void ZelThreadImageWriter::writeImage(const ORV_BUFFER_INFO& image, bool front)
{
    {
        QMutexLocker lock(&queueMutex);
        if (!accepting)
            return;
    }
    ORV_BUFFER_INFO* copy = new (std::nothrow) ORV_BUFFER_INFO{};
    if (!copy)
        return;
    if (!ZelUtil::CloneBufferInfo(copy, &image)) {
        delete copy;
        return;
    }
    QMutexLocker lock(&queueMutex);
    if (front)
        queue.prepend(copy);
    else
        queue.append(copy);
}

void ZelThreadImageWriter::setFileName(const QString& name)
{
    ORV_BUFFER_INFO* image = nullptr;
    {
        QMutexLocker lock(&queueMutex);
        if (!queue.isEmpty())
            image = queue.takeFirst();
    }
    QMutexLocker lock(&fileNameMutex);
    jobs.append(Job{image, name});
    fileNameCondition.wakeOne();
}

void ZelThreadImageWriter::clearQueue()
{
    QMutexLocker lock(&queueMutex);
    for (ORV_BUFFER_INFO* image : qAsConst(queue))
        release(image);
    queue.clear();
}

int ZelThreadImageWriter::QueuedCount() const
{
    QMutexLocker lock(&queueMutex);
    return queue.size();
}

void ZelThreadImageWriter::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    for (;;) {
        Job job{nullptr, QString()};
        bool haveJob = false;
        {
            QMutexLocker lock(&fileNameMutex);
            for (;;) {
                if (!jobs.isEmpty()) {
                    job = jobs.takeFirst();
                    haveJob = true;
                    break;
                }
                QMutexLocker stopLock(&stopMutex);
                if (stopRequested)
                    break;
                stopLock.unlock();
                fileNameCondition.wait(&fileNameMutex);
            }
        }
        if (!haveJob)
            break;
        // Saved without any lock held, so new names and copies can come in.
        const bool written = job.image && ZelUtil::SaveImage(job.fileName, job.image);
        if (!job.image)
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! No image queued for %s", runName, qPrintable(job.fileName));
        release(job.image);
        emit imageWriteComplete(written ? 0 : -1, job.fileName);
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
}
