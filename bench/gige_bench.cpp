// GVSP receive through the GigE library and its user-space driver: images
// from our sender at 1 GbE, 10 GbE and line rate, and from the camera
// simulator of aravis-tools at its largest image. Figures: MB/s, images/s,
// receive-thread CPU per image, frames lost and abandoned, and the packets
// the receiver missed:
//   kernel_drops    datagrams the kernel dropped on the stream socket, its
//                   receive buffer full;
//   asked_again     packets the receiver asked for again (each request of a
//                   packet counts; for the camera simulator, which keeps no
//                   count, the resent packets that arrived);
//   resent_packets  packets that came only when asked for again;
//   never_arrived   packets that did not reach the socket (left out by our
//                   sender on purpose, or dropped by the kernel) and were not
//                   made good by a resend;
//   lost_packets    asked_again + never_arrived: 0 only when every packet
//                   came at its first send.
// Beside them, the machine's own ceiling: the same packets through a bare
// sendmmsg / recvmmsg pair. And the two side by side at 10 GbE with the
// machine's other cores busy, where a receiver that falls behind shows.
#include "CameraSimulator.h"
#include "GvspSender.h"
#include "Pellago.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/udp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Datagrams the kernel dropped so far on this process's UDP socket bound to
// `port` (host order), its receive buffer full, from /proc/net/udp; -1 when
// no such socket is listed.
int64_t kernelDrops(uint16_t port)
{
    std::set<unsigned long> own;  // inodes of this process's sockets
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(fds)) {
            char target[64] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            unsigned long inode = 0;
            if (::readlink(link.c_str(), target, sizeof target - 1) > 0
                && std::sscanf(target, "socket:[%lu]", &inode) == 1)
                own.insert(inode);
        }
        ::closedir(fds);
    }
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the heading
    int64_t drops = -1;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        std::string references, pointer;
        uint64_t dropped = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode
              >> references >> pointer >> dropped))
            continue;
        const size_t colon = local.find(':');
        if (colon != std::string::npos && std::stoul(local.substr(colon + 1), nullptr, 16) == port
            && own.count(inode))
            drops = std::max<int64_t>(drops, 0) + int64_t(dropped);
    }
    return drops;
}

// Counts what reaches the stream callback; the receive thread's CPU time
// is read there, on that thread.
struct Tally {
    std::mutex lock;
    std::condition_variable changed;
    int completed = 0;
    int abandoned = 0;
    uint32_t lostFrames = 0;
    uint64_t resentPackets = 0;
    double firstCpu = -1, lastCpu = 0;
    uint64_t bytes = 0;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<Tally*>(context);
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED && s->type != OrvGigETL_SIGNAL_FRAME_ABANDONED)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        const double cpu = threadCpuSeconds();
        std::lock_guard<std::mutex> hold(self->lock);
        if (self->firstCpu < 0)
            self->firstCpu = cpu;
        self->lastCpu = cpu;
        self->lostFrames = r->lostFrames;
        self->resentPackets += r->resentPackets;
        if (s->type == OrvGigETL_SIGNAL_FRAME_COMPLETED) {
            ++self->completed;
            self->bytes += r->frameSize;
        } else {
            ++self->abandoned;
        }
        self->changed.notify_all();
        return 0;
    }
    int delivered()
    {
        std::lock_guard<std::mutex> hold(lock);
        return completed + abandoned;
    }
    bool waitFor(int images, int ms)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(ms),
                                [&] { return completed + abandoned >= images; });
    }
};

// Packets that did not reach the receiver's socket: those the sender left
// out on purpose and those the kernel dropped; and the packets the receiver
// asked for again (negative: not known).
struct Misses {
    uint64_t skipped = 0;
    uint64_t kernelDrops = 0;
    int64_t askedAgain = -1;
};

void report(benchmark::State& state, Tally& t, double seconds, const Misses& m)
{
    const int images = t.completed + t.abandoned;
    const uint64_t missing = m.skipped + m.kernelDrops;
    const uint64_t neverArrived = missing > t.resentPackets ? missing - t.resentPackets : 0;
    const uint64_t askedAgain = m.askedAgain >= 0 ? uint64_t(m.askedAgain) : t.resentPackets;
    state.counters["MB/s"] = seconds > 0 ? double(t.bytes) / seconds / 1e6 : 0;
    state.counters["images/s"] = seconds > 0 ? images / seconds : 0;
    state.counters["cpu_us/image"] = images > 1 ? (t.lastCpu - t.firstCpu) * 1e6 / (images - 1) : 0;
    state.counters["abandoned"] = t.abandoned;
    state.counters["lost_frames"] = t.lostFrames;
    state.counters["kernel_drops"] = double(m.kernelDrops);
    state.counters["asked_again"] = double(askedAgain);
    state.counters["resent_packets"] = double(t.resentPackets);
    state.counters["never_arrived"] = double(neverArrived);
    state.counters["lost_packets"] = double(askedAgain + neverArrived);
}

// The rates a case is run at, in bytes per second.
void atNetworkRates(benchmark::internal::Benchmark* b)
{
    b->Arg(125000000)   // 1 GbE
        ->Arg(1250000000)  // 10 GbE
        ->Arg(0)           // line rate of loopback
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
}

// A stream of 5 MP Mono8 images at packet size 1500 from our sender to the
// library, paced to `bytesPerSecond` (0: as fast as it can send), losing
// packets at the ratio given (it resends what is asked for).
class SenderStream {
public:
    SenderStream(uint64_t bytesPerSecond, int lossPerThousand) : sender_(options(bytesPerSecond, lossPerThousand))
    {
        openCamera(&camera_, 0x7F000001, sender_.controlPort());
        const uint32_t host = 0x7F000001;
        uint16_t port = 0;
        if (addStream(camera_, &stream_, &host, &port, int32_t(sender_.imageBytes()), 16, 1500, 0, &Tally::callback,
                      &tally)
            != 0) {
            stream_ = nullptr;
            error_ = "addStream failed";
            return;
        }
        port_ = port;
        sender_.setDestination(port);
        dropsBefore_ = kernelDrops(port);
        if (dropsBefore_ < 0)
            error_ = "the stream socket is not in /proc/net/udp";
    }
    ~SenderStream() { close(); }

    const char* error() const { return error_; }

    // Sends `images` images and waits up to 10 s for them; the seconds taken.
    double sendImages(int images)
    {
        const int before = tally.delivered();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < images; ++i)
            sender_.sendImage(id_++);
        tally.waitFor(before + images, 10000);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // Closes the stream; what was missed until then.
    Misses close()
    {
        if (stream_) {
            misses_.skipped = sender_.packetsLost();
            misses_.kernelDrops = uint64_t(std::max<int64_t>(kernelDrops(port_) - dropsBefore_, 0));
            misses_.askedAgain = int64_t(sender_.resendsServed());
            closeStream(stream_);
            stream_ = nullptr;
        }
        if (camera_)
            closeCamera(camera_);
        camera_ = nullptr;
        return misses_;
    }

    Tally tally;

private:
    static gvsp::Sender::Options options(uint64_t bytesPerSecond, int lossPerThousand)
    {
        gvsp::Sender::Options o;
        o.width = 2592;
        o.height = 1944;
        o.packetSize = 1500;
        o.bytesPerSecond = bytesPerSecond;
        o.lossPerThousand = lossPerThousand;
        return o;
    }

    gvsp::Sender sender_;
    void* camera_ = nullptr;
    void* stream_ = nullptr;
    uint16_t port_ = 0;
    int64_t dropsBefore_ = -1;
    uint16_t id_ = 1;
    Misses misses_;
    const char* error_ = nullptr;
};

// The images of one run of a case.
constexpr int kImagesPerRun = 40;

void receiveFromSender(benchmark::State& state, uint64_t bytesPerSecond, int lossPerThousand)
{
    SenderStream stream(bytesPerSecond, lossPerThousand);
    if (stream.error()) {
        state.SkipWithError(stream.error());
        return;
    }
    double seconds = 0;
    for (auto _ : state)
        seconds += stream.sendImages(kImagesPerRun);
    const Misses misses = stream.close();
    std::lock_guard<std::mutex> hold(stream.tally.lock);
    report(state, stream.tally, seconds, misses);
    state.counters["sender_MB/s"] = double(bytesPerSecond) / 1e6;
    state.counters["sender_skipped"] = double(misses.skipped);
}

// Paced to state.range(0) bytes per second.
void BM_ReceiveFromSender(benchmark::State& state)
{
    receiveFromSender(state, uint64_t(state.range(0)), 0);
}
BENCHMARK(BM_ReceiveFromSender)->Apply(atNetworkRates);

// At 1 GbE, state.range(0) packets per thousand lost and asked for again.
void BM_ReceiveLossyFromSender(benchmark::State& state)
{
    receiveFromSender(state, 125000000, int(state.range(0)));
}
BENCHMARK(BM_ReceiveLossyFromSender)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Loopback UDP with nothing on top: a sender thread sending 44 datagrams a
// call as our GVSP sender does (one segmented send where the kernel offers
// it, else sendmmsg) and a receiver thread with recvmmsg in batches of 32 at
// the library's receive priority, the packets of 40 5 MP images at packet
// size 1500, the driver's receive buffer; paced to a rate in bytes per
// second (0: as fast as it can send).
class BarePair {
public:
    static constexpr size_t kDatagram = 1500 - 28;  // without IP and UDP headers
    static constexpr size_t kPayload = 1500 - 36;   // without the GVSP header too
    static constexpr uint64_t kPerImage = (2592 * 1944 + kPayload - 1) / kPayload + 2;

    BarePair()
        : rx_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), tx_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7F000001);
        socklen_t length = sizeof address;
        const int receiveBuffer = 32 * 1024 * 1024, sendBuffer = 8 * 1024 * 1024;
        const timeval silence{0, 200000};
        if (rx_ < 0 || tx_ < 0 || ::bind(rx_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::getsockname(rx_, reinterpret_cast<sockaddr*>(&address), &length) != 0
            || ::connect(tx_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ok_ = false;
            return;
        }
        if (::setsockopt(rx_, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0)
            ::setsockopt(rx_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        ::setsockopt(rx_, SOL_SOCKET, SO_RCVTIMEO, &silence, sizeof silence);
        ::setsockopt(tx_, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        const int segment = int(kDatagram);
        segmented_ = ::setsockopt(tx_, SOL_UDP, UDP_SEGMENT, &segment, sizeof segment) == 0;
    }
    ~BarePair()
    {
        if (rx_ >= 0)
            ::close(rx_);
        if (tx_ >= 0)
            ::close(tx_);
    }

    bool ok() const { return ok_; }

    struct Run {
        uint64_t packets = 0;
        uint64_t received = 0;
        int imagesHit = 0;  // images a packet of which did not arrive
        double seconds = 0;  // from the first send to the last packet received
        double cpuSeconds = 0;  // of the receiver thread
    };

    // The packets of `images` images at `bytesPerSecond`.
    Run send(int images, uint64_t bytesPerSecond)
    {
        constexpr unsigned kBatch = 32, kSendBatch = 44;
        Run run;
        run.packets = uint64_t(images) * kPerImage;
        std::chrono::steady_clock::time_point last;
        std::vector<uint32_t> arrived(size_t(images), 0);  // per image
        std::thread receiver([&] {
            // The priority the library asks for its receive thread.
            sched_param priority{};
            priority.sched_priority = sched_get_priority_max(SCHED_FIFO);
            ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);  // refusal ignored
            static uint8_t data[kBatch][2048];
            mmsghdr messages[kBatch] = {};
            iovec vectors[kBatch];
            for (unsigned i = 0; i < kBatch; ++i) {
                vectors[i] = {data[i], sizeof data[i]};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const double before = threadCpuSeconds();
            while (run.received < run.packets) {
                const int n = ::recvmmsg(rx_, messages, kBatch, MSG_WAITFORONE, nullptr);
                if (n <= 0)
                    break;  // silent for 200 ms: the rest is lost
                run.received += uint64_t(n);
                for (int i = 0; i < n; ++i) {
                    uint64_t number = 0;  // of the packet, put in by the sender
                    std::memcpy(&number, data[i], sizeof number);
                    if (number / kPerImage < arrived.size())
                        ++arrived[number / kPerImage];
                }
                last = std::chrono::steady_clock::now();
            }
            run.cpuSeconds = threadCpuSeconds() - before;
        });
        const auto start = std::chrono::steady_clock::now();
        std::thread sender([&] {
            auto paceFrom = start;
            static uint8_t data[kSendBatch * kDatagram] = {};
            mmsghdr messages[kSendBatch] = {};
            iovec vectors[kSendBatch];
            for (unsigned i = 0; i < kSendBatch; ++i) {
                vectors[i] = {data + i * kDatagram, kDatagram};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            for (uint64_t sent = 0; sent < run.packets;) {
                const unsigned count = unsigned(std::min<uint64_t>(kSendBatch, run.packets - sent));
                for (unsigned i = 0; i < count; ++i) {
                    const uint64_t number = sent + i;
                    std::memcpy(data + i * kDatagram, &number, sizeof number);
                }
                const int n = segmented_ ? (::send(tx_, data, count * kDatagram, 0) < 0 ? 0 : int(count))
                                         : ::sendmmsg(tx_, messages, count, 0);
                if (n <= 0)
                    continue;
                sent += uint64_t(n);
                if (bytesPerSecond == 0)
                    continue;
                const auto due = paceFrom + std::chrono::nanoseconds(sent * kDatagram * 1000000000ull / bytesPerSecond);
                // Held up, it goes on at the rate, as the scripted camera does.
                const auto behind = std::chrono::steady_clock::now() - due;
                if (behind > std::chrono::microseconds(200))
                    paceFrom += behind - std::chrono::microseconds(200);
                if (due - std::chrono::steady_clock::now() > std::chrono::microseconds(200))
                    std::this_thread::sleep_until(due);
                while (std::chrono::steady_clock::now() < due) {
                }
            }
        });
        sender.join();
        receiver.join();
        run.seconds = std::chrono::duration<double>(last - start).count();
        run.imagesHit = int(std::count_if(arrived.begin(), arrived.end(), [](uint32_t n) { return n < kPerImage; }));
        return run;
    }

private:
    int rx_ = -1;
    int tx_ = -1;
    bool ok_ = true;
    bool segmented_ = false;
};

// The bare pair at state.range(0) bytes per second. MB/s counts the image
// bytes the packets carry, as the library's cases do.
void BM_LoopbackCeiling(benchmark::State& state)
{
    BarePair pair;
    if (!pair.ok()) {
        state.SkipWithError("loopback sockets");
        return;
    }
    const uint64_t bytesPerSecond = uint64_t(state.range(0));
    double seconds = 0, cpu = 0;
    uint64_t received = 0, lost = 0;
    for (auto _ : state) {
        const BarePair::Run run = pair.send(kImagesPerRun, bytesPerSecond);
        seconds += run.seconds;
        cpu += run.cpuSeconds;
        received += run.received;
        lost += run.packets - run.received;
    }
    state.counters["MB/s"] = seconds > 0 ? double(received) * BarePair::kPayload / seconds / 1e6 : 0;
    state.counters["cpu_us/image"] =
        received ? cpu * 1e6 / double(received) * double(BarePair::kPerImage) : 0;
    state.counters["receiver_cores"] = seconds > 0 ? cpu / seconds : 0;
    state.counters["lost_packets"] = double(lost);
    state.counters["sender_MB/s"] = double(bytesPerSecond) / 1e6;
}
BENCHMARK(BM_LoopbackCeiling)->Apply(atNetworkRates);

// The cores of `all` but those of `keep` busy: one thread a core, writing
// over 16 MB of its own, so a receiver on the cores kept competes for the
// shared cache and memory as beside a host's image processing.
class BusyCores {
public:
    BusyCores(const cpu_set_t& all, const cpu_set_t& keep)
    {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (!CPU_ISSET(cpu, &all) || CPU_ISSET(cpu, &keep))
                continue;
            threads_.emplace_back([this, cpu] {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpu, &one);
                ::pthread_setaffinity_np(::pthread_self(), sizeof one, &one);
                std::vector<uint8_t> area(16 << 20);
                while (!stop_.load(std::memory_order_relaxed))
                    for (size_t i = 0; i < area.size(); i += 64)
                        ++area[i];
                benchmark::DoNotOptimize(area.data());
            });
        }
    }
    ~BusyCores()
    {
        stop_ = true;
        for (std::thread& t : threads_)
            t.join();
    }
    size_t count() const { return threads_.size(); }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// Pins the calling thread, and the threads it starts, to the last two cores
// of the process for its lifetime.
class TwoCores {
public:
    TwoCores()
    {
        CPU_ZERO(&cores);
        CPU_ZERO(&before);
        if (::pthread_getaffinity_np(::pthread_self(), sizeof before, &before) != 0)
            return;
        int taken = 0;
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0 && taken < 2; --cpu)
            if (CPU_ISSET(cpu, &before)) {
                CPU_SET(cpu, &cores);
                ++taken;
            }
        ok_ = taken == 2 && CPU_COUNT(&before) > 2
              && ::pthread_setaffinity_np(::pthread_self(), sizeof cores, &cores) == 0;
    }
    ~TwoCores() { ::pthread_setaffinity_np(::pthread_self(), sizeof before, &before); }
    bool ok() const { return ok_; }

    cpu_set_t cores;
    cpu_set_t before;  // the thread's cores until then

private:
    bool ok_ = false;
};

// At state.range(0) bytes per second with the machine's other cores busy, a
// run of 40 images through the library and one through the bare pair in turn
// each iteration, both on two cores of their own for sender and receiver
// threads. For each side: the runs in which the socket dropped packets, the
// packets it dropped and the images that did not arrive whole (for the bare
// pair: a packet of which is missing).
void BM_LineRateUnderLoad(benchmark::State& state)
{
    TwoCores pinned;
    if (!pinned.ok()) {
        state.SkipWithError("needs three cores: two for the receiver, one or more to load");
        return;
    }
    BusyCores load(pinned.before, pinned.cores);
    const uint64_t bytesPerSecond = uint64_t(state.range(0));
    int runs = 0, libraryDropping = 0, bareDropping = 0;
    uint64_t libraryDrops = 0, bareDrops = 0, libraryImagesLost = 0, bareImagesLost = 0;
    double librarySeconds = 0, bareSeconds = 0;
    uint64_t libraryBytes = 0, bareReceived = 0;
    for (auto _ : state) {
        ++runs;
        {
            SenderStream stream(bytesPerSecond, 0);
            if (stream.error()) {
                state.SkipWithError(stream.error());
                return;
            }
            librarySeconds += stream.sendImages(kImagesPerRun);
            const Misses misses = stream.close();
            std::lock_guard<std::mutex> hold(stream.tally.lock);
            libraryDrops += misses.kernelDrops;
            libraryDropping += misses.kernelDrops > 0 ? 1 : 0;
            libraryImagesLost += uint64_t(kImagesPerRun - std::min(stream.tally.completed, kImagesPerRun));
            libraryBytes += stream.tally.bytes;
        }
        BarePair pair;
        if (!pair.ok()) {
            state.SkipWithError("loopback sockets");
            return;
        }
        const BarePair::Run run = pair.send(kImagesPerRun, bytesPerSecond);
        bareDrops += run.packets - run.received;
        bareDropping += run.received < run.packets ? 1 : 0;
        bareImagesLost += uint64_t(run.imagesHit);
        bareSeconds += run.seconds;
        bareReceived += run.received;
    }
    state.counters["busy_cores"] = double(load.count());
    state.counters["runs"] = runs;
    state.counters["lib_runs_dropping"] = libraryDropping;
    state.counters["bare_runs_dropping"] = bareDropping;
    state.counters["lib_dropped_packets"] = double(libraryDrops);
    state.counters["bare_dropped_packets"] = double(bareDrops);
    state.counters["lib_images_lost"] = double(libraryImagesLost);
    state.counters["bare_images_lost"] = double(bareImagesLost);
    state.counters["lib_MB/s"] = librarySeconds > 0 ? double(libraryBytes) / librarySeconds / 1e6 : 0;
    state.counters["bare_MB/s"] =
        bareSeconds > 0 ? double(bareReceived) * BarePair::kPayload / bareSeconds / 1e6 : 0;
}
BENCHMARK(BM_LineRateUnderLoad)
    ->Arg(1250000000)  // 10 GbE
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

// The simulator's registers, as its description file names them.
constexpr uint32_t kWidth = 0x100, kHeight = 0x104, kAcquisition = 0x124, kPeriod = 0x138;

int writeRegister(void* camera, uint32_t address, uint32_t value)
{
    const uint32_t data[2] = {htonl(address), htonl(value)};
    uint32_t ack = 0;
    return GVCPTransport(camera, OrvGigETL_WRITEREG_CMD, 8, data, 4, &ack);
}

// 2048 x 2048 Mono8 from arv-fake-gv-camera-0.8 as fast as it makes them.
void BM_ReceiveFromFakeCamera(benchmark::State& state)
{
    const pid_t simulator = gvsp::startCameraSimulator();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    void* camera = nullptr;
    openCamera(&camera, 0x7F000001, 3956);
    Tally tally;
    void* stream = nullptr;
    const uint32_t host = 0x7F000001;
    uint16_t port = 0;
    const uint32_t size = 2048 * 2048;
    if (writeRegister(camera, 0x0A00, 2) != 0 || writeRegister(camera, kWidth, 2048) != 0
        || writeRegister(camera, kHeight, 2048) != 0 || writeRegister(camera, kPeriod, 1000) != 0
        || addStream(camera, &stream, &host, &port, int32_t(size), 16, 1500, 0, &Tally::callback, &tally) != 0) {
        state.SkipWithError("the simulator (aravis-tools) did not answer");
    } else {
        writeRegister(camera, 0x0D00, port);
        writeRegister(camera, 0x0D04, 1500);
        writeRegister(camera, 0x0D18, 0x7F000001);
        const int64_t dropsBefore = kernelDrops(port);
        if (dropsBefore < 0)
            state.SkipWithError("the stream socket is not in /proc/net/udp");
        double seconds = 0;
        for (auto _ : state) {
            const int before = tally.delivered();
            const auto start = std::chrono::steady_clock::now();
            writeRegister(camera, kAcquisition, 1);
            for (int i = 0; i < 20 && !tally.waitFor(before + 20, 300); ++i)
                writeRegister(camera, 0x0A00, 2);  // keeps control
            writeRegister(camera, kAcquisition, 0);
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        Misses misses;
        misses.kernelDrops = uint64_t(std::max<int64_t>(kernelDrops(port) - dropsBefore, 0));
        closeStream(stream);
        std::lock_guard<std::mutex> hold(tally.lock);
        report(state, tally, seconds, misses);
    }
    closeCamera(camera);
    gvsp::stopCameraSimulator(simulator);
}
BENCHMARK(BM_ReceiveFromFakeCamera)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
