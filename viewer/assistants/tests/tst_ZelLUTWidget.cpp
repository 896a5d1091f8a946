#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelAppSettings.h"
#include "ZelConstants.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelLUTModel.h"
#include "ZelLUTSettingsFile.h"
#include "ZelLUTView.h"
#include "ZelLUTWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>


class TestZelLUTWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init() { QVERIFY(session.start()); }
    void cleanup()
    {
        delete editor;
        QVERIFY(!QApplication::overrideCursor());
        session.stop();
    }

    void readsAndAppliesWhereItRead_data();
    void readsAndAppliesWhereItRead();
    void unreadableTableGivesNone_data();
    void unreadableTableGivesNone();
    void enableWritesOnce();
    void applyReselectsTheEntryAndWritesEnable();
    void refusedWritesAreReportedOnce();
    void exportThenImport();
    void shortFileReplacesItsEntriesOnly();
    void fileWithoutTablesFails();
    void importRefusals_data();
    void importRefusals();
    void editsSwitchToManualMode();

private:
    bool open(const QString& deviceId, const QString& producer = "orv_gev_tl.cti")
    {
        camera = session.open(deviceId, producer);
        module = "remote:" + deviceId;
        return camera != nullptr;
    }
    ZelLUTWidget* makeEditor()
    {
        editor = new ZelLUTWidget(camera->remoteDeviceFeatures, "cam");
        return editor;
    }
    int run(const QString& command) { return session.run(command); }
    QStringList record(const std::function<void()>& action, const QStringList& features)
    {
        return session.writesDuring(action, features);
    }
    const ZelLUTWidget::Form& ui() const { return editor->form(); }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QString module;
    QPointer<ZelLUTWidget> editor;
};

void TestZelLUTWidget::readsAndAppliesWhereItRead_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<int>("entries");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("selector");
    QTest::newRow("G1") << "GEV-G1-0001" << "orv_gev_tl.cti" << 4096 << 4095.0 << 1 << QStringList{"Luminance"};
    QTest::newRow("G2") << "GEV-G2-0002" << "orv_gev_tl.cti" << 256 << 255.0 << 4
                        << QStringList{"Red", "Green", "Blue"};
    QTest::newRow("C2") << "CL-C2-0402" << "orv_cl_tl.cti" << 1024 << 4095.0 << 1 << QStringList{"Luminance"};
}

void TestZelLUTWidget::readsAndAppliesWhereItRead()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(int, entries);
    QFETCH(double, maxValue);
    QFETCH(int, step);
    QFETCH(QStringList, selector);
    QVERIFY(open(deviceId, producer));
    makeEditor();
    QCOMPARE(editor->windowTitle(), QString("LUT Editor(cam)"));
    QVERIFY(editor->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(editor->model());
    QCOMPARE(editor->model()->rowCount(), entries);
    QCOMPARE(editor->model()->headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxValueRole).toDouble(), maxValue);
    QStringList items;
    for (int i = 0; i < ui().cmbLUTSelector->count(); ++i)
        items << ui().cmbLUTSelector->itemText(i);
    QCOMPARE(items, selector);
    QVERIFY(!ui().cmbLUTSelector->isEnabled());
    QVERIFY(ui().rbManual->isChecked());
    QCOMPARE(ui().lblControlHint->text(), ZelConstants::LutHelpText);

    ui().LUTView->invert();
    const QVector<double> table = ui().LUTView->values();
    const QStringList writes =
        record([this] { ui().btnSaveLUTSettings->click(); }, {"LUTIndex", "LUTValue", "LUTEnable"});
    QCOMPARE(writes.size(), 2 * entries + 1);
    for (int i = 0; i < entries; ++i) {
        QCOMPARE(writes.at(2 * i), QString("LUTIndex=%1 0").arg(i * step));
        QVERIFY2(writes.at(2 * i + 1).startsWith("LUTValue="), qPrintable(writes.at(2 * i + 1)));
    }
    QVERIFY(writes.last().startsWith("LUTEnable="));
    QVERIFY(!QApplication::overrideCursor());
    // A new editor reads back what was written, at the same places.
    delete editor;
    makeEditor();
    QCOMPARE(ui().LUTView->values(), table);
}

void TestZelLUTWidget::unreadableTableGivesNone_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("LUTValue read fails at index 7") << "feature.fail %1 LUTValue get -1009 after=7";
    QTest::newRow("increment 0") << "feature.range %1 LUTIndex 0 4095 0";
    QTest::newRow("LUTValue unreadable") << "feature.readable %1 LUTValue 0";
}

void TestZelLUTWidget::unreadableTableGivesNone()
{
    QFETCH(QString, fault);
    QVERIFY(open("GEV-G1-0001"));
    QCOMPARE(run(fault.arg(module)), 0);
    makeEditor();
    QVERIFY(!editor->model());
    QVERIFY(!ui().LUTView->model());
    QCOMPARE(ui().lblControlHint->text(), QString());
    // Nothing to apply, export or invert.
    ZelDialogs::Script dialogs;
    const QStringList writes = record([this] {
        ui().btnSaveLUTSettings->click();
        ui().btnInvert->click();
        ui().chkEnable->click();
    }, {"LUTIndex", "LUTValue", "LUTEnable"});
    QCOMPARE(writes, QStringList());
    QCOMPARE(dialogs.count(), 0);

    // Import: a file of any size ends silently, one that is not XML fails.
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    const bool enabled = ui().chkEnable->isChecked();
    QVERIFY(ZelLUTSettingsFile().save(path, {{"Luminance", !enabled, QVector<double>(5000, 1.0)}}));
    dialogs.answer(path);
    ui().btnImport->click();
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(ui().chkEnable->isChecked(), enabled);
    QFile broken(dir.filePath("broken.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<LUTSetting><LUTSelector>");
    broken.close();
    dialogs.answer(broken.fileName());
    ui().btnImport->click();
    QCOMPARE(dialogs.count(), 3);
    QVERIFY2(dialogs.last().text.startsWith("Import Failed!\nThe file is not well-formed XML"),
             qPrintable(dialogs.last().text));
}

void TestZelLUTWidget::enableWritesOnce()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    const bool was = ui().chkEnable->isChecked();
    const QStringList writes = record([this] { ui().chkEnable->click(); }, {"LUTEnable", "LUTIndex", "LUTValue"});
    QCOMPARE(writes, QStringList{QString("LUTEnable=%1 0").arg(was ? "false" : "true")});
}

void TestZelLUTWidget::applyReselectsTheEntryAndWritesEnable()
{
    QVERIFY(open("GEV-G2-0002"));
    QVERIFY(camera->remoteDeviceFeatures->SetValueEnum("LUTSelector", "Green"));
    makeEditor();
    QCOMPARE(ui().cmbLUTSelector->currentText(), QString("Green"));
    // The camera's selector moves while the editor is open.
    QVERIFY(camera->remoteDeviceFeatures->SetValueEnum("LUTSelector", "Blue"));
    ui().chkEnable->setChecked(true);
    const QStringList writes =
        record([this] { ui().btnSaveLUTSettings->click(); }, {"LUTSelector", "LUTEnable"});
    QCOMPARE(writes, QStringList({"LUTSelector=Green 0", "LUTEnable=true 0"}));
}

void TestZelLUTWidget::refusedWritesAreReportedOnce()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    QCOMPARE(run("feature.fail " + module + " LUTValue set -1007 count=3"), 0);
    ZelDialogs::Script dialogs;
    ui().btnSaveLUTSettings->click();
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().title, QString("Apply LUT Settings"));
    QVERIFY2(dialogs.last().text.contains("3 of 4096"), qPrintable(dialogs.last().text));
    // Without refusals Apply says nothing.
    ui().btnSaveLUTSettings->click();
    QCOMPARE(dialogs.count(), 1);
}

void TestZelLUTWidget::exportThenImport()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    QTemporaryDir dir;
    ZelAppSettings::instance()->setValue("Directory", "LutSettingsFileDir", home.path());
    ui().spinGamma->setValue(2.0);
    ui().chkEnable->setChecked(true);
    const QVector<double> exported = ui().LUTView->values();

    ZelDialogs::Script dialogs;
    dialogs.answer(dir.filePath("curve"));
    ui().btnExport->click();
    QCOMPARE(dialogs.requests().first().title, QString("Export Settings"));
    QCOMPARE(dialogs.requests().first().dir, home.path());
    QCOMPARE(dialogs.requests().first().filter, QString("xml (*.xml)"));
    QCOMPARE(dialogs.last().text, QString("Export Successful!"));
    QVERIFY(QFile::exists(dir.filePath("curve.xml")));
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "LutSettingsFileDir").toString(), dir.path());

    ui().btnReset->click();
    ui().chkEnable->setChecked(false);
    QVERIFY(ui().LUTView->values() != exported);
    dialogs.answer(dir.filePath("curve.xml"));
    const QStringList writes = record([this] { ui().btnImport->click(); }, {"LUTEnable", "LUTValue"});
    QCOMPARE(writes, QStringList());   // the camera learns of it only through Apply
    QCOMPARE(dialogs.last().text, QString("Import Successful!"));
    QVERIFY(ui().chkEnable->isChecked());
    QVector<double> rounded;
    for (double v : exported)
        rounded << ZelLUTSettingsFile::roundedValue(v);
    QCOMPARE(ui().LUTView->values(), rounded);
    // Cancelled dialogs change nothing and store nothing.
    ZelAppSettings::instance()->setValue("Directory", "LutSettingsFileDir", home.path());
    ui().btnExport->click();
    ui().btnImport->click();
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "LutSettingsFileDir").toString(), home.path());
    QCOMPARE(ui().LUTView->values(), rounded);
}

void TestZelLUTWidget::shortFileReplacesItsEntriesOnly()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    QTemporaryDir dir;
    const QString path = dir.filePath("short.xml");
    QVERIFY(ZelLUTSettingsFile().save(path, {{"Luminance", false, QVector<double>(100, 42.0)}}));
    const QVector<double> before = ui().LUTView->values();
    QSignalSpy changed(editor->model(), &QAbstractItemModel::dataChanged);
    ZelDialogs::Script dialogs;
    dialogs.answer(path);
    ui().btnImport->click();
    const QVector<double> after = ui().LUTView->values();
    QCOMPARE(after.mid(0, 100), QVector<double>(100, 42.0));
    QCOMPARE(after.mid(100), before.mid(100));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), 99);
}

void TestZelLUTWidget::fileWithoutTablesFails()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.xml");
    QVERIFY(ZelLUTSettingsFile().save(path, {}));
    ZelDialogs::Script dialogs;
    dialogs.answer(path);
    ui().btnImport->click();
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().title, QString("Import Settings"));
    QCOMPARE(dialogs.last().text, QString("Import Failed!\nThe file holds no \"LUTSelector\" table."));
}

namespace {

QByteArray lutFile(const QByteArray& data, const QByteArray& tail = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LUTSetting>\n<LUTSelector name=\"Luminance\" enable=\"1\">\n" +
           data + "</LUTSelector>\n" + tail + "</LUTSetting>\n";
}

QByteArray lutEntries(int count, int value)
{
    QByteArray data;
    for (int i = 0; i < count; ++i)
        data += "<LUTData index=\"" + QByteArray::number(i) + "\" value=\"" + QByteArray::number(value) + "\"/>\n";
    return data;
}

} // namespace

void TestZelLUTWidget::importRefusals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    // G1's table: 4096 entries of 0 to 4095. The entry too many ends the
    // reading: what follows it (here no XML at all) is never read.
    QTest::newRow("one entry too many")
        << lutFile(lutEntries(4097, 1) + "<<< not XML") << "The file's table holds more than 4096 entries; the camera's table holds 4096.";
    QTest::newRow("above the range") << lutFile(lutEntries(3, 7) + "<LUTData index=\"3\" value=\"4096\"/>")
                                     << "Entry 4 has the value 4096; the camera's table holds 0 to 4095.";
    QTest::newRow("below the range") << lutFile("<LUTData index=\"0\" value=\"-1\"/>")
                                     << "Entry 1 has the value -1; the camera's table holds 0 to 4095.";
    QTest::newRow("fraction") << lutFile("<LUTData index=\"0\" value=\"12.5\"/>")
                              << "Entry 1 has the value \"12.5\", which is not a whole number.";
    QTest::newRow("no value") << lutFile("<LUTData index=\"0\"/>")
                              << "Entry 1 has the value \"\", which is not a whole number.";
    QTest::newRow("wrong root") << QByteArray("<Settings><LUTSelector/></Settings>")
                                << "The file's root element is \"Settings\", not \"LUTSetting\".";
    QTest::newRow("not XML") << QByteArray("LUTData;0;1\n") << "The file is not well-formed XML";
    QTest::newRow("empty") << QByteArray() << "The file is not well-formed XML";
}

void TestZelLUTWidget::importRefusals()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ui().spinGamma->setValue(2.0);
    const QVector<double> before = ui().LUTView->values();
    const bool enabled = ui().chkEnable->isChecked();
    QSignalSpy changed(editor->model(), &QAbstractItemModel::dataChanged);
    ZelDialogs::Script dialogs;
    dialogs.answer(path);
    ui().btnImport->click();
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().title, QString("Import Settings"));
    const QString text = dialogs.last().text;
    QVERIFY2(text.startsWith("Import Failed!\n" + reason), qPrintable(text));
    // Nothing of the file reached the table or the Enable box.
    QCOMPARE(ui().LUTView->values(), before);
    QCOMPARE(ui().chkEnable->isChecked(), enabled);
    QCOMPARE(changed.count(), 0);
}

void TestZelLUTWidget::editsSwitchToManualMode()
{
    QVERIFY(open("GEV-G1-0001"));
    makeEditor();
    for (QAbstractButton* action : {static_cast<QAbstractButton*>(ui().btnInvert),
                                    static_cast<QAbstractButton*>(ui().btnReset)}) {
        ui().rbKnee->setChecked(true);
        QCOMPARE(ui().LUTView->mode(), 1);
        QCOMPARE(ui().lblControlHint->text(), ZelConstants::PointEditorHelpText);
        const QVector<double> before = ui().LUTView->values();
        action->click();
        QCOMPARE(ui().LUTView->mode(), 0);
        QCOMPARE(ui().lblControlHint->text(), ZelConstants::LutHelpText);
        QCOMPARE(ui().LUTView->title(), QString("Look-up Table Values (Manual)"));
        if (action == ui().btnInvert)
            QCOMPARE(ui().LUTView->values().first(), 4095.0 - before.first());
    }
    // The gamma box re-applies its curve when it gets the focus.
    ui().rbKnee->setChecked(true);
    {
        const QSignalBlocker blocker(ui().spinGamma);
        ui().spinGamma->setValue(2.0);
    }
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(ui().spinGamma, &focus);
    QCOMPARE(ui().LUTView->mode(), 0);
    QVERIFY(std::abs(ui().LUTView->values().at(2048) - 2048.0 * 2048.0 / 4095.0) < 1e-9);
}

QTEST_MAIN(TestZelLUTWidget)
#include "tst_ZelLUTWidget.moc"
