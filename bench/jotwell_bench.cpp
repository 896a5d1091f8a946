// Lines per second through OrvLTraceA into a log file, and what a line costs
// the caller. Every rate is per second of wall time: "traced/s" counts the
// lines all threads traced while they traced; "written/s" the lines that
// reached the file (or the pipe), from the first trace until switching the
// file off has written everything; "dropped" the lines traced that never
// reached it. The caller's time per line is the benchmark's time per
// iteration (wall and CPU time of one thread).
#include "Jotwell.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void trace(const char* module, uint32_t level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    OrvLTraceA(module, level, format, &arguments);
    va_end(arguments);
}

std::string tempPath(const char* name)
{
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/" + name + "-" + std::to_string(getpid());
}

std::size_t countLines(const std::string& path)
{
    std::size_t lines = 0;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            for (std::size_t i = 0; i < n; ++i)
                lines += buffer[i] == '\n';
        std::fclose(file);
    }
    return lines;
}

void startLogging(benchmark::State& state, const std::string& path)
{
    if (!OrvLEnableFileLogging(true, path.c_str()))
        state.SkipWithError("cannot create the log file");
    OrvLSetGlobalDebugLevel(0xFFFFFFFFu);
}

// Switching the file off returns once the lines traced before are written.
void stopLogging()
{
    OrvLEnableFileLogging(false, nullptr);
    OrvLSetGlobalDebugLevel(3);
}

// One line per iteration. The threads start and end their loops together;
// the first counts the lines of all of them per second of wall time.
void traceLoop(benchmark::State& state)
{
    const Clock::time_point start = Clock::now();
    long long frame = 0;
    for (auto _ : state)
        trace("Bench", 8, "frame %lld exposure %d us gain %.2f", frame++, 5000, 1.25);
    if (state.thread_index() == 0) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double traced = static_cast<double>(state.iterations()) * state.threads();
        state.counters["traced/s"] = benchmark::Counter(seconds > 0 ? traced / seconds : 0.0);
    }
}

// Lines that reached the output, and those that did not, over the wall time
// from `start` to now.
void reportWritten(benchmark::State& state, std::size_t written, Clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double traced = static_cast<double>(state.iterations()) * state.threads();
    state.counters["written/s"] = benchmark::Counter(static_cast<double>(written) / seconds);
    state.counters["dropped"] = benchmark::Counter(traced > written ? traced - written : 0.0);
}

// Traces into a regular file.
void BM_TraceToFile(benchmark::State& state)
{
    static std::string path;
    static Clock::time_point start;
    if (state.thread_index() == 0) {
        path = tempPath("jotwell-bench.log");
        startLogging(state, path);
        start = Clock::now();
    }
    traceLoop(state);
    if (state.thread_index() == 0) {
        stopLogging();
        reportWritten(state, countLines(path), start);
        unlink(path.c_str());
    }
}
BENCHMARK(BM_TraceToFile)->Threads(1)->Threads(4)->UseRealTime();

// Traces into a pipe that nobody reads, so the writer is stuck in a write:
// the callers' time per line stays that of the regular file, the queue
// bound drops the oldest lines.
void BM_TraceWhileOutputIsStalled(benchmark::State& state)
{
    static std::string path;
    static Clock::time_point start;
    if (state.thread_index() == 0) {
        path = tempPath("jotwell-bench.fifo");
        unlink(path.c_str());
        if (mkfifo(path.c_str(), 0600) != 0)
            state.SkipWithError("mkfifo failed");
        startLogging(state, path);
        start = Clock::now();
    }
    traceLoop(state);
    if (state.thread_index() == 0) {
        // Drain the pipe so that what is queued can be written.
        const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        std::atomic<bool> closed{false};
        std::size_t drained = 0;
        std::thread drain([reader, &closed, &drained] {
            char buffer[1 << 16];
            for (;;) {
                const ssize_t n = read(reader, buffer, sizeof buffer);
                for (ssize_t i = 0; i < n; ++i)
                    drained += buffer[i] == '\n';
                if (n <= 0) {
                    if (closed.load())
                        break;
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            }
        });
        stopLogging();
        closed = true;
        drain.join();
        close(reader);
        reportWritten(state, drained, start);
        unlink(path.c_str());
    }
}
BENCHMARK(BM_TraceWhileOutputIsStalled)->Threads(1)->Threads(4)->UseRealTime();

// A line that the global mask filters out.
void BM_TraceFilteredOut(benchmark::State& state)
{
    for (auto _ : state)
        trace("Bench", 8, "frame %d", 1);
}
BENCHMARK(BM_TraceFilteredOut)->Threads(1)->Threads(4)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // One context for the whole run, its banner kept off the figures.
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    OrvLInit();
    dup2(saved, STDERR_FILENO);
    close(null);
    close(saved);
    OrvLEnableWindbg(false);
    benchmark::RunSpecifiedBenchmarks();
    OrvLClose();
    benchmark::Shutdown();
    return 0;
}
