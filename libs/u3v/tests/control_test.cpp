#include "U3vControl.h"
#include "U3vTestSupport.h"

#include <chrono>
#include <cstring>

using namespace u3vtest;

namespace {

struct Command {
    std::uint16_t code;
    std::uint16_t id;
    std::uint16_t length;
    std::uint64_t address;
    std::uint16_t count; // READMEM: bytes asked; WRITEMEM: bytes carried
};

Command parse(const std::vector<std::uint8_t>& c)
{
    Command out{};
    out.code = le16(&c[6]);
    out.length = le16(&c[8]);
    out.id = le16(&c[10]);
    out.address = le64(&c[12]);
    out.count = out.code == 0x0800 ? le16(&c[22]) : std::uint16_t(c.size() - 20);
    return out;
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    char b[3];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        out += b;
    }
    return out;
}

class PexlinControl : public SimBus {
protected:
    void SetUp() override
    {
        SimBus::SetUp();
        sim("device.add cam");
    }

    std::vector<Command> commands()
    {
        std::vector<Command> out;
        for (const auto& c : device()->commands())
            out.push_back(parse(c));
        return out;
    }
};

} // namespace

TEST_F(PexlinControl, OpenReadsTheBootstrapRegistersInOrder)
{
    openCamera();
    const auto sent = device()->commands();
    ASSERT_EQ(sent.size(), 7u);
    // Written by hand from the command layout: prefix, flags 0x4000,
    // READMEM 0x0800, length 12, request id 1, address 0x01D8, reserved, 8.
    EXPECT_EQ(hex(sent[0]), "55335643004000080C000100D8010000000000000000" "0800");
    // WRITEMEM 0x0802, length 16, request id 7, address 0x01E0, eight zeros.
    EXPECT_EQ(hex(sent[6]), "5533564300400208100007" "00E001000000000000" "0000000000000000");
    const std::pair<std::uint64_t, std::uint16_t> expected[] = {
        {0x01D8, 8}, {0x01CC, 4}, {u3vsim::kSbrmAddress + 0x14, 4},
        {u3vsim::kSbrmAddress + 0x18, 4}, {u3vsim::kSbrmAddress + 0x1C, 4}, {0x01C4, 4},
        {0x01E0, 8}};
    const auto parsed = commands();
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        EXPECT_EQ(parsed[i].id, i + 1) << i;
        EXPECT_EQ(parsed[i].address, expected[i].first) << i;
        EXPECT_EQ(parsed[i].count, expected[i].second) << i;
        EXPECT_EQ(parsed[i].code, i < 6 ? 0x0800 : 0x0802) << i;
    }
    EXPECT_EQ(control_->sbrmAddress, u3vsim::kSbrmAddress);
    EXPECT_EQ(control_->maxCommandLength, 1024u);
    EXPECT_EQ(control_->maxAckLength, 1024u);
    EXPECT_EQ(control_->streamChannels, 1u);
    EXPECT_EQ(control_->capSbrm, 1);
    EXPECT_EQ(control_->capWrittenLength, 1);
    EXPECT_EQ(control_->capUserName, 0);
    // Both halts cleared first, IN before OUT.
    EXPECT_EQ(device()->clearedHalts(), (std::vector<unsigned>{0x81, 0x01}));
    EXPECT_TRUE(logged(1, "Open control interface successful."));
}

TEST_F(PexlinControl, ResponseTimeBecomesTheTimeOut)
{
    struct Case { const char* response; std::uint32_t used; };
    for (const Case& c : {Case{"500", 500}, Case{"0", 3000}, Case{"2500", 2500}}) {
        SCOPED_TRACE(c.response);
        sim("world.clear");
        sim(std::string("device.add cam response=") + c.response);
        openCamera();
        std::uint32_t ms = 0;
        EXPECT_EQ(U3V_MaximumDeviceResponseTime(control_, &ms), 0);
        EXPECT_EQ(ms, c.used);
        std::uint8_t b[4];
        device()->clearRecords();
        ASSERT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), 0);
        const auto transfers = device()->transfers();
        ASSERT_EQ(transfers.size(), 2u);
        for (const auto& t : transfers)
            EXPECT_EQ(t.timeoutMs, int(c.used));
        closeCamera();
    }
}

TEST_F(PexlinControl, TimeOutBeforeOpenAndFailedOpen)
{
    sim("world.clear");
    sim("device.add cam claimed");
    openCamera("SIMU3V000001", U3V_STATUS_CLAIM_CONTROL);
    ASSERT_NE(control_, nullptr);
    EXPECT_TRUE(logged(4, "Can't open/claiming control interface."));
    std::uint32_t ms = 0;
    EXPECT_EQ(U3V_MaximumDeviceResponseTime(control_, &ms), 0);
    EXPECT_EQ(ms, 3000u);
    std::uint8_t b[4];
    EXPECT_EQ(U3V_ReadMem(control_, 0, 4, b), U3V_STATUS_CONTROL_NOT_OPEN);
    EXPECT_EQ(U3V_WriteMem(control_, 0, 4, b), U3V_STATUS_CONTROL_NOT_OPEN);
    EXPECT_TRUE(device()->commands().empty());
}

TEST_F(PexlinControl, FailedOpenStepLeavesTheChannelUsable)
{
    sim("fault cam status 0x8006 from=0x20018");
    openCamera("SIMU3V000001", 0x8006);
    EXPECT_TRUE(logged(4, "Error open control interface."));
    std::uint8_t b[4] = {};
    EXPECT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), 0);
}

TEST_F(PexlinControl, RequestIdentifiersWrapToOne)
{
    openCamera();
    control_->requestId = 0xFFFE;
    std::uint8_t b[4];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), 0);
    const auto c = commands();
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[c.size() - 3].id, 0xFFFF);
    EXPECT_EQ(c[c.size() - 2].id, 1);
    EXPECT_EQ(c[c.size() - 1].id, 2);
}

TEST_F(PexlinControl, MemoryRoundTripAndSizeLimits)
{
    openCamera();
    std::vector<std::uint8_t> out(1024), in(1024);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::uint8_t(i * 7 + 3);
    struct Case { bool write; std::uint16_t count; U3V_STATUS status; };
    const Case cases[] = {
        {true, 1024, 0}, {true, 1025, U3V_STATUS_OUT_OF_RANGE}, {true, 0xFFFF, U3V_STATUS_OUT_OF_RANGE},
        {false, 1012, 0}, {false, 1013, U3V_STATUS_OUT_OF_RANGE}, {false, 0xFFFF, U3V_STATUS_OUT_OF_RANGE},
        {false, 1, 0}, {true, 1, 0},
    };
    std::vector<std::uint8_t> big(0xFFFF);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.write ? "write " : "read ") + std::to_string(c.count));
        device()->clearRecords();
        const U3V_STATUS status = c.write
            ? U3V_WriteMem(control_, 0x40000, c.count, c.count > 1024 ? big.data() : out.data())
            : U3V_ReadMem(control_, 0x40000, c.count, c.count > 1012 ? big.data() : in.data());
        EXPECT_EQ(status, c.status);
        // Refused requests are never sent.
        EXPECT_EQ(device()->commands().size(), c.status == 0 ? 1u : 0u);
        if (!c.write && status == 0) {
            EXPECT_EQ(0, std::memcmp(in.data(), out.data(), c.count));
        }
    }
    EXPECT_TRUE(logged(4, "ReadMem [40000]: C01E"));
    EXPECT_TRUE(logged(4, "WriteMem [40000]: C01E"));
}

TEST_F(PexlinControl, AcknowledgeFaults)
{
    struct Case {
        const char* name;
        const char* fault;
        bool write;
        U3V_STATUS status;
        std::vector<unsigned> halts;
    };
    const Case cases[] = {
        {"write fails", "write-fail", false, U3V_STATUS_TRANSFER_FAILED, {0x01}},
        {"read fails", "read-fail", false, U3V_STATUS_TRANSFER_FAILED, {0x81}},
        {"write fails (WRITEMEM)", "write-fail", true, U3V_STATUS_TRANSFER_FAILED, {0x01}},
        {"read fails (WRITEMEM)", "read-fail", true, U3V_STATUS_TRANSFER_FAILED, {0x81}},
        {"silent", "silent", false, U3V_STATUS_TRANSFER_FAILED, {0x81}},
        {"late", "late", false, U3V_STATUS_TRANSFER_FAILED, {0x81}},
        {"late (WRITEMEM)", "late", true, U3V_STATUS_TRANSFER_FAILED, {0x81}},
        {"wrong prefix", "prefix", false, U3V_STATUS_WRONG_PREFIX, {}},
        {"wrong prefix (WRITEMEM)", "prefix", true, U3V_STATUS_WRONG_PREFIX, {}},
        {"wrong command", "command", false, U3V_STATUS_WRONG_COMMAND, {}},
        {"wrong command (WRITEMEM)", "command", true, U3V_STATUS_WRONG_COMMAND, {}},
        {"newer request id", "id", false, U3V_STATUS_WRONG_REQUEST_ID, {}},
        {"newer request id (WRITEMEM)", "id", true, U3V_STATUS_WRONG_REQUEST_ID, {}},
        {"refused", "status 0x8006", false, 0x8006, {}},
        {"refused (WRITEMEM)", "status 0x8003", true, 0x8003, {}},
        {"one byte short", "short", false, U3V_STATUS_WRONG_LENGTH, {}},
        {"written length short", "short-written", true, U3V_STATUS_WRONG_LENGTH, {}},
        {"PENDING to a READMEM", "pending 2000", false, U3V_STATUS_WRONG_COMMAND, {}},
    };
    openCamera();
    std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim(std::string("fault cam ") + c.fault);
        device()->clearRecords();
        const U3V_STATUS status = c.write ? U3V_WriteMem(control_, 0x40000, 8, data)
                                          : U3V_ReadMem(control_, 0x40000, 8, data);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(device()->clearedHalts(), c.halts);
        char line[64];
        std::snprintf(line, sizeof line, "%s [40000]: %04X", c.write ? "WriteMem" : "ReadMem",
                      c.status);
        EXPECT_TRUE(logged(4, line)) << line;
        // The next command works: a late answer is dropped on the way.
        std::uint8_t b[4] = {};
        EXPECT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), 0);
        EXPECT_EQ(le32(b), 0x0A00u);
        sim("fault.clear cam");
    }
}

TEST_F(PexlinControl, LateAnswerIsDroppedWithinTheTimeOut)
{
    openCamera();
    // The first answer comes late; the second read gets it first.
    sim("fault cam late");
    std::uint8_t b[8];
    EXPECT_EQ(U3V_ReadMem(control_, 0x1D8, 8, b), U3V_STATUS_TRANSFER_FAILED);
    device()->clearRecords();
    ASSERT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), 0);
    EXPECT_EQ(le32(b), 0x0A00u);
    const auto t = device()->transfers();
    ASSERT_EQ(t.size(), 3u); // command, stale answer, right answer
    EXPECT_EQ(t[1].result, 20); // the stale 8-byte READMEM answer
    EXPECT_EQ(t[2].result, 16);
    EXPECT_LE(t[2].timeoutMs, 1000);
    EXPECT_GT(t[2].timeoutMs, 0);
}

TEST_F(PexlinControl, PendingAcknowledgeWaitsAsLongAsItSays)
{
    struct Case { const char* caps; const char* pending; int finalTimeout; };
    const Case cases[] = {
        {"0x0A00", "2000", 2000}, // written length reported
        {"0x0200", "2000", 2000}, // no written length: PENDING is longer than a plain answer
        {"0x0A00", "0", 1000},    // 0 keeps the time-out in use
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.caps) + " pending " + c.pending);
        sim("world.clear");
        sim(std::string("device.add cam caps=") + c.caps);
        openCamera();
        sim(std::string("fault cam pending ") + c.pending);
        device()->clearRecords();
        const std::uint8_t data[4] = {9, 9, 9, 9};
        EXPECT_EQ(U3V_WriteMem(control_, 0x40000, 4, data), 0);
        const auto t = device()->transfers();
        ASSERT_EQ(t.size(), 3u);
        EXPECT_EQ(t[1].result, 16); // PENDING
        EXPECT_EQ(t[1].timeoutMs, 1000);
        EXPECT_EQ(t[2].timeoutMs, c.finalTimeout);
        std::uint8_t back[4] = {};
        device()->readMemory(0x40000, back, 4);
        EXPECT_EQ(le32(back), 0x09090909u);
        closeCamera();
    }
}

TEST_F(PexlinControl, WrittenLengthIsOnlyJudgedWhereReported)
{
    sim("world.clear");
    sim("device.add cam caps=0x0200");
    openCamera();
    sim("fault cam short-written");
    const std::uint8_t data[4] = {};
    EXPECT_EQ(U3V_WriteMem(control_, 0x40000, 4, data), 0);
}

TEST_F(PexlinControl, ClosingChannelAndDeviceReleasesEveryClaim)
{
    openCamera();
    EXPECT_EQ(device()->claims, (std::set<int>{0}));
    closeCamera();
    EXPECT_TRUE(device()->claims.empty());
}
