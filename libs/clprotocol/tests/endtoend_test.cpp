// A host's whole session with a camera on a pseudo-terminal, traced into a
// log file through the logging library the driver binds.
#include "BrenwickHost.h"

#include <cctype>
#include <cstring>

namespace {

const Brenwick& clp() { return Brenwick::get(); }

bool matches(const std::string& text, std::size_t at, const std::string& pattern)
{
    for (const char p : pattern) {
        if (p == '%') {
            if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])))
                return false;
            while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
                ++at;
        } else if (at >= text.size() || text[at++] != p) {
            return false;
        }
    }
    return true;
}

// A whole line "[OrvCLProtocol] <time> [<level>] <message>..." ended by \r\n
// (the message pattern may stop short of the line's end).
bool hasLine(const std::string& log, const std::string& level, const std::string& message)
{
    const std::string module = "[OrvCLProtocol] ";
    for (std::size_t at = log.find(module); at != std::string::npos; at = log.find(module, at + 1)) {
        const std::size_t end = log.find("\r\n", at);
        if (end == std::string::npos)
            break;
        const std::string line = log.substr(at, end - at);
        if ((at != 0 && log[at - 1] != '\n') || line.size() < module.size() + 19)
            continue;
        if (matches(line, module.size(), "%-%-%.%:%:% [" + level + "] " + message))
            return true;
    }
    return false;
}

}  // namespace

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
    // Each line: the module in brackets, the time as 2024-01-31.13:45:10, the
    // level in brackets, the message; "%" in an expected message stands for
    // a decimal number.
    const std::pair<const char*, const char*> lines[] = {
        {"INFO", "clpProbeDevice Entry!"},
        {"INFO", "clpProbeDevice Successful! pDeviceIDTemplate:Host#Port0#NORRIK-Ombrel#CameraLink "
                 "pDeviceID:Host#Port0#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001 pBufferSize:% Cookie:%"},
        {"DEBUG", "clpReadRegister Entry!"},
        {"INFO", "clpReadRegister Successful! Cookie:% Address:68"},
        {"ERROR", "OrvCLDeviceGenCP::_ReadRegister ReadRegister failed! status error 0x8003"},
        {"ERROR", "clpReadRegister Failed! :32771"},
        {"ERROR", "OrvCLProtocol::ReadRegister failed! CL_ERR_INVALID_COOKIE"},
        {"INFO", "clpGetXMLDescription Successful! Cookie:% pXMLIDs:SchemaVersion.1.1@NORRIK-Ombrel#CameraLink#SIM-CL2048M"},
        {"INFO", "clpCloseLib Entry!"},
    };
    for (const auto& [level, message] : lines)
        EXPECT_TRUE(hasLine(logText, level, message)) << level << " " << message << "\n--- log:\n" << logText;
}
