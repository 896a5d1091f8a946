// A GigE stream under a flood of valid-looking leaders from the camera's own
// address, random block ids and timestamps, for state.range(0) seconds; then,
// one frame time-out (1 s) after the flood, ten whole images. Figures:
//   leaders/s           how fast the flood came;
//   rss_growth_MB       the most the process grew during the flood and the
//                       signals after it;
//   rss_after_close_MB  what it still held over its start once the stream
//                       was closed;
//   drain_s             how long signals went on after the flood ended;
//   after_delivered     whole images of the ten after the flood delivered
//                       complete;
//   after_ms            from the first of them sent to the last delivered.
#include "GvspSender.h"
#include "Pellago.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double rssMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

struct Signals {
    std::mutex lock;
    Clock::time_point last;
    int completedAfter = 0;  // of the images sent after the flood
    Clock::time_point lastCompleted;
    uint16_t firstAfter = 0;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<Signals*>(context);
        std::lock_guard<std::mutex> hold(self->lock);
        self->last = Clock::now();
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED || self->firstAfter == 0)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        if (r->blockId >= self->firstAfter && r->blockId < self->firstAfter + 10u) {
            ++self->completedAfter;
            self->lastCompleted = self->last;
        }
        return 0;
    }
};

void BM_LeaderFlood(benchmark::State& state)
{
    gvsp::Sender::Options o;
    o.honourResend = false;
    gvsp::Sender sender(o);
    void* camera = nullptr;
    openCamera(&camera, 0x7F000001, sender.controlPort());
    Signals signals;
    void* stream = nullptr;
    const uint32_t host = 0x7F000001;
    uint16_t port = 0;
    if (addStream(camera, &stream, &host, &port, int32_t(sender.imageBytes()), 16, int32_t(o.packetSize), 0,
                  &Signals::callback, &signals)
        != 0) {
        state.SkipWithError("addStream failed");
        closeCamera(camera);
        return;
    }
    sender.setDestination(port);
    const double before = rssMegabytes();
    std::atomic<bool> watching{true};
    std::atomic<double> peak{before};
    std::thread watcher([&] {
        while (watching) {
            peak = std::max(peak.load(), rssMegabytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    std::mt19937 random(7);
    uint64_t leaders = 0;
    double floodSeconds = 0, drain = 0, afterMs = 0;
    int delivered = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto end = start + std::chrono::seconds(state.range(0));
        gvsp::Bytes leader = sender.packet(1, 0);
        while (Clock::now() < end) {
            for (int i = 0; i < 256; ++i, ++leaders) {
                const uint32_t id = 1 + random() % 30000, stamp = random();
                leader[2] = uint8_t(id >> 8);
                leader[3] = uint8_t(id);
                for (int b = 0; b < 4; ++b)
                    leader[16 + b] = uint8_t(stamp >> (24 - 8 * b));  // the timestamp's low word
                sender.send(leader);
            }
        }
        const auto ended = Clock::now();
        floodSeconds += std::chrono::duration<double>(ended - start).count();
        // Signals go on until a second passes without one.
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard<std::mutex> hold(signals.lock);
            if (Clock::now() - std::max(signals.last, ended) > std::chrono::seconds(1)) {
                drain += std::chrono::duration<double>(std::max(signals.last, ended) - ended).count();
                break;
            }
        }
        const uint16_t first = 40000;
        {
            std::lock_guard<std::mutex> hold(signals.lock);
            signals.firstAfter = first;
            signals.completedAfter = 0;
        }
        const auto sent = Clock::now();
        for (uint16_t id = first; id < first + 10; ++id) {
            sender.sendImage(id);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::lock_guard<std::mutex> hold(signals.lock);
        delivered += signals.completedAfter;
        if (signals.completedAfter > 0)
            afterMs += std::chrono::duration<double, std::milli>(signals.lastCompleted - sent).count();
        signals.firstAfter = 0;
    }
    closeStream(stream);
    closeCamera(camera);
    watching = false;
    watcher.join();
    const double iterations = double(state.iterations());
    state.counters["leaders/s"] = floodSeconds > 0 ? double(leaders) / floodSeconds : 0;
    state.counters["rss_growth_MB"] = peak - before;
    state.counters["rss_after_close_MB"] = rssMegabytes() - before;
    state.counters["drain_s"] = drain / iterations;
    state.counters["after_delivered"] = delivered / iterations;
    state.counters["after_ms"] = afterMs / iterations;
}
BENCHMARK(BM_LeaderFlood)->Arg(5)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
