// The producer selection "tl_settings.xml" and the preferred producers
// "tl_preferred.xml": default building, reading, writing and bad files.
#include "OrvSdk.h"
#include "ZelTLPreferredList.h"
#include "ZelTLSettingsFile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void makeProducers(const QString& folder, const QStringList& names)
{
    QDir().mkpath(folder);
    for (const QString& n : names)
        writeText(folder + QLatin1Char('/') + n, QByteArray());
}

QMap<QString, bool> enabledByName(const QList<ZelTLSettingEntry>& entries)
{
    QMap<QString, bool> m;
    for (const ZelTLSettingEntry& e : entries)
        m.insert(e.name, e.enabled);
    return m;
}

// Reading fails and leaves both outputs as they were.
void expectReadRefused(ZelTLSettingsFile& store)
{
    QString searchPath = QStringLiteral("kept");
    QList<ZelTLSettingEntry> entries;
    QVERIFY(!store.read(searchPath, entries));
    QCOMPARE(searchPath, QStringLiteral("kept"));
    QVERIFY(entries.isEmpty());
}

// The entries of a file that must read.
QList<ZelTLSettingEntry> readEntries(ZelTLSettingsFile& store, QString* searchPath = nullptr)
{
    QString path;
    QList<ZelTLSettingEntry> entries;
    if (!store.read(path, entries))
        QTest::qFail("the file does not read", __FILE__, __LINE__);
    if (searchPath)
        *searchPath = path;
    return entries;
}

const QByteArray kPreferredHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TLSettingPreferred xmlns:xsd=\"x\" xmlns:xsi=\"y\">\n";

} // namespace

class TestTLSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultSelection();
    void preferredFileEnablesOtherVendor();
    void sameNameInTwoFolders();
    void noProducerWritesNothing();
    void roundTrip();
    void readAppendsAndParsesLeniently();
    void emptySelectionIsKept();
    void badFiles_data();
    void badFiles();
    void foldersAreCreated();
    void failedSaveReportsFalse();
    void preferredFileCreatedOnce();
    void badPreferredFiles_data();
    void badPreferredFiles();
    void processWideObjects();
    void producersMeetEntries();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_config;
    QString m_cti;
};

void TestTLSettingsFile::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_config = m_dir->path() + QStringLiteral("/config/NORRIK-OMBREL GmbH/Kalveen");
    m_cti = m_dir->path() + QStringLiteral("/cti");
    QDir().mkpath(m_cti);
    qputenv("GENICAM_GENTL32_PATH", m_cti.toUtf8());
}

void TestTLSettingsFile::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
    qunsetenv("GENICAM_GENTL32_PATH");
}

void TestTLSettingsFile::defaultSelection()
{
    makeProducers(m_cti, {"orv_gev_tl.cti", "orv_gev_tl_rdma.cti", "orv_gev_brox_tl.cti", "orv_u3v_tl.cti",
                          "orv_cl_tl.cti", "orv_clhs_tl.cti", "coaxlink.cti", "CoaxLink.cti",
                          "other_vendor_tl.cti", "ORV_GEV_TL.cti", "readme.txt"});
    ZelTLPreferredList preferred(m_config);
    ZelTLSettingsFile store(m_config, &preferred);
    QString searchPath = QStringLiteral("unchanged");
    const QList<ZelTLSettingEntry> entries = readEntries(store, &searchPath);
    QCOMPARE(searchPath, QString());

    QMap<QString, bool> expected;
    expected["orv_gev_tl.cti"] = true;
    expected["orv_gev_tl_rdma.cti"] = true;  // its name contains "orv_gev_tl"
    expected["orv_gev_brox_tl.cti"] = false; // its name does not
    expected["orv_u3v_tl.cti"] = true;
    expected["orv_cl_tl.cti"] = true;
    expected["orv_clhs_tl.cti"] = false;
    expected["coaxlink.cti"] = true;         // the built-in preferred entry
    expected["CoaxLink.cti"] = false;        // names compare with case
    expected["other_vendor_tl.cti"] = false;
    expected["ORV_GEV_TL.cti"] = false;
    QCOMPARE(enabledByName(entries), expected);
    for (const ZelTLSettingEntry& e : entries)
        QCOMPARE(e.path, m_cti + QLatin1Char('/') + e.name);

    const QByteArray text = readText(store.filePath());
    QVERIFY(text.startsWith("<TLSetting"));
    QVERIFY(text.contains("<AdditionalSearchPath></AdditionalSearchPath>"));
    QVERIFY(text.contains("\n    <TransportLayerList>"));
    QVERIFY(text.contains("\n        <TransportLayer name=\"orv_gev_tl.cti\">"));
}

void TestTLSettingsFile::preferredFileEnablesOtherVendor()
{
    makeProducers(m_cti, {"other_vendor_tl.cti", "grabber.cti", "orv_gev_tl.cti"});
    // Entries may stand at any depth below the root, their tags in any case
    // and order; the vendor text plays no part in the default.
    writeText(m_config + QStringLiteral("/tl_preferred.xml"),
              kPreferredHead
                  + "  <Group><TransportLayer><tlname>other_vendor_tl.cti</tlname>"
                    "<VENDOR>Someone Else</VENDOR></TransportLayer></Group>\n"
                    "  <TransportLayer><Vendor>X</Vendor><TLName>Grabber.cti</TLName></TransportLayer>\n"
                    "</TLSettingPreferred>\n");
    ZelTLPreferredList preferred(m_config);
    const QList<ZelTLPreferredEntry> list = preferred.entries();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).vendor, QStringLiteral("Euresys"));
    QCOMPARE(list.at(0).tlName, QStringLiteral("coaxlink.cti"));
    QCOMPARE(list.at(1).vendor, QStringLiteral("Someone Else"));
    QCOMPARE(list.at(1).tlName, QStringLiteral("other_vendor_tl.cti"));

    ZelTLSettingsFile store(m_config, &preferred);
    const QMap<QString, bool> got = enabledByName(readEntries(store));
    QCOMPARE(got.value("other_vendor_tl.cti"), true);
    QCOMPARE(got.value("grabber.cti"), false);
    QCOMPARE(got.value("orv_gev_tl.cti"), true);
}

void TestTLSettingsFile::sameNameInTwoFolders()
{
    const QString second = m_dir->path() + QStringLiteral("/cti2");
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    makeProducers(second, {"orv_gev_tl.cti"});
    qputenv("GENICAM_GENTL32_PATH", (m_cti + QLatin1String(";;") + second).toUtf8());
    ZelTLPreferredList preferred(m_config);
    ZelTLSettingsFile store(m_config, &preferred);
    const QList<ZelTLSettingEntry> entries = readEntries(store);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).path, m_cti + QStringLiteral("/orv_gev_tl.cti"));
    QCOMPARE(entries.at(1).path, second + QStringLiteral("/orv_gev_tl.cti"));
    QVERIFY(entries.at(0).enabled && entries.at(1).enabled);
}

void TestTLSettingsFile::noProducerWritesNothing()
{
    ZelTLPreferredList preferred(m_config);
    {
        ZelTLSettingsFile store(m_config, &preferred);
        QVERIFY(!QFile::exists(store.filePath()));
        expectReadRefused(store);
    }
    // The next start finds the producers installed since.
    makeProducers(m_cti, {"orv_u3v_tl.cti"});
    ZelTLSettingsFile store(m_config, &preferred);
    const QList<ZelTLSettingEntry> entries = readEntries(store);
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.at(0).enabled);
}

void TestTLSettingsFile::roundTrip()
{
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    ZelTLPreferredList preferred(m_config);
    ZelTLSettingsFile store(m_config, &preferred);
    const QList<ZelTLSettingEntry> written = {
        {QStringLiteral("a.cti"), QStringLiteral("/opt/a b/a.cti"), true},
        {QStringLiteral("ü & <b>.cti"), QStringLiteral("/opt/ü/ü & <b>.cti"), false},
        {QString(), QStringLiteral("/x/y.cti"), true},
    };
    const QString path = QStringLiteral("/opt/extra;/home/op/cti & more");
    QVERIFY(store.save(path, written));

    QString searchPath;
    const QList<ZelTLSettingEntry> entries = readEntries(store, &searchPath);
    QCOMPARE(searchPath, path);
    QCOMPARE(entries.size(), written.size());
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i).name, written.at(i).name);
        QCOMPARE(entries.at(i).path, written.at(i).path);
        QCOMPARE(entries.at(i).enabled, written.at(i).enabled);
    }
    const QByteArray text = readText(store.filePath());
    QVERIFY(text.startsWith("<TLSetting"));
    QVERIFY(!text.startsWith("\xEF\xBB\xBF"));
    QVERIFY(text.contains("xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""));
    QVERIFY(text.contains("xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""));
    QVERIFY(text.contains("<Enabled>True</Enabled>") && text.contains("<Enabled>False</Enabled>"));
    QVERIFY(text.contains(QStringLiteral("/opt/ü/").toUtf8()));

    // A store made afterwards keeps the operator's file.
    ZelTLSettingsFile again(m_config, &preferred);
    QCOMPARE(readText(again.filePath()), text);
}

void TestTLSettingsFile::readAppendsAndParsesLeniently()
{
    writeText(m_config + QStringLiteral("/tl_settings.xml"),
              "<TLSetting>\n"
              " <AdditionalSearchPath>/extra</AdditionalSearchPath>\n"
              " <TransportLayerList>\n"
              "  <TransportLayer name=\"lower.cti\"><Path>/p/lower.cti</Path><Enabled>true</Enabled></TransportLayer>\n"
              "  <TransportLayer name=\"tags.cti\"><PATH>/old</PATH><!-- note -->text<path>/p/tags.cti</path>"
              "<ENABLED>True</ENABLED></TransportLayer>\n"
              "  <TransportLayer name=\"none.cti\"><Path>/p/none.cti</Path></TransportLayer>\n"
              "  <TransportLayer><Path>/p/nameless.cti</Path><Enabled>True</Enabled></TransportLayer>\n"
              " </TransportLayerList>\n"
              "</TLSetting>\n");
    ZelTLPreferredList preferred(m_config);
    ZelTLSettingsFile store(m_config, &preferred);
    QString searchPath;
    QList<ZelTLSettingEntry> entries = {{QStringLiteral("first"), QStringLiteral("/f"), true}};
    QVERIFY(store.read(searchPath, entries));
    QCOMPARE(searchPath, QStringLiteral("/extra"));
    QCOMPARE(entries.size(), 5);
    QCOMPARE(entries.at(0).name, QStringLiteral("first"));
    QCOMPARE(entries.at(1).enabled, false); // "true" is not "True"
    QCOMPARE(entries.at(2).path, QStringLiteral("/p/tags.cti"));
    QCOMPARE(entries.at(2).enabled, true);
    QCOMPARE(entries.at(3).enabled, false);
    QCOMPARE(entries.at(4).name, QString());
    QCOMPARE(entries.at(4).path, QStringLiteral("/p/nameless.cti"));
}

void TestTLSettingsFile::emptySelectionIsKept()
{
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    const QByteArray empty = "<TLSetting>\n    <AdditionalSearchPath>/x</AdditionalSearchPath>\n"
                             "    <TransportLayerList/>\n</TLSetting>\n";
    writeText(m_config + QStringLiteral("/tl_settings.xml"), empty);
    ZelTLPreferredList preferred(m_config);
    ZelTLSettingsFile store(m_config, &preferred);
    QCOMPARE(readText(store.filePath()), empty);
    QString searchPath;
    QVERIFY(readEntries(store, &searchPath).isEmpty());
    QCOMPARE(searchPath, QStringLiteral("/x"));
}

void TestTLSettingsFile::badFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray list = "<TransportLayerList><TransportLayer name=\"a.cti\"><Path>/a.cti</Path>"
                            "<Enabled>True</Enabled></TransportLayer></TransportLayerList>";
    QTest::newRow("not well-formed") << QByteArray("<TLSetting><AdditionalSearchPath>");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("root in other case") << "<tlsetting><AdditionalSearchPath/>" + list + "</tlsetting>";
    QTest::newRow("other root") << "<TLSettings><AdditionalSearchPath/>" + list + "</TLSettings>";
    QTest::newRow("two search paths") << "<TLSetting><AdditionalSearchPath/><X><AdditionalSearchPath/></X>" + list
            + "</TLSetting>";
    QTest::newRow("no search path") << "<TLSetting>" + list + "</TLSetting>";
    QTest::newRow("no list") << QByteArray("<TLSetting><AdditionalSearchPath/></TLSetting>");
    QTest::newRow("two lists") << "<TLSetting><AdditionalSearchPath/>" + list + list + "</TLSetting>";
}

void TestTLSettingsFile::badFiles()
{
    QFETCH(QByteArray, content);
    const QString file = m_config + QStringLiteral("/tl_settings.xml");
    writeText(file, content);
    ZelTLPreferredList preferred(m_config);

    // Without producers the bad file stays, and reading it fails.
    {
        ZelTLSettingsFile store(m_config, &preferred);
        expectReadRefused(store);
    }
    // With producers the default replaces it.
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    ZelTLSettingsFile store(m_config, &preferred);
    const QList<ZelTLSettingEntry> entries = readEntries(store);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).name, QStringLiteral("orv_gev_tl.cti"));

    // A file spoilt while the viewer runs is refused by read.
    writeText(file, content);
    expectReadRefused(store);
}

void TestTLSettingsFile::foldersAreCreated()
{
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    const QString deep = m_dir->path() + QStringLiteral("/a/b/c");
    ZelTLPreferredList preferred(deep);
    QVERIFY(QFile::exists(deep + QStringLiteral("/tl_preferred.xml")));
    ZelTLSettingsFile store(deep, &preferred);
    QVERIFY(QFile::exists(deep + QStringLiteral("/tl_settings.xml")));
    QVERIFY(QDir(deep).removeRecursively());
    QVERIFY(store.save(QString(), {{QStringLiteral("n.cti"), QStringLiteral("/n.cti"), true}}));
    QVERIFY(QFile::exists(deep + QStringLiteral("/tl_settings.xml")));
}

void TestTLSettingsFile::failedSaveReportsFalse()
{
    // The configuration "folder" is a file: nothing can be written there.
    const QString blocked = m_dir->path() + QStringLiteral("/blocked");
    writeText(blocked, "x");
    makeProducers(m_cti, {"orv_gev_tl.cti"});
    ZelTLPreferredList preferred(blocked);
    QCOMPARE(preferred.entries().size(), 1);
    ZelTLSettingsFile store(blocked, &preferred);
    QVERIFY(!store.save(QString(), {}));
    QCOMPARE(readText(blocked), QByteArray("x"));

    // A save over an existing file replaces it whole and leaves no stray file.
    ZelTLSettingsFile good(m_config, &preferred);
    QVERIFY(good.save(QStringLiteral("/s"), {{QStringLiteral("n.cti"), QStringLiteral("/n.cti"), true}}));
    const QStringList files = QDir(m_config).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files, QStringList({QStringLiteral("tl_settings.xml")}));
}

void TestTLSettingsFile::preferredFileCreatedOnce()
{
    {
        ZelTLPreferredList preferred(m_config);
        QCOMPARE(preferred.entries().size(), 1);
    }
    const QString file = m_config + QStringLiteral("/tl_preferred.xml");
    const QByteArray text = readText(file);
    QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TLSettingPreferred"));
    QVERIFY(text.contains("xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""));
    QVERIFY(!text.contains("<TransportLayer"));

    // An existing file is read, never written.
    const QByteArray own = kPreferredHead
        + "    <TransportLayer><Vendor>V</Vendor><TLName>v.cti</TLName></TransportLayer>\n</TLSettingPreferred>\n";
    writeText(file, own);
    ZelTLPreferredList preferred(m_config);
    QCOMPARE(preferred.entries().size(), 2);
    QCOMPARE(readText(file), own);
}

void TestTLSettingsFile::badPreferredFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not well-formed") << QByteArray("<TLSettingPreferred><TransportLayer>");
    QTest::newRow("other root") << QByteArray(
        "<tlsettingpreferred><TransportLayer><Vendor>V</Vendor><TLName>v.cti</TLName></TransportLayer>"
        "</tlsettingpreferred>");
    QTest::newRow("empty") << QByteArray();
}

void TestTLSettingsFile::badPreferredFiles()
{
    QFETCH(QByteArray, content);
    writeText(m_config + QStringLiteral("/tl_preferred.xml"), content);
    ZelTLPreferredList preferred(m_config);
    QCOMPARE(preferred.entries().size(), 1);
    QCOMPARE(preferred.entries().at(0).tlName, QStringLiteral("coaxlink.cti"));
}

void TestTLSettingsFile::processWideObjects()
{
    // Both objects live in the viewer's configuration folder.
    qputenv("XDG_CONFIG_HOME", (m_dir->path() + QStringLiteral("/xdg")).toUtf8());
    makeProducers(m_cti, {"orv_gev_tl.cti", "coaxlink.cti"});
    ZelTLSettingsFile* store = ZelTLSettingsFile::instance();
    QCOMPARE(ZelTLSettingsFile::instance(), store);
    const QString folder = m_dir->path() + QStringLiteral("/xdg/NORRIK-OMBREL GmbH/Kalveen");
    QCOMPARE(store->filePath(), folder + QStringLiteral("/tl_settings.xml"));
    QCOMPARE(ZelTLPreferredList::instance()->filePath(), folder + QStringLiteral("/tl_preferred.xml"));
    QCOMPARE(ZelTLPreferredList::instance(), ZelTLPreferredList::instance());
    QCOMPARE(enabledByName(readEntries(*store)).value("coaxlink.cti"), true);
    qunsetenv("XDG_CONFIG_HOME");
}

void TestTLSettingsFile::producersMeetEntries()
{
    ORV_TL_INFO tl;
    memset(&tl, 0, sizeof tl);
    qstrcpy(tl.name, "orv_gev_tl.cti");
    qstrcpy(tl.fullPath, "/opt/cti//orv_gev_tl.cti");
    const QList<ZelTLSettingEntry> entries = {
        {QStringLiteral("orv_u3v_tl.cti"), QStringLiteral("/opt/cti/orv_u3v_tl.cti"), true},
        {QStringLiteral("orv_gev_tl.cti"), QStringLiteral("/opt/cti/orv_gev_tl.cti"), true},
    };
    QVERIFY(ZelTLSettingsFile::isEnabled(entries, tl));
    QVERIFY(!ZelTLSettingsFile::isEnabled({{QStringLiteral("orv_gev_tl.cti"), QStringLiteral("/opt/cti/orv_gev_tl.cti"), false}}, tl));
    QVERIFY(!ZelTLSettingsFile::isEnabled({}, tl));

    const ZelTLSettingEntry e = ZelTLSettingsFile::entryFor(tl, true);
    QCOMPARE(e.name, QStringLiteral("orv_gev_tl.cti"));
    QCOMPARE(e.path, QStringLiteral("/opt/cti//orv_gev_tl.cti"));
    QVERIFY(e.enabled);

    // A field filled to its last byte, without a terminator, is read no
    // further than the field.
    memset(tl.name, 'n', sizeof tl.name);
    tl.fullPath[0] = 'X';
    const ZelTLSettingEntry full = ZelTLSettingsFile::entryFor(tl, false);
    QCOMPARE(full.name, QString(int(sizeof tl.name), QLatin1Char('n')));
}

QTEST_MAIN(TestTLSettingsFile)
#include "tst_ZelTLSettingsFile.moc"
