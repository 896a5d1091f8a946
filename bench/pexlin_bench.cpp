// Images of 2448 x 2048 Mono8 through U3V_GetImage from the simulated camera.
//
// Unpaced: the camera sends as fast as the library queues transfers; images
// and MB per second that reach the host (the camera outruns a host that
// copies every image, so block ids are lost by design).
// Paced: the camera sends at 75 frames per second, its payloads not written,
// so what the process spends is the library's own work and the one copy
// U3V_GetImage makes. "lib_us" is the process's CPU time per image minus a
// memcpy of the image timed in the same run; target: below 10 % of the
// memcpy ("lib_pct"), and no lost block id ("lost"). "getimage_us" is the
// host thread's share, the copy included, "thread_us" the stream thread's
// (with the simulated camera's work); "handoff_us" is what one thread waking
// another and going to sleep costs on this machine, for scale: each image
// takes at least two.
#include "Pexlin.h"
#include "PexlinUsb.h"
#include "U3vSim.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 2448, kHeight = 2048;
constexpr std::size_t kImageBytes = std::size_t(kWidth) * kHeight;

void sim(const std::string& line)
{
    std::string reply;
    if (u3vsim::control(line, reply) != 0)
        throw std::runtime_error(line + ": " + reply);
}

long pageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// CPU time of the process's other threads, from the scheduler's records.
double otherThreadsSeconds()
{
    double total = 0;
    DIR* dir = opendir("/proc/self/task");
    while (dirent* e = dir ? readdir(dir) : nullptr) {
        if (e->d_name[0] == '.' || std::stol(e->d_name) == gettid())
            continue;
        std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/schedstat");
        double ns = 0;
        if (in >> ns)
            total += ns * 1e-9;
    }
    if (dir)
        closedir(dir);
    return total;
}

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Process CPU time of one hand-off between two threads through a condition
// variable: a wake-up and a sleep.
double handoffMicroseconds()
{
    constexpr int kRounds = 500;
    std::mutex mutex;
    std::condition_variable cv;
    int turn = 0;
    const double start = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) {
            std::unique_lock<std::mutex> lock(mutex);
            cv.wait(lock, [&] { return turn == 1; });
            turn = 0;
            cv.notify_all();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        turn = 1;
        cv.notify_all();
        cv.wait(lock, [&] { return turn == 0; });
    }
    other.join();
    return (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start) / (2 * kRounds) * 1e6;
}

// One camera opened through the exports, streaming.
struct Camera {
    U3V_Device* device = nullptr;
    U3V_Control* control = nullptr;
    U3V_Stream* stream = nullptr;

    explicit Camera(const std::string& setup)
    {
        pexlin::usb::setBackend(&u3vsim::World::instance());
        sim("world.clear");
        sim("device.add cam width=" + std::to_string(kWidth) + " height="
            + std::to_string(kHeight) + " " + setup);
        uint16_t count = 0;
        U3V_DiscoveryDevices(&count);
        if (U3V_OpenDevice("SIMU3V000001", &device, nullptr, 0) != 0
            || U3V_OpenControl(device, &control) != 0
            || U3V_OpenStream(device, control, &stream, 1000) != 0
            || U3V_AcquisitionStart(stream, 0) != 0)
            throw std::runtime_error("the simulated camera does not stream");
    }
    ~Camera()
    {
        uint64_t a = 0, b = 0;
        U3V_AcquisitionStop(stream, &a, &b);
        U3V_CloseStream(stream);
        U3V_CloseControl(control);
        U3V_CloseDevice(device);
    }
};

// Block ids skipped between consecutive images.
struct LostIds {
    bool first = true;
    std::uint64_t previous = 0, lost = 0;
    void see(std::uint64_t id)
    {
        if (!first && id > previous + 1)
            lost += id - previous - 1;
        first = false;
        previous = id;
    }
};

void Unpaced(benchmark::State& state)
{
    Camera camera(state.range(0) ? "" : "no-fill");
    std::vector<std::uint8_t> image(kImageBytes);
    LostIds ids;
    for (auto _ : state) {
        U3V_IMAGE_INFO info{};
        if (U3V_GetImage(camera.stream, image.data(), 5000, &info) != 0) {
            state.SkipWithError("no image");
            break;
        }
        ids.see(info.blockId);
    }
    state.counters["images/s"] = benchmark::Counter(double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(double(state.iterations()) * kImageBytes / 1e6,
                                                benchmark::Counter::kIsRate);
    state.counters["lost"] = double(ids.lost);
}
BENCHMARK(Unpaced)->ArgName("fill")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void Paced(benchmark::State& state)
{
    // The memcpy of one image, on this thread's clock, from buffers out of
    // the cache as the ring's are.
    constexpr int kSources = 6, kCopies = 18;
    std::vector<std::vector<std::uint8_t>> sources(kSources, std::vector<std::uint8_t>(kImageBytes, 1));
    std::vector<std::uint8_t> image(kImageBytes, 1);
    const double copyStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < kCopies; ++i) {
        std::memcpy(image.data(), sources[i % kSources].data(), kImageBytes);
        benchmark::ClobberMemory();
    }
    const double memcpyUs = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - copyStart) / kCopies * 1e6;
    sources.clear();

    Camera camera("no-fill fps=75");
    LostIds ids;
    U3V_IMAGE_INFO info{};
    U3V_GetImage(camera.stream, image.data(), 5000, &info); // the pace settles
    const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double hostStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const long faultsStart = pageFaults();
    const double othersStart = otherThreadsSeconds();
    for (auto _ : state) {
        if (U3V_GetImage(camera.stream, image.data(), 5000, &info) != 0) {
            state.SkipWithError("no image");
            break;
        }
        ids.see(info.blockId);
    }
    const double n = double(state.iterations());
    const double perImageUs = (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart) / n * 1e6;
    const double hostUs = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - hostStart) / n * 1e6;
    state.counters["images/s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
    state.counters["memcpy_us"] = memcpyUs;
    state.counters["getimage_us"] = hostUs;
    state.counters["lib_us"] = perImageUs - memcpyUs;
    state.counters["lib_pct"] = (perImageUs - memcpyUs) / memcpyUs * 100;
    state.counters["lost"] = double(ids.lost);
    state.counters["faults"] = double(pageFaults() - faultsStart) / n;
    state.counters["thread_us"] = (otherThreadsSeconds() - othersStart) / n * 1e6;
    state.counters["handoff_us"] = handoffMicroseconds();
}
BENCHMARK(Paced)->Iterations(150)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
