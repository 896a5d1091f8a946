#include "ZelSimSdk.h"

#include "ZelCamera.h"
#include "ZelCameraManager.h"
#include "ZelEventManager.h"
#include "ZelEventThread.h"
#include "ZelSdkMetaTypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using zeltest::SimWorldSdk;

namespace {

const char* const g1 = "GEV-G1-0001";

int callCount(SimWorldSdk& sdk, const QString& function)
{
    std::string calls;
    sdk.control.run("log.calls.get", &calls);
    return QString::fromStdString(calls).count(function + "(");
}

} // namespace

class TestZelEventManager : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(zeltest::startWorld(sdk));
        manager.reset(new ZelCameraManager(SimWorldSdk::systemIndex("orv_gev_tl.cti")));
        ZelInterfaceInfoList interfaces;
        manager->DiscoverInterfaces(&interfaces, 1000);
        ZelCameraInfoList cameras;
        manager->DiscoverCameras(&interfaces[0], &cameras, 300);
        QVERIFY(!cameras.isEmpty());
        camera = manager->OpenCamera(cameras.at(0), ORV_ACCESS_MODE_CONTROL);
        QVERIFY(camera);
        QVERIFY(camera->streamHandle != 0);
    }
    void cleanup()
    {
        manager.reset();
        sdk.reset();
    }

    void payloadCopiesAreBounded_data();
    void payloadCopiesAreBounded();
    void deliversEveryTypeWithItsPayload();
    void typeWithoutPayload();
    void enableTwiceAndDisableTwice();
    void refusedRegistrationCanBeRetried();
    void disableBeforeTheFirstWait();
    void disableDuringAWait();
    void persistentErrorDoesNotSpin();

private:
    std::unique_ptr<SimWorldSdk> sdk;
    std::unique_ptr<ZelCameraManager> manager;
    ZelCamera* camera = nullptr;
};

void TestZelEventManager::payloadCopiesAreBounded_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("recordSize");
    QTest::newRow("remote device") << 4 << 546;
    QTest::newRow("device connection") << 4000 << 260;
    QTest::newRow("stream acquisition") << 5000 << 32;
    QTest::newRow("other") << 17 << 0;
}

void TestZelEventManager::payloadCopiesAreBounded()
{
    QFETCH(int, type);
    QFETCH(int, recordSize);
    QCOMPARE(int(ZelEventThread::payloadSize(type)), recordSize);

    // More bytes than the record holds: only the record's share is taken.
    QByteArray bytes(4096, '\x5a');
    QVariant value = ZelEventThread::payloadValue(type, bytes.constData(), size_t(bytes.size()));
    if (recordSize == 0) {
        QVERIFY(!value.isValid());
        return;
    }
    QCOMPARE(QMetaType::sizeOf(value.userType()), recordSize);
    const QByteArray full(static_cast<const char*>(value.constData()), recordSize);
    QCOMPARE(full, QByteArray(recordSize, '\x5a'));

    // Fewer bytes: the rest of the record is zero.
    value = ZelEventThread::payloadValue(type, bytes.constData(), 3);
    const QByteArray part(static_cast<const char*>(value.constData()), recordSize);
    QCOMPARE(part, QByteArray(3, '\x5a') + QByteArray(recordSize - 3, '\0'));
}

void TestZelEventManager::deliversEveryTypeWithItsPayload()
{
    ZelEventManager connection(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    ZelEventManager remote(camera->deviceHandle, ORV_EVENT_TYPE_REMOTE_DEVICE);
    ZelEventManager stream(camera->streamHandle, ORV_EVENT_TYPE_DS_ACQUISITION);
    QSignalSpy connectionSpy(&connection, &ZelEventManager::triggered);
    QSignalSpy remoteSpy(&remote, &ZelEventManager::triggered);
    QSignalSpy streamSpy(&stream, &ZelEventManager::triggered);
    QVERIFY(connection.Enable());
    QVERIFY(remote.Enable());
    QVERIFY(stream.Enable());

    QCOMPARE(sdk->control.run(std::string("event.fire ") + g1 + " 4000 3"), 0);
    QCOMPARE(sdk->control.run(std::string("event.fire ") + g1 + " 4 0x9004 0 7 0x0000000100000002"), 0);
    QCOMPARE(sdk->control.run(std::string("event.fire ") + g1 + " 5000 7 42 123456789"), 0);
    QTRY_COMPARE(connectionSpy.size(), 1);
    QTRY_COMPARE(remoteSpy.size(), 1);
    QTRY_COMPARE(streamSpy.size(), 1);

    QCOMPARE(connectionSpy.at(0).at(0).toInt(), 4000);
    const auto state = connectionSpy.at(0).at(1).value<ORV_EVENT_DEVICE_CONNECTION_DATA>();
    QCOMPARE(state.connectionState, 3u);
    QCOMPARE(QByteArray(state.deviceId), QByteArray(g1));

    QCOMPARE(remoteSpy.at(0).at(0).toInt(), 4);
    const auto event = remoteSpy.at(0).at(1).value<ORV_EVENT_REMOTE_DEVICE_DATA>();
    const QByteArray fields(reinterpret_cast<const char*>(event.eventId), 14);
    QCOMPARE(fields.toHex(), QByteArray("90040000000700000001" "00000002"));

    QCOMPARE(streamSpy.at(0).at(0).toInt(), 5000);
    const auto acquisition = streamSpy.at(0).at(1).value<ORV_EVENT_DS_ACQUISITION_DATA>();
    QCOMPARE(acquisition.signalType, 7);
    QCOMPARE(acquisition.imageId, 42u);
    QCOMPARE(acquisition.timestamp, quint64(123456789));

    // A burst arrives whole and in order, each payload complete.
    streamSpy.clear();
    QCOMPARE(sdk->control.run(std::string("event.burst ") + g1 + " 5000 50"), 0);
    QTRY_COMPARE(streamSpy.size(), 50);
    for (int i = 0; i < 50; ++i)
        QCOMPARE(streamSpy.at(i).at(1).value<ORV_EVENT_DS_ACQUISITION_DATA>().imageId, uint32_t(i + 1));
}

void TestZelEventManager::typeWithoutPayload()
{
    QCOMPARE(sdk->control.run(std::string("event.allow ") + g1 + " 1234"), 0);
    ZelEventManager other(camera->deviceHandle, 1234);
    QSignalSpy spy(&other, &ZelEventManager::triggered);
    QVERIFY(other.Enable());
    QCOMPARE(sdk->control.run(std::string("event.fire device:") + g1 + " 1234"), 0);
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1234);
    QVERIFY(!spy.at(0).at(1).value<QVariant>().isValid());
}

void TestZelEventManager::enableTwiceAndDisableTwice()
{
    ZelEventManager events(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    sdk->control.run("log.calls on");
    QVERIFY(events.Enable());
    QVERIFY(events.IsEnabled());
    QVERIFY(!events.Enable());
    QCOMPARE(callCount(*sdk, "OrvEventRegister"), 1);
    events.Disable();
    events.Disable();
    QVERIFY(!events.IsEnabled());
    QCOMPARE(callCount(*sdk, "OrvEventUnRegister"), 1);
    QCOMPARE(callCount(*sdk, "OrvEventKill"), 1);
    // Enabled again after a disable, it delivers again.
    QSignalSpy spy(&events, &ZelEventManager::triggered);
    QVERIFY(events.Enable());
    QCOMPARE(sdk->control.run(std::string("event.fire ") + g1 + " 4000 0"), 0);
    QTRY_COMPARE(spy.size(), 1);
}

void TestZelEventManager::refusedRegistrationCanBeRetried()
{
    ZelEventManager events(camera->deviceHandle, ORV_EVENT_TYPE_REMOTE_DEVICE);
    QCOMPARE(sdk->control.run(std::string("event.refuse ") + g1 + " 4 on"), 0);
    sdk->control.run("log.trace on");
    QVERIFY(!events.Enable());
    QVERIFY(!events.IsEnabled());
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QVERIFY(QString::fromStdString(traces).contains("ZelEventManager::Enable Failed! OrvEventRegister type:4 error:-"));

    QCOMPARE(sdk->control.run(std::string("event.refuse ") + g1 + " 4 off"), 0);
    QVERIFY(events.Enable());

    // Success without an event handle leaves nothing registered either.
    ZelEventManager connection(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    QCOMPARE(sdk->control.run("call.nullhandle OrvEventRegister"), 0);
    QVERIFY(!connection.Enable());
    QVERIFY(connection.Enable());
}

void TestZelEventManager::disableBeforeTheFirstWait()
{
    // Disabled at once, again and again: the kill may come before the thread
    // waits, and must never be lost.
    ZelEventManager events(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    for (int i = 0; i < 50; ++i) {
        QVERIFY(events.Enable());
        events.Disable();
    }
    QVERIFY(!events.IsEnabled());
}

void TestZelEventManager::disableDuringAWait()
{
    auto events = std::make_unique<ZelEventManager>(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    QSignalSpy spy(events.get(), &ZelEventManager::triggered);
    QVERIFY(events->Enable());
    QTest::qWait(100); // the thread waits in the SDK now
    QElapsedTimer clock;
    clock.start();
    events->Disable();
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(sdk->control.run(std::string("event.fire ") + g1 + " 4000 0"), 0);
    QTest::qWait(50);
    QCOMPARE(spy.size(), 0);

    // Destruction disables as well.
    QVERIFY(events->Enable());
    QTest::qWait(50);
    events.reset();
}

void TestZelEventManager::persistentErrorDoesNotSpin()
{
    ZelEventManager events(camera->deviceHandle, ORV_EVENT_TYPE_DEVICE_CONNECTION);
    QCOMPARE(sdk->control.run("call.fail OrvEventWait -1013 always"), 0);
    sdk->control.run("log.calls on");
    QElapsedTimer watched;
    watched.start();
    QVERIFY(events.Enable());
    QTRY_VERIFY_WITH_TIMEOUT(callCount(*sdk, "OrvEventWait") >= 3, 20000);
    // Failed waits are at least 20 ms apart: a spinning thread would have
    // made thousands of calls by now.
    const int waits = callCount(*sdk, "OrvEventWait");
    QVERIFY2(waits <= watched.elapsed() / 20 + 2, qPrintable(QString::number(waits)));

    // The pause does not delay a disable.
    QElapsedTimer clock;
    clock.start();
    events.Disable();
    QVERIFY(clock.elapsed() < 500);
}

QTEST_GUILESS_MAIN(TestZelEventManager)
#include "tst_ZelEventManager.moc"
