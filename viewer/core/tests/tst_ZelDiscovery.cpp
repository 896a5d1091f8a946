#include "ZelSimSdk.h"

#include "ZelCameraInfo.h"
#include "ZelCameraManager.h"
#include "ZelDiscoveryController.h"
#include "ZelDiscoveryThread.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using zeltest::SimWorldSdk;

namespace {

QStringList deviceIds(const ZelCameraInfoList& list)
{
    QStringList ids;
    for (const ZelCameraInfo& info : list)
        ids << ZelUtil::RecordText(info.deviceInfo.id);
    return ids;
}

ZelCameraInfo record(ORV_SYSTEM_HANDLE system, const char* interfaceId, const char* deviceId, int status = 1)
{
    ZelCameraInfo info = {};
    info.hSystem = system;
    qstrncpy(info.interfaceInfo.id, interfaceId, sizeof info.interfaceInfo.id);
    qstrncpy(info.deviceInfo.id, deviceId, sizeof info.deviceInfo.id);
    info.deviceInfo.accessStatus = status;
    return info;
}

// The list of the last change signal, after waiting for one whose device IDs
// equal the expected ones.
bool waitForList(QSignalSpy& spy, const QStringList& expected, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        for (const QList<QVariant>& arguments : spy) {
            if (deviceIds(arguments.at(1).value<ZelCameraInfoList>()) == expected)
                return true;
        }
        spy.wait(100);
    }
    return false;
}

} // namespace

class TestZelDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(zeltest::startWorld(sdk)); }
    void cleanup() { sdk.reset(); }

    void managersByType();
    void mergeRules();
    void threadsReportAppearingAndDisappearingCameras();
    void stopEndsThePauseAtOnce();
    void stopIsCheckedBetweenInterfaces();
    void cameraLinkTypesGetNoThread();
    void cameraLinkProbe();

private:
    std::unique_ptr<SimWorldSdk> sdk;
};

void TestZelDiscovery::managersByType()
{
    ZelCameraManager gev(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    ZelCameraManager cl(SimWorldSdk::systemIndex("orv_cl_tl.cti"));
    ZelCameraManager rdma(SimWorldSdk::systemIndex("orv_gev_tl_rdma.cti"));
    ZelCameraManager clhs(SimWorldSdk::systemIndex("orv_clhs_tl.cti"));
    ZelDiscoveryController controller({&gev, nullptr, &cl, &rdma, &clhs});

    QCOMPARE(controller.managers().size(), 5);
    QCOMPARE(controller.watchedManagers(), (QList<ZelCameraManager*>{&gev, &rdma}));
    QCOMPARE(controller.GetCameraManager(0, "GEV"), &gev);
    QCOMPARE(controller.GetCameraManager(1, "GEV"), &rdma);
    QVERIFY(!controller.GetCameraManager(2, "GEV"));
    QVERIFY(!controller.GetCameraManager(0, "gev")); // exact type text
    QCOMPARE(controller.GetCameraManager(0, "CLHS"), &clhs);
}

void TestZelDiscovery::mergeRules()
{
    ZelCameraManager gev(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    ZelCameraManager rdma(SimWorldSdk::systemIndex("orv_gev_tl_rdma.cti"));
    ZelDiscoveryController controller({&gev, &rdma});
    QSignalSpy changed(&controller, &ZelDiscoveryController::discoveredCameraListChanged);
    const ORV_SYSTEM_HANDLE a = gev.hSystem;
    const ORV_SYSTEM_HANDLE b = rdma.hSystem;

    // Each row: the manager that reports, its report, whether the type list
    // changes, and the type list after it.
    struct Step {
        const char* what;
        ZelCameraManager* manager;
        ZelCameraInfoList report;
        bool changes;
        QStringList after;
    };
    const QList<Step> steps = {
        {"an empty first report equals nothing stored", &gev, {}, false, {}},
        {"new cameras", &gev, {record(a, "if0", "A"), record(a, "if0", "B")}, true, {"A", "B"}},
        {"the same cameras in another order", &gev, {record(a, "if0", "B"), record(a, "if0", "A")}, false, {"A", "B"}},
        {"a device ID changed in case only", &gev, {record(a, "if0", "a"), record(a, "if0", "B")}, false, {"A", "B"}},
        {"the other manager's cameras follow", &rdma, {record(b, "r0", "R")}, true, {"A", "B", "R"}},
        {"a changed group moves to the end", &gev, {record(a, "if0", "A")}, true, {"R", "A"}},
        {"the camera is back", &gev, {record(a, "if0", "A"), record(a, "if0", "B")}, true, {"R", "A", "B"}},
        {"one stored camera cannot answer twice", &gev, {record(a, "if0", "A"), record(a, "if0", "A")}, true, {"R", "A", "A"}},
        {"and the lost one is reported", &gev, {record(a, "if0", "A"), record(a, "if0", "B")}, true, {"R", "A", "B"}},
        {"a move to another interface", &gev, {record(a, "if1", "A"), record(a, "if0", "B")}, true, {"R", "A", "B"}},
        {"an access status change", &gev, {record(a, "if1", "A", 0x1000), record(a, "if0", "B")}, true, {"R", "A", "B"}},
        {"everything gone", &gev, {}, true, {"R"}},
    };
    for (const Step& step : steps) {
        changed.clear();
        emit step.manager->cameraDiscovered(step.report);
        QVERIFY2(changed.size() == (step.changes ? 1 : 0), step.what);
        QVERIFY2(deviceIds(controller.cameraList("GEV")) == step.after, step.what);
        if (step.changes) {
            QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("GEV"));
            QVERIFY2(deviceIds(changed.at(0).at(1).value<ZelCameraInfoList>()) == step.after, step.what);
        }
    }

    // Reports that come from no manager are ignored.
    changed.clear();
    QMetaObject::invokeMethod(&controller, "_onCameraDiscovered", Q_ARG(ZelCameraInfoList, ZelCameraInfoList()));
    QCOMPARE(changed.size(), 0);
}

void TestZelDiscovery::threadsReportAppearingAndDisappearingCameras()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_u3v_tl.cti"));
    ZelDiscoveryController controller({&manager});
    QSignalSpy changed(&controller, &ZelDiscoveryController::discoveredCameraListChanged);
    QSignalSpy rounds(&manager, &ZelCameraManager::cameraDiscovered);

    controller.restartDiscovery("U3V");
    QVERIFY(manager.IsDiscovering());
    QVERIFY(changed.size() >= 1);
    QVERIFY(changed.at(0).at(1).value<ZelCameraInfoList>().isEmpty()); // emptied first
    const QStringList all = {"U3V-U1-0301", "U3V-U2-0302", "U3V-U3-0303"};
    QVERIFY(waitForList(changed, all));

    changed.clear();
    QCOMPARE(sdk->control.run("device.unplug U3V-U2-0302"), 0);
    QVERIFY(waitForList(changed, {"U3V-U1-0301", "U3V-U3-0303"}));
    changed.clear();
    QCOMPARE(sdk->control.run("device.replug U3V-U2-0302"), 0);
    QVERIFY(waitForList(changed, all));

    // Rounds that find the same cameras report without a change.
    changed.clear();
    rounds.clear();
    QVERIFY(rounds.wait(3000));
    QVERIFY(rounds.wait(3000));
    QCOMPARE(changed.size(), 0);

    // A camera opened here changes its status once.
    const ZelCameraInfoList list = controller.cameraList("U3V");
    QVERIFY(manager.OpenCamera(list.at(0), ORV_ACCESS_MODE_CONTROL));
    QVERIFY(changed.wait(3000));
    QCOMPARE(changed.last().at(1).value<ZelCameraInfoList>().at(0).deviceInfo.accessStatus,
             ZEL_ACCESS_STATUS_ALREADY_OPENED);

    // Stopped, the type's list is empty, and no late report refills it.
    changed.clear();
    controller.stopDiscovery("U3V");
    QVERIFY(!manager.IsDiscovering());
    QCOMPARE(changed.size(), 1);
    QVERIFY(controller.cameraList("U3V").isEmpty());
    QTest::qWait(100);
    QCOMPARE(changed.size(), 1);
    QVERIFY(controller.cameraList("U3V").isEmpty());

    // It can be started again.
    controller.restartDiscovery("U3V");
    QVERIFY(waitForList(changed, all));
}

void TestZelDiscovery::stopEndsThePauseAtOnce()
{
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_u3v_tl.cti"));
    QSignalSpy rounds(&manager, &ZelCameraManager::cameraDiscovered);
    manager.StartDiscovery(3000);
    QVERIFY(rounds.wait(3000)); // the thread now sleeps its pause
    QElapsedTimer clock;
    clock.start();
    manager.StopDiscovery();
    // Far below the 700 ms pause that a stop used to wait out.
    QVERIFY2(clock.elapsed() < ZelDiscoveryThread::pauseMs / 2, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!manager.IsDiscovering());

    // Start twice, stop twice: harmless.
    manager.StartDiscovery(3000);
    manager.StartDiscovery(3000);
    manager.StopDiscovery();
    manager.StopDiscovery();
    QVERIFY(!manager.IsDiscovering());
}

void TestZelDiscovery::stopIsCheckedBetweenInterfaces()
{
    // Every GigE device of the first interface answers slowly; a stop during
    // that listing must not go on to the second interface.
    for (const char* id : {"GEV-G1-0001", "GEV-G2-0002", "GEV-G3-0003", "GEV-G4-0004"})
        QCOMPARE(sdk->control.run(std::string("device.latency ") + id + " 400"), 0);
    ZelCameraManager manager(SimWorldSdk::systemIndex("orv_gev_tl.cti"));
    QSignalSpy rounds(&manager, &ZelCameraManager::cameraDiscovered);
    sdk->control.run("log.calls on");
    manager.StartDiscovery(3000);
    QTest::qWait(150);
    manager.StopDiscovery();
    QCOMPARE(rounds.size(), 0); // a cut round is not reported

    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    QCOMPARE(QString::fromStdString(calls).count("OrvInterfaceUpdateDeviceList("), 1);
}

void TestZelDiscovery::cameraLinkTypesGetNoThread()
{
    ZelCameraManager cl(SimWorldSdk::systemIndex("orv_cl_tl.cti"));
    ZelCameraManager clhs(SimWorldSdk::systemIndex("orv_clhs_tl.cti"));
    ZelDiscoveryController controller({&cl, &clhs});
    QSignalSpy changed(&controller, &ZelDiscoveryController::discoveredCameraListChanged);

    for (const QString type : {"CL", "CLHS"}) {
        changed.clear();
        controller.restartDiscovery(type);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), type);
        QVERIFY(changed.at(0).at(1).value<ZelCameraInfoList>().isEmpty());
    }
    QVERIFY(!cl.IsDiscovering());
    QVERIFY(!clhs.IsDiscovering());

    // A type without any list yet gets an empty one on stop.
    changed.clear();
    controller.stopDiscovery("CXP");
    QCOMPARE(changed.size(), 1);
    QVERIFY(controller.cameraList("CXP").isEmpty());
}

void TestZelDiscovery::cameraLinkProbe()
{
    ZelCameraManager cl(SimWorldSdk::systemIndex("orv_cl_tl.cti"));
    ZelDiscoveryController controller({&cl});
    QSignalSpy changed(&controller, &ZelDiscoveryController::discoveredCameraListChanged);
    ZelInterfaceInfoList ports;
    cl.DiscoverInterfaces(&ports, 5000);
    QCOMPARE(ports.size(), 4);

    QMap<QString, QStringList> found;
    for (ORV_INTERFACE_INFO& port : ports) {
        ZelCameraInfoList out;
        controller.UpdateInterface("CL", &port, out);
        found.insert(ZelUtil::RecordText(port.id), deviceIds(out));
    }
    QCOMPARE(found.value("cl-port-0"), QStringList{"CL-C1-0401"});
    QCOMPARE(found.value("cl-port-1"), QStringList());
    QCOMPARE(found.value("cl-port-2"), QStringList{"CL-C2-0402"});
    QCOMPARE(found.value("cl-port-3"), QStringList()); // slower than the probe
    QCOMPARE(changed.size(), 0);                       // the stored lists stay as they are

    // An all-zero port record finds no opened interface.
    sdk->control.run("log.trace on");
    ORV_INTERFACE_INFO none = {};
    ZelCameraInfoList out;
    controller.UpdateInterface("CL", &none, out);
    QVERIFY(out.isEmpty());
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QVERIFY(QString::fromStdString(traces).contains("ZelCameraManager::DiscoverCameras Failed! Interface not opened!"));
    sdk->control.run("log.trace off");
}

QTEST_GUILESS_MAIN(TestZelDiscovery)
#include "tst_ZelDiscovery.moc"
