// Many callers at once, file switches under load, and the last close.
#include "JotwellTestSupport.h"

#include <atomic>
#include <map>
#include <cstdio>
#include <thread>

namespace {

// Each line is "[T<thread>] <time> [INFO] <thread> <number> <padding>|",
// the padding up to 200 "x".
bool parseLine(const std::string& line, int& thread, int& number)
{
    int module = -1;
    int at = 0;
    if (std::sscanf(line.c_str(), "[T%d] %n", &module, &at) != 1 || at == 0)
        return false;
    std::size_t pos = static_cast<std::size_t>(at);
    if (!timeAt(line, pos) || line.compare(pos + 19, 8, " [INFO] ") != 0)
        return false;
    pos += 27;
    int used = 0;
    if (std::sscanf(line.c_str() + pos, "%d %d %n", &thread, &number, &used) != 2 || used == 0)
        return false;
    pos += static_cast<std::size_t>(used);
    const std::size_t bar = line.find_first_not_of('x', pos);
    return module == thread && bar == line.size() - 1 && line[bar] == '|' && bar - pos <= 200
           && line.compare(pos - 1, 1, " ") == 0;
}

void traceNumbered(int thread, int number)
{
    const std::string module = "T" + std::to_string(thread);
    trace(module.c_str(), 8, "%d %d %.*s|", thread, number, (number * 37) % 200,
          "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
          "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
}

// Checks that every line is whole and that each (thread, number) appears
// at most once, in order within each file; returns the count per thread.
std::map<int, int> checkFiles(const std::vector<std::string>& paths)
{
    std::map<std::pair<int, int>, int> seen;
    std::map<int, int> perThread;
    for (const std::string& path : paths) {
        const std::string text = readFile(path);
        if (!text.empty()) {
            EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << path << " ends inside a line";
        }
        std::map<int, int> last;
        for (const std::string& line : splitLines(text)) {
            int thread = -1;
            int number = -1;
            if (!parseLine(line, thread, number)) {
                ADD_FAILURE() << "mixed or broken line in " << path << ": " << line;
                continue;
            }
            EXPECT_EQ(++seen[std::make_pair(thread, number)], 1) << "line " << thread << "/" << number << " twice";
            auto previous = last.find(thread);
            if (previous != last.end()) {
                EXPECT_LT(previous->second, number) << "out of order in " << path;
            }
            last[thread] = number;
            ++perThread[thread];
        }
    }
    return perThread;
}

TEST(Threads, ManyCallersEveryLineExactlyOnceAndWhole)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 2000;
    TempDir dir;
    const std::string path = dir.file("log.txt");
    initFileOnly(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                traceNumbered(t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
    OrvLClose();

    const std::map<int, int> perThread = checkFiles({path});
    ASSERT_EQ(perThread.size(), static_cast<std::size_t>(kThreads));
    for (const auto& entry : perThread)
        EXPECT_EQ(entry.second, kLines) << "thread " << entry.first;
}

TEST(Threads, FileSwitchUnderLoadLosesNoLine)
{
    constexpr int kThreads = 4;
    constexpr int kSwitches = 20;
    // Callers keep tracing while the file switches, but never more than a
    // budget of lines per file, so the queue bound is never reached; each
    // switch waits for a share of lines traced after the one before.
    constexpr int kBudget = 400;
    constexpr int kShare = 200;
    TempDir dir;
    std::vector<std::string> paths{dir.file("log0.txt")};
    initFileOnly(paths[0]);
    std::atomic<bool> stop{false};
    std::atomic<int> sinceSwitch{0};
    std::vector<int> traced(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &stop, &sinceSwitch, &traced] {
            int i = 0;
            while (!stop.load()) {
                if (sinceSwitch.load() >= kBudget) {
                    std::this_thread::yield();
                    continue;
                }
                traceNumbered(t, i++);
                sinceSwitch.fetch_add(1);
            }
            traced[t] = i;
        });
    auto waitForShare = [&sinceSwitch] {
        while (sinceSwitch.load() < kShare)
            std::this_thread::yield();
    };
    for (int s = 1; s <= kSwitches; ++s) {
        waitForShare();
        paths.push_back(dir.file("log" + std::to_string(s) + ".txt"));
        ASSERT_TRUE(OrvLEnableFileLogging(true, paths.back().c_str()));
        sinceSwitch.store(0);
    }
    waitForShare();
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    OrvLClose();

    std::map<int, int> perThread = checkFiles(paths);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(perThread[t], traced[t]) << "thread " << t;
    // Lines traced after a switch reach the file it opened.
    for (const std::string& path : paths)
        EXPECT_FALSE(readFile(path).empty()) << path;
}

TEST(Threads, FileSwitchedOffAndOnUnderLoadLosesNoLine)
{
    // While the file is off and the debugger is off, lines wait; the next
    // file gets them.
    constexpr int kLines = 20000;
    TempDir dir;
    std::vector<std::string> paths{dir.file("log0.txt")};
    initFileOnly(paths[0]);
    std::atomic<bool> done{false};
    std::thread caller([&done] {
        for (int i = 0; i < kLines; ++i)
            traceNumbered(0, i);
        done = true;
    });
    while (!done.load()) {
        ASSERT_TRUE(OrvLEnableFileLogging(false, nullptr));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        paths.push_back(dir.file("log" + std::to_string(paths.size()) + ".txt"));
        ASSERT_TRUE(OrvLEnableFileLogging(true, paths.back().c_str()));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    caller.join();
    OrvLClose();
    EXPECT_EQ(checkFiles(paths)[0], kLines);
}

struct CloseCase {
    const char* name;
    bool switchFileOnLast;  // lines wait without a sink until the file is switched on
};

void PrintTo(const CloseCase& c, std::ostream* out)
{
    *out << c.name;
}


class CloseWithQueuedLines : public testing::TestWithParam<CloseCase> {};

TEST_P(CloseWithQueuedLines, WritesEveryLine)
{
    constexpr int kLines = 30000;
    TempDir dir;
    const std::string path = dir.file("log.txt");
    ASSERT_TRUE(OrvLInit());
    ASSERT_TRUE(OrvLEnableWindbg(false));
    OrvLSetGlobalDebugLevel(0xFFFFFFFFu);
    if (!GetParam().switchFileOnLast) {
        ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    }
    for (int i = 0; i < kLines; ++i)
        traceNumbered(1, i);
    if (GetParam().switchFileOnLast) {
        ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    }
    OrvLClose();
    EXPECT_EQ(checkFiles({path})[1], kLines);
}

INSTANTIATE_TEST_SUITE_P(Cases, CloseWithQueuedLines,
                         testing::Values(CloseCase{"FileOnWhileTracing", false},
                                         CloseCase{"FileSwitchedOnJustBeforeClose", true}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST(Threads, TracingWhileTheLastCloseEndsLoggingIsSafe)
{
    constexpr int kRounds = 30;
    TempDir dir;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &stop] {
            for (int i = 0; !stop.load(); ++i)
                traceNumbered(t, i);
        });
    std::vector<std::string> paths;
    for (int round = 0; round < kRounds; ++round) {
        paths.push_back(dir.file("log" + std::to_string(round) + ".txt"));
        initFileOnly(paths.back());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        OrvLClose();
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    const std::map<int, int> perThread = checkFiles(paths);
    int total = 0;
    for (const auto& entry : perThread)
        total += entry.second;
    EXPECT_GT(total, 0);
}

TEST(Threads, ConcurrentRegistrationOfOneNameSucceedsOnce)
{
    ASSERT_TRUE(OrvLInit());
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &accepted] {
            if (OrvLRegisterModule(t % 2 ? "Shared" : "SHARED", 2))
                accepted.fetch_add(1);
        });
    for (std::thread& thread : threads)
        thread.join();
    OrvLClose();
    EXPECT_EQ(accepted.load(), 1);
}

} // namespace
