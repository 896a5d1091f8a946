#include "PellagoTestSupport.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace pellagotest;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hexHandle(void* handle)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIXPTR, reinterpret_cast<uintptr_t>(handle));
    return text;
}

class CameraLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pellago-log-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(openCamera(&camera, kLoopback, 40100), 0);
    }
    void TearDown() override
    {
        closeCamera(camera);
        std::system(("rm -rf " + dir).c_str());
    }

    std::string dir;
    void* camera = nullptr;
    FakeClock fake;
    ClockScope scope{&fake};
    LineSink sink;
};

}  // namespace

TEST_F(CameraLog, BannerCarriesThePrefixAndLevelFourAddsTheRegisteredLine)
{
    const std::string file = dir + "/cam.log";
    fake.now = 5000;
    ASSERT_EQ(registerMessageCallback(camera, 4, file.c_str(), &LineSink::callback, &sink), 0);
    const std::vector<std::string> expected = {
        "00:00:00.000.000  --------OrvGigE Log 2026-12-10 19:42:05--------",
        "00:00:00.000.000  --> Logfile registered for camera [" + hexHandle(camera) + "]",
    };
    EXPECT_EQ(sink.take(), expected);
    EXPECT_EQ(readFile(file), "\n" + expected[0] + "\n" + expected[1]);
}

TEST_F(CameraLog, LevelZeroWritesOnlyTheBanner)
{
    ASSERT_EQ(registerMessageCallback(camera, 0, nullptr, &LineSink::callback, &sink), 0);
    const auto lines = sink.take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("--------OrvGigE Log "), std::string::npos);
}

TEST_F(CameraLog, ElapsedTimeIsSplitIntoHoursMinutesSecondsMillisAndMicros)
{
    ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, &LineSink::callback, &sink), 0);
    sink.take();
    struct Case {
        int64_t ticks;
        const char* prefix;
    };
    // One tick is a microsecond; hours do not wrap at 24.
    for (const Case& c : {Case{1, "00:00:00.000.001  "}, Case{61234567, "00:01:01.234.567  "},
                          Case{int64_t(90000) * 1000000 + 5, "25:00:00.000.005  "}}) {
        fake.now = c.ticks;
        pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "x%d", 1);
        const auto lines = sink.take();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], std::string(c.prefix) + "x1");
    }
    fake.ticksPerSecond = 0;
    pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "zero");
    EXPECT_EQ(sink.take(), std::vector<std::string>{"00:00:00.000.000  zero"});
}

TEST_F(CameraLog, LinesAboveTheLevelAndWithoutARecordAreNotWritten)
{
    ASSERT_EQ(registerMessageCallback(camera, 3, nullptr, &LineSink::callback, &sink), 0);
    sink.take();
    auto record = pellago::findCamera(camera);
    pellago::writeCameraLog(4, record.get(), "hidden");
    pellago::writeCameraLog(3, record.get(), "shown");
    pellago::writeCameraLog(1, nullptr, "nowhere");
    EXPECT_EQ(sink.take(), std::vector<std::string>{"00:00:00.000.000  shown"});
}

TEST_F(CameraLog, LongMessageIsCutAtTheLineLimit)
{
    const std::string file = dir + "/long.log";
    ASSERT_EQ(registerMessageCallback(camera, 4, file.c_str(), &LineSink::callback, &sink), 0);
    sink.take();
    const std::string longText(600, 'a');
    pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "%s", longText.c_str());
    const auto lines = sink.take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 255u);  // 256 with the line break
    EXPECT_EQ(lines[0], "00:00:00.000.000  " + std::string(255 - 18, 'a'));
    const std::string content = readFile(file);
    EXPECT_EQ(content.substr(content.rfind('\n')), "\n" + lines[0]);
}

TEST_F(CameraLog, EmptyAndMissingMessages)
{
    const std::string file = dir + "/empty.log";
    ASSERT_EQ(registerMessageCallback(camera, 4, file.c_str(), &LineSink::callback, &sink), 0);
    sink.take();
    const std::string before = readFile(file);
    auto record = pellago::findCamera(camera);
    pellago::writeCameraLog(4, record.get(), "%s", "");
    const char* noFormat = nullptr;
    pellago::writeCameraLog(4, record.get(), noFormat);
    const std::vector<std::string> expected = {"   ", "00:00:00.000.000  Log message (failed: format string missing)"};
    EXPECT_EQ(sink.take(), expected);
    EXPECT_EQ(readFile(file), before + "    \n" + expected[1]);
}

TEST_F(CameraLog, FileNameOf1024CharactersGivesNoFileButTheCallback)
{
    for (size_t length : {1024u, 1500u}) {
        std::string name = dir + "/";
        name += std::string(length - name.size(), 'n');
        ASSERT_EQ(registerMessageCallback(camera, 4, name.c_str(), &LineSink::callback, &sink), 0);
        pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "still here");
        const auto lines = sink.take();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "00:00:00.000.000  still here");
        EXPECT_EQ(pellago::findCamera(camera)->logFileName, "");
    }
    EXPECT_EQ(std::system(("test -z \"$(ls -A " + dir + ")\"").c_str()), 0);
}

TEST_F(CameraLog, ReRegisteringKeepsTheTimeBaseAndAppendsToTheNewFile)
{
    const std::string first = dir + "/first.log";
    const std::string second = dir + "/second.log";
    { std::ofstream(second) << "old content"; }
    fake.now = 1000000;
    ASSERT_EQ(registerMessageCallback(camera, 4, first.c_str(), &LineSink::callback, &sink), 0);
    fake.now = 6000000;
    ASSERT_EQ(registerMessageCallback(camera, 5, second.c_str(), &LineSink::callback, &sink), 0);
    pellago::writeCameraLog(5, pellago::findCamera(camera).get(), "after");

    const auto lines = sink.take();
    ASSERT_EQ(lines.size(), 3u);  // banner, registered, then no second banner
    EXPECT_EQ(lines[2], "00:00:05.000.000  after");
    EXPECT_EQ(readFile(second), "old content\n00:00:05.000.000  after");
    EXPECT_EQ(readFile(first).find("after"), std::string::npos);
}

TEST_F(CameraLog, TurningTheLogOffWritesTheClosingLines)
{
    ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, &LineSink::callback, &sink), 0);
    sink.take();
    ASSERT_EQ(registerMessageCallback(camera, 0, nullptr, &LineSink::callback, &sink), 0);
    const std::vector<std::string> expected = {
        "00:00:00.000.000  --> Closing logfile for camera [" + hexHandle(camera) + "]", "   "};
    EXPECT_EQ(sink.take(), expected);
    pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "off");
    EXPECT_TRUE(sink.take().empty());
}

TEST_F(CameraLog, CloseWritesItsLineAndClosesTheFile)
{
    const std::string file = dir + "/close.log";
    ASSERT_EQ(registerMessageCallback(camera, 4, file.c_str(), nullptr, nullptr), 0);
    void* handle = camera;
    ASSERT_EQ(closeCamera(camera), 0);
    camera = nullptr;
    const std::string content = readFile(file);
    EXPECT_EQ(content.substr(content.rfind('\n')),
              "\n00:00:00.000.000  --> Camera connection closed [" + hexHandle(handle) + "]");
}

// The callback may call the library again: the log lock is recursive.
TEST_F(CameraLog, CallbackMayReRegisterFromInsideALine)
{
    struct Reentry {
        void* camera;
        int calls = 0;
    } reentry{camera};
    auto callback = [](const char*, void* context) {
        auto* r = static_cast<Reentry*>(context);
        if (++r->calls == 3)
            registerMessageCallback(r->camera, 4, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, callback, &reentry), 0);
    pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "third");
    pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "fourth");
    EXPECT_EQ(reentry.calls, 5);  // banner, registered, third, then the closing pair
}
