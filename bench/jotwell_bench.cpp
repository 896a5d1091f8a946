// Lines per second through OrvLTraceA into a log file, and what a line costs
// the caller. "written/s" counts the lines that reached the file, from the
// first trace until switching the file off has written everything; the
// caller's time per line is the benchmark's time per iteration.
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

void traceLoop(benchmark::State& state)
{
    long long frame = 0;
    for (auto _ : state)
        trace("Bench", 8, "frame %lld exposure %d us gain %.2f", frame++, 5000, 1.25);
    state.SetItemsProcessed(state.iterations());
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
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const std::size_t written = countLines(path);
        const double traced = static_cast<double>(state.iterations()) * state.threads();
        state.counters["written/s"] = benchmark::Counter(static_cast<double>(written) / seconds);
        state.counters["dropped"] = benchmark::Counter(traced > written ? traced - written : 0.0);
        unlink(path.c_str());
    }
}
BENCHMARK(BM_TraceToFile)->Threads(1)->Threads(4);

// Traces into a pipe that nobody reads, so the writer is stuck in a write:
// the callers' time per line stays that of the regular file, the queue
// bound drops the oldest lines.
void BM_TraceWhileOutputIsStalled(benchmark::State& state)
{
    static std::string path;
    if (state.thread_index() == 0) {
        path = tempPath("jotwell-bench.fifo");
        unlink(path.c_str());
        if (mkfifo(path.c_str(), 0600) != 0)
            state.SkipWithError("mkfifo failed");
        startLogging(state, path);
    }
    traceLoop(state);
    if (state.thread_index() == 0) {
        // Drain the pipe so that what is queued can be written.
        const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        std::atomic<bool> closed{false};
        std::thread drain([reader, &closed] {
            char buffer[1 << 16];
            while (!closed.load())
                if (read(reader, buffer, sizeof buffer) <= 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
        stopLogging();
        closed = true;
        drain.join();
        close(reader);
        unlink(path.c_str());
    }
}
BENCHMARK(BM_TraceWhileOutputIsStalled)->Threads(1)->Threads(4);

// A line that the global mask filters out.
void BM_TraceFilteredOut(benchmark::State& state)
{
    for (auto _ : state)
        trace("Bench", 8, "frame %d", 1);
}
BENCHMARK(BM_TraceFilteredOut)->Threads(1)->Threads(4);

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
