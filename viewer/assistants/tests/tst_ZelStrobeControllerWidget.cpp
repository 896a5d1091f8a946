#include "../../shell/tests/SimWindowRig.h"

#include "ZelDialogs.h"
#include "ZelDoubleSliderBox.h"
#include "ZelFeatureManager.h"
#include "ZelLineStatusPlot.h"
#include "ZelStrobeControlPlot.h"
#include "ZelStrobeControllerWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

const QString g1 = QStringLiteral("GEV-G1-0001");
const QString g7 = QStringLiteral("GEV-G7-0007");
const QStringList strobeFeatures{"StrobeSelector", "StrobeDuration", "StrobeDelay", "StrobePolarity"};

} // namespace

class TestZelStrobeControllerWidget : public QObject, protected AssistantRig<ZelStrobeControllerWidget>
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(startSession()); }
    void cleanup() { closeAll(); }

    void openingOnlySelects_data();
    void openingOnlySelects();
    void polarityComesFromTheEntryValue_data();
    void polarityComesFromTheEntryValue();
    void invWritesSelectorThenPolarity();
    void refusedWritesPutTheRowBack_data();
    void refusedWritesPutTheRowBack();
    void cameraChangesAreShownWithoutWrites();
    void colourAndLineStyleStayInTheWindow();

private:
    const ZelStrobeControllerWidget::Form& ui() const { return window->form(); }
    ZelStrobeControlPlot* plot() const { return ui().StrobeControlPlot; }
};

void TestZelStrobeControllerWidget::openingOnlySelects_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<int>("entries");
    QTest::newRow("G1") << g1 << 4;
    QTest::newRow("G7, a fifth entry without a row") << g7 << 5;
}

void TestZelStrobeControllerWidget::openingOnlySelects()
{
    QFETCH(QString, deviceId);
    QFETCH(int, entries);
    const QStringList writes = session.writesDuring([&] { QVERIFY(open(deviceId)); }, {});
    QStringList expected;
    for (int k = 0; k < entries; ++k)
        expected << QString("StrobeSelector=%1 0").arg(k);
    QCOMPARE(writes, expected);
    QCOMPARE(window->windowTitle(), QString("Strobe Controller (cam)"));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    for (int r = 0; r < ZelStrobeControllerWidget::rowCount; ++r) {
        QCOMPARE(ui().lblStrobe[r]->text(), QString("Strobe%1").arg(r));
        QCOMPARE(ui().sbDuration[r]->value(), 100.0);
        QCOMPARE(ui().sbDelay[r]->value(), 0.0);
        QVERIFY(!ui().cmbInv[r]->isChecked());
        ZelStrobeData* lane = plot()->channelData(QString("Strobe%1").arg(r));
        QVERIFY(lane);
        QCOMPARE(lane->durationMax, 10000.0);
        QCOMPARE(lane->delayMax, 5000.0);
        QCOMPARE(lane->duration, 100.0);
    }
    // The exposure first, then the four rows; no lane for a fifth entry.
    QCOMPARE(plot()->graphCount(), 5);
    QCOMPARE(plot()->graph(0)->name(), QString("ExposureTime"));
    QCOMPARE(plot()->channelData("ExposureTime")->duration, 10000.0);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 10000));
    QVERIFY(!plot()->channelData("Strobe4"));
    QCOMPARE(plot()->graph(1)->pen().color(), QColor(Qt::red));
    QCOMPARE(plot()->graph(2)->pen().style(), Qt::DashDotDotLine);
    QCOMPARE(ui().cmbLineStyle[3]->currentIndex(), 3);
    QCOMPARE(ui().btnColor[2]->styleSheet(), QString("background-color:rgb(255, 255, 0);"));
}

void TestZelStrobeControllerWidget::polarityComesFromTheEntryValue_data()
{
    QTest::addColumn<QString>("rename");    // "<entry> <new name>", or empty
    QTest::addColumn<QString>("entry");     // Strobe1's polarity entry, by its name after renaming
    QTest::addColumn<bool>("inverted");
    QTest::newRow("negative") << "" << "negative" << true;
    QTest::newRow("positive") << "" << "positive" << false;
    QTest::newRow("value 0 renamed Positive") << "positive Positive" << "Positive" << false;
    QTest::newRow("value 1 renamed Positive") << "negative Positive" << "Positive" << true;
}

void TestZelStrobeControllerWidget::polarityComesFromTheEntryValue()
{
    QFETCH(QString, rename);
    QFETCH(QString, entry);
    QFETCH(bool, inverted);
    if (!rename.isEmpty())
        QCOMPARE(run(QString("feature.entry remote:%1 StrobePolarity %2").arg(g1, rename.section(' ', 0, 0)) +
                     " name " + rename.section(' ', 1)),
                 0);
    QCOMPARE(run(QString("feature.set remote:%1 StrobePolarity[StrobeSelector=Strobe1] %2").arg(g1, entry)), 0);
    const QStringList writes = session.writesDuring([&] { QVERIFY(open(g1)); }, {"StrobePolarity"});
    QCOMPARE(writes, QStringList());
    QCOMPARE(ui().cmbInv[1]->isChecked(), inverted);
    QCOMPARE(plot()->channelData("Strobe1")->inverted, inverted);
    QVERIFY(!ui().cmbInv[0]->isChecked());
}

void TestZelStrobeControllerWidget::invWritesSelectorThenPolarity()
{
    QVERIFY(open(g1));
    const QStringList writes = session.writesDuring([&] { ui().cmbInv[2]->click(); }, strobeFeatures);
    QCOMPARE(writes, QStringList({"StrobeSelector=2 0", "StrobePolarity=1 0"}));
    ZelStrobeData* lane = plot()->channelData("Strobe2");
    QVERIFY(lane->inverted);
    // Low-going: idle high, the pulse at the baseline.
    QCPGraph* graph = plot()->channelGraph("Strobe2");
    const double b = graph->data()->constBegin()->value;
    QCOMPARE((graph->data()->constEnd() - 1)->value, b + 4);
    const QStringList back = session.writesDuring([&] { ui().cmbInv[2]->click(); }, strobeFeatures);
    QCOMPARE(back, QStringList({"StrobeSelector=2 0", "StrobePolarity=0 0"}));
    QVERIFY(!lane->inverted);
}

void TestZelStrobeControllerWidget::refusedWritesPutTheRowBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("control");   // "delay", "duration" or "inv"
    QTest::addColumn<int>("writeCount");
    QTest::newRow("selector, delay") << "StrobeSelector set -1013" << "delay" << 1;
    QTest::newRow("delay") << "StrobeDelay set -1007" << "delay" << 2;
    QTest::newRow("selector, duration") << "StrobeSelector set -1013" << "duration" << 1;
    QTest::newRow("duration") << "StrobeDuration set -1007" << "duration" << 2;
    QTest::newRow("selector, polarity") << "StrobeSelector set -1013" << "inv" << 1;
    QTest::newRow("polarity") << "StrobePolarity set -1007" << "inv" << 2;
}

void TestZelStrobeControllerWidget::refusedWritesPutTheRowBack()
{
    QFETCH(QString, fault);
    QFETCH(QString, control);
    QFETCH(int, writeCount);
    QVERIFY(open(g1));
    // Strobe3 is selected after opening; the edit is Strobe1's.
    QCOMPARE(run("feature.set " + module + " StrobeDelay[StrobeSelector=Strobe1] 25"), 0);
    QCOMPARE(run("feature.fail " + module + " " + fault), 0);
    const QStringList writes = session.writesDuring([&] {
        if (control == "delay")
            ui().sbDelay[1]->setValue(50);
        else if (control == "duration")
            ui().sbDuration[1]->setValue(70);
        else
            ui().cmbInv[1]->click();
    }, strobeFeatures);
    QCOMPARE(writes.size(), writeCount);
    QCOMPARE(writes.first(), QString("StrobeSelector=1 %1").arg(writeCount == 1 ? "-1013" : "0"));
    QVERIFY2(writes.last().endsWith(writeCount == 1 ? " -1013" : " -1007"), qPrintable(writes.last()));
    ZelStrobeData* lane = plot()->channelData("Strobe1");
    // A failed selector write restores what the row showed (the delay read
    // at opening, 0); once the selector addresses Strobe1, the row shows what
    // the camera holds (25): the refused value is put back, and the
    // selector's change tells of the delay set behind the window's back.
    const double delay = writeCount == 1 ? 0.0 : 25.0;
    QCOMPARE(ui().sbDelay[1]->value(), delay);
    QCOMPARE(lane->delay, delay);
    QCOMPARE(ui().sbDuration[1]->value(), 100.0);
    QCOMPARE(lane->duration, 100.0);
    QVERIFY(!ui().cmbInv[1]->isChecked());
    QVERIFY(!lane->inverted);
}

void TestZelStrobeControllerWidget::cameraChangesAreShownWithoutWrites()
{
    QVERIFY(open(g7));
    // The window hears of the settings without the feature tree's help.
    ZelFeatureManager* features = camera->remoteDeviceFeatures;
    QVERIFY(features->SetValueEnum("StrobeSelector", "Strobe1"));
    QStringList writes = session.writesDuring([&] {
        QCOMPARE(run("feature.set " + module + " StrobeDelay 42"), 0);
        QCOMPARE(run("feature.set " + module + " StrobePolarity negative"), 0);
    }, strobeFeatures);
    QCOMPARE(writes, QStringList());
    QCOMPARE(ui().sbDelay[1]->value(), 42.0);
    QCOMPARE(plot()->channelData("Strobe1")->delay, 42.0);
    QVERIFY(ui().cmbInv[1]->isChecked());
    QVERIFY(plot()->channelData("Strobe1")->inverted);

    // Under Strobe4 no row changes.
    QVERIFY(features->SetValueEnum("StrobeSelector", "Strobe4"));
    writes = session.writesDuring([&] { QCOMPARE(run("feature.set " + module + " StrobeDelay 17"), 0); },
                                  strobeFeatures);
    QCOMPARE(writes, QStringList());
    for (int r = 0; r < ZelStrobeControllerWidget::rowCount; ++r)
        QVERIFY(ui().sbDelay[r]->value() != 17.0);
}

void TestZelStrobeControllerWidget::colourAndLineStyleStayInTheWindow()
{
    QVERIFY(open(g1));
    ZelDialogs::Script dialogs;
    const QString before = ui().btnColor[0]->styleSheet();
    QStringList writes = session.writesDuring([&] { ui().btnColor[0]->click(); }, {});
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().kind, ZelDialogs::Kind::Color);
    QVERIFY(!dialogs.last().hasParent);
    QCOMPARE(ui().btnColor[0]->styleSheet(), before);
    dialogs.answer(QColor(Qt::red));
    ui().btnColor[1]->click();
    QCOMPARE(ui().btnColor[1]->styleSheet(), QString("background-color:rgb(255, 0, 0);"));
    QCOMPARE(plot()->channelGraph("Strobe1")->pen().color(), QColor(Qt::red));
    writes += session.writesDuring([&] { ui().cmbLineStyle[0]->setCurrentIndex(2); }, {});
    QCOMPARE(plot()->channelGraph("Strobe0")->pen().style(), Qt::DotLine);
    QCOMPARE(writes, QStringList());
}

QTEST_MAIN(TestZelStrobeControllerWidget)
#include "tst_ZelStrobeControllerWidget.moc"
