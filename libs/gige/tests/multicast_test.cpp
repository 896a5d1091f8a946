// Multicast streams: the IGMP messages and port candidates, then, in a
// child process with a network namespace of its own (loopback up with the
// multicast range routed to it, a second adapter: dummy, or one end of a
// virtual pair where the kernel has no dummy driver), the reports a raw
// socket catches, the kernel's group lists and an image sent to the group.
#include "CameraSimulator.h"
#include "GvspSender.h"
#include "Multicast.h"
#include "PellagoTestSupport.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdarg>
#include <fstream>
#include <sstream>

using namespace pellagotest;

namespace {

constexpr uint32_t kGroup = 0xEF010101;      // 239.1.1.1
constexpr uint32_t kDummyIp = 0x0A090901;    // 10.9.9.1, on the dummy adapter
const Bytes kJoin = {0x16, 0x00, 0xF9, 0xFC, 0xEF, 0x01, 0x01, 0x01};
const Bytes kLeave = {0x17, 0x00, 0xF8, 0xFC, 0xEF, 0x01, 0x01, 0x01};

}  // namespace

TEST(Multicast, ReportsAndLeavesAsBytes)
{
    const auto join = pellago::igmpMessage(true, kGroup);
    const auto leave = pellago::igmpMessage(false, kGroup);
    EXPECT_EQ(Bytes(join.begin(), join.end()), kJoin);
    EXPECT_EQ(Bytes(leave.begin(), leave.end()), kLeave);
    const auto other = pellago::igmpMessage(true, 0xEFFF0001);
    EXPECT_EQ(Bytes(other.begin(), other.end()), (Bytes{0x16, 0x00, 0xF9, 0xFE, 0xEF, 0xFF, 0x00, 0x01}));
}

TEST(Multicast, PortCandidatesOfAGroup)
{
    const auto ports = pellago::multicastPortCandidates(0xEFFF0001);  // 239.255.0.1: r = 745
    ASSERT_EQ(ports.size(), 153u);
    EXPECT_EQ(ports.front(), 1769);
    EXPECT_EQ(ports[1], 1782);
    EXPECT_EQ(ports.back(), 3745);
    const auto other = pellago::multicastPortCandidates(kGroup);
    EXPECT_EQ(other.front(), 1705);
    EXPECT_EQ(other[1], 1718);
}

TEST(Multicast, UnknownStreamsAreLeftAlone)
{
    void* unknown = reinterpret_cast<void*>(0x7FFFFFF1);
    EXPECT_EQ(setMulticastMembership(unknown, kGroup, true), 0);
    EXPECT_EQ(closeMulticastStream(unknown, kGroup), 0);
    void* camera = nullptr;
    void* stream = nullptr;
    uint16_t port = 0;
    EXPECT_EQ(addMulticastStream(unknown, &stream, kGroup, kLoopback, &port, 1000, 1, 1500, 0, nullptr, nullptr),
              OrvGigETL_CAMERA_NOT_FOUND);
    ASSERT_EQ(openCamera(&camera, kLoopback, 3956), 0);
    EXPECT_EQ(addMulticastStream(camera, &stream, kGroup, kLoopback, nullptr, 1000, 1, 1500, 0, nullptr, nullptr),
              OrvGigETL_INVALID_PARAMETER);
    EXPECT_EQ(closeCamera(camera), 0);
}

namespace {

// Checks inside the child: a failure is written to stderr and ends it.
[[noreturn]] void fail(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    ::_exit(1);
}

#define CHILD_CHECK(condition, ...) \
    do {                            \
        if (!(condition))           \
            fail(__VA_ARGS__);      \
    } while (0)

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The groups the kernel lists for `adapter` (hex in host order, as
// /proc/net/igmp shows them).
std::vector<std::string> kernelGroups(const std::string& adapter)
{
    std::ifstream in("/proc/net/igmp");
    std::vector<std::string> groups;
    std::string line, current;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (line.empty() || first == "Idx")
            continue;
        if (line[0] != ' ' && line[0] != '\t') {
            std::string name;
            words >> name;
            current = name.substr(0, name.find(':'));
        } else if (current == adapter) {
            groups.push_back(first);
        }
    }
    return groups;
}

bool hasGroup(const std::string& adapter)
{
    const std::string wanted = "010101EF";  // 239.1.1.1 as the kernel prints it
    for (const std::string& g : kernelGroups(adapter))
        if (g == wanted)
            return true;
    return false;
}

// IGMP messages as they leave through the loopback adapter, seen by a
// packet socket whether or not the host is a member of the group.
class ReportCatcher {
public:
    ReportCatcher()
    {
        fd_ = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
        sockaddr_ll lo{};
        lo.sll_family = AF_PACKET;
        lo.sll_protocol = htons(ETH_P_IP);
        lo.sll_ifindex = static_cast<int>(::if_nametoindex("lo"));
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&lo), sizeof lo) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReportCatcher() { ::close(fd_); }
    bool valid() const { return fd_ >= 0; }

    // Forgets what was seen so far (each message passes lo twice).
    void drain()
    {
        uint8_t buffer[2048];
        while (::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    }

    // Reads until nothing has arrived for `ms` (at most three seconds): the
    // kernel's own delayed reports have gone.
    void settle(int ms = 500)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        uint8_t buffer[2048];
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0)
                return;
            while (::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
            }
        }
    }

    // Whether `expected` leaves within `ms`.
    bool caught(const Bytes& expected, int ms = 1000)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            uint8_t buffer[2048];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 20 || buffer[9] != IPPROTO_IGMP)
                continue;
            const size_t header = (buffer[0] & 0x0F) * 4;
            if (size_t(n) >= header + 8 && Bytes(buffer + header, buffer + header + 8) == expected)
                return true;
        }
        return false;
    }

private:
    int fd_ = -1;
};

struct ImageWait {
    std::mutex lock;
    std::condition_variable changed;
    int completed = 0;
    bool exact = false;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<ImageWait*>(context);
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        std::lock_guard<std::mutex> hold(self->lock);
        self->exact = gvsp::isPattern(static_cast<const uint8_t*>(r->frameData), 64, 48, uint16_t(r->blockId));
        ++self->completed;
        self->changed.notify_all();
        return 0;
    }
    bool waitForOne()
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(5), [this] { return completed > 0; });
    }
};

// The namespace's checks; ends the process with 0 when all hold.
void multicastInANamespace()
{
    ReportCatcher catcher;
    CHILD_CHECK(catcher.valid(), "no packet socket on lo");

    gvsp::Sender sender(gvsp::Sender::Options{});
    void* camera = nullptr;
    CHILD_CHECK(openCamera(&camera, kLoopback, sender.controlPort()) == 0, "openCamera");

    // The group's first candidate port is taken: the next one is used.
    const int blocker = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in taken{};
    taken.sin_family = AF_INET;
    taken.sin_port = htons(1705);
    CHILD_CHECK(::bind(blocker, reinterpret_cast<sockaddr*>(&taken), sizeof taken) == 0, "bind 1705");

    ImageWait images;
    void* stream = nullptr;
    uint16_t port = 0;
    int32_t result = addMulticastStream(camera, &stream, kGroup, kLoopback, &port, 64 * 48, 4, 576, 0,
                                        &ImageWait::callback, &images);
    CHILD_CHECK(result == 0, "addMulticastStream: %d", result);
    CHILD_CHECK(port == 1718, "port %d", port);
    CHILD_CHECK(catcher.caught(kJoin), "no join report after the add");
    CHILD_CHECK(hasGroup("lo") && !hasGroup("d0"), "membership not on the host IP's adapter");

    // An image sent to the group reaches the stream.
    sender.setDestination(port, kGroup);
    sender.sendImage(9);
    CHILD_CHECK(images.waitForOne() && images.exact, "no whole image from the group");

    // Leave, then join again: each a report, and the kernel's list follows.
    catcher.drain();
    CHILD_CHECK(setMulticastMembership(stream, kGroup, false) == 0, "leave");
    CHILD_CHECK(catcher.caught(kLeave), "no report for the first leave");
    CHILD_CHECK(!hasGroup("lo"), "still a member after the leave");
    catcher.drain();
    CHILD_CHECK(setMulticastMembership(stream, kGroup, true) == 0, "join again");
    CHILD_CHECK(catcher.caught(kJoin), "no report for the second join");
    CHILD_CHECK(hasGroup("lo"), "not a member after the second join");
    catcher.drain();
    CHILD_CHECK(setMulticastMembership(stream, kGroup, false) == 0, "second leave");
    CHILD_CHECK(catcher.caught(kLeave), "no report for the second leave");

    // Closing after a leave still sends a leave, from a new raw socket. The
    // kernel's delayed reports of the leave go first: with them on their
    // way the close's leave went unseen on lo in about one run of ten.
    catcher.settle();
    CHILD_CHECK(closeMulticastStream(stream, kGroup) == 0, "closeMulticastStream");
    CHILD_CHECK(catcher.caught(kLeave), "no leave report at the close");

    // On the dummy adapter's address the membership is there.
    const std::set<int> before = openDescriptors();
    port = 0;
    result = addMulticastStream(camera, &stream, kGroup, kDummyIp, &port, 64 * 48, 4, 576, 0, nullptr, nullptr);
    CHILD_CHECK(result == 0, "addMulticastStream on the dummy adapter: %d", result);
    CHILD_CHECK(hasGroup("d0") && !hasGroup("lo"), "membership not on the dummy adapter");
    // closeStream leaves no socket behind, the raw one included.
    CHILD_CHECK(closeStream(stream) == 0, "closeStream");
    CHILD_CHECK(openDescriptors() == before, "closeStream left descriptors behind");
    ::close(blocker);
    CHILD_CHECK(closeCamera(camera) == 0, "closeCamera");
}

// Without CAP_NET_RAW no report can be sent: the add fails with -233 and
// leaves no socket or membership behind.
void withoutRawSockets()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    CHILD_CHECK(::syscall(SYS_capget, &header, caps) == 0, "capget");
    caps[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
    caps[CAP_NET_RAW / 32].permitted &= ~(1u << (CAP_NET_RAW % 32));
    CHILD_CHECK(::syscall(SYS_capset, &header, caps) == 0, "capset");
    CHILD_CHECK(::socket(AF_INET, SOCK_RAW, IPPROTO_IGMP) < 0, "a raw socket without CAP_NET_RAW");

    gvsp::Sender sender(gvsp::Sender::Options{});
    void* camera = nullptr;
    CHILD_CHECK(openCamera(&camera, kLoopback, sender.controlPort()) == 0, "openCamera");
    const std::set<int> before = openDescriptors();
    void* stream = nullptr;
    uint16_t port = 0;
    const int32_t result =
        addMulticastStream(camera, &stream, kGroup, kLoopback, &port, 64 * 48, 4, 576, 0, nullptr, nullptr);
    CHILD_CHECK(result == OrvGigETL_MULTICAST_MANAGEMENT_FAILED, "addMulticastStream: %d", result);
    CHILD_CHECK(openDescriptors() == before, "the failed add left descriptors behind");
    CHILD_CHECK(!hasGroup("lo"), "the failed add left the membership behind");
    CHILD_CHECK(closeCamera(camera) == 0, "closeCamera");
}

}  // namespace

namespace {

// Runs `checks` in a child with a network namespace of its own; the
// child's exit status and messages decide the test.
void inANamespace(void (*checks)())
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pipeFds[1], 2);
        if (::unshare(CLONE_NEWNET) != 0)
            ::_exit(77);
        if (!run("ip link set lo up") || !run("ip route add 224.0.0.0/4 dev lo")
            || !(run("ip link add d0 type dummy") || run("ip link add d0 type veth peer name d1"))
            || !run("ip addr add 10.9.9.1/24 dev d0") || !run("ip link set d0 up"))
            ::_exit(78);
        checks();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << message;
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "this machine refuses a network namespace (unshare needs CAP_SYS_ADMIN)";
    if (WEXITSTATUS(status) == 78)
        GTEST_SKIP() << "the namespace could not be set up with ip (iproute2) and a second adapter";
    if (WEXITSTATUS(status) == 79)
        GTEST_SKIP() << message;
    EXPECT_EQ(WEXITSTATUS(status), 0) << message;
}

int writeRegister(void* camera, uint32_t address, uint32_t value)
{
    const Bytes data = words({address, value});
    uint8_t ack[4];
    return GVCPTransport(camera, OrvGigETL_WRITEREG_CMD, 8, data.data(), 4, ack);
}

uint32_t readRegister(void* camera, uint32_t address)
{
    const Bytes data = words({address});
    uint8_t ack[4] = {};
    if (GVCPTransport(camera, OrvGigETL_READREG_CMD, 4, data.data(), 4, ack) != 0)
        return 0;
    return get32(Bytes(ack, ack + 4), 0);
}

struct SimulatorImages {
    std::mutex lock;
    std::condition_variable changed;
    int whole = 0;
    int other = 0;
    uint32_t width = 0, height = 0;

    static int32_t callback(const OrvGigETL_SIGNAL* s, void* context)
    {
        auto* self = static_cast<SimulatorImages*>(context);
        if (s->type != OrvGigETL_SIGNAL_FRAME_COMPLETED && s->type != OrvGigETL_SIGNAL_FRAME_ABANDONED)
            return 0;
        const auto* r = static_cast<const ImageRecord*>(s->data);
        const bool whole = s->type == OrvGigETL_SIGNAL_FRAME_COMPLETED
                           && r->frameSize == self->width * self->height
                           && gvsp::isPattern(static_cast<const uint8_t*>(r->frameData), self->width,
                                              self->height, uint16_t(r->blockId), 255);
        std::lock_guard<std::mutex> hold(self->lock);
        ++(whole ? self->whole : self->other);
        self->changed.notify_all();
        return 0;
    }
};

// The camera simulator of aravis-tools inside the namespace, streaming to
// the group.
void simulatorToTheGroup()
{
    if (!gvsp::cameraSimulatorInstalled()) {
        std::fputs("arv-fake-gv-camera-0.8 is not installed (Debian package aravis-tools)", stderr);
        ::_exit(79);
    }
    const pid_t simulator = gvsp::startCameraSimulator();
    void* camera = nullptr;
    CHILD_CHECK(openCamera(&camera, kLoopback, 3956) == 0, "openCamera");
    bool answered = false;
    for (int i = 0; i < 50 && !answered; ++i) {
        answered = writeRegister(camera, 0x0A00, 2) == 0;  // control
        if (!answered)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    CHILD_CHECK(answered, "the simulator did not answer");
    // Its description file names these registers: Width, Height, the frame
    // period and the acquisition command.
    SimulatorImages images;
    images.width = readRegister(camera, 0x100);
    images.height = readRegister(camera, 0x104);
    CHILD_CHECK(images.width > 0 && images.height > 0, "no image size");
    CHILD_CHECK(writeRegister(camera, 0x138, 20000) == 0, "frame period");
    void* stream = nullptr;
    uint16_t port = 0;
    const int32_t result = addMulticastStream(camera, &stream, kGroup, kLoopback, &port,
                                              int32_t(images.width * images.height), 8, 1500, 0,
                                              &SimulatorImages::callback, &images);
    CHILD_CHECK(result == 0, "addMulticastStream: %d", result);
    CHILD_CHECK(writeRegister(camera, 0x0D00, port) == 0, "SCP");
    CHILD_CHECK(writeRegister(camera, 0x0D04, 1500) == 0, "SCPS");
    CHILD_CHECK(writeRegister(camera, 0x0D18, kGroup) == 0, "SCDA");
    CHILD_CHECK(writeRegister(camera, 0x124, 1) == 0, "acquisition start");
    {
        std::unique_lock<std::mutex> hold(images.lock);
        images.changed.wait_for(hold, std::chrono::seconds(10), [&] { return images.whole >= 10; });
    }
    writeRegister(camera, 0x124, 0);
    CHILD_CHECK(closeMulticastStream(stream, kGroup) == 0, "closeMulticastStream");
    closeCamera(camera);
    gvsp::stopCameraSimulator(simulator);
    std::lock_guard<std::mutex> hold(images.lock);
    CHILD_CHECK(images.whole >= 10 && images.other == 0, "%d whole images, %d others", images.whole, images.other);
}

}  // namespace

TEST(Multicast, MembershipReportsAndImagesInANetworkNamespace)
{
    inANamespace(&multicastInANamespace);
}

TEST(Multicast, CameraSimulatorStreamsToTheGroup)
{
    inANamespace(&simulatorToTheGroup);
}

TEST(Multicast, WithoutRawSocketsTheAddFails)
{
    inANamespace(&withoutRawSockets);
}
