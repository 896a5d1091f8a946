#ifndef ZELACQTHREADCONSUMER_H
#define ZELACQTHREADCONSUMER_H

#include "ZelAcqBuffer.h"
#include "ZelWorkerThread.h"

#include <QElapsedTimer>
#include <QString>

#include <condition_variable>
#include <mutex>

class ZelAcqBufferManager;
class ZelAcqEngine;

// Converts each image for display and hands it to the GUI.
//
// imageReady is emitted on the thread the consumer object lives in (the GUI
// thread), from its event loop, one image at a time: the next image is only
// converted once the previous one has been handed over, and always into the
// display buffer the GUI does not hold. So a display buffer is never
// rewritten while the GUI may paint from it, and imageReady never piles up in
// the event queue when the GUI is slower than the camera.
class ZelAcqThreadConsumer : public ZelWorkerThread
{
    Q_OBJECT

public:
    ZelAcqThreadConsumer(ZelAcqEngine* engine, ZelAcqBufferManager* bufferManager, QObject* parent = nullptr);
    ~ZelAcqThreadConsumer() override;

    // False while the thread runs.
    bool start(QThread::Priority priority);
    void requestStop();
    void waitForEnd() { joinRun(); }

    // The display buffers, for the engine's owner and tests.
    ZelAcqBuffer* DisplayBuffer(int index) const { return displayBuffers[index & 1]; }

    // Before start: makes display buffers for images of this record's size
    // and pixel format, their memory written once, so that the first images
    // pay for no allocation and no page faults. The buffer the GUI may still
    // show stays until the first image of the run has been handed over; its
    // replacement waits beside it.
    void PrepareDisplayBuffers(const ORV_BUFFER_INFO& image);

    // Converts a whole image into a display buffer made for its size and
    // format; false when the display buffer has no memory.
    static bool Convert(const ORV_BUFFER_INFO& image, ZelAcqBuffer* display);

signals:
    void imageReady(ZelAcqBufferPtr buffer);
    void frameRateReady(QString frameRate);

protected:
    void run() override;

private slots:
    // GUI thread: emits the image handed over, if it is still wanted.
    void deliver();

private:
    bool consumeNewImage();
    ZelAcqBuffer* displayBufferFor(int index, const ORV_BUFFER_INFO& image);
    // Hands the image (or null) to the GUI thread and waits until it was
    // emitted there; false when a stop request came first.
    bool handOver(ZelAcqBuffer* buffer);
    void reportDisplayRate();

    quint64 windowImages = 0;
    QElapsedTimer rateTimer;
    QElapsedTimer reportTimer;
    ZelAcqEngine* engine;
    ZelAcqBufferManager* bufferManager;
    ZelAcqBuffer* displayBuffers[2] = {nullptr, nullptr};
    ZelAcqBuffer* spareDisplay = nullptr; // prepared for the buffer the GUI holds

    // Hand-over to the GUI thread.
    std::mutex deliveryMutex;
    std::condition_variable deliveryCondition;
    bool pendingSet = false;
    bool delivering = false;
    bool deliveryAborted = false;
    ZelAcqBuffer* pending = nullptr;
    int pendingIndex = -1;
    int shownIndex = -1; // display buffer the GUI holds; -1 none
    double displayRate = -1; // to report with the next image; negative: none
};

#endif // ZELACQTHREADCONSUMER_H
