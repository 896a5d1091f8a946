#include "../core/tests/SimSdk.h"
#include "MainWindowRig.h"
#include "ViewerTestHome.h"

#include "ZelCameraManager.h"
#include "ZelDialogs.h"
#include "ZelDiscoveryWidget.h"
#include "ZelLUTWidget.h"
#include "ZelMainWindow.h"
#include "ZelSdkLoader.h"
#include "ZelSoftwarePollingItemInfo.h"
#include "ZelStartup.h"
#include "ZelTcpServerWidget.h"
#include "ZelUtil.h"

#include <QAction>
#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStyle>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>


class TestZelMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void withoutSdkFolder();
    void startUp();
    void firstShowDoesNotBlock();
    void tcpPortMenu();
    void failingRecordKeepsIndices();
    void oneManagerPerProducer();
    void openFindAndCloseCameras();
    void refusedCameras();
    void readOnlyWindowHasNoAssistants();
    void correctionMenusShowTheCamerasState_data();
    void correctionMenusShowTheCamerasState();
    void shutdownWithCamerasOpen();
    void tcpRequestsReachTheActiveCameraWindow();

private:
    std::unique_ptr<MainWindowTestProcess> process;
    SimControl* control = nullptr;
};

void TestZelMainWindow::initTestCase()
{
    process = std::make_unique<MainWindowTestProcess>();
    control = &process->control;
    QVERIFY(control->valid());
}

void TestZelMainWindow::init()
{
    QCOMPARE(control->run("world.reset"), 0);
    QCOMPARE(control->run("fault.clear"), 0);
}

void TestZelMainWindow::cleanup()
{
    control->run("fault.clear");
    QVERIFY(!ZelSdkLoader::instance()->isInitialised());
}

void TestZelMainWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("windowsStyle");
    QTest::addColumn<quint32>("port");

    QTest::newRow("nothing") << QStringList{"Kalveen"} << false << 0u;
    QTest::newRow("port") << QStringList{"Kalveen", "tcpP", "5025"} << false << 5025u;
    QTest::newRow("port and style") << QStringList{"Kalveen", "tcpP", "5025", "winStyle"} << true << 5025u;
    QTest::newRow("style first") << QStringList{"Kalveen", "winStyle", "tcpP", "5025"} << true << 0u;
    QTest::newRow("capitals") << QStringList{"Kalveen", "TCPP", "5025"} << false << 0u;
    QTest::newRow("no number") << QStringList{"Kalveen", "tcpP", "abc"} << false << 0u;
    QTest::newRow("no port") << QStringList{"Kalveen", "tcpP"} << false << 0u;
    QTest::newRow("above 65535") << QStringList{"Kalveen", "tcpP", "70000"} << false << 0u;
    QTest::newRow("65536 is not 0") << QStringList{"Kalveen", "tcpP", "65536"} << false << 0u;
    QTest::newRow("largest") << QStringList{"Kalveen", "tcpP", "65535"} << false << 65535u;
    QTest::newRow("negative") << QStringList{"Kalveen", "tcpP", "-1"} << false << 0u;
    QTest::newRow("style word in other case") << QStringList{"Kalveen", "winstyle"} << false << 0u;
    QTest::newRow("program named winStyle") << QStringList{"winStyle"} << false << 0u;
    QTest::newRow("other words") << QStringList{"Kalveen", "resetSetting", "winStyle"} << true << 0u;
}

void TestZelMainWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, windowsStyle);
    QFETCH(quint32, port);
    const ZelMainWindow::CommandLine line = ZelMainWindow::parseArguments(arguments);
    QCOMPARE(line.windowsStyle, windowsStyle);
    QCOMPARE(line.tcpPort, port);
}

void TestZelMainWindow::withoutSdkFolder()
{
    const QByteArray folder = qgetenv("NORRIK_SDK_BIN_32");
    qunsetenv("NORRIK_SDK_BIN_32");
    {
        ZelDialogs::Script dialogs;
        ZelMainWindow window;
        QVERIFY(!window.init({"Kalveen"}));
        QCOMPARE(dialogs.count(), 1);
        QVERIFY(window.cameraManagers().isEmpty());
        QVERIFY(window.discoveryWidget() == nullptr);
    }
    qputenv("NORRIK_SDK_BIN_32", folder);
}

void TestZelMainWindow::startUp()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen", "winStyle"}));
    QCOMPARE(QApplication::style()->objectName().toLower(), QString("windows"));
    QCOMPARE(window.windowTitle(), QString("Kalveen 2.5.15.3209"));
    // The default selection: the maker's producers but Brox, and the preferred one.
    QCOMPARE(managerFiles(window.cameraManagers()),
             QStringList({"coaxlink.cti", "orv_cl_tl.cti", "orv_gev_tl.cti", "orv_gev_tl_rdma.cti", "orv_u3v_tl.cti"}));
    QVERIFY(!window.menuBar()->isNativeMenuBar());
    QStringList bar;
    for (QAction* action : window.menuBar()->actions())
        bar << action->text();
    QCOMPARE(bar, QStringList({"&File", "&Settings", "&Assistants", "&Discovery"}));
    for (const char* name : {"actionE_xit", "actionEnable", "actionLogError", "actionSet_Log_File_Directory",
                             "actionSoftware_Polling", "actionBMP", "actionLUT_Widget", "actionSelectCustom",
                             "actionGenerateMap", "actionLoadMap", "actionSaveMap", "actionenablcorrection",
                             "actionSelectMap2", "actionLoadShadingMap", "actionColorCorrection", "actionFile_Access"})
        QVERIFY2(window.findChild<QAction*>(name), name);
    QVERIFY(!window.findChild<QAction*>("actionLUT_Widget")->isEnabled());
    QVERIFY(!window.findChild<QAction*>("actionColorCorrection")->isEnabled());
    QVERIFY(window.findChild<QAction*>("actionBMP")->actionGroup()->isExclusive());
    QVERIFY(window.findChild<QAction*>("actionSelectCustom")->actionGroup()->isExclusive());
    QApplication::setStyle("fusion");
}

void TestZelMainWindow::firstShowDoesNotBlock()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    // The discovery window opens after the first show has returned.
    window.show();
    QVERIFY(!window.discoveryWidget()->isVisible());
    QTRY_VERIFY(window.discoveryWidget()->isVisible());
    // Later shows do not open it again.
    window.discoveryWidget()->hide();
    window.hide();
    window.show();
    QTest::qWait(700);
    QVERIFY(!window.discoveryWidget()->isVisible());
}

void TestZelMainWindow::tcpPortMenu()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen", "tcpP", "5025"}));
    QCOMPARE(window.tcpPort(), 5025u);
    QCOMPARE(window.menuBar()->actions().last()->text(), QString("&TcpServer"));

    ZelMainWindow wrong;
    ZelSdkLoader::instance()->close(); // a second window loads the SDK again
    QVERIFY(wrong.init({"Kalveen", "tcpP", "99999"}));
    QCOMPARE(wrong.tcpPort(), 0u);
    QCOMPARE(wrong.menuBar()->actions().last()->text(), QString("&Discovery"));
}

void TestZelMainWindow::failingRecordKeepsIndices()
{
    // The SDK lists the producer files by name.
    const int index = QDir(SUITE_CTI_DIR).entryList({"*.cti"}, QDir::Files, QDir::Name).indexOf("orv_gev_tl.cti");
    QVERIFY(index > 0);
    QCOMPARE(control->run("lib.systeminfo.fail " + std::to_string(index) + " -1001"), 0);
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    QCOMPARE(managerFiles(window.cameraManagers()),
             QStringList({"coaxlink.cti", "orv_cl_tl.cti", "orv_gev_tl_rdma.cti", "orv_u3v_tl.cti"}));
    for (ZelCameraManager* manager : window.cameraManagers())
        QVERIFY(manager->IsSystemOpen());
}

void TestZelMainWindow::oneManagerPerProducer()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    QList<ZelMainWindow::TLRecord> records;
    uint32_t count = 0;
    OrvLibSystemGetCount(&count);
    for (uint32_t i = 0; i < count; ++i) {
        ZelMainWindow::TLRecord record;
        record.sdkIndex = int(i);
        QCOMPARE(OrvLibSystemGetInfo(i, &record.info), 0);
        records << record;
    }
    const QString gev = QStringLiteral(SUITE_CTI_DIR) + "/orv_gev_tl.cti";
    const QString u3v = QStringLiteral(SUITE_CTI_DIR) + "/orv_u3v_tl.cti";
    // One producer under three spellings, and one that is not listed.
    const QStringList enabled = {gev, QStringLiteral(SUITE_CTI_DIR) + "//orv_gev_tl.cti",
                                 QStringLiteral(SUITE_CTI_DIR) + "/../cti/orv_gev_tl.cti", u3v,
                                 QStringLiteral(SUITE_CTI_DIR) + "/missing.cti"};
    QList<ZelCameraManager*> managers = ZelMainWindow::createManagersFor(records, enabled);
    QCOMPARE(managerFiles(managers), QStringList({"orv_gev_tl.cti", "orv_u3v_tl.cti"}));
    qDeleteAll(managers);

    // The same file reported twice (two spellings of its folder on the
    // search path) gets one manager too.
    const int gevIndex = QDir(SUITE_CTI_DIR).entryList({"*.cti"}, QDir::Files, QDir::Name).indexOf("orv_gev_tl.cti");
    ZelMainWindow::TLRecord twice = records.at(gevIndex);
    qstrncpy(twice.info.fullPath, (QStringLiteral(SUITE_CTI_DIR) + "/./orv_gev_tl.cti").toUtf8().constData(),
             sizeof twice.info.fullPath);
    managers = ZelMainWindow::createManagersFor({records.at(gevIndex), twice}, {gev, QString::fromUtf8(twice.info.fullPath)});
    QCOMPARE(managers.size(), 1);
    qDeleteAll(managers);
}

void TestZelMainWindow::openFindAndCloseCameras()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    window.show();
    struct Case {
        const char* producer;
        const char* device;
    };
    const Case cases[] = {{"orv_gev_tl.cti", "GEV-G1-0001"}, {"orv_u3v_tl.cti", "U3V-U1-0301"},
                          {"orv_cl_tl.cti", "CL-C2-0402"}, {"coaxlink.cti", "CXP-X1-0601"}};
    QList<ZelCameraInfo> opened;
    for (const Case& c : cases) {
        ZelCameraManager* manager = managerOf(window, c.producer);
        QVERIFY2(manager, c.producer);
        ZelCameraInfo info;
        QVERIFY2(findCamera(manager, c.device, &info), c.device);
        window.discoveryWidget()->show();
        window.onCameraSelected(info);
        QVERIFY(!window.discoveryWidget()->isVisible());
        QVERIFY2(manager->FindCamera(info.cameraKey()), c.device);
        QMdiSubWindow* sub = window._findSubWindow(info.cameraKey().toUpper());
        QVERIFY(sub);
        QCOMPARE(sub->property("CameraInfo").value<ZelCameraInfo>().cameraKey(), info.cameraKey());
        QVERIFY(sub->testAttribute(Qt::WA_DeleteOnClose));
        opened << info;
    }
    QCOMPARE(window.mdiArea()->subWindowList().size(), 4);

    // Picked again: the window is found, restored and activated, nothing reopens.
    QMdiSubWindow* first = window._findSubWindow(opened.first().cameraKey());
    first->showMinimized();
    window.onCameraSelected(opened.first());
    QCOMPARE(window.mdiArea()->subWindowList().size(), 4);
    QVERIFY(!first->isMinimized());
    QCOMPARE(window.mdiArea()->activeSubWindow(), first);

    // Closing a sub-window closes its camera, after its window let go of it.
    QCOMPARE(control->run("log.trace.clear"), 0);
    QCOMPARE(control->run("log.trace on"), 0);
    for (const ZelCameraInfo& info : opened) {
        ZelCameraManager* manager = window._findCameraManager(info.hSystem, ZelUtil::RecordText(info.tlInfo.tlType));
        QVERIFY(manager);
        window._findSubWindow(info.cameraKey())->close();
        QTRY_VERIFY(manager->FindCamera(info.cameraKey()) == nullptr);
        QTRY_VERIFY(window._findSubWindow(info.cameraKey()) == nullptr);
    }
    QTRY_VERIFY(window.activeCameraSubWindow() == nullptr);
    std::string traces;
    QCOMPARE(control->run("log.trace.get", &traces), 0);
    control->run("log.trace off");
    QVERIFY2(traces.find("-1002") == std::string::npos, traces.c_str());

    // The camera can be opened again afterwards.
    window.onCameraSelected(opened.first());
    QVERIFY(window._findSubWindow(opened.first().cameraKey()));
}

void TestZelMainWindow::refusedCameras()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    ZelCameraInfo c1;
    QVERIFY(findCamera(managerOf(window, "orv_cl_tl.cti"), "CL-C1-0401", &c1));
    ZelCameraInfo g4;
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G4-0004", &g4));

    ZelDialogs::Script dialogs;
    window.discoveryWidget()->show();
    window.onCameraSelected(c1); // old firmware
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().icon, QMessageBox::Information);
    QCOMPARE(dialogs.last().title, QString("OpenCamera"));
    QCOMPARE(dialogs.last().text, QString("Unsupported Version. Please update your device firmware!"));
    QVERIFY(window.discoveryWidget()->isVisible());
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());

    window.onCameraSelected(g4); // held by another application
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().text, QString("Open Camera failed!"));
    QVERIFY(window.discoveryWidget()->isVisible());
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
    window.discoveryWidget()->hide();

    // A record of a system no manager owns.
    ZelCameraInfo stranger = g4;
    stranger.hSystem = 0;
    window.onCameraSelected(stranger);
    QCOMPARE(dialogs.count(), 3);
    QCOMPARE(dialogs.last().text, QString("Open Camera failed!"));
}

void TestZelMainWindow::readOnlyWindowHasNoAssistants()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    window.show();
    ZelCameraManager* manager = managerOf(window, "orv_gev_tl.cti");
    ZelCameraInfo g3;
    QVERIFY(findCamera(manager, "GEV-G3-0003", &g3));
    window.onCameraSelected(g3);
    QVERIFY(manager->FindCamera(g3.cameraKey())); // opened read-only
    QMdiSubWindow* sub = window._findSubWindow(g3.cameraKey());
    window.mdiArea()->setActiveSubWindow(sub);
    QCOMPARE(window.activeCameraSubWindow(), sub);
    QVERIFY(!window.findChild<QAction*>("actionLUT_Widget")->isEnabled());
    QMetaObject::invokeMethod(&window, "_onAssistantMenuAboutToShow");
    QVERIFY(!window.findChild<QMenu*>("menueDefect_Pixel_correction")->isEnabled());
    QVERIFY(!window.findChild<QMenu*>("menueShading_correction")->isEnabled());
    QVERIFY(!window.findChild<QAction*>("actionFile_Access")->isEnabled());

    ZelCameraInfo g1;
    QVERIFY(findCamera(manager, "GEV-G1-0001", &g1));
    window.onCameraSelected(g1);
    window.mdiArea()->setActiveSubWindow(window._findSubWindow(g1.cameraKey()));
    QVERIFY(window.findChild<QAction*>("actionLUT_Widget")->isEnabled());
    // Each entry answers for its own tool: one this camera cannot serve is not offered.
    for (const char* offered : {"actionSequencer", "actionIO_Config", "actionLine_Status_Visualizer",
                                "actionStrobe_Controller"})
        QVERIFY2(window.findChild<QAction*>(offered)->isEnabled(), offered);
    QVERIFY(!window.findChild<QAction*>("actionColorCorrection")->isEnabled());
    window.findChild<QAction*>("actionLUT_Widget")->trigger();
    QCOMPARE(window._findSubWindow(g1.cameraKey())->widget()->findChildren<ZelLUTWidget*>().size(), 1);

    // The active sub-window goes: the held pointer never dangles, and the
    // next activation does not touch the deleted window.
    QMdiSubWindow* g1Sub = window._findSubWindow(g1.cameraKey());
    QCOMPARE(window.activeCameraSubWindow(), g1Sub);
    delete g1Sub;
    QVERIFY(window.activeCameraSubWindow() != g1Sub);
    QVERIFY(manager->FindCamera(g1.cameraKey()) == nullptr);
    window.mdiArea()->setActiveSubWindow(sub);
    QCOMPARE(window.activeCameraSubWindow(), sub);
    QVERIFY(!window.findChild<QAction*>("actionLUT_Widget")->isEnabled());
}

void TestZelMainWindow::correctionMenusShowTheCamerasState_data()
{
    QTest::addColumn<int>("defectOn");
    QTest::addColumn<int>("defectMap");
    QTest::addColumn<int>("shadingOn");
    QTest::addColumn<int>("shadingMap");
    QTest::newRow("on, custom map, map 2") << 1 << 1 << 1 << 2;
    QTest::newRow("off, factory map, map 0") << 0 << 0 << 0 << 0;
    QTest::newRow("on, factory map, map 1") << 1 << 0 << 1 << 1;
}

// As after a map upload that switched the correction on behind the menus.
void TestZelMainWindow::correctionMenusShowTheCamerasState()
{
    QFETCH(int, defectOn);
    QFETCH(int, defectMap);
    QFETCH(int, shadingOn);
    QFETCH(int, shadingMap);
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    window.show();
    ZelCameraInfo g1;
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    window.onCameraSelected(g1);
    window.mdiArea()->setActiveSubWindow(window._findSubWindow(g1.cameraKey()));
    // The opposite state first, so that every mark has to move.
    auto camera = [&](int defect, int custom, int shading, int map) {
        const QString remote = " remote:GEV-G1-0001 ";
        QCOMPARE(control->run(("feature.set" + remote + "DefectPixelCorrectionEnable_Control " +
                               QString::number(defect)).toStdString()), 0);
        QCOMPARE(control->run(("feature.set" + remote + "DefectPixelCorrection_MapSelect " +
                               QString::number(custom)).toStdString()), 0);
        QCOMPARE(control->run(("feature.set" + remote + "Shading_Control " + QString::number(shading)).toStdString()),
                 0);
        QCOMPARE(control->run(("feature.set" + remote + "Shading_MapSelect " + QString::number(map)).toStdString()),
                 0);
    };
    auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
    camera(1 - defectOn, 1 - defectMap, 1 - shadingOn, (shadingMap + 1) % 3);
    QMetaObject::invokeMethod(&window, "_onAssistantMenuAboutToShow");
    camera(defectOn, defectMap, shadingOn, shadingMap);
    QMetaObject::invokeMethod(&window, "_onAssistantMenuAboutToShow");

    QVERIFY(window.findChild<QMenu*>("menueDefect_Pixel_correction")->isEnabled());
    QCOMPARE(action("actionenablcorrection")->isChecked(), defectOn == 1);
    QCOMPARE(action("actionSelectCustom")->isChecked(), defectMap == 1);
    QCOMPARE(action("actionSelectFactory")->isChecked(), defectMap == 0);
    QVERIFY(window.findChild<QMenu*>("menueShading_correction")->isEnabled());
    QCOMPARE(action("actionEnableShadingCorrection")->isChecked(), shadingOn == 1);
    for (int map = 0; map < 3; ++map) {
        const QByteArray name = "actionSelectMap" + QByteArray::number(map);
        QCOMPARE(action(name.constData())->isChecked(), map == shadingMap);
    }
    // Nothing is locked while the camera stands still.
    for (const char* name : {"actionSelectCustom", "actionSelectFactory", "actionenablcorrection", "actionLoadMap",
                             "actionSelectMap0", "actionEnableShadingCorrection", "actionLoadShadingMap"})
        QVERIFY2(action(name)->isEnabled(), name);
}

void TestZelMainWindow::shutdownWithCamerasOpen()
{
    auto window = std::make_unique<ZelMainWindow>();
    QVERIFY(window->init({"Kalveen"}));
    window->show();
    ZelCameraManager* gev = managerOf(*window, "orv_gev_tl.cti");
    ZelCameraManager* u3v = managerOf(*window, "orv_u3v_tl.cti");
    ZelCameraInfo g1, u1;
    QVERIFY(findCamera(gev, "GEV-G1-0001", &g1));
    QVERIFY(findCamera(u3v, "U3V-U1-0301", &u1));
    window->onCameraSelected(g1);
    window->onCameraSelected(u1);
    QCOMPARE(window->mdiArea()->subWindowList().size(), 2);
    window->discoveryWidget()->show(); // discovery threads run at shutdown

    // Close as the operator does, then destroy as main does, without
    // returning to the event loop in between.
    QVERIFY(window->close());
    QVERIFY(window->mdiArea()->subWindowList().isEmpty());
    QVERIFY(gev->FindCamera(g1.cameraKey()) == nullptr);
    QVERIFY(u3v->FindCamera(u1.cameraKey()) == nullptr);
    window.reset();
    QVERIFY(!ZelSdkLoader::instance()->isInitialised());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();

    // Destroyed without a close: the destructor closes the cameras itself.
    window = std::make_unique<ZelMainWindow>();
    QVERIFY(window->init({"Kalveen"}));
    QVERIFY(findCamera(managerOf(*window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    window->onCameraSelected(g1);
    window.reset();
    QVERIFY(!ZelSdkLoader::instance()->isInitialised());
    QCoreApplication::processEvents();
}

void TestZelMainWindow::tcpRequestsReachTheActiveCameraWindow()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen", "tcpP", QString::number(port)}));
    QVERIFY(window.tcpServer() && window.tcpServer()->isListening());
    window.show();

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(3000));
    QByteArray received;
    connect(&client, &QTcpSocket::readyRead, [&] { received += client.readAll(); });
    // Sends one request; the reply, or nothing when none came.
    auto ask = [&](const QByteArray& request, bool replyExpected = true) {
        received.clear();
        client.write(request);
        client.flush();
        if (replyExpected && !QTest::qWaitFor([&] { return !received.isEmpty(); }, 3000))
            return QByteArray("(no reply)");
        if (!replyExpected)
            QTest::qWait(200);
        return received;
    };

    QCOMPARE(ask("get;Width\n"), QByteArray("get;Width;0;2"));

    ZelCameraManager* gev = managerOf(window, "orv_gev_tl.cti");
    ZelCameraInfo g1, g3;
    QVERIFY(findCamera(gev, "GEV-G1-0001", &g1));
    QVERIFY(findCamera(gev, "GEV-G3-0003", &g3));
    window.onCameraSelected(g1);
    QCOMPARE(ask("set;Width;640\n"), QByteArray("set;Width;640;0"));
    QCOMPARE(ask("get;Width\n"), QByteArray("get;Width;640;0"));
    QCOMPARE(ask("set;Width;abc\n"), QByteArray("set;Width;abc;1"));
    QCOMPARE(ask("get;Width\n"), QByteArray("get;Width;640;0"));

    // A read-only camera window in front answers nothing.
    window.onCameraSelected(g3);
    QCOMPARE(window.activeCameraSubWindow(), window._findSubWindow(g3.cameraKey()));
    QCOMPARE(ask("get;Width\n", false), QByteArray());

    // Back to the writable one, then no window at all.
    window.mdiArea()->setActiveSubWindow(window._findSubWindow(g1.cameraKey()));
    QCOMPARE(ask("get;Width\n"), QByteArray("get;Width;640;0"));
    QVERIFY(window.close());
    QCOMPARE(ask("get;Width\n"), QByteArray("get;Width;0;2"));
}

QTEST_MAIN(TestZelMainWindow)
#include "tst_ZelMainWindow.moc"
