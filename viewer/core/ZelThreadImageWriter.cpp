#include "ZelThreadImageWriter.h"

#include "ZelTrace.h"
#include "ZelUtil.h"

#include <new>

namespace {

const char* const runName = "ZelThreadImageWriter::run";

} // namespace

ZelThreadImageWriter::ZelThreadImageWriter(QObject* parent)
    : ZelWorkerThread(parent)
{
}

ZelThreadImageWriter::~ZelThreadImageWriter()
{
    requestStop();
    joinRun();
    clearQueue();
    std::lock_guard<std::mutex> lock(fileNameMutex);
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
        std::lock_guard<std::mutex> lock(queueMutex);
        accepting = true;
    }
    beginRun();
    QThread::start(priority);
    return true;
}

void ZelThreadImageWriter::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        accepting = false;
    }
    ZelWorkerThread::requestStop();
    std::lock_guard<std::mutex> lock(fileNameMutex);
    fileNameCondition.notify_all();
}

void ZelThreadImageWriter::writeImage(const ORV_BUFFER_INFO& image, bool front)
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
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
    std::lock_guard<std::mutex> lock(queueMutex);
    if (front)
        queue.prepend(copy);
    else
        queue.append(copy);
}

void ZelThreadImageWriter::setFileName(const QString& name)
{
    ORV_BUFFER_INFO* image = nullptr;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (!queue.isEmpty())
            image = queue.takeFirst();
    }
    std::lock_guard<std::mutex> lock(fileNameMutex);
    jobs.append(Job{image, name});
    fileNameCondition.notify_one();
}

void ZelThreadImageWriter::clearQueue()
{
    std::lock_guard<std::mutex> lock(queueMutex);
    for (ORV_BUFFER_INFO* image : qAsConst(queue))
        release(image);
    queue.clear();
}

int ZelThreadImageWriter::QueuedCount() const
{
    std::lock_guard<std::mutex> lock(queueMutex);
    return queue.size();
}

void ZelThreadImageWriter::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    for (;;) {
        Job job{nullptr, QString()};
        bool haveJob = false;
        {
            // Named jobs go first: a stop request ends the writer only once
            // they are done. Wake-ups without a job or a stop change nothing.
            std::unique_lock<std::mutex> lock(fileNameMutex);
            fileNameCondition.wait(lock, [this] { return !jobs.isEmpty() || stopRequested(); });
            if (!jobs.isEmpty()) {
                job = jobs.takeFirst();
                haveJob = true;
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
    endRun();
}
