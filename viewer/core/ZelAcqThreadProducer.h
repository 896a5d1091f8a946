#ifndef ZELACQTHREADPRODUCER_H
#define ZELACQTHREADPRODUCER_H

#include "ZelWorkerThread.h"

#include <QElapsedTimer>
#include <QString>

#include <condition_variable>
#include <mutex>

class ZelAcqBufferManager;
class ZelAcqEngine;
class ZelAcqThreadAutoSave;
struct ORV_BUFFER_INFO;

// Takes every filled buffer from the SDK, reports lost images and the frame
// and data rates, feeds the auto-save thread and offers the image to the
// consumer; a buffer the consumer cannot take goes straight back.
//
// Its reports (losses, rates, errors) are emitted on the thread the producer
// object lives in (the GUI thread): the loop leaves its news under a lock and
// posts one update at a time, so reports never pile up in the event queue
// however fast images come; the update emits the latest values.
// imageProduced is emitted on the producer's own thread after each image.
class ZelAcqThreadProducer : public ZelWorkerThread
{
    Q_OBJECT

public:
    ZelAcqThreadProducer(ZelAcqEngine* engine, ZelAcqBufferManager* bufferManager, QObject* parent = nullptr);
    ~ZelAcqThreadProducer() override;

    // False while the thread runs.
    bool start(quint64 imageCount, QThread::Priority priority);
    void requestStop();
    // Waits until run has ended.
    void waitForEnd() { joinRun(); }

    // On: (re)starts the auto-save thread for count images; off: stops it.
    void enableAutoSave(bool on, int count, const QString& prefix);
    ZelAcqThreadAutoSave* autoSaveThread() const { return autoSave; }

    // Snap support: pause after the next image, and release the pause.
    void pauseAfterNextImage();
    void continueAfterPause();

    // Shortest time between two rate reports.
    static constexpr qint64 RateReportIntervalMs = 250;

signals:
    void imageProduced();
    void frameRateReady(QString frameRate);
    void dataRateReady(QString dataRate);
    void imageLost(QString imageLost);
    void acquisitionError(int error);
    void acquisitionCompleted();
    void imageSaved();

protected:
    void run() override;

private slots:
    void publish();

private:
    void post();
    void reportLoss(quint64 imageId);
    void reportRates();

    std::mutex autoSaveMutex;
    std::mutex pauseMutex;
    bool pauseAfterImage = false;
    std::condition_variable pauseCondition;
    quint64 imageCount = 0;
    quint64 lostTotal = 0;
    quint64 expectedImageId = 0;
    quint64 windowImages = 0;
    quint64 windowBytes = 0;
    bool firstImage = true;
    QElapsedTimer rateTimer;
    QElapsedTimer reportTimer;
    ZelAcqThreadAutoSave* autoSave = nullptr;
    bool autoSaveEnabled = false;
    ZelAcqEngine* engine;
    ZelAcqBufferManager* bufferManager;

    // News for the next update, under newsMutex.
    struct News {
        bool posted = false;
        bool lostSet = false;
        quint64 lost = 0;
        bool ratesSet = false;
        double dataRate = 0;  // MiB/s; negative: none
        double frameRate = 0; // images/s; negative: none
        QList<int> errors;
    };
    std::mutex newsMutex;
    News news;
};

#endif // ZELACQTHREADPRODUCER_H
