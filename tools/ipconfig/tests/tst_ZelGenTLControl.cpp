// Listing cameras and changing their IP configuration through the simulated
// producer, and through a scripted one for answers it never gives.
#include "ProducerRig.h"
#include "ZelGenTLControl.h"

#include <QtTest>

namespace {

const QStringList kAll = {"GEV-G1-0001", "GEV-G2-0002", "GEV-G3-0003", "GEV-G4-0004",
                          "GEV-G5-0005", "GEV-G6-0006", "GEV-G7-0007"};

} // namespace

class TestZelGenTLControl : public QObject
{
    Q_OBJECT
private slots:
    void listsEveryCameraWithItsValues();
    void listingRules_data();
    void listingRules();
    void openFailures_data();
    void openFailures();
    void textsAreAlwaysTerminated();
    void automaticForceIpThenUpdate();
    void updateFailsWhenNothingCanBeRead();
    void openDeviceReadsPersistentValues();
    void interfacesCloseBeforeTheTransportLayer();
};

void TestZelGenTLControl::listsEveryCameraWithItsValues()
{
    ProducerRig rig;
    ZelGenTLControl control;
    QVERIFY(rig.ok() && control.Open());
    QCOMPARE(listedIds(control), kAll);

    const OrvDeviceInfo g1Record = recordOf(control, "GEV-G1-0001");
    const OrvDeviceInfo* g1 = &g1Record;
    QCOMPARE(QByteArray(g1->iface.interfaceId), QByteArray("gev-if-0"));
    QCOMPARE(QByteArray(g1->iface.interfaceId2), QByteArray("gev-if-0"));
    QCOMPARE(QByteArray(g1->iface.tlType), QByteArray("GEV"));
    QCOMPARE(QByteArray(g1->iface.adapterIp), QByteArray("192.168.1.10"));
    QCOMPARE(QByteArray(g1->iface.adapterMask), QByteArray("255.255.255.0"));
    QVERIFY(g1->iface.interfaceHandle);
    QCOMPARE(QByteArray(g1->device.id), QByteArray("GEV-G1-0001"));
    QCOMPARE(QByteArray(g1->device.model), QByteArray("SIM-G1280M"));
    QCOMPARE(QByteArray(g1->device.vendor), QByteArray("NORRIK-Ombrel"));
    QCOMPARE(QByteArray(g1->device.serialNumber), QByteArray("0001"));
    QCOMPARE(QByteArray(g1->device.tlType), QByteArray("GEV"));
    QCOMPARE(g1->device.accessStatus, 1u);
    QCOMPARE(g1->device.currentIp, 0xC0A80165u);
    QCOMPARE(g1->device.currentMask, 0xFFFFFF00u);
    QCOMPARE(g1->device.ipFlags & OrvIpFlagLla, uint32_t(OrvIpFlagLla));
    QCOMPARE(g1->device.mac >> 24, 0x00111Cu);
    QVERIFY(!g1->device.deviceHandle);
    QCOMPARE(g1->device.persistentIp, 0u); // persistent values only from an open device

    const OrvDeviceInfo g5Record = recordOf(control, "GEV-G5-0005");
    const OrvDeviceInfo* g5 = &g5Record;
    QCOMPARE(QByteArray(g5->iface.adapterIp), QByteArray("10.0.0.10"));
    QCOMPARE(g5->device.accessStatus, 3u);
    QCOMPARE(g5->device.currentIp, 0xA9FE0C22u); // 169.254.12.34
}

void TestZelGenTLControl::listingRules_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one camera on two interfaces is listed once")
        << QStringList{"world.scenario duplicate-camera"} << kAll;
    QTest::newRow("same serial, other MAC is listed twice")
        << QStringList{"world.scenario duplicate-serial"} << (kAll + QStringList{"GEV-G1-0099"});
    QTest::newRow("first interface fails its update")
        << QStringList{"call.fail IFUpdateDeviceList -1010"} << QStringList(kAll.mid(4));
    QTest::newRow("second interface fails its update")
        << QStringList{"call.fail IFUpdateDeviceList -1010 after=1"} << QStringList(kAll.mid(0, 4));
    QTest::newRow("first interface fails its count")
        << QStringList{"call.fail IFGetNumDevices -1010"} << QStringList(kAll.mid(4));
    QTest::newRow("a device ID fails") << QStringList{"call.fail IFGetDeviceID -1010 after=1"}
                                       << (QStringList{"GEV-G1-0001"} + kAll.mid(2));
    QTest::newRow("interface list fails: opens, lists nothing")
        << QStringList{"call.fail TLUpdateInterfaceList -1010"} << QStringList();
    QTest::newRow("one interface does not open")
        << QStringList{"call.fail TLOpenInterface -1010"} << QStringList(kAll.mid(4));
}

void TestZelGenTLControl::listingRules()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, expected);
    ProducerRig rig;
    QVERIFY(rig.ok());
    for (const QString& command : commands)
        QVERIFY2(rig.control(command), qPrintable(command));
    ZelGenTLControl control;
    QVERIFY(control.Open());
    QCOMPARE(listedIds(control), expected);
}

void TestZelGenTLControl::openFailures_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("GCInitLib") << "call.fail GCInitLib -1001";
    QTest::newRow("TLOpen") << "call.fail TLOpen -1001";
}

void TestZelGenTLControl::openFailures()
{
    QFETCH(QString, command);
    ProducerRig rig;
    QVERIFY(rig.ok());
    QVERIFY(rig.control(command));
    ZelGenTLControl control;
    QVERIFY(!control.Open());
    QVERIFY(listed(control).isEmpty());
    // The producer was closed again: a new control opens it.
    ZelGenTLControl again;
    QVERIFY(again.Open());
}

void TestZelGenTLControl::textsAreAlwaysTerminated()
{
    qputenv("NORRIK_TLGIGE_BIN_32", FAKE_PRODUCER_DIR);
    ZelGenTLControl control;
    QVERIFY(control.Open());
    QList<OrvDeviceInfo> records;
    control.ListDevices(records);
    QCOMPARE(records.size(), 1);
    const OrvDeviceInfo& r = records.first();
    for (const char* text : {r.iface.interfaceId, r.iface.displayName, r.iface.adapterIp, r.iface.vendorA003,
                             r.device.deviceId, r.device.id, r.device.model, r.device.serialNumber,
                             r.device.version, r.device.userDefinedName})
        QCOMPARE(int(qstrnlen(text, OrvTextSize)), OrvTextSize - 1);
    QCOMPARE(r.device.model[0], 'X');
}

void TestZelGenTLControl::automaticForceIpThenUpdate()
{
    ProducerRig rig;
    ZelGenTLControl control;
    QVERIFY(rig.ok() && control.Open());
    OrvDeviceInfo g5 = recordOf(control, "GEV-G5-0005");
    QVERIFY(control.ForceIP(g5, 0, 0, 0));
    QVERIFY(control.UpdateDeviceInfo(g5.iface.interfaceHandle, g5.device.deviceId, g5.device));
    QCOMPARE(g5.device.currentIp, 0x0A000064u); // 10.0.0.100
    QCOMPARE(g5.device.currentMask, 0xFF000000u);
    QCOMPARE(g5.device.currentGateway, 0u);
    QCOMPARE(g5.device.accessStatus, 1u);

    QVERIFY(rig.control("call.fail OrvForceIPConfig -1001"));
    QVERIFY(!control.ForceIP(g5, 0, 0, 0));
    OrvDeviceInfo none;
    QVERIFY(!control.ForceIP(none, 0, 0, 0)); // no interface handle
}

void TestZelGenTLControl::updateFailsWhenNothingCanBeRead()
{
    ProducerRig rig;
    ZelGenTLControl control;
    QVERIFY(rig.ok() && control.Open());
    OrvDeviceInfo g1 = listed(control).first();
    OrvDevicePart before = g1.device;
    QVERIFY(!control.UpdateDeviceInfo(g1.iface.interfaceHandle, "GEV-NONE", g1.device));
    QCOMPARE(QByteArray(g1.device.model), QByteArray(before.model));
    QCOMPARE(g1.device.currentIp, before.currentIp);
    // One failing command leaves its field; the others are read.
    QVERIFY(rig.control("call.fail IFGetDeviceInfo -1010"));
    g1.device.currentIp = 0;
    qstrcpy(g1.device.displayName, "old");
    QVERIFY(control.UpdateDeviceInfo(g1.iface.interfaceHandle, g1.device.deviceId, g1.device));
    QCOMPARE(QByteArray(g1.device.displayName), QByteArray("old"));
    QCOMPARE(g1.device.currentIp, 0xC0A80165u);
}

void TestZelGenTLControl::openDeviceReadsPersistentValues()
{
    ProducerRig rig;
    ZelGenTLControl control;
    QVERIFY(rig.ok() && control.Open());
    OrvDeviceInfo g4 = recordOf(control, "GEV-G4-0004");
    QVERIFY(!control.OpenDevice(g4)); // held by another application
    QVERIFY(!g4.device.deviceHandle);

    OrvDeviceInfo g1 = recordOf(control, "GEV-G1-0001");
    QVERIFY(!control.SetIPConfig(g1, false, true, 0xC0A80150u, 0xFFFFFF00u, 0)); // not open
    QVERIFY(control.OpenDevice(g1));
    QVERIFY(control.SetIPConfig(g1, true, true, 0xC0A80150u, 0xFFFFFF00u, 0xC0A80101u));
    control.CloseDevice(g1);
    QVERIFY(!g1.device.deviceHandle);
    QVERIFY(control.OpenDevice(g1));
    QCOMPARE(g1.device.persistentIp, 0xC0A80150u);
    QCOMPARE(g1.device.persistentMask, 0xFFFFFF00u);
    QCOMPARE(g1.device.persistentGateway, 0xC0A80101u);
    QCOMPARE(g1.device.ipFlags, 7u);
    control.CloseDevice(g1);
}

void TestZelGenTLControl::interfacesCloseBeforeTheTransportLayer()
{
    ProducerRig rig;
    QVERIFY(rig.ok());
    ZelGenTLControl control;
    QVERIFY(control.Open());
    QVERIFY(rig.control("log.calls on"));
    control.Close();
    QStringList names;
    for (const QString& line : rig.calls(QString()))
        names << line.section(QLatin1Char('('), 0, 0);
    QCOMPARE(names, (QStringList{"IFClose", "IFClose", "TLClose", "GCCloseLib"}));
}

QTEST_MAIN(TestZelGenTLControl)
#include "tst_ZelGenTLControl.moc"
