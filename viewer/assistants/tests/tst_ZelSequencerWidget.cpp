#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"
#include "../../core/tests/WholeTexts.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelSequencerModel.h"
#include "ZelSequencerSettingDocument.h"
#include "ZelSequencerWidget.h"
#include "ZelAssistantXml.h"
#include "ZelSequencerItem.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
const QString g7 = QStringLiteral("GEV-G7-0007");
const QString module = QStringLiteral("remote:GEV-G7-0007");
} // namespace

class TestZelSequencerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init()
    {
        QVERIFY(session.start());
        camera = session.open(g7, "orv_gev_tl.cti");
        QVERIFY(camera);
    }
    void cleanup()
    {
        delete window;
        QVERIFY(!QApplication::overrideCursor());
        session.stop();
    }

    void opensWithConvertedSets();
    void readingStopsAtTheRowLimit();
    void addAndRemove();
    void applyWritesInOrder();
    void applyReportsFailures_data();
    void applyReportsFailures();
    void lineRule_data();
    void lineRule();
    void exportImportAndCancel();
    void importBeyondTheLimitIsRefused();
    void openingSizeShowsEveryHeading();

private:
    ZelSequencerWidget* open()
    {
        window = new ZelSequencerWidget(camera->remoteDeviceFeatures, "cam");
        return window;
    }
    int run(const QString& command) { return session.run(command); }
    void prime(int set, const char* feature, qint64 value)
    {
        QCOMPARE(run(QString("feature.set %1 %2[SeqSelector=%3] %4").arg(module, feature).arg(set).arg(value)), 0);
    }
    ZelSequencerModel* model() const { return window->model(); }
    qint64 cell(int row, int column) const { return model()->index(row, column).data().toLongLong(); }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QPointer<ZelSequencerWidget> window;
};

void TestZelSequencerWidget::opensWithConvertedSets()
{
    prime(0, "SeqInterval", 66666);
    prime(0, "PWMMax", 3333);
    prime(0, "PWMChange0", 1667);
    prime(1, "SeqPulseAStop", 66666666);
    open();
    QCOMPARE(window->windowTitle(), QString("Sequencer (cam)"));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(model()->rowCount(), 16);
    QCOMPARE(cell(0, 1), qint64(1000));
    QCOMPARE(cell(0, 6), qint64(20002));
    QCOMPARE(cell(0, 7), qint64(50));
    QCOMPARE(cell(1, 3), qint64(1000000));
    QCOMPARE(cell(15, 0), qint64(15));
    QCOMPARE(model()->index(0, 1).data(ZelSequencerModel::SeqMaximumRole).toLongLong(), qint64(32212255));
    QCOMPARE(model()->index(0, 6).data(ZelSequencerModel::SeqMaximumRole).toLongLong(), qint64(66666666));
    // The control group opens at its defaults.
    const auto& ui = window->form();
    QCOMPARE(ui.cmbTriggerSource->currentText(), QString("Line 1"));
    QCOMPARE(ui.cmbSeqTriggerMode->currentText(), QString("Trigger on high level"));
    QCOMPARE(ui.cmbOutput2->currentText(), QString("PWM 2"));
    QCOMPARE(ui.cmbSequencer->currentText(), QString("Input 1"));
    QVERIFY(!ui.chkEnableLoop->isChecked());

    // Bounds follow the camera's range.
    delete window;
    QCOMPARE(run(QString("feature.range %1 SeqInterval 1000 66666666").arg(module)), 0);
    open();
    QCOMPARE(model()->index(3, 1).data(ZelSequencerModel::SeqMinimumRole).toLongLong(), qint64(15));
    QCOMPARE(model()->index(3, 1).data(ZelSequencerModel::SeqMaximumRole).toLongLong(), qint64(1000000));
}

void TestZelSequencerWidget::readingStopsAtTheRowLimit()
{
    QCOMPARE(run(QString("feature.range %1 SeqSelector 0 100000").arg(module)), 0);
    const QStringList writes = session.writesDuring([this] { open(); }, {"SeqSelector"});
    QCOMPARE(model()->rowCount(), 16);
    QCOMPARE(writes.size(), 16);
    QCOMPARE(writes.last(), QString("SeqSelector=15 0"));
}

void TestZelSequencerWidget::addAndRemove()
{
    open();
    const auto& ui = window->form();
    ui.toolBtnAdd->click();
    QCOMPARE(model()->rowCount(), 16);
    ui.tblViewSequencer->setCurrentIndex(QModelIndex());
    ui.toolBtnRemove->click();
    QCOMPARE(model()->rowCount(), 15);
    QCOMPARE(cell(14, 0), qint64(14));
    ui.tblViewSequencer->setCurrentIndex(model()->index(2, 1));
    model()->setData(model()->index(3, 1), 7);
    ui.toolBtnRemove->click();
    QCOMPARE(model()->rowCount(), 14);
    QCOMPARE(cell(2, 1), qint64(7));
    QVERIFY(model()->removeRows(1, 13));
    ui.toolBtnRemove->click();
    QCOMPARE(model()->rowCount(), 1);
    ui.toolBtnAdd->click();
    QCOMPARE(model()->rowCount(), 2);
    for (int c = 1; c < model()->columnCount(); ++c) {
        QCOMPARE(cell(1, c), qint64(0));
        QCOMPARE(model()->index(1, c).data(ZelSequencerModel::SeqMinimumRole).toLongLong(), qint64(0));
    }
}

void TestZelSequencerWidget::applyWritesInOrder()
{
    prime(0, "PWMMax", 3333);
    prime(0, "PWMChange1", 1667);
    open();
    QVERIFY(model()->removeRows(1, 15));
    window->form().toolBtnAdd->click();
    ZelDialogs::Script script;
    const QStringList writes = session.writesDuring([this] { window->form().btnApplySettings->click(); }, {});
    QStringList expected{"SeqCount=2 0"};
    const QStringList features{"SeqInterval", "SeqPulseAStart", "SeqPulseAStop", "SeqPulseBStart", "SeqPulseBStop",
                               "PWMMax", "PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"};
    const QList<qint64> first{0, 0, 0, 0, 0, 3333, 0, 1666, 0, 0};
    for (int r = 0; r < 2; ++r) {
        expected << QString("SeqSelector=%1 0").arg(r);
        for (int i = 0; i < features.size(); ++i)
            expected << QString("%1=%2 0").arg(features.at(i)).arg(r == 0 ? first.at(i) : 0);
    }
    expected << "SeqLoop=false 0" << "SeqEnable=true 0" << "PWMEnable=true 0";
    QCOMPARE(writes.mid(0, expected.size()), expected);
    const QStringList rest = writes.mid(expected.size());
    QStringList names;
    for (const QString& w : rest)
        names << w.section('=', 0, 0);
    QCOMPARE(names.mid(0, 4), (QStringList{"TriggerMode", "TriggerSource", "ExposureMode", "SeqTriggermode"}));
    QCOMPARE(rest.at(1), QString("TriggerSource=1 0"));
    QCOMPARE(rest.at(3), QString("SeqTriggermode=1 0"));
    QVERIFY(names.contains("LineSource"));
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Information);
    QCOMPARE(script.last().text, QString("Apply Sequencer Settings Successful!"));

    const QStringList start = session.writesDuring([this] { window->form().btnStartSequencer->click(); }, {});
    QCOMPARE(start, QStringList{"SeqTrigger! 0"});
}

void TestZelSequencerWidget::applyReportsFailures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("beforeOpening");
    QTest::addColumn<QString>("reported");   // empty: none failed
    QTest::addColumn<QStringList>("notWrittenToSet0");
    QTest::newRow("SeqSelector <- 3") << "feature.fail %1 SeqSelector set -1007 after=3 count=1" << false
                                      << "SeqSelector (set 3)" << QStringList();
    QTest::newRow("one value") << "feature.fail %1 PWMMax set -1007 after=4 count=1" << false << "PWMMax (set 4)"
                               << QStringList();
    QTest::newRow("LineSelector") << "feature.fail %1 LineSelector set -1007 count=1" << false
                                  << "LineSelector (line Sequencer Input)" << QStringList();
    QTest::newRow("unreadable cell at opening")
        << "feature.fail %1 SeqPulseBStop get -1007 count=1" << true << "" << QStringList{"SeqPulseBStop"};
    QTest::newRow("unreadable period at opening")
        << "feature.fail %1 PWMMax get -1007 count=1" << true << ""
        << QStringList{"PWMMax", "PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"};
    QTest::newRow("box without items") << "feature.fail %1 SeqTriggermode info -1007 always" << true << ""
                                       << QStringList();
}

void TestZelSequencerWidget::applyReportsFailures()
{
    QFETCH(QString, failure);
    QFETCH(bool, beforeOpening);
    QFETCH(QString, reported);
    QFETCH(QStringList, notWrittenToSet0);
    prime(0, "PWMMax", 3333);
    prime(0, "PWMChange2", 1667);
    if (beforeOpening)
        QCOMPARE(run(failure.arg(module)), 0);
    open();
    if (beforeOpening)
        QCOMPARE(run("fault.clear"), 0);
    if (failure.contains("SeqTriggermode"))
        QCOMPARE(window->form().cmbSeqTriggerMode->count(), 0);
    QVERIFY(model()->removeRows(5, 11));
    if (!beforeOpening)
        QCOMPARE(run(failure.arg(module)), 0);
    ZelDialogs::Script script;
    const QStringList writes = session.writesDuring([this] { window->form().btnApplySettings->click(); }, {});
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().title, QString("Sequencer"));
    if (reported.isEmpty()) {
        QCOMPARE(script.last().icon, QMessageBox::Information);
        QCOMPARE(script.last().text, QString("Apply Sequencer Settings Successful!"));
    } else {
        QCOMPARE(script.last().icon, QMessageBox::Warning);
        QCOMPARE(script.last().text, "Apply Sequencer Settings Failed!\n" + reported);
    }
    QStringList written;
    for (const QString& w : writes)
        written << w.section('=', 0, 0).section('!', 0, 0);
    // Every line is selected, those without a box too; a box without items writes nothing.
    QCOMPARE(written.count("LineSelector"), 8);
    QCOMPARE(written.count("SeqTriggermode"), window->form().cmbSeqTriggerMode->count() > 0 ? 1 : 0);
    const int set0 = writes.indexOf("SeqSelector=0 0");
    const int set1 = writes.indexOf("SeqSelector=1 0");
    QVERIFY(set0 >= 0 && set1 > set0);
    QStringList expectedSet0{"SeqInterval", "SeqPulseAStart", "SeqPulseAStop", "SeqPulseBStart", "SeqPulseBStop",
                             "PWMMax", "PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"};
    for (const QString& name : notWrittenToSet0)
        expectedSet0.removeAll(name);
    QCOMPARE(written.mid(set0 + 1, set1 - set0 - 1), expectedSet0);
    if (notWrittenToSet0.isEmpty())
        QVERIFY(writes.contains("PWMChange2=1666 0"));
    if (reported.startsWith("SeqSelector")) {
        // Nothing of set 3 lands on set 2.
        const int failed = writes.indexOf("SeqSelector=3 -1007");
        QVERIFY(failed > 0);
        QCOMPARE(writes.at(failed + 1), QString("SeqSelector=4 0"));
    }
    if (reported.startsWith("LineSelector")) {
        const int failed = writes.indexOf("LineSelector=0 -1007");
        QVERIFY(failed > 0);
        QVERIFY(writes.at(failed + 1).startsWith("LineSelector="));
    }
}

void TestZelSequencerWidget::lineRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("box");
    QTest::newRow("sequencer trigger") << "sequencer trigger" << int(ZelSequencerLineBox::Sequencer);
    QTest::newRow("Sequenzer") << "Sequenzer In" << int(ZelSequencerLineBox::Sequencer);
    QTest::newRow("Trigger Input") << "Trigger Input" << int(ZelSequencerLineBox::Trigger);
    QTest::newRow("Output 0") << "Output 0" << int(ZelSequencerLineBox::Output0);
    QTest::newRow("Output 10") << "Output 10" << int(ZelSequencerLineBox::Output1);
    QTest::newRow("output 3") << "output 3" << int(ZelSequencerLineBox::Output3);
    QTest::newRow("Aux Line 35") << "Aux Line 35" << int(ZelSequencerLineBox::None);
}

void TestZelSequencerWidget::lineRule()
{
    QFETCH(QString, name);
    QFETCH(int, box);
    QCOMPARE(int(zelSequencerLineBox(name)), box);
}

void TestZelSequencerWidget::exportImportAndCancel()
{
    prime(2, "SeqInterval", 66666);
    open();
    QTemporaryDir files;
    const QString name = files.filePath("sets.seqsetting");
    ZelAppSettings* settings = ZelAppSettings::instance();
    settings->setValue("Directory", "SeqSettingsFileDir", "");
    {
        ZelDialogs::Script script;   // cancelled
        window->exportAction()->trigger();
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().title, QString("Export Settings"));
        QCOMPARE(script.last().filter, QString("seqsetting (*.seqsetting)"));
        QVERIFY(!script.last().hasParent);
    }
    QCOMPARE(settings->value("Directory", "SeqSettingsFileDir").toString(), QString());
    {
        ZelDialogs::Script script;
        script.answer(name);
        window->exportAction()->trigger();
        QCOMPARE(script.last().text, QString("Export Successful!"));
    }
    QCOMPARE(settings->value("Directory", "SeqSettingsFileDir").toString(), files.path());
    {
        ZelDialogs::Script script;   // a failed export still stores the folder
        script.answer(home.filePath("no/such/dir/x.seqsetting"));
        window->exportAction()->trigger();
        QCOMPARE(script.last().icon, QMessageBox::Critical);
        QCOMPARE(script.last().text, QString("Export Failed!"));
    }
    QCOMPARE(settings->value("Directory", "SeqSettingsFileDir").toString(), home.filePath("no/such/dir"));

    QVERIFY(model()->removeRows(3, 13));
    QPointer<ZelSequencerModel> before = model();
    {
        ZelDialogs::Script script;
        script.answer(name);
        window->importAction()->trigger();
        QCOMPARE(script.requests().at(0).dir, home.filePath("no/such/dir"));
        QCOMPARE(script.last().text, QString("Import Successful!"));
    }
    QVERIFY(before.isNull());
    QCOMPARE(model()->rowCount(), 16);
    QCOMPARE(cell(2, 1), qint64(1000));
    QCOMPARE(model()->index(2, 1).data(ZelSequencerModel::SeqMaximumRole).toLongLong(), qint64(32212255));
    {
        ZelDialogs::Script script;   // cancelled
        window->importAction()->trigger();
        QCOMPARE(script.count(), 1);
    }
    QCOMPARE(model()->rowCount(), 16);
}

void TestZelSequencerWidget::importBeyondTheLimitIsRefused()
{
    QTemporaryDir files;
    ZelSequencerSettingDocument document;
    for (int i = 0; i < 9; ++i) {
        ZelSequencerItem set({new ZelSequencerEntry{"SeqInterval", i, 0, 0}});
        document.appendSet(&set);
    }
    const QString name = files.filePath("nine.seqsetting");
    QVERIFY(saveDomDocument(document, name));
    QCOMPARE(run(QString("feature.range %1 SeqCount 1 8").arg(module)), 0);
    open();
    QCOMPARE(model()->rowCount(), 8);
    ZelDialogs::Script script;
    script.answer(name);
    window->importAction()->trigger();
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QCOMPARE(script.last().title, QString("Import Settings"));
    QCOMPARE(script.last().text,
             QString("Import Failed! The file holds 9 sets; this camera supports at most 8."));
    QCOMPARE(model()->rowCount(), 8);
}

void TestZelSequencerWidget::openingSizeShowsEveryHeading()
{
    open();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QHeaderView* header = window->form().tblViewSequencer->horizontalHeader();
    QCOMPARE(header->count(), 11);
    for (int c = 0; c < header->count(); ++c) {
        QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c),
                 qPrintable(model()->headerData(c, Qt::Horizontal).toString()));
    }
    const QStringList cut = zeltest::cutTexts(window);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    QVERIFY(window->width() <= 1920);
}

QTEST_MAIN(TestZelSequencerWidget)
#include "tst_ZelSequencerWidget.moc"
