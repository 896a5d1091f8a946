#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelAppSettings.h"
#include "ZelLineStatusPlot.h"
#include "ZelLineStatusWidget.h"

#include <QComboBox>
#include <QPointer>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

const QString g1 = QStringLiteral("GEV-G1-0001");
const QString g7 = QStringLiteral("GEV-G7-0007");

QString laneName(ZelLineStatusPlot* plot, int lane)
{
    auto* ticker = dynamic_cast<QCPAxisTickerText*>(plot->yAxis->ticker().data());
    return ticker ? ticker->ticks().value(2 + 5 * lane) : QStringLiteral("<no ticker>");
}

} // namespace

class TestZelLineStatusWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init()
    {
        QVERIFY(session.start());
        for (int k = 1; k <= 8; ++k)
            ZelAppSettings::instance()->setValue("Settings", QString("LSGraph%1").arg(k), QString());
    }
    void cleanup()
    {
        delete window;
        session.stop();
    }

    void savedLinesAreRestored_data();
    void savedLinesAreRestored();
    void ticksSampleByEntryValue();
    void startPauseReset();
    void changingASelectorClearsOnlyItsLane();
    void withoutLineSelectorTheSelectorsStayEmpty();
    void hoverReachesTheStatusBar();

private:
    ZelLineStatusWidget* open(const QString& deviceId)
    {
        camera = session.open(deviceId, "orv_gev_tl.cti");
        if (!camera)
            return nullptr;
        window = new ZelLineStatusWidget(camera->remoteDeviceFeatures, "cam");
        return window;
    }
    const ZelLineStatusWidget::Form& ui() const { return window->form(); }
    ZelLineStatusPlot* plot() const { return ui().LineStatusPlot; }
    void tick() { QVERIFY(QMetaObject::invokeMethod(window, "_onTimeOut")); }
    int run(const QString& command) { return session.run(command); }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QPointer<ZelLineStatusWidget> window;
};

void TestZelLineStatusWidget::savedLinesAreRestored_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("lane");
    QTest::newRow("third entry") << "Line2" << 3 << "Line2";
    QTest::newRow("Off") << "Off" << 0 << "";
    QTest::newRow("unknown name") << "Line9" << 0 << "";
    QTest::newRow("other letter case") << "line2" << 0 << "";
}

void TestZelLineStatusWidget::savedLinesAreRestored()
{
    QFETCH(QString, saved);
    QFETCH(int, item);
    QFETCH(QString, lane);
    ZelAppSettings::instance()->setValue("Settings", "LSGraph3", saved);
    ZelAppSettings::instance()->setValue("Settings", "LSGraph1", "Line0");
    QVERIFY(open(g1));
    QCOMPARE(window->windowTitle(), QString("Line Status (cam)"));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(ui().cmbGraph[2]->count(), 5);
    QCOMPARE(ui().cmbGraph[2]->itemText(0), QString("Off"));
    QCOMPARE(ui().cmbGraph[2]->currentIndex(), item);
    QCOMPARE(laneName(plot(), 2), lane);
    QCOMPARE(plot()->graph(2)->visible(), item > 0);
    QCOMPARE(ui().cmbGraph[0]->currentText(), QString("Line0"));
    QCOMPARE(laneName(plot(), 0), QString("Line0"));
    // Opening stores nothing and leaves sampling stopped.
    QCOMPARE(ZelAppSettings::instance()->value("Settings", "LSGraph3", QString()).toString(), saved);
    QVERIFY(ui().btnStart->isEnabled());
    QVERIFY(!ui().btnPause->isEnabled());
    QVERIFY(!window->samplingTimer().isActive());
}

void TestZelLineStatusWidget::ticksSampleByEntryValue()
{
    QVERIFY(open(g7));
    ui().cmbGraph[0]->setCurrentText("Aux Line 35");
    ui().cmbGraph[1]->setCurrentText("Aux Line 64");
    ui().cmbGraph[2]->setCurrentText("Output 0");
    QCOMPARE(run("line.level G7 \"Aux Line 35\" 1"), 0);
    QCOMPARE(run("line.level G7 \"Aux Line 64\" 1"), 0);
    QCOMPARE(run("line.level G7 \"Output 0\" 0"), 0);
    tick();
    QCOMPARE(plot()->graph(0)->dataCount(), 1);
    QCOMPARE(plot()->graph(0)->data()->constBegin()->value, 6.0);   // high
    QCOMPARE(plot()->graph(1)->data()->constBegin()->value, 7.0);   // value 64: always low
    QCOMPARE(plot()->graph(2)->data()->constBegin()->value, 12.0);
    QCOMPARE(plot()->graph(3)->dataCount(), 0);                      // "Off"
    QCOMPARE(run("line.level G7 \"Aux Line 35\" 0"), 0);
    QCOMPARE(run("line.level G7 \"Output 0\" 1"), 0);
    tick();
    QCOMPARE((plot()->graph(0)->data()->constEnd() - 1)->value, 2.0);
    QCOMPARE((plot()->graph(2)->data()->constEnd() - 1)->value, 16.0);
    // A failed read adds nothing.
    QCOMPARE(run("feature.fail remote:G7 LineStatusAll get -1013"), 0);
    tick();
    for (int lane = 0; lane < 3; ++lane)
        QCOMPARE(plot()->graph(lane)->dataCount(), 2);
    tick();
    QCOMPARE(plot()->graph(0)->dataCount(), 3);
}

void TestZelLineStatusWidget::startPauseReset()
{
    QVERIFY(open(g1));
    ui().cmbGraph[0]->setCurrentText("Line0");
    ui().spinInterval->setValue(20);
    ui().btnStart->click();
    QVERIFY(!ui().btnStart->isEnabled());
    QVERIFY(ui().btnPause->isEnabled());
    QVERIFY(window->samplingTimer().isActive());
    QCOMPARE(window->samplingTimer().interval(), 20);
    QCOMPARE(plot()->interactions(), QCP::Interactions(QCP::iRangeZoom));
    QTRY_VERIFY(plot()->graph(0)->dataCount() >= 2);
    ui().spinInterval->setValue(1000);
    QCOMPARE(window->samplingTimer().interval(), 1000);

    ui().btnPause->click();
    QVERIFY(ui().btnStart->isEnabled());
    QVERIFY(!ui().btnPause->isEnabled());
    QVERIFY(!window->samplingTimer().isActive());
    QVERIFY(plot()->interactions().testFlag(QCP::iRangeDrag));
    const int kept = plot()->graph(0)->dataCount();
    QVERIFY(kept >= 2);

    ui().btnStart->click();
    ui().btnReset->click();
    QVERIFY(ui().btnStart->isEnabled());
    QVERIFY(!ui().btnPause->isEnabled());
    QVERIFY(!window->samplingTimer().isActive());
    QCOMPARE(plot()->graph(0)->dataCount(), 0);
    QCOMPARE(plot()->xAxis->range().upper, 0.0);
}

void TestZelLineStatusWidget::changingASelectorClearsOnlyItsLane()
{
    QVERIFY(open(g1));
    ui().cmbGraph[0]->setCurrentText("Line0");
    ui().cmbGraph[1]->setCurrentText("Line1");
    tick();
    tick();
    ui().cmbGraph[0]->setCurrentText("Line3");
    QCOMPARE(plot()->graph(0)->dataCount(), 0);
    QCOMPARE(plot()->graph(1)->dataCount(), 2);
    QCOMPARE(laneName(plot(), 0), QString("Line3"));
    QCOMPARE(ZelAppSettings::instance()->value("Settings", "LSGraph1", QString()).toString(), QString("Line3"));
    tick();
    QCOMPARE(plot()->graph(0)->dataCount(), 1);

    ui().cmbGraph[1]->setCurrentIndex(0);
    QCOMPARE(plot()->graph(1)->dataCount(), 0);
    QVERIFY(!plot()->graph(1)->visible());
    QCOMPARE(laneName(plot(), 1), QString());
    QCOMPARE(ZelAppSettings::instance()->value("Settings", "LSGraph2", QString()).toString(), QString("Off"));
    ui().cmbGraph[1]->setCurrentText("Line2");
    QVERIFY(plot()->graph(1)->visible());
}

void TestZelLineStatusWidget::withoutLineSelectorTheSelectorsStayEmpty()
{
    QCOMPARE(run("feature.absent remote:" + g1 + " LineSelector"), 0);
    QVERIFY(open(g1));
    for (QComboBox* box : ui().cmbGraph)
        QCOMPARE(box->count(), 0);
    ui().btnStart->click();
    tick();
    for (int lane = 0; lane < ZelLineStatusPlot::laneCount; ++lane)
        QCOMPARE(plot()->graph(lane)->dataCount(), 0);
}

void TestZelLineStatusWidget::hoverReachesTheStatusBar()
{
    QVERIFY(open(g1));
    emit plot()->lineHovered("Line2", "ON", "00:01:23.500");
    QCOMPARE(ui().statusBar->lineLabel()->text(), QString("Line: Line2"));
    QCOMPARE(ui().statusBar->timeLabel()->text(), QString("Time: 00:01:23.500"));
    QCOMPARE(ui().statusBar->statusLabel()->text(), QString("Status: ON"));
}

QTEST_MAIN(TestZelLineStatusWidget)
#include "tst_ZelLineStatusWidget.moc"
