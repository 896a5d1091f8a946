#ifndef ZELACQTHREADAUTOSAVE_H
#define ZELACQTHREADAUTOSAVE_H

#include "OrvSdk.h"
#include "ZelWorkerThread.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <mutex>

// Saves copies of the first images of a run as numbered files
// "<prefix><n>.<format>" in the image folder. Existing files are never
// overwritten: numbers already taken are skipped.
class ZelAcqThreadAutoSave : public ZelWorkerThread
{
    Q_OBJECT

public:
    explicit ZelAcqThreadAutoSave(QObject* parent = nullptr);
    ~ZelAcqThreadAutoSave() override;

    // Saves the next count images; false while the thread runs.
    bool start(int count, const QString& prefix, QThread::Priority priority);
    // Queues a copy of the image while the thread takes images. Copies beyond
    // MaxQueued waiting ones are not made: that image is skipped.
    void storeImage(const ORV_BUFFER_INFO& image);
    void requestStop();
    void waitForEnd() { joinRun(); }

    // Files written and images taken since the last start.
    int SavedCount() const;
    int QueuedCount() const;

    static constexpr int MaxQueued = 4;

signals:
    void imageSaved();

protected:
    void run() override;

private:
    QString nextFilePath();
    void releaseQueued();

    QList<ORV_BUFFER_INFO> queue;
    mutable std::mutex queueMutex;
    std::condition_variable queueCondition;
    bool accepting = false;
    int queuedCount = 0;
    int savedCount = 0;
    int maxCount = 0;
    int fileNumber = 0;
    QString filePrefix;
};

#endif // ZELACQTHREADAUTOSAVE_H
