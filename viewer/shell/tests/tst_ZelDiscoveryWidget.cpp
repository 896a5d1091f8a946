#include "../../core/tests/TestHome.h"
#include "../../core/tests/ZelSimSdk.h"

#include "ZelAppSettings.h"
#include "ZelCameraManager.h"
#include "ZelDialogs.h"
#include "ZelDiscoverTreeItem.h"
#include "ZelDiscoveryController.h"
#include "ZelDiscoveryTreeView.h"
#include "ZelDiscoveryWidget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using zeltest::SimWorldSdk;

namespace {

QStringList cameraKeys(const QAbstractItemModel* model)
{
    QStringList keys;
    if (!model)
        return keys;
    for (int group = 0; group < model->rowCount(); ++group) {
        const QModelIndex groupIndex = model->index(group, 0);
        for (int row = 0; row < model->rowCount(groupIndex); ++row)
            keys << model->index(row, 0, groupIndex).data(ZelDiscoverTreeItem::CameraKeyRole).toString();
    }
    return keys;
}

QString setting(const char* key)
{
    return ZelAppSettings::instance()->value("Settings", key).toString();
}

} // namespace

// The discovery window over camera managers of the simulated SDK.
class TestZelDiscoveryWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void withoutManagers();
    void rememberedTypeSurvivesRefill();
    void listingAndSelection();
    void clicksOnTheTreeSelectAndOpen_data();
    void clicksOnTheTreeSelectAndOpen();
    void keysChooseTheCameraOkOpens();
    void refreshUnderRunningDiscovery();
    void cameraLinkPortsAndProbe();
    void reportDuringSelectionIsApplied();
    void ipToolStart();

private:
    QList<ZelCameraManager*> makeManagers(const QStringList& files);
    // The window over the GigE producer, shown, with its seven cameras listed.
    bool showGigECameras()
    {
        makeManagers({"orv_gev_tl.cti"});
        widget.reset(new ZelDiscoveryWidget(managers));
        widget->show();
        return QTest::qWaitFor([this] { return cameraKeys(tree()->model()).size() == 7; }, 5000);
    }
    ZelDiscoveryTreeView* tree() { return widget->findChild<ZelDiscoveryTreeView*>("treeViewDiscover"); }
    QComboBox* types() { return widget->findChild<QComboBox*>("cmbCameraType"); }
    QComboBox* ports() { return widget->findChild<QComboBox*>("cmbCLPortID"); }

    QTemporaryDir home;
    std::unique_ptr<SimWorldSdk> sdk;
    std::unique_ptr<ZelDiscoveryWidget> widget;
    QList<ZelCameraManager*> managers;
};

void TestZelDiscoveryWidget::initTestCase()
{
    // Settings of this run only.
    useTestHome(home.path());
}

void TestZelDiscoveryWidget::init()
{
    QVERIFY(zeltest::startWorld(sdk));
}

void TestZelDiscoveryWidget::cleanup()
{
    widget.reset();
    qDeleteAll(managers);
    managers.clear();
    sdk.reset();
}

QList<ZelCameraManager*> TestZelDiscoveryWidget::makeManagers(const QStringList& files)
{
    for (const QString& file : files) {
        const int index = SimWorldSdk::systemIndex(file);
        if (index < 0)
            qWarning("no system for %s", qPrintable(file));
        else
            managers << new ZelCameraManager(index);
    }
    return managers;
}

void TestZelDiscoveryWidget::withoutManagers()
{
    widget.reset(new ZelDiscoveryWidget({}));
    QCOMPARE(types()->count(), 0);
    widget->show();
    QVERIFY(widget->findChild<QLabel*>("lblDiscoverStatus")->isVisible());
    QVERIFY(!tree()->isVisible());
    QVERIFY(!widget->findChild<QPushButton*>("btnOk")->isEnabled());
    QCOMPARE(widget->windowTitle(), QString("Discovery"));
}

void TestZelDiscoveryWidget::rememberedTypeSurvivesRefill()
{
    ZelAppSettings::instance()->setValue("Settings", "LastUsedTLType", "U3V");
    makeManagers({"orv_gev_tl.cti", "orv_u3v_tl.cti", "orv_cl_tl.cti"});
    widget.reset(new ZelDiscoveryWidget(managers));
    QCOMPARE(types()->count(), 3);
    QCOMPARE(types()->currentData().toString(), QString("U3V"));
    QCOMPARE(types()->itemText(0), QString("GigE Vision"));
    QCOMPARE(setting("LastUsedTLType"), QString("U3V"));

    // New managers without U3V: the first entry is shown, the stored type stays.
    widget->reset();
    QList<ZelCameraManager*> gigeOnly = {managers.at(0)};
    widget->init(gigeOnly, false);
    QCOMPARE(types()->currentData().toString(), QString("GEV"));
    QCOMPARE(setting("LastUsedTLType"), QString("U3V"));

    // Back with all managers: U3V again, and an operator change is stored.
    widget->reset();
    widget->init(managers, false);
    QCOMPARE(types()->currentData().toString(), QString("U3V"));
    types()->setCurrentIndex(types()->findData("CL"));
    QCOMPARE(setting("LastUsedTLType"), QString("CL"));
    QVERIFY(widget->findChild<QWidget*>("grpCLOptions")->isVisibleTo(widget.get()));
    QVERIFY(!widget->findChild<QWidget*>("btnRefresh")->isVisibleTo(widget.get()));
    ZelAppSettings::instance()->setValue("Settings", "LastUsedTLType", "GEV");
}

void TestZelDiscoveryWidget::listingAndSelection()
{
    makeManagers({"orv_gev_tl.cti", "orv_u3v_tl.cti"});
    widget.reset(new ZelDiscoveryWidget(managers));
    types()->setCurrentIndex(types()->findData("GEV"));
    widget->init(managers, true); // lists at once, as after new managers
    const QStringList gige = {"gev-if-0/GEV-G1-0001", "gev-if-0/GEV-G2-0002", "gev-if-0/GEV-G3-0003",
                              "gev-if-0/GEV-G4-0004", "gev-if-1/GEV-G5-0005", "gev-if-1/GEV-G6-0006",
                              "gev-if-1/GEV-G7-0007"};
    QTRY_COMPARE(cameraKeys(tree()->model()), gige);
    QVERIFY(widget->findChild<QPushButton*>("btnOk")->isEnabled());
    QCOMPARE(tree()->model()->index(0, 0).data().toString(), QString("NORRIK-OMBREL GmbH"));

    const QModelIndex group = tree()->model()->index(0, 0);
    const QModelIndex g3 = tree()->model()->index(2, 0, group);
    QCOMPARE(g3.data().toString(), QString("SIM-G640M (Read-Only)"));
    QItemSelectionModel* selection = tree()->selectionModel();

    // A group row selects nothing; a detail row selects its camera and all details.
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_clicked", Q_ARG(QModelIndex, group));
    QVERIFY(!selection->hasSelection());
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_clicked",
                              Q_ARG(QModelIndex, tree()->model()->index(3, 0, g3)));
    QCOMPARE(selection->selectedIndexes().size(), 6);
    QVERIFY(selection->isSelected(g3));
    // Clicking the selected camera again clears the selection.
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_clicked", Q_ARG(QModelIndex, g3));
    QVERIFY(!selection->hasSelection());

    QSignalSpy picked(widget.get(), &ZelDiscoveryWidget::cameraSelected);
    QTest::mouseClick(widget->findChild<QPushButton*>("btnOk"), Qt::LeftButton); // nothing selected
    QCOMPARE(picked.count(), 0);
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_doubleClicked", Q_ARG(QModelIndex, group));
    QCOMPARE(picked.count(), 0);
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_clicked", Q_ARG(QModelIndex, g3));
    QTest::mouseClick(widget->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.at(0).at(0).value<ZelCameraInfo>().cameraKey(), QString("gev-if-0/GEV-G3-0003"));
    QVERIFY(!selection->hasSelection());

    // A camera that failed to open leaves the tree.
    widget->removeCamera("gev-if-0/GEV-G3-0003");
    QVERIFY(!cameraKeys(tree()->model()).contains("gev-if-0/GEV-G3-0003"));
}

void TestZelDiscoveryWidget::clicksOnTheTreeSelectAndOpen_data()
{
    QTest::addColumn<int>("detailRow"); // -1: the camera's name row
    QTest::newRow("name row") << -1;
    QTest::newRow("detail row") << 2;
}

// With the mouse, as an operator does: the view's own press handling must
// not fight the click handler.
void TestZelDiscoveryWidget::clicksOnTheTreeSelectAndOpen()
{
    QFETCH(int, detailRow);
    QVERIFY(showGigECameras());
    const QModelIndex group = tree()->model()->index(0, 0);
    const QModelIndex g1 = tree()->model()->index(0, 0, group);
    const QModelIndex clicked = detailRow < 0 ? g1 : tree()->model()->index(detailRow, 0, g1);
    QItemSelectionModel* selection = tree()->selectionModel();
    const auto click = [this](const QModelIndex& index) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, tree()->visualRect(index).center());
    };

    click(group);
    QVERIFY(!selection->hasSelection());
    click(clicked);
    QVERIFY(selection->isSelected(g1));
    QCOMPARE(selection->selectedIndexes().size(), 6);
    click(clicked);
    QVERIFY(!selection->hasSelection());

    click(clicked);
    QVERIFY(selection->isSelected(g1));
    QSignalSpy picked(widget.get(), &ZelDiscoveryWidget::cameraSelected);
    QTest::mouseClick(widget->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.at(0).at(0).value<ZelCameraInfo>().cameraKey(), QString("gev-if-0/GEV-G1-0001"));
}

// Click one camera, then reach another with the keyboard: the list shows the
// one the keys reached selected, and OK opens that one.
void TestZelDiscoveryWidget::keysChooseTheCameraOkOpens()
{
    QVERIFY(showGigECameras());
    const QModelIndex group = tree()->model()->index(0, 0);
    const QModelIndex g1 = tree()->model()->index(0, 0, group);
    const QModelIndex g2 = tree()->model()->index(1, 0, group);
    QVERIFY(g2.data().toString().startsWith("SIM-G1280C"));
    QItemSelectionModel* selection = tree()->selectionModel();
    QSignalSpy picked(widget.get(), &ZelDiscoveryWidget::cameraSelected);
    QPushButton* ok = widget->findChild<QPushButton*>("btnOk");
    // Far enough from an earlier test's click not to make a double click.
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, tree()->visualRect(g1).center(),
                      QApplication::doubleClickInterval() + 100);
    QVERIFY(selection->isSelected(g1));

    // Typing the start of a name.
    QTest::keyClicks(tree(), "SIM-G1280C");
    QCOMPARE(tree()->currentIndex(), g2);
    QVERIFY(selection->isSelected(g2));
    QVERIFY(!selection->isSelected(g1));
    QCOMPARE(selection->selectedIndexes().size(), 6); // the camera with its details
    QVERIFY(tree()->isExpanded(g1)); // its '-' searched on

    // An arrow key onto a detail row of the camera above chooses that camera.
    QTest::keyClick(tree(), Qt::Key_Up);
    QCOMPARE(tree()->currentIndex().parent(), g1);
    QVERIFY(selection->isSelected(g1));
    QVERIFY(!selection->isSelected(g2));
    // A group row chooses none.
    QTest::keyClick(tree(), Qt::Key_Home);
    QCOMPARE(tree()->currentIndex(), group);
    QVERIFY(!selection->hasSelection());
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(picked.count(), 0);

    // A new search once the typing pause has passed.
    QTest::qWait(QApplication::keyboardInputInterval() + 100);
    QTest::keyClicks(tree(), "SIM-G1280C");
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.at(0).at(0).value<ZelCameraInfo>().cameraKey(), QString("gev-if-0/GEV-G2-0002"));
}

void TestZelDiscoveryWidget::refreshUnderRunningDiscovery()
{
    makeManagers({"orv_gev_tl.cti", "orv_u3v_tl.cti"});
    widget.reset(new ZelDiscoveryWidget(managers));
    types()->setCurrentIndex(types()->findData("GEV"));
    QCOMPARE(sdk->control.run("log.calls on"), 0);
    widget->show();
    QVERIFY(managers.at(0)->IsDiscovering());
    QVERIFY(managers.at(1)->IsDiscovering());
    for (int i = 0; i < 5; ++i) {
        QTest::mouseClick(widget->findChild<QToolButton*>("btnRefresh"), Qt::LeftButton);
        QTest::qWait(20);
    }
    QTRY_COMPARE(cameraKeys(tree()->model()).size(), 7);
    widget->hide();
    QVERIFY(!managers.at(0)->IsDiscovering());
    QVERIFY(!managers.at(1)->IsDiscovering());

    std::string calls;
    QCOMPARE(sdk->control.run("log.calls.get", &calls), 0);
    QMap<QString, int> opens;
    const QRegularExpression open("^OrvSystemInterfaceOpen\\(.*interfaceId=\"([^\"]+)\"\\) = 0$");
    for (const QString& line : QString::fromStdString(calls).split('\n')) {
        const QRegularExpressionMatch match = open.match(line);
        if (match.hasMatch())
            ++opens[match.captured(1)];
    }
    QVERIFY2(!opens.isEmpty(), qPrintable(QString::fromStdString(calls).left(2000)));
    for (auto it = opens.cbegin(); it != opens.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key() + " opened " + QString::number(it.value()) + " times"));

    // Hidden: the lists of the watched types were emptied.
    QVERIFY(tree()->isEmpty("GEV"));
}

void TestZelDiscoveryWidget::cameraLinkPortsAndProbe()
{
    ZelAppSettings::instance()->setValue("Settings", "LastUsedCLPort", "Camera Link port 2 (ttyS2)");
    makeManagers({"orv_cl_tl.cti", "orv_gev_tl.cti", "orv_clhs_tl.cti"});
    widget.reset(new ZelDiscoveryWidget(managers));
    widget->init(managers, true);
    QCOMPARE(ports()->count(), 5);
    QCOMPARE(ports()->currentText(), QString("Camera Link port 2 (ttyS2)"));
    // A second listing adds no port twice and keeps the remembered one.
    widget->reset();
    widget->init(managers, true);
    QCOMPARE(ports()->count(), 5);
    QCOMPARE(ports()->currentText(), QString("Camera Link port 2 (ttyS2)"));
    QCOMPARE(setting("LastUsedCLPort"), QString("Camera Link port 2 (ttyS2)"));

    types()->setCurrentIndex(types()->findData("CL"));
    QVERIFY(tree()->isEmpty("CL")); // Camera Link lists only after a probe
    QTest::mouseClick(widget->findChild<QPushButton*>("btnCLProbeDevice"), Qt::LeftButton);
    QCOMPARE(cameraKeys(tree()->model()), QStringList({"cl-port-2/CL-C2-0402"}));
    QVERIFY(widget->findChild<QPushButton*>("btnOk")->isEnabled());

    // The slow camera is never found by the probe; the choice is stored.
    ports()->setCurrentIndex(3);
    QCOMPARE(setting("LastUsedCLPort"), QString("Camera Link port 3 (ttyS3)"));
    QTest::mouseClick(widget->findChild<QPushButton*>("btnCLProbeDevice"), Qt::LeftButton);
    QVERIFY(tree()->isEmpty("CL"));
    QVERIFY(!widget->findChild<QPushButton*>("btnOk")->isEnabled());

    // A Camera Link HS port is probed into the CLHS tree.
    types()->setCurrentIndex(types()->findData("CLHS"));
    for (int i = 0; i < ports()->count(); ++i) {
        if (ZelUtil::RecordText(ports()->itemData(i).value<ORV_INTERFACE_INFO>().id) == "clhs-if-0")
            ports()->setCurrentIndex(i);
    }
    QTest::mouseClick(widget->findChild<QPushButton*>("btnCLProbeDevice"), Qt::LeftButton);
    QCOMPARE(cameraKeys(tree()->model()), QStringList({"clhs-if-0/CLHS-H1-0501"}));
    QVERIFY(tree()->isEmpty("CL"));
    ZelAppSettings::instance()->setValue("Settings", "LastUsedCLPort", "");
}

void TestZelDiscoveryWidget::reportDuringSelectionIsApplied()
{
    makeManagers({"orv_gev_tl.cti"});
    widget.reset(new ZelDiscoveryWidget(managers));
    widget->init(managers, true);
    QTRY_COMPARE(cameraKeys(tree()->model()).size(), 7);
    const QModelIndex g1 = tree()->model()->index(0, 0, tree()->model()->index(0, 0));
    QMetaObject::invokeMethod(widget.get(), "on_treeViewDiscover_clicked", Q_ARG(QModelIndex, g1));
    QVERIFY(tree()->selectionModel()->hasSelection());

    ZelCameraInfoList one;
    one << g1.data(ZelDiscoverTreeItem::CameraInfoRole).value<ZelCameraInfo>();
    emit widget->discoveryController()->discoveredCameraListChanged("GEV", one);
    QCOMPARE(cameraKeys(tree()->model()).size(), 7); // kept while selected

    tree()->selectionModel()->clearSelection();
    QCOMPARE(cameraKeys(tree()->model()), QStringList({"gev-if-0/GEV-G1-0001"}));
}

void TestZelDiscoveryWidget::ipToolStart()
{
    QTemporaryDir bin;
    const QString record = bin.filePath("args");
    QFile script(bin.filePath(ZelDiscoveryWidget::ipToolLauncher()));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QString("#!/bin/sh\necho \"$@\" > '%1'\n").arg(record).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);

    widget.reset(new ZelDiscoveryWidget({}));
    auto* button = widget->findChild<QToolButton*>("toolBtnSettings");
    QAction* ipTool = nullptr;
    for (QAction* action : button->actions()) {
        if (action->text() == "IP Config Tool...")
            ipTool = action;
    }
    QVERIFY(ipTool);
    QCOMPARE(button->defaultAction()->text(), QString("TL Settings..."));

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    {
        ZelDialogs::Script dialogs;
        ipTool->trigger();
        QCOMPARE(dialogs.count(), 0);
        auto written = [&record] {
            QFile args(record);
            return args.open(QIODevice::ReadOnly) ? args.readAll().trimmed() : QByteArray();
        };
        QTRY_COMPARE(written(), QByteArray("Netvane-x86_64"));
    }
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    {
        ZelDialogs::Script dialogs;
        ipTool->trigger();
        QCOMPARE(dialogs.count(), 1);
        QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
        QVERIFY(dialogs.last().text.contains("Netvane-x86_64"));
    }
    qputenv("PATH", path);
}

QTEST_MAIN(TestZelDiscoveryWidget)
#include "tst_ZelDiscoveryWidget.moc"
