#include "SimWindowRig.h"

#include "ZelAppSettings.h"
#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindow.h"
#include "ZelCameraWindowSeam.h"
#include "ZelDefectPixelCorrection.h"
#include "ZelDialogs.h"
#include "ZelEventViewer.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeModel.h"
#include "ZelFeatureTreeWidget.h"
#include "ZelFileAccess.h"
#include "ZelIOConfigTable.h"
#include "ZelIOConfigWidget.h"
#include "ZelImageViewWidget.h"
#include "ZelLUTWidget.h"
#include "ZelPropertyWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TestZelCameraWindowTools : public QObject, protected CameraWindowRig<>
{
    Q_OBJECT

public:
    TestZelCameraWindowTools() : CameraWindowRig(Stream::Manual) {}

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(startSession()); }
    void cleanup() { QVERIFY(closeAll()); }

    void toolAskedTwiceIsOneWindow();
    void closingWithTheEditorOpen();
    void onlyToolsTheWindowCanOpenAreOffered();
    void eventViewerAsksForRdmaAtEveryCall();
    void windowDeletedWhileItsViewerReceivesEvents();
    void fileAccessOnlyWhereSupported();
    void saveImage_data();
    void saveImage();
    void saveWithoutImageAsksNothing();
    void settingsFolder();
    void saveUserSet_data();
    void saveUserSet();
    void noUserSetQuestionWithoutUserSets_data();
    void noUserSetQuestionWithoutUserSets();
    void progressDialog();
    void loadSettingsRefreshesTheTree();
    void ioConfigWritesRefreshTheTree();
    void defectToolIsMadeWithTheWindow_data();
    void defectToolIsMadeWithTheWindow();
    void defectMapCommands();
    void defectUploadEndsTheProgress();
    void defectLoadMapKeepsTheCameraMapOfARefusedFile();

private:
    // One image on the triggered camera, shown and kept as the last image.
    bool grabImage()
    {
        if (!window->camera()->remoteDeviceFeatures->SetValueEnum("TriggerMode", "On"))
            return false;
        emit window->propertyWidget()->startButtonClicked();
        run("stream.frame GEV-G1-0001 1");
        return QTest::qWaitFor([this] { return window->propertyWidget()->form().toolBtnSave->isEnabled(); }, 5000);
    }
    QString storedFolder(const char* key) const
    {
        return ZelAppSettings::instance()->value("Directory", key, QVariant()).toString();
    }
};

void TestZelCameraWindowTools::toolAskedTwiceIsOneWindow()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    emit window->imageView()->actionShowLUTWidget();
    QPointer<QWidget> first = window->tool(ZelCameraTool::Lut);
    QVERIFY(first);
    QVERIFY(qobject_cast<ZelLUTWidget*>(first));
    QVERIFY(first->isVisible());
    QCOMPARE(first->parent(), window.data());
    QVERIFY(first->isWindow());
    QVERIFY(!QApplication::overrideCursor());

    emit window->imageView()->actionShowLUTWidget();
    QCOMPARE(window->tool(ZelCameraTool::Lut), first.data());
    QCOMPARE(window->findChildren<ZelLUTWidget*>().size(), 1);

    first->close();
    QTRY_VERIFY(!first);
    QVERIFY(!window->tool(ZelCameraTool::Lut));
    window->onShowLutWidget();
    QVERIFY(window->tool(ZelCameraTool::Lut));
    QCOMPARE(window->findChildren<ZelLUTWidget*>().size(), 1);
}

void TestZelCameraWindowTools::closingWithTheEditorOpen()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onShowLutWidget();
    QPointer<QWidget> editor = window->tool(ZelCameraTool::Lut);
    QVERIFY(editor);
    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(!editor);
}

void TestZelCameraWindowTools::onlyToolsTheWindowCanOpenAreOffered()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QVERIFY(window->canOpen(ZelCameraTool::Lut));
    QVERIFY(ZelCameraWindowSeam::canOpen(window, "LUT"));
    QVERIFY(!ZelCameraWindowSeam::canOpen(window, "NoSuchTool"));
    QVERIFY(!ZelCameraWindowSeam::canOpen(nullptr, "LUT"));

    QMenu* assistant = nullptr;
    for (QMenu* menu : window->imageView()->findChildren<QMenu*>()) {
        if (menu->title() == "Assistant")
            assistant = menu;
    }
    QVERIFY(assistant);
    // Every entry of a tool is offered exactly when the window can open it;
    // a tool the viewer does not have yet does nothing when asked.
    int offered = 0;
    const QStringList texts{"LUT Widget...", "Line Status Visualizer...", "Strobe Controller...", "Sequencer...",
                            "IO Config...", "Event Viewer...", "Pixel Histogram...", "Color Correction...",
                            "File Access Control..."};
    const ZelCameraTool tools[] = {ZelCameraTool::Lut,           ZelCameraTool::LineStatus,
                                   ZelCameraTool::StrobeController, ZelCameraTool::Sequencer,
                                   ZelCameraTool::IOConfig,       ZelCameraTool::EventViewer,
                                   ZelCameraTool::PixelHistogram, ZelCameraTool::ColorCorrection,
                                   ZelCameraTool::FileAccess};
    for (int i = 0; i < texts.size(); ++i) {
        QAction* action = nullptr;
        for (QAction* a : assistant->actions()) {
            if (a->text() == texts.at(i))
                action = a;
        }
        QVERIFY2(action, qPrintable(texts.at(i)));
        QCOMPARE(action->isEnabled(), window->canOpen(tools[i]));
        offered += action->isEnabled() ? 1 : 0;
        action->trigger();
        QCOMPARE(window->tool(tools[i]) != nullptr, window->canOpen(tools[i]));
    }
    QVERIFY(offered >= 1);
    QVERIFY(!QApplication::overrideCursor());
    delete window;
    session.closeCamera();

    // A read-only window opens no tool.
    QVERIFY(openWindow("GEV-G3-0003", "orv_gev_tl.cti", ORV_ACCESS_MODE_READ_ONLY));
    for (int i = 0; i < zelCameraToolCount; ++i)
        QVERIFY(!window->canOpen(ZelCameraTool(i)));
    window->onShowLutWidget();
    QVERIFY(!window->tool(ZelCameraTool::Lut));
}

void TestZelCameraWindowTools::eventViewerAsksForRdmaAtEveryCall()
{
    QVERIFY(openWindow("GEV-R1-0101", "orv_gev_tl_rdma.cti"));
    window->onShowEventViewerWidget();
    auto* viewer = qobject_cast<ZelEventViewer*>(window->tool(ZelCameraTool::EventViewer));
    QVERIFY(viewer);
    QCOMPARE(viewer->parent(), window.data());
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), "Event Viewer(" + window->title() + ")");
    ZelDialogs::Script dialogs;
    // "rdma" in lower case: not even a registration is tried.
    const QString log = session.callsDuring([&] { viewer->form().chkEnableDataStream->click(); });
    QCOMPARE(log.count("OrvEventRegister("), 0);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().text, QString("Data Stream Events Not Supported!"));
    QVERIFY(!viewer->form().chkEnableDataStream->isChecked());
    // The remote-device side is not affected.
    viewer->form().chkEnableRemoteDevice->click();
    QVERIFY(viewer->form().chkEnableRemoteDevice->isChecked());
    QCOMPARE(dialogs.count(), 1);
    delete window;
    session.closeCamera();

    // The same viewer is asked again when shown again.
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onShowEventViewerWidget();
    viewer = qobject_cast<ZelEventViewer*>(window->tool(ZelCameraTool::EventViewer));
    QVERIFY(viewer);
    viewer->form().chkEnableDataStream->click();
    QVERIFY(viewer->form().chkEnableDataStream->isChecked());
    viewer->form().chkEnableDataStream->click();
    QCOMPARE(run("feature.set remote:GEV-G1-0001 DeviceManufacturerInfo \"SIM via RdMa\""), 0);
    window->onShowEventViewerWidget();
    QCOMPARE(window->tool(ZelCameraTool::EventViewer), viewer);
    viewer->form().chkEnableDataStream->click();
    QVERIFY(!viewer->form().chkEnableDataStream->isChecked());
    QCOMPARE(dialogs.count(), 2);
}

void TestZelCameraWindowTools::windowDeletedWhileItsViewerReceivesEvents()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    run("stream.manual GEV-G1-0001 off");
    window->onShowEventViewerWidget();
    auto* viewer = qobject_cast<ZelEventViewer*>(window->tool(ZelCameraTool::EventViewer));
    QVERIFY(viewer);
    viewer->form().chkEnableRemoteDevice->click();
    viewer->form().chkEnableDataStream->click();
    emit window->propertyWidget()->startButtonClicked();
    QTRY_VERIFY_WITH_TIMEOUT(viewer->form().txtDataStream->blockCount() > 10, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->form().txtRemoteDevice->blockCount() > 14, 30000);
    QCOMPARE(run("event.burst GEV-G1-0001 4 500"), 0);
    QPointer<ZelEventViewer> alive = viewer;
    // The window goes unclosed, as its sub-window's end deletes it; its
    // viewer's event threads end before the camera closes.
    const QString log = session.callsDuring([&] { delete window; });
    QVERIFY(!alive);
    QCOMPARE(log.count("OrvEventUnRegister("), 3); // with the window's connection events
    const QString closing = session.callsDuring([&] { session.closeCamera(); });
    QCOMPARE(closing.count("OrvEvent"), 0);
}

void TestZelCameraWindowTools::fileAccessOnlyWhereSupported()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    QVERIFY(!window->isFileAccessSupported());
    window->onShowFileAccess();
    QVERIFY(!window->tool(ZelCameraTool::FileAccess));
    delete window;
    session.closeCamera();

    QVERIFY(openWindow("GEV-G1-0001"));
    window->onShowFileAccess();
    auto* files = qobject_cast<ZelFileAccess*>(window->tool(ZelCameraTool::FileAccess));
    QVERIFY(files);
    QCOMPARE(files->windowTitle(), QString("File Access Control (GEV-G1-0001)"));
    QVERIFY(files->isVisible());
    QCOMPARE(files->form().treeWidget->topLevelItemCount(), 2);
    files->close();
    QTRY_VERIFY(!window->tool(ZelCameraTool::FileAccess));
}

void TestZelCameraWindowTools::saveImage_data()
{
    QTest::addColumn<QString>("answer");    // relative to the temporary folder; empty: cancel
    QTest::addColumn<QString>("written");   // the file that must exist afterwards
    QTest::addColumn<QString>("message");   // the completion message, empty for none
    QTest::newRow("cancel") << "" << "" << "";
    QTest::newRow("new folder") << "shots/a.png" << "shots/a.png" << "Save Successful!";
    QTest::newRow("suffix from filter") << "shots/b" << "shots/b.BMP" << "Save Successful!";
    QTest::newRow("non-ASCII name") << QString::fromUtf8("shots/Bild_äöü.raw") << QString::fromUtf8("shots/Bild_äöü.raw")
                                    << "Save Successful!";
    QTest::newRow("writer failure") << "missing/c.png" << "" << "Save Failed!";
}

void TestZelCameraWindowTools::saveImage()
{
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("shots"));
    ZelAppSettings::instance()->setValue("Directory", "SaveImageDir", dir.path());
    QVERIFY(openWindow("GEV-G1-0001"));
    QVERIFY(grabImage());
    // A folder that is a file makes the writer fail.
    if (answer.startsWith("missing")) {
        QFile blocker(dir.filePath("missing"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    ZelDialogs::Script dialogs;
    if (!answer.isEmpty())
        dialogs.answer(dir.filePath(answer));
    QToolButton* save = window->propertyWidget()->form().toolBtnSave;
    emit window->propertyWidget()->saveButtonClicked();
    QCOMPARE(dialogs.requests().first().title, QString("Save image"));
    QCOMPARE(dialogs.requests().first().dir, dir.path());
    QCOMPARE(dialogs.requests().first().filter, QString("BMP (*.BMP);;PNG (*.PNG);;RAW (*.RAW)"));
    QVERIFY(!dialogs.requests().first().hasParent);
    if (message.isEmpty()) {
        QTest::qWait(100);
        QCOMPARE(dialogs.count(), 1);
        QVERIFY(save->isEnabled());
        return;
    }
    QTRY_COMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("Save Image"));
    QCOMPARE(dialogs.last().text, message);
    QCOMPARE(dialogs.last().icon, message == "Save Failed!" ? QMessageBox::Critical : QMessageBox::Information);
    QVERIFY(save->isEnabled());
    if (!written.isEmpty()) {
        QVERIFY2(QFileInfo(dir.filePath(written)).size() > 0, qPrintable(written));
    }
    // The folder of the chosen file is the next dialog's, even after a failure.
    QCOMPARE(storedFolder("SaveImageDir"), QFileInfo(dir.filePath(answer)).absolutePath());
}

void TestZelCameraWindowTools::saveWithoutImageAsksNothing()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QVERIFY(grabImage());
    // A new start frees the last image; the stop keeps it gone.
    emit window->propertyWidget()->stopButtonClicked();
    emit window->propertyWidget()->startButtonClicked();
    emit window->propertyWidget()->stopButtonClicked();
    ZelDialogs::Script dialogs;
    emit window->propertyWidget()->saveButtonClicked();
    QCOMPARE(dialogs.count(), 0);
}

void TestZelCameraWindowTools::settingsFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("first") && QDir(dir.path()).mkpath("second"));
    ZelAppSettings::instance()->setValue("Directory", "SettingsFileDir", dir.filePath("first"));
    QVERIFY(openWindow("GEV-G1-0001"));
    ZelDialogs::Script dialogs;

    // The proposal, then a name without suffix in another folder.
    dialogs.answer(dir.filePath("second/g1"));
    emit window->propertyWidget()->saveSettingsButtonClicked();
    QCOMPARE(dialogs.requests().at(0).title, QString("Save Settings"));
    QCOMPARE(dialogs.requests().at(0).filter, QString("txt (*.txt)"));
    const ORV_DEVICE_INFO info = window->camera()->GetDeviceInfo();
    QCOMPARE(dialogs.requests().at(0).dir, dir.filePath("first") + "/" + ZelUtil::RecordText(info.model) + "_" +
                                               ZelUtil::RecordText(info.tlType) + "_" +
                                               ZelUtil::RecordText(info.version));
    QCOMPARE(dialogs.last().text, QString("Save Successful!"));
    QVERIFY(QFileInfo(dir.filePath("second/g1.txt")).size() > 0);
    QCOMPARE(storedFolder("SettingsFileDir"), dir.filePath("second"));

    // A failed save stores its folder all the same.
    dialogs.answer(dir.filePath("nowhere/g1.txt"));
    emit window->propertyWidget()->saveSettingsButtonClicked();
    QCOMPARE(dialogs.last().text, QString("Save Failed!"));
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(storedFolder("SettingsFileDir"), dir.filePath("nowhere"));

    // A load never does.
    dialogs.answer(dir.filePath("second/g1.txt"));
    emit window->propertyWidget()->loadSettingsButtonClicked();
    QCOMPARE(dialogs.requests().at(dialogs.count() - 2).title, QString("Load Settings"));
    QCOMPARE(dialogs.requests().at(dialogs.count() - 2).dir, dir.filePath("nowhere"));
    QCOMPARE(dialogs.last().text, QString("Load Successful!"));
    QCOMPARE(storedFolder("SettingsFileDir"), dir.filePath("nowhere"));
    dialogs.answer(dir.filePath("second/none.txt"));
    emit window->propertyWidget()->loadSettingsButtonClicked();
    QCOMPARE(dialogs.last().text, QString("Load Failed!"));
    QCOMPARE(dialogs.last().icon, QMessageBox::Information);
    QCOMPARE(storedFolder("SettingsFileDir"), dir.filePath("nowhere"));

    // Cancelled dialogs change nothing.
    const int asked = dialogs.count();
    emit window->propertyWidget()->saveSettingsButtonClicked();
    emit window->propertyWidget()->loadSettingsButtonClicked();
    QCOMPARE(dialogs.count(), asked + 2);
    QCOMPARE(storedFolder("SettingsFileDir"), dir.filePath("nowhere"));
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindowTools::saveUserSet_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QString>("active");     // the selected set before; empty: leave it
    QTest::addColumn<bool>("refuseSave");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("steps");  // writes between the two heartbeat writes
    QTest::newRow("Default") << "GEV-G1-0001" << "orv_gev_tl.cti" << "Default" << false << true
                             << QStringList{"UserSetSelector=UserSet1 0", "UserSetSave! 0", "UserSetLoad! 0"};
    QTest::newRow("UserSet2") << "GEV-G1-0001" << "orv_gev_tl.cti" << "UserSet2" << false << true
                              << QStringList{"UserSetSave! 0"};
    QTest::newRow("save refused") << "GEV-G1-0001" << "orv_gev_tl.cti" << "Default" << true << false
                                  << QStringList{"UserSetSelector=UserSet1 0", "UserSetSave! -1007"};
    QTest::newRow("U2 without user sets") << "U3V-U2-0302" << "orv_u3v_tl.cti" << "" << false << false
                                          << QStringList();
}

void TestZelCameraWindowTools::saveUserSet()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(QString, active);
    QFETCH(bool, refuseSave);
    QFETCH(bool, saved);
    QFETCH(QStringList, steps);
    QVERIFY(openWindow(deviceId, producer));
    ZelFeatureManager* remote = window->camera()->remoteDeviceFeatures;
    if (!active.isEmpty())
        QVERIFY(remote->SetValueEnum("UserSetSelector", active.toUtf8().constData()));
    if (refuseSave)
        QCOMPARE(run("feature.fail remote:" + deviceId + " UserSetSave execute -1007 always"), 0);
    ZelDialogs::Script dialogs;
    bool result = !saved;
    const QString log = session.callsDuring([&] { result = window->saveUserSet(); });
    QCOMPARE(result, saved);
    const QStringList all =
        zeltest::featureWrites(log, {"GevHeartbeatTimeout", "UserSetSelector", "UserSetSave", "UserSetLoad"});
    // The heartbeat time-out is asked for before and after, in every case.
    QCOMPARE(log.count("name=\"GevHeartbeatTimeout\""), 2);
    const bool gige = deviceId.startsWith("GEV");
    QStringList expected = steps;
    if (gige) {
        expected.prepend("GevHeartbeatTimeout=30000 0");
        expected.append("GevHeartbeatTimeout=3000 0");
    }
    QCOMPARE(all, expected);
    // A save that failed says so; a camera without user sets tried none.
    QCOMPARE(dialogs.count(), saved || refuseSave ? 1 : 0);
    if (saved || refuseSave)
        QCOMPARE(dialogs.last().title, QString("User Set Control    "));
    if (saved) {
        QCOMPARE(dialogs.last().text, QString("   Save Setting successful     "));
        QCOMPARE(dialogs.last().icon, QMessageBox::Information);
    }
    if (refuseSave) {
        QCOMPARE(dialogs.last().text, QString("Save Setting failed!"));
        QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    }
}

void TestZelCameraWindowTools::noUserSetQuestionWithoutUserSets_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::newRow("G2") << "GEV-G2-0002" << "orv_gev_tl.cti";
    QTest::newRow("U2") << "U3V-U2-0302" << "orv_u3v_tl.cti";
}

void TestZelCameraWindowTools::noUserSetQuestionWithoutUserSets()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QVERIFY(openWindow(deviceId, producer));
    QVERIFY(!window->hasUserSets());
    window->onProgressBarValueChanged(false, 60);
    QProgressDialog* progress = window->progressDialog();
    QVERIFY(progress->isVisible());
    ZelDialogs::Script dialogs;
    const QStringList written = session.writesDuring([&] { window->onProgressBarValueChanged(true, 100); }, {});
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(written, QStringList());
    QVERIFY(!progress->isVisible());
    QCOMPARE(progress->labelText(), QString(" Upload Map To Camera...... "));
}

void TestZelCameraWindowTools::progressDialog()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onProgressBarValueChanged(false, 40);
    QProgressDialog* progress = window->progressDialog();
    QVERIFY(progress);
    QCOMPARE(progress->parent(), window->imageView());
    QCOMPARE(progress->windowTitle(), QString("Uploading Map..."));
    QCOMPARE(progress->labelText(), QString("Uploading....."));
    QCOMPARE(progress->value(), 40);
    QVERIFY(progress->isVisible());

    // No: the question is asked without parent and nothing is written.
    ZelDialogs::Script dialogs;
    dialogs.answer(QMessageBox::No);
    QString during;
    dialogs.whileOpen([&](const ZelDialogs::Request&) { during = progress->labelText(); });
    const QStringList written = session.writesDuring([&] { window->onProgressBarValueChanged(true, 100); }, {});
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().title, QString("Upload Map To Camera"));
    QVERIFY(!dialogs.last().hasParent);
    QCOMPARE(dialogs.last().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(during, QString(" upload to Camera finished (Save Current  Settings) "));
    QCOMPARE(progress->labelText(), QString(" Upload Map To Camera...... "));
    QVERIFY(!progress->isVisible());
    QCOMPARE(written, QStringList());
    QCOMPARE(window->progressDialog(), progress);

    // Yes stores the settings.
    dialogs.answer(QMessageBox::Yes);
    window->onProgressBarValueChanged(true, 100);
    QCOMPARE(dialogs.last().text, QString("   Save Setting successful     "));
}

void TestZelCameraWindowTools::loadSettingsRefreshesTheTree()
{
    QTemporaryDir dir;
    QVERIFY(openWindow("GEV-G1-0001"));
    ZelFeatureManager* remote = window->camera()->remoteDeviceFeatures;
    ZelFeatureTreeWidget* tree = window->propertyWidget()->treeAt(0);
    const QModelIndex gain = tree->model()->indexOf("Gain");
    QVERIFY(gain.isValid());
    // The tree shows Gain: its categories are open, outermost first.
    QList<QModelIndex> categories;
    for (QModelIndex parent = gain.parent(); parent.isValid(); parent = parent.parent())
        categories.prepend(parent);
    for (const QModelIndex& category : categories)
        tree->view()->expand(category);
    auto shown = [&] {
        return tree->model()->indexOf("Gain").data(ZelFeatureTreeModel::FeatureDataRole)
            .value<ZelFeatureData>().value.toDouble();
    };
    QVERIFY(remote->SetValue("Gain", 2.0));
    const QString file = dir.filePath("g1.txt");
    ZelDialogs::Script dialogs;
    dialogs.answer(file);
    emit window->propertyWidget()->saveSettingsButtonClicked();
    QCOMPARE(dialogs.last().text, QString("Save Successful!"));
    QVERIFY(remote->SetValue("Gain", 5.0));
    QCOMPARE(shown(), 5.0);

    // The load is not reported feature by feature; the tree reads once after it.
    QSignalSpy reports(remote, &ZelFeatureManager::featureInvalidated);
    QString during;
    dialogs.whileOpen([&](const ZelDialogs::Request&) { during = QString::number(shown()); });
    dialogs.answer(file);
    emit window->propertyWidget()->loadSettingsButtonClicked();
    QCOMPARE(dialogs.last().text, QString("Load Successful!"));
    QCOMPARE(reports.count(), 0);
    QCOMPARE(during, QString("2"));
    QCOMPARE(shown(), 2.0);
}

void TestZelCameraWindowTools::ioConfigWritesRefreshTheTree()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onShowIOConfigWidget();
    auto* io = qobject_cast<ZelIOConfigWidget*>(window->tool(ZelCameraTool::IOConfig));
    QVERIFY(io);
    QCOMPARE(io->lineItems().size(), 4);
    // The window's refresh reads the transport-layer lock before the tree.
    const QString log =
        session.callsDuring([&] { io->lineItems().at(2)->inverterBox->checkBox()->click(); });
    const int written = log.indexOf("feature=\"LineInverter\"");
    QVERIFY2(written >= 0, qPrintable(log));
    QVERIFY2(log.indexOf("TLParamsLocked", written) > written, qPrintable(log));
}

void TestZelCameraWindowTools::defectToolIsMadeWithTheWindow_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("tool");
    QTest::addColumn<QString>("selectBytes"); // custom map selected through the tool
    QTest::newRow("G1, features") << "GEV-G1-0001" << "orv_gev_tl.cti" << true << "00 00 00 01";
    QTest::newRow("C2, big-endian registers") << "CL-C2-0402" << "orv_cl_tl.cti" << true << "00 00 00 01";
    QTest::newRow("U1, little-endian registers") << "U3V-U1-0301" << "orv_u3v_tl.cti" << true << "01 00 00 00";
    QTest::newRow("U2, no correction") << "U3V-U2-0302" << "orv_u3v_tl.cti" << false << "";
}

void TestZelCameraWindowTools::defectToolIsMadeWithTheWindow()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, tool);
    QFETCH(QString, selectBytes);
    QVERIFY(openWindow(deviceId, producer));
    auto* defect = qobject_cast<ZelDefectPixelCorrection*>(window->tool(ZelCameraTool::DefectPixelCorrection));
    QCOMPARE(defect != nullptr, tool);
    if (!defect) {
        window->onSelectCustomMap(true); // nothing to do
        return;
    }
    QVERIFY(!defect->isVisible());
    QCOMPARE(defect->parent(), window.data());
    QVERIFY(window->progressDialog());
    QVERIFY(!window->progressDialog()->isVisible());

    QSignalSpy status(window.data(), &ZelCameraWindow::updateDefectPixelStatus);
    window->onSelectCustomMap(false);
    QString reply;
    run("memory.peek " + deviceId + " 0x10004014 4", &reply);
    QCOMPARE(reply, QString("00 00 00 00"));
    window->onSelectCustomMap(true);
    run("memory.peek " + deviceId + " 0x10004014 4", &reply);
    QCOMPARE(reply, selectBytes);
    window->onEnableCorrection(true);
    window->onInitDefectPixelCorection();
    QCOMPARE(status.count(), 1);
    QCOMPARE(status[0], (QList<QVariant>{true, true, false}));
    window->onSelectFactoryMap(true);
    window->onEnableCorrection(false);
    window->onInitDefectPixelCorection();
    QCOMPARE(status[1], (QList<QVariant>{false, false, false}));

    // Shown on request, the same window.
    window->onShowDefectPixelCorrectionWidget();
    QVERIFY(defect->isVisible());
    window->onShowDefectPixelCorrection();
    QCOMPARE(window->tool(ZelCameraTool::DefectPixelCorrection), defect);
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindowTools::defectMapCommands()
{
    QTemporaryDir files;
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onSelectCustomMap(true);
    const QString in = files.filePath("in.txt");
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("5;7;0\n100;200;0\n");
    }
    // Import uploads; the question after the upload is answered No.
    ZelDialogs::Script dialogs;
    dialogs.answer(in);
    dialogs.answer(QMessageBox::No);
    window->onImportMap();
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("Upload Map To Camera"));
    QString reply;
    run("defectmap.get GEV-G1-0001 1", &reply);
    QCOMPARE(reply, QString("size=2\n5,7\n100,200\n"));

    // Export downloads the camera's map into a file.
    const QString out = files.filePath("out.txt");
    dialogs.clear();
    dialogs.answer(out);
    window->onExportMap();
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QString("Save Map To File"));
    QCOMPARE(dialogs.last().text, QString("  Save Successful  "));
    QVERIFY(dialogs.last().hasParent);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("5;7;111\n100;200;111\n"));

    // A cancelled file dialog: no message.
    dialogs.clear();
    window->onExportMap();
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindowTools::defectUploadEndsTheProgress()
{
    QTemporaryDir files;
    QVERIFY(openWindow("CL-C2-0402", "orv_cl_tl.cti"));
    window->onSelectCustomMap(true);
    const QString in = files.filePath("in.txt");
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1;1;0\n2;2;0\n3;3;0\n");
    }
    QCOMPARE(run("register.fail CL-C2-0402 0x10025000 write -1013"), 0);
    QProgressDialog* progress = window->progressDialog();
    ZelDialogs::Script dialogs;
    bool shownDuring = false;
    dialogs.whileOpen([&](const ZelDialogs::Request&) { shownDuring = shownDuring || progress->isVisible(); });
    dialogs.answer(in);
    window->onImportMap();
    // The failure is told, the progress is gone, no user set question.
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().text, QString(" Upload Failed"));
    QVERIFY(!progress->isVisible());
    QVERIFY(!shownDuring);

    // Some entries skipped: a warning, no question, the progress gone.
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1;1;0\n2;2;9\n");
    }
    dialogs.clear();
    dialogs.answer(in);
    window->onImportMap();
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().icon, QMessageBox::Warning);
    QVERIFY(!progress->isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindowTools::defectLoadMapKeepsTheCameraMapOfARefusedFile()
{
    QTemporaryDir files;
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onSelectCustomMap(true);
    const QString in = files.filePath("in.txt");
    const auto load = [&](const QByteArray& text) {
        QFile f(in);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        f.close();
        window->onImportMap();
    };
    ZelDialogs::Script dialogs;
    dialogs.answer(in);
    dialogs.answer(QMessageBox::No);
    load("5;7;0\n100;200;0\n");
    QString before;
    run("defectmap.get GEV-G1-0001 1", &before);
    QCOMPARE(before, QString("size=2\n5,7\n100,200\n"));

    // An empty file and a line that is no entry: one box each, and the
    // camera keeps its map.
    for (const QByteArray& text : {QByteArray(), QByteArray("5;7;0\nabc;def;ghi\n")}) {
        dialogs.clear();
        dialogs.answer(in);
        load(text);
        QCOMPARE(dialogs.count(), 2);
        QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
        QCOMPARE(dialogs.last().title, QString("Load Map"));
        QString after;
        run("defectmap.get GEV-G1-0001 1", &after);
        QCOMPARE(after, before);
    }
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TestZelCameraWindowTools)
#include "tst_ZelCameraWindowTools.moc"
