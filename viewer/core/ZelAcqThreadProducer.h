#ifndef ZELACQTHREADPRODUCER_H
#define ZELACQTHREADPRODUCER_H

#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

class ZelAcqBufferManager;
class ZelAcqEngine;
class ZelAcqThreadAutoSave;
struct ORV_BUFFER_INFO;

// Takes every filled buffer from the SDK, reports lost images and the frame
// and data rates, feeds the auto-save thread and offers the image to the
// consumer; a buffer the consumer cannot take goes straight back.
class ZelAcqThreadProducer : public QThread
{
    Q_OBJECT

public:
    ZelAcqThreadProducer(ZelAcqEngine* engine, ZelAcqBufferManager* bufferManager, QObject* parent = nullptr);
    ~ZelAcqThreadProducer() override;

    // False while the thread runs.
    bool start(quint64 imageCount, QThread::Priority priority);
    void requestStop();

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

private:
    bool isStopRequested();
    void reportLoss(quint64 imageId);
    void reportRates();

    QMutex autoSaveMutex;
    QMutex stopMutex;
    bool stopRequested = false;
    QMutex pauseMutex;
    bool pauseAfterImage = false;
    QWaitCondition pauseCondition;
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
};

#endif // ZELACQTHREADPRODUCER_H
