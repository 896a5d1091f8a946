#include "ZelSPSetting.h"
#include "ZelSoftwarePollingManager.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using Info = ZelSoftwarePollingItemInfo;

namespace {

QList<Info> documentEntries(const ZelSoftwarePollingManager& manager)
{
    QList<Info> list;
    readSPSettingFeatures(manager.document(), list);
    return list;
}

QTimer* timerOf(const ZelSoftwarePollingManager& manager, const QString& name)
{
    for (QTimer* timer : manager.findChildren<QTimer*>()) {
        if (timer->property("Data").value<Info>().name.compare(name, Qt::CaseInsensitive) == 0)
            return timer;
    }
    return nullptr;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestSoftwarePollingManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QString& features)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SPSetting><FeatureList>" + features
                    + "</FeatureList></SPSetting>").toUtf8());
        return path;
    }

    static QByteArray contentOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void startsEnabledAndEmpty()
    {
        ZelSoftwarePollingManager manager;
        QVERIFY(manager.isEnabled());
        QVERIFY(manager.GetList().isEmpty());
        QVERIFY(!findFeatureList(manager.document()).isNull());
        QCOMPARE(manager.document().documentElement().tagName(), QString("SPSetting"));
    }

    void enabledEntriesRequestInvalidateWithNameAndCondition()
    {
        ZelSoftwarePollingManager manager;
        QSignalSpy requests(&manager, &ZelSoftwarePollingManager::requestInvalidate);
        manager.Add({"Gain", 10, true, "Width >= 640"});
        manager.Add({"Gamma", 10, false, "x == 1"});
        manager.Add({"BlackLevel", 10, true, ""});

        QTRY_VERIFY_WITH_TIMEOUT(requests.count() >= 4, 5000);
        QSet<QString> seen;
        for (const QList<QVariant>& request : qAsConst(requests)) {
            seen.insert(request.at(0).toString());
            if (request.at(0).toString() == "Gain")
                QCOMPARE(request.at(1).toString(), QString("Width >= 640"));
            else
                QCOMPARE(request.at(1).toString(), QString());
        }
        QCOMPARE(seen, (QSet<QString>{"Gain", "BlackLevel"}));
        QVERIFY(!timerOf(manager, "Gamma")->isActive());
    }

    void pollingSwitchStartsAndStopsEnabledEntries()
    {
        ZelSoftwarePollingManager manager;
        manager.SetEnable(false);
        QVERIFY(!manager.isEnabled());
        manager.Add({"Gain", 40, true, ""});
        manager.Add({"Gamma", 50, false, ""});
        QVERIFY(!timerOf(manager, "Gain")->isActive());

        manager.SetEnable(true);
        QVERIFY(timerOf(manager, "Gain")->isActive());
        QCOMPARE(timerOf(manager, "Gain")->interval(), 40);
        QVERIFY(!timerOf(manager, "Gamma")->isActive());

        manager.SetEnable(false);
        QVERIFY(!timerOf(manager, "Gain")->isActive());
        QCOMPARE(manager.GetList().size(), 2);

        QSignalSpy requests(&manager, &ZelSoftwarePollingManager::requestInvalidate);
        QTest::qWait(120);
        QCOMPARE(requests.count(), 0);
    }

    void addOfAKnownNameIsIgnored()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"ExposureTime", 100, true, ""});
        manager.Add({"exposuretime", 200, false, "x"});
        manager.Add({"  ", 200, false, "x"});
        QCOMPARE(manager.GetList(), (QList<Info>{{"ExposureTime", 100, true, ""}}));
        QCOMPARE(documentEntries(manager), manager.GetList());
        QCOMPARE(manager.findChildren<QTimer*>().size(), 1);
    }

    void updateRestartsOrStopsAndFollowsTheNewSpelling()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", 100, true, ""});
        manager.Update({"GAIN", 300, true, "a == 1"});
        QTimer* timer = timerOf(manager, "Gain");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 300);
        QCOMPARE(manager.GetList(), (QList<Info>{{"GAIN", 300, true, "a == 1"}}));
        QCOMPARE(documentEntries(manager), (QList<Info>{{"Gain", 300, true, "a == 1"}}));

        manager.Update({"Gain", 300, false, ""});
        QVERIFY(!timer->isActive());

        manager.Update({"Unknown", 300, false, ""});
        QCOMPARE(manager.GetList().size(), 1);
        QCOMPARE(documentEntries(manager).size(), 1);
    }

    void pollTimesOutsideTheEditorsRangeNeverReachATimer_data()
    {
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("used");
        QTest::newRow("zero") << 0 << 10;
        QTest::newRow("negative") << -5 << 10;
        QTest::newRow("below") << 9 << 10;
        QTest::newRow("lowest") << 10 << 10;
        QTest::newRow("highest") << 1000000 << 1000000;
        QTest::newRow("above") << 1000001 << 1000000;
    }

    void pollTimesOutsideTheEditorsRangeNeverReachATimer()
    {
        QFETCH(int, given);
        QFETCH(int, used);
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", given, true, ""});
        QCOMPARE(timerOf(manager, "Gain")->interval(), used);
        QCOMPARE(manager.GetList().at(0).pollTime, used);
        QCOMPARE(documentEntries(manager).at(0).pollTime, used);

        manager.Update({"Gain", given, true, ""});
        QCOMPARE(timerOf(manager, "Gain")->interval(), used);
        QCOMPARE(documentEntries(manager).at(0).pollTime, used);

        const QString path = writeFile("bounded.spsetting",
            QString("<Feature name=\"Gain\"><PollingTime>%1</PollingTime><Enable>True</Enable>"
                    "</Feature>").arg(given));
        QVERIFY(manager.Load(path, true));
        QCOMPARE(timerOf(manager, "Gain")->interval(), used);
        QCOMPARE(documentEntries(manager).at(0).pollTime, used);
    }

    void removeStopsRequestsDeletesTheTimerAndTheElement()
    {
        ZelSoftwarePollingManager manager;
        QSignalSpy requests(&manager, &ZelSoftwarePollingManager::requestInvalidate);
        manager.Add({"Gain", 10, true, ""});
        manager.Add({"Gamma", 1000, true, ""});
        QPointer<QTimer> timer = timerOf(manager, "Gain");
        QVERIFY(requests.wait(5000));

        manager.Remove("gain");
        flushDeletes();
        QVERIFY(timer.isNull());
        requests.clear();
        QTest::qWait(60);
        QCOMPARE(requests.count(), 0);
        QCOMPARE(manager.GetList(), (QList<Info>{{"Gamma", 1000, true, ""}}));
        QCOMPARE(documentEntries(manager), manager.GetList());
    }

    void removingFromInsideARequestIsSafe()
    {
        ZelSoftwarePollingManager manager;
        connect(&manager, &ZelSoftwarePollingManager::requestInvalidate, &manager,
                [&manager](const QString& name) { manager.Remove(name); });
        QSignalSpy requests(&manager, &ZelSoftwarePollingManager::requestInvalidate);
        manager.Add({"Gain", 10, true, ""});
        QVERIFY(requests.wait(5000));
        QTest::qWait(60);
        QCOMPARE(requests.count(), 1);
        QVERIFY(manager.findChildren<QTimer*>().isEmpty());
    }

    void replacingLoadDropsTheOldTimersAndKeepsTheFirstOfDuplicates()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Old", 100, true, ""});
        QPointer<QTimer> old = timerOf(manager, "Old");
        const QString path = writeFile("dup.spsetting",
            "<Feature name=\"Gain\"><PollingTime>20</PollingTime><Enable>True</Enable>"
            "<Condition><![CDATA[Width > 5]]></Condition></Feature>"
            "<Feature name=\"GAIN\"><PollingTime>30</PollingTime><Enable>False</Enable></Feature>"
            "<Feature name=\"Gamma\"><PollingTime>40</PollingTime><Enable>False</Enable></Feature>");
        QVERIFY(manager.Load(path, true));
        flushDeletes();
        QVERIFY(old.isNull());
        const QList<Info> expected{{"Gain", 20, true, "Width > 5"}, {"Gamma", 40, false, ""}};
        QCOMPARE(manager.GetList(), expected);
        QCOMPARE(documentEntries(manager), expected);
        QVERIFY(timerOf(manager, "Gain")->isActive());
        QVERIFY(!timerOf(manager, "Gamma")->isActive());

        const QString saved = m_dir.filePath("saved.spsetting");
        QVERIFY(manager.Save(saved));
        QList<Info> reread;
        QDomDocument document;
        QVERIFY(loadSPSetting(document, saved, reread));
        QCOMPARE(reread, expected);
    }

    void mergingLoadKeepsRunningEntriesAndSavesThemAll()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", 100, true, ""});
        const QString path = writeFile("merge.spsetting",
            "<Feature name=\"gain\"><PollingTime>20</PollingTime></Feature>"
            "<Feature name=\"Gamma\"><PollingTime>40</PollingTime></Feature>");
        QVERIFY(manager.Load(path, false));
        const QList<Info> expected{{"Gain", 100, true, ""}, {"Gamma", 40, false, ""}};
        QCOMPARE(manager.GetList(), expected);
        QCOMPARE(documentEntries(manager), expected);
    }

    void failedLoadChangesNothing()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", 100, true, "c"});
        const QString before = manager.document().toString();
        const QString path = m_dir.filePath("broken.spsetting");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<SPSetting><FeatureList>");
        file.close();
        QVERIFY(!manager.Load(path, true));
        QVERIFY(!manager.Load(m_dir.filePath("absent.spsetting"), true));
        QCOMPARE(manager.document().toString(), before);
        QCOMPARE(manager.GetList(), (QList<Info>{{"Gain", 100, true, "c"}}));
        QVERIFY(timerOf(manager, "Gain")->isActive());
    }

    void anUnreadableFileIsNeverReplacedByAnEmptyList()
    {
        const QString path = m_dir.filePath("SoftwarePolling_Version_1_0.spsetting");
        const QByteArray broken = "<SPSetting><FeatureList><Feature name=\"Gain\">";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(broken);
        }
        ZelSoftwarePollingManager manager;
        QVERIFY(!manager.Load(path, true));
        QString reason;
        QVERIFY(!manager.Save(path, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(contentOf(path), broken);

        // Another file is written as usual.
        QVERIFY(manager.Save(m_dir.filePath("other.spsetting")));

        // Once the operator has entries, they are saved and the old file kept aside.
        manager.Add({"Gamma", 100, true, ""});
        QVERIFY(manager.Save(path));
        QCOMPARE(contentOf(path + ".bak"), broken);
        QList<Info> reread;
        QDomDocument document;
        QVERIFY(loadSPSetting(document, path, reread));
        QCOMPARE(reread, (QList<Info>{{"Gamma", 100, true, ""}}));
    }

    void clearDropsTimersAndEntries()
    {
        ZelSoftwarePollingManager manager;
        manager.Add({"Gain", 100, true, ""});
        manager.Add({"Gamma", 100, true, ""});
        QPointer<QTimer> timer = timerOf(manager, "Gain");
        manager.Clear();
        flushDeletes();
        QVERIFY(timer.isNull());
        QVERIFY(manager.GetList().isEmpty());
        QVERIFY(documentEntries(manager).isEmpty());

        manager.Add({"Gain", 100, true, ""});
        manager.Clear(false);
        QVERIFY(manager.GetList().isEmpty());
        QCOMPARE(documentEntries(manager).size(), 1);
        manager.Add({"gain", 50, false, ""});
        QCOMPARE(documentEntries(manager), (QList<Info>{{"gain", 50, false, ""}}));
    }

    void saveReportsAFileThatCannotBeWritten()
    {
        ZelSoftwarePollingManager manager;
        QString reason;
        QVERIFY(!manager.Save(m_dir.filePath("no/such/folder/x.spsetting"), &reason));
        QVERIFY(!reason.isEmpty());
    }
};

QTEST_MAIN(TestSoftwarePollingManager)
#include "tst_ZelSoftwarePollingManager.moc"
