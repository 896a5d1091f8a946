#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelAppSettings.h"
#include "ZelCorrectionMapAccess.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestZelCorrectionMapAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init() { QVERIFY(session.start()); }
    void cleanup()
    {
        access.reset();
        session.stop();
    }

    void wordsFollowTheByteOrderFlag_data();
    void wordsFollowTheByteOrderFlag();
    void settingTwinsGoThroughFeatureOrRegister();
    void failedRegisterReadLeavesTheValue();
    void blocksMoveWordByWord();
    void parameterLock_data();
    void parameterLock();
    void uploadRefusalWhileStreaming();
    void folderIsStoredOnlyWhenItDiffers();
    void countsAreClamped_data();
    void countsAreClamped();

private:
    ZelCorrectionMapAccess& open(const QString& deviceId, const QString& producer, bool bigEndian)
    {
        camera = session.open(deviceId, producer);
        device = deviceId;
        access = std::make_unique<ZelCorrectionMapAccess>(camera ? camera->deviceFeatures : nullptr,
                                                          camera ? camera->remoteDeviceFeatures : nullptr,
                                                          bigEndian, QStringLiteral("PDCSettingsFileDir"));
        return *access;
    }
    QString peek(quint32 address, int length)
    {
        QString reply;
        session.run(QStringLiteral("memory.peek %1 0x%2 %3").arg(device).arg(address, 0, 16).arg(length), &reply);
        return reply;
    }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QString device;
    std::unique_ptr<ZelCorrectionMapAccess> access;
};

void TestZelCorrectionMapAccess::wordsFollowTheByteOrderFlag_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QString>("bytes");     // the value 1 as written
    QTest::addColumn<quint32>("fromCamera"); // the stored bytes 00 00 00 01 as read
    QTest::newRow("GigE, reversed") << "GEV-G1-0001" << "orv_gev_tl.cti" << true << "00 00 00 01" << 1u;
    QTest::newRow("USB3, native") << "U3V-U1-0301" << "orv_u3v_tl.cti" << false << "01 00 00 00" << 0x01000000u;
    QTest::newRow("GigE without the flag") << "GEV-G1-0001" << "orv_gev_tl.cti" << false << "01 00 00 00"
                                            << 0x01000000u;
}

void TestZelCorrectionMapAccess::wordsFollowTheByteOrderFlag()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, bigEndian);
    QFETCH(QString, bytes);
    QFETCH(quint32, fromCamera);
    ZelCorrectionMapAccess& a = open(deviceId, producer, bigEndian);
    QVERIFY(camera);
    // The control register keeps every bit as written.
    QVERIFY(a.writeWord(0x10004000, 1));
    QCOMPARE(peek(0x10004000, 4), bytes);
    quint32 value = 0;
    QVERIFY(a.readWord(0x10004000, value));
    QCOMPARE(value, 1u);
    QCOMPARE(session.run(QStringLiteral("memory.poke %1 0x10004000 00000001").arg(deviceId)), 0);
    QVERIFY(a.readWord(0x10004000, value));
    QCOMPARE(value, fromCamera);
}

void TestZelCorrectionMapAccess::settingTwinsGoThroughFeatureOrRegister()
{
    ZelCorrectionMapAccess& a = open("CL-C2-0402", "orv_cl_tl.cti", true);
    QVERIFY(camera);
    // Register mode: the register word, as an unsigned 32-bit integer.
    QVERIFY(a.writeSetting("DefectPixelCorrection_MapSelect", 0x10004014, true, QVariant(qint64(0x100000001ll))));
    QCOMPARE(peek(0x10004014, 4), QStringLiteral("00 00 00 01"));
    QVariant value;
    QVERIFY(a.readSetting("DefectPixelCorrection_MapSelect", 0x10004014, true, value));
    QCOMPARE(value.userType(), int(QMetaType::UInt));
    QCOMPARE(value.toUInt(), 1u);

    // Feature mode: the feature, whatever the register.
    const QString calls = session.callsDuring([&] {
        QVERIFY(a.writeSetting("DefectPixelCorrection_MapSelect", 0x10004014, false, QVariant(0)));
    });
    QVERIFY2(calls.contains("OrvFeatureSetValueInt64"), qPrintable(calls));
    QVERIFY2(!calls.contains("OrvDeviceWrite"), qPrintable(calls));
    QCOMPARE(peek(0x10004014, 4), QStringLiteral("00 00 00 00"));
    value = QVariant();
    QVERIFY(a.readSetting("DefectPixelCorrection_MapSelect", 0x10004014, false, value));
    QCOMPARE(value.toLongLong(), 0ll);
    QVERIFY(!a.readSetting("NoSuchFeature", 0x10004014, false, value));
}

void TestZelCorrectionMapAccess::failedRegisterReadLeavesTheValue()
{
    ZelCorrectionMapAccess& a = open("CL-C2-0402", "orv_cl_tl.cti", true);
    QVERIFY(camera);
    QCOMPARE(session.run("register.fail CL-C2-0402 0x10004014 read -1013"), 0);
    QVariant untouched;
    QVERIFY(!a.readSetting("DefectPixelCorrection_MapSelect", 0x10004014, true, untouched));
    QVERIFY(!untouched.isValid());
    quint32 word = 0xABCD;
    QVERIFY(!a.readWord(0x12345678, word));
    QCOMPARE(word, 0xABCDu);
}

void TestZelCorrectionMapAccess::blocksMoveWordByWord()
{
    ZelCorrectionMapAccess& a = open("GEV-G1-0001", "orv_gev_tl.cti", true);
    QVERIFY(camera);
    QVERIFY(a.setFeature("DefectPixelCorrection_MapSelect", 1));
    const quint32 words[] = {0x3001C005, 0x00070005};
    QVERIFY(a.writeWords(0x10025000, words, 2));
    QCOMPARE(peek(0x10025000, 8), QStringLiteral("30 01 C0 05 00 07 00 05"));
    QVector<quint32> back;
    QVERIFY(a.readWords(0x10025000, 3, back));
    QCOMPARE(back, (QVector<quint32>{0x3001C005, 0x00070005, 0xFFFFFFFF}));

    // No words: nothing reaches the camera.
    const QString calls = session.callsDuring([&] { QVERIFY(a.writeWords(0x10025000, words, 0)); });
    QVERIFY2(!calls.contains("OrvDeviceWrite"), qPrintable(calls));
    // A block past the end of the map memory fails and leaves the words.
    QVERIFY(!a.readWords(0x10025000, 5000, back));
    QCOMPARE(back.size(), 3);
}

void TestZelCorrectionMapAccess::parameterLock_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("locked");
    QTest::newRow("0") << QStringList{} << false;
    QTest::newRow("1") << QStringList{"feature.set remote:GEV-G1-0001 TLParamsLocked 1"} << true;
    QTest::newRow("2") << QStringList{"feature.range remote:GEV-G1-0001 TLParamsLocked 0 5",
                                      "feature.set remote:GEV-G1-0001 TLParamsLocked 2"}
                       << false;
    QTest::newRow("missing") << QStringList{"feature.absent remote:GEV-G1-0001 TLParamsLocked"} << false;
    QTest::newRow("unreadable") << QStringList{"feature.set remote:GEV-G1-0001 TLParamsLocked 1",
                                               "feature.fail remote:GEV-G1-0001 TLParamsLocked get -1013 always"}
                                << false;
}

void TestZelCorrectionMapAccess::parameterLock()
{
    QFETCH(QStringList, commands);
    QFETCH(bool, locked);
    ZelCorrectionMapAccess& a = open("GEV-G1-0001", "orv_gev_tl.cti", true);
    QVERIFY(camera);
    for (const QString& command : commands) {
        QString reply;
        QVERIFY2(session.run(command, &reply) == 0, qPrintable(reply));
    }
    QCOMPARE(a.isParamLocked(), locked);
    ZelDialogs::Script script;
    QCOMPARE(a.mayUpload(nullptr), !locked);
    QCOMPARE(script.count(), locked ? 1 : 0);
}

void TestZelCorrectionMapAccess::uploadRefusalWhileStreaming()
{
    ZelCorrectionMapAccess& a = open("GEV-G1-0001", "orv_gev_tl.cti", true);
    QVERIFY(camera);
    QCOMPARE(session.run("feature.set remote:GEV-G1-0001 TLParamsLocked 1"), 0);
    QWidget parent;
    ZelDialogs::Script script;
    QVERIFY(!a.mayUpload(&parent));
    QCOMPARE(script.count(), 1);
    const ZelDialogs::Request r = script.last();
    QCOMPARE(r.icon, QMessageBox::Critical);
    QVERIFY(r.hasParent);
    QCOMPARE(r.title, QStringLiteral("Upload Map"));
    QCOMPARE(r.text, QStringLiteral("stop streaming before uploading map to camera"));
    QCOMPARE(r.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestZelCorrectionMapAccess::folderIsStoredOnlyWhenItDiffers()
{
    QTemporaryDir files;
    QVERIFY(QDir(files.path()).mkpath("maps"));
    QVERIFY(QDir(files.path()).mkpath("Maps"));
    const QString maps = files.path() + "/maps";
    ZelAppSettings::instance()->setValue("Directory", "SHCSettingsFileDir", maps);
    ZelCorrectionMapAccess a(nullptr, nullptr, true, QStringLiteral("SHCSettingsFileDir"));
    QCOMPARE(a.folder(), maps);

    // Same folder: nothing stored (the stored value may change behind it).
    ZelAppSettings::instance()->setValue("Directory", "SHCSettingsFileDir", "elsewhere");
    a.rememberFolder(maps + "/one.txt");
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "SHCSettingsFileDir").toString(),
             QStringLiteral("elsewhere"));
    QCOMPARE(a.storedFolder(), QStringLiteral("elsewhere"));

    // A folder that differs only in letter case is another folder.
    a.rememberFolder(files.path() + "/Maps/two.txt");
    QCOMPARE(a.folder(), files.path() + "/Maps");
    QCOMPARE(ZelAppSettings::instance()->value("Directory", "SHCSettingsFileDir").toString(), files.path() + "/Maps");

    // A cancelled dialog keeps the folder.
    a.rememberFolder(QString());
    QCOMPARE(a.folder(), files.path() + "/Maps");
}

void TestZelCorrectionMapAccess::countsAreClamped_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<quint32>("bound");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("inside") << qint64(3) << 4096u << 3u;
    QTest::newRow("negative") << qint64(-1) << 4096u << 0u;
    QTest::newRow("all ones") << qint64(0xFFFFFFFFll) << 4096u << 4096u;
    QTest::newRow("huge capacity") << qint64(1) << 0u << 0u;
    QTest::newRow("to the map memory") << qint64(5000000) << ZelCorrectionMapAccess::maxMapWords << 224256u;
}

void TestZelCorrectionMapAccess::countsAreClamped()
{
    QFETCH(qint64, value);
    QFETCH(quint32, bound);
    QFETCH(quint32, expected);
    QCOMPARE(ZelCorrectionMapAccess::clampCount(value, bound), expected);
}

QTEST_MAIN(TestZelCorrectionMapAccess)
#include "tst_ZelCorrectionMapAccess.moc"
