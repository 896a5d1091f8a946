#include "SimFixture.h"

#include <fstream>

using namespace simtest;

class WorldFile : public SimTest {
protected:
    std::string write(const std::string& json)
    {
        std::string path = folder.path() + "/world.json";
        std::ofstream(path) << json;
        return path;
    }
};

TEST_F(WorldFile, ReplacesTheWorldWithItsProducersAndCameras)
{
    folder.touch("lab_tl.cti");
    control("world.load " + write(R"({
        "producers": [ { "file": "lab_tl.cti", "vendor": "Lab", "model": "Lab Producer", "type": "GEV",
                         "interfaces": [ { "id": "lab-if-0", "display": "Lab adapter", "ip": "172.16.0.1",
                                           "mask": "255.255.0.0" } ] } ],
        "cameras": [ { "profile": "G2", "id": "LAB-0042", "producer": "lab_tl.cti", "interface": "lab-if-0",
                       "ip": "172.16.3.4", "mask": "255.255.0.0", "status": 2, "serial": "4242" } ]
    })"));
    OrvLibClose();
    ASSERT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), 0);
    ORV_SYSTEM_HANDLE lab = openSystem("lab_tl.cti");
    ORV_TL_INFO tl{};
    ASSERT_EQ(OrvSystemGetInfo(lab, &tl), 0);
    EXPECT_EQ(SIM_TEXT(tl.vendor), "Lab");
    ORV_INTERFACE_HANDLE iface = openInterface(lab, "lab-if-0");
    EXPECT_EQ(deviceIds(iface), std::vector<std::string>{"LAB-0042"});
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "LAB-0042", &info), 0);
    EXPECT_EQ(SIM_TEXT(info.model), "SIM-G1280C") << "taken from the profile";
    EXPECT_EQ(SIM_TEXT(info.serialNumber), "4242");
    EXPECT_EQ(SIM_TEXT(info.subnet), "172.16.0.0");
    EXPECT_EQ(info.accessStatus, 2);
    // The built-in producers are unknown in this world.
    ORV_SYSTEM_HANDLE gige = openSystem("orv_gev_tl.cti");
    uint32_t n = 9;
    ASSERT_EQ(OrvSystemGetNumInterfaces(gige, &n), 0);
    EXPECT_EQ(n, 0u);

    control("world.reset");
    ASSERT_EQ(OrvSystemUpdateInterfaceList(gige, nullptr, 1000), 0);
    ASSERT_EQ(OrvSystemGetNumInterfaces(gige, &n), 0);
    EXPECT_EQ(n, 2u);
}

TEST_F(WorldFile, ExtendsTheBuiltInWorld)
{
    control("world.load " + write(R"({ "builtIn": true,
        "cameras": [ { "profile": "U1", "id": "U3V-U9-0309", "model": "SIM-U9" },
                     { "profile": "G1", "status": 4 } ] })"));
    ORV_SYSTEM_HANDLE usb = openSystem("orv_u3v_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(usb, "u3v-if-0");
    EXPECT_EQ(deviceIds(iface).size(), 4u);
    ORV_SYSTEM_HANDLE gige = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE if0 = openInterface(gige, "gev-if-0");
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(if0, "GEV-G1-0001", &info), 0);
    EXPECT_EQ(info.accessStatus, 4) << "an entry with a known ID replaces that camera";
}

TEST_F(WorldFile, ACameraTakesTheFeaturesOfItsProfileAtItsOwnSize)
{
    control("world.load " + write(R"({ "builtIn": true,
        "cameras": [ { "profile": "G1", "id": "GEV-G1-0640", "mac": "00-11-1C-00-06-40",
                       "width": 640, "height": 480 } ] })"));
    const std::string revision = control("state.get remote:GEV-G1-0640 DefectPixelCorrection_Revision");
    EXPECT_NE(revision.find("DefectPixelCorrection_Revision=4"), std::string::npos) << revision;
    EXPECT_NE(control("state.get remote:GEV-G1-0640 WidthMax").find("WidthMax=640"), std::string::npos);
    // The factory map's last entry is the last pixel of this sensor.
    EXPECT_NE(control("defectmap.get GEV-G1-0640 0").find("639,479"), std::string::npos);
}

TEST_F(WorldFile, BadFilesAreRefusedWithTheReasonAndChangeNothing)
{
    struct Row { const char* json; const char* reason; };
    const Row rows[] = {
        {"{ not json", "offset"},
        {"[1, 2]", "JSON object"},
        {R"({ "cameras": [ { "profile": "Z9" } ] })", "unknown profile"},
        {R"({ "cameras": [ { "id": "X", "producer": "none.cti", "interface": "i" } ] })", "no producer"},
        {R"({ "builtIn": true, "cameras": [ { "profile": "G1", "interface": "nope" } ] })", "no interface"},
        {R"({ "builtIn": true, "cameras": [ { "profile": "G1", "status": "ready" } ] })", "whole number"},
        {R"({ "builtIn": true, "cameras": [ { "profile": "G1", "ip": "300.1.1.1" } ] })", "IPv4"},
        {R"({ "producers": [ { "vendor": "v" } ] })", "file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.json);
        std::string command = "world.load " + write(row.json);
        char reply[512] = {};
        size_t size = sizeof reply;
        EXPECT_EQ(OrvSimControl(command.c_str(), reply, &size), ORV_ERROR_INVALID_ARGUMENT);
        EXPECT_NE(std::string(reply).find(row.reason), std::string::npos) << reply;
    }
    char reply[512] = {};
    size_t size = sizeof reply;
    EXPECT_EQ(OrvSimControl("world.load /no/such/world.json", reply, &size), ORV_ERROR_INVALID_ARGUMENT);
    ORV_SYSTEM_HANDLE gige = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE if0 = openInterface(gige, "gev-if-0");
    EXPECT_EQ(deviceIds(if0).size(), 4u);
}
