// The pixel histogram fed by a camera window streaming a simulated camera.
#include "../../core/tests/TestHome.h"
#include "../../core/tests/ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindow.h"
#include "ZelFeatureManager.h"
#include "ZelPixelHistogramModel.h"
#include "ZelPixelHistogramWidget.h"
#include "ZelPropertyWidget.h"

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <malloc.h>

#include <memory>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer's allocator counts what is allocated; glibc's is not used.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes the process holds allocated on the heap now.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 heap = mallinfo2();
    return qint64(heap.uordblks) + qint64(heap.hblkhd);
#endif
}

} // namespace

using zeltest::SimWorldSdk;

class TestZelCameraWindowHistogram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init() { QVERIFY(zeltest::startWorld(sdk)); }
    void cleanup()
    {
        delete window;
        if (manager && !key.isEmpty())
            manager->CloseCamera(key);
        key.clear();
        manager.reset();
        sdk.reset();
    }

    void flatMonoImageFillsOneBin();
    void colourChartFillsThreeChannels();
    void restartingTheStreamWhileCounting();
    void closedHistogramIsForgotten();
    void openingAndClosingWhileStreamingLeavesNothing();

private:
    bool openWindow(const QString& deviceId)
    {
        manager = std::make_shared<ZelCameraManager>(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
        ZelCamera* camera = zeltest::openCamera(*manager, deviceId, ORV_ACCESS_MODE_CONTROL, &key);
        if (!camera)
            return false;
        device = deviceId;
        run("stream.manual " + deviceId + " on");
        window = new ZelCameraWindow(camera, ORV_ACCESS_MODE_CONTROL);
        window->show();
        return true;
    }
    int run(const QString& command)
    {
        std::string text;
        return sdk->control.run(command.toStdString(), &text);
    }
    ZelPixelHistogramWidget* openHistogram()
    {
        window->onShowPixelHistogramWidget();
        return qobject_cast<ZelPixelHistogramWidget*>(window->tool(ZelCameraTool::PixelHistogram));
    }
    void start() { emit window->propertyWidget()->startButtonClicked(); }
    void stop() { emit window->propertyWidget()->stopButtonClicked(); }
    void frames(int n) { QCOMPARE(run(QStringLiteral("stream.frame %1 %2").arg(device).arg(n)), 0); }
    static qulonglong total(const ZelPixelHistogramModel* model, int channel)
    {
        qulonglong sum = 0;
        for (int v = 0; v < model->rowCount(); ++v)
            sum += model->count(channel, v);
        return sum;
    }

    QTemporaryDir home;
    std::unique_ptr<SimWorldSdk> sdk;
    std::shared_ptr<ZelCameraManager> manager;
    QString key;
    QString device;
    QPointer<ZelCameraWindow> window;
};

void TestZelCameraWindowHistogram::flatMonoImageFillsOneBin()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QCOMPARE(run("stream.pattern GEV-G1-0001 Flat value=100"), 0);
    ZelPixelHistogramWidget* histogram = openHistogram();
    QVERIFY(histogram);
    QCOMPARE(histogram->windowTitle(), QStringLiteral("Pixel Histogram (") + window->title() + ")");
    start();
    frames(1);
    const qulonglong pixels = 1280ull * 1024;
    QTRY_COMPARE_WITH_TIMEOUT(histogram->histogramModel()->count(0, 100), pixels, 30000);
    QCOMPARE(total(histogram->histogramModel(), 0), pixels);
    QCOMPARE(histogram->histogramModel()->rowCount(), 256);
    stop();
}

void TestZelCameraWindowHistogram::colourChartFillsThreeChannels()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    QCOMPARE(run("stream.pattern GEV-G2-0002 ColourChart"), 0);
    ZelPixelHistogramWidget* histogram = openHistogram();
    QVERIFY(histogram);
    start();
    frames(1);
    const ZelPixelHistogramModel* model = histogram->histogramModel();
    const qulonglong pixels = 1280ull * 1024;
    QTRY_COMPARE_WITH_TIMEOUT(total(model, 0), pixels / 4, 30000);
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(total(model, 1), pixels / 2);
    QCOMPARE(total(model, 2), pixels / 4);
    // A chart of 24 colours spreads each channel over many values.
    for (int channel = 0; channel < 3; ++channel) {
        int used = 0;
        for (int v = 0; v < model->rowCount(); ++v)
            used += model->count(channel, v) ? 1 : 0;
        QVERIFY2(used > 3, qPrintable(QString::number(channel)));
    }
    stop();
}

void TestZelCameraWindowHistogram::restartingTheStreamWhileCounting()
{
    // Each start frees the display buffers the histogram was handed: it
    // counts its own copy, so nothing reads freed memory.
    QVERIFY(openWindow("GEV-G1-0001"));
    QCOMPARE(run("stream.pattern GEV-G1-0001 Flat value=30"), 0);
    ZelPixelHistogramWidget* histogram = openHistogram();
    QVERIFY(histogram);
    for (int round = 0; round < 5; ++round) {
        start();
        frames(3);
        QTest::qWait(20);
        stop();
    }
    start();
    frames(1);
    QTRY_COMPARE_WITH_TIMEOUT(histogram->histogramModel()->count(0, 30), 1280ull * 1024, 30000);
    stop();
}

void TestZelCameraWindowHistogram::closedHistogramIsForgotten()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QPointer<ZelPixelHistogramWidget> histogram = openHistogram();
    QVERIFY(histogram);
    QCOMPARE(openHistogram(), histogram.data());
    histogram->close();
    QTRY_VERIFY_WITH_TIMEOUT(!histogram, 30000);
    QVERIFY(!window->tool(ZelCameraTool::PixelHistogram));
    // Images after the close go nowhere.
    start();
    frames(2);
    QTest::qWait(100);
    stop();
    QVERIFY(openHistogram());
}

void TestZelCameraWindowHistogram::openingAndClosingWhileStreamingLeavesNothing()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    QCOMPARE(run("stream.pattern GEV-G2-0002 ColourChart"), 0);
    start();
    // One round: three images shown, with the histogram open and closed
    // around the first two when asked.
    const auto round = [this](bool withHistogram) {
        QPointer<ZelPixelHistogramWidget> histogram;
        if (withHistogram) {
            histogram = openHistogram();
            QVERIFY(histogram);
        }
        frames(2);
        if (withHistogram) {
            QTRY_VERIFY_WITH_TIMEOUT(total(histogram->histogramModel(), 1) > 0, 30000);
            histogram->close();
            QTRY_VERIFY_WITH_TIMEOUT(!histogram, 30000);
        } else {
            QTest::qWait(20);
        }
        frames(1);
        QTest::qWait(20);
    };
    const int rounds = 20;
    const auto growth = [&](bool withHistogram) {
        const qint64 before = heapInUse();
        for (int i = 0; i < rounds && !QTest::currentTestFailed(); ++i)
            round(withHistogram);
        return (heapInUse() - before) / rounds;
    };
    // The first rounds fill what stays for the process: caches, fonts.
    for (int i = 0; i < 5 && !QTest::currentTestFailed(); ++i)
        round(true);
    const qint64 streaming = growth(false);
    const qint64 opened = growth(true);
    stop();
    QVERIFY2(opened - streaming < 48 * 1024,
             qPrintable(QStringLiteral("%1 bytes per open and close, %2 per round without").arg(opened).arg(streaming)));
}

QTEST_MAIN(TestZelCameraWindowHistogram)
#include "tst_ZelCameraWindowHistogram.moc"
