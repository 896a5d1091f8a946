#include "../../core/tests/TestHome.h"
#include "SimCameraRig.h"
#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeModel.h"
#include "ZelFeatureTreeWidget.h"
#include "ZelPropertyWidget.h"
#include "ZelSearchLineEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringListModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

namespace {

QModelIndex findRow(const QAbstractItemModel* model, const QString& name)
{
    const QModelIndexList hits = model->match(model->index(0, 0), ZelFeatureTreeModel::FeatureNameRole, name, 1,
                                              Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

QStringList tabTitles(const QTabWidget* tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

} // namespace

class TestPropertyWidget : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    std::unique_ptr<SimCameraRig> rig;
    std::unique_ptr<ZelFeatureManager> remote, system, iface, device, stream;

    ZelAppSettings* settings() { return ZelAppSettings::instance(); }

    std::unique_ptr<ZelPropertyWidget> makePanel(bool readOnly = false, bool withStream = true)
    {
        auto panel = std::make_unique<ZelPropertyWidget>();
        panel->setFeatureManagers(remote.get(), system.get(), iface.get(), device.get(),
                                  withStream ? stream.get() : nullptr, readOnly, withStream);
        panel->show();
        return panel;
    }

private slots:
    void initTestCase()
    {
        // The settings live in a home of their own.
        useTestHome(home.path());
    }

    void init()
    {
        settings()->setValue("Settings", "FeatureVisibility", 2);
        settings()->setValue("Settings", "AutoSaveCount", 16);
        rig = std::make_unique<SimCameraRig>();
        QVERIFY2(rig->ready(), qPrintable(rig->problems().join("; ")));
        remote = std::make_unique<ZelFeatureManager>(rig->remote, nullptr);
        system = std::make_unique<ZelFeatureManager>(rig->system, nullptr);
        iface = std::make_unique<ZelFeatureManager>(rig->iface, nullptr);
        device = std::make_unique<ZelFeatureManager>(rig->device, nullptr);
        QVERIFY(rig->camera.stream);
        stream = std::make_unique<ZelFeatureManager>(rig->camera.stream, nullptr);
    }

    void cleanup()
    {
        stream.reset();
        device.reset();
        iface.reset();
        system.reset();
        remote.reset();
        rig.reset();
    }

    void visibilityIsClampedAndNotWrittenBack_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("7") << 7 << 2;
        QTest::newRow("-1") << -1 << 0;
        QTest::newRow("1") << 1 << 1;
    }

    void visibilityIsClampedAndNotWrittenBack()
    {
        QFETCH(int, stored);
        QFETCH(int, shown);
        settings()->setValue("Settings", "FeatureVisibility", stored);
        ZelPropertyWidget panel;
        QCOMPARE(panel.form().cmbVisibility->currentIndex(), shown);
        QCOMPARE(panel.form().cmbVisibility->currentText(),
                 QStringList({"Beginner", "Expert", "Guru"}).at(shown));
        QCOMPARE(settings()->value("Settings", "FeatureVisibility").toInt(), stored);
        QCOMPARE(panel.form().featureTreeTabWidgets->count(), 0);
    }

    void formStartsWithTheStoredCount()
    {
        settings()->setValue("Settings", "AutoSaveCount", 42);
        ZelPropertyWidget panel;
        QCOMPARE(panel.form().spinAutoSaveCount->value(), 42);
        QCOMPARE(panel.form().spinAutoSaveCount->maximum(), 1000000000);
        QVERIFY(panel.form().toolBtnSnap->isEnabled());
        QVERIFY(!panel.form().toolBtnStop->isEnabled());
        QVERIFY(!panel.form().toolBtnSave->isEnabled());
        QCOMPARE(panel.objectName(), QString("ZelPropertyWidget"));
        QCOMPARE(panel.windowTitle(), QCoreApplication::applicationName());
    }

    void tabsFollowTheModules()
    {
        auto panel = makePanel();
        QCOMPARE(tabTitles(panel->form().featureTreeTabWidgets),
                 QStringList({"Remote Device", "System", "Interface", "Device", "Data Stream"}));
        QCOMPARE(panel->form().featureTreeTabWidgets->currentIndex(), 0);
        QVERIFY(panel->form().toolBtnStart->isEnabled());
        QVERIFY(panel->form().chkAutoSave->isEnabled());
        // Once only.
        panel->setFeatureManagers(remote.get(), system.get(), nullptr, nullptr, nullptr, false, true);
        QCOMPARE(panel->form().featureTreeTabWidgets->count(), 5);

        auto withoutStream = makePanel(false, false);
        QCOMPARE(tabTitles(withoutStream->form().featureTreeTabWidgets),
                 QStringList({"Remote Device", "System", "Interface", "Device"}));
        for (QWidget* w : std::initializer_list<QWidget*>{withoutStream->form().toolBtnStart,
                                                          withoutStream->form().toolBtnSnap,
                                                          withoutStream->form().toolBtnSave,
                                                          withoutStream->form().chkAutoSave,
                                                          withoutStream->form().spinAutoSaveCount})
            QVERIFY(!w->isEnabled());
    }

    void readOnlyCameraLocksOnlyTheRemoteDevice()
    {
        auto panel = makePanel(true);
        QVERIFY(!panel->form().toolBtnStart->isEnabled());
        QVERIFY(!panel->form().chkAutoSave->isEnabled());
        const QAbstractItemModel* remoteModel = panel->treeAt(0)->model();
        const QModelIndex grid = findRow(remoteModel, "TestGridValue");
        QVERIFY(!(remoteModel->flags(grid.siblingAtColumn(1)) & Qt::ItemIsEditable));
        const QAbstractItemModel* systemModel = panel->treeAt(1)->model();
        bool editable = false;
        for (int row = 0; row < systemModel->rowCount() && !editable; ++row) {
            const QModelIndex category = systemModel->index(row, 0);
            for (int child = 0; child < systemModel->rowCount(category) && !editable; ++child)
                editable = systemModel->flags(systemModel->index(child, 1, category)) & Qt::ItemIsEditable;
        }
        QVERIFY(editable);
    }

    void acquisitionStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("settings");
        QTest::newRow("stopped") << 0 << true << false << true;
        QTest::newRow("acquiring") << 1 << false << true << false;
        QTest::newRow("snapped") << 2 << true << true << false;
        QTest::newRow("unknown keeps acquiring") << 7 << false << true << false;
    }

    void acquisitionStates()
    {
        QFETCH(int, state);
        QFETCH(bool, start);
        QFETCH(bool, stop);
        QFETCH(bool, settings);
        ZelPropertyWidget panel;
        panel.setAcquisitionState(1);
        panel.setAcquisitionState(state);
        QCOMPARE(panel.form().toolBtnStart->isEnabled(), start);
        QCOMPARE(panel.form().toolBtnStop->isEnabled(), stop);
        QCOMPARE(panel.form().toolBtnSaveLoadSettings->isEnabled(), settings);
        panel.setSaveEnabled(true);
        QVERIFY(panel.form().toolBtnSave->isEnabled());
        panel.setSaveEnabled(false);
        QVERIFY(!panel.form().toolBtnSave->isEnabled());
    }

    void buttonsBecomeSignals()
    {
        ZelPropertyWidget panel;
        panel.setAcquisitionState(2);
        panel.setSaveEnabled(true);
        panel.show();
        const ZelPropertyWidget::Form& f = panel.form();
        QSignalSpy discover(&panel, &ZelPropertyWidget::discoverButtonClicked);
        QSignalSpy start(&panel, &ZelPropertyWidget::startButtonClicked);
        QSignalSpy snap(&panel, &ZelPropertyWidget::snapButtonClicked);
        QSignalSpy stop(&panel, &ZelPropertyWidget::stopButtonClicked);
        QSignalSpy save(&panel, &ZelPropertyWidget::saveButtonClicked);
        QSignalSpy saveSettings(&panel, &ZelPropertyWidget::saveSettingsButtonClicked);
        QSignalSpy loadSettings(&panel, &ZelPropertyWidget::loadSettingsButtonClicked);
        QSignalSpy refresh(&panel, &ZelPropertyWidget::ButtonRefresh);
        for (QToolButton* b : {f.toolBtnDiscover, f.toolBtnStart, f.toolBtnSnap, f.toolBtnStop, f.toolBtnSave,
                               f.btnRefreshFeatureTree})
            b->click();
        // Settings are saved and loaded while the camera is stopped.
        panel.setAcquisitionState(0);
        f.toolBtnSaveLoadSettings->click();
        QCOMPARE(f.toolBtnSaveLoadSettings->actions().size(), 2);
        f.toolBtnSaveLoadSettings->actions().at(1)->trigger();
        int signal = 0;
        for (QSignalSpy* spy : {&discover, &start, &snap, &stop, &save, &saveSettings, &loadSettings, &refresh}) {
            QVERIFY2(spy->count() == 1, QByteArray::number(signal));
            ++signal;
        }
    }

    void automaticSaving()
    {
        ZelPropertyWidget panel;
        panel.show();
        const ZelPropertyWidget::Form& f = panel.form();
        QSignalSpy enable(&panel, &ZelPropertyWidget::autoSaveEnable);
        {
            ZelDialogs::Script script;   // cancelled
            f.chkAutoSave->click();
            QCOMPARE(script.count(), 1);
            QCOMPARE(script.last().title, QString("Open Directory"));
        }
        QVERIFY(!f.chkAutoSave->isChecked());
        QCOMPARE(enable.count(), 0);
        {
            ZelDialogs::Script script;
            script.answer(home.path());
            f.chkAutoSave->click();
        }
        QVERIFY(f.chkAutoSave->isChecked());
        QCOMPARE(enable.count(), 1);
        QCOMPARE(enable.last(), (QVariantList{true, 16}));
        QCOMPARE(settings()->value("Directory", "SaveImageDir").toString(), home.path());
        QVERIFY(!f.spinAutoSaveCount->isEnabled());
        for (int i = 0; i < 3; ++i)
            panel.OnImageSaveComplete();
        QCOMPARE(f.pbAutoSave->text(), QString("3/16"));
        QCOMPARE(f.pbAutoSave->value(), 3);
        f.chkAutoSave->click();
        QCOMPARE(enable.last(), (QVariantList{false, 16}));
        QVERIFY(f.spinAutoSaveCount->isEnabled());
        f.spinAutoSaveCount->setValue(20);
        QCOMPARE(settings()->value("Settings", "AutoSaveCount").toInt(), 20);
    }

    void visibilityChangeRebuildsEveryTree()
    {
        auto panel = makePanel();
        QVERIFY(findRow(panel->treeAt(0)->model(), "TestGuruOnly").isValid());
        panel->form().cmbVisibility->setCurrentIndex(0);
        QCOMPARE(settings()->value("Settings", "FeatureVisibility").toInt(), 0);
        QVERIFY(!findRow(panel->treeAt(0)->model(), "TestGuruOnly").isValid());
        QVERIFY(panel->treeAt(4)->model());
    }

    void switchingTabsMovesTheInvalidation()
    {
        auto panel = makePanel();
        QSignalSpy remoteSpy(remote.get(), &ZelFeatureManager::featureInvalidated);
        QSignalSpy deviceSpy(device.get(), &ZelFeatureManager::featureInvalidated);
        remote->RegisterInvalidateCB("TestGridValue");
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 3").arg(rig->module("remote"))), 0);
        QTRY_COMPARE(remoteSpy.count(), 1);

        panel->form().featureTreeTabWidgets->setCurrentIndex(3);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 5").arg(rig->module("remote"))), 0);
        QTest::qWait(20);
        QCOMPARE(remoteSpy.count(), 1);
        // The device tab is switched on: its completer lists its own names.
        const QStringList names = static_cast<QStringListModel*>(panel->searchCompleter()->model())->stringList();
        QCOMPARE(names, panel->treeAt(3)->displayNames());

        panel->form().featureTreeTabWidgets->setCurrentIndex(0);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 7").arg(rig->module("remote"))), 0);
        QTRY_COMPARE(remoteSpy.count(), 2);
        remote->UnregisterInvalidateCB("TestGridValue");
    }

    void pollingRequestsReachTheRemoteTreeOnly()
    {
        auto panel = makePanel();
        ZelFeatureTreeWidget* tree = panel->treeAt(0);
        QCOMPARE(rig->control(QStringLiteral("feature.set %1 TestGridValue 9").arg(rig->module("remote"))), 0);
        panel->OnInvalidateRequested("TestGridValue", "TestGridValue > 100");
        QCOMPARE(findRow(tree->model(), "TestGridValue").siblingAtColumn(1).data().toString(), QString("1"));
        panel->OnInvalidateRequested("TestGridValue", "TestGridValue > 1");
        QCOMPARE(findRow(tree->model(), "TestGridValue").siblingAtColumn(1).data().toString(), QString("9"));
        ZelPropertyWidget empty;
        empty.OnInvalidateRequested("TestGridValue", QString());
    }

    void updateXMLRebuildsTheRemoteDeviceTree()
    {
        auto panel = makePanel();
        QVERIFY(!findRow(panel->treeAt(0)->model(), "UpdatedFeatureCounter").isValid());
        const QAbstractItemModel* deviceModel = panel->treeAt(3)->model();
        const QModelIndex update = findRow(deviceModel, "UpdateXML");
        QVERIFY(update.isValid());
        QVERIFY(panel->treeAt(3)->model()->setData(update.siblingAtColumn(1), true, Qt::EditRole));
        QVERIFY(findRow(panel->treeAt(0)->model(), "UpdatedFeatureCounter").isValid());
        const QStringList names = static_cast<QStringListModel*>(panel->searchCompleter()->model())->stringList();
        QCOMPARE(names, panel->treeAt(0)->displayNames());

        // A device reset executed in the remote device's tree reaches the camera window.
        QSignalSpy reset(panel.get(), &ZelPropertyWidget::deviceResetCommandExecute);
        panel->treeAt(0)->onCommandFeatureClicked("DeviceReset");
        panel->treeAt(3)->onCommandFeatureClicked("DeviceReset");
        QCOMPARE(reset.count(), 1);
    }

    void completerOffersMatchesAnywhereInTheName()
    {
        auto panel = makePanel();
        QCompleter* completer = panel->searchCompleter();
        QCOMPARE(completer->filterMode(), Qt::MatchContains);
        QCOMPARE(completer->caseSensitivity(), Qt::CaseInsensitive);
        completer->setCompletionPrefix("expo");
        QVERIFY(completer->completionCount() > 0);
        for (int i = 0; completer->setCurrentRow(i); ++i)
            QVERIFY(completer->currentCompletion().contains("expo", Qt::CaseInsensitive));
    }

    void releaseLeavesTabsWithoutModels()
    {
        auto panel = makePanel();
        panel->releaseFeatureTrees();
        for (int tab = 0; tab < panel->form().featureTreeTabWidgets->count(); ++tab)
            QVERIFY(!panel->treeAt(tab)->model());
        panel->refreshCurrentTree();
        panel->form().featureTreeTabWidgets->setCurrentIndex(2);
    }
};

QTEST_MAIN(TestPropertyWidget)
#include "tst_ZelPropertyWidget.moc"
