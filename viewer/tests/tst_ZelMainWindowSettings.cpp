#include "../core/tests/SimSdk.h"
#include "MainWindowRig.h"
#include "ViewerTestHome.h"

#include "ZelAppSettings.h"
#include "ZelDialogs.h"
#include "ZelDiscoveryWidget.h"
#include "ZelSdkLoader.h"
#include "ZelSoftwarePollingManager.h"
#include "ZelSoftwarePollingWidget.h"
#include "ZelStartup.h"
#include "ZelTLManagerWidget.h"
#include "ZelTLSettingsFile.h"

#include <QAction>
#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const char* const logItems[] = {"actionLogError", "actionLogWarning", "actionLogInfo", "actionLogCamera",
                                "actionLogWindbg", "actionLogFile",   "actionBMP",      "actionPNG",
                                "actionRAW"};

void setSetting(const char* group, const char* key, const QVariant& value)
{
    ZelAppSettings::instance()->setValue(QLatin1String(group), QLatin1String(key), value);
}

QString setting(const char* group, const char* key)
{
    return ZelAppSettings::instance()->value(QLatin1String(group), QLatin1String(key)).toString();
}

QAction* item(ZelMainWindow& window, const char* name)
{
    return window.findChild<QAction*>(name);
}

QStringList checkedItems(ZelMainWindow& window)
{
    QStringList names;
    for (const char* name : logItems) {
        if (item(window, name)->isChecked())
            names << name;
    }
    return names;
}

// Replaces the content of "tl_settings.xml".
bool writeTLSettings(const QByteArray& content)
{
    QFile settings(ZelTLSettingsFile::instance()->filePath());
    if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return settings.write(content) == content.size();
}

// The producer files the transport-layer manager lists.
QStringList listedProducers(ZelTLManagerWidget* manager)
{
    QStringList files;
    auto* model = qobject_cast<QStandardItemModel*>(manager->treeView()->model());
    if (!model)
        return files;
    for (int group = 0; group < model->rowCount(); ++group) {
        QStandardItem* parent = model->item(group);
        for (int row = 0; row < parent->rowCount(); ++row)
            files << QFileInfo(parent->child(row)->data(Qt::UserRole + 2).toString()).fileName();
    }
    return files;
}

void makeLogFiles(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString month = QString::number(i + 1).rightJustified(2, '0');
        QFile file(folder + "/Kalveen_" + month + "012020(120000).log");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        // Oldest first by modification time.
        const QDateTime when = QDateTime::currentDateTime().addDays(-100 + i);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
    }
}

} // namespace

class TestZelMainWindowSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void logMenuFollowsSettings_data();
    void logMenuFollowsSettings();
    void fileOutputUsesOneEncodingAndKeepsTenFiles();
    void logFolderChoice_data();
    void logFolderChoice();
    void autoSaveFormatIsStored();
    void pollingListExportAndImport();
    void reloadRevertAndApplyWithCamerasOpen();
    void revertAndApplyNeverLeaveTheViewerWithoutManagers();
    void tlManagerAsksBeforeClosingCameras();

private:
    // The logger calls the viewer made since the last clear.
    QStringList loggerCalls();
    QString loggerSwitches();
    QString labFolder() const { return home->path() + "/lab producers"; }

    std::unique_ptr<MainWindowTestProcess> process;
    SimControl* control = nullptr;
    const ViewerTestHome* home = nullptr;
    QByteArray defaultTLSettings;
};

void TestZelMainWindowSettings::initTestCase()
{
    process = std::make_unique<MainWindowTestProcess>();
    control = &process->control;
    home = &process->home;
    QVERIFY(control->valid());

    QFile settings(ZelTLSettingsFile::instance()->filePath());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    defaultTLSettings = settings.readAll();

    // One more producer, in a folder of its own.
    QVERIFY(QDir().mkpath(labFolder()));
    QVERIFY(QFile::copy(QStringLiteral(SUITE_CTI_DIR) + "/orv_gev_tl.cti", labFolder() + "/lab_tl.cti"));
}

void TestZelMainWindowSettings::init()
{
    QCOMPARE(control->run("world.reset"), 0);
    QCOMPARE(control->run("fault.clear"), 0);
    QVERIFY(writeTLSettings(defaultTLSettings));
    setSetting("Settings", "DebugLevel", 0u);
    setSetting("Settings", "WinDbg", 0u);
    setSetting("Settings", "FileLogging", 0u);
    setSetting("Directory", "LogFileDir", ZelAppSettings::instance()->logsDir);
    QCOMPARE(control->run("log.calls.clear"), 0);
    QCOMPARE(control->run("log.calls on"), 0);
    QCOMPARE(control->run("log.trace on"), 0);
}

void TestZelMainWindowSettings::cleanup()
{
    control->run("log.calls off");
    control->run("log.trace off");
    control->run("fault.clear");
    QVERIFY(!ZelSdkLoader::instance()->isInitialised());
}

QStringList TestZelMainWindowSettings::loggerCalls()
{
    std::string text;
    control->run("log.calls.get", &text);
    control->run("log.calls.clear");
    QStringList calls;
    for (const QString& line : QString::fromStdString(text).split('\n')) {
        if (line.startsWith("JotwellSetGlobalDebugLevel") || line.startsWith("JotwellEnableWindbg")
            || line.startsWith("JotwellEnableFileLogging"))
            calls << line;
    }
    return calls;
}

QString TestZelMainWindowSettings::loggerSwitches()
{
    std::string text;
    control->run("log.trace.get", &text);
    return QString::fromUtf8(text.c_str()).section('\n', 0, 0);
}

void TestZelMainWindowSettings::logMenuFollowsSettings_data()
{
    QTest::addColumn<uint>("debugLevel");
    QTest::addColumn<uint>("winDbg");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("checked");

    QTest::newRow("error, info, camera") << 0x1000000Au << 0u << "BMP"
                                         << QStringList{"actionLogError", "actionLogInfo", "actionLogCamera", "actionBMP"};
    // A bit without an item stays in the mask; the format is matched ignoring case.
    QTest::newRow("warning and debug bit, windbg") << 0x24u << 1u << "raw"
                                                   << QStringList{"actionLogWarning", "actionLogWindbg", "actionRAW"};
    QTest::newRow("nothing, unknown format") << 0u << 0u << "TIFF" << QStringList{"actionPNG"};
}

void TestZelMainWindowSettings::logMenuFollowsSettings()
{
    QFETCH(uint, debugLevel);
    QFETCH(uint, winDbg);
    QFETCH(QString, format);
    QFETCH(QStringList, checked);
    setSetting("Settings", "DebugLevel", debugLevel);
    setSetting("Settings", "WinDbg", winDbg);
    setSetting("Settings", "AutoSaveFormat", format);
    setSetting("Settings", "LogEnabled", 1u); // never read: tracing starts off

    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    QCOMPARE(checkedItems(window), checked);
    QVERIFY(!item(window, "actionEnable")->isChecked());
    QVERIFY(!item(window, "actionLogError")->isEnabled());
    QCOMPARE(gDebugLevel, debugLevel);
    // Only the debugger output is switched off at start.
    QCOMPARE(loggerCalls(), QStringList{"JotwellEnableWindbg(on=false) = 0"});

    item(window, "actionEnable")->setChecked(true);
    QStringList expected{QString("JotwellSetGlobalDebugLevel(mask=%1) = 0").arg(debugLevel)};
    if (winDbg)
        expected << "JotwellEnableWindbg(on=true) = 0";
    QCOMPARE(loggerCalls(), expected);
    QVERIFY(item(window, "actionLogError")->isEnabled());
    QCOMPARE(setting("Settings", "LogEnabled"), QString("1"));

    // A level item changes the mask the logger has and the stored one.
    item(window, "actionLogWarning")->toggle();
    const uint toggled = debugLevel ^ 0x4u;
    QCOMPARE(loggerCalls(), QStringList{QString("JotwellSetGlobalDebugLevel(mask=%1) = 0").arg(toggled)});
    QCOMPARE(setting("Settings", "DebugLevel").toUInt(), toggled);

    item(window, "actionEnable")->setChecked(false);
    expected = QStringList{"JotwellSetGlobalDebugLevel(mask=0) = 0"};
    if (winDbg)
        expected << "JotwellEnableWindbg(on=false) = 0";
    QCOMPARE(loggerCalls(), expected);
    QVERIFY(!item(window, "actionLogError")->isEnabled());
    QCOMPARE(setting("Settings", "LogEnabled"), QString("0"));
}

void TestZelMainWindowSettings::fileOutputUsesOneEncodingAndKeepsTenFiles()
{
    const QString folder = home->path() + QString::fromUtf8("/Protokolle-\xc3\xbc");
    makeLogFiles(folder, 12);
    setSetting("Directory", "LogFileDir", folder);
    setSetting("Settings", "FileLogging", 1u);
    setSetting("Settings", "DebugLevel", 2u);

    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    QVERIFY(item(window, "actionLogFile")->isChecked());
    QVERIFY(loggerSwitches().endsWith("file=off"));

    const QString prefix = "file=" + folder + "/Kalveen_";
    item(window, "actionEnable")->setChecked(true);
    QVERIFY2(loggerSwitches().contains(prefix), qPrintable(loggerSwitches()));
    // Nine old files are left; the new one makes ten.
    QStringList oldFiles = QDir(folder).entryList({"Kalveen_*012020(120000).log"}, QDir::Files, QDir::Name);
    QCOMPARE(oldFiles.size(), 9);
    QCOMPARE(oldFiles.first(), QString("Kalveen_04012020(120000).log"));

    // The item itself: off, then on again in the same folder, same encoding.
    item(window, "actionLogFile")->setChecked(false);
    QVERIFY(loggerSwitches().endsWith("file=off"));
    QCOMPARE(setting("Settings", "FileLogging"), QString("0"));
    item(window, "actionLogFile")->setChecked(true);
    QVERIFY2(loggerSwitches().contains(prefix), qPrintable(loggerSwitches()));
    QCOMPARE(setting("Settings", "FileLogging"), QString("1"));

    // A logger that cannot create the file: the mark shows it is off.
    item(window, "actionLogFile")->setChecked(false);
    QCOMPARE(control->run("call.fail JotwellEnableFileLogging -1004"), 0);
    ZelDialogs::Script dialogs;
    item(window, "actionLogFile")->setChecked(true);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QVERIFY(!item(window, "actionLogFile")->isChecked());
    QCOMPARE(setting("Settings", "FileLogging"), QString("0"));

    item(window, "actionEnable")->setChecked(false);
}

void TestZelMainWindowSettings::logFolderChoice_data()
{
    QTest::addColumn<bool>("tracing");
    QTest::addColumn<bool>("fileMark");
    QTest::addColumn<QString>("answer"); // "new", "stored", "", "missing", "refused"
    QTest::addColumn<int>("icon");       // of the one box shown, or -1 for none
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stored");    // the new folder is stored
    QTest::addColumn<QString>("output"); // "new", "old" or "off"

    const QString changed = "Log Directory Changed Successfully!";
    QTest::newRow("file output moves") << true << true << "new" << int(QMessageBox::Information) << changed << true << "new";
    QTest::newRow("tracing off: nothing starts")
        << false << true << "new" << int(QMessageBox::Information) << changed << true << "off";
    QTest::newRow("file output off: nothing starts")
        << true << false << "new" << int(QMessageBox::Information) << changed << true << "off";
    QTest::newRow("same folder") << true << true << "stored" << -1 << QString() << false << "old";
    QTest::newRow("cancelled") << true << true << "" << -1 << QString() << false << "old";
    QTest::newRow("not writable") << true << true << "missing" << int(QMessageBox::Critical)
                                  << "<p align='center'>This folder requires<br>administrator permission <br> to "
                                     "create files<br></p>"
                                  << false << "old";
    QTest::newRow("logger refuses the file")
        << true << true << "refused" << int(QMessageBox::Critical)
        << "<p align='center'>The log file could not be created<br>in this folder<br></p>" << false << "old";
}

void TestZelMainWindowSettings::logFolderChoice()
{
    QFETCH(bool, tracing);
    QFETCH(bool, fileMark);
    QFETCH(QString, answer);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(bool, stored);
    QFETCH(QString, output);

    const QString oldFolder = home->path() + "/old logs";
    const QString newFolder = home->path() + QString::fromUtf8("/neue Logs \xc3\xa4");
    QVERIFY(QDir().mkpath(oldFolder));
    QVERIFY(QDir().mkpath(newFolder));
    setSetting("Directory", "LogFileDir", oldFolder);
    setSetting("Settings", "FileLogging", fileMark ? 1u : 0u);

    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    item(window, "actionEnable")->setChecked(tracing);
    loggerCalls();

    QString chosen = answer;
    if (answer == "new" || answer == "refused")
        chosen = newFolder;
    else if (answer == "stored")
        chosen = oldFolder;
    else if (answer == "missing")
        chosen = home->path() + "/no such folder";
    if (answer == "refused")
        QCOMPARE(control->run("call.fail JotwellEnableFileLogging -1004"), 0);

    ZelDialogs::Script dialogs;
    dialogs.answer(chosen);
    item(window, "actionSet_Log_File_Directory")->trigger();

    const QList<ZelDialogs::Request> requests = dialogs.requests();
    QVERIFY(!requests.isEmpty());
    QCOMPARE(requests.first().kind, ZelDialogs::Kind::ExistingDirectory);
    QCOMPARE(requests.first().title, QString("Open Directory"));
    QCOMPARE(requests.first().dir, oldFolder);
    QCOMPARE(requests.size(), icon < 0 ? 1 : 2);
    if (icon >= 0) {
        QCOMPARE(int(requests.last().icon), icon);
        QCOMPARE(requests.last().text, text);
    }
    QCOMPARE(setting("Directory", "LogFileDir"), stored ? newFolder : oldFolder);

    const QString switches = loggerSwitches();
    if (output == "off")
        QVERIFY2(switches.endsWith("file=off"), qPrintable(switches));
    else
        QVERIFY2(switches.contains("file=" + (output == "new" ? newFolder : oldFolder) + "/Kalveen_"),
                 qPrintable(switches));
    item(window, "actionEnable")->setChecked(false);
}

void TestZelMainWindowSettings::autoSaveFormatIsStored()
{
    setSetting("Settings", "AutoSaveFormat", "BMP");
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    QVERIFY(item(window, "actionBMP")->isChecked());
    for (const char* name : {"actionRAW", "actionPNG", "actionBMP"}) {
        item(window, name)->trigger();
        QCOMPARE(setting("Settings", "AutoSaveFormat"), item(window, name)->text());
    }
}

void TestZelMainWindowSettings::pollingListExportAndImport()
{
    const QString folder = home->path() + "/polling";
    QVERIFY(QDir().mkpath(folder));
    const QString listFile = folder + "/exposure.spsetting";
    {
        ZelSoftwarePollingManager source;
        source.Add({"ExposureTime", 10, true, QString()});
        source.Add({"Gain", 500, false, "Gain > 2"});
        QVERIFY(source.Save(listFile));
    }
    const QString notAList = folder + "/lut.spsetting";
    {
        QFile file(notAList);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?>\n<LUTSetting/>\n");
    }
    QFile::remove(ZelAppSettings::instance()->configDir + "/SoftwarePolling_Version_1_0.spsetting");
    setSetting("Settings", "SPEnabled", 1u);
    setSetting("Directory", "SPSettingsFileDir", home->path());

    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    ZelSoftwarePollingWidget* widget = window.pollingWidget();
    window.pollingManager()->Add({"Width", 1000, false, QString()});
    widget->setEntries(window.pollingManager()->GetList());

    ZelDialogs::Script dialogs;
    // A file that does not hold a polling list: nothing changes.
    dialogs.answer(notAList);
    widget->importActionTriggered(true);
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.requests().first().title, QString("Import Settings"));
    QCOMPARE(dialogs.requests().first().dir, home->path());
    QCOMPARE(dialogs.requests().first().filter, QString("spsetting (*.spsetting)"));
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().text, QString("Import Failed!"));
    QVERIFY(dialogs.last().hasParent);
    QCOMPARE(window.pollingManager()->GetList().size(), 1);
    QCOMPARE(window.pollingManager()->GetList().first().name, QString("Width"));
    QCOMPARE(widget->entries().size(), 1);

    // A list: it replaces the entries, and with polling on its entries poll.
    QSignalSpy polls(window.pollingManager(), &ZelSoftwarePollingManager::requestInvalidate);
    dialogs.clear();
    dialogs.answer(listFile);
    widget->importActionTriggered(true);
    QCOMPARE(dialogs.last().text, QString("Import Successful!"));
    QCOMPARE(widget->entries().size(), 2);
    QCOMPARE(widget->entries().first().name, QString("ExposureTime"));
    QCOMPARE(window.pollingManager()->GetList().size(), 2);
    QTRY_VERIFY(polls.count() >= 2);
    for (const QList<QVariant>& poll : polls)
        QCOMPARE(poll.first().toString(), QString("ExposureTime"));
    QCOMPARE(setting("Directory", "SPSettingsFileDir"), home->path()); // an import stores no folder

    // Export: the folder is remembered; a file that cannot be written fails.
    dialogs.clear();
    const QString exported = folder + "/out.spsetting";
    dialogs.answer(exported);
    widget->exportActionTriggered(true);
    QCOMPARE(dialogs.requests().first().title, QString("Export Settings"));
    QCOMPARE(dialogs.last().text, QString("Export Successful!"));
    QCOMPARE(dialogs.last().icon, QMessageBox::Information);
    QCOMPARE(setting("Directory", "SPSettingsFileDir"), folder);
    ZelSoftwarePollingManager readBack;
    readBack.SetEnable(false);
    QVERIFY(readBack.Load(exported, true));
    QCOMPARE(readBack.GetList(), window.pollingManager()->GetList());

    dialogs.clear();
    dialogs.answer(home->path() + "/missing folder/out.spsetting");
    widget->exportActionTriggered(true);
    QCOMPARE(dialogs.last().text, QString("Export Failed!"));
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);

    // Cancelled dialogs change nothing.
    dialogs.clear();
    widget->importActionTriggered(true);
    widget->exportActionTriggered(true);
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(widget->entries().size(), 2);

    // Closing the polling window keeps the list for the next start.
    widget->show();
    widget->close();
    ZelSoftwarePollingManager next;
    next.SetEnable(false);
    QVERIFY(next.Load(ZelAppSettings::instance()->configDir + "/SoftwarePolling_Version_1_0.spsetting", true));
    QCOMPARE(next.GetList(), window.pollingManager()->GetList());
    setSetting("Settings", "SPEnabled", 0u);
}

void TestZelMainWindowSettings::reloadRevertAndApplyWithCamerasOpen()
{
    const QString world = home->path() + "/lab-world.json";
    {
        QFile file(world);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"builtIn": true, "producers": [{"file": "lab_tl.cti", "vendor": "Lab", "model": "Lab Producer",
                      "type": "GEV", "interfaces": [{"id": "lab-if-0", "display": "Lab adapter",
                      "ip": "172.16.0.1", "mask": "255.255.0.0"}]}],
                      "cameras": [{"profile": "G2", "id": "LAB-0042", "producer": "lab_tl.cti",
                      "interface": "lab-if-0", "ip": "172.16.3.4", "mask": "255.255.0.0"}]})");
    }
    QCOMPARE(control->run(("world.load " + world).toStdString()), 0);

    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    window.show();
    const QStringList defaults = managerFiles(window.cameraManagers());
    QCOMPARE(defaults.size(), 5);
    QVERIFY(!listedProducers(window.tlManagerWidget()).contains("lab_tl.cti"));

    ZelCameraInfo g1, u1;
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    QVERIFY(findCamera(managerOf(window, "orv_u3v_tl.cti"), "U3V-U1-0301", &u1));
    window.onCameraSelected(g1);
    window.onCameraSelected(u1);
    QCOMPARE(window.mdiArea()->subWindowList().size(), 2);
    control->run("log.calls.clear");

    // Reload: every camera is closed before the SDK is; no manager is left.
    QVERIFY(window.onReloadSDK(labFolder()));
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
    QVERIFY(window.cameraManagers().isEmpty());
    QVERIFY(window.discoveryWidget()->discoveryController() == nullptr);
    std::string text;
    control->run("log.calls.get", &text);
    const QStringList calls = QString::fromStdString(text).split('\n');
    int libClose = -1;
    for (int i = 0; i < calls.size(); ++i) {
        if (calls.at(i).startsWith("OrvLibClose(")) {
            libClose = i;
            break;
        }
    }
    QVERIFY(libClose > 0);
    const QStringList beforeClose = calls.mid(0, libClose);
    QCOMPARE(beforeClose.filter(QRegularExpression("^OrvDeviceClose\\(.*= 0$")).size(), 2);
    QCOMPARE(beforeClose.filter(QRegularExpression("^OrvStreamClose\\(.*= 0$")).size(), 2);
    QCOMPARE(beforeClose.filter(QRegularExpression("^OrvSystemClose\\(.*= 0$")).size(), 5);
    QVERIFY(listedProducers(window.tlManagerWidget()).contains("lab_tl.cti"));

    // Revert: the stored selection on the stored path, discovery running.
    window.onRevertTLSettings();
    QCOMPARE(managerFiles(window.cameraManagers()), defaults);
    for (ZelCameraManager* manager : window.cameraManagers())
        QVERIFY(manager->IsSystemOpen());
    QVERIFY(window.discoveryWidget()->discoveryController() != nullptr);
    QVERIFY(!listedProducers(window.tlManagerWidget()).contains("lab_tl.cti"));

    // Apply of a selection on another search path loads the SDK on that path.
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    window.onCameraSelected(g1);
    QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
    ZelTLSettingsFile* store = ZelTLSettingsFile::instance();
    QVERIFY(store->save(labFolder(), {{"lab_tl.cti", labFolder() + "/lab_tl.cti", true},
                                      {"orv_u3v_tl.cti", QStringLiteral(SUITE_CTI_DIR) + "/orv_u3v_tl.cti", true}}));
    window.onApplyTLSettings();
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
    QCOMPARE(managerFiles(window.cameraManagers()), QStringList({"orv_u3v_tl.cti", "lab_tl.cti"}));
    QVERIFY(listedProducers(window.tlManagerWidget()).contains("lab_tl.cti"));
    ZelCameraInfo lab;
    QVERIFY(findCamera(managerOf(window, "lab_tl.cti"), "LAB-0042", &lab));
    window.onCameraSelected(lab);
    QCOMPARE(window.mdiArea()->subWindowList().size(), 1);

    // Apply on the same path keeps the SDK and replaces the managers.
    QVERIFY(store->save(labFolder(), {{"lab_tl.cti", labFolder() + "/lab_tl.cti", true}}));
    control->run("log.calls.clear");
    window.onApplyTLSettings();
    control->run("log.calls.get", &text);
    QVERIFY(!QString::fromStdString(text).contains("OrvLibClose("));
    QCOMPARE(managerFiles(window.cameraManagers()), QStringList({"lab_tl.cti"}));
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
}

void TestZelMainWindowSettings::revertAndApplyNeverLeaveTheViewerWithoutManagers()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    const QList<ZelCameraManager*> running = window.cameraManagers();
    const QStringList defaults = managerFiles(running);
    ZelCameraInfo g1;
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    window.onCameraSelected(g1);

    QVERIFY(writeTLSettings("not xml"));

    // Unreadable settings: apply leaves the running selection alone.
    window.onApplyTLSettings();
    QCOMPARE(window.cameraManagers(), running);
    QCOMPARE(window.mdiArea()->subWindowList().size(), 1);

    // After a reload, revert and apply bring back the selection that ran.
    QVERIFY(window.onReloadSDK(labFolder()));
    QVERIFY(window.cameraManagers().isEmpty());
    window.onRevertTLSettings();
    QCOMPARE(managerFiles(window.cameraManagers()), defaults);
    QVERIFY(window.onReloadSDK(labFolder()));
    window.onApplyTLSettings();
    QCOMPARE(managerFiles(window.cameraManagers()), defaults);
    std::string info;
    control->run("lib.info", &info);
    QVERIFY2(!QString::fromStdString(info).contains("lab producers"), info.c_str());

    // An SDK that fails once to initialise on revert is loaded again.
    QVERIFY(writeTLSettings(defaultTLSettings));
    QCOMPARE(control->run("lib.init.fail -2009"), 0);
    ZelDialogs::Script dialogs;
    window.onRevertTLSettings();
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(managerFiles(window.cameraManagers()), defaults);
    QVERIFY(ZelSdkLoader::instance()->isInitialised());
    QVERIFY(window.discoveryWidget()->discoveryController() != nullptr);
}

void TestZelMainWindowSettings::tlManagerAsksBeforeClosingCameras()
{
    ZelMainWindow window;
    QVERIFY(window.init({"Kalveen"}));
    window.show();
    ZelTLManagerWidget* manager = window.tlManagerWidget();
    QVERIFY(manager);
    QVERIFY(!manager->isVisible());
    QMetaObject::invokeMethod(window.discoveryWidget(), "actionShowTLManagerWidget");
    QVERIFY(manager->isVisible());

    ZelCameraInfo g1;
    QVERIFY(findCamera(managerOf(window, "orv_gev_tl.cti"), "GEV-G1-0001", &g1));
    window.onCameraSelected(g1);
    auto* reload = manager->findChild<QPushButton*>("btnReload");
    ZelDialogs::Script dialogs;
    dialogs.answer(QMessageBox::No);
    reload->click();
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().text, QString("This will close all the cameras. Are you sure you want to continue?"));
    QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
    QCOMPARE(window.cameraManagers().size(), 5);

    // Once the camera window is gone, Reload asks nothing.
    delete window.mdiArea()->subWindowList().first();
    dialogs.clear();
    reload->click();
    QCOMPARE(dialogs.count(), 0);
    QVERIFY(window.cameraManagers().isEmpty());
    // Closing the window after a reload returns to the stored selection.
    manager->close();
    QCOMPARE(window.cameraManagers().size(), 5);
    QVERIFY(ZelSdkLoader::instance()->isInitialised());
}

QTEST_MAIN(TestZelMainWindowSettings)
#include "tst_ZelMainWindowSettings.moc"
