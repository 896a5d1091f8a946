#include "../../core/tests/TestHome.h"
#include "ShadingTestRig.h"

#include "ZelAppSettings.h"
#include "ZelPixmapLabel.h"
#include "ZelShadingCorrection.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

using zeltest::messages;
using zeltest::progress;

class TestZelShadingCorrection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init() { QVERIFY2(rig.open("GEV-G2-0002"), qPrintable(rig.session.sdk ? "camera" : "sdk")); }
    void cleanup()
    {
        delete tool;
        QVERIFY(!QApplication::overrideCursor());
        rig.close();
    }

    void constructionReadsTheGrid();
    void uploadWritesWordsInCameraOrder_data();
    void uploadWritesWordsInCameraOrder();
    void uploadChunks_data();
    void uploadChunks();
    void failedChunkLeavesTheCorrectionOff_data();
    void failedChunkLeavesTheCorrectionOff();
    void import_data();
    void import();
    void exportAndImportRoundTrip();
    void exportReportsWriteErrors();
    void addingImages_data();
    void addingImages();
    void theTwoHundredFiftySeventhImageIsRefused();
    void removingImages();
    void generate();
    void uploadButtonRefusesWhileStreaming();

private:
    ZelShadingCorrection* makeTool(bool bigEndian = true)
    {
        tool = new ZelShadingCorrection(rig.camera->deviceFeatures, rig.camera->remoteDeviceFeatures, "G2", bigEndian);
        tool->show();
        return tool;
    }
    bool importText(const QByteArray& text)
    {
        ZelDialogs::Script script;
        script.answer(rig.textFile("map.txt", text));
        return tool->importMap();
    }
    // A map of count gains, ten to a row.
    QByteArray mapOf(int count)
    {
        const int columns = count < 10 ? count : 10;
        QByteArray text = QByteArray::number(columns) + "; " + QByteArray::number(count / columns) + "; ";
        for (int i = 0; i < count; ++i)
            text += (i % 2 ? "2; " : "1; ");
        return text;
    }
    bool addImages(const QStringList& paths, ZelDialogs::Script& script)
    {
        script.answer(paths);
        QTest::mouseClick(button("btnAddImage"), Qt::LeftButton);
        return true;
    }
    QPushButton* button(const char* name) { return tool->findChild<QPushButton*>(name); }
    QListWidget* list() { return tool->findChild<QListWidget*>("listImagePath"); }
    QImage meanImage() { return tool->findChild<ZelPixmapLabel*>("lblMeanImage")->image(); }

    QTemporaryDir home;
    zeltest::ShadingRig rig;
    QPointer<ZelShadingCorrection> tool;
};

void TestZelShadingCorrection::constructionReadsTheGrid()
{
    makeTool();
    QCOMPARE(tool->windowTitle(), QStringLiteral("Shading Correction (G2)"));
    QCOMPARE(tool->objectName(), QStringLiteral("ZelShadingCorrection"));
    QVERIFY(tool->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(tool->isWindow());
    QCOMPARE(tool->revision(), 5);
    // Raw values 5 and 3 give offsets 11 and 13.
    QCOMPARE(tool->gridOffsetX(), 11);
    QCOMPARE(tool->gridOffsetY(), 13);
    QVERIFY(!button("btnUploadMapToCam")->isEnabled());
    QVERIFY(!button("btnSaveMapToFile")->isEnabled());
    QVERIFY(!button("btnDeleteImage")->isEnabled());
}

void TestZelShadingCorrection::uploadWritesWordsInCameraOrder_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("big-endian") << true << QByteArray("10002000");
    QTest::newRow("little-endian") << false << QByteArray("00200010");
}

void TestZelShadingCorrection::uploadWritesWordsInCameraOrder()
{
    QFETCH(bool, bigEndian);
    QFETCH(QByteArray, bytes);
    makeTool(bigEndian);
    QVERIFY(importText("2; 1; 1; 2; "));
    ZelDialogs::Script script;
    QVERIFY(tool->uploadMap());
    QCOMPARE(rig.peek(0x10100000, 4), bytes);
    QCOMPARE(rig.feature("Shading_Control"), 1);
    QCOMPARE(script.count(), 0);
}

void TestZelShadingCorrection::uploadChunks_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("3 values in 8 bytes") << 3 << QStringList{"0x10100000:8"}
                                         << QStringList{"0:33", "0:66", "0:0", "1:100"};
    QTest::newRow("300 values in 504 + 96 bytes") << 300 << QStringList{"0x10100000:504", "0x101001f8:96"}
                                                  << QStringList{"0:0", "0:84", "1:100"};
}

void TestZelShadingCorrection::uploadChunks()
{
    QFETCH(int, count);
    QFETCH(QStringList, writes);
    QFETCH(QStringList, steps);
    makeTool();
    QVERIFY(importText(mapOf(count)));
    QSignalSpy spy(tool.data(), &ZelShadingCorrection::actionViewerUpdateProcessBar);
    const QString log = rig.session.callsDuring([&] { QVERIFY(tool->uploadMap()); });
    QStringList seen;
    static const QRegularExpression write("address=(0x[0-9a-fA-F]+|\\d+), length=(\\d+)");
    for (const QString& line : zeltest::ShadingRig::callsOf(log, {"OrvDeviceWrite"})) {
        const QRegularExpressionMatch m = write.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        bool ok = false;
        const qulonglong address = m.captured(1).toULongLong(&ok, 0);
        seen << QStringLiteral("0x%1:%2").arg(address, 0, 16).arg(m.captured(2));
    }
    QCOMPARE(seen, writes);
    // The enable follows the last chunk.
    const QStringList order = zeltest::ShadingRig::callsOf(log, {"OrvDeviceWrite", "OrvFeatureSetValueInt64"});
    QVERIFY(order.last().contains("Shading_Control"));
    const QStringList all = progress(spy);
    QStringList tail = all.mid(all.size() - steps.size());
    if (count == 3)
        QCOMPARE(all, steps);
    else
        QCOMPARE(tail, steps);
}

void TestZelShadingCorrection::failedChunkLeavesTheCorrectionOff_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("full chunk") << "register.fail GEV-G2-0002 0x10100000 write -1013" << " upload failed";
    QTest::newRow("last chunk") << "register.fail GEV-G2-0002 0x10100000 write -1013 after=1" << "upload failed";
}

void TestZelShadingCorrection::failedChunkLeavesTheCorrectionOff()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    makeTool();
    QVERIFY(importText(mapOf(300)));
    QCOMPARE(rig.run(fault), 0);
    QSignalSpy spy(tool.data(), &ZelShadingCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    QVERIFY(!tool->uploadMap());
    QCOMPARE(messages(script), QStringList{"Upload Map|" + text});
    QCOMPARE(rig.feature("Shading_Control"), 0);
    // The full value takes the progress display down; no success.
    QCOMPARE(progress(spy).last(), QStringLiteral("0:100"));
    QVERIFY(!progress(spy).contains("1:100"));
}

void TestZelShadingCorrection::import_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("message");   // title|text before the file's name
    QTest::addColumn<QString>("reason");    // after it
    const QString invalid = QStringLiteral("Load Map|  Load Map Failed: invalid map");
    QTest::newRow("two by one") << QByteArray("2; 1; 1.5; 2") << true << QString() << QString();
    QTest::newRow("comment") << QByteArray("# 1; 1; 1") << false << "Load Map |  Load Map Failed:  invalid map"
                             << "The text begins with \"#\".";
    QTest::newRow("two fields") << QByteArray("1; 1") << false << "Load Map|  Load Map Failed:  invalid map"
                                << "The file holds 2 fields; a map holds its column and row counts and at least one "
                                   "gain, separated by \";\".";
    QTest::newRow("empty") << QByteArray(" \n") << false << "Load Map|  Load Map Failed:  invalid map"
                           << "The file is empty.";
    QTest::newRow("wrong count") << QByteArray("2; 1; 1.5") << false << invalid
                                 << "The map of 2 × 1 blocks needs 2 gains; the file holds 1.";
    QTest::newRow("negative counts") << QByteArray("-1; -2; 1; 1") << false << invalid
                                     << "The column and row counts \"-1\" and \"-2\" are not both positive numbers.";
    // G2's grid is 81 × 65 blocks.
    QTest::newRow("wider than the sensor") << "82; 1; " + QByteArray("1; ").repeated(82) << false << invalid
                                           << "The map has 82 × 1 blocks; the camera's grid has 81 × 65.";
    QTest::newRow("not a number") << QByteArray("2; 1; nan; 1") << false << invalid
                                  << "Gain 1 (\"nan\") is not a finite number.";
    QByteArray random(1 << 20, '\0');
    QRandomGenerator generator(5);
    for (char& c : random)
        c = char(generator.bounded(1, 256));
    QTest::newRow("random bytes") << random << false << invalid << QString();
}

void TestZelShadingCorrection::import()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, loaded);
    QFETCH(QString, message);
    QFETCH(QString, reason);
    makeTool();
    QVERIFY(importText("1; 1; 3; "));
    ZelDialogs::Script script;
    const QString path = rig.textFile("candidate.txt", text);
    script.answer(path);
    QCOMPARE(tool->importMap(), loaded);
    const QStringList shown = messages(script);
    if (loaded) {
        QCOMPARE(shown, QStringList());
    } else {
        // One box, naming the file and what is wrong with it.
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(message + "\n\n" + QDir::toNativeSeparators(path) + "\n"),
                 qPrintable(shown.first()));
        if (!reason.isEmpty())
            QVERIFY2(shown.first().endsWith("\n" + reason), qPrintable(shown.first()));
        QCOMPARE(script.last().icon, QMessageBox::Critical);
    }
    QCOMPARE(script.requests().first().title, QStringLiteral("Import Map"));
    QCOMPARE(script.requests().first().filter, QStringLiteral("txt (*.txt)"));
    if (loaded) {
        QCOMPARE(tool->map().columns, 2);
        QCOMPARE(tool->map().gains, (std::vector<float>{1.5f, 2.0f}));
    } else {
        QCOMPARE(tool->map().gains, std::vector<float>{3.0f});
    }
    // A cancelled dialog loads nothing and says nothing; a file that cannot
    // be opened is named.
    ZelDialogs::Script cancelled;
    QVERIFY(!tool->importMap());
    QCOMPARE(messages(cancelled), QStringList());
    cancelled.answer(rig.files.filePath("absent.txt"));
    QVERIFY(!tool->importMap());
    QCOMPARE(messages(cancelled).size(), 1);
    QVERIFY2(messages(cancelled).first().startsWith("Load Map|  Load Map Failed: cannot open the file\n\n" +
                                                     QDir::toNativeSeparators(rig.files.filePath("absent.txt"))),
             qPrintable(messages(cancelled).first()));
    QCOMPARE(tool->map().gains, loaded ? (std::vector<float>{1.5f, 2.0f}) : std::vector<float>{3.0f});
}

void TestZelShadingCorrection::exportAndImportRoundTrip()
{
    makeTool();
    QVERIFY(importText("2; 2; 1; 1.5; 2.25; 1.33333; "));
    const QString out = rig.files.filePath("sub/out.txt");
    QVERIFY(QDir().mkpath(rig.files.filePath("sub")));
    {
        ZelDialogs::Script script;
        script.answer(out);
        QVERIFY(tool->exportMap());
        QCOMPARE(script.requests().first().title, QStringLiteral("Export Map "));
    }
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "SHCSettingsFileDir").toString(),
             rig.files.filePath("sub"));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("2; 2; \n1; 1.5; \n2.25; 1.33333; \n"));
    file.close();
    QVERIFY(importText("1; 1; 7; "));
    ZelDialogs::Script script;
    script.answer(out);
    QVERIFY(tool->importMap());
    QCOMPARE(tool->map().gains, (std::vector<float>{1.0f, 1.5f, 2.25f, 1.33333f}));
}

void TestZelShadingCorrection::exportReportsWriteErrors()
{
    makeTool();
    QVERIFY(importText("1; 1; 3; "));
    // /dev/full opens but takes no byte.
    ZelDialogs::Script script;
    script.answer(rig.fullDevice("full.txt"));
    button("btnSaveMapToFile")->setEnabled(true);
    QTest::mouseClick(button("btnSaveMapToFile"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{"Save Map|save to file  failed!"});
}

void TestZelShadingCorrection::addingImages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("entries");
    QTest::newRow("same file twice") << "twice" << QString() << 1;
    QTest::newRow("another size") << "size" << "Load Image:|%1: Incompatible Image!" << 1;
    QTest::newRow("one bit per pixel") << "mono" << "Load Image|%1: Image Format Not Supported!" << 1;
    QTest::newRow("not an image") << "text" << "Load Image|%1Failed!" << 1;
}

void TestZelShadingCorrection::addingImages()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(int, entries);
    makeTool();
    const QString first = rig.flatBmp("a.bmp", 32, 16, 100);
    QString second;
    if (kind == "twice") {
        second = first;
    } else if (kind == "size") {
        second = rig.flatBmp("b.bmp", 16, 16, 100);
    } else if (kind == "mono") {
        QImage mono(32, 16, QImage::Format_Mono);
        mono.fill(1);
        second = rig.files.filePath("mono.bmp");
        QVERIFY(mono.save(second, "BMP"));
    } else {
        second = rig.textFile("text.bmp", "no image");
    }
    ZelDialogs::Script script;
    script.answer(QStringList{first});
    script.answer(QStringList{second});
    QTest::mouseClick(button("btnAddImage"), Qt::LeftButton);
    QTest::mouseClick(button("btnAddImage"), Qt::LeftButton);
    QCOMPARE(messages(script), message.isEmpty() ? QStringList() : QStringList{message.arg(second)});
    QCOMPARE(list()->count(), entries);
    QCOMPARE(tool->accumulator().count(), 1);
    QCOMPARE(qGray(meanImage().pixel(3, 3)), 100);
    const ZelDialogs::Request open = script.requests().first();
    QCOMPARE(open.title, QStringLiteral("image paths"));
    QCOMPARE(open.filter, QStringLiteral("bmp (*.bmp)"));
    QVERIFY(!open.hasParent);
    QCOMPARE(tool->shadingFolder(), rig.files.path());
}

void TestZelShadingCorrection::theTwoHundredFiftySeventhImageIsRefused()
{
    makeTool();
    QStringList paths;
    for (int i = 0; i <= 256; ++i)
        paths << rig.flatBmp(QString("i%1.bmp").arg(i), 2, 2, i % 2 ? 255 : 0);
    ZelDialogs::Script script;
    script.answer(paths);
    QTest::mouseClick(button("btnAddImage"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{"Load Image|" + paths.last() + ": no more than 256 images can be averaged!"});
    QCOMPARE(list()->count(), 256);
    QCOMPARE(tool->accumulator().count(), 256);
    QCOMPARE(qGray(meanImage().pixel(0, 0)), 127);
    QCOMPARE(int(tool->accumulator().remainder()[0]), 128);
}

void TestZelShadingCorrection::removingImages()
{
    makeTool();
    const QString a = rig.flatBmp("a.bmp", 32, 16, 10);
    const QString b = rig.flatBmp("b.bmp", 32, 16, 11);
    const QString c = rig.flatBmp("c.bmp", 32, 16, 12);
    ZelDialogs::Script script;
    addImages({a, b, c}, script);
    QCOMPARE(qGray(meanImage().pixel(0, 0)), 11);
    // b changes on disk: taking it out subtracts nothing.
    QVERIFY(!rig.flatBmp("b.bmp", 32, 16, 200).isEmpty());
    zeltest::ShadingRig::press(list(), 1);
    QVERIFY(button("btnDeleteImage")->isEnabled());
    QTest::mouseClick(button("btnDeleteImage"), Qt::LeftButton);
    QCOMPARE(list()->count(), 2);
    QCOMPARE(tool->accumulator().count(), 3);
    QCOMPARE(qGray(meanImage().pixel(0, 0)), 11);
    QVERIFY(!button("btnDeleteImage")->isEnabled());
    // c unchanged: out it goes exactly.
    zeltest::ShadingRig::press(list(), 1);
    QTest::mouseClick(button("btnDeleteImage"), Qt::LeftButton);
    QCOMPARE(tool->accumulator().count(), 2);
    QCOMPARE(qGray(meanImage().pixel(0, 0)), 10);
    QCOMPARE(int(tool->accumulator().remainder()[0]), 1);
    // The emptied list resets the set whatever its count.
    zeltest::ShadingRig::press(list(), 0);
    QTest::mouseClick(button("btnDeleteImage"), Qt::LeftButton);
    QCOMPARE(list()->count(), 0);
    QCOMPARE(tool->accumulator().count(), 0);
    QVERIFY(meanImage().isNull());
    QVERIFY(!tool->imageSize().isValid());
    QCOMPARE(messages(script), QStringList());
    // Another size is welcome now.
    addImages({rig.flatBmp("d.bmp", 16, 16, 50)}, script);
    QCOMPARE(tool->accumulator().count(), 1);
}

void TestZelShadingCorrection::generate()
{
    makeTool();
    ZelDialogs::Script script;
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{" Generate Map  |generate map failed: missing image parameters"});
    script.clear();
    // 16 × 16 with the shifted grid: columns 0..4 and 5..15.
    addImages({rig.greyBmp("v.bmp", 16, 16, [](int x, int) { return x <= 4 ? 100 : 200; })}, script);
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QCOMPARE(messages(script), QStringList{"Generate Map| generate map successful!"});
    QCOMPARE(tool->map().gains, (std::vector<float>{2.0f, 1.0f, 2.0f, 1.0f}));
    QVERIFY(button("btnSaveMapToFile")->isEnabled());
    QVERIFY(button("btnUploadMapToCam")->isEnabled());
    // While the camera streams the map is built but not offered for upload.
    QCOMPARE(rig.run("feature.set remote:GEV-G2-0002 TLParamsLocked 1"), 0);
    QTest::mouseClick(button("btnGenerateMap"), Qt::LeftButton);
    QVERIFY(button("btnSaveMapToFile")->isEnabled());
    QVERIFY(!button("btnUploadMapToCam")->isEnabled());
}

void TestZelShadingCorrection::uploadButtonRefusesWhileStreaming()
{
    makeTool();
    QVERIFY(importText("2; 1; 1; 2; "));
    button("btnUploadMapToCam")->setEnabled(true);
    QCOMPARE(rig.run("feature.set remote:GEV-G2-0002 TLParamsLocked 1"), 0);
    ZelDialogs::Script script;
    const QString log = rig.session.callsDuring([&] { QTest::mouseClick(button("btnUploadMapToCam"), Qt::LeftButton); });
    QCOMPARE(messages(script), QStringList{"Upload Map|stop streaming before uploading map to camera"});
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QVERIFY(zeltest::ShadingRig::callsOf(log, {"OrvDeviceWrite"}).isEmpty());
    QCOMPARE(rig.peek(0x10100000, 4), QByteArray("00000000"));
    QCOMPARE(rig.run("feature.set remote:GEV-G2-0002 TLParamsLocked 0"), 0);
    QTest::mouseClick(button("btnUploadMapToCam"), Qt::LeftButton);
    QCOMPARE(rig.peek(0x10100000, 4), QByteArray("10002000"));
}

QTEST_MAIN(TestZelShadingCorrection)
#include "tst_ZelShadingCorrection.moc"
