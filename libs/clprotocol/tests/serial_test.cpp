// Serial I/O in pieces through a scripted port, the splitting of long
// transfers, and the baud-rate registers.
#include "ClSerialSim.h"
#include "OrvCLDeviceGenCP.h"
#include "SerialIO.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace brenwick;
using clsim::Bytes;
using Step = clsim::ScriptedSerialPort::Step;
using Sizes = std::vector<std::uint32_t>;

namespace {
Bytes counting(std::size_t n)
{
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(0));
    return bytes;
}
}  // namespace

TEST(ClpSerialIO, WritesInPiecesOf64)
{
    clsim::ScriptedSerialPort port;
    const Bytes data = counting(130);
    EXPECT_EQ(serialWrite(port.port(), data.data(), 130, 100), 0);
    EXPECT_EQ(port.writeSizes(), (Sizes{64, 64, 2}));
    EXPECT_EQ(port.written(), data);
}

TEST(ClpSerialIO, TimeOutRetries)
{
    const std::int32_t T = CL_ERR_TIMEOUT;
    const Bytes data = counting(10);
    struct Case {
        const char* name;
        bool write;
        std::vector<Step> steps;
        std::int32_t result;
        std::size_t calls;
    } cases[] = {
        {"write survives two", true, {{T, 0}, {T, 0}, {0, -1}}, 0, 3},
        {"write fails at the third", true, {{T, 0}, {T, 0}, {T, 0}}, T, 3},
        {"read survives three", false, {{T, 0}, {T, 0}, {T, 0}, {0, -1}}, 0, 4},
        {"read fails at the fourth", false, {{T, 0}, {T, 0}, {T, 0}, {T, 0}}, T, 4},
        {"success moving nothing is a time-out", true, {{0, 0}, {0, 0}, {0, 0}}, T, 3},
        {"other errors end at once", false, {{-10003, 0}}, -10003, 1},
        {"a count above the piece is an error", true, {{0, 65}}, CL_ERR_GENCP_ACK_INVALID, 1},
    };
    for (const Case& c : cases) {
        clsim::ScriptedSerialPort port;
        Bytes buffer(10, 0);
        std::int32_t result;
        if (c.write) {
            port.scriptWrites(c.steps);
            result = serialWrite(port.port(), data.data(), 10, 100);
        } else {
            port.feed(data);
            port.scriptReads(c.steps);
            result = serialRead(port.port(), buffer.data(), 10, 100);
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(port.calls().size(), c.calls) << c.name;
        if (result == 0) {
            EXPECT_EQ(c.write ? port.written() : buffer, data) << c.name;
        }
    }
}

TEST(ClpSerialIO, PartialCountWithTimeOutIsKept)
{
    const Bytes data = counting(10);
    clsim::ScriptedSerialPort port;
    port.scriptWrites({{CL_ERR_TIMEOUT, 4}});
    EXPECT_EQ(serialWrite(port.port(), data.data(), 10, 100), 0);
    EXPECT_EQ(port.writeSizes(), (Sizes{10, 6}));
    EXPECT_EQ(port.written(), data);

    clsim::ScriptedSerialPort reader;
    reader.feed(data);
    reader.scriptReads({{CL_ERR_TIMEOUT, 3}});
    Bytes buffer(10, 0);
    EXPECT_EQ(serialRead(reader.port(), buffer.data(), 10, 100), 0);
    EXPECT_EQ(reader.readSizes(), (Sizes{10, 7}));
    EXPECT_EQ(buffer, data);
}

TEST(ClpSerialIO, ZeroLengthIsNothingToMove)
{
    clsim::ScriptedSerialPort port;
    std::uint8_t byte = 0;
    EXPECT_EQ(serialWrite(port.port(), &byte, 0, 100), CL_ERR_NOTHING_TO_MOVE);
    EXPECT_EQ(serialRead(port.port(), &byte, 0, 100), CL_ERR_NOTHING_TO_MOVE);
    EXPECT_TRUE(port.calls().empty());
}

TEST(ClpGenCPDevice, LongTransfersAreSplitAtTheirAddresses)
{
    clsim::GenCPDevice camera;
    clsim::ScriptedSerialPort port;
    port.attach(&camera);
    OrvCLDeviceGenCP device;

    const Bytes data = counting(2500);
    ASSERT_EQ(device.WriteRegister(port.port(), clsim::kScratchAddress, data.data(), data.size(), 100), 0);
    Bytes back(2000, 0);
    ASSERT_EQ(device.ReadRegister(port.port(), clsim::kScratchAddress, back.data(), back.size(), 100), 0);
    EXPECT_EQ(back, Bytes(data.begin(), data.begin() + 2000));
    EXPECT_EQ(camera.memory(clsim::kScratchAddress, 2500), data);

    const auto commands = camera.commands();
    ASSERT_EQ(commands.size(), 6u);
    const std::uint64_t a = clsim::kScratchAddress;
    const std::vector<std::pair<std::uint64_t, std::uint32_t>> expected = {
        {a, 1000}, {a + 1000, 1000}, {a + 2000, 500}, {a, 996}, {a + 996, 996}, {a + 1992, 8}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(commands[i].address, expected[i].first) << i;
        EXPECT_EQ(commands[i].length, expected[i].second) << i;
    }
    EXPECT_EQ(device.ReadRegister(port.port(), 0, back.data(), 0, 100), 0);
    EXPECT_EQ(camera.commands().size(), 6u);
}

TEST(ClpGenCPDevice, LateBytesAreDrainedAfterAFailure)
{
    clsim::GenCPDevice camera;
    clsim::ScriptedSerialPort port;
    port.attach(&camera);
    OrvCLDeviceGenCP device;
    port.feed(Bytes(40, 0x55));  // left on the line by something else
    std::uint8_t buffer[64];
    EXPECT_EQ(device._ReadRegister(port.port(), 0x44, buffer, 64, 50), CL_ERR_GENCP_ACK_INVALID);
    EXPECT_EQ(port.pendingInput(), 0u);
    EXPECT_EQ(device._ReadRegister(port.port(), 0x44, buffer, 64, 50), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "SIM-CL2048M");
}

TEST(ClpGenCPDevice, SetBaudRateTakesOneCommonBit)
{
    clsim::CameraConfig config;
    config.rates = 0x11;
    clsim::GenCPDevice camera(config);
    clsim::ScriptedSerialPort port;
    port.setSupportedRates(0x31);
    port.attach(&camera);
    OrvCLDeviceGenCP device;
    ASSERT_EQ(device.Connect(port.port(), "NORRIK-Ombrel#CameraLink", 100), 0);
    std::uint32_t mask = 0;
    ASSERT_EQ(device.GetSupportedBaudRates(port.port(), &mask), 0);
    EXPECT_EQ(mask, 0x11u);

    for (std::uint32_t refused : {0x20u, 0x11u, 0u}) {
        camera.clearCommands();
        EXPECT_EQ(device.SetBaudRate(port.port(), &refused, 100), CL_ERR_BAUD_RATE_NOT_SUPPORTED) << refused;
        for (const auto& command : camera.commands())
            EXPECT_EQ(command.command, 0x0800) << "nothing written for " << refused;
        EXPECT_EQ(port.rate(), 0x01u);
    }
    const std::uint32_t rate = 0x10;
    EXPECT_EQ(device.SetBaudRate(port.port(), &rate, 100), 0);
    EXPECT_EQ(port.rate(), 0x10u);
    EXPECT_EQ(camera.rate(), 0x10u);
    std::uint32_t current = 0;
    EXPECT_EQ(device.GetBaudRate(port.port(), &current, 100), 0);
    EXPECT_EQ(current, 0x10u);
}
