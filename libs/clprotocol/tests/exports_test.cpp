// The exports a host calls without a camera: templates, error texts,
// parameters, version, and null pointers.
#include "BrenwickHost.h"

#include <cstring>

namespace {
const Brenwick& clp() { return Brenwick::get(); }
}

TEST(ClpExports, ShortDeviceTemplates)
{
    char buffer[64];
    std::uint32_t size = 25;
    EXPECT_EQ(clp().clpGetShortDeviceIDTemplates(buffer, &size), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 26u);
    size = 26;
    ASSERT_EQ(clp().clpGetShortDeviceIDTemplates(buffer, &size), 0);
    EXPECT_STREQ(buffer, "NORRIK-Ombrel#CameraLink\t");
    EXPECT_EQ(size, 26u);
    // A size alone asks for nothing to be copied.
    size = 40;
    EXPECT_EQ(clp().clpGetShortDeviceIDTemplates(nullptr, &size), 0);
    EXPECT_EQ(size, 26u);
    EXPECT_EQ(clp().clpGetShortDeviceIDTemplates(buffer, nullptr), CL_ERR_INVALID_PTR);
}

TEST(ClpExports, ErrorTextSizes)
{
    char buffer[64] = {};
    std::uint32_t size = 15;
    EXPECT_EQ(clp().clpGetErrorText(-20101, buffer, &size, 0), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 16u);
    ASSERT_EQ(clp().clpGetErrorText(-20101, buffer, &size, 0), 0);
    EXPECT_STREQ(buffer, "No device found");
    EXPECT_EQ(size, 16u);
    size = 64;
    EXPECT_EQ(clp().clpGetErrorText(-20101, nullptr, &size, 0), 0);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(clp().clpGetErrorText(-20101, buffer, nullptr, 0), CL_ERR_INVALID_PTR);
    size = 64;
    EXPECT_EQ(clp().clpGetErrorText(-10006, buffer, &size, 0), CL_ERR_ERROR_NOT_FOUND);
    EXPECT_EQ(clp().clpGetErrorText(0, buffer, &size, 0), CL_ERR_ERROR_NOT_FOUND);
}

TEST(ClpExports, EveryCodeTheDriverReturnsHasAText)
{
    const struct {
        std::int32_t code;
        const char* text;
    } rows[] = {
        {-30101, "Unexpected value for ACK while transmitting frame"},
        {-30102, "Unexpected value for BFS"},
        {-30103, "Unexpected OpCode"},
        {-30104, "Unexpected number of databytes"},
        {-30105, "Wrong Checksum"},
        {-30106, "Unexpected value for BFE"},
        {-30107, "Camera access failed - received NAK instead of ACK"},
        {-30110, "Camera not Found"},
        {-20100, "Invalid DeviceID"},
        {-20101, "No device found"},
        {-20102, "No XML description found"},
        {-20104, "The last error"},
        {-5, nullptr}, {-10001, nullptr}, {-10004, nullptr}, {-10007, nullptr}, {-10008, nullptr},
        {-10011, nullptr}, {-20103, nullptr}, {-20105, nullptr}, {-20106, nullptr}, {-20107, nullptr},
        {-20108, nullptr},
        {0x8001, "GENCP_NOT_IMPLEMENTED"}, {0x8002, "GENCP_INVALID_PARAMETER"}, {0x8003, "GENCP_INVALID_ADDRESS"},
        {0x8004, "GENCP_WRITE_PROTECT"}, {0x8005, "GENCP_BAD_ALIGNMENT"}, {0x8006, "GENCP_ACCESS_DENIED"},
        {0x8007, "GENCP_BUSY"}, {0x800B, "GENCP_MSG_TIMEOUT"}, {0x800E, "GENCP_INVALID_HEADER"},
        {0x800F, "GENCP_WRONG_CONFIG"}, {0x8FFF, "GENCP_ERROR"}, {0x8123, "GenCP status 0x8123"},
    };
    for (const auto& row : rows) {
        char buffer[128] = {};
        std::uint32_t size = sizeof buffer;
        ASSERT_EQ(clp().clpGetErrorText(row.code, buffer, &size, 0), 0) << row.code;
        EXPECT_GT(std::strlen(buffer), 4u) << row.code;
        EXPECT_EQ(size, std::strlen(buffer) + 1) << row.code;
        if (row.text) {
            EXPECT_STREQ(buffer, row.text) << row.code;
        }
    }
}

TEST(ClpExports, LogLevelParameter)
{
    std::uint32_t level = 799;
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, &level, 4, 0), 0);
    level = 800;
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, &level, 4, 0), CL_ERR_PARAM_INVALID_VALUE);
    std::uint64_t wide = 0;
    EXPECT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, &wide, 8, 0), CL_ERR_PARAM_WRONG_SIZE);
    level = 0;
    ASSERT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, &level, 4, 0), 0);
    EXPECT_EQ(level, 799u);
    EXPECT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, nullptr, 4, 0), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, nullptr, 4, 0), CL_ERR_INVALID_PTR);
}

TEST(ClpExports, LoggerParameterRoundTrip)
{
    int anchor = 0;
    ASSERT_EQ(clp().clpInitLib(&anchor, 5), 0);
    unsigned char param[4 + sizeof(void*)] = {};
    ASSERT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOGGER, 0, param, sizeof param, 0), 0);
    std::uint32_t magic;
    void* logger;
    std::memcpy(&magic, param, 4);
    std::memcpy(&logger, param + 4, sizeof logger);
    EXPECT_EQ(magic, CL_LOGGER_MAGIC);
    EXPECT_EQ(logger, &anchor);
    std::uint32_t level = 0;
    ASSERT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOG_LEVEL, 0, &level, 4, 0), 0);
    EXPECT_EQ(level, 5u);

    int other = 0;
    void* otherLogger = &other;
    std::memcpy(param + 4, &otherLogger, sizeof otherLogger);
    ASSERT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOGGER, 0, param, sizeof param, 0), 0);
    unsigned char back[sizeof param] = {};
    ASSERT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOGGER, 0, back, sizeof back, 0), 0);
    EXPECT_EQ(std::memcmp(back, param, sizeof param), 0);

    unsigned char eight[8] = {};
    EXPECT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOGGER, 0, eight, 8, 0), CL_ERR_PARAM_WRONG_SIZE);
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOGGER, 0, eight, 8, 0), CL_ERR_PARAM_WRONG_SIZE);
    param[0] ^= 1;
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_LOGGER, 0, param, sizeof param, 0), CL_ERR_PARAM_INVALID_VALUE);

    ASSERT_EQ(clp().clpCloseLib(), 0);
    ASSERT_EQ(clp().clpGetParam(nullptr, CL_PARAM_LOGGER, 0, back, sizeof back, 0), 0);
    std::memcpy(&logger, back + 4, sizeof logger);
    EXPECT_EQ(logger, nullptr);
}

TEST(ClpExports, SupportedParameters)
{
    for (std::int32_t param : {-2, -1, 1, 2})
        EXPECT_EQ(clp().clpIsParamSupported(param), 0) << param;
    for (std::int32_t param : {0, 3, -3})
        EXPECT_EQ(clp().clpIsParamSupported(param), CL_ERR_PARAM_NOT_SUPPORTED) << param;
    std::uint32_t value = 0x10;
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_SUPPORTED_BAUDRATES, 1, &value, 4, 0), CL_ERR_PARAM_READ_ONLY);
    EXPECT_EQ(clp().clpSetParam(nullptr, 0, 1, &value, 4, 0), CL_ERR_PARAM_NOT_SUPPORTED);
    EXPECT_EQ(clp().clpGetParam(nullptr, 7, 1, &value, 4, 0), CL_ERR_PARAM_NOT_SUPPORTED);
    EXPECT_EQ(clp().clpSetParam(nullptr, CL_PARAM_BAUDRATE, 1, &value, 2, 0), CL_ERR_PARAM_WRONG_SIZE);
    clsim::ScriptedSerialPort port;
    EXPECT_EQ(clp().clpGetParam(port.port(), CL_PARAM_BAUDRATE, 424242, &value, 4, 0), CL_ERR_INVALID_COOKIE);
    EXPECT_EQ(clp().clpSetParam(port.port(), CL_PARAM_BAUDRATE, 424242, &value, 4, 0), CL_ERR_INVALID_COOKIE);
    EXPECT_TRUE(port.calls().empty());
}

TEST(ClpExports, VersionDisconnectAndContinue)
{
    std::uint32_t major = 0, minor = 0;
    ASSERT_EQ(clp().clpGetCLProtocolVersion(&major, &minor), 0);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 1u);
    EXPECT_EQ(clp().clpGetCLProtocolVersion(nullptr, &minor), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpGetCLProtocolVersion(&major, nullptr), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpDisconnect(424242), 0);
    EXPECT_EQ(clp().clpContinueWriteRegister(nullptr, 424242, true), 0);
}

TEST(ClpExports, NullPointersOfTheProbe)
{
    clsim::ScriptedSerialPort port;
    char id[300];
    EXPECT_EQ(clp().clpProbeDevice(port.port(), nullptr, nullptr, nullptr, nullptr, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpProbeDevice(nullptr, kKey, nullptr, nullptr, nullptr, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpProbeDevice(port.port(), "a#b#NORRIK-Ombrel#CameraLink", id, nullptr, nullptr, 100),
              CL_ERR_INVALID_PTR);
    EXPECT_TRUE(port.calls().empty());
}
