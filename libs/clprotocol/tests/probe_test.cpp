// Probing, register access and XML retrieval through the exports, against
// simulated cameras in memory and on pseudo-terminals.
#include "BrenwickHost.h"

#include <cstring>
#include <future>

namespace {

const Brenwick& clp() { return Brenwick::get(); }

const char kDeviceId[] = "NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001";
const char kXmlId[] = "SchemaVersion.1.1@NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001@XMLVersion.1.2.3";

std::int32_t probe(CLSerialPort* port, std::uint32_t timeoutMs = 200)
{
    std::int32_t cookie = -1;
    EXPECT_EQ(clp().clpProbeDevice(port, kKey, nullptr, nullptr, &cookie, timeoutMs), 0);
    return cookie;
}

std::string xmlIds(CLSerialPort* port, std::int32_t cookie)
{
    char buffer[512] = {};
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(clp().clpGetXMLIDs(port, cookie, buffer, &size, 100), 0);
    return buffer;
}

std::uint32_t readPseudo(CLSerialPort* port, std::int32_t cookie, std::int64_t address)
{
    std::uint32_t value = 0;
    EXPECT_EQ(clp().clpReadRegister(port, cookie, address, reinterpret_cast<char*>(&value), 4, 200), 0);
    return value;
}

}  // namespace

TEST(ClpProbe, Templates)
{
    struct Case {
        const char* name;
        const char* deviceTemplate;
        bool withBuffer;
        std::int32_t result;
        const char* deviceId;
    } cases[] = {
        {"short template", "NORRIK-Ombrel#CameraLink", false, 0, nullptr},
        {"vendor in capitals", "NORRIK-OMBREL#CameraLink", false, CL_ERR_INVALID_DEVICEID, nullptr},
        {"with the template's tab", "NORRIK-Ombrel#CameraLink\t", false, CL_ERR_INVALID_DEVICEID, nullptr},
        {"one field", "NORRIK-Ombrel", false, CL_ERR_INVALID_DEVICEID, nullptr},
        {"seven fields", "a#b#NORRIK-Ombrel#CameraLink#c#d#e", false, CL_ERR_INVALID_DEVICEID, nullptr},
        {"two fields and a buffer", "NORRIK-Ombrel#CameraLink", true, CL_ERR_INVALID_DEVICEID, nullptr},
        {"four fields", "Host#Port0#NORRIK-Ombrel#CameraLink", true, 0,
         "Host#Port0#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001"},
        {"six fields", "Host#Port0#NORRIK-Ombrel#CameraLink#x#y", true, 0,
         "Host#Port0#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001"},
        {"four fields, other family", "Host#Port0#NORRIK-Ombrel#CoaXPress", true, CL_ERR_INVALID_DEVICEID, nullptr},
        {"empty fields are skipped", "##NORRIK-Ombrel##CameraLink#", false, 0, nullptr},
    };
    for (const Case& c : cases) {
        ScriptedRig rig;
        char buffer[300] = {};
        std::uint32_t size = sizeof buffer;
        std::int32_t cookie = -1;
        const std::int32_t result = clp().clpProbeDevice(rig.port.port(), c.deviceTemplate, c.withBuffer ? buffer : nullptr,
                                                         c.withBuffer ? &size : nullptr, &cookie, 100);
        EXPECT_EQ(result, c.result) << c.name;
        if (result == 0) {
            EXPECT_GT(cookie, 0) << c.name;
            EXPECT_EQ(xmlIds(rig.port.port(), cookie), kXmlId) << c.name;
            clp().clpDisconnect(cookie);
        } else {
            EXPECT_EQ(cookie, -1) << c.name;
            EXPECT_TRUE(rig.port.calls().empty()) << c.name << ": the port was touched";
        }
        if (c.deviceId) {
            EXPECT_STREQ(buffer, c.deviceId) << c.name;
        }
    }
}

TEST(ClpProbe, BufferTooSmallGivesTheNeededSize)
{
    ScriptedRig rig;
    const char deviceTemplate[] = "Host01#Port0#NORRIK-Ombrel#Cam";  // 30 characters
    ASSERT_EQ(std::strlen(deviceTemplate), 30u);
    char buffer[300];
    std::uint32_t size = 200;
    // The family is checked before the size.
    EXPECT_EQ(clp().clpProbeDevice(rig.port.port(), deviceTemplate, buffer, &size, nullptr, 100),
              CL_ERR_INVALID_DEVICEID);
    const char sized[] = "Host#Port01#NORRIK-Ombrel#CameraLink";
    const std::uint32_t needed = std::uint32_t(std::strlen(sized) + 195);
    size = needed - 1;
    EXPECT_EQ(clp().clpProbeDevice(rig.port.port(), sized, buffer, &size, nullptr, 100), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, needed);
    EXPECT_TRUE(rig.port.calls().empty());

    const char exactly30[] = "H#P#NORRIK-Ombrel#CameraLink##";
    ASSERT_EQ(std::strlen(exactly30), 30u);
    size = 200;
    EXPECT_EQ(clp().clpProbeDevice(rig.port.port(), exactly30, buffer, &size, nullptr, 100), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 225u);
    size = 225;
    std::int32_t cookie = -1;
    ASSERT_EQ(clp().clpProbeDevice(rig.port.port(), exactly30, buffer, &size, &cookie, 100), 0);
    EXPECT_STREQ(buffer, "H#P#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001");
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, FallsBackThroughTheRatesToTheCamerasOne)
{
    clsim::CameraConfig config;
    config.rates = 0x10;
    config.rate = 0x10;
    PtyRig rig(config);
    ASSERT_EQ(rig.port.rate(), 0x01u);
    const std::int32_t cookie = probe(rig.port.port());
    EXPECT_EQ(rig.port.rate(), 0x10u);

    std::vector<std::uint32_t> silentRates;
    for (const auto& command : rig.camera.device().commands()) {
        if (command.answered)
            EXPECT_EQ(command.lineRate, 0x10u);
        else if (silentRates.empty() || silentRates.back() != command.lineRate)
            silentRates.push_back(command.lineRate);
    }
    EXPECT_EQ(silentRates, (std::vector<std::uint32_t>{0x01, 0x80, 0x40, 0x20}));
    EXPECT_EQ(xmlIds(rig.port.port(), cookie), kXmlId);
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, FailedProbeKeepsTheLastRateAndTheCookieCounter)
{
    ScriptedRig first;
    const std::int32_t before = probe(first.port.port());

    clsim::CameraConfig config;
    config.rates = 0x02;  // 19200, which the probe does not try
    config.rate = 0x02;
    ScriptedRig rig(config);
    rig.port.setRate(0x80);
    EXPECT_EQ(clp().clpProbeDevice(rig.port.port(), kKey, nullptr, nullptr, nullptr, 50), CL_ERR_CONNECTING_FAILED);
    EXPECT_EQ(rig.port.rate(), 0x01u);

    EXPECT_EQ(probe(first.port.port()), before + 1);
    clp().clpDisconnect(before);
    clp().clpDisconnect(before + 1);
}

TEST(ClpProbe, BaudRatePseudoRegisters)
{
    clsim::CameraConfig config;
    config.rates = 0x11;
    ScriptedRig rig(config);
    rig.port.setSupportedRates(0x31);
    const std::int32_t cookie = probe(rig.port.port());

    EXPECT_EQ(readPseudo(rig.port.port(), cookie, CL_REG_BAUDRATES), 0x40000011u);
    EXPECT_EQ(readPseudo(rig.port.port(), cookie, CL_REG_BAUDRATE_FIRST), 0x01u);
    std::uint32_t mask = 0;
    EXPECT_EQ(clp().clpGetParam(rig.port.port(), CL_PARAM_SUPPORTED_BAUDRATES, cookie, &mask, 4, 100), 0);
    EXPECT_EQ(mask, 0x11u);

    std::uint32_t highest = CL_BAUDRATE_HIGHEST;
    ASSERT_EQ(clp().clpWriteRegister(rig.port.port(), cookie, CL_REG_BAUDRATES, reinterpret_cast<char*>(&highest), 4,
                                     200),
              0);
    EXPECT_EQ(rig.port.rate(), 0x10u);
    EXPECT_EQ(rig.device.rate(), 0x10u);
    EXPECT_EQ(readPseudo(rig.port.port(), cookie, CL_REG_BAUDRATE_LAST), 0x10u);

    std::uint32_t two = 0x11;
    EXPECT_EQ(clp().clpWriteRegister(rig.port.port(), cookie, CL_REG_BAUDRATES, reinterpret_cast<char*>(&two), 4, 200),
              CL_ERR_BAUD_RATE_NOT_SUPPORTED);
    std::uint32_t low = 0x01;
    EXPECT_EQ(clp().clpSetParam(rig.port.port(), CL_PARAM_BAUDRATE, cookie, &low, 4, 200), 0);
    std::uint32_t rate = 0;
    EXPECT_EQ(clp().clpGetParam(rig.port.port(), CL_PARAM_BAUDRATE, cookie, &rate, 4, 200), 0);
    EXPECT_EQ(rate, 0x01u);
    EXPECT_EQ(rig.port.rate(), 0x01u);
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, HighestRateWithNoCommonRateIsRefused)
{
    clsim::CameraConfig config;
    config.rates = 0x02;
    config.rate = 0x01;
    ScriptedRig rig(config);
    rig.port.setSupportedRates(0x01);
    const std::int32_t cookie = probe(rig.port.port());
    EXPECT_EQ(readPseudo(rig.port.port(), cookie, CL_REG_BAUDRATES), 0x40000000u);
    std::uint32_t highest = CL_BAUDRATE_HIGHEST;
    EXPECT_EQ(clp().clpWriteRegister(rig.port.port(), cookie, CL_REG_BAUDRATES, reinterpret_cast<char*>(&highest), 4,
                                     200),
              CL_ERR_BAUD_RATE_NOT_SUPPORTED);
    EXPECT_EQ(rig.port.rate(), 0x01u);
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, RegisterCallsRefuseBadArguments)
{
    ScriptedRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    char buffer[8];
    CLSerialPort* port = rig.port.port();
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x44, nullptr, 4, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpWriteRegister(port, cookie, clsim::kScratchAddress, nullptr, 4, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpReadRegister(nullptr, cookie, 0x44, buffer, 4, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x44, buffer, -1, 100), CL_ERR_PARAM_INVALID_VALUE);
    EXPECT_EQ(clp().clpWriteRegister(port, cookie, clsim::kScratchAddress, buffer, -4, 100), CL_ERR_PARAM_INVALID_VALUE);
    EXPECT_EQ(clp().clpGetParam(nullptr, CL_PARAM_BAUDRATE, cookie, buffer, 4, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x7000000, buffer, 4, 100), 0x8003);
    EXPECT_EQ(clp().clpWriteRegister(port, cookie, 0x44, buffer, 4, 100), 0x8004);
    std::uint32_t size = 0;
    EXPECT_EQ(clp().clpGetXMLIDs(port, cookie, buffer, nullptr, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpGetXMLDescription(port, cookie, nullptr, buffer, &size, 100), CL_ERR_INVALID_PTR);
    EXPECT_EQ(clp().clpGetXMLDescription(nullptr, cookie, kXmlId, buffer, &size, 100), CL_ERR_INVALID_PTR);
    clp().clpDisconnect(cookie);
    EXPECT_EQ(clp().clpReadRegister(port, cookie, 0x44, buffer, 4, 100), CL_ERR_INVALID_COOKIE);
    EXPECT_EQ(clp().clpWriteRegister(port, cookie, clsim::kScratchAddress, buffer, 4, 100), CL_ERR_INVALID_COOKIE);
    EXPECT_EQ(clp().clpGetXMLIDs(port, cookie, buffer, &size, 100), CL_ERR_INVALID_COOKIE);
    EXPECT_EQ(clp().clpGetXMLDescription(port, cookie, kXmlId, buffer, &size, 100), CL_ERR_INVALID_COOKIE);
}

TEST(ClpProbe, XmlIdsAskForTheirSize)
{
    ScriptedRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    std::uint32_t size = 10;
    char buffer[512];
    EXPECT_EQ(clp().clpGetXMLIDs(rig.port.port(), cookie, buffer, &size, 100), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, std::strlen(kXmlId) + 1);
    EXPECT_EQ(clp().clpGetXMLIDs(rig.port.port(), cookie, nullptr, &size, 100), 0);
    EXPECT_EQ(clp().clpGetXMLIDs(rig.port.port(), cookie, buffer, &size, 100), 0);
    EXPECT_STREQ(buffer, kXmlId);
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, XmlPlainAndZipped)
{
    struct Case {
        const char* name;
        bool zipped;
        std::string xml;
    };
    const std::string description = std::string("<?xml version=\"1.0\"?>\n<RegisterDescription>")
                                    + std::string(3000, 'x') + "</RegisterDescription>\n";
    const Case cases[] = {
        {"plain", false, description},
        {"zipped", true, description},
        // Cached as read all the same: the text up to its first zero.
        {"text that starts with a zero", false, std::string(1, '\0') + description},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clsim::CameraConfig config;
        config.zipped = c.zipped;
        config.xml = c.xml;
        ScriptedRig rig(config);
        const std::int32_t cookie = probe(rig.port.port());
        std::uint32_t size = 0;
        ASSERT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, kXmlId, nullptr, &size, 200),
                  CL_ERR_BUFFER_TOO_SMALL);
        ASSERT_EQ(size, config.xml.size() + 1);
        std::vector<char> text(size + 1, 'x');  // zero-terminated by what is written
        text.back() = '\0';
        rig.device.clearCommands();
        // The XML ID is compared without regard to case.
        std::string lower = kXmlId;
        for (char& ch : lower)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        ASSERT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, lower.c_str(), text.data(), &size, 200), 0);
        EXPECT_EQ(asText(text), config.xml.c_str());
        EXPECT_TRUE(rig.device.commands().empty()) << "served from the cache";
        std::uint32_t large = 100000;
        ASSERT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, kXmlId, text.data(), &large, 200), 0);
        EXPECT_EQ(large, 100000u) << "a cache hit leaves the size";
        clp().clpDisconnect(cookie);
    }
}

TEST(ClpProbe, XmlFetchedWithTheFirstCall)
{
    ScriptedRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    const std::string& xml = rig.device.config().xml;
    std::vector<char> text(xml.size() + 1);
    std::uint32_t size = std::uint32_t(text.size());
    ASSERT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, kXmlId, text.data(), &size, 200), 0);
    EXPECT_EQ(asText(text), xml);
    EXPECT_EQ(size, xml.size() + 1);
    const auto commands = rig.device.commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back().address, clsim::kFileAddress);
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, XmlFaults)
{
    struct Case {
        const char* name;
        clsim::CameraConfig config;
        const char* xmlId;
    };
    clsim::CameraConfig damaged;
    damaged.zipped = true;
    damaged.damagedZip = true;
    clsim::CameraConfig huge;
    huge.hugeFile = true;
    const Case cases[] = {
        {"damaged zip", damaged, kXmlId},
        {"2^40-byte file", huge, kXmlId},
        {"other XML ID", {}, "SchemaVersion.1.0@NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL0001@XMLVersion.1.2.3"},
    };
    for (const Case& c : cases) {
        ScriptedRig rig(c.config);
        const std::int32_t cookie = probe(rig.port.port());
        rig.device.clearCommands();
        std::uint32_t size = 0;
        EXPECT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, c.xmlId, nullptr, &size, 200),
                  CL_ERR_NO_XMLDESCRIPTION_FOUND)
            << c.name;
        if (c.config.hugeFile) {
            EXPECT_TRUE(rig.device.commands().empty()) << "nothing read for a file that cannot be held";
        }
        clp().clpDisconnect(cookie);
    }
}

TEST(ClpProbe, SizeQueryWritesNoErrorLine)
{
    JotwellLog log;
    log.start();
    ASSERT_EQ(clp().clpInitLib(nullptr, 0), 0);
    ScriptedRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    const std::size_t before = log.flushed().size();
    std::uint32_t size = 0;
    ASSERT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, kXmlId, nullptr, &size, 200), CL_ERR_BUFFER_TOO_SMALL);
    const std::string after = log.flushed().substr(before);
    EXPECT_NE(after.find("clpGetXMLDescription Successful!"), std::string::npos) << after;
    EXPECT_EQ(after.find("[ERROR]"), std::string::npos) << after;
    std::uint32_t small = 5;
    EXPECT_EQ(clp().clpGetXMLDescription(rig.port.port(), cookie, kXmlId, nullptr, &small, 200), CL_ERR_BUFFER_TOO_SMALL);
    EXPECT_NE(log.flushed().find("OrvCLDeviceGenCP::GetXMLDescription CL_ERR_BUFFER_TOO_SMALL"), std::string::npos);
    clp().clpDisconnect(cookie);
    clp().clpCloseLib();
    log.stop();
}

TEST(ClpProbe, DisconnectDuringASlowRead)
{
    PtyRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    rig.camera.device().clearCommands();
    rig.camera.device().setFault(clsim::Fault::Delay, 1, 300);
    char buffer[64] = {};
    auto reading = std::async(std::launch::async, [&] {
        return clp().clpReadRegister(rig.port.port(), cookie, 0x44, buffer, 64, 1000);
    });
    for (int i = 0; i < 200 && rig.camera.device().commands().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(clp().clpDisconnect(cookie), 0);
    EXPECT_EQ(reading.get(), 0);
    EXPECT_STREQ(buffer, "SIM-CL2048M");
    EXPECT_EQ(clp().clpReadRegister(rig.port.port(), cookie, 0x44, buffer, 64, 100), CL_ERR_INVALID_COOKIE);
}

TEST(ClpProbe, LateAcknowledgeDoesNotShiftTheNextExchange)
{
    PtyRig rig;
    const std::int32_t cookie = probe(rig.port.port());
    char buffer[64] = {};
    // The host gives up after four time-outs of 100 ms; the answer comes later.
    rig.camera.device().setFault(clsim::Fault::Delay, 1, 550);
    EXPECT_EQ(clp().clpReadRegister(rig.port.port(), cookie, 0x0004, buffer, 64, 100), CL_ERR_TIMEOUT);
    ASSERT_EQ(clp().clpReadRegister(rig.port.port(), cookie, 0x0044, buffer, 64, 300), 0);
    EXPECT_STREQ(buffer, "SIM-CL2048M");
    ASSERT_EQ(clp().clpReadRegister(rig.port.port(), cookie, 0x0144, buffer, 64, 300), 0);
    EXPECT_STREQ(buffer, "CL0001");
    clp().clpDisconnect(cookie);
}

TEST(ClpProbe, TwoProbesOnTwoPtysAtOnce)
{
    clsim::CameraConfig a, b;
    a.serial = "CL-A";
    b.serial = "CL-B";
    b.rate = 0x20;
    PtyRig first(a), second(b);
    auto probeWithId = [](CLSerialPort* port, std::int32_t& cookie) {
        char id[300] = {};
        std::uint32_t size = sizeof id;
        EXPECT_EQ(clp().clpProbeDevice(port, "Host#Port#NORRIK-Ombrel#CameraLink", id, &size, &cookie, 200), 0);
        return std::string(id);
    };
    std::int32_t cookieA = -1, cookieB = -1;
    auto idA = std::async(std::launch::async, [&] { return probeWithId(first.port.port(), cookieA); });
    auto idB = std::async(std::launch::async, [&] { return probeWithId(second.port.port(), cookieB); });
    EXPECT_EQ(idA.get(), "Host#Port#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL-A");
    EXPECT_EQ(idB.get(), "Host#Port#NORRIK-Ombrel#CameraLink#SIM-CL2048M#2.1.0#CL-B");
    EXPECT_NE(cookieA, cookieB);
    EXPECT_NE(xmlIds(first.port.port(), cookieA).find("CL-A"), std::string::npos);
    EXPECT_NE(xmlIds(second.port.port(), cookieB).find("CL-B"), std::string::npos);
    clp().clpDisconnect(cookieA);
    clp().clpDisconnect(cookieB);
}
