#include "SimSdk.h"
#include "ZelDialogs.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

const QString binDir = QStringLiteral(SUITE_BIN_DIR);
const QString noStreamGetInfoDir = binDir + "/variants/no-streamgetinfo";
const QString noEventGetInfoDir = binDir + "/variants/no-eventgetinfo";
const QString failureText = QStringLiteral("Failed to load SDK !     ");

int boundRows()
{
    int count = 0;
    for (int row = 1; row <= ORV_SDK_FUNCTION_COUNT; ++row)
        count += ZelSdkLoader::isBound(row) ? 1 : 0;
    return count;
}

class ZelSdkLoaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "core_ZelSdkLoader_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        m_savedFolder = qgetenv("NORRIK_SDK_BIN_32");
        for (const char* name : {"NORRIK_GENICAM_ROOT", "NORRIK_GENICAM_CACHE", "NORRIK_GENICAM_CLPROTOCOL"})
            qunsetenv(name);
        useFolder(binDir);
    }

    void TearDown() override
    {
        loader()->close();
        qputenv("NORRIK_SDK_BIN_32", m_savedFolder);
    }

    static void useFolder(const QString& folder) { qputenv("NORRIK_SDK_BIN_32", folder.toUtf8()); }
    static ZelSdkLoader* loader() { return ZelSdkLoader::instance(); }

    ZelDialogs::Script dialogs;

private:
    QByteArray m_savedFolder;
};

} // namespace

TEST_F(ZelSdkLoaderTest, WithoutFolderNothingLoads)
{
    qunsetenv("NORRIK_SDK_BIN_32");
    EXPECT_EQ(ZelSdkLoader::load(), ORV_ERROR_LIBRARY_MISSING);
    EXPECT_FALSE(loader()->init(QString()));
    EXPECT_FALSE(loader()->isInitialised());

    ASSERT_EQ(dialogs.count(), 1);
    const ZelDialogs::Request box = dialogs.last();
    EXPECT_EQ(box.kind, ZelDialogs::Kind::Message);
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_FALSE(box.hasParent);
    EXPECT_TRUE(box.title.isEmpty());
    EXPECT_EQ(box.text, failureText);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    EXPECT_EQ(boundRows(), 0);
    uint32_t count = 7;
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_ERROR_FUNCTION_MISSING);
    EXPECT_EQ(count, 7u);

    // An empty folder or one too long for a path fails the same way.
    useFolder(QString());
    EXPECT_EQ(ZelSdkLoader::load(), ORV_ERROR_LIBRARY_MISSING);
    useFolder("/" + QString(5000, 'd'));
    EXPECT_EQ(ZelSdkLoader::load(), ORV_ERROR_LIBRARY_MISSING);
    useFolder(binDir + "/no-such-folder");
    EXPECT_EQ(ZelSdkLoader::load(), ORV_ERROR_LIBRARY_MISSING);
}

TEST_F(ZelSdkLoaderTest, BindsTheSimulatedSdk)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    EXPECT_TRUE(loader()->isInitialised());
    EXPECT_EQ(dialogs.count(), 0);
    EXPECT_EQ(boundRows(), ORV_SDK_FUNCTION_COUNT);

    uint32_t count = 0;
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_SUCCESS);
    const std::string info = sim.reply("lib.info");
    EXPECT_EQ(simField(info, "initialised"), "1");
    EXPECT_EQ(simField(info, "searchPath"), SUITE_CTI_DIR);

    // A second init neither asks the SDK nor tells the operator.
    sim.reply("log.calls on");
    sim.reply("log.calls.clear");
    EXPECT_FALSE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    EXPECT_TRUE(loader()->isInitialised());
    EXPECT_EQ(dialogs.count(), 0);
    EXPECT_EQ(sim.reply("log.calls.get").find("OrvLibInit"), std::string::npos);

    loader()->close();
    EXPECT_FALSE(loader()->isInitialised());
    EXPECT_EQ(simField(sim.reply("lib.info"), "initialised"), "0");
    EXPECT_EQ(boundRows(), 0);
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_ERROR_FUNCTION_MISSING);
    EXPECT_EQ(OrvEventKill(0, 0), ORV_ERROR_FUNCTION_MISSING);

    // Closing again changes nothing; a new init binds again.
    loader()->close();
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_SUCCESS);
}

TEST_F(ZelSdkLoaderTest, GenICamFoldersAndSearchPathReachTheSdk)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString searchPath = QString::fromUtf8("/opt/pr\xC3\xBC" "fung/cti;") + SUITE_CTI_DIR;

    ASSERT_TRUE(loader()->init(searchPath));
    std::string info = sim.reply("lib.info");
    EXPECT_EQ(simField(info, "searchPath"), searchPath.toStdString());
    EXPECT_EQ(simField(info, "genicamRoot"), (appDir + "/GeniCam").toStdString());
    EXPECT_EQ(simField(info, "genicamCache"), (appDir + "/cache").toStdString());
    EXPECT_EQ(simField(info, "clProtocol"), (appDir + "/CLProtocol").toStdString());
    loader()->close();

    qputenv("NORRIK_GENICAM_ROOT", "/g/root");
    qputenv("NORRIK_GENICAM_CACHE", "/g/cache");
    qputenv("NORRIK_GENICAM_CLPROTOCOL", "/g/clp");
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    info = sim.reply("lib.info");
    EXPECT_EQ(simField(info, "genicamRoot"), "/g/root");
    EXPECT_EQ(simField(info, "genicamCache"), "/g/cache");
    EXPECT_EQ(simField(info, "clProtocol"), "/g/clp");
}

TEST_F(ZelSdkLoaderTest, InitFailureTellsTheOperatorAndBindsNothing)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {-2008, "Failed to load Genicam !   "},
        {-2009, "Invalid Genicam cache dir !   "},
        {-1004, "Failed to load SDK: Resource in use !    "},
        {-1003, "Failed to load SDK !     "},
        {-1, "Failed to load SDK !     "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        dialogs.clear();
        sim.reply("lib.init.fail " + std::to_string(c.code));
        EXPECT_FALSE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
        EXPECT_FALSE(loader()->isInitialised());
        ASSERT_EQ(dialogs.count(), 1);
        EXPECT_EQ(dialogs.last().text, QLatin1String(c.text));
        EXPECT_TRUE(dialogs.last().title.isEmpty());

        // No call reaches the uninitialised SDK.
        EXPECT_EQ(boundRows(), 0);
        uint32_t count = 0;
        EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_ERROR_FUNCTION_MISSING);
        EXPECT_EQ(ZelTrace(ZEL_TRACE_ERROR, "%s", "dropped"), ORV_ERROR_FUNCTION_MISSING);

        // Closing an SDK that never initialised changes nothing.
        loader()->close();
        EXPECT_EQ(boundRows(), 0);
    }

    // The next init uses the library already loaded and succeeds.
    dialogs.clear();
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    EXPECT_EQ(dialogs.count(), 0);
    EXPECT_EQ(boundRows(), ORV_SDK_FUNCTION_COUNT);
}

TEST_F(ZelSdkLoaderTest, LibraryWithoutOptionalStreamInfoLoads)
{
    useFolder(noStreamGetInfoDir);
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    EXPECT_EQ(dialogs.count(), 0);
    EXPECT_FALSE(ZelSdkLoader::isBound(ORV_SDK_OPTIONAL_ROW));
    EXPECT_EQ(boundRows(), ORV_SDK_FUNCTION_COUNT - 1);

    ORV_DS_INFO info = {};
    EXPECT_EQ(OrvStreamGetInfo(1, &info), ORV_ERROR_FUNCTION_MISSING);
    uint32_t count = 0;
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_SUCCESS);
}

TEST_F(ZelSdkLoaderTest, LibraryMissingAnyOtherFunctionIsFreed)
{
    useFolder(noEventGetInfoDir);
    EXPECT_EQ(ZelSdkLoader::load(), ORV_ERROR_LIBRARY_MISSING);
    EXPECT_EQ(boundRows(), 0);

    // Each attempt loads again and fails again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        dialogs.clear();
        EXPECT_FALSE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
        ASSERT_EQ(dialogs.count(), 1);
        EXPECT_EQ(dialogs.last().text, failureText);
        EXPECT_EQ(boundRows(), 0);
    }

    // The complete library loads afterwards.
    useFolder(binDir);
    EXPECT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
}

TEST_F(ZelSdkLoaderTest, TraceReachesTheLogUnchanged)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    sim.reply("log.trace on");
    sim.reply("log.trace.clear");

    EXPECT_EQ(ZelTrace(ZEL_TRACE_ERROR, "%s Failed! folder:%s", "ZelTest::run", "/data/%d%s%n"), ORV_SUCCESS);
    EXPECT_EQ(ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", "ZelDiscoveryThread::run"), ORV_SUCCESS);
    const std::string longValue(20000, 'v');
    ZelTrace(ZEL_TRACE_INFO, "%s value:%s", "ZelTest::run", longValue.c_str());

    const QStringList lines = QString::fromStdString(sim.reply("log.trace.get")).split('\n');
    QStringList kalveenLines;
    for (const QString& line : lines) {
        if (line.startsWith("[Kalveen2]"))
            kalveenLines << line;
    }
    ASSERT_EQ(kalveenLines.size(), 3) << lines.join("\n").toStdString();
    EXPECT_EQ(kalveenLines[0], "[Kalveen2] 0x2 ZelTest::run Failed! folder:/data/%d%s%n");
    EXPECT_EQ(kalveenLines[1], "[Kalveen2] 0x20 ZelDiscoveryThread::run Entry!");
    const QString prefix = "[Kalveen2] 0x8 ";
    ASSERT_TRUE(kalveenLines[2].startsWith(prefix + "ZelTest::run value:vvv"));
    EXPECT_EQ(kalveenLines[2].size() - prefix.size(), int(ZEL_TRACE_MAX_LENGTH));
}

TEST_F(ZelSdkLoaderTest, ConcurrentTracesStayWhole)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));
    sim.reply("log.trace on");
    sim.reply("log.trace.clear");

    const int threadCount = 4;
    const int linesPerThread = 200;
    const std::string padding(500, '.');
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < linesPerThread; ++i)
                ZelTrace(ZEL_TRACE_INFO, "%s thread %d line %d %s end", "ZelTest::worker", t, i, padding.c_str());
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const QRegularExpression whole(QStringLiteral("^\\[Kalveen2\\] 0x8 ZelTest::worker thread (\\d) line (\\d+) \\.{500} end$"));
    QSet<QString> seen;
    const QStringList lines = QString::fromStdString(sim.reply("log.trace.get")).split('\n');
    for (const QString& line : lines) {
        if (!line.startsWith("[Kalveen2]"))
            continue;
        const QRegularExpressionMatch match = whole.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.left(200).toStdString();
        seen.insert(match.captured(1) + "/" + match.captured(2));
    }
    EXPECT_EQ(seen.size(), threadCount * linesPerThread);
}

// The rows are read by worker threads while the GUI thread rewrites them.
// The control handle keeps the library mapped across each close.
TEST_F(ZelSdkLoaderTest, ThreadsTraceWhileTheSdkIsReloaded)
{
    SimControl sim(binDir);
    ASSERT_TRUE(sim.valid());
    ASSERT_TRUE(loader()->init(QStringLiteral(SUITE_CTI_DIR)));

    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            while (!stop.load()) {
                if (ZelTrace(ZEL_TRACE_DEBUG, "%s thread %d", "ZelTest::worker", t) == ORV_SUCCESS)
                    written.fetch_add(1);
                uint32_t count = 0;
                const int rc = OrvLibSystemGetCount(&count);
                EXPECT_TRUE(rc == ORV_SUCCESS || rc == ORV_ERROR_FUNCTION_MISSING || rc == ORV_ERROR_NOT_INITIALISED)
                    << rc;
            }
        });
    }
    // At least twenty reloads, and on until the workers got lines through.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int i = 0; i < 20 || (written.load() < 100 && std::chrono::steady_clock::now() < deadline); ++i) {
        loader()->close();
        if (!loader()->init(QStringLiteral(SUITE_CTI_DIR))) {
            ADD_FAILURE() << "reload " << i << " failed";
            break;
        }
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_GT(written.load(), 0);
}
