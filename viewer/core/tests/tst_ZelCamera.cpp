#include "TestHome.h"
#include "ZelSimSdk.h"

#include "ZelAcqBuffer.h"
#include "ZelAppSettings.h"
#include "ZelCamera.h"
#include "ZelCameraDataStream.h"
#include "ZelCameraManager.h"
#include "ZelFeatureManager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using zeltest::SimWorldSdk;

namespace {

quint64 imageIdOf(const QList<QVariant>& arguments)
{
    const ZelAcqBufferPtr buffer = arguments.at(0).value<ZelAcqBufferPtr>();
    return buffer ? buffer->GetInfo().imageId : 0;
}

} // namespace

class TestZelCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Settings and saved images stay inside this test's own home.
        QVERIFY(useTestHome(home));
    }
    void init() { QVERIFY(zeltest::startWorld(sdk)); }
    void cleanup()
    {
        managers.clear();
        sdk.reset();
    }

    void modulesAndFeatureManagers();
    void cameraWithoutStream();
    void manufacturerInfo_data();
    void manufacturerInfo();
    void settingsFiles();
    void startAndStop();
    void refusedAcquisitionStartIsAFailure();
    void twoSnapsGiveTwoFreshImages();
    void snapSurvivesClosingTheCamera();
    void snapTimesOut();
    void autoSavePrefix_data();
    void autoSavePrefix();
    void autoSaveStaysInTheSaveFolder();

private:
    // Opens the camera of that device ID through a manager of its producer.
    ZelCamera* open(const QString& producer, const QString& deviceId, int access = ORV_ACCESS_MODE_CONTROL)
    {
        auto manager = std::make_shared<ZelCameraManager>(SimWorldSdk::systemIndex(producer));
        managers << manager;
        ZelInterfaceInfoList interfaces;
        manager->DiscoverInterfaces(&interfaces, 1000);
        ZelCameraInfoList cameras;
        for (ORV_INTERFACE_INFO& info : interfaces)
            manager->DiscoverCameras(&info, &cameras, 300);
        for (const ZelCameraInfo& info : cameras) {
            if (ZelUtil::RecordText(info.deviceInfo.id) == deviceId) {
                keys[deviceId] = info.cameraKey();
                return manager->OpenCamera(info, access);
            }
        }
        return nullptr;
    }

    QTemporaryDir home;
    std::unique_ptr<SimWorldSdk> sdk;
    QList<std::shared_ptr<ZelCameraManager>> managers;
    QMap<QString, QString> keys;
};

void TestZelCamera::modulesAndFeatureManagers()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera);
    for (ZelFeatureManager* features : {camera->remoteDeviceFeatures, camera->deviceFeatures,
                                        camera->interfaceFeatures, camera->systemFeatures, camera->streamFeatures})
        QVERIFY(features);
    QVERIFY(camera->dataStream);
    QVERIFY(camera->streamHandle != 0);
    QVariant model;
    QVERIFY(camera->remoteDeviceFeatures->GetValue("DeviceModelName", model));
    QCOMPARE(model.toString(), QStringLiteral("SIM-G1280M"));
    QCOMPARE(camera->dataStream->GetWidth(), 1280);
    QCOMPARE(camera->dataStream->GetHeight(), 1024);

    // Closing the camera closes the stream, then the device.
    sdk->control.run("log.calls on");
    managers.last()->CloseCamera(keys["GEV-G1-0001"]);
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    const QString log = QString::fromStdString(calls);
    QVERIFY(log.indexOf("OrvStreamClose(") >= 0);
    QVERIFY(log.indexOf("OrvStreamClose(") < log.indexOf("OrvDeviceClose("));
}

void TestZelCamera::cameraWithoutStream()
{
    sdk->control.run("log.trace on");
    ZelCamera* camera = open("orv_u3v_tl.cti", "U3V-U3-0303");
    QVERIFY(camera);
    QVERIFY(!camera->dataStream);
    QVERIFY(!camera->streamFeatures);
    QCOMPARE(camera->streamHandle, 0u);
    QVERIFY(camera->remoteDeviceFeatures);
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QVERIFY(QString::fromStdString(traces).contains("ZelCamera::_openDataStream Failed! OrvDeviceGetStreamId:"));
}

void TestZelCamera::manufacturerInfo_data()
{
    QTest::addColumn<QString>("producer");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("info");
    QTest::newRow("own feature") << "orv_gev_tl.cti" << "GEV-G1-0001" << "SIM mono series rev B";
    QTest::newRow("fallback feature") << "orv_gev_tl.cti" << "GEV-G2-0002" << "SIM colour series";
    QTest::newRow("other maker") << "orv_u3v_tl.cti" << "U3V-U2-0302" << "Other Vendor";
}

void TestZelCamera::manufacturerInfo()
{
    QFETCH(QString, producer);
    QFETCH(QString, deviceId);
    QFETCH(QString, info);
    ZelCamera* camera = open(producer, deviceId);
    QVERIFY(camera);
    QCOMPARE(camera->GetManufacturerInfo(), info);
}

void TestZelCamera::settingsFiles()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera);
    QTemporaryDir folder;
    const QString file = folder.filePath("camera settings.txt");
    QVERIFY(camera->SaveSettings(file));
    QVERIFY(QFileInfo(file).size() > 0);
    QVERIFY(camera->LoadSettings(file));

    sdk->control.run("log.trace on");
    QVERIFY(!camera->LoadSettings(folder.filePath("missing.txt")));
    QVERIFY(!camera->SaveSettings(folder.filePath("no/such/folder.txt")));
    std::string traces;
    sdk->control.run("log.trace.get", &traces);
    QVERIFY(QString::fromStdString(traces).contains("ZelCamera::LoadSettings Failed! OrvDeviceLoadSettings:"));
    QVERIFY(QString::fromStdString(traces).contains("ZelCamera::SaveSettings Failed! OrvDeviceSaveSettings:"));
}

void TestZelCamera::startAndStop()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    ZelCameraDataStream* stream = camera->dataStream;
    QSignalSpy images(stream, &ZelCameraDataStream::imageReady);

    stream->StopAcquisition(); // stopped: nothing happens
    QVERIFY(stream->StartAcquisition(quint64(-1)));
    QVERIFY(!stream->StartAcquisition(quint64(-1)));
    QVERIFY(stream->IsStarted());
    QVERIFY(stream->AcquisitionStart());
    QTRY_VERIFY(images.size() >= 2);
    stream->StopAcquisition();
    QVERIFY(!stream->IsStarted());

    // Started again after a stop, it streams again.
    images.clear();
    QVERIFY(stream->StartAcquisition(quint64(-1)));
    QVERIFY(stream->AcquisitionStart());
    QTRY_VERIFY(images.size() >= 1);
    // A camera closed while streaming stops and closes its stream first.
    managers.last()->CloseCamera(keys["GEV-G1-0001"]);
}

void TestZelCamera::refusedAcquisitionStartIsAFailure()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    QCOMPARE(sdk->control.run("feature.fail remote:GEV-G1-0001 AcquisitionStart execute -1013 always"), 0);
    QVERIFY(!camera->dataStream->AcquisitionStart());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!camera->dataStream->Snap());
    QVERIFY(clock.elapsed() < ZelCameraDataStream::snapTimeoutMs); // no wait for an image that cannot come
    QCOMPARE(sdk->control.run("fault.clear"), 0);
    QVERIFY(camera->dataStream->AcquisitionStart());
}

void TestZelCamera::twoSnapsGiveTwoFreshImages()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    ZelCameraDataStream* stream = camera->dataStream;
    QSignalSpy images(stream, &ZelCameraDataStream::imageReady);
    // A fast camera and slow commands: while a snap's stop command works,
    // the camera fills every free buffer, and those images are still in the
    // SDK when the next snap starts.
    QCOMPARE(sdk->control.run("stream.fps GEV-G1-0001 1000"), 0);
    QCOMPARE(sdk->control.run("call.delay OrvFeatureCommandExecute 100"), 0);
    QVERIFY(stream->StartAcquisition(quint64(-1)));

    QVERIFY(stream->Snap());
    QTRY_VERIFY(!images.isEmpty());
    QCOMPARE(imageIdOf(images.last()), quint64(1));

    // Images taken from here on carry IDs from 1000: the older ones may be
    // shown on the way, but the snap's image is a new one.
    for (const quint64 first : {1000, 2000}) {
        QCOMPARE(sdk->control.run("stream.nextid GEV-G1-0001 " + std::to_string(first)), 0);
        QVERIFY(stream->Snap());
        QTRY_COMPARE(imageIdOf(images.last()), first);
        QTest::qWait(100);
        QCOMPARE(imageIdOf(images.last()), first); // nothing after it
    }
}

void TestZelCamera::snapSurvivesClosingTheCamera()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    QCOMPARE(sdk->control.run("stream.stall GEV-G1-0001 on"), 0);
    ZelCameraManager* manager = managers.last().get();
    const QString key = keys["GEV-G1-0001"];
    QTimer::singleShot(200, [manager, key] { manager->CloseCamera(key); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!camera->dataStream->Snap()); // the object is gone when this returns
    QVERIFY(clock.elapsed() < ZelCameraDataStream::snapTimeoutMs);
    QVERIFY(!manager->FindCamera(key));
}

void TestZelCamera::snapTimesOut()
{
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    QCOMPARE(sdk->control.run("stream.stall GEV-G1-0001 on"), 0);
    sdk->control.run("log.calls on");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!camera->dataStream->Snap());
    QVERIFY(clock.elapsed() >= ZelCameraDataStream::snapTimeoutMs - 50);
    std::string calls;
    sdk->control.run("log.calls.get", &calls);
    // Started, then stopped again.
    QCOMPARE(QString::fromStdString(calls).count("OrvFeatureCommandExecute("), 2);
}

void TestZelCamera::autoSavePrefix_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("both") << "SIM-G1280M" << "GEV-G1-0001" << "SIM-G1280M_GEV-G1-0001_";
    QTest::newRow("model only") << "SIM-G1280M" << "" << "SIM-G1280M_";
    QTest::newRow("device only") << "" << "GEV-G1-0001" << "GEV-G1-0001_";
    QTest::newRow("neither") << "" << "" << "";
    QTest::newRow("separators") << "a/b" << "c\\d" << "a_b_c_d_";
    QTest::newRow("parent folders") << "../../etc" << ".." << "______etc____";
    QTest::newRow("single dots stay") << "v1.2" << "." << "v1.2_._";
}

void TestZelCamera::autoSavePrefix()
{
    QFETCH(QString, model);
    QFETCH(QString, deviceId);
    QFETCH(QString, prefix);
    QCOMPARE(ZelCameraDataStream::AutoSavePrefix(model, deviceId), prefix);
}

void TestZelCamera::autoSaveStaysInTheSaveFolder()
{
    QTemporaryDir saveFolder;
    ZelAppSettings::instance()->setValue("Directory", "SaveImageDir", saveFolder.path());
    ZelAppSettings::instance()->setValue("Settings", "AutoSaveFormat", "RAW");
    ZelCamera* camera = open("orv_gev_tl.cti", "GEV-G1-0001");
    QVERIFY(camera && camera->dataStream);
    QCOMPARE(sdk->control.run("feature.set remote:GEV-G1-0001 DeviceModelName ../../escape"), 0);
    QSignalSpy saved(camera->dataStream, &ZelCameraDataStream::imageSaved);
    QVERIFY(camera->dataStream->StartAcquisition(quint64(-1)));
    camera->dataStream->onEnableAutoSave(true, 2);
    QVERIFY(camera->dataStream->AcquisitionStart());
    QTRY_COMPARE(saved.size(), 2);
    const QStringList files = QDir(saveFolder.path()).entryList(QDir::Files);
    QCOMPARE(files, (QStringList{"______escape_GEV-G1-0001_0.RAW", "______escape_GEV-G1-0001_1.RAW"}));
}

QTEST_GUILESS_MAIN(TestZelCamera)
#include "tst_ZelCamera.moc"
