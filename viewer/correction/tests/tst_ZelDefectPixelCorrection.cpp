#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelAppSettings.h"
#include "ZelDefectPixelCorrection.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelPixmapLabel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

Q_DECLARE_METATYPE(ZelDefectPixel)

class TestZelDefectPixelCorrection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init()
    {
        QVERIFY(files.isValid());
        QVERIFY(session.start());
    }
    void cleanup()
    {
        delete tool;
        QVERIFY(!QApplication::overrideCursor());
        session.stop();
    }

    void constructionReadsRevisionColourAndPatterns();
    void downloadDecodesTheActiveMap_data();
    void downloadDecodesTheActiveMap();
    void reportedCountsAreClamped();
    void uploadOfThreeEntries_data();
    void uploadOfThreeEntries();
    void uploadRefusals_data();
    void uploadRefusals();
    void uploadSkipsWhatTheCameraCannotHold();
    void failingBlockWriteEndsTheProgress();
    void emptyMapClearsTheCameraWithoutABlock();
    void uploadButtonRefusesWhileStreaming();
    void correctionAndMapSwitches_data();
    void correctionAndMapSwitches();
    void importLines();
    void importRefusals_data();
    void importRefusals();
    void importAsksBeforeEntriesAreLost_data();
    void importAsksBeforeEntriesAreLost();
    void exportImportRoundTripAndAFullDevice();
    void patternsAtTheSensorEdge_data();
    void patternsAtTheSensorEdge();
    void malformedPatternGroups_data();
    void malformedPatternGroups();
    void imageListsAndMeans();
    void changedFileIsNotTakenOut();
    void aMeanHoldsAtMost256Images();
    void thresholdFields_data();
    void thresholdFields();
    void generateWithoutImages();
    void generateFromDarkAndBright();
    void colourCameraUsesDarkImagesOnly();

private:
    ZelDefectPixelCorrection* make(const QString& deviceId, const QString& producer, bool registerMode,
                                   bool bigEndian)
    {
        camera = session.open(deviceId, producer);
        if (!camera)
            return nullptr;
        device = deviceId;
        tool = new ZelDefectPixelCorrection(camera->deviceFeatures, camera->remoteDeviceFeatures, "cam", registerMode);
        tool->setBigEndian(bigEndian);
        return tool;
    }
    ZelDefectPixelCorrection* g1() { return make("GEV-G1-0001", "orv_gev_tl.cti", false, true); }
    ZelDefectPixelCorrection* c2() { return make("CL-C2-0402", "orv_cl_tl.cti", true, true); }
    ZelDefectPixelCorrection* u1() { return make("U3V-U1-0301", "orv_u3v_tl.cti", true, false); }
    QString run(const QString& command)
    {
        QString reply;
        const int rc = session.run(command, &reply);
        return rc == 0 ? reply : QStringLiteral("refused: ") + reply;
    }
    QString peek(quint32 address, int length)
    {
        return run(QStringLiteral("memory.peek %1 0x%2 %3").arg(device).arg(address, 0, 16).arg(length));
    }
    QString textFile(const QString& name, const QString& text)
    {
        const QString path = files.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Text))
            f.write(text.toUtf8());
        return path;
    }
    // Imports a map from text through the tool's own dialog.
    bool importText(const QString& text)
    {
        ZelDialogs::Script script;
        script.answer(textFile("map.txt", text));
        return tool->importMap();
    }
    QString bmp(const QString& name, const QImage& image)
    {
        const QString path = files.filePath(name);
        return image.save(path, "BMP") ? path : QString();
    }
    QSettings* patternStore(const QString& name, const QString& text)
    {
        const QString path = textFile(name, text);
        stores.emplace_back(std::make_unique<QSettings>(path, QSettings::IniFormat));
        return stores.back().get();
    }

    QTemporaryDir home;
    QTemporaryDir files;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QString device;
    QPointer<ZelDefectPixelCorrection> tool;
    std::vector<std::unique_ptr<QSettings>> stores;
};

namespace {

QImage indexedImage(int w, int h, int value)
{
    QImage image(w, h, QImage::Format_Indexed8);
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, i, i);
    image.setColorTable(palette);
    image.fill(uint(value));
    return image;
}

int meanAt(const ZelPixmapLabel* label, int x, int y)
{
    const QImage image = label->image();
    return image.isNull() ? -1 : image.constScanLine(y)[x];
}

// One pattern group: rows a to e as cell texts ("x" any), then its code.
QString group(const QString& name, const QStringList& rows, const QString& code)
{
    QString text = QStringLiteral("[%1]\n").arg(name);
    const char keys[] = "abcde";
    for (int r = 0; r < rows.size(); ++r) {
        QStringList cells;
        for (QChar c : rows[r])
            cells << (c == QLatin1Char('x') ? QStringLiteral("-1") : QString(c));
        text += QStringLiteral("%1=%2\n").arg(QLatin1Char(keys[r])).arg(cells.join(QStringLiteral(", ")));
    }
    return text + QStringLiteral("f=%1\n").arg(code);
}

const QStringList isolated = {"xxxxx", "x000x", "x010x", "x000x", "xxxxx"};
const QStringList rightEdge = {"xxx11", "xxx11", "xx111", "xxx11", "xxx11"};

} // namespace

void TestZelDefectPixelCorrection::constructionReadsRevisionColourAndPatterns()
{
    QVERIFY(g1());
    QCOMPARE(tool->windowTitle(), QStringLiteral("Defect Pixel Correction (cam)"));
    QVERIFY(tool->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(tool->isWindow());
    QVERIFY(!tool->isVisible());
    QCOMPARE(tool->revision(), 4);
    QVERIFY(!tool->isColor());
    QCOMPARE(tool->form().tabWidget->count(), 2);
    QCOMPARE(tool->form().tabWidget->currentIndex(), 1);
    QCOMPARE(tool->matchPatterns().size(), 34);
    QVERIFY(!tool->hasMap());
    QVERIFY(!tool->form().btnUploadMapToCam->isEnabled());
    QVERIFY(!tool->form().btnSaveMapToFile->isEnabled());
    QVERIFY(!tool->form().btnDeleteDarkImage->isEnabled());
    delete tool;
    // Without the revision feature the revision is 3.
    QVERIFY(u1());
    QCOMPARE(tool->revision(), 3);
}

void TestZelDefectPixelCorrection::downloadDecodesTheActiveMap_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("registerMode");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QString>("words");   // as stored in the custom map
    QTest::addColumn<QString>("entries"); // x,y,value ...
    QTest::newRow("G1, revision 4") << "GEV-G1-0001" << "orv_gev_tl.cti" << false << true
                                    << "3001C005 3001C005 FFFFFFFF 00030004" << "5,7,103";
    QTest::newRow("C2, big-endian registers") << "CL-C2-0402" << "orv_cl_tl.cti" << true << true
                                              << "00010002 00010002 FFFFFFFF 00030004" << "2,1,0";
    QTest::newRow("U1, little-endian registers") << "U3V-U1-0301" << "orv_u3v_tl.cti" << true << false
                                                 << "02000100 02000100 FFFFFFFF 04000300" << "2,1,0";
}

void TestZelDefectPixelCorrection::downloadDecodesTheActiveMap()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, registerMode);
    QFETCH(bool, bigEndian);
    QFETCH(QString, words);
    QFETCH(QString, entries);
    QVERIFY(make(deviceId, producer, registerMode, bigEndian));
    tool->setMapSelect(1);
    QCOMPARE(run("memory.poke " + deviceId + " 0x10025000 " + QString(words).remove(' ')), QString());
    QVERIFY(tool->downloadMap());
    QStringList got;
    for (const ZelDefectPixel& p : tool->map())
        got << QStringLiteral("%1,%2,%3").arg(p.x).arg(p.y).arg(p.value);
    QCOMPARE(got.join(' '), entries);
    QCOMPARE(tool->capacity(), 4096u);

    // The factory map: three entries.
    tool->setMapSelect(0);
    QVERIFY(tool->downloadMap());
    QCOMPARE(tool->map().size(), 3);
    QCOMPARE(tool->map()[1].x, 100);
    QCOMPARE(tool->map()[1].y, 200);
}

void TestZelDefectPixelCorrection::reportedCountsAreClamped()
{
    QVERIFY(g1());
    // A size of 2^32 − 1 reads no more than the capacity.
    QCOMPARE(run("defectmap.report GEV-G1-0001 4294967295 real"), QString());
    QVERIFY(tool->downloadMap());
    QCOMPARE(tool->capacity(), 4096u);
    QCOMPARE(tool->map().size(), 3);

    // A huge capacity stops at the map memory's extent; the camera then
    // refuses the read beyond its own.
    QCOMPARE(run("defectmap.report GEV-G1-0001 4294967295 4294967295"), QString());
    const QString calls = session.callsDuring([&] { QVERIFY(!tool->downloadMap()); });
    QCOMPARE(tool->capacity(), ZelCorrectionMapAccess::maxMapWords);
    QVERIFY2(calls.contains("length=897024") || calls.contains("897024"), qPrintable(calls.left(2000)));
    QVERIFY(tool->map().isEmpty());
}

void TestZelDefectPixelCorrection::uploadOfThreeEntries_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("registerMode");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QString>("bytes");   // the first word as stored
    QTest::addColumn<QString>("control"); // the control register afterwards
    QTest::newRow("G1, features") << "GEV-G1-0001" << "orv_gev_tl.cti" << false << true << "10 01 C0 05"
                                  << "80 00 00 01";
    QTest::newRow("C2, big-endian registers") << "CL-C2-0402" << "orv_cl_tl.cti" << true << true << "00 07 00 05"
                                              << "80 00 00 01";
    QTest::newRow("U1, little-endian registers") << "U3V-U1-0301" << "orv_u3v_tl.cti" << true << false
                                                 << "05 00 07 00" << "01 00 00 80";
}

void TestZelDefectPixelCorrection::uploadOfThreeEntries()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, registerMode);
    QFETCH(bool, bigEndian);
    QFETCH(QString, bytes);
    QFETCH(QString, control);
    QVERIFY(make(deviceId, producer, registerMode, bigEndian));
    tool->readMatchPatterns(patternStore("isolated.ini", group("DefMatch00", isolated, "101")));
    tool->setMapSelect(1);
    QVERIFY(importText("5;7;0\n100;200;0\n40;30;0\n"));
    QCOMPARE(tool->map().size(), 3);

    QSignalSpy progress(tool.data(), &ZelDefectPixelCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    QVERIFY(tool->uploadMap());
    QCOMPARE(script.count(), 0);
    QCOMPARE(progress.count(), 4);
    const QList<QVariant> expected[] = {{false, 0}, {false, 33}, {false, 66}, {true, 100}};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(progress[i], expected[i]);
    QCOMPARE(peek(0x10025000, 4), bytes);
    QVERIFY(run("defectmap.get " + deviceId).startsWith("size=3\n5,7\n100,200\n40,30\n"));
    QCOMPARE(peek(0x1000401C, 4), bigEndian ? QStringLiteral("00 00 00 03") : QStringLiteral("03 00 00 00"));
    // The correction is on, the other bits of the control register kept.
    QCOMPARE(peek(0x10004000, 4), control);
    // The local map is emptied.
    QVERIFY(tool->hasMap());
    QVERIFY(tool->map().isEmpty());
}

void TestZelDefectPixelCorrection::uploadRefusals_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("withMap");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("factory map") << "" << true << " Upload Defect Pixel Map "
                                 << " Upload Failed:  upload to factory map protected !";
    QTest::newRow("no map yet") << "select" << false << "Upload Defect Pixel Map " << "upload failed: empty map";
    QTest::newRow("select unreadable") << "fail" << true << "" << "get selected map failed!";
}

void TestZelDefectPixelCorrection::uploadRefusals()
{
    QFETCH(QString, setup);
    QFETCH(bool, withMap);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QVERIFY(g1());
    if (withMap)
        QVERIFY(importText("5;7;101\n"));
    if (setup == "select")
        tool->setMapSelect(1);
    if (setup == "fail")
        QCOMPARE(run("feature.fail remote:GEV-G1-0001 DefectPixelCorrection_MapSelect get -1013 always"), QString());
    const QString before = run("defectmap.get GEV-G1-0001 1");
    QSignalSpy progress(tool.data(), &ZelDefectPixelCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    QString calls = session.callsDuring([&] { QVERIFY(!tool->uploadMap()); });
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Information);
    QCOMPARE(script.last().title, title);
    QCOMPARE(script.last().text, text);
    QVERIFY2(!calls.contains("OrvDeviceWrite"), qPrintable(calls));
    QVERIFY(progress.isEmpty());
    QCOMPARE(run("defectmap.get GEV-G1-0001 1"), before);
}

void TestZelDefectPixelCorrection::uploadSkipsWhatTheCameraCannotHold()
{
    QVERIFY(c2());
    tool->setMapSelect(1);
    // First a map the camera holds.
    QVERIFY(importText("1;1;0\n"));
    QVERIFY(tool->uploadMap());
    const QString before = run("defectmap.get CL-C2-0402 1");
    QCOMPARE(before, QStringLiteral("size=1\n1,1\n"));

    // Every entry skipped: refused before the camera is touched.
    QVERIFY(importText("1;2;4\n3;4;5\n6;7;9\n"));
    QSignalSpy progress(tool.data(), &ZelDefectPixelCorrection::actionViewerUpdateProcessBar);
    {
        ZelDialogs::Script script;
        const QString calls = session.callsDuring([&] { QVERIFY(!tool->uploadMap()); });
        QVERIFY2(!calls.contains("OrvDeviceWrite"), qPrintable(calls));
        QCOMPARE(script.count(), 1);
        QVERIFY(script.last().text.contains("3"));
    }
    QCOMPARE(run("defectmap.get CL-C2-0402 1"), before);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), (QList<QVariant>{false, 100}));
    QCOMPARE(tool->map().size(), 3);

    // Some skipped: the rest written, then a warning naming how many.
    QVERIFY(importText("10;11;0\n12;13;7\n14;15;0\n"));
    progress.clear();
    ZelDialogs::Script script;
    tool->uploadMap();
    QCOMPARE(run("defectmap.get CL-C2-0402 1"), QStringLiteral("size=2\n10,11\n14,15\n"));
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Warning);
    QVERIFY2(script.last().text.startsWith("1 of 3"), qPrintable(script.last().text));
    for (const QList<QVariant>& signal : progress)
        QVERIFY(!signal[0].toBool());
    QCOMPARE(progress.last(), (QList<QVariant>{false, 100}));
}

void TestZelDefectPixelCorrection::failingBlockWriteEndsTheProgress()
{
    QVERIFY(c2());
    tool->setMapSelect(1);
    QVERIFY(importText("1;1;0\n2;2;0\n"));
    QCOMPARE(run("register.fail CL-C2-0402 0x10025000 write -1013"), QString());
    QSignalSpy progress(tool.data(), &ZelDefectPixelCorrection::actionViewerUpdateProcessBar);
    ZelDialogs::Script script;
    QVERIFY(!tool->uploadMap());
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().title, QStringLiteral(" Upload Defect Pixel Map "));
    QCOMPARE(script.last().text, QStringLiteral(" Upload Failed"));
    QCOMPARE(progress.last(), (QList<QVariant>{false, 100}));
    // The map stays for another try.
    QCOMPARE(tool->map().size(), 2);
}

void TestZelDefectPixelCorrection::emptyMapClearsTheCameraWithoutABlock()
{
    QVERIFY(u1());
    tool->setMapSelect(1);
    QVERIFY(importText("1;1;0\n"));
    QVERIFY(tool->uploadMap());
    QCOMPARE(run("defectmap.get U3V-U1-0301 1"), QStringLiteral("size=1\n1,1\n"));
    // A map generated from images without defects is empty: its upload
    // clears the camera's map.
    {
        ZelDialogs::Script script;
        script.answer(QStringList{bmp("flat.bmp", indexedImage(40, 30, 16))});
        QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
        QMetaObject::invokeMethod(tool.data(), "on_btnGenerateMap_clicked");
        QCOMPARE(script.last().text, QStringLiteral("Map successfully generated "));
    }
    QVERIFY(tool->hasMap());
    QVERIFY(tool->map().isEmpty());
    QSignalSpy progress(tool.data(), &ZelDefectPixelCorrection::actionViewerUpdateProcessBar);
    const QString calls = session.callsDuring([&] { QVERIFY(tool->uploadMap()); });
    QCOMPARE(run("defectmap.get U3V-U1-0301 1"), QStringLiteral("size=0\n"));
    // No block at the map memory (0x10025000), only the clear (0x10004018).
    QVERIFY2(!calls.contains("address=268587008"), qPrintable(calls));
    QVERIFY2(calls.contains("OrvDeviceWrite(module=device:U3V-U1-0301, address=268451864"), qPrintable(calls));
    QCOMPARE(progress.count(), 1);
    QCOMPARE(progress.last(), (QList<QVariant>{true, 100}));
}

void TestZelDefectPixelCorrection::uploadButtonRefusesWhileStreaming()
{
    QVERIFY(g1());
    tool->setMapSelect(1);
    QVERIFY(importText("5;7;101\n"));
    QCOMPARE(run("feature.set remote:GEV-G1-0001 TLParamsLocked 1"), QString());
    ZelDialogs::Script script;
    const QString calls = session.callsDuring([&] {
        QMetaObject::invokeMethod(tool.data(), "on_btnUploadMapToCam_clicked");
    });
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QCOMPARE(script.last().title, QStringLiteral("Upload Map"));
    QCOMPARE(script.last().text, QStringLiteral("stop streaming before uploading map to camera"));
    QVERIFY2(!calls.contains("OrvDeviceWrite"), qPrintable(calls));
    QCOMPARE(tool->map().size(), 1);
}

void TestZelDefectPixelCorrection::correctionAndMapSwitches_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("registerMode");
    QTest::addColumn<bool>("bigEndian");
    QTest::newRow("G1, features") << "GEV-G1-0001" << "orv_gev_tl.cti" << false << true;
    QTest::newRow("C2, big-endian registers") << "CL-C2-0402" << "orv_cl_tl.cti" << true << true;
    QTest::newRow("U1, little-endian registers") << "U3V-U1-0301" << "orv_u3v_tl.cti" << true << false;
}

void TestZelDefectPixelCorrection::correctionAndMapSwitches()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, registerMode);
    QFETCH(bool, bigEndian);
    QVERIFY(make(deviceId, producer, registerMode, bigEndian));
    bool enabled = true;
    tool->getCorrectionEnabled(enabled);
    QVERIFY(!enabled);
    QVERIFY(tool->setCorrectionEnabled(true));
    tool->getCorrectionEnabled(enabled);
    QVERIFY(enabled);
    // Bit 31 of the control register stays set.
    QCOMPARE(peek(0x10004000, 4), bigEndian ? QStringLiteral("80 00 00 01") : QStringLiteral("01 00 00 80"));
    QVERIFY(tool->setCorrectionEnabled(false));
    QCOMPARE(peek(0x10004000, 4), bigEndian ? QStringLiteral("80 00 00 00") : QStringLiteral("00 00 00 80"));

    QVariant select;
    QVERIFY(tool->getMapSelect(select));
    QCOMPARE(select.toLongLong(), 0ll);
    tool->setMapSelect(1);
    QVERIFY(tool->getMapSelect(select));
    QCOMPARE(select.toLongLong(), 1ll);

    // A failed read leaves the caller's values.
    QCOMPARE(run("register.fail " + deviceId + " 0x10004000 read -1013 always"), QString());
    if (!registerMode)
        QCOMPARE(run("feature.fail remote:" + deviceId + " DefectPixelCorrectionEnable_Control get -1013 always"),
                 QString());
    enabled = true;
    tool->getCorrectionEnabled(enabled);
    QVERIFY(enabled);
    if (registerMode)
        QVERIFY(!tool->setCorrectionEnabled(true));
}

void TestZelDefectPixelCorrection::importLines()
{
    ZelAppSettings::instance()->setValue("Directory", "PDCSettingsFileDir", QString());
    QVERIFY(u1());
    // White space around lines and fields, blank lines and a byte order
    // mark are no entries' concern; a repeated position keeps its first.
    QVERIFY(importText("\xEF\xBB\xBF  12;34;0  \n\n12 ; 35;9\r\n12;34;7\n\t0;0;0"));
    QCOMPARE(tool->map(), (QVector<ZelDefectPixel>{{12, 34, 0}, {12, 35, 9}, {0, 0, 0}}));
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "PDCSettingsFileDir").toString(), files.path());

    // A cancelled dialog changes nothing and says nothing.
    ZelDialogs::Script script;
    QVERIFY(!tool->importMap());
    QCOMPARE(tool->map().size(), 3);
    QCOMPARE(script.count(), 1);
}

void TestZelDefectPixelCorrection::importRefusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QString noEntry = QStringLiteral("The file holds no defect pixel entry; the camera's map is left as it is.");
    const auto line = [](int n) {
        return QStringLiteral("Line %1 is not a defect pixel entry \"x;y;value\"; the map is not loaded.").arg(n);
    };
    QTest::newRow("empty") << QByteArray() << noEntry;
    QTest::newRow("blank lines") << QByteArray("\n  \r\n\t\n") << noEntry;
    QTest::newRow("letters") << QByteArray("1;1;0\nabc;def;ghi\n") << line(2);
    QTest::newRow("two fields") << QByteArray("12;34\n") << line(1);
    QTest::newRow("four fields") << QByteArray("1;1;0\n\n12;34;0;1\n") << line(3);
    QTest::newRow("empty fields") << QByteArray("1;1;0\n;;\n") << line(2);
    QTest::newRow("beyond 32 bits") << QByteArray("2147483648;0;0\n") << line(1);
    QTest::newRow("a fraction") << QByteArray("1.5;2;0\n") << line(1);
    QTest::newRow("a NUL byte inside a field") << QByteArray("100;7\0garbage;0\n", 16) << line(1);
    QTest::newRow("a NUL byte after the last field") << QByteArray("1;1;0\n5;5;0\0\n", 13) << line(2);
    QTest::newRow("comment") << QByteArray("1;1;0\n#stop\n5;5;0\n")
                             << QStringLiteral("Line 2 begins with \"#\"; the map is not loaded.");
    QByteArray random(100 * 1024, '\0');
    QRandomGenerator generator(41);
    for (char& c : random)
        c = char(generator.bounded(256));
    random[0] = 'x';
    QTest::newRow("random bytes") << random << line(1);
    QTest::newRow("a line without end") << QByteArray("1;1;0\n") + QByteArray(1 << 20, '7') << line(2);
}

void TestZelDefectPixelCorrection::importRefusals()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    ZelAppSettings::instance()->setValue("Directory", "PDCSettingsFileDir", QString());
    QVERIFY(g1());
    tool->setMapSelect(1);
    QVERIFY(importText("5;7;0\n100;200;0\n"));
    QVERIFY(tool->uploadMap());
    const QString camera = run("defectmap.get GEV-G1-0001 1");
    QCOMPARE(camera, QStringLiteral("size=2\n5,7\n100,200\n"));
    QVERIFY(importText("9;9;0\n"));
    const QVector<ZelDefectPixel> before = tool->map();

    // As the camera window's Load Map: a refused file is never uploaded.
    const QString path = files.filePath("bad.txt");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(text), qint64(text.size()));
    }
    ZelAppSettings::instance()->setValue("Directory", "PDCSettingsFileDir", QString());
    ZelDialogs::Script script;
    script.answer(path);
    const QString calls = session.callsDuring([&] {
        if (tool->importMap())
            tool->uploadMap();
    });
    QCOMPARE(script.count(), 2);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QCOMPARE(script.last().title, QStringLiteral("Load Map"));
    QCOMPARE(script.last().text, QDir::toNativeSeparators(path) + "\n\n" + reason);
    QVERIFY(script.last().hasParent);
    QVERIFY2(!calls.contains("OrvDeviceWrite") && !calls.contains("OrvFeatureSet"), qPrintable(calls));
    QCOMPARE(run("defectmap.get GEV-G1-0001 1"), camera);
    QCOMPARE(tool->map(), before);
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "PDCSettingsFileDir").toString(), QString());
}

void TestZelDefectPixelCorrection::importAsksBeforeEntriesAreLost_data()
{
    QTest::addColumn<QString>("capacity");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("losses");
    QTest::addColumn<QVector<ZelDefectPixel>>("kept");
    // G1: 1280 × 1024 pixels, revision 4 (code of an isolated pixel: 111).
    QTest::newRow("outside the sensor")
        << "real" << QByteArray("5;7;0\n1280;0;0\n-1;3;0\n2147483647;0;0\n0;1024;0\n600;8;0\n-1;3;7\n")
        << "4 of the 6 entries would be lost: 4 lie outside the sensor of 1280 × 1024 pixels.\n\nLoad the other 2?"
        << QVector<ZelDefectPixel>{{5, 7, 111}, {600, 8, 111}};
    // A repeated position is one entry, also beyond the capacity.
    QTest::newRow("beyond the capacity")
        << "2" << QByteArray("5;7;0\n600;8;0\n5;7;0\n900;9;0\n900;9;0\n1000;10;0\n")
        << "2 of the 4 entries would be lost: 2 do not fit the camera's map of 2 entries.\n\nLoad the other 2?"
        << QVector<ZelDefectPixel>{{5, 7, 111}, {600, 8, 111}};
    QTest::newRow("both") << "1" << QByteArray("5;7;0\n-5;7;0\n600;8;0\n")
                          << "2 of the 3 entries would be lost: 1 lie outside the sensor of 1280 × 1024 pixels, 1 do "
                             "not fit the camera's map of 1 entries.\n\nLoad the other 1?"
                          << QVector<ZelDefectPixel>{{5, 7, 111}};
}

void TestZelDefectPixelCorrection::importAsksBeforeEntriesAreLost()
{
    QFETCH(QString, capacity);
    QFETCH(QByteArray, text);
    QFETCH(QString, losses);
    QFETCH(QVector<ZelDefectPixel>, kept);
    QVERIFY(g1());
    QVERIFY(importText("9;9;0\n"));
    const QVector<ZelDefectPixel> before = tool->map();
    QCOMPARE(run("defectmap.report GEV-G1-0001 real " + capacity), QString());
    const QString path = textFile("large.txt", QString::fromUtf8(text));
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        ZelDialogs::Script script;
        script.answer(path);
        script.answer(answer);
        QCOMPARE(tool->importMap(), answer == QMessageBox::Yes);
        QCOMPARE(script.count(), 2);
        QCOMPARE(script.last().icon, QMessageBox::Question);
        QCOMPARE(script.last().title, QStringLiteral("Load Map"));
        QCOMPARE(script.last().text, QDir::toNativeSeparators(path) + "\n\n" + losses);
        QCOMPARE(script.last().defaultButton, QMessageBox::No);
        QCOMPARE(tool->map(), answer == QMessageBox::Yes ? kept : before);
    }

    // Nothing left to load: refused without a question.
    QVERIFY(importText("9;9;0\n"));
    ZelDialogs::Script script;
    script.answer(textFile("outside.txt", "1280;1;0\n1;-1;0\n"));
    QVERIFY(!tool->importMap());
    QCOMPARE(script.count(), 2);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QVERIFY2(script.last().text.endsWith("None of the 2 entries can be loaded: 2 lie outside the sensor of 1280 × "
                                         "1024 pixels."),
             qPrintable(script.last().text));
    QCOMPARE(tool->map(), before);
}

void TestZelDefectPixelCorrection::exportImportRoundTripAndAFullDevice()
{
    QVERIFY(u1());
    QVERIFY(importText("3;4;1\n5;6;2\n"));
    const QString path = files.filePath("out.txt");
    {
        ZelDialogs::Script script;
        script.answer(path);
        QVERIFY(tool->exportMap());
        QCOMPARE(script.last().title, QStringLiteral("Export Map "));
        QCOMPARE(script.last().filter, QStringLiteral("txt (*.txt)"));
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("3;4;1\n5;6;2\n"));
    {
        ZelDialogs::Script script;
        script.answer(path);
        QVERIFY(tool->importMap());
    }
    QCOMPARE(tool->map(), (QVector<ZelDefectPixel>{{3, 4, 1}, {5, 6, 2}}));

    // A device that takes no bytes: the button reports failure.
    if (!QFile::exists("/dev/full"))
        QSKIP("no /dev/full");
    const QString full = files.filePath("full.txt");
    QVERIFY(QFile::link("/dev/full", full));
    ZelDialogs::Script script;
    script.answer(full);
    QMetaObject::invokeMethod(tool.data(), "on_btnSaveMapToFile_clicked");
    QCOMPARE(script.count(), 2);
    QCOMPARE(script.last().icon, QMessageBox::Critical);
    QCOMPARE(script.last().text, QStringLiteral("save to file failed!"));
    QVERIFY(ZelAppSettings::instance()->value("Directory", "PDCSettingsFileDir").toString() != "/dev");
}

void TestZelDefectPixelCorrection::patternsAtTheSensorEdge_data()
{
    QTest::addColumn<QString>("world");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("codes");
    const QString narrow = QStringLiteral("{\"builtIn\": true, \"cameras\": [{\"profile\": \"G1\", \"id\": "
                                          "\"GEV-G1-0640\", \"serial\": \"640\", \"mac\": \"00-11-1C-00-06-40\", "
                                          "\"width\": 640, \"height\": 480}]}");
    QTest::newRow("corner (0, 0)") << QString() << "GEV-G1-0001" << "0;0;0\n" << "107";
    QTest::newRow("column 639 of 640") << narrow << "GEV-G1-0640" << "639;100;0\n" << "111";
    QTest::newRow("column 639 of 1280") << QString() << "GEV-G1-0001" << "639;100;0\n" << "101";
    QTest::newRow("column 1279 of 1280") << QString() << "GEV-G1-0001" << "1279;100;0\n" << "111";
    QTest::newRow("two neighbours, no pattern") << QString() << "GEV-G1-0001" << "50;50;0\n51;50;0\n" << "0 0";
}

void TestZelDefectPixelCorrection::patternsAtTheSensorEdge()
{
    QFETCH(QString, world);
    QFETCH(QString, deviceId);
    QFETCH(QString, entries);
    QFETCH(QString, codes);
    if (!world.isEmpty()) {
        const QString file = textFile("world.json", world);
        QCOMPARE(run("world.load " + file), QString());
    }
    QVERIFY(make(deviceId, "orv_gev_tl.cti", false, true));
    const QString corner = group("DefMatch00", {"11111", "11111", "11100", "11000", "11000"}, "107");
    tool->readMatchPatterns(patternStore("edge.ini", corner + group("DefMatch01", rightEdge, "111") +
                                                         group("DefMatch02", isolated, "101")));
    QCOMPARE(tool->matchPatterns().size(), 3);
    QVERIFY(importText(entries));
    QCOMPARE(tool->capacity(), 4096u);
    QStringList got;
    for (const ZelDefectPixel& p : tool->map())
        got << QString::number(p.value);
    QCOMPARE(got.join(' '), codes);
}

void TestZelDefectPixelCorrection::malformedPatternGroups_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("five keys") << group("A", isolated, "101") + "[B]\na=1\nb=1\nc=1\nd=1\ne=1\n";
    QTest::newRow("row of four cells") << group("A", isolated, "101") +
                                              group("B", {"xxxx", "x000x", "x010x", "x000x", "xxxxx"}, "102");
    QTest::newRow("row of six cells") << group("A", {"xxxxx", "x000x", "x010x", "x000x", "xxxxxx"}, "102");
    QTest::newRow("code not an integer") << group("A", isolated, "10a");
}

void TestZelDefectPixelCorrection::malformedPatternGroups()
{
    QFETCH(QString, text);
    QVERIFY(g1());
    QVERIFY(!tool->matchPatterns().isEmpty());
    tool->readMatchPatterns(patternStore("bad.ini", text));
    QVERIFY(tool->matchPatterns().isEmpty());
    const int cells[25] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    QCOMPARE(tool->matchPattern(cells), -1);
    // Revision-4 entries then keep their values.
    QVERIFY(importText("5;7;103\n"));
    QCOMPARE(tool->map()[0].value, 103);
}

void TestZelDefectPixelCorrection::imageListsAndMeans()
{
    QVERIFY(u1());
    const auto& ui = tool->form();
    const QString a = bmp("a.bmp", indexedImage(8, 6, 10));
    QImage rgb(8, 6, QImage::Format_RGB32);
    rgb.fill(qRgb(20, 20, 21));
    const QString b = bmp("b.bmp", rgb);
    const QString wide = bmp("wide.bmp", indexedImage(9, 6, 10));
    QImage mono(8, 6, QImage::Format_Mono);
    mono.fill(1);
    const QString oneBit = bmp("mono.bmp", mono);
    QVERIFY(!a.isEmpty() && !b.isEmpty() && !wide.isEmpty() && !oneBit.isEmpty());

    ZelDialogs::Script script;
    // The same file twice is added once.
    script.answer(QStringList{a, a, b});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
    QCOMPARE(ui.listDarkImagePath->count(), 2);
    QCOMPARE(tool->imageSet(1).number(), 2);
    QCOMPARE(meanAt(ui.lblMeanImageDark, 0, 0), 15); // (10 + 20) / 2
    QCOMPARE(script.requests()[0].title, QStringLiteral("image paths"));
    QCOMPARE(script.requests()[0].filter, QStringLiteral("bmp (*.bmp)"));
    QCOMPARE(tool->recordedSize(), QSize(8, 6));

    // The same file in the bright list is fine; other sizes and 1-bit files are not.
    script.clear();
    script.answer(QStringList{a, wide, oneBit, files.filePath("missing.bmp")});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddBrightImage_clicked");
    QCOMPARE(ui.listBrightImagePath->count(), 1);
    const QList<ZelDialogs::Request> r = script.requests();
    QCOMPARE(r.size(), 4);
    QCOMPARE(r[1].title, QStringLiteral("Load Image:"));
    QCOMPARE(r[1].text, wide + ": incompatible image!");
    QCOMPARE(r[2].text, oneBit + ": Image Format Not Supported!");
    QCOMPARE(r[3].icon, QMessageBox::Critical);
    QCOMPARE(r[3].text, files.filePath("missing.bmp") + "Failed!");

    // Deleting one of two dark images leaves the other as the mean.
    ui.listDarkImagePath->item(0)->setSelected(true);
    QMetaObject::invokeMethod(tool.data(), "on_listDarkImagePath_itemPressed",
                              Q_ARG(QListWidgetItem*, ui.listDarkImagePath->item(0)));
    QVERIFY(ui.btnDeleteDarkImage->isEnabled());
    QMetaObject::invokeMethod(tool.data(), "on_btnDeleteDarkImage_clicked");
    QCOMPARE(ui.listDarkImagePath->count(), 1);
    QCOMPARE(meanAt(ui.lblMeanImageDark, 0, 0), 20);
    QVERIFY(!ui.btnDeleteDarkImage->isEnabled());

    // The last dark image out clears the mean; the bright image keeps the size.
    ui.listDarkImagePath->item(0)->setSelected(true);
    QMetaObject::invokeMethod(tool.data(), "on_btnDeleteDarkImage_clicked");
    QVERIFY(ui.lblMeanImageDark->image().isNull());
    QCOMPARE(tool->imageSet(1).number(), 0);
    QCOMPARE(tool->recordedSize(), QSize(8, 6));
    // Both lists empty: another size may come.
    ui.listBrightImagePath->item(0)->setSelected(true);
    QMetaObject::invokeMethod(tool.data(), "on_btnDeleteBrightImage_clicked");
    QCOMPARE(tool->recordedSize(), QSize(0, 0));
    script.clear();
    script.answer(QStringList{wide});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
    QCOMPARE(ui.listDarkImagePath->count(), 1);
    QCOMPARE(script.count(), 1);
}

void TestZelDefectPixelCorrection::changedFileIsNotTakenOut()
{
    QVERIFY(u1());
    const auto& ui = tool->form();
    const QString a = bmp("a.bmp", indexedImage(4, 4, 100));
    const QString b = bmp("b.bmp", indexedImage(4, 4, 200));
    ZelDialogs::Script script;
    script.answer(QStringList{a, b});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddBrightImage_clicked");
    QCOMPARE(meanAt(ui.lblMeanImageBright, 1, 1), 150);
    // b changes on disk: taking it out subtracts nothing.
    QVERIFY(!bmp("b.bmp", indexedImage(4, 4, 250)).isEmpty());
    ui.listBrightImagePath->item(1)->setSelected(true);
    QMetaObject::invokeMethod(tool.data(), "on_btnDeleteBrightImage_clicked");
    QCOMPARE(ui.listBrightImagePath->count(), 1);
    QCOMPARE(meanAt(ui.lblMeanImageBright, 1, 1), 150);
    // The list empty: the set starts afresh whatever its count.
    ui.listBrightImagePath->item(0)->setSelected(true);
    QMetaObject::invokeMethod(tool.data(), "on_btnDeleteBrightImage_clicked");
    QCOMPARE(tool->imageSet(2).number(), 0);
    QVERIFY(ui.lblMeanImageBright->image().isNull());
    script.answer(QStringList{b});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddBrightImage_clicked");
    QCOMPARE(meanAt(ui.lblMeanImageBright, 1, 1), 250);
    QCOMPARE(tool->imageSet(2).number(), 1);
}

void TestZelDefectPixelCorrection::aMeanHoldsAtMost256Images()
{
    QVERIFY(u1());
    QStringList paths;
    for (int i = 0; i < 257; ++i)
        paths << bmp(QStringLiteral("i%1.bmp").arg(i), indexedImage(2, 2, i % 2 ? 255 : 0));
    ZelDialogs::Script script;
    script.answer(paths);
    QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
    QCOMPARE(tool->form().listDarkImagePath->count(), 256);
    QCOMPARE(tool->imageSet(1).number(), 256);
    QCOMPARE(meanAt(tool->form().lblMeanImageDark, 1, 1), 127);
    QCOMPARE(script.count(), 2);
    QCOMPARE(script.last().title, QStringLiteral("Load Image"));
    QVERIFY2(script.last().text.startsWith(paths.last() + ": "), qPrintable(script.last().text));
}

void TestZelDefectPixelCorrection::thresholdFields_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("absolute 300") << true << "300" << "16";
    QTest::newRow("absolute 255") << true << "255" << "255";
    QTest::newRow("absolute empty") << true << "" << "16";
    QTest::newRow("relative 101") << false << "101" << "12";
    QTest::newRow("relative 100") << false << "100" << "100";
}

void TestZelDefectPixelCorrection::thresholdFields()
{
    QFETCH(bool, dark);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QVERIFY(u1());
    QLineEdit* edit = dark ? tool->form().txtAbsoluteThreshold : tool->form().txtRelativeThreshold;
    edit->setText(typed);
    QMetaObject::invokeMethod(tool.data(), dark ? "on_txtAbsoluteThreshold_editingFinished"
                                                : "on_txtRelativeThreshold_editingFinished");
    QCOMPARE(edit->text(), shown);
    const ZelDefectImageSet& set = tool->imageSet(dark ? 1 : 2);
    QCOMPARE(dark ? set.absoluteThreshold : set.relativeThreshold, shown.toInt());
}

void TestZelDefectPixelCorrection::generateWithoutImages()
{
    QVERIFY(u1());
    ZelDialogs::Script script;
    QMetaObject::invokeMethod(tool.data(), "on_btnGenerateMap_clicked");
    QCOMPARE(script.count(), 1);
    QCOMPARE(script.last().title, QStringLiteral(" Generate Map  "));
    QCOMPARE(script.last().text, QStringLiteral(" generate map failed: missing image parameters"));
    QVERIFY(!tool->form().btnUploadMapToCam->isEnabled());
    QVERIFY(!tool->form().btnSaveMapToFile->isEnabled());
    QVERIFY(tool->form().txtDefectPixelCount->text().isEmpty());
    QVERIFY(!tool->hasMap());
}

void TestZelDefectPixelCorrection::generateFromDarkAndBright()
{
    QVERIFY(g1());
    QImage dark = indexedImage(40, 30, 16);
    dark.setPixel(5, 7, 255);
    QImage bright = indexedImage(40, 30, 200);
    bright.setPixel(20, 10, 0);
    bright.setPixel(5, 7, 255);
    ZelDialogs::Script script;
    script.answer(QStringList{bmp("dark.bmp", dark)});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
    script.answer(QStringList{bmp("bright.bmp", bright)});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddBrightImage_clicked");
    QCOMPARE(script.count(), 2);
    QMetaObject::invokeMethod(tool.data(), "on_btnGenerateMap_clicked");
    QCOMPARE(script.count(), 3);
    QCOMPARE(script.last().title, QStringLiteral("Generate Map"));
    QCOMPARE(script.last().text, QStringLiteral("Map successfully generated "));
    // Row by row; revision 4 gives isolated pixels a code.
    QCOMPARE(tool->map().size(), 2);
    QCOMPARE(tool->map()[0].x, 5);
    QCOMPARE(tool->map()[0].y, 7);
    QCOMPARE(tool->map()[1].x, 20);
    QCOMPARE(tool->map()[1].y, 10);
    QVERIFY(tool->map()[0].value >= 100 && tool->map()[0].value <= 115);
    QCOMPARE(tool->form().txtDefectPixelCount->text(), QStringLiteral("2"));
    QVERIFY(tool->form().btnUploadMapToCam->isEnabled());
    QVERIFY(tool->form().btnSaveMapToFile->isEnabled());

    // With capacity 1 the first defect in row order stays.
    QCOMPARE(run("defectmap.report GEV-G1-0001 real 1"), QString());
    QMetaObject::invokeMethod(tool.data(), "on_btnGenerateMap_clicked");
    QCOMPARE(tool->map().size(), 1);
    QCOMPARE(tool->map()[0].x, 5);
}

void TestZelDefectPixelCorrection::colourCameraUsesDarkImagesOnly()
{
    QVERIFY(make("GEV-G2-0002", "orv_gev_tl.cti", false, true));
    QVERIFY(tool->isColor());
    QCOMPARE(tool->form().tabWidget->count(), 1);
    QCOMPARE(tool->form().tabWidget->widget(0), tool->form().tabDarkInput);
    QImage dark = indexedImage(30, 30, 16);
    dark.setPixel(3, 4, 200);
    ZelDialogs::Script script;
    script.answer(QStringList{bmp("dark.bmp", dark)});
    QMetaObject::invokeMethod(tool.data(), "on_btnAddDarkImage_clicked");
    QMetaObject::invokeMethod(tool.data(), "on_btnGenerateMap_clicked");
    QCOMPARE(script.last().text, QStringLiteral("Map successfully generated "));
    QCOMPARE(tool->map(), (QVector<ZelDefectPixel>{{3, 4, 0}}));
}

QTEST_MAIN(TestZelDefectPixelCorrection)
#include "tst_ZelDefectPixelCorrection.moc"
