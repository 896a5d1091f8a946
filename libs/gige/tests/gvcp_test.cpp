#include "PellagoTestSupport.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>

#include <gtest/gtest.h>

using namespace pellagotest;
using Clock = std::chrono::steady_clock;

namespace {

int64_t millisSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// One camera on a scripted peer, with its log gathered at level 5.
class Exchange : public ::testing::Test {
protected:
    void start(Script script)
    {
        peer = std::make_unique<ScriptedPeer>(std::move(script));
        ASSERT_EQ(openCamera(&camera, kLoopback, peer->port()), 0);
        ASSERT_EQ(registerMessageCallback(camera, 5, nullptr, &LineSink::callback, &sink), 0);
        sink.take();
    }
    void TearDown() override
    {
        if (camera) {
            EXPECT_EQ(closeCamera(camera), 0);
        }
        pellago::setPollFunction(nullptr);
    }
    size_t linesContaining(const std::string& text)
    {
        size_t n = 0;
        for (const std::string& line : sink.take())
            n += line.find(text) != std::string::npos;
        return n;
    }

    std::unique_ptr<ScriptedPeer> peer;
    void* camera = nullptr;
    LineSink sink;
};

struct PeerCase {
    const char* name;
    Script script;
    int32_t ackLength;  // READREG of 0x0A00 with this acknowledge length
    bool withBuffer;
    int32_t tries;
    int32_t timeoutMs;
    int32_t result;
    size_t sends;
    size_t retryLines;
};

Reply answerWith(const Bytes& got, const Bytes& payload, uint16_t status = 0)
{
    return {0, ack(status, 0x0081, idOf(got), payload)};
}

std::vector<PeerCase> peerCases()
{
    const Bytes value = words({0x12345678});
    return {
        {"answer", [=](int, const Bytes& g) { return std::vector<Reply>{answerWith(g, value)}; },
         4, true, 3, 200, 0, 1, 0},
        {"two drops", [=](int i, const Bytes& g) {
             return i < 2 ? std::vector<Reply>{} : std::vector<Reply>{answerWith(g, value)}; },
         4, true, 3, 100, 0, 3, 2},
        {"pending 1000 ms", [=](int, const Bytes& g) {
             return std::vector<Reply>{{0, pendingAck(idOf(g), 1000)}, {700, answerWith(g, value).bytes}}; },
         4, true, 1, 200, 0, 1, 0},
        {"stale id first", [=](int, const Bytes& g) {
             return std::vector<Reply>{{0, ack(0, 0x0081, uint16_t(idOf(g) - 1), words({1}))},
                                       answerWith(g, value)}; },
         4, true, 3, 200, 0, 1, 0},
        {"wrong acknowledge command", [=](int, const Bytes& g) {
             return std::vector<Reply>{{0, ack(0, 0x0083, idOf(g), value)}}; },
         4, true, 3, 200, -111, 1, 0},
        {"datagram of 600 bytes", [=](int, const Bytes& g) {
             Bytes big = ack(0, 0x0081, idOf(g), Bytes(592, 1), 4);
             return std::vector<Reply>{{0, big}}; },
         4, true, 3, 200, -112, 1, 0},
        {"size differs from length", [=](int, const Bytes& g) {
             return std::vector<Reply>{{0, ack(0, 0x0081, idOf(g), words({1, 2}), 4)}}; },
         4, true, 3, 200, -112, 1, 0},
        {"eight bytes into four", [=](int, const Bytes& g) {
             return std::vector<Reply>{answerWith(g, words({1, 2}))}; },
         4, true, 3, 200, -113, 1, 0},
        {"no buffer", [=](int, const Bytes& g) {
             return std::vector<Reply>{answerWith(g, words({1, 2}))}; },
         8, false, 3, 200, -114, 1, 0},
        {"already streaming", [=](int, const Bytes& g) {
             return std::vector<Reply>{answerWith(g, value, 0xC002)}; },
         4, true, 3, 200, 0, 1, 0},
        {"access denied", [=](int, const Bytes& g) {
             return std::vector<Reply>{answerWith(g, value, 0x8006)}; },
         4, true, 3, 200, 0x8006, 1, 0},
        {"silent", nullptr, 4, true, 3, 50, -212, 3, 2},
        {"short datagrams", [=](int, const Bytes& g) {
             Bytes shortPending = pendingAck(idOf(g), 5000);
             shortPending.resize(10);
             return std::vector<Reply>{{0, Bytes{0x00, 0x00, 0x00, 0x81}}, {0, shortPending},
                                       {0, Bytes(7, 0)}, answerWith(g, value)}; },
         4, true, 1, 300, 0, 1, 0},
        {"short pending does not extend", [=](int, const Bytes& g) {
             Bytes shortPending = pendingAck(idOf(g), 5000);
             shortPending.resize(11);
             return std::vector<Reply>{{0, shortPending}}; },
         4, true, 1, 100, -212, 1, 0},
    };
}

}  // namespace

TEST_F(Exchange, ScriptedPeerCases)
{
    for (const PeerCase& c : peerCases()) {
        SCOPED_TRACE(c.name);
        start(c.script);
        uint8_t buffer[8] = {};
        const Bytes address = words({0x0A00});
        const auto began = Clock::now();
        const int32_t result = GVCPTransportEx(camera, 0x80, 4, address.data(), c.ackLength,
                                               c.withBuffer ? buffer : nullptr, c.tries, c.timeoutMs);
        const int64_t took = millisSince(began);
        EXPECT_EQ(result, c.result);
        const auto got = peer->received();
        EXPECT_EQ(got.size(), c.sends);
        for (const Bytes& command : got)
            EXPECT_EQ(command, (Bytes{0x42, 0x01, 0x00, 0x80, 0x00, 0x04, 0x00, 0x01, 0, 0, 0x0A, 0}));
        const auto lines = sink.take();
        size_t retries = 0;
        for (const std::string& line : lines)
            retries += line.find("Retry sendto() after ") != std::string::npos;
        EXPECT_EQ(retries, c.retryLines);
        if (c.result == 0) {
            EXPECT_EQ(get32(Bytes(buffer, buffer + 4), 0), 0x12345678u);
        }
        if (std::string(c.name) == "pending 1000 ms") {
            EXPECT_GE(took, 650);
        }
        if (std::string(c.name) == "short pending does not extend") {
            EXPECT_LT(took, 2000);
        }
        EXPECT_EQ(closeCamera(camera), 0);
        camera = nullptr;
        peer.reset();
    }
}

TEST_F(Exchange, ZeroAcknowledgeLengthSendsOncePerTryAndWaitsFully)
{
    start([](int, const Bytes&) { return std::vector<Reply>{}; });
    const Bytes data = words({0x0938, 5000});
    const auto began = Clock::now();
    EXPECT_EQ(GVCPTransportEx(camera, 0x82, 8, data.data(), 0, nullptr, 2, 100), 0);
    EXPECT_GE(millisSince(began), 190);
    const auto got = peer->received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0][1], 0x00);  // no acknowledge requested
    EXPECT_EQ(Bytes(got[0].begin() + 8, got[0].end()), data);
}

TEST_F(Exchange, TriesBelowOneSendNothing)
{
    start(answerAll());
    uint8_t buffer[4];
    const Bytes address = words({0x0A00});
    EXPECT_EQ(GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 0, 100), -212);
    EXPECT_TRUE(peer->received().empty());
    // The id still advanced.
    EXPECT_EQ(pellago::findCamera(camera)->requestId, 2);
}

TEST_F(Exchange, StrayFloodDoesNotStretchTheTries)
{
    std::atomic<bool> flooding{true};
    start([&](int, const Bytes& g) {
        std::vector<Reply> strays;
        for (int i = 0; i < 150 && flooding; ++i)
            strays.push_back({10, ack(0, 0x0081, uint16_t(idOf(g) + 100), words({0}))});
        return strays;
    });
    uint8_t buffer[4];
    const Bytes address = words({0x0A00});
    const auto began = Clock::now();
    EXPECT_EQ(GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 2, 150), -212);
    const int64_t took = millisSince(began);
    flooding = false;
    EXPECT_GE(took, 290);
    EXPECT_LT(took, 1200);  // the flood lasts 1.5 s
}

TEST_F(Exchange, RequestIdsRunFrom65535To1AfterSuccessAndTimeOut)
{
    uint8_t buffer[4];
    const Bytes address = words({0x0A00});
    for (bool answering : {true, false}) {
        SCOPED_TRACE(answering ? "answered" : "timed out");
        start(answering ? answerAll() : Script{});
        pellago::findCamera(camera)->requestId = 65535;
        GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 1, 50);
        EXPECT_EQ(GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 1, 50), answering ? 0 : -212);
        const auto got = peer->received();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(idOf(got[0]), 65535);
        EXPECT_EQ(idOf(got[1]), 1);
        EXPECT_EQ(closeCamera(camera), 0);
        camera = nullptr;
        peer.reset();
    }
}

namespace {
void ignoreSignal(int) {}
}  // namespace

TEST_F(Exchange, SignalDuringTheWaitResumesIt)
{
    start([](int, const Bytes& g) {
        return std::vector<Reply>{{300, ack(0, 0x0081, idOf(g), words({7}))}};
    });
    struct sigaction action {};
    action.sa_handler = &ignoreSignal;  // no SA_RESTART: the wait sees EINTR
    struct sigaction old {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
    const pthread_t self = ::pthread_self();
    std::thread interrupter([self] {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            ::pthread_kill(self, SIGUSR1);
        }
    });
    uint8_t buffer[4] = {};
    const Bytes address = words({0x0A00});
    const int32_t result = GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 1, 1000);
    interrupter.join();
    ::sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(buffer[3], 7);
    EXPECT_EQ(peer->received().size(), 1u);
}

namespace {
std::atomic<int> failedWaits{0};
int failingWait(struct pollfd*, nfds_t, const struct timespec*)
{
    ++failedWaits;
    errno = EBADF;
    return -1;
}
}  // namespace

TEST_F(Exchange, FailedWaitRetiresTheSocketForGood)
{
    start(answerAll());
    const int fd = pellago::findCamera(camera)->controlSocket;
    uint8_t buffer[4];
    const Bytes address = words({0x0A00});
    failedWaits = 0;
    pellago::setPollFunction(&failingWait);
    EXPECT_EQ(GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 3, 100), -212);
    EXPECT_EQ(failedWaits.load(), 1);  // no further tries
    pellago::setPollFunction(nullptr);
    for (int i = 0; i < 100 && peer->received().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(peer->received().size(), 1u);
    sink.take();

    // Later exchanges send nothing and claim no success.
    EXPECT_EQ(GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 3, 100), -212);
    const Bytes write = words({0x0938, 1000});
    EXPECT_EQ(GVCPTransportEx(camera, 0x82, 8, write.data(), 0, nullptr, 3, 100),
              NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(peer->received().size(), 1u);
    EXPECT_EQ(failedWaits.load(), 1);
    EXPECT_EQ(pellago::findCamera(camera)->requestId, 4);

    // The descriptor was never closed behind the record's back: it is still
    // the library's, and goes with the record.
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(closeCamera(camera), 0);
    camera = nullptr;
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST_F(Exchange, FailedWaitWithoutAcknowledgeIsNoSuccess)
{
    start(answerAll());
    pellago::setPollFunction(&failingWait);
    const Bytes write = words({0x0938, 1000});
    EXPECT_EQ(GVCPTransportEx(camera, 0x82, 8, write.data(), 0, nullptr, 3, 100),
              NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR);
}

TEST_F(Exchange, ArgumentsAreCheckedBeforeAnythingIsSent)
{
    start(answerAll());
    uint8_t data[548] = {};
    uint8_t buffer[548] = {};
    struct Case {
        void* handle;
        uint32_t command;
        int32_t dataLength;
        const void* data;
        int32_t ackLength;
        int32_t result;
    };
    const Case cases[] = {
        {camera, 0x80, 544, data, 4, OrvGigETL_CAMERA_PAYLOAD_LENGTH_EXCEEDED},
        {camera, 0x80, 4, data, 544, OrvGigETL_CAMERA_PAYLOAD_LENGTH_EXCEEDED},
        {camera, 0x80, 6, data, 4, OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID},
        {camera, 0x80, 4, data, 6, OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID},
        {camera, 0x80, -4, data, 4, OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID},
        {camera, 0x88, 4, data, 4, OrvGigETL_CAMERA_UNKNWON_COMMAND},
        {reinterpret_cast<void*>(0x7FFFFFF1), 0x80, 4, data, 4, OrvGigETL_CAMERA_NOT_FOUND},
        {camera, 0x80, 4, nullptr, 4, OrvGigETL_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        EXPECT_EQ(GVCPTransport(c.handle, c.command, c.dataLength, c.data, c.ackLength, buffer), c.result);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(peer->received().empty());
    EXPECT_EQ(pellago::findCamera(camera)->requestId, 1);
    EXPECT_TRUE(sink.take().empty());
    // Null data without a length is an empty payload.
    EXPECT_EQ(GVCPTransport(camera, 0x80, 0, nullptr, 4, buffer), 0);
}

TEST_F(Exchange, LargestPayloadsGoOutWhole)
{
    start(answerAll());
    Bytes addresses;
    for (uint32_t i = 0; i < 135; ++i)
        put32(addresses, 0x100 + 4 * i);
    Bytes buffer(540);
    EXPECT_EQ(GVCPTransport(camera, 0x80, 540, addresses.data(), 540, buffer.data()), 0);
    ASSERT_EQ(peer->received().size(), 1u);
    EXPECT_EQ(peer->received()[0].size(), 548u);
    EXPECT_EQ(get32(buffer, 536), 0x100u + 4 * 134 + 1);
}

TEST_F(Exchange, LevelFourLinesByteForByte)
{
    FakeClock fake;
    ClockScope scope(&fake);
    start([](int i, const Bytes& g) {
        std::vector<Reply> replies = answerAll()(i, g);
        if (i == 4)  // the second READREG: already streaming
            replies[0].bytes[0] = 0xC0, replies[0].bytes[1] = 0x02;
        return replies;
    });
    uint8_t buffer[8];
    const Bytes reg = words({0x0A00});
    const Bytes one = words({0x0938, 3000});
    const Bytes two = words({0x0D00, 0x10, 0x0D04, 0x5DC});
    const Bytes mem = words({0x0200, 32});
    ASSERT_EQ(GVCPTransport(camera, 0x80, 4, reg.data(), 4, buffer), 0);
    ASSERT_EQ(GVCPTransport(camera, 0x82, 8, one.data(), 4, buffer), 0);
    ASSERT_EQ(GVCPTransport(camera, 0x82, 16, two.data(), 4, buffer), 0);
    ASSERT_EQ(GVCPTransport(camera, 0x84, 8, mem.data(), 16, buffer + 0), -113);
    ASSERT_EQ(GVCPTransport(camera, 0x80, 4, reg.data(), 4, buffer), 0);
    const Bytes memWrite = words({0x0300, 0xAABBCCDD});
    ASSERT_EQ(GVCPTransport(camera, 0x86, 8, memWrite.data(), 4, buffer), 0);
    const std::vector<std::string> expected = {
        "00:00:00.000.000       0 \xB5s  1x  ReadReg:  0A00  Status: 0000  Val: 0A01 (2561)  ",
        "00:00:00.000.000       0 \xB5s  1x WriteReg:  0938  Status: 0000  Val: 0BB8 (3000)  ",
        "00:00:00.000.000       0 \xB5s  1x WriteReg:        Status: 0000  ",
        "00:00:00.000.000                 address:  0D00                Val: 0010 (16)",
        "00:00:00.000.000                 address:  0D04                Val: 05DC (1500)",
        "00:00:00.000.000       0 \xB5s  1x  ReadMem:  00000200  Status: FFFFFF8F  ",
        "00:00:00.000.000       0 \xB5s  1x  ReadReg:  0A00  Status: 0000  Val: 0A01 (2561)  "
        "CUST_STATUS_ALREADY_STREAMING rejected",
    };
    EXPECT_EQ(sink.take(), expected);
}

TEST_F(Exchange, ReadRegisterLineNeedsABufferAndReadsOnlyTheBytesGiven)
{
    FakeClock fake;
    ClockScope scope(&fake);
    start(answerAll());
    // An acknowledge that arrives with nowhere to go.
    EXPECT_EQ(GVCPTransport(camera, 0x80, 0, nullptr, 0, nullptr), -114);
    EXPECT_TRUE(sink.take().empty());
    uint8_t buffer[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(GVCPTransport(camera, 0x80, 0, nullptr, 0, buffer), 0);
    EXPECT_EQ(sink.take(), std::vector<std::string>{
        "00:00:00.000.000       0 \xB5s  1x  ReadReg:  0000  Status: 0000  Val: 0000 (0)  "});
}
