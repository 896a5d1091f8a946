#ifndef ZELPIXELEXTRACTIONTHREAD_H
#define ZELPIXELEXTRACTIONTHREAD_H

#include "OrvSdk.h"
#include "ZelWorkerThread.h"

#include <QRect>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// Counts, off the GUI thread, how many pixels of an area of interest have
// each value, per colour channel for Bayer images. Only the newest image
// counts: one handed over during a count replaces the one waiting.
class ZelPixelExtractionThread : public ZelWorkerThread
{
    Q_OBJECT

public:
    explicit ZelPixelExtractionThread(QObject* parent = nullptr);
    ~ZelPixelExtractionThread() override;

    // Starts the worker; false when it already runs.
    bool Start(int priority);
    // Takes a copy of the image's samples, so the caller may reuse its
    // memory at once. The AOI is taken only when valid, the pixel size only
    // when not 0.
    void setImage(const ORV_BUFFER_INFO& record, const QRect& aoi, qint64 pixelSize);
    // Replaces the AOI (also by an invalid one) and recounts the last image.
    void setAOI(const QRect& aoi);

    // Adds the AOI's samples of the image (pixelType holds the 64-bit stream
    // format) into counts[0..2], each of GetMaxPixelValue + 1 entries; the
    // green and blue arrays are used for colour formats only. False when
    // nothing was counted: AOI outside the image, memory missing, or a depth
    // that is not counted.
    static bool countPixels(const ORV_BUFFER_INFO& image, const QRect& aoi, qulonglong* const counts[3]);

signals:
    // Emitted by the worker after each count. The arrays hold `length`
    // entries counted for `pixelFormat` and are overwritten by the next
    // count, so a receiver copies them before returning.
    void pixelCountReady(QRect aoi, qulonglong* pixelCountData0, qulonglong* pixelCountData1,
                         qulonglong* pixelCountData2, quint64 pixelFormat, int length);

protected:
    void run() override;

private:
    struct Snapshot
    {
        ORV_BUFFER_INFO info{};
        std::vector<uint8_t> first;
        std::vector<uint8_t> second;
    };

    std::mutex dataMutex;
    std::condition_variable wakeUp;
    bool stopping = false;
    bool pending = false;
    std::shared_ptr<Snapshot> latest;
    QRect aoi;
    qint64 pixelSize = 0;
};

#endif // ZELPIXELEXTRACTIONTHREAD_H
