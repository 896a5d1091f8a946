// Finding, loading and binding the GigE producer.
#include "GenTLProducerTable.h"
#include "ProducerRig.h"
#include "ZelGenTLControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString variantFolder(const char* name)
{
    return QStringLiteral(SUITE_BIN_DIR "/variants/") + QLatin1String(name);
}

} // namespace

class TestGenTLProducerTable : public QObject
{
    Q_OBJECT
private slots:
    void bindsEveryNameInTableOrder();
    void missingExportForwardsNotImplemented();
    void fileThatDoesNotLoadRaisesMinusOne();
    void producerFolder_data();
    void producerFolder();
    void findsProducerFiles_data();
    void findsProducerFiles();
    void openWithVariants_data();
    void openWithVariants();
    void withoutSetIpConfigOnlyConfigureFails();
};

void TestGenTLProducerTable::bindsEveryNameInTableOrder()
{
    QCOMPARE(int(GenTLProducerTable::FunctionCount), 59);
    QCOMPARE(QByteArray(GenTLProducerTable::kNames[GenTLProducerTable::FnGCGetInfo]), QByteArray("GCGetInfo"));
    QCOMPARE(QByteArray(GenTLProducerTable::kNames[GenTLProducerTable::FnTLOpen]), QByteArray("TLOpen"));
    QCOMPARE(QByteArray(GenTLProducerTable::kNames[GenTLProducerTable::FnIFGetDeviceInfo]), QByteArray("IFGetDeviceInfo"));
    QCOMPARE(QByteArray(GenTLProducerTable::kNames[GenTLProducerTable::FnDSGetBufferPartInfo]), QByteArray("DSGetBufferPartInfo"));
    QCOMPARE(QByteArray(GenTLProducerTable::kNames[GenTLProducerTable::FnOrvSetIPConfig]), QByteArray("OrvSetIPConfig"));
    GenTLProducerTable table(QStringLiteral(SUITE_CTI_DIR "/orv_gev_tl.cti"));
    QVERIFY(table.isLoaded());
    for (int i = 0; i < GenTLProducerTable::FunctionCount; ++i)
        QVERIFY2(table.has(GenTLProducerTable::Function(i)), GenTLProducerTable::kNames[i]);
    QVERIFY(!table.missingRequired());
    table.release();
    QVERIFY(!table.isLoaded());
    QVERIFY(!table.has(GenTLProducerTable::FnGCInitLib));
    QCOMPARE(table.GCInitLib(), GenTL::GC_ERR_NOT_IMPLEMENTED);
}

void TestGenTLProducerTable::missingExportForwardsNotImplemented()
{
    GenTLProducerTable noSet(variantFolder("gentl-no-orvsetipconfig") + "/orv_gev_tl.cti");
    QVERIFY(!noSet.has(GenTLProducerTable::FnOrvSetIPConfig));
    QVERIFY(noSet.has(GenTLProducerTable::FnOrvForceIPConfig));
    QVERIFY(!noSet.missingRequired());
    QCOMPARE(noSet.OrvSetIPConfig(nullptr, 0, 1, 1, 2, 3), GenTL::GC_ERR_NOT_IMPLEMENTED);

    GenTLProducerTable noInit(variantFolder("gentl-no-gcinitlib") + "/orv_gev_tl.cti");
    QVERIFY(!noInit.has(GenTLProducerTable::FnGCInitLib));
    QCOMPARE(QByteArray(noInit.missingRequired()), QByteArray("GCInitLib"));
    QCOMPARE(noInit.GCInitLib(), GenTL::GC_ERR_NOT_IMPLEMENTED);
}

void TestGenTLProducerTable::fileThatDoesNotLoadRaisesMinusOne()
{
    QTemporaryDir dir;
    QFile text(dir.filePath("orv_gev_tl.cti"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a shared library\n");
    text.close();
    for (const QString& path : {text.fileName(), dir.filePath("absent.cti")}) {
        int raised = 0;
        try {
            GenTLProducerTable table(path);
        } catch (int code) {
            raised = code;
        }
        QCOMPARE(raised, -1);
    }
}

void TestGenTLProducerTable::producerFolder_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString beside = QCoreApplication::applicationDirPath() + "/cti";
    QTest::newRow("variable set") << true << "/opt/gige" << "/opt/gige";
    QTest::newRow("variable unset") << false << QString() << beside;
    QTest::newRow("variable empty") << true << QString() << beside;
}

void TestGenTLProducerTable::producerFolder()
{
    QFETCH(bool, set);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    if (set)
        qputenv("NORRIK_TLGIGE_BIN_32", value.toUtf8());
    else
        qunsetenv("NORRIK_TLGIGE_BIN_32");
    QCOMPARE(ZelGenTLControl::producerFolder(), expected);
}

void TestGenTLProducerTable::findsProducerFiles_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << QStringList{"orv_gev_tl.cti", "orv_gev_brox_tl.cti"} << "orv_gev_tl.cti";
    QTest::newRow("only the first") << QStringList{"orv_gev_tl.cti"} << "orv_gev_tl.cti";
    QTest::newRow("only the second") << QStringList{"orv_gev_brox_tl.cti"} << "orv_gev_brox_tl.cti";
    QTest::newRow("none") << QStringList{"orv_u3v_tl.cti"} << QString();
}

void TestGenTLProducerTable::findsProducerFiles()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString& name : present)
        QVERIFY(QFile::link(QStringLiteral(SUITE_CTI_DIR "/") + name, dir.filePath(name)));
    QCOMPARE(ZelGenTLControl::findProducer(dir.path()), expected.isEmpty() ? QString() : dir.filePath(expected));

    // Opened through the variable, the tool lists the cameras of the file it found.
    ProducerRig rig;
    QVERIFY(rig.ok());
    qputenv("NORRIK_TLGIGE_BIN_32", dir.path().toUtf8());
    ZelGenTLControl control;
    QCOMPARE(control.Open(), !expected.isEmpty());
    const QStringList ids = listedIds(control);
    if (expected == "orv_gev_tl.cti")
        QCOMPARE(ids.size(), 7);
    else if (expected == "orv_gev_brox_tl.cti")
        QCOMPARE(ids, QStringList{"GEV-B1-0201"});
    else
        QVERIFY(ids.isEmpty());
    control.Close();
}

void TestGenTLProducerTable::openWithVariants_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no GCInitLib") << variantFolder("gentl-no-gcinitlib") << false;
    QTest::newRow("no OrvSetIPConfig") << variantFolder("gentl-no-orvsetipconfig") << true;
    QTest::newRow("not a library") << QString() << false;
}

void TestGenTLProducerTable::openWithVariants()
{
    QFETCH(QString, folder);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    if (folder.isEmpty()) {
        QFile text(dir.filePath("orv_gev_tl.cti"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("#!/bin/sh\n");
        folder = dir.path();
    }
    qputenv("NORRIK_TLGIGE_BIN_32", folder.toUtf8());
    ZelGenTLControl control;
    QCOMPARE(control.Open(), opens);
    QCOMPARE(control.isOpen(), opens);
    QCOMPARE(listedIds(control).size(), opens ? 7 : 0);
    control.Close();
    control.Close();
}

void TestGenTLProducerTable::withoutSetIpConfigOnlyConfigureFails()
{
    qputenv("NORRIK_TLGIGE_BIN_32", variantFolder("gentl-no-orvsetipconfig").toUtf8());
    ZelGenTLControl control;
    QVERIFY(control.Open());
    QCOMPARE(listedIds(control).size(), 7);
    OrvDeviceInfo g1 = recordOf(control, "GEV-G1-0001");
    QVERIFY(control.OpenDevice(g1));
    QVERIFY(!control.SetIPConfig(g1, false, true, 0xC0A80150u, 0xFFFFFF00u, 0));
    control.CloseDevice(g1);
    QVERIFY(control.ForceIP(g1, 0xC0A80151u, 0xFFFFFF00u, 0));
}

QTEST_MAIN(TestGenTLProducerTable)
#include "tst_GenTLProducerTable.moc"
