#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QCoreApplication* application()
{
    static int argc = 1;
    static char name[] = "core_ZelUtil_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

void touch(const QString& path, const QDateTime& modified = QDateTime())
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
    file.close();
    if (modified.isValid()) {
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
    }
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(const char* name) : m_name(name), m_set(qEnvironmentVariableIsSet(name)),
        m_value(qgetenv(name)) {}
    ~EnvironmentGuard()
    {
        if (m_set)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_set;
    QByteArray m_value;
};

} // namespace

TEST(ZelUtilPath, NormalizeAndCompare)
{
    EXPECT_EQ(ZelUtil::NormalizePath(QStringLiteral("C:\\data\\\\cti")), QStringLiteral("C:/data/cti"));
    EXPECT_EQ(ZelUtil::NormalizePath(QStringLiteral("a//b")), QStringLiteral("a/b"));
    EXPECT_EQ(ZelUtil::NormalizePath(QStringLiteral("\\\\server\\share")), QStringLiteral("/server/share"));
    EXPECT_EQ(ZelUtil::NormalizePath(QStringLiteral("a///b")), QStringLiteral("a//b"));

    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"/opt/cti/x.cti", "/opt/cti/x.cti", true},
        {"/opt\\cti\\x.cti", "/opt//cti/x.cti", true},
        // File names are case-sensitive: different letter case, different file.
        {"C:\\Cti\\x.cti", "c:/cti/X.CTI", false},
        {"/opt/cti/x.cti", "/opt/cti/y.cti", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZelUtil::EqualPath(QLatin1String(c.a), QLatin1String(c.b)), c.equal) << c.a << " vs " << c.b;
}

TEST(ZelUtilPath, FindFileCountsAcrossFoldersAndSkipsEmptyEntries)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString first = root.path() + "/first";
    const QString second = root.path() + "/second";
    const QString work = root.path() + "/work";
    for (const QString& dir : {first, second, work})
        ASSERT_TRUE(QDir().mkpath(dir));
    for (const char* name : {"a.cti", "b.cti"})
        touch(first + "/" + name);
    for (const char* name : {"c.cti", "d.cti", "e.cti"})
        touch(second + "/" + name);
    touch(first + "/notes.txt");
    touch(work + "/stray.cti");

    // An empty entry must not list the working directory.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    const QString list = ";" + first + ";;" + second + ";";

    QStringList found;
    QString dirAndName, name;
    for (int i = 0; ZelUtil::FindFile(i, list, "*.cti", dirAndName, name); ++i) {
        EXPECT_EQ(dirAndName, QFileInfo(dirAndName).path() + "/" + name);
        found << dirAndName;
    }
    QDir::setCurrent(previous);

    ASSERT_EQ(found.size(), 5) << found.join(", ").toStdString();
    QStringList firstTwo = found.mid(0, 2), lastThree = found.mid(2);
    firstTwo.sort();
    lastThree.sort();
    EXPECT_EQ(firstTwo, QStringList({first + "/a.cti", first + "/b.cti"}));
    EXPECT_EQ(lastThree, QStringList({second + "/c.cti", second + "/d.cti", second + "/e.cti"}));

    dirAndName = "unchanged";
    name = "unchanged";
    EXPECT_FALSE(ZelUtil::FindFile(5, list, "*.cti", dirAndName, name));
    EXPECT_EQ(dirAndName, "unchanged");
    EXPECT_EQ(name, "unchanged");
    EXPECT_FALSE(ZelUtil::FindFile(0, QString(), "*.cti", dirAndName, name));
}

TEST(ZelUtilPath, GenTLSearchPath)
{
    application();
    EnvironmentGuard guard("GENICAM_GENTL32_PATH");
    const QString fallback = QCoreApplication::applicationDirPath() + "/cti";

    qunsetenv("GENICAM_GENTL32_PATH");
    EXPECT_EQ(ZelUtil::GetGenTLSearchPath(QString()), fallback);
    EXPECT_EQ(ZelUtil::GetGenTLSearchPath("/extra"), fallback + ";/extra");

    // Set but empty counts as unset.
    qputenv("GENICAM_GENTL32_PATH", "");
    EXPECT_EQ(ZelUtil::GetGenTLSearchPath(QString()), fallback);

    qputenv("GENICAM_GENTL32_PATH", "/a;/b");
    EXPECT_EQ(ZelUtil::GetGenTLSearchPath(QString()), "/a;/b");
    EXPECT_EQ(ZelUtil::GetGenTLSearchPath("/c"), "/a;/b;/c");
}

TEST(ZelUtilPath, TestDirWritable)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.path();
    touch(folder + "/plain.txt");

    EXPECT_TRUE(ZelUtil::TestDirWritable(folder));
    EXPECT_FALSE(QFileInfo::exists(folder + "/Empty.txt")) << "the probe file must be removed";
    EXPECT_FALSE(ZelUtil::TestDirWritable(folder + "/missing"));
    EXPECT_FALSE(ZelUtil::TestDirWritable(folder + "/plain.txt"));
    EXPECT_FALSE(ZelUtil::TestDirWritable(QString()));

    // A file named like the probe belongs to someone else: it stays.
    QFile existing(folder + "/Empty.txt");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    EXPECT_TRUE(ZelUtil::TestDirWritable(folder));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
    existing.close();

    if (geteuid() != 0) {
        const QString readOnly = folder + "/readonly";
        ASSERT_TRUE(QDir().mkpath(readOnly));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(ZelUtil::TestDirWritable(readOnly));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST(ZelUtilLogFiles, NameHasTheViewersFormAndNeverRepeats)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QRegularExpression form(QStringLiteral("^Kalveen_\\d{8}\\(\\d{6}\\)\\.log$"));

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const QString name = ZelUtil::FormatLogFileName(QString());
    EXPECT_TRUE(form.match(name).hasMatch()) << name.toStdString();
    EXPECT_TRUE(ZelUtil::IsLogFileName(name));
    const QDateTime stamp = QDateTime::fromString(name.mid(8, 16), "MMddyyyy(hhmmss)");
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));

    EXPECT_TRUE(ZelUtil::FormatLogFileName("Other").startsWith("Other_"));

    // Several names in one second, and a name already taken in the folder.
    QSet<QString> names;
    for (int i = 0; i < 5; ++i)
        names.insert(ZelUtil::FormatLogFileName(QString(), root.path()));
    EXPECT_EQ(names.size(), 5);
    const QString next = ZelUtil::FormatLogFileName(QString());
    touch(root.path() + "/" + QDateTime::fromString(next.mid(8, 16), "MMddyyyy(hhmmss)")
                                 .addSecs(1).toString("'Kalveen_'MMddyyyy(hhmmss)'.log'"));
    const QString skipped = ZelUtil::FormatLogFileName(QString(), root.path());
    EXPECT_FALSE(QFileInfo::exists(root.path() + "/" + skipped));
    EXPECT_NE(skipped, next);
}

TEST(ZelUtilLogFiles, NameRecognition)
{
    struct Case {
        const char* name;
        bool isLog;
    };
    const Case cases[] = {
        {"Kalveen_12312026(235959).log", true},
        {"Kalveen_01012026(000000).log", true},
        {"kalveen_01012026(000000).log", false},
        {"Kalveen_13012026(000000).log", false},
        {"Kalveen_01012026(250000).log", false},
        {"Kalveen_01012026(000000).log.log", false},
        {"MyKalveen_01012026(000000).log", false},
        {"KalveenTool.log", false},
        {"Kalveen_0101202(000000).log", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZelUtil::IsLogFileName(QLatin1String(c.name)), c.isLog) << c.name;
}

TEST(ZelUtilLogFiles, ExpiryRemovesOnlyTheOldestViewerLogs)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.path();
    const QDateTime base(QDate(2026, 3, 1), QTime(10, 0, 0));

    QStringList viewerLogs;
    for (int i = 0; i < 12; ++i) {
        const QDateTime when = base.addSecs(60 * i);
        const QString name = when.toString("'Kalveen_'MMddyyyy(hhmmss)'.log'");
        viewerLogs << name;
        touch(folder + "/" + name, when);
    }
    // Other programs' logs, older than all of the viewer's.
    const QStringList others = {"kalveen_03012026(090000).log", "KalveenTool.log", "other.log", "Kalveen.txt"};
    for (const QString& name : others)
        touch(folder + "/" + name, base.addSecs(-3600));

    ZelUtil::ExpireLogFiles(folder, 10);

    QStringList expected = viewerLogs.mid(3) + others;
    expected.sort();
    EXPECT_EQ(filesIn(folder), expected);

    // Nothing more to do; then keep 1 leaves none of the viewer's logs.
    ZelUtil::ExpireLogFiles(folder, 10);
    EXPECT_EQ(filesIn(folder), expected);
    ZelUtil::ExpireLogFiles(folder, 1);
    QStringList othersSorted = others;
    othersSorted.sort();
    EXPECT_EQ(filesIn(folder), othersSorted);

    ZelUtil::ExpireLogFiles(folder + "/missing", 10); // must not fail
}

TEST(ZelUtilLogFiles, EqualModificationTimesFallBackToTheNameTime)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDateTime modified(QDate(2026, 3, 1), QTime(12, 0, 0));
    const QStringList names = {"Kalveen_03012026(100002).log", "Kalveen_03012026(100000).log",
                               "Kalveen_03012026(100001).log"};
    for (const QString& name : names)
        touch(root.path() + "/" + name, modified);
    ZelUtil::ExpireLogFiles(root.path(), 2);
    EXPECT_EQ(filesIn(root.path()), QStringList{"Kalveen_03012026(100002).log"});
}

TEST(ZelUtilNames, Tables)
{
    EXPECT_EQ(ZelUtil::GetEventName(0x9000), "Sequence Done");
    EXPECT_EQ(ZelUtil::GetEventName(0x9004), "Frame Trigger");
    EXPECT_EQ(ZelUtil::GetEventName(0x9008), "Exposure End");
    EXPECT_EQ(ZelUtil::GetEventName(0x9009), "Unknown");

    EXPECT_EQ(ZelUtil::GetStatusName(0), "None");
    EXPECT_EQ(ZelUtil::GetStatusName(4), "Bandwidth exceeded");
    EXPECT_EQ(ZelUtil::GetStatusName(7), "Frame Incomplete");
    EXPECT_EQ(ZelUtil::GetStatusName(5), "Unknown");
    EXPECT_EQ(ZelUtil::GetStatusName(6), "Unknown");

    struct Case {
        const char* type;
        const char* name;
        bool known;
    };
    const Case cases[] = {
        {"GEV", "GigE Vision", true},      {"cl", "Camera Link", true},     {"IIDC", "IIDC 1394", true},
        {"UVC", "USB Video Class", true},  {"CXP", "CoaXPress", true},      {"CLHS", "Camera Link HS", true},
        {"u3v", "USB3 Vision", true},      {"ethernet", "Generic Ethernet", true},
        {"PCI", "PCI/PCIe", true},         {"Mixed", "Mixed", true},        {"GenTL", "Custom", false},
        {"USB", "Custom", false},          {"", "Custom", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZelUtil::GetTLTypeName(QLatin1String(c.type)), QLatin1String(c.name)) << c.type;
        EXPECT_EQ(ZelUtil::IsTLType(QLatin1String(c.type)), c.known) << c.type;
    }
}

TEST(ZelUtilNames, RepresentationOverride)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QSettings store(root.path() + "/settings.ini", QSettings::IniFormat);
    store.setValue("Feature.Representation/GevCurrentIPAddress", 5);
    store.setValue("Feature.Representation/GevMACAddress", "6");
    EXPECT_EQ(ZelUtil::GetRepresentation(&store, "GevCurrentIPAddress"), 5);
    EXPECT_EQ(ZelUtil::GetRepresentation(&store, "GevMACAddress"), 6);
    EXPECT_EQ(ZelUtil::GetRepresentation(&store, "Width"), 7);
    EXPECT_EQ(ZelUtil::GetRepresentation(nullptr, "Width"), 7);
}
