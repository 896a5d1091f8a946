// GenCP packets: checksums, the commands as bytes, and the checks of an
// acknowledge, against hand-written frames.
#include "ClSerialSim.h"
#include "GenCPFrame.h"
#include "OrvCLDeviceGenCP.h"

#include <gtest/gtest.h>

#include <functional>

using namespace brenwick;
using clsim::Bytes;

TEST(ClpGenCPChecksum, MatchesHandComputedSums)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::uint16_t sum;
    } cases[] = {
        {"read command header", {0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x0C, 0x00, 0x01}, 0xB7F2},
        {"odd length pads a zero", {0x01, 0x02, 0x03}, 0xFBFD},
        {"carry folds back", {0xFF, 0xFF, 0x00, 0x01}, 0xFFFE},
        {"empty", {}, 0xFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gencpSerialChecksum(c.bytes.data(), c.bytes.size()), c.sum) << c.name;
}

TEST(ClpGenCPFrame, ReadMemCommandIsTheGoldenFrame)
{
    const Bytes golden = {0x01, 0x00, 0xB7, 0xF2, 0xB7, 0x6E, 0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x0C,
                          0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00, 0x40};
    EXPECT_EQ(gencpReadMemCommand(1, 0x44, 64), golden);
}

TEST(ClpGenCPFrame, WriteMemCommandIsTheGoldenFrame)
{
    const Bytes golden = {0x01, 0x00, 0xB7, 0xEF, 0x97, 0xDB, 0x00, 0x00, 0x40, 0x00, 0x08, 0x02, 0x00, 0x0C,
                          0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x04, 0x00, 0x00, 0x00, 0x10};
    const std::uint8_t data[] = {0x00, 0x00, 0x00, 0x10};
    EXPECT_EQ(gencpWriteMemCommand(2, 0x2004, data, 4), golden);
}

namespace {

// A READMEM acknowledge as a camera sends it.
Bytes readAck(std::uint16_t requestId, const Bytes& data, std::uint16_t status = 0)
{
    Bytes f(16, 0);
    writeBE(&f[0], kGenCPPreamble, 2);
    writeBE(&f[8], status, 2);
    writeBE(&f[10], kGenCPReadMemAck, 2);
    writeBE(&f[12], data.size(), 2);
    writeBE(&f[14], requestId, 2);
    f.insert(f.end(), data.begin(), data.end());
    writeBE(&f[2], gencpSerialChecksum(&f[6], 10), 2);
    writeBE(&f[4], gencpSerialChecksum(&f[6], f.size() - 6), 2);
    return f;
}

void reseal(Bytes& f)
{
    writeBE(&f[2], gencpSerialChecksum(&f[6], 10), 2);
    writeBE(&f[4], gencpSerialChecksum(&f[6], f.size() - 6), 2);
}

}  // namespace

TEST(ClpGenCPAcknowledge, EachFaultIsRefused)
{
    const Bytes data = {0xDE, 0xAD, 0xBE, 0xEF};
    struct Case {
        const char* name;
        std::function<Bytes()> input;
        std::int32_t result;
    } cases[] = {
        {"good", [&] { return readAck(1, data); }, 0},
        {"wrong command", [&] { Bytes f = readAck(1, data); f[11] = 0x03; reseal(f); return f; }, CL_ERR_GENCP_ACK_INVALID},
        {"wrong request id", [&] { return readAck(7, data); }, CL_ERR_GENCP_ACK_INVALID},
        {"wrong CCD", [&] { Bytes f = readAck(1, data); f[3] ^= 1; return f; }, CL_ERR_GENCP_ACK_INVALID},
        {"wrong SCD", [&] { Bytes f = readAck(1, data); f[5] ^= 1; return f; }, CL_ERR_GENCP_ACK_INVALID},
        {"wrong preamble", [&] { Bytes f = readAck(1, data); f[0] = 0x02; return f; }, CL_ERR_GENCP_ACK_INVALID},
        {"refusal without SCD", [&] { return readAck(1, {}, 0x8006); }, 0x8006},
        {"SCD length beyond the bytes", [&] { Bytes f = readAck(1, data); writeBE(&f[12], 200, 2); reseal(f); return f; },
         CL_ERR_GENCP_ACK_INVALID},
        {"SCD shorter than asked", [&] { return readAck(1, {0xDE, 0xAD}); }, CL_ERR_GENCP_ACK_INVALID},
        {"late acknowledge first", [&] {
             Bytes f = readAck(0xFFFF, {1, 2, 3, 4});
             const Bytes good = readAck(1, data);
             f.insert(f.end(), good.begin(), good.end());
             return f;
         }, 0},
    };
    for (const Case& c : cases) {
        clsim::ScriptedSerialPort port;
        port.feed(c.input());
        OrvCLDeviceGenCP device;
        std::uint8_t buffer[4] = {};
        EXPECT_EQ(device._ReadRegister(port.port(), 0x100, buffer, 4, 50), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(Bytes(buffer, buffer + 4), data) << c.name;
        }
        EXPECT_EQ(port.pendingInput(), 0u) << c.name << ": input left for the next exchange";
    }
}

TEST(ClpGenCPAcknowledge, RefusalReturnsAtOnceAndFalseLengthNeverOverReads)
{
    {
        clsim::ScriptedSerialPort port;
        port.feed(readAck(1, {}, 0x8006));
        OrvCLDeviceGenCP device;
        std::uint8_t buffer[64];
        EXPECT_EQ(device._ReadRegister(port.port(), 0, buffer, 64, 50), 0x8006);
        // Only the header was asked for: no wait for data that never comes.
        EXPECT_EQ(port.readSizes(), (std::vector<std::uint32_t>{16}));
    }
    {
        clsim::ScriptedSerialPort port;
        Bytes f = readAck(1, {1, 2, 3, 4});
        writeBE(&f[12], 900, 2);
        reseal(f);
        port.feed(f);
        OrvCLDeviceGenCP device;
        std::uint8_t buffer[4];
        EXPECT_EQ(device._ReadRegister(port.port(), 0, buffer, 4, 50), CL_ERR_GENCP_ACK_INVALID);
        // After the header, only the drain reads, in pieces of 64 at most.
        for (std::uint32_t size : port.readSizes())
            EXPECT_LE(size, 64u);
    }
}

TEST(ClpGenCPAcknowledge, WriteWithShortWrittenLengthFails)
{
    clsim::GenCPDevice camera;
    clsim::ScriptedSerialPort port;
    port.attach(&camera);
    OrvCLDeviceGenCP device;
    const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(device._WriteRegister(port.port(), clsim::kScratchAddress, data, 8, 50), 0);
    camera.setFault(clsim::Fault::ShortWritten, 1);
    EXPECT_EQ(device._WriteRegister(port.port(), clsim::kScratchAddress, data, 8, 50), CL_ERR_GENCP_ACK_INVALID);
    camera.setFault(clsim::Fault::Refuse, 1, 0, 0x8004);
    EXPECT_EQ(device._WriteRegister(port.port(), clsim::kScratchAddress, data, 8, 50), 0x8004);
}

TEST(ClpGenCPAcknowledge, CameraFaultsGiveTheAckError)
{
    const struct {
        clsim::Fault fault;
        std::int32_t result;
    } cases[] = {
        {clsim::Fault::Garbled, CL_ERR_GENCP_ACK_INVALID},   {clsim::Fault::WrongCcd, CL_ERR_GENCP_ACK_INVALID},
        {clsim::Fault::WrongScd, CL_ERR_GENCP_ACK_INVALID},  {clsim::Fault::WrongCommand, CL_ERR_GENCP_ACK_INVALID},
        {clsim::Fault::WrongRequestId, CL_ERR_GENCP_ACK_INVALID}, {clsim::Fault::Silent, CL_ERR_TIMEOUT},
    };
    for (const auto& c : cases) {
        clsim::GenCPDevice camera;
        clsim::ScriptedSerialPort port;
        port.attach(&camera);
        OrvCLDeviceGenCP device;
        std::uint8_t buffer[64];
        camera.setFault(c.fault, 1);
        EXPECT_EQ(device._ReadRegister(port.port(), 0x44, buffer, 64, 50), c.result) << int(c.fault);
        // The device stays usable: the next exchange takes the next id and works.
        ASSERT_EQ(device._ReadRegister(port.port(), 0x44, buffer, 64, 50), 0) << int(c.fault);
        EXPECT_STREQ(reinterpret_cast<char*>(buffer), "SIM-CL2048M");
        const auto commands = camera.commands();
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[0].requestId, 1);
        EXPECT_EQ(commands[1].requestId, 2);
    }
}

TEST(ClpGenCPAcknowledge, RequestIdSkipsZeroWhenItWraps)
{
    clsim::GenCPDevice camera;
    clsim::ScriptedSerialPort port;
    port.attach(&camera);
    OrvCLDeviceGenCP device;
    std::uint8_t buffer[4];
    for (int i = 0; i < 65536; ++i)
        ASSERT_EQ(device._ReadRegister(port.port(), 0, buffer, 4, 50), 0);
    const auto commands = camera.commands();
    EXPECT_EQ(commands[65534].requestId, 0xFFFF);
    EXPECT_EQ(commands[65535].requestId, 1);
}
