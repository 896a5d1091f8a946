#include "ZelPixelHistogramData.h"
#include "ZelPixelHistogramModel.h"
#include "ZelPixelHistogramPlot.h"
#include "ZelPixelHistogramStatModel.h"
#include "ZelPixelHistogramWidget.h"
#include "ZelUtil.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <vector>

namespace {

constexpr quint64 Mono8 = 0x01080001;
constexpr quint64 Mono16 = 0x01100007;
constexpr quint64 BayerRG8 = 0x01080009;

// One image as the camera window hands it over: display copy first, the
// camera's values second.
struct Frame
{
    ORV_BUFFER_INFO info{};
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;

    Frame(quint64 format, int w, int h, int value)
    {
        const int bits = ZelUtil::GetBitsPerPixel(format);
        const bool colour = ZelUtil::IsColorFormat(format);
        first.assign(size_t(w) * h * (colour ? 4 : 1), uint8_t(value));
        if (bits == 16) {
            second.resize(size_t(w) * h * 2);
            auto* words = reinterpret_cast<uint16_t*>(second.data());
            std::fill(words, words + size_t(w) * h, uint16_t(value));
        } else {
            second.assign(size_t(w) * h, uint8_t(value));
        }
        info.pixels = first.data();
        info.secondBlock = second.data();
        info.width = uint32_t(w);
        info.height = uint32_t(h);
        info.size = uint32_t(first.size());
        info.pixelType = format;
    }
};

void setCounts(ZelPixelHistogramModel& model, std::vector<qulonglong>& c0, qulonglong* c1 = nullptr,
               qulonglong* c2 = nullptr, QRect aoi = QRect(0, 0, 1, 1))
{
    ZelPixelHistogramData data;
    data.aoi = aoi;
    data.pixelCountData0 = c0.data();
    data.pixelCountData1 = c1;
    data.pixelCountData2 = c2;
    data.length = int(c0.size());
    QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(data), ZelPixelHistogramModel::CountsRole));
}

QRect countedAoi(ZelPixelHistogramWidget& w)
{
    return w.histogramModel()->data(QModelIndex(), ZelPixelHistogramModel::AoiRole).toRect();
}

QRect boxes(ZelPixelHistogramWidget& w)
{
    return QRect(w.findChild<QSpinBox*>("spinOffsetX")->value(), w.findChild<QSpinBox*>("spinOffsetY")->value(),
                 w.findChild<QSpinBox*>("spinWidth")->value(), w.findChild<QSpinBox*>("spinHeight")->value());
}

// Minimum and maximum of the X offset, Y offset, width and height boxes.
QVector<int> boxRanges(ZelPixelHistogramWidget& w)
{
    QVector<int> ranges;
    for (const char* name : {"spinOffsetX", "spinOffsetY", "spinWidth", "spinHeight"}) {
        auto* box = w.findChild<QSpinBox*>(name);
        ranges << box->minimum() << box->maximum();
    }
    return ranges;
}

qulonglong countAt(ZelPixelHistogramWidget& w, int channel, int value)
{
    return w.histogramModel()->count(channel, value);
}

} // namespace

class tst_ZelPixelHistogramWidget : public QObject
{
    Q_OBJECT

private slots:
    void statisticsFollowTheCounts_data()
    {
        QTest::addColumn<QVector<int>>("bins");  // value, count pairs
        QTest::addColumn<double>("mean");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("modeCount");
        QTest::addColumn<QString>("modeText");
        QTest::newRow("mean 35") << QVector<int>{0, 2, 5, 5, 255, 1} << 35.0 << 5 << 5 << "0x5";
        QTest::newRow("tie keeps the first") << QVector<int>{10, 3, 20, 3} << 15.0 << 10 << 3 << "0xA";
        QTest::newRow("0xFF") << QVector<int>{255, 4} << 255.0 << 255 << 4 << "0xFF";
        QTest::newRow("empty") << QVector<int>{} << 0.0 << 0 << 0 << "0x0";
    }

    void statisticsFollowTheCounts()
    {
        QFETCH(QVector<int>, bins);
        QFETCH(double, mean);
        QFETCH(int, mode);
        QFETCH(int, modeCount);
        QFETCH(QString, modeText);

        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(Mono8, 4, 4, 0);
        widget.updateImage(frame.info, 8);
        std::vector<qulonglong> counts(256, 0);
        for (int i = 0; i + 1 < bins.size(); i += 2)
            counts[size_t(bins[i])] = qulonglong(bins[i + 1]);
        QSignalSpy stats(widget.plot(), &ZelPixelHistogramPlot::pixelStatChanged);
        setCounts(*widget.histogramModel(), counts);
        QCOMPARE(stats.count(), 1);
        QCOMPARE(stats.at(0).at(0).toInt(), 1);
        QCOMPARE(stats.at(0).at(1).toDouble(), mean);
        QCOMPARE(stats.at(0).at(2).toInt(), mode);
        QCOMPARE(stats.at(0).at(3).toInt(), modeCount);
        ZelPixelHistogramStatModel* s = widget.statisticsModel();
        QCOMPARE(s->data(s->index(0, 0)).toString(), QStringLiteral("Mono8"));
        QCOMPARE(s->data(s->index(0, 1)).toDouble(), mean);
        QCOMPARE(s->data(s->index(0, 2)).toULongLong(), qulonglong(modeCount));
        QCOMPARE(s->data(s->index(0, 3)).toString(), modeText);
    }

    void modeValueOf4095IsShownInHex()
    {
        ZelPixelHistogramStatModel model;
        model.setHeaderData(0, Qt::Horizontal, Mono16, ZelPixelHistogramModel::PixelFormatRole);
        QVERIFY(model.setData(model.index(0, 3), 4095u));
        QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("0xFFF"));
    }

    void formatShapesTablesAndCurves_data()
    {
        QTest::addColumn<quint64>("format");
        QTest::addColumn<qint64>("pixelSize");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("bands");
        QTest::addColumn<int>("curves");
        QTest::newRow("Mono16 at 12 bits") << Mono16 << qint64(12) << 4096
            << QStringList{"Pixel Value", "Mono12"} << QStringList{"Mono12"} << 1;
        QTest::newRow("Mono16 at 16 bits") << Mono16 << qint64(16) << 65536
            << QStringList{"Pixel Value", "Mono16"} << QStringList{"Mono16"} << 1;
        QTest::newRow("BayerRG8") << BayerRG8 << qint64(8) << 256
            << QStringList{"Pixel Value", "R", "G", "B"} << QStringList{"Red", "Green", "Blue"} << 3;
    }

    void formatShapesTablesAndCurves()
    {
        QFETCH(quint64, format);
        QFETCH(qint64, pixelSize);
        QFETCH(int, rows);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, bands);
        QFETCH(int, curves);

        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(format, 8, 4, 1);
        widget.updateImage(frame.info, pixelSize);
        ZelPixelHistogramModel* m = widget.histogramModel();
        QCOMPARE(m->rowCount(), rows);
        QStringList gotHeaders;
        for (int c = 0; c < m->columnCount(); ++c)
            gotHeaders << m->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(gotHeaders, headers);
        QStringList gotBands;
        for (int r = 0; r < widget.statisticsModel()->rowCount(); ++r)
            gotBands << widget.statisticsModel()->data(widget.statisticsModel()->index(r, 0)).toString();
        QCOMPARE(gotBands, bands);
        QCOMPARE(widget.plot()->graphCount(), curves);
        QCOMPARE(widget.plot()->xAxis->range().upper, double(rows - 1));
    }

    void formatWithoutMaximumGivesNoRows()
    {
        ZelPixelHistogramModel model;
        model.setHeaderData(0, Qt::Horizontal, quint64(0x01990099), ZelPixelHistogramModel::PixelFormatRole);
        QCOMPARE(model.rowCount(), 0);
        std::vector<qulonglong> counts(256, 1);
        setCounts(model, counts);
        QCOMPARE(model.count(0, 0), qulonglong(0));
        QVERIFY(!model.data(model.index(0, 1)).isValid());
    }

    void shortCountsNeverReadPastTheirEnd()
    {
        ZelPixelHistogramModel model;
        model.setHeaderData(0, Qt::Horizontal, quint64(0x01100005), ZelPixelHistogramModel::PixelFormatRole);
        QCOMPARE(model.rowCount(), 4096);
        // Counts of an 8-bit image arriving late: only their 256 entries count.
        std::vector<qulonglong> counts(256, 2);
        setCounts(model, counts);
        QCOMPARE(model.count(0, 255), qulonglong(2));
        QCOMPARE(model.count(0, 256), qulonglong(0));
    }

    void boxesShowTheFullImageAndStayInside()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(Mono8, 640, 480, 5);
        widget.updateImage(frame.info, 8);
        QCOMPARE(boxes(widget), QRect(0, 0, 640, 480));
        QCOMPARE(boxRanges(widget), (QVector<int>{0, 0, 0, 0, 1, 640, 1, 480}));
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 5), qulonglong(640 * 480), 30000);
        QCOMPARE(countedAoi(widget), QRect(0, 0, 640, 480));

        // A smaller width frees the offset by what it gave up, and back.
        widget.findChild<QCheckBox*>("chkFullAOI")->setChecked(false);
        widget.findChild<QSpinBox*>("spinWidth")->setValue(100);
        widget.findChild<QSpinBox*>("spinHeight")->setValue(450);
        widget.findChild<QSpinBox*>("spinOffsetY")->setValue(30);
        QCOMPARE(boxRanges(widget), (QVector<int>{0, 540, 0, 30, 1, 640, 1, 450}));
        widget.findChild<QSpinBox*>("spinOffsetX")->setValue(500);
        QCOMPARE(boxRanges(widget), (QVector<int>{0, 540, 0, 30, 1, 140, 1, 450}));
        QCOMPARE(boxes(widget), QRect(500, 30, 100, 450));
        QTRY_COMPARE_WITH_TIMEOUT(countedAoi(widget), QRect(500, 30, 100, 450), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 5), qulonglong(100 * 450), 30000);
    }

    void boxesNeverReachBeyondTheImage_data()
    {
        // Pairs of box (0 X offset, 1 width, 2 Y offset, 3 height) and the
        // value typed into it, in order.
        QTest::addColumn<QVector<int>>("typed");
        QTest::addColumn<QRect>("aoi");
        QTest::newRow("offset 500, width 999") << QVector<int>{0, 500, 1, 999} << QRect(0, 0, 200, 100);
        QTest::newRow("width 50, offset 500") << QVector<int>{1, 50, 0, 500} << QRect(150, 0, 50, 100);
        QTest::newRow("height 10, offset 95, height 999")
            << QVector<int>{3, 10, 2, 95, 3, 999} << QRect(0, 90, 200, 10);
    }

    void boxesNeverReachBeyondTheImage()
    {
        QFETCH(QVector<int>, typed);
        QFETCH(QRect, aoi);
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(Mono8, 200, 100, 4);
        widget.updateImage(frame.info, 8);
        widget.findChild<QCheckBox*>("chkFullAOI")->setChecked(false);
        const char* names[] = {"spinOffsetX", "spinWidth", "spinOffsetY", "spinHeight"};
        for (int i = 0; i + 1 < typed.size(); i += 2)
            widget.findChild<QSpinBox*>(names[typed[i]])->setValue(typed[i + 1]);
        QCOMPARE(boxes(widget), aoi);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 4), qulonglong(aoi.width() * aoi.height()), 30000);
        QCOMPARE(countedAoi(widget), aoi);
    }

    void smallerImageMovesTheOperatorsAoiInside()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame first(Mono8, 640, 480, 5);
        widget.updateImage(first.info, 8);
        widget.findChild<QCheckBox*>("chkFullAOI")->setChecked(false);
        widget.findChild<QSpinBox*>("spinWidth")->setValue(100);
        widget.findChild<QSpinBox*>("spinOffsetX")->setValue(500);
        Frame smaller(Mono8, 320, 240, 9);
        widget.updateImage(smaller.info, 8);
        // The size fits and is kept; the offset moves in.
        QCOMPARE(boxes(widget), QRect(220, 0, 100, 240));
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 9), qulonglong(100 * 240), 30000);
        QCOMPARE(countedAoi(widget), QRect(220, 0, 100, 240));
    }

    void operatorsAoiIsKeptAndResentAfterASizeChange()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame first(Mono8, 640, 480, 5);
        widget.updateImage(first.info, 8);
        widget.findChild<QCheckBox*>("chkFullAOI")->setChecked(false);
        widget.findChild<QSpinBox*>("spinWidth")->setValue(100);
        widget.findChild<QSpinBox*>("spinHeight")->setValue(50);
        widget.findChild<QSpinBox*>("spinOffsetX")->setValue(10);
        widget.findChild<QSpinBox*>("spinOffsetY")->setValue(20);
        QTRY_COMPARE_WITH_TIMEOUT(countedAoi(widget), QRect(10, 20, 100, 50), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 5), qulonglong(5000), 30000);

        Frame same(Mono8, 640, 480, 7);
        widget.updateImage(same.info, 8);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 7), qulonglong(5000), 30000);
        QCOMPARE(countedAoi(widget), QRect(10, 20, 100, 50));

        Frame smaller(Mono8, 320, 240, 9);
        widget.updateImage(smaller.info, 8);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 9), qulonglong(5000), 30000);
        QCOMPARE(countedAoi(widget), QRect(10, 20, 100, 50));
    }

    void fullAoiIsNotReplacedByClampedBoxes()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        // Smaller than the boxes' 640 x 480 start: they clamp, the AOI stays full.
        Frame frame(Mono8, 100, 60, 3);
        widget.updateImage(frame.info, 8);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 3), qulonglong(6000), 30000);
        QCOMPARE(countedAoi(widget), QRect(0, 0, 100, 60));
        QCOMPARE(boxes(widget), QRect(0, 0, 100, 60));
        // Unchecked, the boxes start from the image they showed.
        widget.findChild<QCheckBox*>("chkFullAOI")->setChecked(false);
        QCOMPARE(countedAoi(widget), QRect(0, 0, 100, 60));
    }

    void bayerImageFillsThreeChannels()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(BayerRG8, 4, 4, 0);
        // R G / G B cells with 10, 20, 30, 40.
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                frame.second[size_t(y * 4 + x)] = uint8_t((y & 1) ? ((x & 1) ? 40 : 30) : ((x & 1) ? 20 : 10));
        widget.updateImage(frame.info, 8);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 10), qulonglong(4), 30000);
        QCOMPARE(countAt(widget, 1, 20), qulonglong(4));
        QCOMPARE(countAt(widget, 1, 30), qulonglong(4));
        QCOMPARE(countAt(widget, 2, 40), qulonglong(4));
    }

    void alternatingFormatsNeverMixTheirCounts()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame mono8(Mono8, 64, 32, 200);
        Frame mono16(Mono16, 64, 32, 60000);
        for (int i = 0; i < 200; ++i) {
            widget.updateImage((i % 2 ? mono16 : mono8).info, i % 2 ? 16 : 8);
            if (i % 7 == 0)
                QCoreApplication::processEvents();
        }
        widget.updateImage(mono16.info, 16);
        QTRY_COMPARE_WITH_TIMEOUT(countAt(widget, 0, 60000), qulonglong(64 * 32), 30000);
        QCOMPARE(countAt(widget, 0, 200), qulonglong(0));
    }

    void keyRangeDraggedBelowZeroReturnsToZero()
    {
        ZelPixelHistogramWidget widget(QStringLiteral("cam"));
        Frame frame(Mono8, 8, 8, 1);
        widget.updateImage(frame.info, 8);
        QCPAxis* axis = widget.plot()->xAxis;
        axis->setRange(-30, 70);
        QCOMPARE(axis->range().lower, 0.0);
        QCOMPARE(axis->range().upper, 100.0);
    }

    void updateAxisRange_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("wantLower");
        QTest::addColumn<double>("wantUpper");
        QTest::addColumn<bool>("signalled");
        QTest::newRow("below") << -10.0 << 40.0 << 0.0 << 50.0 << false;
        QTest::newRow("above") << 80.0 << 130.0 << 50.0 << 100.0 << false;
        QTest::newRow("both") << -10.0 << 120.0 << 0.0 << 100.0 << false;
        QTest::newRow("inside") << 10.0 << 20.0 << 5.0 << 7.0 << false;
        QTest::newRow("same span shifted") << -0.5 << 99.5 << 0.0 << 100.0 << false;
    }

    void updateAxisRange()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, wantLower);
        QFETCH(double, wantUpper);
        QFETCH(bool, signalled);
        QCustomPlot plot;
        plot.xAxis->setRange(5, 7);
        QSignalSpy changes(plot.xAxis, QOverload<const QCPRange&>::of(&QCPAxis::rangeChanged));
        ZelUtil::UpdateAxisRange(plot.xAxis, QCPRange(lower, upper), QCPRange(0, 100));
        QCOMPARE(plot.xAxis->range().lower, wantLower);
        QCOMPARE(plot.xAxis->range().upper, wantUpper);
        QCOMPARE(changes.count() > 0, signalled);
    }
};

QTEST_MAIN(tst_ZelPixelHistogramWidget)
#include "tst_ZelPixelHistogramWidget.moc"
