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
// sendmmsg / recvmmsg pair.
#include "CameraSimulator.h"
#include "GvspSender.h"
#include "Pellago.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/udp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

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

// 5 MP Mono8 images at packet size 1500 from our sender, paced to
// `bytesPerSecond` (0: as fast as it can send), losing packets at the ratio
// given (it resends what is asked for).
void receiveFromSender(benchmark::State& state, uint64_t bytesPerSecond, int lossPerThousand)
{
    gvsp::Sender::Options o;
    o.width = 2592;
    o.height = 1944;
    o.packetSize = 1500;
    o.bytesPerSecond = bytesPerSecond;
    o.lossPerThousand = lossPerThousand;
    gvsp::Sender sender(o);
    void* camera = nullptr;
    openCamera(&camera, 0x7F000001, sender.controlPort());
    Tally tally;
    void* stream = nullptr;
    const uint32_t host = 0x7F000001;
    uint16_t port = 0;
    if (addStream(camera, &stream, &host, &port, int32_t(sender.imageBytes()), 16, 1500, 0, &Tally::callback,
                  &tally)
        != 0) {
        state.SkipWithError("addStream failed");
        closeCamera(camera);
        return;
    }
    sender.setDestination(port);
    const int64_t dropsBefore = kernelDrops(port);
    if (dropsBefore < 0) {
        state.SkipWithError("the stream socket is not in /proc/net/udp");
        closeStream(stream);
        closeCamera(camera);
        return;
    }
    const int images = 40;
    uint16_t id = 1;
    double seconds = 0;
    for (auto _ : state) {
        const int before = tally.delivered();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < images; ++i)
            sender.sendImage(id++);
        tally.waitFor(before + images, 10000);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Misses misses;
    misses.skipped = sender.packetsLost();
    misses.kernelDrops = uint64_t(std::max<int64_t>(kernelDrops(port) - dropsBefore, 0));
    misses.askedAgain = int64_t(sender.resendsServed());
    closeStream(stream);
    closeCamera(camera);
    std::lock_guard<std::mutex> hold(tally.lock);
    report(state, tally, seconds, misses);
    state.counters["sender_MB/s"] = double(o.bytesPerSecond) / 1e6;
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
// it, else sendmmsg) and a receiver thread with recvmmsg in batches of 32,
// the packets of 40 5 MP images at packet size 1500, the driver's receive
// buffer; paced to state.range(0) bytes per second (0: as fast as it can
// send). MB/s counts the image bytes the packets carry, as the library's
// cases do.
void BM_LoopbackCeiling(benchmark::State& state)
{
    constexpr size_t kDatagram = 1500 - 28;  // without IP and UDP headers
    constexpr size_t kPayload = 1500 - 36;   // without the GVSP header too
    constexpr unsigned kBatch = 32, kSendBatch = 44;
    const uint64_t perImage = (2592 * 1944 + kPayload - 1) / kPayload + 2;
    const uint64_t packets = 40 * perImage;
    const uint64_t bytesPerSecond = uint64_t(state.range(0));

    const int rx = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int tx = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001);
    socklen_t length = sizeof address;
    const int receiveBuffer = 32 * 1024 * 1024, sendBuffer = 8 * 1024 * 1024;
    const timeval silence{0, 200000};
    if (rx < 0 || tx < 0 || ::bind(rx, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(rx, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || ::connect(tx, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("loopback sockets");
        return;
    }
    if (::setsockopt(rx, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0)
        ::setsockopt(rx, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    ::setsockopt(rx, SOL_SOCKET, SO_RCVTIMEO, &silence, sizeof silence);
    ::setsockopt(tx, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    const int segment = int(kDatagram);
    const bool segmented = ::setsockopt(tx, SOL_UDP, UDP_SEGMENT, &segment, sizeof segment) == 0;

    double seconds = 0, cpu = 0;
    uint64_t received = 0, lost = 0;
    for (auto _ : state) {
        uint64_t got = 0;
        double cpuSeconds = 0;
        std::chrono::steady_clock::time_point last;
        std::thread receiver([&] {
            static uint8_t data[kBatch][2048];
            mmsghdr messages[kBatch] = {};
            iovec vectors[kBatch];
            for (unsigned i = 0; i < kBatch; ++i) {
                vectors[i] = {data[i], sizeof data[i]};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const double before = threadCpuSeconds();
            while (got < packets) {
                const int n = ::recvmmsg(rx, messages, kBatch, MSG_WAITFORONE, nullptr);
                if (n <= 0)
                    break;  // silent for 200 ms: the rest is lost
                got += uint64_t(n);
                last = std::chrono::steady_clock::now();
            }
            cpuSeconds = threadCpuSeconds() - before;
        });
        const auto start = std::chrono::steady_clock::now();
        std::thread sender([&] {
            static uint8_t data[kSendBatch * kDatagram] = {};
            mmsghdr messages[kSendBatch] = {};
            iovec vector{data, kDatagram};
            for (unsigned i = 0; i < kSendBatch; ++i) {
                messages[i].msg_hdr.msg_iov = &vector;
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            for (uint64_t sent = 0; sent < packets;) {
                const unsigned count = unsigned(std::min<uint64_t>(kSendBatch, packets - sent));
                const int n = segmented ? (::send(tx, data, count * kDatagram, 0) < 0 ? 0 : int(count))
                                        : ::sendmmsg(tx, messages, count, 0);
                if (n <= 0)
                    continue;
                sent += uint64_t(n);
                if (bytesPerSecond == 0)
                    continue;
                const auto due = start + std::chrono::nanoseconds(sent * kDatagram * 1000000000ull / bytesPerSecond);
                if (due - std::chrono::steady_clock::now() > std::chrono::microseconds(200))
                    std::this_thread::sleep_until(due);
                while (std::chrono::steady_clock::now() < due) {
                }
            }
        });
        sender.join();
        receiver.join();
        seconds += std::chrono::duration<double>(last - start).count();
        cpu += cpuSeconds;
        received += got;
        lost += packets - got;
    }
    ::close(rx);
    ::close(tx);
    state.counters["MB/s"] = seconds > 0 ? double(received) * kPayload / seconds / 1e6 : 0;
    state.counters["cpu_us/image"] = received ? cpu * 1e6 / double(received) * double(perImage) : 0;
    state.counters["receiver_cores"] = seconds > 0 ? cpu / seconds : 0;
    state.counters["lost_packets"] = double(lost);
    state.counters["sender_MB/s"] = double(bytesPerSecond) / 1e6;
}
BENCHMARK(BM_LoopbackCeiling)->Apply(atNetworkRates);

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
