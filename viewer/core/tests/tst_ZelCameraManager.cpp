#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraInfo.h"
#include "ZelCameraManager.h"
#include "ZelHandleList.h"

#include <QMap>
#include <QObject>
#include <QtTest>

#include <memory>
#include <thread>

using zeltest::SimWorldSdk;

namespace {

// Every camera a manager lists, through one-shot listings, by device ID.
QMap<QString, ZelCameraInfo> listCameras(ZelCameraManager& manager, int deviceTimeoutMs = 300)
{
    ZelInterfaceInfoList interfaces;
    manager.DiscoverInterfaces(&interfaces, 1000);
    ZelCameraInfoList cameras;
    for (ORV_INTERFACE_INFO& info : interfaces)
        manager.DiscoverCameras(&info, &cameras, deviceTimeoutMs);
    QMap<QString, ZelCameraInfo> byId;
    for (const ZelCameraInfo& info : cameras)
        byId.insert(ZelUtil::RecordText(info.deviceInfo.id), info);
    return byId;
}

QString statusOf(ZelCameraManager& manager, const QString& deviceId)
{
    const QMap<QString, ZelCameraInfo> cameras = listCameras(manager);
    return cameras.contains(deviceId) ? ZelCameraInfo::accessStatusText(cameras[deviceId].deviceInfo.accessStatus)
                                      : QStringLiteral("<absent>");
}

int countLines(const std::string& text, const QString& pattern)
{
    return QString::fromStdString(text).count(pattern);
}

} // namespace

class TestZelCameraManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(zeltest::startWorld(sdk)); }
    void cleanup() { sdk.reset(); }

    void recordLayout();
    void handleList();
    void accessStatusTexts_data();
    void accessStatusTexts();
    void listsEveryTransportLayer_data();
    void listsEveryTransportLayer();
    void failedListingStepsAreTracedAndSkipped_data();
    void failedListingStepsAreTracedAndSkipped();
    void openAndCloseByKey();
    void readOnlyAndRefusedCameras();
    void halfFailedOpenLeavesNothingOpen();
    void interfacesOpenOnceUnderConcurrentListings();
    void destructionClosesCamerasBeforeSystem();
    void failedSystemIsNeverScannedOrClosed();
    void listingOfUnopenedInterface();

private:
    std::unique_ptr<SimWorldSdk> sdk;
};

void TestZelCameraManager::recordLayout()
{
    QCOMPARE(int(sizeof(ZelCameraInfo)), 12840);
    ZelCameraInfo info = {};
    qstrncpy(info.interfaceInfo.id, "gev-if-0", sizeof info.interfaceInfo.id);
    qstrncpy(info.deviceInfo.id, "GEV-G1-0001", sizeof info.deviceInfo.id);
    QCOMPARE(info.cameraKey(), QStringLiteral("gev-if-0/GEV-G1-0001"));

    // A full-length ID without terminator is read within its field.
    memset(info.deviceInfo.id, 'x', sizeof info.deviceInfo.id);
    QCOMPARE(info.cameraKey().size(), int(strlen("gev-if-0/")) + 512);

    // The record and its lists cross queued signals under their names.
    for (const char* name : {"ZelCameraInfo", "ZelCameraInfoList", "ZelInterfaceInfoList", "ZelCameraPtr"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    QCOMPARE(QMetaType::sizeOf(QMetaType::type("ZelCameraInfo")), 12840);
    QVERIFY(QMetaType::type("ZelCameraInfo") < QMetaType::type("ZelCameraInfoList"));
    QVERIFY(QMetaType::type("ZelCameraInfoList") < QMetaType::type("ZelInterfaceInfoList"));
}

void TestZelCameraManager::handleList()
{
    ZelHandleList list;
    QObject owner;
    QVERIFY(!list.add("a", 0, nullptr)); // a null handle is refused
    QVERIFY(list.add("a", 7, nullptr));
    QVERIFY(list.add("A", 8, &owner));
    QVERIFY(list.add("a", 9, nullptr)); // duplicates are kept
    QCOMPARE(list.count(), 3);

    ZelHandleEntry* borrowed = list.find("A", false);
    QVERIFY(borrowed);
    QCOMPARE(borrowed->handle, 8u);
    QCOMPARE(borrowed->object, &owner);
    QCOMPARE(list.count(), 3);

    std::unique_ptr<ZelHandleEntry> taken(list.find("a", true));
    QVERIFY(taken);
    QCOMPARE(taken->handle, 7u); // the first in list order
    uint32_t handle = 0;
    QVERIFY(list.lookup("a", &handle));
    QCOMPARE(handle, 9u);
    QVERIFY(!list.lookup("b"));
    QVERIFY(!list.find("b", true));

    list.clear();
    QCOMPARE(list.count(), 0);
    QVERIFY(!list.find("A", false));
}

void TestZelCameraManager::accessStatusTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("ready") << 1 << "Ready";
    QTest::newRow("read-only") << 2 << "Read-Only";
    QTest::newRow("not accessible") << 3 << "Not Accessible";
    QTest::newRow("opened here") << 0x1000 << "Already Opened!";
    QTest::newRow("four") << 4 << "Unknown";
    QTest::newRow("zero") << 0 << "Unknown";
    QTest::newRow("negative") << -1 << "Unknown";
}

void TestZelCameraManager::accessStatusTexts()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QCOMPARE(ZelCameraInfo::accessStatusText(status), text);
}

void TestZelCameraManager::listsEveryTransportLayer_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("tlType");
    QTest::addColumn<QStringList>("cameras"); // "device ID=status text"
    QTest::newRow("GigE") << "orv_gev_tl.cti" << "GEV"
                          << QStringList{"GEV-G1-0001=Ready",          "GEV-G2-0002=Ready",
                                         "GEV-G3-0003=Read-Only",      "GEV-G4-0004=Not Accessible",
                                         "GEV-G5-0005=Not Accessible", "GEV-G6-0006=Unknown",
                                         "GEV-G7-0007=Ready"};
    QTest::newRow("GigE RDMA") << "orv_gev_tl_rdma.cti" << "GEV" << QStringList{"GEV-R1-0101=Ready"};
    QTest::newRow("GigE Brox") << "orv_gev_brox_tl.cti" << "GEV" << QStringList{"GEV-B1-0201=Ready"};
    QTest::newRow("USB3") << "orv_u3v_tl.cti" << "U3V"
                          << QStringList{"U3V-U1-0301=Ready", "U3V-U2-0302=Ready", "U3V-U3-0303=Ready"};
    // Camera Link ports are probed with 300 ms: the slow C3 stays unseen.
    QTest::newRow("Camera Link") << "orv_cl_tl.cti" << "CL" << QStringList{"CL-C1-0401=Ready", "CL-C2-0402=Ready"};
    QTest::newRow("Camera Link HS") << "orv_clhs_tl.cti" << "CLHS" << QStringList{"CLHS-H1-0501=Ready"};
    QTest::newRow("CoaXPress") << "coaxlink.cti" << "CXP" << QStringList{"CXP-X1-0601=Ready"};
    QTest::newRow("other vendor") << "other_vendor_tl.cti" << "PCIx" << QStringList{"PCI-P1-0701=Ready"};
}

void TestZelCameraManager::listsEveryTransportLayer()
{
    QFETCH(QString, file);
    QFETCH(QString, tlType);
    QFETCH(QStringList, cameras);

    const int index = SimWorldSdk::systemIndex(file);
    QVERIFY(index >= 0);
    ZelCameraManager manager(index);
    QVERIFY(manager.IsSystemOpen());
    QCOMPARE(manager.TLType(), tlType);
    QCOMPARE(ZelUtil::RecordText(manager.tlInfo.name), file);

    QStringList found;
    const QMap<QString, ZelCameraInfo> listed = listCameras(manager);
    for (const ZelCameraInfo& info : listed) {
        found << ZelUtil::RecordText(info.deviceInfo.id) + "=" + ZelCameraInfo::accessStatusText(info.deviceInfo.accessStatus);
        QCOMPARE(info.hSystem, manager.hSystem);
        QCOMPARE(memcmp(&info.tlInfo, &manager.tlInfo, sizeof info.tlInfo), 0);
        QCOMPARE(info.reserved, 0);
        QVERIFY(!ZelUtil::RecordText(info.deviceInfo.model).isEmpty());
    }
    QCOMPARE(found, cameras);
}

void TestZelCameraManager::failedListingStepsAreTracedAndSkipped_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<int>("cameras"); // of the seven behind two interfaces
    const QString interfaces = "ZelUtilGenTL::DiscoverInterfaces Failed! ";
    const QString devices = "ZelUtilGenTL::DiscoverDevices Failed! ";
    QTest::newRow("interface list") << "OrvSystemUpdateInterfaceList" << interfaces + "OrvSystemUpdateInterfaceList:-1013" << 0;
    QTest::newRow("interface count") << "OrvSystemGetNumInterfaces" << interfaces + "OrvSystemGetNumInterfaces:-1013" << 0;
    QTest::newRow("interface ID") << "OrvSystemGetInterfaceId" << interfaces + "OrvSystemGetInterfaceId:-1013" << 3;
    QTest::newRow("interface record") << "OrvSystemInterfaceGetInfo" << interfaces + "OrvSystemInterfaceGetInfo[gev-if-0]:-1013" << 3;
    QTest::newRow("interface open") << "OrvSystemInterfaceOpen" << "ZelCameraManager::DiscoverInterfaces Failed! OrvSystemInterfaceOpen:-1013" << 3;
    QTest::newRow("device list") << "OrvInterfaceUpdateDeviceList" << devices + "OrvInterfaceUpdateDeviceList:-1013" << 3;
    QTest::newRow("device count") << "OrvInterfaceGetNumDevices" << devices + "OrvInterfaceGetNumDevices:-1013" << 3;
    QTest::newRow("device ID") << "OrvInterfaceGetDeviceId" << devices + "OrvInterfaceGetDeviceId[0]:-1013" << 6;
    QTest::newRow("device record") << "OrvInterfaceDeviceGetInfo" << devices + "OrvInterfaceDeviceGetInfo:-1013" << 6;
}

void TestZelCameraManager::failedListingStepsAreTracedAndSkipped()
{
    QFETCH(QString, function);
    QFETCH(QString, trace);
    QFETCH(int, cameras);
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    QCOMPARE(sdk->control.run(("call.fail " + function + " -1013").toStdString()), 0);
    sdk->control.run("log.trace on");
    QCOMPARE(listCameras(manager).size(), cameras);
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QVERIFY2(QString::fromStdString(traces).contains(trace), traces.c_str());
    // The next listing tries again and finds everything.
    QCOMPARE(listCameras(manager).size(), 7);
}

void TestZelCameraManager::openAndCloseByKey()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    const ZelCameraInfo g1 = listCameras(manager).value("GEV-G1-0001");
    QCOMPARE(g1.cameraKey(), QStringLiteral("gev-if-0/GEV-G1-0001"));

    ZelCamera* camera = manager.OpenCamera(g1, ORV_ACCESS_MODE_CONTROL);
    QVERIFY(camera);
    QCOMPARE(camera->deviceId, QStringLiteral("GEV-G1-0001"));
    QCOMPARE(camera->interfaceId, QStringLiteral("gev-if-0"));
    QVERIFY(camera->deviceHandle != 0);
    QVERIFY(camera->remoteDeviceHandle != 0);
    QCOMPARE(camera->property("ID").toString(), QStringLiteral("GEV-G1-0001"));
    QCOMPARE(quintptr(camera->property("HANDLE").value<void*>()), quintptr(camera->deviceHandle));
    QCOMPARE(manager.FindCamera(g1.cameraKey()), camera);
    QCOMPARE(ZelUtil::RecordText(camera->GetDeviceInfo().id), QStringLiteral("GEV-G1-0001"));

    // Every later listing shows it as opened here; the key is not opened twice.
    QCOMPARE(statusOf(manager, "GEV-G1-0001"), QStringLiteral("Already Opened!"));
    QCOMPARE(statusOf(manager, "GEV-G2-0002"), QStringLiteral("Ready"));
    sdk->control.run("log.calls on");
    QVERIFY(!manager.OpenCamera(g1, ORV_ACCESS_MODE_CONTROL));
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    QCOMPARE(countLines(calls, "OrvInterfaceDeviceOpen("), 0);

    // Keys are case-sensitive: closing another spelling closes nothing.
    sdk->control.run("log.trace on");
    manager.CloseCamera("gev-if-0/gev-g1-0001");
    QCOMPARE(manager.FindCamera(g1.cameraKey()), camera);

    manager.CloseCamera(g1.cameraKey());
    QVERIFY(!manager.FindCamera(g1.cameraKey()));
    sdk->control.run("log.calls.get", &calls);
    QCOMPARE(countLines(calls, "OrvDeviceClose("), 1);
    QCOMPARE(statusOf(manager, "GEV-G1-0001"), QStringLiteral("Ready"));

    // A second close only traces.
    manager.CloseCamera(g1.cameraKey());
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QCOMPARE(countLines(traces, "ZelCameraManager::CloseCamera Failed! Device not opened!"), 2);
    sdk->control.run("log.trace off");

    // Closed, it opens again.
    QVERIFY(manager.OpenCamera(g1, ORV_ACCESS_MODE_CONTROL));
}

void TestZelCameraManager::readOnlyAndRefusedCameras()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    const QMap<QString, ZelCameraInfo> cameras = listCameras(manager);

    // A read-only camera opens only with read-only access.
    QVERIFY(!manager.OpenCamera(cameras["GEV-G3-0003"], ORV_ACCESS_MODE_CONTROL));
    QVERIFY(manager.OpenCamera(cameras["GEV-G3-0003"], ORV_ACCESS_MODE_READ_ONLY));
    QCOMPARE(statusOf(manager, "GEV-G3-0003"), QStringLiteral("Already Opened!"));

    for (const char* id : {"GEV-G4-0004", "GEV-G5-0005", "GEV-G6-0006"}) {
        QVERIFY2(!manager.OpenCamera(cameras[id], ORV_ACCESS_MODE_CONTROL), id);
        QVERIFY2(!manager.FindCamera(cameras[id].cameraKey()), id);
    }
}

void TestZelCameraManager::halfFailedOpenLeavesNothingOpen()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    const ZelCameraInfo g2 = listCameras(manager).value("GEV-G2-0002");

    // Success without handles counts as a failure and stores nothing.
    QCOMPARE(sdk->control.run("call.nullhandle OrvInterfaceDeviceOpen"), 0);
    QVERIFY(!manager.OpenCamera(g2, ORV_ACCESS_MODE_CONTROL));
    QVERIFY(!manager.FindCamera(g2.cameraKey()));
    QCOMPARE(statusOf(manager, "GEV-G2-0002"), QStringLiteral("Ready"));

    QCOMPARE(sdk->control.run("call.fail OrvInterfaceDeviceOpen -1013"), 0);
    QVERIFY(!manager.OpenCamera(g2, ORV_ACCESS_MODE_CONTROL));
    QVERIFY(manager.OpenCamera(g2, ORV_ACCESS_MODE_CONTROL));
}

void TestZelCameraManager::interfacesOpenOnceUnderConcurrentListings()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    // Slow interface opens widen the window in which two listings overlap.
    QCOMPARE(sdk->control.run("call.delay OrvSystemInterfaceOpen 30"), 0);
    sdk->control.run("log.calls on");
    std::thread other([&manager] {
        ZelInterfaceInfoList interfaces;
        manager.DiscoverInterfaces(&interfaces, 1000);
    });
    ZelInterfaceInfoList interfaces;
    manager.DiscoverInterfaces(&interfaces, 1000);
    other.join();
    QCOMPARE(interfaces.size(), 2);

    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    QCOMPARE(countLines(calls, "OrvSystemInterfaceOpen("), 2);

    // A later listing finds both open and opens nothing.
    sdk->control.run("log.calls.clear");
    listCameras(manager);
    sdk->control.run("log.calls.get", &calls);
    QCOMPARE(countLines(calls, "OrvSystemInterfaceOpen("), 0);
}

void TestZelCameraManager::destructionClosesCamerasBeforeSystem()
{
    auto manager = std::make_unique<ZelCameraManager>(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    const QMap<QString, ZelCameraInfo> cameras = listCameras(*manager);
    QVERIFY(manager->OpenCamera(cameras["GEV-G1-0001"], ORV_ACCESS_MODE_CONTROL));
    QVERIFY(manager->OpenCamera(cameras["GEV-G7-0007"], ORV_ACCESS_MODE_CONTROL));
    manager->StartDiscovery(3000);

    sdk->control.run("log.calls on");
    manager.reset();
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    const QString log = QString::fromStdString(calls);
    QCOMPARE(log.count("OrvDeviceClose("), 2);
    QCOMPARE(log.count("OrvSystemClose("), 1);
    QVERIFY(log.lastIndexOf("OrvDeviceClose(") < log.indexOf("OrvSystemClose("));
    QVERIFY(!log.contains(") = -"));
}

void TestZelCameraManager::failedSystemIsNeverScannedOrClosed()
{
    const int index = SimWorldSdk::systemIndex("orv_u3v_tl.cti");
    QCOMPARE(sdk->control.run("call.fail OrvLibSystemOpen -1013"), 0);
    sdk->control.run("log.calls on");
    {
        ZelCameraManager manager(index);
        QVERIFY(!manager.IsSystemOpen());
        QCOMPARE(manager.hSystem, 0u);
        QVERIFY(manager.TLType().isEmpty());
        QVERIFY(listCameras(manager).isEmpty());
        manager.StartDiscovery(3000);
        QVERIFY(!manager.IsDiscovering());
    }
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    const QString log = QString::fromStdString(calls);
    QCOMPARE(log.count("OrvLibSystemOpen("), 1);
    QCOMPARE(log.count("OrvSystem"), 0); // no listing, no info, no close
}

void TestZelCameraManager::listingOfUnopenedInterface()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    ORV_INTERFACE_INFO unknown = {};
    qstrncpy(unknown.id, "gev-if-0", sizeof unknown.id);
    ZelCameraInfoList cameras;
    ZelCameraInfo earlier = {};
    cameras << earlier;
    manager.DiscoverCameras(&unknown, &cameras, 300); // never listed: not open
    QCOMPARE(cameras.size(), 1);

    ZelCameraInfo record = {};
    record.interfaceInfo = unknown;
    qstrncpy(record.deviceInfo.id, "GEV-G1-0001", sizeof record.deviceInfo.id);
    QVERIFY(!manager.OpenCamera(record, ORV_ACCESS_MODE_CONTROL));

    // Once listed, the earlier records stay in front of the new ones.
    ZelInterfaceInfoList interfaces;
    manager.DiscoverInterfaces(&interfaces, 1000);
    manager.DiscoverCameras(&unknown, &cameras, 300);
    QCOMPARE(cameras.size(), 1 + 4);
    QCOMPARE(ZelUtil::RecordText(cameras.at(0).deviceInfo.id), QString());
}

QTEST_GUILESS_MAIN(TestZelCameraManager)
#include "tst_ZelCameraManager.moc"
