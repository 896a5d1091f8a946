#ifndef ZELTHREADIMAGEWRITER_H
#define ZELTHREADIMAGEWRITER_H

#include "OrvSdk.h"
#include "ZelWorkerThread.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <mutex>

// Saves image copies on its own thread. writeImage queues a copy;
// setFileName pairs the first queued copy with the name and has it saved,
// reported by imageWriteComplete. A name given while nothing is queued is
// reported as failed.
class ZelThreadImageWriter : public ZelWorkerThread
{
    Q_OBJECT

public:
    explicit ZelThreadImageWriter(QObject* parent = nullptr);
    // Ends after the save in progress and those already named; copies that
    // never got a name are discarded, not saved.
    ~ZelThreadImageWriter() override;

    // False while the thread runs.
    bool start(QThread::Priority priority = QThread::InheritPriority);
    // Queues a deep copy of the image (at the head when front is true); the
    // caller may reuse its buffer at once. Nothing is queued while the thread
    // does not run or when the image has no pixels.
    void writeImage(const ORV_BUFFER_INFO& image, bool front);
    void setFileName(const QString& name);
    void clearQueue();

    int QueuedCount() const;

signals:
    // 0 when the file was written, -1 when not.
    void imageWriteComplete(int status, QString fileName);

protected:
    void run() override;

private:
    struct Job {
        ORV_BUFFER_INFO* image;
        QString fileName;
    };
    static void release(ORV_BUFFER_INFO* image);
    void requestStop();

    // Guards jobs; the writer waits on the condition for the next one.
    std::mutex fileNameMutex;
    std::condition_variable fileNameCondition;
    QList<Job> jobs;
    QList<ORV_BUFFER_INFO*> queue;
    mutable std::mutex queueMutex;
    bool accepting = false;
};

#endif // ZELTHREADIMAGEWRITER_H
