// The simulated serial camera and the host ports, as seen from the line.
#include "ClSerialSim.h"

#include <gtest/gtest.h>

#include <chrono>

using clsim::Bytes;

namespace {

// A READMEM command as bytes, with its checksums worked out by hand.
const Bytes kReadModel = {0x01, 0x00, 0xB7, 0xF2, 0xB7, 0x6E, 0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x0C,
                          0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00, 0x40};

Bytes exchange(clsim::PtySerialPort& port, const Bytes& command, std::uint32_t answerSize, std::int32_t& result)
{
    std::uint32_t size = std::uint32_t(command.size());
    EXPECT_EQ(port.write(reinterpret_cast<const char*>(command.data()), &size, 200), 0);
    Bytes answer(answerSize);
    size = answerSize;
    result = port.read(reinterpret_cast<char*>(answer.data()), &size, 300);
    answer.resize(size);
    return answer;
}

}  // namespace

TEST(ClSimPtyCamera, AnswersOnlyAtItsRate)
{
    clsim::CameraConfig config;
    config.rate = 0x10;
    clsim::PtyCamera camera(config);
    ASSERT_TRUE(camera.ok());
    clsim::PtySerialPort port(camera.slavePath());
    ASSERT_TRUE(port.ok());

    std::int32_t result = 0;
    EXPECT_TRUE(exchange(port, kReadModel, 80, result).empty());
    EXPECT_EQ(result, CL_ERR_TIMEOUT);

    ASSERT_EQ(port.setRate(0x10), 0);
    const Bytes answer = exchange(port, kReadModel, 80, result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(answer[10], 0x08);
    EXPECT_EQ(answer[11], 0x01);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data()) + 16), "SIM-CL2048M");

    const auto commands = camera.device().commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_FALSE(commands[0].answered);
    EXPECT_EQ(commands[0].lineRate, 0x01u);
    EXPECT_TRUE(commands[1].answered);
    EXPECT_EQ(commands[1].address, 0x44u);
    EXPECT_EQ(commands[1].length, 64u);
}

TEST(ClSimPtyCamera, GarbageBeforeAFrameIsSkippedAndUnpluggedIsSilent)
{
    clsim::PtyCamera camera;
    clsim::PtySerialPort port(camera.slavePath());
    Bytes noisy = {0x01, 0x55, 0x00, 0x13};
    noisy.insert(noisy.end(), kReadModel.begin(), kReadModel.end());
    std::int32_t result = 0;
    EXPECT_EQ(exchange(port, noisy, 80, result).size(), 80u);
    EXPECT_EQ(result, 0);

    camera.unplug();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(exchange(port, kReadModel, 80, result).empty());
    EXPECT_EQ(result, CL_ERR_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(ClSimPtySerialPort, RatesFollowTheMask)
{
    clsim::PtyCamera camera;
    clsim::PtySerialPort port(camera.slavePath());
    port.setSupportedRates(0x11);
    std::uint32_t mask = 0;
    ASSERT_EQ(port.port()->functions->getSupportedBaudRates(port.port(), &mask), 0);
    EXPECT_EQ(mask, 0x11u);
    EXPECT_EQ(port.setRate(0x20), CL_ERR_BAUD_RATE_NOT_SUPPORTED);
    EXPECT_EQ(port.setRate(0x11), CL_ERR_BAUD_RATE_NOT_SUPPORTED);
    EXPECT_EQ(port.rate(), 0x01u);
    EXPECT_EQ(port.port()->functions->setBaudRate(port.port(), 0x10), 0);
    EXPECT_EQ(port.rate(), 0x10u);
}

TEST(ClSimGenCPDevice, RateSwitchesAfterTheAcknowledge)
{
    clsim::GenCPDevice device;
    // WRITEMEM of 0x10 to the current-rate register at 0x2004.
    const Bytes command = {0x01, 0x00, 0xB7, 0xEF, 0x97, 0xDB, 0x00, 0x00, 0x40, 0x00, 0x08, 0x02, 0x00, 0x0C,
                           0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x04, 0x00, 0x00, 0x00, 0x10};
    clsim::Answer answer;
    ASSERT_TRUE(device.process(command, 0x01, answer));
    EXPECT_EQ(answer.bytes.size(), 20u);
    EXPECT_EQ(answer.bytes[19], 4);  // bytes written
    EXPECT_EQ(device.rate(), 0x10u);
    EXPECT_FALSE(device.process(kReadModel, 0x01, answer));
    EXPECT_TRUE(device.process(kReadModel, 0x10, answer));
    Bytes broken = kReadModel;
    broken[3] ^= 1;
    EXPECT_FALSE(device.process(broken, 0x10, answer));
}
