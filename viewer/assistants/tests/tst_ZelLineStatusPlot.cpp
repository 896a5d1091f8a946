#include "ZelLineStatusPlot.h"
#include "ZelStrobeControlPlot.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

// A plot laid out at a fixed size, so that coordinates map to pixels.
template <typename Plot>
void layOut(Plot& plot)
{
    plot.resize(640, 480);
    plot.replot();
}

// The pixel of a coordinate on an axis, as the mouse would give it.
int pixel(QCPAxis* axis, double coordinate)
{
    return int(std::floor(axis->coordToPixel(coordinate)));
}

QList<QCPGraphData> points(QCPGraph* graph)
{
    QList<QCPGraphData> list;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        list.append(*it);
    return list;
}

void sendWheel(QWidget* widget, int delta)
{
    const QPoint centre = widget->rect().center();
    QWheelEvent event(centre, widget->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

const double epsilon = double(0.001f);

} // namespace

class TestZelLineStatusPlot : public QObject
{
    Q_OBJECT

private slots:
    void addPointTakesLanesZeroToSeven_data();
    void addPointTakesLanesZeroToSeven();
    void hoverReports_data();
    void hoverReports();
    void wheelZoomStopsAtItsLimits_data();
    void wheelZoomStopsAtItsLimits();
    void namingClearsOneLaneAndResetClearsAll();
    void statusBarShowsOneReport();
    void timeLabelsNeverRunTogether_data();
    void timeLabelsNeverRunTogether();

    void strobePoints_data();
    void strobePoints();
    void strobeChannelsStackAndRefuseASixthOrADuplicate();
    void strobeValuesAboveTheMaximumAreIgnored();
    void strobePanningStaysInsideTheLongestCycle();
    void strobeHoverReadsTheDrawnLevel();
    void strobeDraggedLaneStopsAtTheEdges();
};

void TestZelLineStatusPlot::addPointTakesLanesZeroToSeven_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("added");
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("8") << 8 << false;
    QTest::newRow("0") << 0 << true;
    QTest::newRow("7") << 7 << true;
}

void TestZelLineStatusPlot::addPointTakesLanesZeroToSeven()
{
    QFETCH(int, index);
    QFETCH(bool, added);
    ZelLineStatusPlot plot;
    QCOMPARE(plot.addPoint(index, true), added);
    int total = 0;
    for (int i = 0; i < plot.graphCount(); ++i)
        total += plot.graph(i)->dataCount();
    QCOMPARE(total, added ? 1 : 0);
    if (!added)
        return;
    const QCPGraphData first = *plot.graph(index)->data()->constBegin();
    QVERIFY(first.key >= 0 && first.key < 0.5);
    QCOMPARE(first.value, double(2 + 5 * index + 4));
    QCOMPARE(plot.xAxis->range().upper, first.key);
    QCOMPARE(plot.xAxis->range().size(), 60.0);
}

void TestZelLineStatusPlot::hoverReports_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("value");
    QTest::addColumn<QStringList>("report");   // empty: no report
    QTest::newRow("before 0") << -1.0 << 6.5 << QStringList();
    QTest::newRow("inside lane 0, off its levels") << 10.0 << 4.5 << QStringList();
    QTest::newRow("over one unit above lane 0") << 10.0 << 7.2 << QStringList();
    QTest::newRow("lane 0 high") << 83.5 << 6.5 << QStringList{"Line2", "ON", "00:01:23.500"};
    QTest::newRow("on the high line itself") << 20.0 << 6.0 << QStringList{"Line2", "ON", "00:00:20.000"};
    QTest::newRow("lane 3 low") << 5.25 << 17.4 << QStringList{"Line0", "OFF", "00:00:05.250"};
    QTest::newRow("a time of day") << 90000.0 << 6.5 << QStringList{"Line2", "ON", "01:00:00.000"};
}

void TestZelLineStatusPlot::hoverReports()
{
    QFETCH(double, time);
    QFETCH(double, value);
    QFETCH(QStringList, report);
    ZelLineStatusPlot plot;
    layOut(plot);
    QVERIFY(plot.setGraphName(0, "Line2"));
    QVERIFY(plot.setGraphName(3, "Line0"));
    plot.graph(0)->addData(0, 6);
    plot.graph(3)->addData(0, 17);
    // A millisecond wide, so that a pixel is far less than a millisecond;
    // lanes 1 and 2 have names but no points.
    QVERIFY(plot.setGraphName(1, "Line1"));
    plot.xAxis->setRange(time, time + 0.001);
    plot.replot();
    QSignalSpy hovered(&plot, &ZelLineStatusPlot::lineHovered);
    // Exactly on a level line a pixel may land just below it: aim a hair above.
    plot.reportLineStatus(pixel(plot.xAxis, time + 0.0005), pixel(plot.yAxis, value + 0.01));
    if (report.isEmpty()) {
        QCOMPARE(hovered.count(), 0);
        return;
    }
    QCOMPARE(hovered.count(), 1);
    QCOMPARE(hovered.first().at(0).toString(), report.at(0));
    QCOMPARE(hovered.first().at(1).toString(), report.at(1));
    QCOMPARE(hovered.first().at(2).toString(), report.at(2));
}

void TestZelLineStatusPlot::wheelZoomStopsAtItsLimits_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.4 s, in") << 0.4 << 120 << 0.4;
    QTest::newRow("60 s, out") << 60.0 << -120 << 60.0;
    QTest::newRow("6 s, out") << 6.0 << -120 << 60.0;
    QTest::newRow("6 s, in") << 6.0 << 120 << 0.6;
}

void TestZelLineStatusPlot::wheelZoomStopsAtItsLimits()
{
    QFETCH(double, span);
    QFETCH(int, delta);
    QFETCH(double, expected);
    ZelLineStatusPlot plot;
    layOut(plot);
    plot.xAxis->setRange(-span, 0);
    sendWheel(&plot, delta);
    QVERIFY2(std::abs(plot.xAxis->range().size() - expected) < 1e-6 * expected,
             qPrintable(QString::number(plot.xAxis->range().size())));
}

void TestZelLineStatusPlot::namingClearsOneLaneAndResetClearsAll()
{
    ZelLineStatusPlot plot;
    QVERIFY(plot.addPoint(1, false));
    QVERIFY(plot.addPoint(2, true));
    QVERIFY(plot.setGraphName(1, "Line1"));
    QCOMPARE(plot.graph(1)->dataCount(), 0);
    QCOMPARE(plot.graph(2)->dataCount(), 1);
    QVERIFY(!plot.setGraphName(8, "x"));
    auto* ticker = dynamic_cast<QCPAxisTickerText*>(plot.yAxis->ticker().data());
    QVERIFY(ticker);
    QCOMPARE(ticker->ticks().value(7), QString("Line1"));

    plot.setGraphVisible(2, false);
    QCOMPARE(plot.graph(2)->dataCount(), 0);
    QVERIFY(!plot.graph(2)->visible());

    plot.xAxis->setRange(100, 110);
    QVERIFY(plot.addPoint(3, true));
    plot.reset();
    for (int i = 0; i < plot.graphCount(); ++i)
        QCOMPARE(plot.graph(i)->dataCount(), 0);
    QCOMPARE(plot.xAxis->range().upper, 0.0);
    QCOMPARE(plot.xAxis->range().size(), 10.0);
    QVERIFY(plot.interactions().testFlag(QCP::iRangeDrag));
    // The clock restarts with the next sample.
    QTest::qWait(300);
    QVERIFY(plot.addPoint(0, true));
    QVERIFY(plot.graph(0)->data()->constBegin()->key < 0.25);

    plot.setRangeDragEnabled(false);
    QCOMPARE(plot.interactions(), QCP::Interactions(QCP::iRangeZoom));
}

void TestZelLineStatusPlot::statusBarShowsOneReport()
{
    ZelLineStatusPlot plot;
    ZelLineStatusBar bar;
    connect(&plot, &ZelLineStatusPlot::lineHovered, &bar, &ZelLineStatusBar::setLineStatus);
    emit plot.lineHovered("Line2", "ON", "00:01:23.500");
    QCOMPARE(bar.lineLabel()->text(), QString("Line: Line2"));
    QCOMPARE(bar.timeLabel()->text(), QString("Time: 00:01:23.500"));
    QCOMPARE(bar.statusLabel()->text(), QString("Status: ON"));
    QCOMPARE(bar.lineLabel()->width(), 180);
    QCOMPARE(bar.timeLabel()->width(), 200);
    QCOMPARE(bar.statusLabel()->width(), 120);
    QCOMPARE(bar.layoutDirection(), Qt::RightToLeft);
    QVERIFY(!bar.isSizeGripEnabled());
    QCOMPARE(bar.lineLabel()->parentWidget(), static_cast<QWidget*>(&bar));
}

void TestZelLineStatusPlot::timeLabelsNeverRunTogether_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("leastLabels");
    QTest::newRow("opening size, a minute") << 460 << 60.0 << 3;
    QTest::newRow("narrow, a minute") << 250 << 60.0 << 2;
    QTest::newRow("wide, a minute") << 1600 << 60.0 << 6;
    QTest::newRow("opening size, zoomed in") << 460 << 0.7 << 3;
}

void TestZelLineStatusPlot::timeLabelsNeverRunTogether()
{
    QFETCH(int, width);
    QFETCH(double, span);
    QFETCH(int, leastLabels);
    ZelLineStatusPlot plot;
    plot.resize(width, 400);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QCOMPARE(plot.viewport().width(), width);
    plot.xAxis->setRange(-span, 0);
    // The first layout settles the margins the labels are fitted into.
    plot.replot();
    plot.replot();
    const QVector<double> ticks = plot.xAxis->tickVector();
    const QVector<QString> labels = plot.xAxis->tickVectorLabels();
    const QFontMetrics metrics(plot.xAxis->tickLabelFont());
    int shown = 0;
    double lastRight = -1e9;
    for (int i = 0; i < ticks.size(); ++i) {
        const double centre = plot.xAxis->coordToPixel(ticks[i]);
        const double half = metrics.horizontalAdvance(labels[i]) / 2.0;
        if (centre < plot.axisRect()->left() - 1 || centre > plot.axisRect()->right() + 1)
            continue;
        ++shown;
        QVERIFY2(centre - half > lastRight, qPrintable(QStringLiteral("label %1 (%2) overlaps the one before")
                                                           .arg(i).arg(labels[i])));
        lastRight = centre + half;
    }
    QVERIFY2(shown >= leastLabels, qPrintable(QString::number(shown)));
}

void TestZelLineStatusPlot::strobePoints_data()
{
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("duration");
    QTest::addColumn<bool>("positive");
    QTest::addColumn<QVector<QPointF>>("expected");   // b = 33
    const double e = epsilon;
    QTest::newRow("plain") << 10.0 << 20.0 << true
                           << QVector<QPointF>{{0, 33}, {e, 33}, {10 + e, 33}, {10 + e, 37}, {30 + e, 33}, {300, 33}};
    QTest::newRow("inverted") << 10.0 << 20.0 << false
                              << QVector<QPointF>{{0, 33}, {e, 37}, {10 + e, 37}, {10 + e, 33}, {30 + e, 37}, {300, 37}};
    QTest::newRow("no delay") << 0.0 << 20.0 << true
                              << QVector<QPointF>{{0, 33}, {e, 33}, {e, 37}, {20 + e, 33}, {300, 33}};
    QTest::newRow("no duration") << 10.0 << 0.0 << true
                                 << QVector<QPointF>{{0, 33}, {e, 33}, {10 + e, 33}, {300, 33}};
}

void TestZelLineStatusPlot::strobePoints()
{
    QFETCH(double, delay);
    QFETCH(double, duration);
    QFETCH(bool, positive);
    QFETCH(QVector<QPointF>, expected);
    ZelStrobeControlPlot plot;
    QVERIFY(plot.addChannel("Strobe0"));
    plot.setDelayMax("strobe0", 100);
    plot.setDurationMax("STROBE0", 200);
    plot.setDelay("Strobe0", delay);
    plot.setDuration("Strobe0", duration);
    plot.setPolarity("Strobe0", positive);
    const QList<QCPGraphData> got = points(plot.graph(0));
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i) {
        QCOMPARE(got.at(i).key, expected.at(i).x());
        QCOMPARE(got.at(i).value, expected.at(i).y());
    }
    ZelStrobeData* data = plot.channelData("Strobe0");
    QVERIFY(data);
    QCOMPARE(data->inverted, !positive);
    QCOMPARE(plot.graph(0)->property("Data").userType(), QMetaType::type("PZelStrobeData"));
}

void TestZelLineStatusPlot::strobeChannelsStackAndRefuseASixthOrADuplicate()
{
    ZelStrobeControlPlot plot;
    QVERIFY(plot.addChannel("ExposureTime"));
    QVERIFY(!plot.addChannel("exposuretime"));
    for (const char* name : {"Strobe0", "Strobe1", "Strobe2", "Strobe3"})
        QVERIFY(plot.addChannel(name));
    QVERIFY(!plot.addChannel("Strobe4"));
    QCOMPARE(plot.graphCount(), 5);
    const double baselines[] = {33, 25, 17, 9, 1};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(plot.graph(i)->data()->constBegin()->value, baselines[i]);
    QCOMPARE(plot.legend->itemCount(), 5);
    // An unknown name changes nothing.
    plot.setDurationMax("NoSuchChannel", 500);
    QCOMPARE(plot.timeLimit(), 0.0);
}

void TestZelLineStatusPlot::strobeValuesAboveTheMaximumAreIgnored()
{
    ZelStrobeControlPlot plot;
    QVERIFY(plot.addChannel("Strobe0"));
    plot.setDelayMax("Strobe0", 100);
    plot.setDurationMax("Strobe0", 200);
    plot.setDelay("Strobe0", 40);
    plot.setDelay("Strobe0", 150);
    plot.setDuration("Strobe0", 201);
    QCOMPARE(plot.channelData("Strobe0")->delay, 40.0);
    QCOMPARE(plot.channelData("Strobe0")->duration, 0.0);
}

void TestZelLineStatusPlot::strobePanningStaysInsideTheLongestCycle()
{
    ZelStrobeControlPlot plot;
    QVERIFY(plot.addChannel("Strobe0"));
    plot.setDurationMax("Strobe0", 200);
    plot.setDelayMax("Strobe0", 100);
    QCOMPARE(plot.timeLimit(), 300.0);
    plot.setTimeRange(-50, 50);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 100));
    plot.setTimeRange(250, 350);
    QCOMPARE(plot.xAxis->range(), QCPRange(200, 300));
    plot.setTimeRange(-100, 500);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 300));
    // The limit never shrinks.
    plot.setDurationMax("Strobe0", 10);
    QCOMPARE(plot.timeLimit(), 300.0);
}

void TestZelLineStatusPlot::strobeHoverReadsTheDrawnLevel()
{
    ZelStrobeControlPlot plot;
    layOut(plot);
    QVERIFY(plot.addChannel("Strobe0"));
    QVERIFY(plot.addChannel("Strobe1"));
    for (const char* name : {"Strobe0", "Strobe1"}) {
        plot.setDelayMax(name, 100);
        plot.setDurationMax(name, 200);
        plot.setDelay(name, 10);
        plot.setDuration(name, 20);
    }
    plot.setPolarity("Strobe1", false);
    plot.setTimeRange(12, 13.5);
    plot.replot();
    QSignalSpy hovered(&plot, &ZelStrobeControlPlot::lineHovered);
    const int x = pixel(plot.xAxis, 12.7);
    struct Case {
        double value;
        const char* line;
        const char* state;
    } cases[] = {{37.5, "Strobe0", "On"}, {33.5, nullptr, nullptr}, {25.5, "Strobe1", "Off"}, {29.5, nullptr, nullptr}};
    for (const Case& c : cases) {
        hovered.clear();
        sendMouse(&plot, QEvent::MouseMove, QPoint(x, pixel(plot.yAxis, c.value)));
        if (!c.line) {
            QCOMPARE(hovered.count(), 0);
            continue;
        }
        QCOMPARE(hovered.count(), 1);
        QCOMPARE(hovered.first().at(0).toString(), QString(c.line));
        QCOMPARE(hovered.first().at(1).toString(), QString(c.state));
        QCOMPARE(hovered.first().at(2).toString(), QString("12 us"));
    }
}

void TestZelLineStatusPlot::strobeDraggedLaneStopsAtTheEdges()
{
    ZelStrobeControlPlot plot;
    layOut(plot);
    QVERIFY(plot.addChannel("Strobe0"));
    plot.setDelayMax("Strobe0", 100);
    plot.setDurationMax("Strobe0", 200);
    plot.setDuration("Strobe0", 20);
    QCPGraph* lane = plot.graph(0);
    lane->setSelection(QCPDataSelection(QCPDataRange(0, lane->dataCount())));
    QVERIFY(lane->selected());
    const QPoint start(320, pixel(plot.yAxis, 33));
    sendMouse(&plot, QEvent::MouseButtonPress, start);
    QVERIFY(!plot.interactions().testFlag(QCP::iRangeDrag));
    sendMouse(&plot, QEvent::MouseMove, QPoint(320, 0));
    QCOMPARE(lane->data()->constBegin()->value, 34.0);
    QCOMPARE(points(lane).at(2).value, 38.0);   // the pulse moved with it
    sendMouse(&plot, QEvent::MouseMove, QPoint(320, plot.height() - 1));
    QCOMPARE(lane->data()->constBegin()->value, 1.0);
    sendMouse(&plot, QEvent::MouseMove, QPoint(320, pixel(plot.yAxis, 20.5)));
    QVERIFY(std::abs(lane->data()->constBegin()->value - 20.5) < 0.2);
    sendMouse(&plot, QEvent::MouseButtonRelease, QPoint(320, pixel(plot.yAxis, 20.5)));
    QVERIFY(plot.interactions().testFlag(QCP::iRangeDrag));
}

QTEST_MAIN(TestZelLineStatusPlot)
#include "tst_ZelLineStatusPlot.moc"
