// Images of 2448 x 2048 Mono8 through U3V_GetImage from the simulated camera.
//
// Unpaced: the camera sends as fast as the library queues transfers; images
// and MB per second that reach the host (the camera outruns a host that
// copies every image, so block ids are lost by design).
//
// Paced: the camera sends at 75 frames per second, its payloads not written.
// Counters, per image:
//   images/s     images through U3V_GetImage per second;
//   lost         block ids skipped between consecutive images;
//   faults       page faults of the process;
//   getimage_us  CPU time of the host thread in U3V_GetImage, the copy
//                included;
//   thread_us    CPU time of the process's other threads: the stream thread
//                with the simulated camera's work, which runs inside its
//                submissions and reaps;
//   memcpy_us    a memcpy of the image timed hot, back to back, from six
//                buffers out of the cache;
//   lib_us       process CPU time minus memcpy_us, and lib_pct the same in %
//                of memcpy_us: a rough measure, which counts the simulated
//                camera's work and compares with a hot copy;
//   handoff_us   what one thread waking another and going to sleep costs on
//                this machine, for scale.
//
// PacedOwnCost: what the library itself costs, at the same pace. The library
// and a minimal host stream at the same time, each from a camera of its own,
// so that both meet the same load on the machine; the CPU time of each
// side's threads is read once per window of 200 ms by a thread that counts
// for neither, and the figures are the medians of the windows. copy:1 is the
// host as the target names it; with copy:0 neither copies the image out,
// which takes the copy's noise out of own_us:
//   proc_us      CPU time per image of the library's side: the thread calling
//                U3V_GetImage and the threads the library made;
//   host_us      CPU time per image of the minimal host: no library, the same
//                USB layer, transfer layout, ring size and thread priority,
//                a stream thread receiving leader, payload transfers, finals
//                and trailer and handing each image to the consumer thread,
//                which makes the one copy;
//   paced_memcpy_us  a memcpy of the image as such a host makes it: the
//                thread sleeps until the next frame is due before each copy,
//                from a ring's worth of buffers (buffer count + 1) in turn;
//   own_us       proc_us - host_us per window: what the library costs beyond
//                what any host of this camera pays (device, USB layer, one
//                hand-off, one copy); own_q1_us and own_q3_us the quartiles
//                of the windows, own_ci95_low_us and own_ci95_high_us the 95 %
//                confidence interval of the median;
//   own_pct      own_us in % of paced_memcpy_us, and own_ci95_high_pct the
//                interval's upper end in %. Target: below 10, with lost 0;
//   lost, host_lost  block ids skipped by the library and the minimal host;
//   windows      windows counted.
#include "Pexlin.h"
#include "PexlinUsb.h"
#include "U3vSim.h"
#include "U3vSimBytes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kWidth = 2448, kHeight = 2048;
constexpr std::size_t kImageBytes = std::size_t(kWidth) * kHeight;
constexpr int kPacedFps = 75;

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

// A world of simulated cameras of the benchmark's size, one per setup, in
// order; the first has GUID SIMU3V000001, the second SIMU3V000002.
void simWorld(const std::vector<std::string>& setups)
{
    pexlin::usb::setBackend(&u3vsim::World::instance());
    sim("world.clear");
    for (std::size_t i = 0; i < setups.size(); ++i)
        sim("device.add cam" + std::to_string(i + 1) + " guid=SIMU3V00000" + std::to_string(i + 1)
            + " width=" + std::to_string(kWidth) + " height=" + std::to_string(kHeight) + " " + setups[i]);
}

// One camera opened through the exports, streaming.
struct Camera {
    U3V_Device* device = nullptr;
    U3V_Control* control = nullptr;
    U3V_Stream* stream = nullptr;

    // The only camera of a new world.
    explicit Camera(const std::string& setup)
    {
        simWorld({setup});
        open("SIMU3V000001");
    }
    // The camera of this GUID in the world as it is.
    struct InWorld {
        const char* guid;
    };
    explicit Camera(InWorld camera) { open(camera.guid); }
    ~Camera()
    {
        uint64_t a = 0, b = 0;
        U3V_AcquisitionStop(stream, &a, &b);
        U3V_CloseStream(stream);
        U3V_CloseControl(control);
        U3V_CloseDevice(device);
    }

private:
    void open(const char* guid)
    {
        uint16_t count = 0;
        U3V_DiscoveryDevices(&count);
        if (U3V_OpenDevice(guid, &device, nullptr, 0) != 0
            || U3V_OpenControl(device, &control) != 0
            || U3V_OpenStream(device, control, &stream, 1000) != 0
            || U3V_AcquisitionStart(stream, 0) != 0)
            throw std::runtime_error("the simulated camera does not stream");
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

// A host of the simulated camera without the library: the same USB layer,
// transfer layout, ring size and thread priority, nothing more than each
// image needs. The stream thread submits the leader, reaps it, submits every
// payload transfer, the finals and the trailer, reaps them, checks the
// trailer and hands the image to the consumer, which copies it out.
class MinimalHost {
public:
    static constexpr std::uint32_t kTransferSize = 0x10000;
    static constexpr std::size_t kRing = 5; // the library's default count + 1

    // The only camera of a new world.
    explicit MinimalHost(const std::string& setup) : usb_(pexlin::usb::backend())
    {
        simWorld({setup});
        open(0);
    }
    // The camera at this place of the bus's list, in the world as it is.
    struct InWorld {
        std::size_t index;
    };
    explicit MinimalHost(InWorld camera) : usb_(pexlin::usb::backend()) { open(camera.index); }

    ~MinimalHost()
    {
        writeRegister(u3vsim::kSirmAddress + 0x04, 0);
        stop_ = true;
        while (!ended_) { // a transfer submitted after a cancel is cancelled again
            for (pexlin::usb::AsyncTransfer* t : transfers_)
                usb_->cancelAsync(t);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        thread_.join();
        for (pexlin::usb::AsyncTransfer* t : transfers_)
            usb_->freeAsync(t);
        usb_->close(handle_);
    }

    // Waits for the next image and copies it into out (when not null); its
    // block id. The buffer stays out of the stream thread's reach meanwhile.
    std::uint64_t take(std::uint8_t* out)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_for(lock, std::chrono::seconds(5), [this] { return !queue_.empty(); }))
            throw std::runtime_error("the minimal host receives no image");
        const auto [index, blockId] = queue_.front();
        queue_.pop_front();
        copying_ = index;
        lock.unlock();
        if (out)
            std::memcpy(out, ring_[index].get(), kImageBytes);
        lock.lock();
        copying_ = kNone;
        return blockId;
    }

private:
    void open(std::size_t index)
    {
        std::vector<pexlin::usb::DevicePtr> devices;
        // The simulated camera's control and stream interfaces are 0 and 2.
        if (usb_->findDevices(devices) <= int(index) || !(handle_ = usb_->open(devices[index]))
            || usb_->claimInterface(handle_, 0) < 0 || usb_->claimInterface(handle_, 2) < 0)
            throw std::runtime_error("the simulated camera does not open");

        // The layout the library writes for this camera (alignment 2).
        constexpr std::uint32_t kAlign = 2;
        const std::uint32_t rest = kImageBytes % kTransferSize;
        count_ = kImageBytes / kTransferSize;
        final1_ = rest / kAlign * kAlign;
        final2_ = rest != final1_ ? kAlign : 0;
        writeRegister(u3vsim::kSirmAddress + 0x18, u3vsim::kImageLeaderSize);
        writeRegister(u3vsim::kSirmAddress + 0x1C, kTransferSize);
        writeRegister(u3vsim::kSirmAddress + 0x20, count_);
        writeRegister(u3vsim::kSirmAddress + 0x24, final1_);
        writeRegister(u3vsim::kSirmAddress + 0x28, final2_);
        writeRegister(u3vsim::kSirmAddress + 0x2C, u3vsim::kImageTrailerSize);

        const std::size_t bytes = std::size_t(count_) * kTransferSize + final1_ + final2_;
        for (std::size_t i = 0; i < kRing; ++i)
            ring_.push_back(std::make_unique<std::uint8_t[]>(bytes));
        const std::size_t slots = count_ + 2 + (final1_ != 0) + (final2_ != 0);
        for (std::size_t i = 0; i < slots; ++i)
            transfers_.push_back(usb_->setupAsync(handle_, u3vsim::kStreamIn));
        leader_.resize(u3vsim::kImageLeaderSize);
        trailer_.resize(u3vsim::kImageTrailerSize);

        thread_ = std::thread([this] {
            sched_param param{};
            param.sched_priority = sched_get_priority_max(SCHED_FIFO);
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
            run();
        });
        writeRegister(u3vsim::kSirmAddress + 0x04, 1); // stream enable
    }

    void writeRegister(std::uint64_t address, std::uint32_t value)
    {
        std::uint8_t c[24] = {};
        u3vsim::put32(c, 0x43563355); // "U3VC"
        u3vsim::put16(c + 4, 0x4000);   // acknowledge requested
        u3vsim::put16(c + 6, 0x0802);   // WRITEMEM
        u3vsim::put16(c + 8, 12);
        u3vsim::put16(c + 10, ++requestId_);
        u3vsim::put64(c + 12, address);
        u3vsim::put32(c + 20, value);
        std::uint8_t ack[64];
        if (usb_->bulkWrite(handle_, u3vsim::kControlOut, c, sizeof c, 1000) != int(sizeof c)
            || usb_->bulkRead(handle_, u3vsim::kControlIn, ack, sizeof ack, 1000) < 12
            || u3vsim::get16(ack + 4) != 0)
            throw std::runtime_error("a register write failed");
    }

    void run()
    {
        const std::size_t last = transfers_.size() - 1;
        std::size_t next = 0;
        while (!stop_) {
            std::uint8_t* payload = ring_[next].get();
            usb_->submitAsync(transfers_[0], leader_.data(), int(leader_.size()));
            if (usb_->reapAsync(transfers_[0], 2000) < 20
                || u3vsim::get32(leader_.data()) != 0x4C563355) // "U3VL"
                continue;
            std::uint8_t* at = payload;
            for (std::size_t i = 1; i <= count_; ++i, at += kTransferSize)
                usb_->submitAsync(transfers_[i], at, int(kTransferSize));
            for (std::size_t i = count_ + 1; i < last; ++i) {
                const std::uint32_t size = i == count_ + 1 && final1_ ? final1_ : final2_;
                usb_->submitAsync(transfers_[i], at, int(size));
                at += size;
            }
            usb_->submitAsync(transfers_[last], trailer_.data(), int(trailer_.size()));
            for (std::size_t i = 1; i <= last; ++i)
                usb_->reapAsync(transfers_[i], 1000);
            const std::uint64_t blockId = u3vsim::get64(leader_.data() + 8);
            if (u3vsim::get32(trailer_.data()) != 0x54563355 // "U3VT"
                || u3vsim::get64(trailer_.data() + 8) != blockId)
                continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.size() + (copying_ != kNone) + 1 >= kRing)
                    continue; // the consumer is behind
                queue_.emplace_back(next, blockId);
                // The next buffer neither queued nor being copied.
                auto held = [&] {
                    return next == copying_
                        || std::any_of(queue_.begin(), queue_.end(),
                                       [&](const auto& q) { return q.first == next; });
                };
                do
                    next = (next + 1) % kRing;
                while (held());
            }
            ready_.notify_one();
        }
        ended_ = true;
    }

    pexlin::usb::Backend* usb_;
    pexlin::usb::Handle* handle_ = nullptr;
    std::uint32_t count_ = 0, final1_ = 0, final2_ = 0;
    std::uint16_t requestId_ = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> ring_;
    std::vector<pexlin::usb::AsyncTransfer*> transfers_;
    std::vector<std::uint8_t> leader_, trailer_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, ended_{false};
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::pair<std::size_t, std::uint64_t>> queue_;
    static constexpr std::size_t kNone = ~std::size_t(0);
    std::size_t copying_ = kNone;
};

// A memcpy of the image as a host at the camera's pace makes it: the thread
// sleeps until the next frame is due before each copy, and the sources are a
// ring's worth of buffers taken in turn. CPU time per copy in microseconds.
double pacedMemcpyMicroseconds(int copies, double fps, std::uint8_t* image)
{
    std::vector<std::unique_ptr<std::uint8_t[]>> sources;
    for (std::size_t i = 0; i < MinimalHost::kRing; ++i)
        sources.push_back(std::make_unique<std::uint8_t[]>(kImageBytes));
    const long periodNs = long(1e9 / fps);
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    double total = 0;
    for (int i = 0; i < copies; ++i) {
        due.tv_nsec += periodNs;
        due.tv_sec += due.tv_nsec / 1000000000;
        due.tv_nsec %= 1000000000;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        std::memcpy(image, sources[std::size_t(i) % sources.size()].get(), kImageBytes);
        benchmark::ClobberMemory();
        total += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    }
    return total / copies * 1e6;
}

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

    Camera camera("no-fill fps=" + std::to_string(kPacedFps));
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.empty() ? 0 : v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// The threads of this process.
std::set<pid_t> threadIds()
{
    std::set<pid_t> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                ids.insert(pid_t(std::stol(e->d_name)));
        closedir(dir);
    }
    return ids;
}

// CPU time of these threads, from the scheduler's records; a thread that
// ended counts no more.
double threadsSeconds(const std::set<pid_t>& ids)
{
    double total = 0;
    for (pid_t id : ids) {
        std::ifstream in("/proc/self/task/" + std::to_string(id) + "/schedstat");
        double ns = 0;
        if (in >> ns)
            total += ns * 1e-9;
    }
    return total;
}

// Takes images on a thread of its own until stopped, counting them; `next`
// takes one image and gives its block id.
class Taker {
public:
    template <typename Next>
    explicit Taker(Next next)
        : thread_([this, next] {
              id_ = gettid();
              try {
                  while (!stop_) {
                      ids_.see(next());
                      ++images_;
                  }
              } catch (const std::exception&) {
                  failed_ = true;
              }
          })
    {
    }
    ~Taker() { stop(); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Waits until n images came; false when taking failed.
    bool waitFor(std::uint64_t n) const
    {
        while (images_ < n && !failed_)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !failed_;
    }
    pid_t id() const { return id_; }
    std::uint64_t images() const { return images_; }
    bool failed() const { return failed_; }
    std::uint64_t lost() const { return ids_.lost; } // after stop

private:
    std::atomic<bool> stop_{false}, failed_{false};
    std::atomic<std::uint64_t> images_{0};
    std::atomic<pid_t> id_{0};
    LostIds ids_;
    std::thread thread_;
};

// Figures of a sample: median, quartiles, and the 95 % confidence interval
// of the median from the order statistics (distribution-free).
struct Spread {
    double median = 0, q1 = 0, q3 = 0, low = 0, high = 0;
    explicit Spread(std::vector<double> v)
    {
        if (v.empty())
            return;
        std::sort(v.begin(), v.end());
        const double n = double(v.size());
        const auto at = [&](double rank) {
            return v[std::size_t(std::clamp(rank, 0.0, n - 1))];
        };
        median = ::median(v);
        q1 = at(std::floor(n / 4));
        q3 = at(std::floor(3 * n / 4));
        const double half = 0.98 * std::sqrt(n);
        low = at(std::floor(n / 2 - half) - 1);
        high = at(std::ceil(n / 2 + half + 1) - 1);
    }
};

// The library against the minimal host, both at the same pace at the same
// time, each with a camera of its own, so that both meet the same load on
// the machine. Each taking thread with the threads made for it (the
// library's, the host's stream thread and the cameras' work on them) is
// counted on its own; a thread that only watches reads their CPU time once
// per window of 200 ms and its own time counts for neither. Per window:
// CPU time per image of either side and their difference; the figures are
// the medians of the windows.
void PacedOwnCost(benchmark::State& state)
{
    const std::string setup = "no-fill fps=" + std::to_string(kPacedFps);
    std::vector<std::uint8_t> libraryImage(kImageBytes, 1), hostImage(kImageBytes, 1);
    std::uint8_t* const libraryOut = state.range(0) ? libraryImage.data() : nullptr;
    std::uint8_t* const hostOut = state.range(0) ? hostImage.data() : nullptr;
    std::vector<double> library, minimal, own;
    std::uint64_t lost = 0, hostLost = 0;
    try {
        simWorld({setup, setup});
        const std::set<pid_t> atStart = threadIds();
        Camera camera(Camera::InWorld{"SIMU3V000001"});
        Taker libraryTaker([&] {
            U3V_IMAGE_INFO info{};
            if (U3V_GetImage(camera.stream, libraryOut, 5000, &info) != 0)
                throw std::runtime_error("no image");
            return info.blockId;
        });
        if (!libraryTaker.waitFor(2)) {
            state.SkipWithError("no image");
            return;
        }
        std::set<pid_t> librarySide = threadIds(), hostSide;
        for (pid_t id : atStart)
            librarySide.erase(id);
        {
            MinimalHost host(MinimalHost::InWorld{1});
            Taker hostTaker([&] { return host.take(hostOut); });
            if (!hostTaker.waitFor(2)) {
                state.SkipWithError("the minimal host receives no image");
                return;
            }
            hostSide = threadIds();
            for (pid_t id : atStart)
                hostSide.erase(id);
            for (pid_t id : librarySide)
                hostSide.erase(id);

            double libraryCpu = threadsSeconds(librarySide), hostCpu = threadsSeconds(hostSide);
            std::uint64_t libraryImages = libraryTaker.images(), hostImages = hostTaker.images();
            for (auto _ : state) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                const double libraryNow = threadsSeconds(librarySide), hostNow = threadsSeconds(hostSide);
                const std::uint64_t libraryCount = libraryTaker.images(), hostCount = hostTaker.images();
                if (libraryCount > libraryImages && hostCount > hostImages) {
                    const double lib = (libraryNow - libraryCpu) / double(libraryCount - libraryImages) * 1e6;
                    const double min = (hostNow - hostCpu) / double(hostCount - hostImages) * 1e6;
                    library.push_back(lib);
                    minimal.push_back(min);
                    own.push_back(lib - min);
                }
                libraryCpu = libraryNow;
                hostCpu = hostNow;
                libraryImages = libraryCount;
                hostImages = hostCount;
            }
            hostTaker.stop();
            libraryTaker.stop();
            if (hostTaker.failed() || libraryTaker.failed())
                state.SkipWithError("images stopped coming");
            lost = libraryTaker.lost();
            hostLost = hostTaker.lost();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    std::vector<double> copies;
    for (int i = 0; i < 5; ++i)
        copies.push_back(pacedMemcpyMicroseconds(30, kPacedFps, libraryImage.data()));
    const Spread ownSpread(own);
    const double copyUs = median(copies);
    state.counters["proc_us"] = median(library);
    state.counters["host_us"] = median(minimal);
    state.counters["paced_memcpy_us"] = copyUs;
    state.counters["own_us"] = ownSpread.median;
    state.counters["own_q1_us"] = ownSpread.q1;
    state.counters["own_q3_us"] = ownSpread.q3;
    state.counters["own_ci95_low_us"] = ownSpread.low;
    state.counters["own_ci95_high_us"] = ownSpread.high;
    state.counters["own_pct"] = ownSpread.median / copyUs * 100;
    state.counters["own_ci95_high_pct"] = ownSpread.high / copyUs * 100;
    state.counters["windows"] = double(own.size());
    state.counters["lost"] = double(lost);
    state.counters["host_lost"] = double(hostLost);
}
BENCHMARK(PacedOwnCost)->ArgName("copy")->Arg(1)->Arg(0)->Iterations(75)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
