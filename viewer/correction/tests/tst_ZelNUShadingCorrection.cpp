#include "../../core/tests/TestHome.h"
#include "ShadingTestRig.h"

#include "ZelNUShadingCorrection.h"
#include "ZelPixmapLabel.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QtEndian>
#include <QtTest>

using zeltest::messages;
using zeltest::progress;

namespace {

QByteArray mapFile(qint32 w, qint32 h, const QVector<QPair<float, float>>& pixels)
{
    QByteArray b(8 + 8 * pixels.size(), '\0');
    auto* out = reinterpret_cast<uchar*>(b.data());
    qToLittleEndian(w, out);
    qToLittleEndian(h, out + 4);
    for (int i = 0; i < pixels.size(); ++i) {
        qToLittleEndian(pixels[i].first, out + 8 + 8 * i);
        qToLittleEndian(pixels[i].second, out + 12 + 8 * i);
    }
    return b;
}

// A map of w × h pixels whose first two pixels carry the given words.
QByteArray wordMap(int w, int h)
{
    QVector<QPair<float, float>> pixels(w * h, qMakePair(0.0f, 1.0f));
    pixels[0] = qMakePair(2.5f, 1.5f);   // 0x2A00
    pixels[1] = qMakePair(0.25f, 1.0f);  // 0x0400
    return mapFile(w, h, pixels);
}

const char* const world = R"({
  "builtIn": true,
  "cameras": [
    { "profile": "G1", "id": "GEV-G9-0009", "producer": "orv_gev_tl.cti", "interface": "gev-if-0",
      "ip": "192.168.1.109", "mask": "255.255.255.0", "width": 100, "height": 3 },
    { "profile": "U1", "id": "U3V-U9-0309", "producer": "orv_u3v_tl.cti", "interface": "u3v-if-0",
      "width": 100, "height": 3 }
  ]
})";

} // namespace

class TestZelNUShadingCorrection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void cleanup()
    {
        delete tool;
        QVERIFY(!QApplication::overrideCursor());
        rig.close();
    }

    void construction();
    void uploadInChunks_data();
    void uploadInChunks();
    void wordsInCameraOrder_data();
    void wordsInCameraOrder();
    void wrongSizeWritesNothing();
    void failingLastChunkLeavesTheCorrectionOff();
    void uploadButtonRefusesWhileStreaming();
    void generateFromImages();
    void loadedMapOfAnotherSizeThenGenerate();
    void loadMap_data();
    void loadMap();
    void saveMap();
    void edgeCases();

private:
    bool openWorldCamera(const QString& id, const QString& producer)
    {
        return rig.open(id, producer, world);
    }
    ZelNUShadingCorrection* makeTool()
    {
        tool = new ZelNUShadingCorrection(rig.camera->deviceFeatures, rig.camera->remoteDeviceFeatures, "cam",
                                          !rig.deviceId.startsWith("U3V"));
        tool->show();
        return tool;
    }
    bool loadMap(const QByteArray& bytes)
    {
        ZelDialogs::Script script;
        script.answer(rig.textFile("map.bin", bytes));
        return tool->LoadMap();
    }
    void add(const char* which, const QStringList& paths)
    {
        ZelDialogs::Script script;
        script.answer(paths);
        QTest::mouseClick(button(which), Qt::LeftButton);
    }
    QPushButton* button(const char* name) { return tool->findChild<QPushButton*>(name); }
    QListWidget* list(const char* name) { return tool->findChild<QListWidget*>(name); }
    QLineEdit* edit(const char* name) { return tool->findChild<QLineEdit*>(name); }

    QTemporaryDir home;
    zeltest::ShadingRig rig;
    QPointer<ZelNUShadingCorrection> tool;
};

void TestZelNUShadingCorrection::construction()
{
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    QCOMPARE(tool->windowTitle(), QStringLiteral("Non Uniform Shading Correction (cam)"));
    QCOMPARE(tool->objectName(), QStringLiteral("ZelNUShadingCorrection"));
    QVERIFY(tool->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(edit("TargetGainEdit")->text(), QStringLiteral("1.1"));
    QCOMPARE(edit("TargetOffsetEdit")->text(), QStringLiteral("16"));
    QVERIFY(!button("btnUploadMapToCam")->isEnabled());
    QVERIFY(!button("btnSaveMapToFile")->isEnabled());
    QCOMPARE(tool->darkSet().gainScale, 1024);
    QCOMPARE(tool->brightSet().offsetLimit, 64);
}

void TestZelNUShadingCorrection::uploadInChunks_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QStringList>("writes");
    // G1 writes through its register feature, U1 raw registers.
    QTest::newRow("G1 Shading_MapBuffer") << "GEV-G9-0009" << "orv_gev_tl.cti"
                                          << QStringList{"OrvRegisterDeviceWrite length=512 offset=0",
                                                         "OrvRegisterDeviceWrite length=88 offset=512"};
    QTest::newRow("U1 raw") << "U3V-U9-0309" << "orv_u3v_tl.cti"
                            << QStringList{"OrvDeviceWrite address=0x10100000 length=512",
                                           "OrvDeviceWrite address=0x10100200 length=88"};
}

void TestZelNUShadingCorrection::uploadInChunks()
{
    QFETCH(QString, id);
    QFETCH(QString, producer);
    QFETCH(QStringList, writes);
    QVERIFY(openWorldCamera(id, producer));
    makeTool();
    QVERIFY(loadMap(wordMap(100, 3)));
    QSignalSpy spy(tool.data(), &ZelNUShadingCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    const QString log = rig.session.callsDuring([&] { QVERIFY(tool->upload_shading_map()); });
    QCOMPARE(messages(script), QStringList());
    const QStringList calls = zeltest::ShadingRig::callsOf(
        log, {"OrvFeatureGetByName", "OrvRegisterDeviceWrite", "OrvDeviceWrite", "OrvFeatureSetValueInt64"});
    QStringList seen;
    QString lookupModule, writeModule;
    static const QRegularExpression module("module=([^,)]*)");
    static const QRegularExpression field("(offset|address|length)=(0x[0-9a-fA-F]+|\\d+)");
    for (const QString& line : calls) {
        if (line.contains("Shading_MapBuffer") && line.startsWith("OrvFeatureGetByName"))
            lookupModule = module.match(line).captured(1);
        if (line.startsWith("OrvRegisterDeviceWrite") || line.startsWith("OrvDeviceWrite")) {
            if (line.startsWith("OrvRegisterDeviceWrite"))
                writeModule = module.match(line).captured(1);
            QString text = line.left(line.indexOf('('));
            QRegularExpressionMatchIterator it = field.globalMatch(line);
            while (it.hasNext()) {
                const QRegularExpressionMatch m = it.next();
                if (m.captured(1) == "address")
                    text += QStringLiteral(" address=0x%1").arg(m.captured(2).toULongLong(nullptr, 0), 0, 16);
                else
                    text += " " + m.captured(1) + "=" + QString::number(m.captured(2).toULongLong(nullptr, 0));
            }
            seen << text;
        }
        if (line.startsWith("OrvFeatureSetValue") && line.contains("Shading_Control"))
            seen << "enable";
    }
    QCOMPARE(seen, writes + QStringList{"enable"});
    if (id.startsWith("GEV"))
        QCOMPARE(writeModule, lookupModule);
    QCOMPARE(rig.feature("Shading_Control"), 1);
    QCOMPARE(progress(spy), (QStringList{"0:0", "0:85", "1:100"}));
}

void TestZelNUShadingCorrection::wordsInCameraOrder_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("big-endian") << "GEV-G9-0009" << "orv_gev_tl.cti" << QByteArray("2a000400");
    QTest::newRow("little-endian") << "U3V-U9-0309" << "orv_u3v_tl.cti" << QByteArray("002a0004");
}

void TestZelNUShadingCorrection::wordsInCameraOrder()
{
    QFETCH(QString, id);
    QFETCH(QString, producer);
    QFETCH(QByteArray, bytes);
    QVERIFY(openWorldCamera(id, producer));
    makeTool();
    QVERIFY(loadMap(wordMap(100, 3)));
    QVERIFY(tool->upload_shading_map());
    QCOMPARE(rig.peek(0x10100000, 4), bytes);
}

void TestZelNUShadingCorrection::wrongSizeWritesNothing()
{
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    QVERIFY(loadMap(wordMap(100, 3)));
    ZelDialogs::Script script;
    const QString log = rig.session.callsDuring([&] { QVERIFY(!tool->upload_shading_map()); });
    QCOMPARE(messages(script),
             QStringList{"Upload NUC Map|upload failed: the map has 100 x 3 pixels, the camera expects 1280 x 1024"});
    QVERIFY(zeltest::ShadingRig::callsOf(log, {"OrvRegisterDeviceWrite", "OrvDeviceWrite"}).isEmpty());
    QCOMPARE(rig.feature("Shading_Control"), 0);
}

void TestZelNUShadingCorrection::failingLastChunkLeavesTheCorrectionOff()
{
    // The fault reaches the writes through Shading_MapBuffer.
    QVERIFY(openWorldCamera("GEV-G9-0009", "orv_gev_tl.cti"));
    makeTool();
    QVERIFY(loadMap(wordMap(100, 3)));
    QCOMPARE(rig.run("register.fail GEV-G9-0009 0x10100000 write -1013 after=1"), 0);
    QSignalSpy spy(tool.data(), &ZelNUShadingCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    QVERIFY(!tool->upload_shading_map());
    QCOMPARE(messages(script), QStringList{"Upload NUC Map|upload failed"});
    QCOMPARE(rig.feature("Shading_Control"), 0);
    QCOMPARE(progress(spy), (QStringList{"0:0", "0:85", "0:100"}));
}

void TestZelNUShadingCorrection::uploadButtonRefusesWhileStreaming()
{
    QVERIFY(openWorldCamera("GEV-G9-0009", "orv_gev_tl.cti"));
    makeTool();
    QVERIFY(loadMap(wordMap(100, 3)));
    QCOMPARE(rig.run("feature.set remote:GEV-G9-0009 TLParamsLocked 1"), 0);
    button("btnUploadMapToCam")->setEnabled(true);
    ZelDialogs::Script script;
    QTest::mouseClick(button("btnUploadMapToCam"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{"Upload Map|stop streaming before uploading map to camera"});
    QCOMPARE(rig.peek(0x10100000, 4), QByteArray("00000000"));
}

void TestZelNUShadingCorrection::generateFromImages()
{
    QVERIFY(openWorldCamera("GEV-G9-0009", "orv_gev_tl.cti"));
    makeTool();
    add("btnAddDarkImage", {rig.flatBmp("d1.bmp", 100, 3, 10), rig.flatBmp("d2.bmp", 100, 3, 14)});
    // Bright 150 on the left half, 200 on the right; offsets 12 - 4 = 8.
    add("btnAddBrightImage", {rig.greyBmp("b.bmp", 100, 3, [](int x, int) { return x < 50 ? 150 : 200; })});
    ZelDialogs::Script script;
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{"Generate Map| generate map successful!"});
    const ZelNUShadingMap first = tool->map();
    QCOMPARE(first.width, 100);
    QCOMPARE(first.height, 3);
    QCOMPARE(first.offsets[0], 8.0f);
    // The right half (192) lies above 1.1 × the average (167): the left
    // half (142) is lifted to the right one.
    QCOMPARE(first.gains[0], 192.0f / 142.0f);
    QCOMPARE(first.gains[99], 1.0f);
    QVERIFY(button("btnSaveMapToFile")->isEnabled());
    QVERIFY(button("btnUploadMapToCam")->isEnabled());
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(tool->map().gains, first.gains);
    QCOMPARE(tool->map().offsets, first.offsets);
    QVERIFY(tool->upload_shading_map());
    QCOMPARE(rig.feature("Shading_Control"), 1);
}

void TestZelNUShadingCorrection::loadedMapOfAnotherSizeThenGenerate()
{
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    add("btnAddDarkImage", {rig.flatBmp("d.bmp", 4, 2, 20)});
    add("btnAddBrightImage", {rig.flatBmp("b.bmp", 4, 2, 120)});
    // A far larger map from a file, then generation from the 4 × 2 images.
    QVERIFY(loadMap(mapFile(64, 64, QVector<QPair<float, float>>(64 * 64, qMakePair(1.0f, 1.5f)))));
    QCOMPARE(tool->map().width, 64);
    ZelDialogs::Script script;
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(tool->map().width, 4);
    QCOMPARE(tool->map().height, 2);
    QCOMPARE(tool->map().gains.size(), size_t(8));
    QCOMPARE(tool->map().gains[7], 1.1f);
    // And the other way round: a small map, then images of another size.
    QVERIFY(loadMap(mapFile(1, 1, {qMakePair(0.0f, 1.0f)})));
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(tool->map().gains.size(), size_t(8));
}

void TestZelNUShadingCorrection::loadMap_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");   // empty: the map loads
    QTest::newRow("whole") << mapFile(2, 1, {qMakePair(1.0f, 1.5f), qMakePair(0.0f, 2.0f)}) << QString();
    QTest::newRow("empty") << QByteArray()
                           << "The file holds 0 bytes; a map begins with 8 bytes of width and height.";
    QTest::newRow("truncated") << mapFile(2, 1, {qMakePair(1.0f, 1.5f)})
                               << "The header gives 2 × 1 pixels, which take 24 bytes; the file holds 16.";
    QTest::newRow("zero width") << mapFile(0, 1, {}) << "The header gives 0 × 1 pixels; a map has at least 1 × 1.";
    QTest::newRow("negative height") << mapFile(1, -1, {qMakePair(1.0f, 1.0f)})
                                     << "The header gives 1 × -1 pixels; a map has at least 1 × 1.";
    QTest::newRow("overflowing") << mapFile(0x7FFFFFFF, 0x7FFFFFFF, {})
                                 << "The header gives 2147483647 × 2147483647 pixels, more than a map can hold.";
    QTest::newRow("nan") << mapFile(2, 1, {qMakePair(1.0f, 1.0f), qMakePair(std::numeric_limits<float>::quiet_NaN(), 1.0f)})
                         << "Pixel 1 (column 1, row 0) holds a value that is not a finite number.";
    // Bytes of no map: a header of 0x160F0801 × 0x322B241D pixels.
    QByteArray noise(4 << 20, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 7 + 1 + (i >> 8));
    QTest::newRow("bytes of no map") << noise
                                     << "The header gives 370083841 × 841688093 pixels, more than a map can hold.";
}

void TestZelNUShadingCorrection::loadMap()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    QVERIFY(loadMap(mapFile(1, 1, {qMakePair(0.5f, 1.25f)})));
    ZelDialogs::Script script;
    const QString path = rig.textFile("map.bin", bytes);
    script.answer(path);
    QCOMPARE(tool->LoadMap(), reason.isEmpty());
    QCOMPARE(script.requests().first().title, QStringLiteral("Import Map"));
    QCOMPARE(script.requests().first().filter, QStringLiteral("bin (*.bin)"));
    if (reason.isEmpty()) {
        QCOMPARE(messages(script), QStringList());
        QCOMPARE(tool->map().width, 2);
    } else {
        // One box, naming the file and what is wrong; the old map stays.
        QCOMPARE(messages(script),
                 QStringList{"Load Map|Load Map failed!\n\n" + QDir::toNativeSeparators(path) + "\n" + reason});
        QCOMPARE(script.last().icon, QMessageBox::Critical);
        QCOMPARE(tool->map().gains, std::vector<float>{1.25f});
    }
    // A cancelled dialog is no failure: nothing is said.
    ZelDialogs::Script cancelled;
    QVERIFY(!tool->LoadMap());
    QCOMPARE(messages(cancelled), QStringList());
}

void TestZelNUShadingCorrection::saveMap()
{
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    const QByteArray bytes = mapFile(2, 1, {qMakePair(0.25f, 1.5f), qMakePair(1.5f, 2.0f)});
    QVERIFY(loadMap(bytes));
    const QString out = rig.files.filePath("out.bin");
    {
        ZelDialogs::Script script;
        script.answer(out);
        QTest::mouseClick(button("btnSaveMapToFile"), Qt::LeftButton);
        // The button is off until a generation; the slot itself saves.
        if (script.count() == 0)
            QMetaObject::invokeMethod(tool, "on_btnSaveMapToFile_clicked");
        QCOMPARE(messages(script), QStringList{"Save Map|save to file  successful!"});
    }
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    ZelDialogs::Script script;
    script.answer(rig.fullDevice("full.bin"));
    QMetaObject::invokeMethod(tool, "on_btnSaveMapToFile_clicked");
    QCOMPARE(messages(script), QStringList{"Save Map|save to file  failed!"});
}

void TestZelNUShadingCorrection::edgeCases()
{
    QVERIFY(rig.open("GEV-G1-0001"));
    makeTool();
    ZelDialogs::Script script;
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{" Generate Map  |generate map failed: missing dark image parameter!"});
    add("btnAddDarkImage", {rig.flatBmp("d.bmp", 8, 4, 20)});
    script.clear();
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{" Generate Map  |generate map failed: missing bright image parameter!"});

    // A bright image of another size.
    const QString other = rig.flatBmp("other.bmp", 4, 4, 100);
    {
        ZelDialogs::Script adding;
        adding.answer(QStringList{other});
        QTest::mouseClick(button("btnAddBrightImage"), Qt::LeftButton);
        QCOMPARE(messages(adding), QStringList{"Load Image:|" + other + ": incompatible image!"});
    }
    QCOMPARE(list("listBrightImagePath")->count(), 0);

    // Target fields fall back to their defaults.
    edit("TargetGainEdit")->setText("abc");
    QMetaObject::invokeMethod(tool, "on_TargetGainEdit_editingFinished");
    QCOMPARE(edit("TargetGainEdit")->text(), QStringLiteral("1.1"));
    edit("TargetOffsetEdit")->setText("65536");
    QMetaObject::invokeMethod(tool, "on_TargetOffsetEdit_editingFinished");
    QCOMPARE(edit("TargetOffsetEdit")->text(), QStringLiteral("16"));
    edit("TargetGainEdit")->setText("1.5");
    edit("TargetOffsetEdit")->setText("0");
    QTest::mouseClick(button("Reset"), Qt::LeftButton);
    QCOMPARE(edit("TargetGainEdit")->text(), QStringLiteral("1.1"));
    QCOMPARE(edit("TargetOffsetEdit")->text(), QStringLiteral("16"));

    // Removing every bright image drops the map.
    add("btnAddBrightImage", {rig.flatBmp("b.bmp", 8, 4, 120)});
    script.clear();
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QVERIFY(!tool->map().isEmpty());
    tool->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    zeltest::ShadingRig::press(list("listBrightImagePath"), 0);
    QTest::mouseClick(button("btnDeleteBrightImage"), Qt::LeftButton);
    QVERIFY(tool->map().isEmpty());
    QCOMPARE(tool->brightSet().number(), 0);
    QVERIFY(tool->imageSize().isValid()); // the dark images still hold it
    script.clear();
    QVERIFY(!tool->upload_shading_map());
    QCOMPARE(messages(script), QStringList{"Upload Map| upload failed: missing maps"});
    tool->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(0);
    zeltest::ShadingRig::press(list("listDarkImagePath"), 0);
    QTest::mouseClick(button("btnDeleteDarkImage"), Qt::LeftButton);
    QVERIFY(!tool->imageSize().isValid());
}

QTEST_MAIN(TestZelNUShadingCorrection)
#include "tst_ZelNUShadingCorrection.moc"
