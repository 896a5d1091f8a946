#ifndef ZELPIXELHISTOGRAMWIDGET_H
#define ZELPIXELHISTOGRAMWIDGET_H

#include "OrvSdk.h"

#include <QRect>
#include <QWidget>

#include <mutex>
#include <vector>

namespace Ui {
class ZelPixelHistogramWidget;
}
class ZelPixelExtractionThread;
class ZelPixelHistogramModel;
class ZelPixelHistogramStatModel;
class ZelPixelHistogramPlot;

// The live pixel histogram of one camera's displayed images, for the whole
// image or an area of interest.
class ZelPixelHistogramWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ZelPixelHistogramWidget(QString cameraName, QWidget* parent = nullptr);
    ~ZelPixelHistogramWidget() override;

    // One displayed image (the record of the display copy) and the camera's
    // pixel size in bits (0 when unknown). The counts arrive later.
    void updateImage(const ORV_BUFFER_INFO& record, qint64 pixelSize);

    // The 16-bit container format shown as the depth the camera's pixel
    // size gives (Mono16 at 12 bits is shown as Mono12).
    static quint64 AdjustedFormat(quint64 format, qint64 pixelSize);

    ZelPixelHistogramModel* histogramModel() const { return model; }
    ZelPixelHistogramStatModel* statisticsModel() const { return statModel; }
    ZelPixelHistogramPlot* plot() const;

public slots:
    // Runs in the extraction thread: takes a copy of the counts for the GUI.
    void onPixelCountExtracted(QRect rect, qulonglong* pixelCountData0, qulonglong* pixelCountData1,
                               qulonglong* pixelCountData2, quint64 pixelFormat, int length);
    void onPixelStatChanged(int col, double average, int modalPixel, int modalPixelCount);
    void onSpinBoxValueChanged(int value);
    void on_chkFullAOI_toggled(bool checked);

private slots:
    void _applyLatestCounts();

private:
    QRect spinBoxAoi() const;
    QRect requestedAoi() const;
    void reinitialise(int width, int height, quint64 format, qint64 newPixelSize);
    // Shows the AOI in the spin boxes without sending it.
    void showInBoxes(const QRect& aoi);
    // Limits each offset and size box so that the AOI stays in the image.
    void boundBoxes();
    void sendAoi(const QRect& aoi);

    Ui::ZelPixelHistogramWidget* ui;
    ZelPixelHistogramModel* model = nullptr;
    ZelPixelHistogramStatModel* statModel = nullptr;
    quint64 pixelFormat = 0;
    qint64 pixelSize = 0;
    QRect fullImage;
    // The AOI the thread counts; counts of another AOI are stale.
    QRect countedAoi;
    ZelPixelExtractionThread* extractionThread = nullptr;

    // Newest counts, handed from the extraction thread to the GUI thread.
    std::mutex countsMutex;
    std::vector<qulonglong> latestCounts[3];
    QRect latestAoi;
    quint64 latestFormat = 0;
    bool applyQueued = false;
};

#endif // ZELPIXELHISTOGRAMWIDGET_H
