#include "../../core/tests/SimCameraSession.h"
#include "../../core/tests/TestHome.h"

#include "ZelCameraDataStream.h"
#include "ZelDialogs.h"
#include "ZelEventManager.h"
#include "ZelEventViewer.h"
#include "ZelSdkMetaTypes.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include <cstring>

namespace {

const QString equals = QStringLiteral("=====================================");

QVariant streamEvent(int signal, quint32 imageId, quint64 timestamp)
{
    ORV_EVENT_DS_ACQUISITION_DATA record;
    std::memset(&record, 0, sizeof record);
    record.signalType = signal;
    record.imageId = imageId;
    record.timestamp = timestamp;
    return QVariant::fromValue(record);
}

// A remote-device record with the given bytes from offset 8 on.
QVariant deviceEvent(const QByteArray& fromByte8)
{
    ORV_EVENT_REMOTE_DEVICE_DATA record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(reinterpret_cast<char*>(&record) + 8, fromByte8.constData(), size_t(fromByte8.size()));
    return QVariant::fromValue(record);
}

// The log's lines once the events delivered so far are written.
QStringList lines(QPlainTextEdit* log)
{
    QCoreApplication::processEvents();
    QStringList all;
    for (QTextBlock b = log->document()->begin(); b.isValid(); b = b.next())
        all << b.text();
    if (all == QStringList{QString()})
        return {};
    return all;
}

} // namespace

class TestZelEventViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void init() { QVERIFY(session.start()); }
    void cleanup()
    {
        delete viewer;
        session.stop();
    }

    void formatsEvents_data();
    void formatsEvents();
    void formAndTitle();
    void refusedSwitchOnUnchecksWithoutToggle_data();
    void refusedSwitchOnUnchecksWithoutToggle();
    void retryAfterRefusalLifted();
    void unsupportedFlagRegistersNothing();
    void logKeepsTheLast2048Events();
    void eventsFromTheCameraFillTheirLogs();
    void clearEmptiesOneLog();
    void streamingFillsBothLogs();
    void closeReleasesTheEvents();
    void deletedUnclosedReleasesTheEvents();

private:
    ZelEventViewer* open(const QString& deviceId, const QString& producer = "orv_gev_tl.cti")
    {
        camera = session.open(deviceId, producer);
        if (!camera)
            return nullptr;
        viewer = new ZelEventViewer(camera->deviceHandle, camera->streamHandle, "cam");
        return viewer;
    }
    const ZelEventViewer::Form& ui() const { return viewer->form(); }
    int calls(const QString& log, const QString& function) { return log.count(function + "("); }

    QTemporaryDir home;
    zeltest::SimCameraSession session;
    ZelCamera* camera = nullptr;
    QPointer<ZelEventViewer> viewer;
};

void TestZelEventViewer::formatsEvents_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("toStreamSlot");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("streamLog");
    QTest::addColumn<QStringList>("deviceLog");

    QTest::newRow("stream 7/42/123456789")
        << 5000 << true << streamEvent(7, 42, 123456789)
        << QStringList{equals, "SignalType\t: 7 (Frame Incomplete)", "ImageId\t: 42", "TimeStamp\t: 123456789", equals}
        << QStringList{};
    QTest::newRow("stream unknown signal, top bits")
        << 5000 << true << streamEvent(5, 0xFFFFFFFFu, 0xFFFFFFFFFFFFFFFFull)
        << QStringList{equals, "SignalType\t: 5 (Unknown)", "ImageId\t: 4294967295",
                       "TimeStamp\t: 18446744073709551615", equals}
        << QStringList{};
    QTest::newRow("stream slot ignores type 4") << 4 << true << streamEvent(1, 1, 1) << QStringList{} << QStringList{};
    QTest::newRow("stream wrong value is zeros")
        << 5000 << true << QVariant(QStringLiteral("no record"))
        << QStringList{equals, "SignalType\t: 0 (None)", "ImageId\t: 0", "TimeStamp\t: 0", equals} << QStringList{};
    QTest::newRow("stream slot given a device record")
        << 5000 << true << deviceEvent(QByteArray::fromHex("9004"))
        << QStringList{equals, "SignalType\t: 0 (None)", "ImageId\t: 0", "TimeStamp\t: 0", equals} << QStringList{};

    QTest::newRow("device 0x9004")
        << 4 << false << deviceEvent(QByteArray::fromHex("9004" "0003" "0102"))
        << QStringList{}
        << QStringList{equals, "EventID\t: 9004 (Frame Trigger)", "BlockID\t: 258", "Stream Channel\t: 3",
                       "TimeStampLow\t: 0", "TimeStampHigh\t: 0", equals};
    QTest::newRow("device 0xA0B1")
        << 4 << false << deviceEvent(QByteArray::fromHex("a0b1"))
        << QStringList{}
        << QStringList{equals, "EventID\t: a0b1 (Unknown)", "BlockID\t: 0", "Stream Channel\t: 0",
                       "TimeStampLow\t: 0", "TimeStampHigh\t: 0", equals};
    QTest::newRow("device 0x9 no leading zeros")
        << 4 << false << deviceEvent(QByteArray::fromHex("0009"))
        << QStringList{}
        << QStringList{equals, "EventID\t: 9 (Unknown)", "BlockID\t: 0", "Stream Channel\t: 0", "TimeStampLow\t: 0",
                       "TimeStampHigh\t: 0", equals};
    QTest::newRow("device timestamp low before high")
        << 4 << false << deviceEvent(QByteArray::fromHex("9007" "0000" "0000" "00000001" "00000002"))
        << QStringList{}
        << QStringList{equals, "EventID\t: 9007 (Exposure Start)", "BlockID\t: 0", "Stream Channel\t: 0",
                       "TimeStampLow\t: 2", "TimeStampHigh\t: 1", equals};
    QTest::newRow("device slot ignores type 5000")
        << 5000 << false << deviceEvent(QByteArray::fromHex("9004")) << QStringList{} << QStringList{};
    QTest::newRow("device wrong value is zeros")
        << 4 << false << streamEvent(7, 42, 1) << QStringList{}
        << QStringList{equals, "EventID\t: 0 (Unknown)", "BlockID\t: 0", "Stream Channel\t: 0", "TimeStampLow\t: 0",
                       "TimeStampHigh\t: 0", equals};
}

void TestZelEventViewer::formatsEvents()
{
    QFETCH(int, type);
    QFETCH(bool, toStreamSlot);
    QFETCH(QVariant, value);
    QFETCH(QStringList, streamLog);
    QFETCH(QStringList, deviceLog);
    viewer = new ZelEventViewer(0, 0, "cam");
    if (toStreamSlot)
        viewer->onDSAcquisitionEventTriggered(type, value);
    else
        viewer->onRemoteDeviceEventTriggered(type, value);
    QCOMPARE(lines(ui().txtDataStream), streamLog);
    QCOMPARE(lines(ui().txtRemoteDevice), deviceLog);
}

void TestZelEventViewer::formAndTitle()
{
    viewer = new ZelEventViewer(0, 0, "GEV-G1-0001 (SIM)");
    QCOMPARE(viewer->windowTitle(), QString("Event Viewer(GEV-G1-0001 (SIM))"));
    QVERIFY(viewer->isWindow());
    QVERIFY(viewer->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(viewer->minimumSize(), QSize(720, 400));
    QCOMPARE(ui().txtRemoteDevice->maximumBlockCount(), 14336);
    QCOMPARE(ui().txtDataStream->maximumBlockCount(), 10240);
    QCOMPARE(ui().groupBox_3->title(), QString("Remote Device Events"));
    QCOMPARE(ui().groupBox_2->title(), QString("Data Stream Acquisition Event"));
    QVERIFY(!ui().chkEnableRemoteDevice->isChecked());
    QVERIFY(!ui().chkEnableDataStream->isChecked());
    QVERIFY(!viewer->remoteDeviceEvents()->IsEnabled());
    QVERIFY(!viewer->dataStreamEvents()->IsEnabled());
}

void TestZelEventViewer::refusedSwitchOnUnchecksWithoutToggle_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("producer");
    QTest::addColumn<bool>("dataStream");
    QTest::addColumn<QString>("notice");
    QTest::newRow("U2 refuses 4") << "U3V-U2-0302" << "orv_u3v_tl.cti" << false
                                  << "Remote Device Events Not Supported!";
    QTest::newRow("R1 refuses 5000") << "GEV-R1-0101" << "orv_gev_tl_rdma.cti" << true
                                     << "Data Stream Events Not Supported!";
}

void TestZelEventViewer::refusedSwitchOnUnchecksWithoutToggle()
{
    QFETCH(QString, deviceId);
    QFETCH(QString, producer);
    QFETCH(bool, dataStream);
    QFETCH(QString, notice);
    QVERIFY(open(deviceId, producer));
    QCheckBox* box = dataStream ? ui().chkEnableDataStream : ui().chkEnableRemoteDevice;
    QCheckBox* other = dataStream ? ui().chkEnableRemoteDevice : ui().chkEnableDataStream;
    QSignalSpy toggles(box, &QCheckBox::toggled);
    ZelDialogs::Script dialogs;
    const QString log = session.callsDuring([&] { box->click(); });
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().icon, QMessageBox::Critical);
    QVERIFY(dialogs.last().hasParent);
    QCOMPARE(dialogs.last().title, QString("Event Viewer"));
    QCOMPARE(dialogs.last().text, notice);
    QCOMPARE(dialogs.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!box->isChecked());
    QCOMPARE(toggles.count(), 1); // the click; the uncheck sends none
    QCOMPARE(calls(log, "OrvEventRegister"), 1);
    QCOMPARE(calls(log, "OrvEventUnRegister"), 0);
    QVERIFY(!viewer->remoteDeviceEvents()->IsEnabled());
    QVERIFY(!viewer->dataStreamEvents()->IsEnabled());

    // The other kind is not affected.
    other->click();
    QVERIFY(other->isChecked());
    QCOMPARE(dialogs.count(), 1);
    QVERIFY((dataStream ? viewer->remoteDeviceEvents() : viewer->dataStreamEvents())->IsEnabled());
}

void TestZelEventViewer::retryAfterRefusalLifted()
{
    QVERIFY(open("GEV-G1-0001"));
    QCOMPARE(session.run("event.refuse GEV-G1-0001 4 on"), 0);
    ZelDialogs::Script dialogs;
    ui().chkEnableRemoteDevice->click();
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(!ui().chkEnableRemoteDevice->isChecked());
    QCOMPARE(session.run("event.refuse GEV-G1-0001 4 off"), 0);
    ui().chkEnableRemoteDevice->click();
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(ui().chkEnableRemoteDevice->isChecked());
    QVERIFY(viewer->remoteDeviceEvents()->IsEnabled());
    QCOMPARE(session.run("event.fire GEV-G1-0001 4 0x9004"), 0);
    QTRY_COMPARE(lines(ui().txtRemoteDevice).value(1), QString("EventID\t: 9004 (Frame Trigger)"));

    // Unchecking switches off: later events are not shown.
    ui().chkEnableRemoteDevice->click();
    QVERIFY(!viewer->remoteDeviceEvents()->IsEnabled());
    QCOMPARE(session.run("event.fire GEV-G1-0001 4 0x9005"), 0);
    QTest::qWait(50);
    QCOMPARE(lines(ui().txtRemoteDevice).size(), 7);
}

void TestZelEventViewer::unsupportedFlagRegistersNothing()
{
    QVERIFY(open("GEV-G1-0001"));
    viewer->setDataStreamEventsSupported(false);
    ZelDialogs::Script dialogs;
    const QString log = session.callsDuring([&] { ui().chkEnableDataStream->click(); });
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last().text, QString("Data Stream Events Not Supported!"));
    QVERIFY(!ui().chkEnableDataStream->isChecked());
    QCOMPARE(calls(log, "OrvEventRegister"), 0);
    viewer->setDataStreamEventsSupported(true);
    ui().chkEnableDataStream->click();
    QVERIFY(viewer->dataStreamEvents()->IsEnabled());
    QCOMPARE(dialogs.count(), 1);
}

void TestZelEventViewer::logKeepsTheLast2048Events()
{
    viewer = new ZelEventViewer(0, 0, "cam");
    for (quint32 id = 1; id <= 2049; ++id) {
        viewer->onDSAcquisitionEventTriggered(5000, streamEvent(1, id, id));
        viewer->onRemoteDeviceEventTriggered(4, deviceEvent(QByteArray::fromHex("9005") + QByteArray(2, 0) +
                                                            QByteArray(1, char(id >> 8)) + QByteArray(1, char(id))));
    }
    const QStringList stream = lines(ui().txtDataStream);
    QCOMPARE(stream.size(), 10240);
    QCOMPARE(stream.mid(0, 3), (QStringList{equals, "SignalType\t: 1 (Frame Completed)", "ImageId\t: 2"}));
    QCOMPARE(stream.at(10238), QString("TimeStamp\t: 2049"));
    const QStringList device = lines(ui().txtRemoteDevice);
    QCOMPARE(device.size(), 14336);
    QCOMPARE(device.mid(0, 3), (QStringList{equals, "EventID\t: 9005 (Frame Start)", "BlockID\t: 2"}));
    QCOMPARE(device.at(14336 - 5), QString("BlockID\t: 2049"));
}

void TestZelEventViewer::eventsFromTheCameraFillTheirLogs()
{
    QVERIFY(open("GEV-G1-0001"));
    ui().chkEnableRemoteDevice->click();
    ui().chkEnableDataStream->click();
    QCOMPARE(session.run("event.fire GEV-G1-0001 5000 7 42 123456789"), 0);
    QCOMPARE(session.run("event.fire GEV-G1-0001 4 0xA0B1 0 7 0x0000000100000002"), 0);
    QTRY_COMPARE(lines(ui().txtDataStream).size(), 5);
    QTRY_COMPARE(lines(ui().txtRemoteDevice).size(), 7);
    QCOMPARE(lines(ui().txtDataStream).at(1), QString("SignalType\t: 7 (Frame Incomplete)"));
    QCOMPARE(lines(ui().txtRemoteDevice).mid(1, 5),
             (QStringList{"EventID\t: a0b1 (Unknown)", "BlockID\t: 7", "Stream Channel\t: 0", "TimeStampLow\t: 2",
                          "TimeStampHigh\t: 1"}));

    // Bursts in chunks the SDK's queue holds: 2101 events in all.
    QSignalSpy arrived(viewer->dataStreamEvents(), &ZelEventManager::triggered);
    for (int chunk = 1; chunk <= 3; ++chunk) {
        QCOMPARE(session.run("event.burst GEV-G1-0001 5000 700"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 700 * chunk, 30000);
    }
    QCoreApplication::sendPostedEvents();
    // The last 2048 are kept: the first 53 are gone, the burst's 53rd event leads.
    const QStringList stream = lines(ui().txtDataStream);
    QCOMPARE(stream.size(), 10240);
    QCOMPARE(stream.mid(0, 3), (QStringList{equals, "SignalType\t: 1 (Frame Completed)", "ImageId\t: 53"}));
    QCOMPARE(stream.at(10238), QString("TimeStamp\t: 699"));
}

void TestZelEventViewer::clearEmptiesOneLog()
{
    viewer = new ZelEventViewer(0, 0, "cam");
    viewer->onDSAcquisitionEventTriggered(5000, streamEvent(1, 1, 1));
    viewer->onRemoteDeviceEventTriggered(4, deviceEvent(QByteArray::fromHex("9004")));
    ui().btnClearDatasStream->click();
    QCOMPARE(lines(ui().txtDataStream), QStringList{});
    QCOMPARE(lines(ui().txtRemoteDevice).size(), 7);
    viewer->onDSAcquisitionEventTriggered(5000, streamEvent(2, 9, 9));
    QCOMPARE(lines(ui().txtDataStream).mid(0, 3),
             (QStringList{equals, "SignalType\t: 2 (Frame Abandoned)", "ImageId\t: 9"}));
    ui().btnClearRemoteDevice->click();
    QCOMPARE(lines(ui().txtRemoteDevice), QStringList{});
    QCOMPARE(lines(ui().txtDataStream).size(), 5);
}

void TestZelEventViewer::streamingFillsBothLogs()
{
    QVERIFY(open("GEV-G1-0001"));
    QVERIFY(camera->dataStream);
    ui().chkEnableRemoteDevice->click();
    ui().chkEnableDataStream->click();
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    QVERIFY(camera->dataStream->AcquisitionStart());
    QTRY_VERIFY_WITH_TIMEOUT(lines(ui().txtDataStream).size() >= 15, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(lines(ui().txtRemoteDevice).size() >= 21, 30000);
    camera->dataStream->StopAcquisition();
    QVERIFY(lines(ui().txtDataStream).contains("SignalType\t: 1 (Frame Completed)"));
    const QStringList device = lines(ui().txtRemoteDevice);
    QVERIFY(device.contains("EventID\t: 9007 (Exposure Start)"));
    QVERIFY(device.contains("EventID\t: 9008 (Exposure End)"));
}

void TestZelEventViewer::closeReleasesTheEvents()
{
    QVERIFY(open("GEV-G1-0001"));
    ui().chkEnableRemoteDevice->click();
    ui().chkEnableDataStream->click();
    QSignalSpy destroyed(viewer.data(), &QObject::destroyed);
    const QString log = session.callsDuring([&] {
        viewer->close();
        QVERIFY(!viewer->remoteDeviceEvents());
        QVERIFY(!viewer->dataStreamEvents());
    });
    QCOMPARE(calls(log, "OrvEventUnRegister"), 2);
    QTRY_COMPARE(destroyed.count(), 1);
}

void TestZelEventViewer::deletedUnclosedReleasesTheEvents()
{
    QVERIFY(open("GEV-G1-0001"));
    ui().chkEnableRemoteDevice->click();
    ui().chkEnableDataStream->click();
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    QVERIFY(camera->dataStream->AcquisitionStart());
    QTRY_VERIFY_WITH_TIMEOUT(lines(ui().txtDataStream).size() >= 5, 30000);
    QCOMPARE(session.run("event.burst GEV-G1-0001 4 500"), 0);
    // Deleted while events arrive, as its camera window deletes it.
    const QString log = session.callsDuring([&] { delete viewer.data(); });
    camera->dataStream->StopAcquisition();
    QCOMPARE(calls(log, "OrvEventKill"), 2);
    QCOMPARE(calls(log, "OrvEventUnRegister"), 2);
}

QTEST_MAIN(TestZelEventViewer)
#include "tst_ZelEventViewer.moc"
