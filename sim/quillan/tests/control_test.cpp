#include "SimFixture.h"

#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>

using namespace simtest;

class Control : public SimTest {};

TEST_F(Control, UnknownAndMalformedCommandsAreRefusedWithAReason)
{
    const char* bad[] = {
        "", "no.such.verb", "call.fail OrvNoSuchCall -1013", "call.fail OrvLibSystemOpen", "call.delay OrvLibClose x",
        "device.unplug NO-SUCH-CAMERA", "device.status GEV-G1-0001", "lib.init.fail text", "log.calls maybe",
        "device.ip U3V-U1-0301 1.2.3.4", "device.move GEV-G1-0001 u3v-if-0", "call.fail OrvLibSystemOpen -1 count=0",
    };
    for (const char* command : bad) {
        char reply[256] = {};
        size_t size = sizeof reply;
        EXPECT_EQ(OrvSimControl(command, reply, &size), ORV_ERROR_INVALID_ARGUMENT) << command;
        EXPECT_GT(strlen(reply), 0u) << command;
    }
    EXPECT_EQ(OrvSimControl(nullptr, nullptr, nullptr), ORV_ERROR_INVALID_ARGUMENT);
}

TEST_F(Control, ReplyIsCutToTheBuffer)
{
    char reply[8];
    std::memset(reply, 'x', sizeof reply);
    size_t size = sizeof reply;
    ASSERT_EQ(OrvSimControl("lib.info", reply, &size), 0);
    EXPECT_EQ(size, sizeof reply);
    EXPECT_EQ(reply[7], '\0');
    EXPECT_STREQ(reply, "initial");
}

TEST_F(Control, CallFaultsCountAfterAlwaysAndModule)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    uint32_t n = 0;
    struct Step { const char* command; std::vector<int> results; };
    const Step steps[] = {
        {"call.fail OrvSystemGetNumInterfaces -1013", {-1013, 0, 0}},
        {"call.fail OrvSystemGetNumInterfaces -1013 count=2", {-1013, -1013, 0}},
        {"call.fail OrvSystemGetNumInterfaces -1013 after=1", {0, -1013, 0}},
        {"call.fail OrvSystemGetNumInterfaces system:orv_u3v_tl.cti -1013 always", {0, 0, 0}},
        {"call.fail OrvSystemGetNumInterfaces system:orv_gev_tl.cti -1007 always", {-1007, -1007, -1007}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        control("fault.clear");
        control(step.command);
        for (int expected : step.results)
            EXPECT_EQ(OrvSystemGetNumInterfaces(system, &n), expected);
    }
    control("fault.clear");
    EXPECT_EQ(OrvSystemGetNumInterfaces(system, &n), 0);
}

TEST_F(Control, NullHandleSucceedsWithoutAHandle)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    control("call.nullhandle OrvSystemInterfaceOpen");
    ORV_INTERFACE_HANDLE iface = 77;
    EXPECT_EQ(OrvSystemInterfaceOpen(system, "gev-if-0", &iface), 0);
    EXPECT_EQ(iface, 0u);
    EXPECT_EQ(OrvSystemInterfaceOpen(system, "gev-if-0", &iface), 0);
    EXPECT_NE(iface, 0u);
}

TEST_F(Control, InitAndSystemInfoFailOnRequest)
{
    OrvLibClose();
    for (int code : {-2008, -2009, -1004, -1013}) {
        control("lib.init.fail " + std::to_string(code));
        EXPECT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), code);
        uint32_t count = 0;
        EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_ERROR_NOT_INITIALISED);
    }
    ASSERT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), 0);
    control("lib.systeminfo.fail 2 -1013");
    ORV_TL_INFO info{};
    EXPECT_EQ(OrvLibSystemGetInfo(1, &info), 0);
    EXPECT_EQ(OrvLibSystemGetInfo(2, &info), -1013);
    EXPECT_EQ(OrvLibSystemGetInfo(2, &info), -1013) << "stays until fault.clear";
    EXPECT_EQ(OrvLibSystemGetInfo(3, &info), 0);
}

TEST_F(Control, DelayHoldsTheCall)
{
    control("call.delay OrvLibSystemGetCount 150");
    uint32_t count = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OrvLibSystemGetCount(&count), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(Control, CallLogRecordsArgumentsAndResults)
{
    control("log.calls on");
    ORV_SYSTEM_HANDLE system = openSystem("orv_u3v_tl.cti");
    ORV_INTERFACE_HANDLE iface = 0;
    OrvSystemInterfaceOpen(system, "nope", &iface);
    control("log.calls off");
    uint32_t count = 0;
    OrvLibSystemGetCount(&count);
    std::string log = control("log.calls.get");
    EXPECT_NE(log.find("OrvSystemInterfaceOpen(module=system:orv_u3v_tl.cti, interfaceId=\"nope\") = -1009"),
              std::string::npos) << log;
    EXPECT_NE(log.find("OrvSystemUpdateInterfaceList(module=system:orv_u3v_tl.cti, timeoutMs=1000) = 0"),
              std::string::npos) << log;
    // Only calls made while logging was on.
    size_t lines = std::count(log.begin(), log.end(), '\n');
    control("log.calls.clear");
    EXPECT_EQ(control("log.calls.get"), "");
    EXPECT_GE(lines, 3u);
}

TEST_F(Control, TraceLinesAndSwitchesAreKept)
{
    control("log.trace on");
    control("log.trace.clear");
    EXPECT_EQ(JotwellSetGlobalDebugLevel(0x2A), 0);
    EXPECT_EQ(JotwellEnableWindbg(false), 0);
    auto trace = [](const char* module, uint32_t level, const char* format, ...) {
        va_list args;
        va_start(args, format);
        int rc = JotwellTraceA(module, level, format, args);
        va_end(args);
        return rc;
    };
    EXPECT_EQ(trace("Kalveen2", 8, "%s opened %d%%", "GEV-G1-0001", 100), 0);
    std::string log = control("log.trace.get");
    EXPECT_NE(log.find("mask=0x2A windbg=off file=off"), std::string::npos) << log;
    EXPECT_NE(log.find("[Kalveen2] 0x8 GEV-G1-0001 opened 100%"), std::string::npos) << log;
    control("log.trace off");
    JotwellEnableWindbg(true);
    JotwellSetGlobalDebugLevel(3);
}

static int traceLine(const char* module, uint32_t level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int rc = JotwellTraceA(module, level, format, args);
    va_end(args);
    return rc;
}

TEST_F(Control, TraceLinesReachTheLogFileThroughTheMask)
{
    TempFolder logs;
    std::string path = logs.path() + "//viewer.log";
    ASSERT_EQ(JotwellEnableFileLogging(true, path.c_str()), 0);
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    ASSERT_EQ(JotwellSetGlobalDebugLevel(0x2), 0);
    EXPECT_EQ(traceLine("Kalveen2", 8, "filtered %d", 1), 0);
    ASSERT_EQ(JotwellSetGlobalDebugLevel(0x2A), 0);
    EXPECT_EQ(traceLine("Kalveen2", 8, "written %s", "100%"), 0);
    std::string content;
    for (int i = 0; i < 200 && content.find("written 100%") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(path);
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(content.find("[Kalveen2] "), std::string::npos) << content;
    EXPECT_NE(content.find(" [INFO] written 100%\r\n"), std::string::npos) << content;
    EXPECT_EQ(content.find("filtered"), std::string::npos) << content;
    EXPECT_EQ(JotwellEnableFileLogging(false, nullptr), 0);
    JotwellSetGlobalDebugLevel(3);
}

TEST_F(Control, FileLoggingFailsWhereTheFileCannotBeCreated)
{
    EXPECT_NE(JotwellEnableFileLogging(true, "/no/such/folder/viewer.log"), 0);
}

TEST_F(Control, ScenarioAndWorldReset)
{
    control("device.status GEV-G1-0001 4");
    control("world.reset");
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-0");
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "GEV-G1-0001", &info), 0);
    EXPECT_EQ(info.accessStatus, 1);
    control("world.scenario default");
    char reply[128];
    size_t size = sizeof reply;
    EXPECT_EQ(OrvSimControl("world.scenario no-such-scenario", reply, &size), ORV_ERROR_INVALID_ARGUMENT);
}

TEST_F(Control, InterfacesComeAndGo)
{
    control("interface.add system:orv_gev_tl.cti gev-if-9 \"GigE adapter 9\" 192.168.9.10 255.255.255.0");
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    uint32_t n = 0;
    ASSERT_EQ(OrvSystemGetNumInterfaces(system, &n), 0);
    EXPECT_EQ(n, 3u);
    ORV_INTERFACE_INFO info{};
    ASSERT_EQ(OrvSystemInterfaceGetInfo(system, "gev-if-9", &info), 0);
    EXPECT_EQ(SIM_TEXT(info.displayName), "GigE adapter 9");
    EXPECT_EQ(SIM_TEXT(info.subnet), "192.168.9.0");
    control("device.move GEV-G1-0001 gev-if-9");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-9");
    EXPECT_EQ(deviceIds(iface), std::vector<std::string>{"GEV-G1-0001"});
    control("interface.remove orv_gev_tl.cti gev-if-9");
    bool changed = false;
    ASSERT_EQ(OrvSystemUpdateInterfaceList(system, &changed, 1000), 0);
    EXPECT_TRUE(changed);
    ASSERT_EQ(OrvSystemGetNumInterfaces(system, &n), 0);
    EXPECT_EQ(n, 2u);
}
