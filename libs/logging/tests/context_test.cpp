// The context's life, the module registry, the sinks and the queue bound.
#include "JotwellTestSupport.h"

#include "../src/JotwellThread.h"

#include <dlfcn.h>
#include <sys/wait.h>

namespace {

TEST(Exports, SevenEntryPointsCanBeLoadedByName)
{
    const std::string path = std::string(SUITE_BIN_DIR) + "/libJotwell.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : {"OrvLInit", "OrvLClose", "OrvLRegisterModule", "OrvLEnableFileLogging",
                             "OrvLEnableWindbg", "OrvLSetGlobalDebugLevel", "OrvLTraceA"})
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    EXPECT_EQ(dlsym(library, "formatLogLine"), nullptr) << "internals must stay hidden";
    dlclose(library);
}

TEST(Context, EveryExportWithoutContextFailsOrDoesNothing)
{
    TempDir dir;
    StderrCapture err(dir.file("stderr.txt"));
    OrvLClose();
    EXPECT_FALSE(OrvLRegisterModule("M", 2));
    EXPECT_FALSE(OrvLEnableFileLogging(true, dir.file("log.txt").c_str()));
    EXPECT_FALSE(OrvLEnableWindbg(true));
    OrvLSetGlobalDebugLevel(0xFFFFFFFFu);
    trace("M", 2, "lost");
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(access(dir.file("log.txt").c_str(), F_OK), -1);
}

TEST(Context, SecondInitAddsAReferenceAndSecondCloseEnds)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    initFileOnly(path);
    ASSERT_TRUE(OrvLInit());
    OrvLClose();
    trace("M", 3, "still on");
    EXPECT_TRUE(OrvLRegisterModule("M", 2));
    OrvLClose();
    trace("M", 3, "after end");
    EXPECT_FALSE(OrvLRegisterModule("N", 2));
    EXPECT_EQ(readFile(path), "still on\r\n");
}

TEST(Context, InitAfterEndStartsFresh)
{
    TempDir dir;
    const std::string first = dir.file("first.txt");
    initFileOnly(first);
    ASSERT_TRUE(OrvLRegisterModule("M", 2));
    OrvLClose();

    StderrCapture err(dir.file("stderr.txt"));
    ASSERT_TRUE(OrvLInit());
    EXPECT_TRUE(OrvLRegisterModule("M", 8)) << "modules are forgotten";
    trace("M", 8, "info stopped by mask 3");
    trace("M", 2, "error stopped by module");
    trace("X", 2, "to stderr");
    OrvLClose();
    const std::string text = err.text();
    const std::vector<std::string> lines = splitLines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(matchesWithTime(lines.back(), "[X] @T [ERROR] to stderr")) << text;
    EXPECT_EQ(text.find("stopped"), std::string::npos) << text;
    EXPECT_EQ(readFile(first), "") << "the new context has no file";
}

TEST(Context, ExitWithoutCloseWritesQueuedLines)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!OrvLInit() || !OrvLEnableWindbg(false) || !OrvLEnableFileLogging(true, path.c_str()))
            _exit(2);
        for (int i = 0; i < 5000; ++i)
            trace(nullptr, 3, "line %d", i);
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> lines = splitLines(readFile(path));
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines.back(), "line 4999");
}

TEST(Registry, NamesAreUniqueIgnoringCase)
{
    ASSERT_TRUE(OrvLInit());
    EXPECT_TRUE(OrvLRegisterModule("OrvCLProtocol", 0xFFFFFFFFu));
    EXPECT_FALSE(OrvLRegisterModule("ORVCLPROTOCOL", 2));
    EXPECT_FALSE(OrvLRegisterModule("orvclprotocol", 2));
    EXPECT_TRUE(OrvLRegisterModule("OrvCLProtocol2", 2));
    EXPECT_TRUE(OrvLRegisterModule("", 2));
    EXPECT_FALSE(OrvLRegisterModule(nullptr, 2));
    OrvLClose();
}

TEST(Sinks, DebuggerOutputGoesToStandardErrorAfterTheBanner)
{
    TempDir dir;
    StderrCapture err(dir.file("stderr.txt"));
    ASSERT_TRUE(OrvLInit());
    trace("Cam", 2, "first");
    ASSERT_TRUE(OrvLEnableWindbg(false));
    trace("Cam", 2, "hidden");
    ASSERT_TRUE(OrvLEnableWindbg(true));
    trace("Cam", 2, "second");
    OrvLClose();

    char exe[260] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string dashes(56, '-');
    const std::string banner = dashes + "\r\nModuleFileName:" + exe + "\r\n" + dashes + "\r\n";
    const std::string text = err.text();
    ASSERT_EQ(text.compare(0, banner.size(), banner), 0) << text;
    // "hidden" waited for a sink and came out when the output was back on.
    const std::vector<std::string> lines = splitLines(text.substr(banner.size()));
    ASSERT_EQ(lines.size(), 3u) << text;
    const char* messages[] = {"first", "hidden", "second"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(matchesWithTime(lines[i], std::string("[Cam] @T [ERROR] ") + messages[i]))
            << lines[i];
}

TEST(Sinks, FileIsEmptiedWhenSwitchedOn)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    writeFile(path, "old content\r\n");
    initFileOnly(path);
    trace("M", 3, "new");
    OrvLClose();
    EXPECT_EQ(readFile(path), "new\r\n");
}

TEST(Sinks, FileThatCannotBeCreatedLeavesFileOutputOff)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    StderrCapture err(dir.file("stderr.txt"));
    initFileOnly(path);
    trace("M", 3, "kept");
    ASSERT_TRUE(OrvLEnableWindbg(true));
    EXPECT_FALSE(OrvLEnableFileLogging(true, dir.file("missing/log.txt").c_str()));
    EXPECT_FALSE(OrvLEnableFileLogging(true, nullptr));
    EXPECT_FALSE(OrvLEnableFileLogging(true, ""));
    trace("M", 3, "not in the file");
    OrvLClose();
    EXPECT_EQ(readFile(path), "kept\r\n");
    EXPECT_NE(err.text().find("not in the file\r\n"), std::string::npos);
}

TEST(Sinks, SwitchingOffClosesTheFile)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    initFileOnly(path);
    trace("M", 3, "one");
    EXPECT_TRUE(OrvLEnableFileLogging(false, nullptr));
    trace("M", 3, "two");
    ASSERT_TRUE(OrvLEnableFileLogging(true, dir.file("other.txt").c_str()));
    trace("M", 3, "three");
    OrvLClose();
    // "two" waited without a sink and went to the file switched on after it.
    EXPECT_EQ(readFile(path), "one\r\n");
    EXPECT_EQ(readFile(dir.file("other.txt")), "two\r\nthree\r\n");
}

TEST(Sinks, LinesQueuedWithoutSinkAreWrittenWhenOneIsSwitchedOn)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    ASSERT_TRUE(OrvLInit());
    ASSERT_TRUE(OrvLEnableWindbg(false));
    trace("M", 2 | 1, "waiting");
    ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    // Written without a further line and without closing.
    for (int i = 0; i < 500 && readFile(path).empty(); ++i)
        usleep(10000);
    EXPECT_EQ(readFile(path), "waiting\r\n");
    OrvLClose();
}

struct BoundCase {
    const char* name;
    std::size_t lineLength;
    std::size_t lines;
};

void PrintTo(const BoundCase& c, std::ostream* out)
{
    *out << c.name;
}


class QueueBound : public testing::TestWithParam<BoundCase> {};

// Numbered lines of a fixed length (with "\r\n").
std::string numberedText(std::size_t number, std::size_t length)
{
    std::string text = std::to_string(number) + " ";
    text.resize(length - 2, 'p');
    return text;
}

TEST_P(QueueBound, DropsTheOldestLinesWhileNoSinkIsOn)
{
    const BoundCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("log.txt");
    ASSERT_TRUE(OrvLInit());
    ASSERT_TRUE(OrvLEnableWindbg(false));
    for (std::size_t i = 0; i < c.lines; ++i)
        trace(nullptr, 3, "%s", numberedText(i, c.lineLength).c_str());
    ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    OrvLClose();

    const std::size_t kept = std::min(JotwellThread::kMaxQueuedLines,
                                      JotwellThread::kMaxQueuedBytes / c.lineLength);
    ASSERT_LT(kept, c.lines);
    const std::vector<std::string> lines = splitLines(readFile(path));
    ASSERT_EQ(lines.size(), kept + 1);
    EXPECT_TRUE(matchesWithTime(lines[0], "[Jotwell] @T [WARNING] " + std::to_string(c.lines - kept)
                                              + " lines dropped: the queue was full"))
        << lines[0];
    for (std::size_t i = 0; i < kept; ++i)
        ASSERT_EQ(lines[i + 1], numberedText(c.lines - kept + i, c.lineLength)) << i;
}

INSTANTIATE_TEST_SUITE_P(Bounds, QueueBound,
                         testing::Values(BoundCase{"ByLineCount", 40, JotwellThread::kMaxQueuedLines + 123},
                                         BoundCase{"ByBytes", 8000, (JotwellThread::kMaxQueuedBytes / 8000) + 77}),
                         [](const testing::TestParamInfo<BoundCase>& info) { return std::string(info.param.name); });

} // namespace
