#include "SimWindowRig.h"

#include "ZelCamera.h"
#include "ZelCameraWindow.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelImageViewWidget.h"
#include "ZelNUShadingCorrection.h"
#include "ZelPropertyWidget.h"
#include "ZelShadingCorrection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestZelCameraWindowShading : public QObject, protected CameraWindowRig<>
{
    Q_OBJECT

public:
    TestZelCameraWindowShading() : CameraWindowRig(Stream::FreeRunning) {}

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(startSession()); }
    void cleanup() { QVERIFY(closeAll()); }

    void initialisationPicksTheTool_data();
    void initialisationPicksTheTool();
    void mapCommands();
    void commandsWithoutToolDoNothing();
    void importShadingMapUploads();
    void failedNonUniformLoadIsReported();
    void failedUploadClosesTheProgress();
    void nonUniformMapFlattensTheVignette();

private:
    QStringList writes(const std::function<void()>& action)
    {
        return session.writesDuring(action, {"Shading_Control", "Shading_MapSelect"});
    }
    QString file(const QString& name, const QByteArray& content)
    {
        QFile f(files.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(content);
        return f.fileName();
    }

    // One more image of the camera, saved as the operator saves it (BMP)
    // and read back.
    QImage grabAndSave(const QString& deviceId, const QString& name)
    {
        const QString before = window->statusTexts().value(0);
        if (session.run("stream.frame " + deviceId + " 1") != 0)
            return QImage();
        if (!QTest::qWaitFor([&] { return window->statusTexts().value(0) != before; }, 10000))
            return QImage();
        const QString path = files.filePath(name);
        ZelDialogs::Script dialogs;
        dialogs.answer(path);
        emit window->propertyWidget()->saveButtonClicked();
        if (!QTest::qWaitFor([&] { return dialogs.count() == 2; }, 10000)
            || dialogs.last().text != QStringLiteral("Save Successful!"))
            return QImage();
        return QImage(path);
    }

    QTemporaryDir files;
};

void TestZelCameraWindowShading::initialisationPicksTheTool_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QString>("tool");
    QTest::newRow("G1 non-uniform") << "GEV-G1-0001" << "orv_gev_tl.cti" << "ZelNUShadingCorrection";
    QTest::newRow("U1 non-uniform") << "U3V-U1-0301" << "orv_u3v_tl.cti" << "ZelNUShadingCorrection";
    QTest::newRow("G2 block") << "GEV-G2-0002" << "orv_gev_tl.cti" << "ZelShadingCorrection";
    QTest::newRow("C2 block") << "CL-C2-0402" << "orv_cl_tl.cti" << "ZelShadingCorrection";
    QTest::newRow("U2 none") << "U3V-U2-0302" << "orv_u3v_tl.cti" << QString();
}

void TestZelCameraWindowShading::initialisationPicksTheTool()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(QString, tool);
    QVERIFY(openWindow(deviceId, producer));
    QCOMPARE(session.run("feature.set remote:" + deviceId + " Shading_MapSelect 2") == 0, !tool.isEmpty());
    QSignalSpy status(window.data(), &ZelCameraWindow::updateShadingStatus);
    window->onInitShadingCorection();
    QWidget* made = window->tool(ZelCameraTool::NUShading);
    if (!made)
        made = window->tool(ZelCameraTool::BlockShading);
    if (tool.isEmpty()) {
        QVERIFY(!made);
        QCOMPARE(status.count(), 0);
        QVERIFY(!window->progressDialog());
        return;
    }
    QVERIFY(made);
    QCOMPARE(QString(made->metaObject()->className()), tool);
    QVERIFY(!made->isVisible());
    QCOMPARE(made->parent(), window.data());
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first(), (QList<QVariant>{false, 2, false}));
    QVERIFY(window->progressDialog());
    QVERIFY(!window->progressDialog()->isVisible());
    // The show slot shows the one tool; a second initialisation keeps it.
    window->onShowShadingCorrectionWidget();
    QVERIFY(made->isVisible());
    window->onInitShadingCorection();
    QCOMPARE(window->findChildren<ZelShadingTool*>().size(), 1);
    QVERIFY(!QApplication::overrideCursor());
}

void TestZelCameraWindowShading::mapCommands()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    window->onInitShadingCorection();
    QCOMPARE(writes([&] { window->onSelectMap1(false); }), QStringList());
    QCOMPARE(writes([&] { window->onSelectMap1(true); }), QStringList{"Shading_MapSelect=1 0"});
    // The view's menu reaches the same slots.
    QCOMPARE(writes([&] { emit window->imageView()->actionViewerSelectMap2(true); }),
             QStringList{"Shading_MapSelect=2 0"});
    QCOMPARE(writes([&] { emit window->imageView()->actionViewerActionShadingEnableCorrection(true); }),
             QStringList{"Shading_Control=1 0"});
    QSignalSpy status(window.data(), &ZelCameraWindow::updateShadingStatus);
    window->onInitShadingCorection();
    QCOMPARE(status.first(), (QList<QVariant>{true, 2, false}));
    QCOMPARE(writes([&] { window->onEnableShadingCorrection(false); }), QStringList{"Shading_Control=0 0"});
}

void TestZelCameraWindowShading::commandsWithoutToolDoNothing()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    ZelDialogs::Script dialogs;
    QCOMPARE(writes([&] {
                 window->onSelectMap0(true);
                 window->onEnableShadingCorrection(true);
                 window->onImportShadingMap();
                 window->onShowShadingCorrectionWidget();
             }),
             QStringList());
    QCOMPARE(dialogs.count(), 0);
}

void TestZelCameraWindowShading::importShadingMapUploads()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    window->onInitShadingCorection();
    ZelDialogs::Script dialogs;
    dialogs.answer(file("map.txt", "2; 1; 1; 2; "));
    QCOMPARE(writes([&] { emit window->imageView()->actionViewerActionsLoadShadingMap(); }),
             QStringList{"Shading_Control=1 0"});
    // G2 has no user sets to store the map in: only the file was asked for.
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().title, QStringLiteral("Import Map"));
    QVERIFY(!window->progressDialog()->isVisible());
    QString memory;
    session.run("memory.peek GEV-G2-0002 0x10100000 4", &memory);
    QCOMPARE(memory.trimmed().remove(' ').toLower(), QStringLiteral("10002000"));
}

void TestZelCameraWindowShading::failedNonUniformLoadIsReported()
{
    QVERIFY(openWindow("GEV-G1-0001"));
    window->onInitShadingCorection();
    ZelDialogs::Script dialogs;
    const QString path = file("short.bin", QByteArray("\x02\0\0\0\x01\0\0\0", 8));
    dialogs.answer(path);
    QCOMPARE(writes([&] { window->onImportShadingMap(); }), QStringList());
    // One box: the file and what is wrong with it.
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.last().title, QStringLiteral("Load Map"));
    QCOMPARE(dialogs.last().text, "Load Map failed!\n\n" + QDir::toNativeSeparators(path) +
                                      "\nThe header gives 2 × 1 pixels, which take 24 bytes; the file holds 8.");
    QVERIFY(dialogs.last().hasParent);
    // A cancelled dialog says nothing.
    dialogs.clear();
    QCOMPARE(writes([&] { window->onImportShadingMap(); }), QStringList());
    QCOMPARE(dialogs.count(), 1);
}

void TestZelCameraWindowShading::failedUploadClosesTheProgress()
{
    QVERIFY(openWindow("GEV-G2-0002"));
    window->onInitShadingCorection();
    QCOMPARE(session.run("register.fail GEV-G2-0002 0x10100000 write -1013"), 0);
    ZelDialogs::Script dialogs;
    dialogs.answer(file("map.txt", "2; 1; 1; 2; "));
    QCOMPARE(writes([&] { window->onImportShadingMap(); }), QStringList());
    QCOMPARE(dialogs.last().text, QStringLiteral("upload failed"));
    for (const ZelDialogs::Request& r : dialogs.requests())
        QVERIFY(r.title != QStringLiteral("Upload Map To Camera"));
    QVERIFY(!window->progressDialog()->isVisible());
}

void TestZelCameraWindowShading::nonUniformMapFlattensTheVignette()
{
    // Dark images of the defect field (16) and bright ones of the vignette
    // (200 in the centre, 120 in the corners), taken and saved on G1.
    const QString id = QStringLiteral("GEV-G1-0001");
    QVERIFY(openWindow(id));
    QCOMPARE(session.run("stream.manual " + id + " on"), 0);
    QVERIFY(window->camera()->remoteDeviceFeatures->SetValueEnum("TriggerMode", "On"));
    emit window->propertyWidget()->startButtonClicked();
    QCOMPARE(session.run("stream.pattern " + id + " DefectField"), 0);
    const QImage dark = grabAndSave(id, "dark.bmp");
    QCOMPARE(dark.size(), QSize(1280, 1024));
    QCOMPARE(session.run("stream.pattern " + id + " Vignette"), 0);
    const QImage bright = grabAndSave(id, "bright.bmp");
    QCOMPARE(bright.size(), QSize(1280, 1024));
    QVERIFY(qGray(bright.pixel(640, 512)) >= 199 && qGray(bright.pixel(0, 512)) < 160);
    emit window->propertyWidget()->stopButtonClicked();
    QVERIFY(QTest::qWaitFor([&] {
        QString locked;
        session.run("state.get remote:" + id + " TLParamsLocked", &locked);
        return locked.contains("TLParamsLocked=0");
    }));

    // The map, made and uploaded in the tool.
    window->onInitShadingCorection();
    auto* tool = qobject_cast<ZelNUShadingCorrection*>(window->tool(ZelCameraTool::NUShading));
    QVERIFY(tool);
    {
        ZelDialogs::Script dialogs;
        dialogs.answer(QStringList{files.filePath("dark.bmp")});
        dialogs.answer(QStringList{files.filePath("bright.bmp")});
        tool->findChild<QPushButton*>("btnAddDarkImage")->click();
        tool->findChild<QPushButton*>("btnAddBrightImage")->click();
        tool->findChild<QPushButton*>("btnGenerateMap")->click();
        QCOMPARE(dialogs.last().text, QStringLiteral(" generate map successful!"));
        dialogs.answer(QMessageBox::No);  // not into a user set
        tool->findChild<QPushButton*>("btnUploadMapToCam")->click();
        QCOMPARE(dialogs.last().title, QStringLiteral("Upload Map To Camera"));
    }
    QString control;
    session.run("state.get remote:" + id + " Shading_Control", &control);
    QVERIFY2(control.contains("Shading_Control=1"), qPrintable(control));

    // The corrected vignette is flat within 2 %, the planted defect pixels
    // aside.
    emit window->propertyWidget()->startButtonClicked();
    const QImage corrected = grabAndSave(id, "corrected.bmp");
    QCOMPARE(corrected.size(), QSize(1280, 1024));
    const QList<QPoint> defects{{5, 7}, {100, 200}, {1279, 1023}};
    int low = 255, high = 0;
    for (int y = 0; y < corrected.height(); ++y) {
        for (int x = 0; x < corrected.width(); ++x) {
            if (defects.contains(QPoint(x, y)))
                continue;
            const int v = qGray(corrected.pixel(x, y));
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    QVERIFY2(high - low <= 0.02 * high, qPrintable(QString("%1 .. %2").arg(low).arg(high)));
    QVERIFY2(high >= 186, qPrintable(QString("%1 .. %2").arg(low).arg(high)));
    emit window->propertyWidget()->stopButtonClicked();
}

QTEST_MAIN(TestZelCameraWindowShading)
#include "tst_ZelCameraWindowShading.moc"
