#include "../../shell/tests/SimWindowRig.h"

#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelIOConfigTable.h"
#include "ZelIOConfigWidget.h"
#include "ZelSequencerWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString g1 = QStringLiteral("GEV-G1-0001");
const QString g7 = QStringLiteral("GEV-G7-0007");

// A wheel step over the widget as the window system delivers it, so that an
// ignored event goes on to the parents.
void sendWheel(QWidget* widget, int delta)
{
    const QPoint centre = widget->rect().center();
    QWheelEvent event(centre, widget->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    // As from the window system: an ignored wheel goes on to the parents.
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(widget, &event);
}

} // namespace

class TestZelIOConfigWidget : public QObject, protected AssistantRig<ZelIOConfigWidget>
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(startSession()); }
    void cleanup() { closeAll(); }

    void rowsFollowTheLines_data();
    void rowsFollowTheLines();
    void lampsFollowTheEntryValue_data();
    void lampsFollowTheEntryValue();
    void inverterWritesSelectorThenValue();
    void refusedWritesPutTheBoxBack_data();
    void refusedWritesPutTheBoxBack();
    void invalidationRefreshesTheSelectedRowOnly();
    void otherWritersReachTheRows_data();
    void otherWritersReachTheRows();
    void activationRereadsEveryLine();
    void wheelScrollsUnlessTheBoxHasFocus();
    void eachRowSelectsItsOwnEntry();
    void withoutLinesTheTableStaysEmpty();

private:
    ZelIOConfigItem* item(int row) const { return window->lineItems().at(row); }
    QTableWidget* table() const { return window->form().tableWidget; }
    QString selected()
    {
        QString state;
        session.run("state.get " + module + " LineSelector", &state);
        return state.section("LineSelector=", 1).section(" available=", 0, 0);
    }
};

void TestZelIOConfigWidget::rowsFollowTheLines_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("modes");
    QTest::addColumn<QList<int>>("sourceCounts");   // 0: a disabled, empty box
    QTest::newRow("G1") << g1 << QStringList{"Line0", "Line1", "Line2", "Line3"}
                        << QStringList{"Input", "Input", "Output", "Output"} << QList<int>{0, 0, 3, 3};
    QTest::newRow("G7") << g7
                        << QStringList{"Sequencer Input", "Trigger Input", "Output 0", "Output 1", "Output 2",
                                       "Output 3", "Aux Line 35", "Aux Line 64"}
                        << QStringList{"Input", "Input", "Output", "Output", "Output", "Output", "Input", "Input"}
                        << QList<int>{2, 3, 7, 7, 7, 7, 0, 0};
}

void TestZelIOConfigWidget::rowsFollowTheLines()
{
    QFETCH(QString, deviceId);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, modes);
    QFETCH(QList<int>, sourceCounts);
    const QStringList writes = session.writesDuring([&] { QVERIFY(open(deviceId)); }, {});
    QCOMPARE(window->windowTitle(), QString("IO Config(cam)"));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(table()->rowCount(), lines.size());
    QCOMPARE(window->lineItems().size(), lines.size());
    for (int r = 0; r < lines.size(); ++r) {
        // Each row's cells and widgets are those of one line, in line order.
        QCOMPARE(table()->item(r, 1)->text(), lines.at(r));
        QCOMPARE(table()->item(r, 0)->text(), modes.at(r));
        QCOMPARE(item(r)->lineName, lines.at(r));
        QCOMPARE(item(r)->lineIndex, qint64(r));
        QCOMPARE(table()->cellWidget(r, 2), static_cast<QWidget*>(item(r)->inverterBox));
        QCOMPARE(table()->cellWidget(r, 3), static_cast<QWidget*>(item(r)->sourceBox));
        QCOMPARE(table()->cellWidget(r, 4), static_cast<QWidget*>(item(r)->statusWidget));
        QCOMPARE(item(r)->sourceBox->count(), sourceCounts.at(r));
        QCOMPARE(item(r)->sourceBox->isEnabled(), sourceCounts.at(r) > 0);
        QVERIFY(!(table()->item(r, 0)->flags() & Qt::ItemIsEnabled));
    }
    // Opening only selects lines, each by its entry; the last one stays
    // selected. The index past the last entry never reaches the camera.
    QStringList expected;
    for (ZelIOConfigItem* line : window->lineItems())
        expected << QString("LineSelector=%1 0").arg(line->lineValue);
    QCOMPARE(writes, expected);
    QCOMPARE(selected(), lines.last());
    // Sorting waits for the operator.
    QVERIFY(table()->isSortingEnabled());
    table()->sortByColumn(1, Qt::DescendingOrder);
    QCOMPARE(table()->item(0, 1)->text(), *std::max_element(lines.begin(), lines.end()));
    for (int r = 0; r < lines.size(); ++r) {
        const QString name = table()->item(r, 1)->text();
        const int line = lines.indexOf(name);
        QCOMPARE(table()->cellWidget(r, 3), static_cast<QWidget*>(item(line)->sourceBox));
    }
}

void TestZelIOConfigWidget::lampsFollowTheEntryValue_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QStringList>("high");        // lines pinned high; every other line low
    QTest::addColumn<QList<bool>>("lamps");
    QTest::newRow("G1 rows 0 and 2") << g1 << QStringList{"Line0", "Line2"} << QList<bool>{true, false, true, false};
    QTest::newRow("G7 by entry value") << g7 << QStringList{"Output 0", "Aux Line 35", "Aux Line 64"}
                                       << QList<bool>{false, false, true, false, false, false, true, false};
}

void TestZelIOConfigWidget::lampsFollowTheEntryValue()
{
    QFETCH(QString, deviceId);
    QFETCH(QStringList, high);
    QFETCH(QList<bool>, lamps);
    QVERIFY(open(deviceId));
    // Every lamp has one size, lit or not, changed or not.
    const auto lampSize = [](const ZelIOConfigItem* line) { return line->statusWidget->label()->pixmap(Qt::ReturnByValue).size(); };
    for (ZelIOConfigItem* line : window->lineItems())
        QCOMPARE(lampSize(line), QSize(24, 24));
    for (ZelIOConfigItem* line : window->lineItems())
        QCOMPARE(run(QString("line.level %1 \"%2\" %3").arg(deviceId, line->lineName).arg(high.contains(line->lineName))), 0);
    for (int r = 0; r < lamps.size(); ++r)
        QTRY_COMPARE(item(r)->statusWidget->status(), lamps.at(r));
    // The lamps follow a change within a tick or two.
    const QString first = item(0)->lineName;
    QCOMPARE(run(QString("line.level %1 \"%2\" %3").arg(deviceId, first).arg(!lamps.at(0))), 0);
    QTRY_COMPARE(item(0)->statusWidget->status(), !lamps.at(0));
    for (ZelIOConfigItem* line : window->lineItems())
        QCOMPARE(lampSize(line), QSize(24, 24));
}

void TestZelIOConfigWidget::inverterWritesSelectorThenValue()
{
    QVERIFY(open(g1));
    QSignalSpy refresh(window.data(), &ZelIOConfigWidget::requestInvalidate);
    const QStringList writes = session.writesDuring([&] { item(2)->inverterBox->checkBox()->click(); },
                                                    {"LineSelector", "LineInverter", "LineSource"});
    QCOMPARE(writes, QStringList({"LineSelector=2 0", "LineInverter=true 0"}));
    QCOMPARE(refresh.count(), 1);
    QString state;
    run("state.get " + module + " LineInverter", &state);
    QVERIFY2(state.contains("LineInverter[LineSelector=Line2]=1"), qPrintable(state));
}

void TestZelIOConfigWidget::refusedWritesPutTheBoxBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("source");             // the source box, else the inverter
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<int>("refreshes");
    QTest::newRow("selector, inverter") << "LineSelector set -1013" << false
                                        << QStringList{"LineSelector=2 -1013"} << 0;
    QTest::newRow("inverter") << "LineInverter set -1007" << false
                              << QStringList{"LineSelector=2 0", "LineInverter=true -1007"} << 1;
    QTest::newRow("selector, source") << "LineSelector set -1013" << true
                                      << QStringList{"LineSelector=2 -1013"} << 0;
    QTest::newRow("source") << "LineSource set -1007" << true
                            << QStringList{"LineSelector=2 0", "LineSource=1 -1007"} << 1;
}

void TestZelIOConfigWidget::refusedWritesPutTheBoxBack()
{
    QFETCH(QString, fault);
    QFETCH(bool, source);
    QFETCH(QStringList, writes);
    QFETCH(int, refreshes);
    QVERIFY(open(g1));
    QCOMPARE(run("feature.fail " + module + " " + fault), 0);
    QSignalSpy refresh(window.data(), &ZelIOConfigWidget::requestInvalidate);
    ZelIOConfigItem* line = item(2);
    QSignalSpy toggled(line, &ZelIOConfigItem::lineInvertCheckBoxToggled);
    QSignalSpy chosen(line, &ZelIOConfigItem::lineSourceComboBoxCurrentIndexChanged);
    const auto choose = [&] {
        if (source)
            line->sourceBox->setCurrentIndex(1);
        else
            line->inverterBox->checkBox()->click();
    };
    const QStringList features{"LineSelector", "LineInverter", "LineSource"};
    const QStringList got = session.writesDuring(choose, features);
    QCOMPARE(got, writes);
    QCOMPARE(refresh.count(), refreshes);
    // Back at the camera's value, without a further write.
    QCOMPARE(line->inverterBox->checkBox()->isChecked(), false);
    QCOMPARE(line->sourceBox->currentText(), QString("Off"));
    QCOMPARE(toggled.count() + chosen.count(), 1);
    // The next choice is written again.
    const QStringList again = session.writesDuring(choose, features);
    QCOMPARE(again.size(), 2);
    QVERIFY2(again.last().endsWith(" 0"), qPrintable(again.last()));
}

void TestZelIOConfigWidget::invalidationRefreshesTheSelectedRowOnly()
{
    QVERIFY(open(g1));
    ZelFeatureManager* features = camera->remoteDeviceFeatures;
    // The camera's selector addresses Line3 after opening. Changed unheard,
    // so that only the signals below reach the window.
    features->EnableInvalidation(false);
    QCOMPARE(run("feature.set " + module + " LineInverter[LineSelector=Line3] 1"), 0);
    QCOMPARE(run("feature.set " + module + " LineInverter[LineSelector=Line1] 1"), 0);
    features->EnableInvalidation(true);
    QSignalSpy refresh(window.data(), &ZelIOConfigWidget::requestInvalidate);
    emit features->featureInvalidated("LineMode");
    QVERIFY(!item(3)->inverterBox->checkBox()->isChecked());
    QCOMPARE(refresh.count(), 0);
    const QStringList writes = session.writesDuring([&] { emit features->featureInvalidated("lineinverter"); },
                                                    {"LineSelector", "LineInverter"});
    QVERIFY(item(3)->inverterBox->checkBox()->isChecked());
    QVERIFY(!item(1)->inverterBox->checkBox()->isChecked());
    // The box's change writes the same value back once.
    QCOMPARE(writes, QStringList({"LineSelector=3 0", "LineInverter=true 0"}));
    QCOMPARE(refresh.count(), 1);
}

void TestZelIOConfigWidget::otherWritersReachTheRows_data()
{
    QTest::addColumn<bool>("sequencer"); // else single writes, as the tree or a TCP client make them
    QTest::newRow("sequencer's apply") << true;
    QTest::newRow("selector, then source") << false;
}

// The window hears of the line features whether or not the feature tree
// shows them: nothing but the window watches here.
void TestZelIOConfigWidget::otherWritersReachTheRows()
{
    QFETCH(bool, sequencer);
    QVERIFY(open(g7));
    ZelIOConfigItem* output0 = item(2);
    QCOMPARE(output0->lineName, QString("Output 0"));
    QCOMPARE(output0->sourceBox->currentText(), QString("Off"));
    ZelFeatureManager* features = camera->remoteDeviceFeatures;
    if (sequencer) {
        // Opened with its defaults: "PWM 0" for Output 0.
        QPointer<ZelSequencerWidget> other = new ZelSequencerWidget(features, "cam");
        ZelDialogs::Script dialogs;
        other->form().btnApplySettings->click();
        QCOMPARE(dialogs.last().text, QString("Apply Sequencer Settings Successful!"));
        delete other;
    } else {
        QVERIFY(features->SetValueEnum("LineSelector", "Output 0"));
        QVERIFY(features->SetValueEnum("LineSource", "PWM 0"));
        QVERIFY(features->SetValue("LineInverter", true));
    }
    QCOMPARE(output0->sourceBox->currentText(), QString("PWM 0"));
    if (!sequencer)
        QVERIFY(output0->inverterBox->checkBox()->isChecked());
}

void TestZelIOConfigWidget::activationRereadsEveryLine()
{
    QVERIFY(open(g7));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // Another window is the active one meanwhile.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(!window->isActiveWindow());
    // Changed where the window cannot hear it: camera-side, on lines the
    // selector does not address.
    ZelFeatureManager* features = camera->remoteDeviceFeatures;
    features->EnableInvalidation(false);
    QCOMPARE(run("feature.set " + module + " \"LineSource[LineSelector=Output 1]\" \"PWM 1\""), 0);
    QCOMPARE(run("feature.set " + module + " \"LineInverter[LineSelector=Output 3]\" 1"), 0);
    features->EnableInvalidation(true);
    QCOMPARE(item(3)->sourceBox->currentText(), QString("Off"));
    QVERIFY(!item(5)->inverterBox->checkBox()->isChecked());
    const QString before = selected();

    QSignalSpy refresh(window.data(), &ZelIOConfigWidget::requestInvalidate);
    const QStringList writes = session.writesDuring(
        [&] {
            QApplication::setActiveWindow(window);
            QTRY_VERIFY(window->isActiveWindow());
        },
        {"LineInverter", "LineSource"});
    QCOMPARE(item(3)->sourceBox->currentText(), QString("PWM 1"));
    QVERIFY(item(5)->inverterBox->checkBox()->isChecked());
    // Read, not written back; the camera's selector as it was.
    QCOMPARE(writes, QStringList());
    QCOMPARE(refresh.count(), 0);
    QCOMPARE(selected(), before);
}

void TestZelIOConfigWidget::wheelScrollsUnlessTheBoxHasFocus()
{
    QVERIFY(open(g7));
    window->resize(400, 140);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QScrollBar* bar = table()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(0);
    ZelComboBox* box = item(2)->sourceBox;
    const int before = box->currentIndex();
    const QStringList quiet = session.writesDuring([&] { sendWheel(box, -120); }, {"LineSource"});
    QVERIFY(bar->value() > 0);
    QCOMPARE(box->currentIndex(), before);
    QCOMPARE(quiet, QStringList());

    QApplication::setActiveWindow(window);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    const int scrolled = bar->value();
    const QStringList written = session.writesDuring([&] { sendWheel(box, -120); }, {"LineSource"});
    QCOMPARE(box->currentIndex(), before + 1);
    QCOMPARE(bar->value(), scrolled);
    QCOMPARE(written.size(), 1);
}

void TestZelIOConfigWidget::eachRowSelectsItsOwnEntry()
{
    QVERIFY(open(g7));
    for (int r = 0; r < window->lineItems().size(); ++r) {
        const QStringList writes =
            session.writesDuring([&] { item(r)->inverterBox->checkBox()->click(); }, {"LineSelector"});
        QCOMPARE(writes, QStringList{QString("LineSelector=%1 0").arg(item(r)->lineValue)});
        QCOMPARE(selected(), item(r)->lineName);
    }
}

void TestZelIOConfigWidget::withoutLinesTheTableStaysEmpty()
{
    QCOMPARE(run("feature.absent remote:" + g1 + " LineStatusAll"), 0);
    QVERIFY(open(g1));
    QCOMPARE(table()->rowCount(), 0);
    QVERIFY(window->lineItems().isEmpty());
}

QTEST_MAIN(TestZelIOConfigWidget)
#include "tst_ZelIOConfigWidget.moc"
