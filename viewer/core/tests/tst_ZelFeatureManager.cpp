#include "SimSdk.h"
#include "ZelFeatureCallbacks.h"
#include "ZelFeatureManager.h"
#include "ZelUtil.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

const char* const remoteG1 = "remote:GEV-G1-0001";

QStringList stateNames(const std::string& state)
{
    QStringList names;
    for (const QString& line : QString::fromStdString(state).split('\n', Qt::SkipEmptyParts))
        names << line.section('=', 0, 0).section('[', 0, 0);
    return names;
}

} // namespace

class tst_ZelFeatureManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimSdk> sdk;
    SimCameraHandles g1;

    std::string control(const std::string& command) { return sdk->control.reply(command); }
    QStringList traces()
    {
        QStringList lines = QString::fromStdString(control("log.trace.get")).split('\n');
        control("log.trace.clear");
        return lines.filter(QRegularExpression("^\\[Kalveen2\\]"));
    }
    QString fileList() { return QString::fromStdString(control("file.list GEV-G1-0001")); }

private slots:
    void init()
    {
        sdk = std::make_unique<SimSdk>();
        QVERIFY2(sdk->ready(), qPrintable(sdk->problems().join('\n')));
        g1 = sdk->open("orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001");
        QVERIFY(g1.remote && g1.device && g1.stream && g1.iface && g1.system);
        control("log.trace on");
        control("log.trace.clear");
    }

    void cleanup()
    {
        sdk->control.run("fault.clear");
        sdk->control.run("log.trace off");
        sdk->control.run("log.calls off");
        const QStringList problems = sdk->problems();
        sdk.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(ZelFeatureCallbacks::instance().sdkInvalidationCount(), size_t(0));
    }

    // Every feature of a module, in the SDK's depth-first order.
    void enumeratesWholeModules_data()
    {
        QTest::addColumn<QString>("module");
        QTest::newRow("remote device") << "remote";
        QTest::newRow("device") << "device";
        QTest::newRow("stream") << "stream";
    }
    void enumeratesWholeModules()
    {
        QFETCH(QString, module);
        const ORV_MODULE_HANDLE handle = module == "remote" ? g1.remote : module == "device" ? g1.device : g1.stream;
        ZelFeatureManager manager(handle);
        QStringList names;
        int rc = ORV_SUCCESS;
        for (int index = 0; index < 10000; ++index) {
            ORV_FEATURE_HANDLE feature = 0;
            rc = manager.Enum(index, &feature);
            if (rc != ORV_SUCCESS)
                break;
            ZelFeatureData data;
            QVERIFY(manager.GetData(feature, data));
            const QString name = ZelUtil::RecordText(data.info.name);
            if (index == 0) {
                QCOMPARE(name, QStringLiteral("Root"));
                QCOMPARE(int(data.info.level), 0);
                QCOMPARE(int(data.info.interfaceType), int(ORV_FEATURE_TYPE_CATEGORY));
            } else {
                QVERIFY(data.info.level > 0);
            }
            QCOMPARE(manager.FindByName(name.toUtf8().constData()), feature);
            names << name;
        }
        QCOMPARE(rc, ORV_ERROR_END_OF_LIST);
        const std::string state = control(QString("state.get %1:GEV-G1-0001").arg(module).toStdString());
        QCOMPARE(names, stateNames(state));
        // Past the end is no failure: nothing traced.
        QVERIFY(traces().isEmpty());

        ORV_FEATURE_HANDLE feature = 77;
        QCOMPARE(manager.Enum(-1, &feature), ORV_ERROR_INVALID_ARGUMENT);
        QCOMPARE(manager.Enum(0, nullptr), ORV_ERROR_INVALID_ARGUMENT);
        QCOMPARE(feature, ORV_FEATURE_HANDLE(77));
    }

    void enumerationDataAndEntries()
    {
        ZelFeatureManager manager(g1.remote);
        QVERIFY(manager.SetValueEnum("TriggerSource", "Line1"));
        ZelFeatureData data;
        QVERIFY(manager.GetData("TriggerSource", data));
        QCOMPARE(data.entries, QStringList({"Software", "Line0", "Line1"}));
        QCOMPARE(data.value.userType(), int(QMetaType::Int));
        QCOMPARE(data.value.toInt(), 2);
        QCOMPARE(data.info.enumIndex, 2);
        QCOMPARE(ZelUtil::RecordText(data.info.name), QStringLiteral("TriggerSource"));

        // Entry names and values one by one; nothing past the last.
        const ORV_FEATURE_HANDLE feature = manager.FindByName("TriggerSource");
        QString name = "unchanged";
        qint64 value = -7;
        for (int index = 0; index < data.entries.size(); ++index) {
            QVERIFY(manager.EnumSubFeature(feature, index, name, value));
            QCOMPARE(name, data.entries[index]);
        }
        QVERIFY(!manager.EnumSubFeature(feature, 3, name, value));
        QVERIFY(!manager.EnumSubFeature(feature, -1, name, value));
        QCOMPARE(name, QStringLiteral("Line1"));

        // The current value matches no entry: the position says so.
        QVERIFY(manager.GetData("TestEnumNoCurrent", data));
        QCOMPARE(data.value.toInt(), int(data.info.enumCount));

        // An unavailable feature has its record and description, no value.
        data = ZelFeatureData();
        QVERIFY(manager.GetData("TestUnavailable", data));
        QVERIFY(!data.value.isValid());
        QVERIFY(data.entries.isEmpty());
        QCOMPARE(ZelUtil::RecordText(data.info.name), QStringLiteral("TestUnavailable"));
        char description[ORV_TEXT_SIZE] = {};
        QCOMPARE(OrvFeatureGetDescription(g1.remote, manager.FindByName("TestUnavailable"), description,
                                          sizeof description),
                 ORV_SUCCESS);
        QCOMPARE(data.description, QString::fromUtf8(description));

        // A failing read leaves the data and traces the failing call's code.
        control(std::string("feature.fail ") + remoteG1 + " Width get -1013");
        traces();
        const ZelFeatureData before = data;
        QVERIFY(!manager.GetData("Width", data));
        QCOMPARE(ZelUtil::RecordText(data.info.name), QStringLiteral("TestUnavailable"));
        QVERIFY(traces().contains("[Kalveen2] 0x2 ZelFeatureManager::GetData Failed! GetFeatureValue:-1013"));
        QVERIFY(!manager.GetData("NoSuchFeature", data));
        QCOMPARE(traces(), QStringList({"[Kalveen2] 0x2 ZelFeatureManager::FindByName Failed! "
                                        "OrvFeatureGetByName:NoSuchFeature -1009",
                                        "[Kalveen2] 0x2 ZelFeatureManager::GetData Feature not found:NoSuchFeature"}));
    }

    void enumerationWritesByPositionAndByName()
    {
        ZelFeatureManager manager(g1.remote);
        const ORV_FEATURE_HANDLE feature = manager.FindByName("TriggerSource");
        QString name;
        qint64 third = 0;
        QVERIFY(manager.EnumSubFeature(feature, 2, name, third));

        QVERIFY(manager.SetValue(feature, QVariant(2)));
        QVariant value;
        QVERIFY(manager.GetValue("TriggerSource", value));
        QCOMPARE(value.toLongLong(), third);
        QVERIFY(manager.GetValueExt("TriggerSource", value));
        QCOMPARE(value, QVariant(QStringLiteral("Line1")));

        // Positions that name no entry write nothing.
        traces();
        const QVariant refused[] = {QVariant(3), QVariant(-1), QVariant(QStringLiteral("abc")), QVariant(),
                                    QVariant((qlonglong(1) << 32) + 1)};
        for (const QVariant& position : refused) {
            QVERIFY2(!manager.SetValue("TriggerSource", position), qPrintable(position.toString()));
            QVERIFY(manager.GetValueExt("TriggerSource", value));
            QCOMPARE(value, QVariant(QStringLiteral("Line1")));
        }
        QVERIFY(traces().contains(
            "[Kalveen2] 0x2 ZelFeatureManager::SetValue Failed! OrvFeatureEnumSubFeatures:Trigger Source -1008"));

        // By name, and the same calls on a feature of another type.
        QVERIFY(manager.SetValueExt("TriggerSource", QVariant(QStringLiteral("Line0"))));
        QVERIFY(manager.GetValueExt("TriggerSource", value));
        QCOMPARE(value, QVariant(QStringLiteral("Line0")));
        QVERIFY(!manager.SetValueExt("TriggerSource", QVariant(QStringLiteral("Line9"))));
        QVERIFY(!manager.SetValueEnum("TriggerSource", "line0"));
        QVERIFY(manager.SetValueExt("Width", QVariant(QStringLiteral("320"))));
        QVERIFY(manager.GetValueExt("Width", value));
        QCOMPARE(value, QVariant(qlonglong(320)));
        QVERIFY(!manager.SetValueExt("Width", QVariant(QStringLiteral("abc"))));
        QVERIFY(traces().contains("[Kalveen2] 0x2 ZelFeatureManager::SetValue Failed! SetFeatureValue:Width -1006"));

        // A failing write carries the SDK's code.
        QVERIFY(!manager.SetValue("Width", QVariant(17)));
        QVERIFY(traces().contains("[Kalveen2] 0x2 ZelFeatureManager::SetValue Failed! SetFeatureValue:Width -1010"));
    }

    void registersAndRegisterFeatures()
    {
        ZelFeatureManager device(g1.device);
        ZelFeatureManager remote(g1.remote);

        // Bytes as the big-endian camera stores them: bit 31 set at power-up.
        unsigned char word[4] = {};
        size_t length = sizeof word;
        QVERIFY(device.GetRegister(0x10004000, word, &length));
        QCOMPARE(length, size_t(4));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(word), 4), QByteArray("\x80\x00\x00\x00", 4));

        // A register write shows in its twin feature.
        const unsigned char custom[4] = {0, 0, 0, 1};
        length = sizeof custom;
        QVERIFY(device.SetRegister(0x10004014, custom, &length));
        QVariant value;
        QVERIFY(remote.GetValue("DefectPixelCorrection_MapSelect", value));
        QCOMPARE(value, QVariant(qlonglong(1)));

        // Unmapped addresses fail with the SDK's code.
        traces();
        length = sizeof word;
        QVERIFY(!device.GetRegister(0x00000010, word, &length));
        QCOMPARE(traces(), QStringList("[Kalveen2] 0x2 ZelFeatureManager::GetRegister Failed! OrvDeviceRead:0x00000010 -1009"));

        // Pieces of the register feature, looked up on the remote device and
        // written through the device module.
        const ORV_FEATURE_HANDLE buffer = remote.FindByName("Shading_MapBuffer");
        QVERIFY(buffer);
        QByteArray piece(512, '\0');
        for (int i = 0; i < piece.size(); ++i)
            piece[i] = char(i * 3);
        for (uint32_t offset : {0u, 512u}) {
            length = size_t(piece.size());
            QVERIFY(device.SetBuffer(buffer, piece.constData(), &length, offset));
        }
        unsigned char back[1024] = {};
        length = sizeof back;
        QVERIFY(device.GetRegister(0x10100000, back, &length));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 512), piece);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back) + 512, 512), piece);
        length = 16;
        QVERIFY(!device.SetBuffer(buffer, piece.constData(), &length, 0xFFFFFFF0u));
    }

    void deviceFilesWithProgress()
    {
        ZelFeatureManager device(g1.device);
        QSignalSpy progress(&device, &ZelFeatureManager::updateTransferProcess);
        QCOMPARE(device.RegisterTransferCB(), ORV_SUCCESS);
        QCOMPARE(device.RegisterTransferCB(), ORV_SUCCESS);

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QByteArray local = QFile::encodeName(folder.path() + QString::fromUtf8("/k\xC3\xB6pie.txt"));
        qint64 transferred = 0;
        QVERIFY(device.SaveFile(local.constData(), "config.txt", "Userfile", &transferred));
        QCOMPARE(QFileInfo(QFile::decodeName(local)).size(), qint64(1536));
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.first().at(0).toLongLong(), qint64(1536));
        QCOMPARE(progress.last().at(0).toLongLong(), qint64(0));
        QCOMPARE(progress.first().at(1).toString(), QStringLiteral("config.txt"));
        QCOMPARE(progress.first().at(2).toString(), QStringLiteral("Read"));

        // Upload without a transfer counter: the SDK still gets one.
        progress.clear();
        QFile upload(folder.path() + "/new.bin");
        QVERIFY(upload.open(QIODevice::WriteOnly));
        upload.write(QByteArray(70000, 'x'));
        upload.close();
        QVERIFY(device.UploadFile("new.bin", QFile::encodeName(upload.fileName()).constData(), "Userfile", nullptr));
        QVERIFY(fileList().contains("Userfile new.bin 70000"));
        QVERIFY(progress.size() >= 3);
        QCOMPARE(progress.first().at(0).toLongLong(), qint64(70000));
        QCOMPARE(progress.last().at(0).toLongLong(), qint64(0));
        QCOMPARE(progress.last().at(2).toString(), QStringLiteral("Write"));

        QVERIFY(device.DeleteFile("new.bin", "Userfile"));
        QVERIFY(!fileList().contains("new.bin"));
        traces();
        QVERIFY(!device.DeleteFile("new.bin", "Userfile"));
        QCOMPARE(traces(), QStringList("[Kalveen2] 0x2 ZelFeatureManager::DeleteFile Failed! OrvDeviceDeleteFile:new.bin -1009"));

        // Unregistered: transfers report nothing any more.
        QCOMPARE(device.UnregisterTransferCB(), ORV_SUCCESS);
        progress.clear();
        QVERIFY(device.SaveFile(local.constData(), "notes.bin", "Userfile", nullptr));
        QCOMPARE(progress.size(), 0);
    }

    void invalidationReachesTheSpyUntilUnregistered()
    {
        ZelFeatureManager remote(g1.remote);
        QSignalSpy spy(&remote, &ZelFeatureManager::featureInvalidated);
        remote.RegisterInvalidateCB("Gain");
        QVERIFY(remote.SetValue("Gain", QVariant(3.5)));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.takeFirst().at(0).toString(), QStringLiteral("Gain"));

        // Features without a registration stay silent.
        QVERIFY(remote.SetValue("Width", QVariant(640)));
        QCOMPARE(spy.size(), 0);

        remote.EnableInvalidation(false);
        control(std::string("invalidate ") + remoteG1 + " Gain");
        QCOMPARE(spy.size(), 0);
        remote.EnableInvalidation(true);
        control(std::string("invalidate ") + remoteG1 + " Gain");
        QCOMPARE(spy.size(), 1);

        remote.UnregisterInvalidateCB("Gain");
        QVERIFY(remote.SetValue("Gain", QVariant(4)));
        control(std::string("invalidate ") + remoteG1 + " Gain");
        QCOMPARE(spy.size(), 1);

        // A registration outlives no disappearing feature.
        remote.RegisterInvalidateCB("Gain");
        control(std::string("feature.absent ") + remoteG1 + " Gain");
        remote.UnregisterInvalidateCB("Gain");
        QCOMPARE(ZelFeatureCallbacks::instance().sdkInvalidationCount(), size_t(0));
        control(std::string("feature.present ") + remoteG1 + " Gain");

        // Callbacks without name or context, or without remaining count, do nothing.
        remote.RegisterInvalidateCB("Gain");
        ZelFeatureCallbacks::invalidateCallback(reinterpret_cast<void*>(uintptr_t(g1.remote)), nullptr);
        ZelFeatureCallbacks::invalidateCallback(nullptr, "Gain");
        QCOMPARE(spy.size(), 1);
        ZelFeatureCallbacks::invalidateCallback(reinterpret_cast<void*>(uintptr_t(g1.remote)), "Gain");
        QCOMPARE(spy.size(), 2);
        QSignalSpy transfers(&remote, &ZelFeatureManager::updateTransferProcess);
        QCOMPARE(remote.RegisterTransferCB(), ORV_SUCCESS);
        const int64_t left = 5;
        ZelFeatureCallbacks::transferCallback(nullptr, &left, "a", "Read");
        ZelFeatureCallbacks::transferCallback(reinterpret_cast<void*>(uintptr_t(g1.remote)), nullptr, "a", "Read");
        QCOMPARE(transfers.size(), 0);
        ZelFeatureCallbacks::transferCallback(reinterpret_cast<void*>(uintptr_t(g1.remote)), &left, nullptr, nullptr);
        QCOMPARE(transfers.size(), 1);
        QCOMPARE(transfers.first().at(0).toLongLong(), qint64(5));
    }

    // A tool's hold and the tree's registration keep one callback between
    // them; either may end first, a hold may outlive the manager.
    void holdsAndTheTreesRegistrationShareACallback()
    {
        auto remote = std::make_unique<ZelFeatureManager>(g1.remote);
        QSignalSpy spy(remote.get(), &ZelFeatureManager::featureInvalidated);
        const std::string fire = std::string("invalidate ") + remoteG1 + " Gain";
        auto heard = [&] {
            spy.clear();
            control(fire);
            return spy.size();
        };

        remote->RegisterInvalidateCB("Gain");
        auto hold = std::make_unique<ZelInvalidationHold>(remote.get(), std::initializer_list<const char*>{"Gain"});
        QCOMPARE(heard(), 1); // one callback, not two
        remote->UnregisterInvalidateCB("Gain");
        QCOMPARE(heard(), 1); // the hold keeps it
        remote->UnregisterInvalidateCB("Gain"); // the tree unregisters again: still held
        QCOMPARE(heard(), 1);
        hold.reset();
        QCOMPARE(heard(), 0);
        QCOMPARE(ZelFeatureCallbacks::instance().sdkInvalidationCount(), size_t(0));

        // Two holds; the tree's registration outlives both.
        ZelInvalidationHold first(remote.get(), {"Gain", "NoSuchFeature"});
        hold = std::make_unique<ZelInvalidationHold>(remote.get(), std::initializer_list<const char*>{"Gain"});
        remote->RegisterInvalidateCB("Gain");
        hold.reset();
        QCOMPARE(heard(), 1);
        remote->ReleaseInvalidateCB("Gain"); // first's hold, released early
        QCOMPARE(heard(), 1);
        remote->UnregisterInvalidateCB("Gain");
        QCOMPARE(heard(), 0);

        // The manager goes first: the hold's end touches nothing.
        hold = std::make_unique<ZelInvalidationHold>(remote.get(), std::initializer_list<const char*>{"Gain"});
        remote.reset();
        hold.reset();
        QCOMPARE(ZelFeatureCallbacks::instance().sdkInvalidationCount(), size_t(0));
    }

    // Two cameras on one interface share its module handle.
    void sharedInterfaceKeepsEveryCamerasCallbacks()
    {
        const SimCameraHandles g2 = sdk->open("orv_gev_tl.cti", "gev-if-0", "GEV-G2-0002");
        QCOMPARE(g2.iface, g1.iface);
        auto first = std::make_unique<ZelFeatureManager>(g1.iface);
        ZelFeatureManager second(g2.iface);
        QSignalSpy firstSpy(first.get(), &ZelFeatureManager::featureInvalidated);
        QSignalSpy secondSpy(&second, &ZelFeatureManager::featureInvalidated);
        const std::string fire = "invalidate interface:gev-if-0 DeviceSelector";

        second.RegisterInvalidateCB("DeviceSelector");
        first->RegisterInvalidateCB("DeviceSelector");
        control(fire);
        QCOMPARE(firstSpy.size(), 1);
        QCOMPARE(secondSpy.size(), 1);

        // The camera that registered last unregisters: the other still hears.
        first->UnregisterInvalidateCB("DeviceSelector");
        control(fire);
        QCOMPARE(firstSpy.size(), 1);
        QCOMPARE(secondSpy.size(), 2);

        // A manager deleted while registered leaves the other registered.
        first->RegisterInvalidateCB("DeviceSelector");
        first.reset();
        control(fire);
        QCOMPARE(secondSpy.size(), 3);

        second.UnregisterInvalidateCB("DeviceSelector");
        control(fire);
        QCOMPARE(secondSpy.size(), 3);
    }

    // Callbacks fired on another thread while managers come and go; most
    // managers are deleted while a callback is inside their signal.
    void callbacksNeverReachADeletedManager()
    {
        std::atomic<bool> stop{false};
        std::atomic<int> entered{0};
        std::atomic<int> delivered{0};
        std::atomic<int> afterDeletion{0};
        std::thread firing([&] {
            SimControl sim;
            while (!stop)
                sim.run(std::string("invalidate ") + remoteG1 + " Gain");
        });
        // A second watcher keeps the SDK's registration, so only the
        // manager's own detaching stands between a callback and a deletion.
        ZelFeatureManager keeper(g1.remote);
        keeper.RegisterInvalidateCB("Gain");
        int overlapped = 0;
        for (int round = 0; round < 200; ++round) {
            auto manager = std::make_unique<ZelFeatureManager>(g1.remote);
            // Set once the manager's own destructor has finished.
            auto gone = std::make_shared<std::atomic<bool>>(false);
            connect(manager.get(), &QObject::destroyed, [gone] { *gone = true; });
            connect(manager.get(), &ZelFeatureManager::featureInvalidated, manager.get(),
                    [&, gone](const QString& name) {
                        ++entered;
                        std::this_thread::sleep_for(std::chrono::microseconds(300));
                        if (*gone)
                            ++afterDeletion;
                        if (name == QLatin1String("Gain"))
                            ++delivered;
                    },
                    Qt::DirectConnection);
            const int before = entered;
            manager->RegisterInvalidateCB("Gain");
            if (round % 4 == 3) {
                manager->UnregisterInvalidateCB("Gain");
                continue;
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (entered == before && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            overlapped += entered != before;
            if (round % 4 == 2)
                manager->EnableInvalidation(false);
        }
        stop = true;
        firing.join();
        keeper.UnregisterInvalidateCB("Gain");
        QVERIFY(overlapped > 100);
        QVERIFY(delivered > 0);
        QCOMPARE(afterDeletion.load(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_ZelFeatureManager)
#include "tst_ZelFeatureManager.moc"
