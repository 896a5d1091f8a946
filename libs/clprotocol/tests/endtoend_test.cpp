// A host's whole session with a camera on a pseudo-terminal, traced into a
// log file through the logging library the driver binds.
#include "BrenwickHost.h"

#include <cstring>
#include <regex>

namespace {
const Brenwick& clp() { return Brenwick::get(); }
}

TEST(ClpEndToEnd, HostSessionOverAPty)
{
    JotwellLog log;
    log.start();
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);

    clsim::CameraConfig config;
    config.rate = 0x20;  // the port starts at 9600: found after 0x80 and 0x40
    config.zipped = true;
    config.xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<RegisterDescription ModelName=\"SIM-CL2048M\">\n"
                 + std::string(5000, ' ') + "\n</RegisterDescription>\n";
    PtyRig rig(config);
    CLSerialPort* port = rig.port.port();

    char deviceId[512] = {};
    std::uint32_t size = sizeof deviceId;
    std::int32_t cookie = -1;
    ASSERT_EQ(clp().clpProbeDevice(port, "Host#Port0#NORRIK-Ombrel#CameraLink", deviceId, &size, &cookie, 300), 0);
    EXPECT_STREQ(deviceId, "Host#Port0#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001");
    EXPECT_EQ(rig.port.rate(), 0x20u);

    char xmlId[512] = {};
    size = sizeof xmlId;
    ASSERT_EQ(clp().clpGetXMLIDs(port, cookie, xmlId, &size, 300), 0);
    size = 0;
    ASSERT_EQ(clp().clpGetXMLDescription(port, cookie, xmlId, nullptr, &size, 300), CL_ERR_BUFFER_TOO_SMALL);
    std::vector<char> xml(size);
    ASSERT_EQ(clp().clpGetXMLDescription(port, cookie, xmlId, xml.data(), &size, 300), 0);
    EXPECT_EQ(asText(xml), config.xml);

    char model[64] = {};
    ASSERT_EQ(clp().clpReadRegister(port, cookie, 0x44, model, 64, 300), 0);
    EXPECT_STREQ(model, "SIM-CL2048M");
    std::vector<char> data(1500);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    ASSERT_EQ(clp().clpWriteRegister(port, cookie, clsim::kScratchAddress, data.data(), 1500, 300), 0);
    std::vector<char> back(1500);
    ASSERT_EQ(clp().clpReadRegister(port, cookie, clsim::kScratchAddress, back.data(), 1500, 300), 0);
    EXPECT_EQ(back, data);
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x7000000, model, 4, 300), 0x8003);
    char text[64] = {};
    size = sizeof text;
    ASSERT_EQ(clp().clpGetErrorText(0x8003, text, &size, cookie), 0);
    EXPECT_STREQ(text, "GENCP_INVALID_ADDRESS");

    std::uint32_t highest = CL_BAUDRATE_HIGHEST;
    ASSERT_EQ(clp().clpWriteRegister(port, cookie, CL_REG_BAUDRATES, reinterpret_cast<char*>(&highest), 4, 300), 0);
    EXPECT_EQ(rig.port.rate(), 0x80u);
    EXPECT_EQ(rig.camera.device().rate(), 0x80u);
    std::uint32_t rate = 0;
    ASSERT_EQ(clp().clpReadRegister(port, cookie, CL_REG_BAUDRATE_FIRST, reinterpret_cast<char*>(&rate), 4, 300), 0);
    EXPECT_EQ(rate, 0x80u);
    ASSERT_EQ(clp().clpReadRegister(port, cookie, 0x144, model, 64, 300), 0);
    EXPECT_STREQ(model, "CL0001");

    EXPECT_EQ(clp().clpDisconnect(cookie), 0);
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x44, model, 4, 300), CL_ERR_INVALID_COOKIE);
    EXPECT_EQ(clp().clpCloseLib(), 0);

    const std::string logText = log.flushed();
    log.stop();
    EXPECT_NE(logText.find("| Brenwick.dll Init!\r\n"), std::string::npos);
    const std::string stamp = R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2})";
    const std::vector<std::string> lines = {
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[INFO\] clpProbeDevice Entry!\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp
            + R"( \[INFO\] clpProbeDevice Successful! pDeviceIDTemplate:Host#Port0#NORRIK-Ombrel#CameraLink )"
              R"(pDeviceID:Host#Port0#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2\.1\.0#CL0001 pBufferSize:\d+ Cookie:\d+\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[DEBUG\] clpReadRegister Entry!\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[INFO\] clpReadRegister Successful! Cookie:\d+ Address:68\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp
            + R"( \[ERROR\] OrvCLDeviceGenCP::_ReadRegister ReadRegister failed! status error 0x8003\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[ERROR\] clpReadRegister Failed! :32771\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[ERROR\] OrvCLProtocol::ReadRegister failed! CL_ERR_INVALID_COOKIE\r\n)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[INFO\] clpGetXMLDescription Successful! Cookie:\d+ pXMLIDs:SchemaVersion)",
        R"(\[OrvCLProtocol\] )" + stamp + R"( \[INFO\] clpCloseLib Entry!\r\n)",
    };
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_search(logText, std::regex(line))) << line << "\n--- log:\n" << logText;
}
