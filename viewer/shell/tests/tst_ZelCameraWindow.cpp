#include "../../core/tests/TestHome.h"
#include "../../core/tests/ZelSimSdk.h"

#include "ZelAppSettings.h"
#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelCameraWindow.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeModel.h"
#include "ZelFeatureTreeWidget.h"
#include "ZelImageViewWidget.h"
#include "ZelPropertyWidget.h"

#include <QApplication>
#include <QDockWidget>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using zeltest::SimWorldSdk;

// A loaded machine (sanitizers, parallel builds) makes these waits longer,
// never a failure.
#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 30000)
#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, 30000)

namespace {

enum StatusLabel { ImageId, ImageLost, Timestamp, X, Y, PixelValue, FrameRate, DataRate, Zoom };

int countMessages(const ZelDialogs::Script& script, const QString& text)
{
    int n = 0;
    for (const ZelDialogs::Request& request : script.requests())
        n += request.text == text ? 1 : 0;
    return n;
}

const QString disconnectedText = QStringLiteral("<p align='center'>Camera Disconnected!<br>");

} // namespace

class TestZelCameraWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(useTestHome(home));
    }
    void init() { QVERIFY(zeltest::startWorld(sdk)); }
    void cleanup()
    {
        delete window;
        QVERIFY(!QApplication::overrideCursor());
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            managers.value(it.key())->CloseCamera(it.value());
        keys.clear();
        managers.clear();
        sdk.reset();
    }

    void liveImagesAndStatusBar_data();
    void liveImagesAndStatusBar();
    void constructionProbes();
    void statusLabelsHoldTheirLongestTexts();
    void snapTwice();
    void snapWithoutImageLeavesPanelAndStreamInAgreement();
    void refusedStartIsAFailure();
    void disconnectWhileStreaming();
    void disconnectDuringSnap();
    void eventsThatAreNoDisconnectKeepTheWindow();
    void readOnlyWindow();
    void refreshWhileStreamingKeepsTheLock();
    void refreshWhenStoppedRestoresTheLock();
    void waitsWithoutAnImageAreNoFault_data();
    void waitsWithoutAnImageAreNoFault();
    void streamErrorIsReportedOncePerStart();
    void ratesShowWhenImagesStop();
    void lossWhileADialogIsOpenWaitsForIt_data();
    void lossWhileADialogIsOpenWaitsForIt();
    void closeWhileADialogIsOpenEndsAfterIt();

private:
    ZelCamera* open(const QString& producer, const QString& deviceId, int access = ORV_ACCESS_MODE_CONTROL)
    {
        auto manager = std::make_shared<ZelCameraManager>(SimWorldSdk::systemIndex(producer));
        QString key;
        ZelCamera* camera = zeltest::openCamera(*manager, deviceId, access, &key);
        if (camera) {
            managers[deviceId] = manager;
            keys[deviceId] = key;
        }
        return camera;
    }
    // A window on a camera that streams only on request.
    ZelCameraWindow* openWindow(const QString& deviceId, const QString& producer = "orv_gev_tl.cti",
                                int access = ORV_ACCESS_MODE_CONTROL)
    {
        ZelCamera* camera = open(producer, deviceId, access);
        if (!camera)
            return nullptr;
        sdk->control.run(("stream.manual " + deviceId + " on").toStdString());
        window = new ZelCameraWindow(camera, access);
        window->show();
        return window;
    }
    // Images on request only: a triggered camera, whose waits are no fault.
    void triggered() { QVERIFY(window->camera()->remoteDeviceFeatures->SetValueEnum("TriggerMode", "On")); }
    int run(const QString& command) { return sdk->control.run(command.toStdString()); }
    QString status(StatusLabel label) const { return window->statusTexts().at(label); }
    ZelPropertyWidget::Form form() const { return window->propertyWidget()->form(); }
    ZelCameraDataStream* stream() const { return window->camera()->dataStream; }

    QTemporaryDir home;
    std::unique_ptr<SimWorldSdk> sdk;
    QMap<QString, std::shared_ptr<ZelCameraManager>> managers;
    QMap<QString, QString> keys;
    QPointer<ZelCameraWindow> window;
};

void TestZelCameraWindow::liveImagesAndStatusBar_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("pixelPrefix");
    QTest::newRow("mono") << "GEV-G1-0001" << "SIM-G1280M - 0001 - SIM mono series rev B" << "Mono: ";
    QTest::newRow("colour") << "GEV-G2-0002" << "SIM-G1280C - 0002 - SIM colour series" << "RGB: R=";
}

void TestZelCameraWindow::liveImagesAndStatusBar()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, title);
    QFETCH(QString, pixelPrefix);
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow(deviceId));
    QCOMPARE(window->windowTitle(), title);
    QStringList initial = window->statusTexts();
    initial.removeAt(PixelValue); // the cursor may already rest on the view
    initial.removeAt(Y);
    initial.removeAt(X);
    QCOMPARE(initial, QStringList({"Image ID: ", "Image Lost: ", "Timestamp: ", "Camera FPS: ", "Data Rate(MB/s)",
                                   "Zoom: 100%"}));
    triggered();

    emit window->propertyWidget()->startButtonClicked();
    QVERIFY(stream()->IsStarted());
    QVERIFY(!form().toolBtnStart->isEnabled());
    QVERIFY(form().toolBtnStop->isEnabled());
    QVERIFY(!form().toolBtnSave->isEnabled());

    QCOMPARE(run("stream.frame " + deviceId + " 3"), 0);
    QTRY_VERIFY(status(ImageId) != "Image ID: ");
    QVERIFY(status(ImageId).mid(10).toULongLong() > 0);
    QTest::qWait(300);
    const QString shownId = status(ImageId);
    QVERIFY(status(Timestamp).startsWith("Timestamp: "));
    QVERIFY(status(Timestamp).mid(11).toULongLong() > 0);
    QVERIFY(form().toolBtnSave->isEnabled());

    emit window->imageView()->cursorPosChange(QPoint(2, 3));
    QCOMPARE(status(X), QString("X: 2"));
    QCOMPARE(status(Y), QString("Y: 3"));
    QVERIFY2(status(PixelValue).startsWith(pixelPrefix), qPrintable(status(PixelValue)));
    // Beyond the image: X and Y follow, the value stays.
    const QString value = status(PixelValue);
    emit window->imageView()->cursorPosChange(QPoint(5000, 3));
    QCOMPARE(status(X), QString("X: 5000"));
    QCOMPARE(status(PixelValue), value);
    emit window->imageView()->cursorPosChange(QPoint(-1, -1));
    QCOMPARE(status(X), QString());
    QCOMPARE(status(PixelValue), QString());

    emit window->imageView()->zoomEvent(125.0);
    QCOMPARE(status(Zoom), QString("Zoom: 125.00%"));

    emit window->propertyWidget()->stopButtonClicked();
    QVERIFY(!stream()->IsStarted());
    QVERIFY(form().toolBtnStart->isEnabled());
    QVERIFY(!form().toolBtnStop->isEnabled());
    // Images requested after the stop never show.
    run("stream.frame " + deviceId + " 2");
    QTest::qWait(200);
    QCOMPARE(status(ImageId), shownId);
    // The last image survives the stop for the readout.
    emit window->imageView()->cursorPosChange(QPoint(2, 3));
    QCOMPARE(status(PixelValue), value);
    QCOMPARE(dialogs.count(), 0);
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindow::constructionProbes()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QVERIFY(!window->isReadOnly());
    QVERIFY(window->isBigEndian());
    QVERIFY(window->isDefectPixelCorrectionSupported());
    QVERIFY(!window->isRegisterMode());
    QVERIFY(window->isNUShadingSupported());
    QVERIFY(window->isFileAccessSupported());
    QVERIFY(!window->isColorCorrectionAvailable());
    QCOMPARE(window->centralWidget(), window->imageView());
    QCOMPARE(window->dock()->objectName(), QString("dockWidget"));
    QVERIFY(window->dock()->features() & QDockWidget::DockWidgetFloatable);
}

void TestZelCameraWindow::statusLabelsHoldTheirLongestTexts()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    const QList<QLabel*> labels = window->statusLabels();
    const QStringList longest = ZelCameraWindow::longestStatusTexts();
    QCOMPARE(labels.size(), longest.size());
    QVERIFY(longest.contains("RGB: R=255 G=255 B=255"));
    QVERIFY(longest.contains("Camera FPS: 9999.9"));
    QVERIFY(longest.contains("Data Rate(MB/s): 9999.9999"));
    const QList<int> partWidths = {120, 120, 230, 60, 60, 140, 120, 200, 120};
    for (int i = 0; i < labels.size(); ++i) {
        const QLabel* label = labels.at(i);
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(longest.at(i)), qPrintable(longest.at(i)));
        QVERIFY2(label->width() >= partWidths.at(i), qPrintable(longest.at(i)));
    }
}

void TestZelCameraWindow::snapTwice()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    run("stream.manual GEV-G1-0001 off");
    emit window->propertyWidget()->snapButtonClicked();
    QVERIFY(stream()->IsStarted());
    QTRY_VERIFY(status(ImageId) != "Image ID: ");
    const QString first = status(ImageId);
    // One image gives no frame or data rate.
    QTest::qWait(100);
    QCOMPARE(status(FrameRate), QString("Camera FPS: "));
    QCOMPARE(status(DataRate), QString("Data Rate(MB/s)"));
    QVERIFY(form().toolBtnStart->isEnabled());
    QVERIFY(form().toolBtnStop->isEnabled());
    emit window->propertyWidget()->snapButtonClicked();
    QTRY_VERIFY(status(ImageId) != first);
    QVERIFY(status(ImageId).mid(10).toULongLong() > first.mid(10).toULongLong());
    QCOMPARE(dialogs.count(), 0);
    // A start after a snap only starts the camera; stop tears the stream down.
    emit window->propertyWidget()->startButtonClicked();
    QVERIFY(!form().toolBtnStart->isEnabled());
    emit window->propertyWidget()->stopButtonClicked();
    QVERIFY(!stream()->IsStarted());
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindow::snapWithoutImageLeavesPanelAndStreamInAgreement()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    run("stream.stall GEV-G1-0001 on");
    emit window->propertyWidget()->snapButtonClicked();
    QCOMPARE(status(ImageId), QString("Image ID: "));
    // The snap started the stream for nothing: it is stopped again, and the
    // panel says so.
    QVERIFY(!stream()->IsStarted());
    QVERIFY(form().toolBtnStart->isEnabled());
    QVERIFY(!form().toolBtnStop->isEnabled());
    QCOMPARE(dialogs.count(), 0);
}

void TestZelCameraWindow::refusedStartIsAFailure()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    QCOMPARE(run("feature.fail remote:GEV-G1-0001 AcquisitionStart execute -1013 always"), 0);
    emit window->propertyWidget()->startButtonClicked();
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.last().text, QString("StartAcquisition failed!"));
    QCOMPARE(dialogs.last().title, QString());
    QVERIFY(form().toolBtnStart->isEnabled());
    QVERIFY(!form().toolBtnStop->isEnabled());
    QVERIFY(!QApplication::overrideCursor());

    // The stream itself refuses: same message, no connections left behind.
    emit window->propertyWidget()->stopButtonClicked();
    QCOMPARE(run("fault.clear"), 0);
    QCOMPARE(run("call.fail OrvStreamAcquisitionStart -1013 always"), 0);
    emit window->propertyWidget()->startButtonClicked();
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().text, QString("StartAcquisition failed!"));
    QVERIFY(!stream()->IsStarted());
    QVERIFY(form().toolBtnStart->isEnabled());
}

void TestZelCameraWindow::disconnectWhileStreaming()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    run("stream.manual GEV-G1-0001 off");
    emit window->propertyWidget()->startButtonClicked();
    QTRY_VERIFY(status(ImageId) != "Image ID: ");
    QCOMPARE(run("device.unplug GEV-G1-0001"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
    QTest::qWait(100);
    QCOMPARE(countMessages(dialogs, disconnectedText), 1);
    const ZelDialogs::Request notice = dialogs.requests().at(dialogs.requests().size() - 1);
    QCOMPARE(notice.title, QString("GEV-G1-0001"));
    QCOMPARE(notice.icon, QMessageBox::Critical);
}

void TestZelCameraWindow::disconnectDuringSnap()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    // No image comes: the snap waits until the camera goes.
    QTimer::singleShot(300, this, [this] { run("device.unplug GEV-G1-0001"); });
    QElapsedTimer clock;
    clock.start();
    emit window->propertyWidget()->snapButtonClicked();
    QVERIFY(clock.elapsed() < ZelCameraDataStream::snapTimeoutMs);
    // Still alive here: deletion waited for the snap.
    QVERIFY(!window.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
    QCOMPARE(countMessages(dialogs, disconnectedText), 1);
}

void TestZelCameraWindow::eventsThatAreNoDisconnectKeepTheWindow()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    QVERIFY(QMetaObject::invokeMethod(window, "_onConnectionStatusChanged", Q_ARG(int, 4000), Q_ARG(QVariant, QVariant(7))));
    QVERIFY(QMetaObject::invokeMethod(window, "_onConnectionStatusChanged", Q_ARG(int, 4000), Q_ARG(QVariant, QVariant())));
    QCOMPARE(run("event.fire GEV-G1-0001 4000 1"), 0);
    QCOMPARE(run("event.fire GEV-G1-0001 4000 2"), 0);
    QTest::qWait(300);
    QVERIFY(!window.isNull());
    QCOMPARE(dialogs.count(), 0);

    // Two losses in a row: one notice, one deletion.
    QCOMPARE(run("event.fire GEV-G1-0001 4000 3"), 0);
    QCOMPARE(run("event.fire GEV-G1-0001 4000 0"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
    QTest::qWait(200);
    QCOMPARE(countMessages(dialogs, disconnectedText), 1);
}

void TestZelCameraWindow::readOnlyWindow()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G3-0003", "orv_gev_tl.cti", ORV_ACCESS_MODE_READ_ONLY));
    QVERIFY(window->isReadOnly());
    QCOMPARE(window->dock()->features(), QDockWidget::NoDockWidgetFeatures);
    emit window->propertyWidget()->startButtonClicked();
    emit window->propertyWidget()->snapButtonClicked();
    emit window->propertyWidget()->stopButtonClicked();
    QVERIFY(!window->camera()->dataStream || !window->camera()->dataStream->IsStarted());
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(window->windowTitle(), QString("SIM-G640M - 0003"));
}

void TestZelCameraWindow::refreshWhileStreamingKeepsTheLock()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    triggered();
    emit window->propertyWidget()->startButtonClicked();
    QVERIFY(stream()->IsStarted());
    QCOMPARE(run("log.calls on"), 0);
    run("log.calls.clear");
    emit window->propertyWidget()->ButtonRefresh();
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    run("log.calls off");
    for (const QString& line : QString::fromStdString(calls).split('\n')) {
        QVERIFY2(!(line.contains("TLParamsLocked") && line.contains("SetValue")), qPrintable(line));
    }
    std::string state;
    sdk->control.run("state.get remote:GEV-G1-0001 TLParamsLocked", &state);
    QVERIFY2(QString::fromStdString(state).contains("1"), state.c_str());
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindow::refreshWhenStoppedRestoresTheLock()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    QCOMPARE(run("feature.set remote:GEV-G1-0001 TLParamsLocked 1"), 0);
    QCOMPARE(run("log.calls on"), 0);
    run("log.calls.clear");
    emit window->propertyWidget()->ButtonRefresh();
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    run("log.calls off");
    QStringList writes;
    for (const QString& line : QString::fromStdString(calls).split('\n')) {
        if (line.contains("TLParamsLocked") && line.contains("SetValue"))
            writes << line;
    }
    QCOMPARE(writes.size(), 2);
    QVERIFY2(writes.first().contains("value=0"), qPrintable(writes.first()));
    QVERIFY2(writes.last().contains("value=1"), qPrintable(writes.last()));
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindow::waitsWithoutAnImageAreNoFault_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("runMs");
    QTest::addColumn<int>("images");
    // A long exposure: one image every 2.5 s, so most waits run out.
    QTest::newRow("free-running at 0.4 images a second") << "fps 0.4" << 6000 << 2;
    QTest::newRow("triggered, no trigger") << "trigger" << 2500 << 0;
}

void TestZelCameraWindow::waitsWithoutAnImageAreNoFault()
{
    QFETCH(QString, mode);
    QFETCH(int, runMs);
    QFETCH(int, images);
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    if (mode == "trigger") {
        triggered();
    } else {
        QCOMPARE(run("stream." + mode.replace(' ', " GEV-G1-0001 ")), 0);
        QCOMPARE(run("stream.manual GEV-G1-0001 off"), 0);
    }
    emit window->propertyWidget()->startButtonClicked();
    QVERIFY(stream()->IsStarted());
    QSet<QString> shown;
    const auto look = [&] {
        if (status(ImageId) != "Image ID: ")
            shown << status(ImageId);
        return shown.size();
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < runMs) {
        QTest::qWait(50);
        look();
    }
    QCOMPARE(dialogs.count(), 0);
    QVERIFY(stream()->IsStarted());
    QVERIFY(form().toolBtnStop->isEnabled());
    // The slow images keep coming and are shown; a slow machine may take longer.
    QTRY_VERIFY_WITH_TIMEOUT(look() >= images, 10000);
    if (images == 0)
        QCOMPARE(look(), 0);
    QCOMPARE(dialogs.count(), 0);
}

void TestZelCameraWindow::ratesShowWhenImagesStop()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    QCOMPARE(run("stream.manual GEV-G1-0001 off"), 0);
    emit window->propertyWidget()->startButtonClicked();
    const auto rate = [this] { return status(FrameRate).mid(12).toDouble(); };
    QTRY_VERIFY(rate() > 0);
    // The camera now waits for triggers that do not come.
    QCOMPARE(run("stream.manual GEV-G1-0001 on"), 0);
    QTRY_COMPARE(status(FrameRate), QString("Camera FPS: 0.0"));
    QCOMPARE(status(DataRate), QString("Data Rate(MB/s): 0.0000"));
    QVERIFY(stream()->IsStarted());

    // Images again: no more "stopped".
    const QString shownId = status(ImageId);
    QCOMPARE(run("stream.frame GEV-G1-0001 1"), 0);
    QTRY_VERIFY(status(ImageId) != shownId);
    QVERIFY(status(FrameRate) != QString("Camera FPS: 0.0"));
    QVERIFY(status(DataRate) != QString("Data Rate(MB/s): 0.0000"));
    QCOMPARE(run("stream.manual GEV-G1-0001 off"), 0);
    QTRY_VERIFY(rate() > 0);

    // A slow camera waits several of its own periods before it counts as
    // stopped: at 0.4 images a second, 7.5 s.
    QCOMPARE(run("stream.manual GEV-G1-0001 on"), 0);
    QTRY_COMPARE(status(FrameRate), QString("Camera FPS: 0.0"));
    QVERIFY(QMetaObject::invokeMethod(window, "_onUpdateFrameRate", Q_ARG(QString, "0.4")));
    QTest::qWait(2000);
    QCOMPARE(status(FrameRate), QString("Camera FPS: 0.4"));

    // A stop keeps the labels as they are.
    emit window->propertyWidget()->stopButtonClicked();
    QCOMPARE(status(FrameRate), QString("Camera FPS: 0.4"));
    QCOMPARE(dialogs.count(), 0);
}

void TestZelCameraWindow::streamErrorIsReportedOncePerStart()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    run("stream.manual GEV-G1-0001 off");
    const QString text = "<p align='center'>Acquisition Error!<br>-1001<br></p>";
    // Every wait fails from now on, and the window gives one notice per start.
    QCOMPARE(run("call.fail OrvStreamWaitForNewBuffer -1013 always"), 0);
    for (int start = 1; start <= 2; ++start) {
        emit window->propertyWidget()->startButtonClicked();
        QTRY_COMPARE(countMessages(dialogs, text), start);
        QVERIFY(!stream()->IsStarted());
        QVERIFY(form().toolBtnStart->isEnabled());
        QTest::qWait(300); // further failed waits of that start were reported too
        QCOMPARE(countMessages(dialogs, text), start);
    }
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(run("fault.clear"), 0);
}

void TestZelCameraWindow::lossWhileADialogIsOpenWaitsForIt_data()
{
    QTest::addColumn<QString>("dialogTitle");
    QTest::newRow("auto-save folder of the panel") << "Open Directory";
    QTest::newRow("user-set notice of the feature tree") << "User Set Control";
}

// A dialog runs its own event loop while the slot that opened it waits; the
// window and its panel must outlive that slot, whatever the camera does.
void TestZelCameraWindow::lossWhileADialogIsOpenWaitsForIt()
{
    QFETCH(QString, dialogTitle);
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    bool opened = false;
    bool aliveWhileOpen = false;
    dialogs.whileOpen([&](const ZelDialogs::Request& request) {
        if (request.title != dialogTitle || opened)
            return;
        opened = true;
        run("device.unplug GEV-G1-0001");
        // The dialog's loop, on until the loss was reported and a while after.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (countMessages(dialogs, disconnectedText) > 0)
                QTimer::singleShot(300, &loop, &QEventLoop::quit);
        });
        poll.start(20);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a loaded machine reports late
        loop.exec();
        aliveWhileOpen = !window.isNull();
    });

    if (dialogTitle == QLatin1String("Open Directory")) {
        QCheckBox* autoSave = form().chkAutoSave;
        autoSave->click();
        QVERIFY(!autoSave->isChecked());
    } else {
        ZelFeatureTreeModel* model = window->propertyWidget()->treeAt(0)->model();
        const QModelIndex load = model->indexOf("UserSetLoad");
        QVERIFY(load.isValid());
        QVERIFY(model->setData(load.sibling(load.row(), 1), true, Qt::EditRole));
    }
    QVERIFY(opened);
    QCOMPARE(countMessages(dialogs, disconnectedText), 1);
    QVERIFY(aliveWhileOpen);
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
}

// A deletion refused while a dialog is open is not lost when other events
// for the window keep waiting, as they do while it paints.
void TestZelCameraWindow::closeWhileADialogIsOpenEndsAfterIt()
{
    ZelDialogs::Script dialogs;
    QVERIFY(openWindow("GEV-G1-0001"));
    QTimer queue;
    connect(&queue, &QTimer::timeout, window,
            [this] { QCoreApplication::postEvent(window, new QEvent(QEvent::User)); });
    queue.start(0);
    bool opened = false;
    bool aliveWhileOpen = false;
    dialogs.whileOpen([&](const ZelDialogs::Request& request) {
        if (request.title != QLatin1String("Open Directory") || opened)
            return;
        opened = true;
        QVERIFY(window->close());
        // The dialog's loop, long enough for the deletion to be refused and
        // tried again.
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        aliveWhileOpen = !window.isNull();
    });
    form().chkAutoSave->click();
    QVERIFY(opened);
    QVERIFY(aliveWhileOpen);
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
}

QTEST_MAIN(TestZelCameraWindow)
#include "tst_ZelCameraWindow.moc"
