// Feature, register, memory and settings calls of the simulated SDK as the
// viewer makes them.
#include "SimFixture.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

using namespace simtest;

namespace {

struct Camera {
    ORV_SYSTEM_HANDLE system = 0;
    ORV_INTERFACE_HANDLE iface = 0;
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ORV_STREAM_HANDLE stream = 0;
};

struct Recorder {
    std::mutex mutex;
    std::vector<std::string> names;
    std::vector<std::thread::id> threads;
    static void callback(void* context, const char* name)
    {
        auto* r = static_cast<Recorder*>(context);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->names.push_back(name);
        r->threads.push_back(std::this_thread::get_id());
    }
    size_t count(const std::string& n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return size_t(std::count(names.begin(), names.end(), n));
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        names.clear();
        threads.clear();
    }
};

class Features : public SimTest {
protected:
    Camera open(const std::string& file, const std::string& ifaceId, const std::string& deviceId,
                uint32_t access = ORV_ACCESS_MODE_CONTROL)
    {
        Camera c;
        c.system = openSystem(file);
        c.iface = openInterface(c.system, ifaceId);
        EXPECT_EQ(OrvInterfaceDeviceOpen(c.iface, deviceId.c_str(), access, &c.device, &c.remote), 0) << deviceId;
        // The stream module, once streams can be opened (0 until then).
        char streamId[512] = {};
        size_t size = sizeof streamId;
        if (OrvDeviceGetStreamId(c.device, 0, streamId, &size) == 0) {
            EXPECT_EQ(OrvDeviceStreamOpen(c.device, streamId, &c.stream), 0);
        }
        return c;
    }
    Camera g1() { return open("orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001"); }

    ORV_FEATURE_HANDLE feature(uint32_t module, const char* name)
    {
        ORV_FEATURE_HANDLE f = 0;
        EXPECT_EQ(OrvFeatureGetByName(module, name, &f), 0) << name;
        return f;
    }
    ORV_FEATURE_INFO info(uint32_t module, const char* name)
    {
        ORV_FEATURE_INFO i;
        std::memset(&i, 0, sizeof i);
        EXPECT_EQ(OrvFeatureGetInfo(module, feature(module, name), &i), 0) << name;
        return i;
    }
};

} // namespace

TEST_F(Features, EveryModuleListsFromRootToEndOfList)
{
    Camera c = g1();
    for (uint32_t module : {c.system, c.iface, c.device, c.remote, c.stream}) {
        if (module == c.stream && !c.stream)
            continue;
        uint32_t index = 0;
        ORV_FEATURE_HANDLE f = 0;
        for (; OrvFeatureGetByIndex(module, index, &f) == 0; ++index) {
            ORV_FEATURE_INFO i;
            std::memset(&i, 0, sizeof i);
            ASSERT_EQ(OrvFeatureGetInfo(module, f, &i), 0);
            if (index == 0) {
                EXPECT_EQ(SIM_TEXT(i.name), "Root");
                EXPECT_EQ(i.interfaceType, ORV_FEATURE_TYPE_CATEGORY);
                EXPECT_EQ(i.level, 0);
            }
            ORV_FEATURE_HANDLE again = 0;
            ASSERT_EQ(OrvFeatureGetByName(module, i.name, &again), 0);
            EXPECT_EQ(again, f) << "one handle per module and feature";
        }
        EXPECT_GT(index, 2u);
        EXPECT_EQ(OrvFeatureGetByIndex(module, index, &f), ORV_ERROR_END_OF_LIST);
    }
    ORV_FEATURE_HANDLE f = 0;
    EXPECT_EQ(OrvFeatureGetByName(c.remote, "NoSuchFeature", &f), ORV_ERROR_NOT_AVAILABLE);
    EXPECT_EQ(f, 0u);
}

TEST_F(Features, EveryTypeReadAndWrittenWithRangesIncrementsAndLocks)
{
    Camera c = g1();
    const uint32_t r = c.remote;
    struct Case {
        const char* name;
        std::function<int()> op;
        int expected;
    };
    const std::vector<Case> cases = {
        {"Width in range", [&] { return OrvFeatureSetValueInt64(r, feature(r, "Width"), 640, false); }, 0},
        {"Width off the grid", [&] { return OrvFeatureSetValueInt64(r, feature(r, "Width"), 641, false); }, -1010},
        {"Width too big", [&] { return OrvFeatureSetValueInt64(r, feature(r, "Width"), 1296, true); }, -1010},
        {"PayloadSize read-only", [&] { return OrvFeatureSetValueInt64(r, feature(r, "PayloadSize"), 1, false); }, -1007},
        {"Gain float", [&] { return OrvFeatureSetValueFloat(r, feature(r, "Gain"), 10.5, false); }, 0},
        {"Gain above maximum", [&] { return OrvFeatureSetValueFloat(r, feature(r, "Gain"), 24.01, false); }, -1010},
        {"ReverseX boolean", [&] { return OrvFeatureSetValueBool(r, feature(r, "ReverseX"), true, false); }, 0},
        {"DeviceUserID string", [&] { return OrvFeatureSetValueString(r, feature(r, "DeviceUserID"), "cam-1", false); }, 0},
        {"DeviceUserID too long",
         [&] { return OrvFeatureSetValueString(r, feature(r, "DeviceUserID"), "seventeen chars!!", false); }, -1010},
        {"PixelFormat by value", [&] { return OrvFeatureSetValueInt64Enum(r, feature(r, "PixelFormat"), 0x01100005, false); }, 0},
        {"PixelFormat no such value", [&] { return OrvFeatureSetValueInt64Enum(r, feature(r, "PixelFormat"), 0x02180014, false); }, -1010},
        {"TestPattern by name", [&] { return OrvFeatureSetValueEnum(r, feature(r, "TestPattern"), "Flat", true); }, 0},
        {"TestPattern unknown name", [&] { return OrvFeatureSetValueEnum(r, feature(r, "TestPattern"), "flat", true); }, -1010},
        {"Integer setter on a float", [&] { return OrvFeatureSetValueInt64(r, feature(r, "Gain"), 1, false); }, -1006},
        {"TestLocked", [&] { return OrvFeatureSetValueInt64(r, feature(r, "TestLocked"), 1, false); }, -1007},
        {"TestUnavailable", [&] { return OrvFeatureSetValueInt64(r, feature(r, "TestUnavailable"), 1, false); }, -1009},
        {"TestGridValue on grid", [&] { return OrvFeatureSetValueInt64(r, feature(r, "TestGridValue"), 5, false); }, 0},
        {"TestGridValue off grid", [&] { return OrvFeatureSetValueInt64(r, feature(r, "TestGridValue"), 4, false); }, -1010},
        {"TestZeroIncrement", [&] { return OrvFeatureSetValueInt64(r, feature(r, "TestZeroIncrement"), 37, false); }, 0},
        {"TriggerSoftware command", [&] { return OrvFeatureCommandExecute(r, feature(r, "TriggerSoftware"), 2000, false); }, 0},
        {"UserSetSave on Default", [&] { return OrvFeatureCommandExecute(r, feature(r, "UserSetSave"), 2000, false); }, -1007},
        {"Width locked while streaming", [&] {
             OrvFeatureSetValueInt64(r, feature(r, "TLParamsLocked"), 1, false);
             const int rc = OrvFeatureSetValueInt64(r, feature(r, "Width"), 320, false);
             OrvFeatureSetValueInt64(r, feature(r, "TLParamsLocked"), 0, false);
             return rc;
         }, -1007},
    };
    for (const Case& k : cases)
        EXPECT_EQ(k.op(), k.expected) << k.name;

    int64_t i = 0;
    double d = 0;
    bool b = false;
    char text[512] = {};
    ASSERT_EQ(OrvFeatureGetValueInt64(r, feature(r, "Width"), &i, false, false), 0);
    EXPECT_EQ(i, 640);
    ASSERT_EQ(OrvFeatureGetValueInt64(r, feature(r, "PayloadSize"), &i, false, false), 0);
    EXPECT_EQ(i, 640 * 1024 * 2); // Mono12
    ASSERT_EQ(OrvFeatureGetValueFloat(r, feature(r, "Gain"), &d, false, false), 0);
    EXPECT_EQ(d, 10.5);
    ASSERT_EQ(OrvFeatureGetValueBool(r, feature(r, "ReverseX"), &b, false, false), 0);
    EXPECT_TRUE(b);
    ASSERT_EQ(OrvFeatureGetValueString(r, feature(r, "DeviceUserID"), text, sizeof text, false, false), 0);
    EXPECT_STREQ(text, "cam-1");
    ASSERT_EQ(OrvFeatureGetValueString(r, feature(r, "DeviceUserID"), text, 4, false, false), 0);
    EXPECT_STREQ(text, "cam"); // cut to the buffer
    ASSERT_EQ(OrvFeatureGetValueEnum(r, feature(r, "TestPattern"), text, sizeof text, true, false), 0);
    EXPECT_STREQ(text, "Flat");
    ASSERT_EQ(OrvFeatureGetValueInt64Enum(r, feature(r, "PixelSize"), &i, false, false), 0);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "TestWriteOnly"), &i, false, false), -1007);
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "TestUnavailable"), &i, false, false), -1009);

    // A value outside the current range is delivered with -1005.
    control("feature.set remote:GEV-G1-0001 TestGridValue 500");
    i = 0;
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "TestGridValue"), &i, false, false), ORV_WARNING_OUT_OF_RANGE);
    EXPECT_EQ(i, 500);

    // The enumeration with no current entry.
    ORV_FEATURE_INFO e = info(r, "TestEnumNoCurrent");
    EXPECT_EQ(e.enumIndex, e.enumCount);
    EXPECT_EQ(OrvFeatureGetValueEnum(r, feature(r, "TestEnumNoCurrent"), text, sizeof text, true, false), -1010);
    EXPECT_STREQ(text, "");
}

TEST_F(Features, InformationRecordCarriesTheFeatureDescription)
{
    Camera c = g1();
    struct Case {
        const char* name;
        uint8_t type;
        uint8_t visibility;
        uint8_t representation;
        bool locked;
        bool readable;
    };
    const std::vector<Case> cases = {
        {"ExposureTime", ORV_FEATURE_TYPE_FLOAT, 0, 0, false, true},
        {"TestHexValue", ORV_FEATURE_TYPE_INTEGER, 0, 4, false, true},
        {"TestIPValue", ORV_FEATURE_TYPE_INTEGER, 0, 5, false, true},
        {"TestMACValue", ORV_FEATURE_TYPE_INTEGER, 0, 6, true, true},
        {"GevCurrentIPAddress", ORV_FEATURE_TYPE_INTEGER, 0, 7, true, true},
        {"TestGuruOnly", ORV_FEATURE_TYPE_INTEGER, 2, 0, false, true},
        {"TLParamsLocked", ORV_FEATURE_TYPE_INTEGER, 3, 0, false, true},
        {"TestWriteOnly", ORV_FEATURE_TYPE_INTEGER, 0, 0, false, false},
        {"Shading_MapBuffer", ORV_FEATURE_TYPE_REGISTER, 0, 0, false, true},
        {"LUTSelector", ORV_FEATURE_TYPE_ENUMERATION, 0, 0, false, true},
    };
    for (const Case& k : cases) {
        ORV_FEATURE_INFO i = info(c.remote, k.name);
        EXPECT_EQ(SIM_TEXT(i.name), k.name);
        EXPECT_EQ(i.interfaceType, k.type) << k.name;
        EXPECT_EQ(i.visibility, k.visibility) << k.name;
        EXPECT_EQ(i.representation, k.representation) << k.name;
        EXPECT_EQ(i.isLocked != 0, k.locked) << k.name;
        EXPECT_EQ(i.isReadable != 0, k.readable) << k.name;
        EXPECT_EQ(SIM_TEXT(i.rootName), "Root");
    }
    ORV_FEATURE_INFO exposure = info(c.remote, "ExposureTime");
    EXPECT_EQ(SIM_TEXT(exposure.unit), "us");
    EXPECT_EQ(SIM_TEXT(exposure.displayName), "Exposure Time");
    EXPECT_EQ(exposure.floatMin, 10.0);
    EXPECT_EQ(exposure.displayNotation, 1);
    EXPECT_EQ(SIM_TEXT(info(c.remote, "TestForeignRoot").rootName), "Other");
    char description[512] = {};
    EXPECT_EQ(OrvFeatureGetDescription(c.remote, feature(c.remote, "Gain"), description, sizeof description), 0);
}

TEST_F(Features, EnumerationEntriesAndSelectors)
{
    Camera c = open("orv_gev_tl.cti", "gev-if-1", "GEV-G7-0007");
    const uint32_t r = c.remote;
    char name[256];
    int64_t value = 0;
    ASSERT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "StrobeSelector"), 4, name, sizeof name, &value), 0);
    EXPECT_STREQ(name, "Strobe4");
    EXPECT_EQ(value, 4);
    EXPECT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "StrobeSelector"), 5, name, sizeof name, &value), -1008);
    EXPECT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "StrobeSelector"), -1, name, sizeof name, nullptr), -1008);
    EXPECT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "Gain"), 0, name, sizeof name, nullptr), -1008);
    EXPECT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "TriggerMode"), 0, name, 2, nullptr), -1006);

    // One StrobeDelay per strobe; writing the selector keeps the values.
    for (int64_t k = 0; k < 5; ++k) {
        ASSERT_EQ(OrvFeatureSetValueInt64Enum(r, feature(r, "StrobeSelector"), k, false), 0);
        ASSERT_EQ(OrvFeatureSetValueFloat(r, feature(r, "StrobeDelay"), 100.0 * k, false), 0);
    }
    for (int64_t k = 4; k >= 0; --k) {
        double d = -1;
        ASSERT_EQ(OrvFeatureSetValueInt64Enum(r, feature(r, "StrobeSelector"), k, false), 0);
        ASSERT_EQ(OrvFeatureGetValueFloat(r, feature(r, "StrobeDelay"), &d, false, false), 0);
        EXPECT_EQ(d, 100.0 * k);
    }
    // Sequencer sets and the row limit.
    EXPECT_EQ(OrvFeatureSetValueInt64(r, feature(r, "SeqCount"), 16, false), 0);
    EXPECT_EQ(OrvFeatureSetValueInt64(r, feature(r, "SeqCount"), 17, false), -1010);
    ASSERT_EQ(OrvFeatureSetValueInt64(r, feature(r, "SeqSelector"), 3, false), 0);
    ASSERT_EQ(OrvFeatureSetValueInt64(r, feature(r, "SeqInterval"), 66666666, false), 0);
    ASSERT_EQ(OrvFeatureSetValueInt64(r, feature(r, "SeqSelector"), 4, false), 0);
    int64_t v = -1;
    ASSERT_EQ(OrvFeatureGetValueInt64(r, feature(r, "SeqInterval"), &v, false, false), 0);
    EXPECT_EQ(v, 0);
    // The "Line 1" trigger source text is exact.
    EXPECT_EQ(OrvFeatureSetValueEnum(r, feature(r, "TriggerSource"), "Line 1", true), 0);
}

TEST_F(Features, HandlesBelongToTheirModule)
{
    Camera c = g1();
    const ORV_FEATURE_HANDLE width = feature(c.remote, "Width");
    int64_t v = 0;
    EXPECT_EQ(OrvFeatureGetValueInt64(c.device, width, &v, false, false), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvFeatureGetValueInt64(c.remote, 0, &v, false, false), ORV_ERROR_INVALID_HANDLE);
    const ORV_FEATURE_HANDLE deviceId = feature(c.device, "DeviceID");
    char text[512];
    EXPECT_EQ(OrvFeatureGetValueString(c.remote, deviceId, text, sizeof text, false, false), ORV_ERROR_INVALID_HANDLE);
    ASSERT_EQ(OrvFeatureGetValueString(c.device, deviceId, text, sizeof text, false, false), 0);
    EXPECT_STREQ(text, "GEV-G1-0001");
    if (c.stream) {
        // Stream and remote PayloadSize are different handles with the same value.
        EXPECT_EQ(OrvFeatureGetValueInt64(c.stream, width, &v, false, false), ORV_ERROR_INVALID_HANDLE);
        const ORV_FEATURE_HANDLE streamPayload = feature(c.stream, "PayloadSize");
        EXPECT_NE(streamPayload, feature(c.remote, "PayloadSize"));
        int64_t a = 0, b = 0;
        ASSERT_EQ(OrvFeatureGetValueInt64(c.stream, streamPayload, &a, false, false), 0);
        ASSERT_EQ(OrvFeatureGetValueInt64(c.remote, feature(c.remote, "PayloadSize"), &b, false, false), 0);
        EXPECT_EQ(a, b);
    }

    // Closing the device takes its feature handles; state stays with the camera.
    ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, width, 320, false), 0);
    if (c.stream) {
        ASSERT_EQ(OrvStreamClose(c.stream), 0);
    }
    ASSERT_EQ(OrvDeviceClose(c.device), 0);
    EXPECT_EQ(OrvFeatureGetValueInt64(c.remote, width, &v, false, false), ORV_ERROR_INVALID_HANDLE);
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(c.iface, "GEV-G1-0001", 3, &device, &remote), 0);
    const ORV_FEATURE_HANDLE again = feature(remote, "Width");
    EXPECT_NE(again, width) << "handles are never reused";
    ASSERT_EQ(OrvFeatureGetValueInt64(remote, again, &v, false, false), 0);
    EXPECT_EQ(v, 320);
}

TEST_F(Features, ReadOnlyDeviceLocksEveryRemoteFeature)
{
    Camera c = open("orv_gev_tl.cti", "gev-if-0", "GEV-G3-0003", ORV_ACCESS_MODE_READ_ONLY);
    EXPECT_NE(info(c.remote, "Gain").isLocked, 0);
    EXPECT_NE(info(c.remote, "UserSetLoad").isLocked, 0);
    EXPECT_EQ(OrvFeatureSetValueFloat(c.remote, feature(c.remote, "Gain"), 1.0, false), ORV_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OrvFeatureCommandExecute(c.remote, feature(c.remote, "AcquisitionStart"), 2000, false),
              ORV_ERROR_ACCESS_DENIED);
    EXPECT_EQ(OrvFeatureSetValueEnum(c.remote, feature(c.remote, "UserSetSelector"), "UserSet1", true),
              ORV_ERROR_ACCESS_DENIED);
    double gain = -1;
    EXPECT_EQ(OrvFeatureGetValueFloat(c.remote, feature(c.remote, "Gain"), &gain, false, false), 0);
    EXPECT_EQ(gain, 0.0);
}

TEST_F(Features, InvalidationCallbacksAreDeliveredAndStopped)
{
    Camera c = g1();
    Recorder r;
    const ORV_FEATURE_HANDLE line = feature(c.remote, "LineSelector");
    for (const char* n : {"LineSelector", "LineInverter", "LineSource", "LineStatus", "Width", "PayloadSize"})
        EXPECT_EQ(OrvFeatureRegisterInvalidateCB(c.remote, feature(c.remote, n), &r, &Recorder::callback), 0);
    Recorder s;
    if (c.stream) {
        EXPECT_EQ(OrvFeatureRegisterInvalidateCB(c.stream, feature(c.stream, "PayloadSize"), &s, &Recorder::callback), 0);
    }

    ASSERT_EQ(OrvFeatureSetValueEnum(c.remote, line, "Line2", false), 0);
    EXPECT_EQ(r.count("LineSelector"), 1u);
    EXPECT_EQ(r.count("LineInverter"), 1u);
    EXPECT_EQ(r.count("LineSource"), 1u);
    EXPECT_EQ(r.count("LineStatus"), 0u) << "volatile features are polled";
    EXPECT_EQ(r.threads.front(), std::this_thread::get_id()) << "fired on the writing thread";

    r.clear();
    ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, feature(c.remote, "Width"), 640, false), 0);
    EXPECT_EQ(r.count("Width"), 1u);
    EXPECT_EQ(r.count("PayloadSize"), 1u);
    EXPECT_EQ(s.count("PayloadSize"), c.stream ? 1u : 0u);

    // Camera-side change and a bare invalidation.
    r.clear();
    control("feature.set remote:GEV-G1-0001 LineInverter[LineSelector=Line0] 1");
    EXPECT_EQ(r.count("LineInverter"), 1u);
    control("invalidate remote:GEV-G1-0001 Width");
    EXPECT_EQ(r.count("Width"), 1u);

    // A register write reaches the twin feature.
    Recorder t;
    ASSERT_EQ(OrvFeatureRegisterInvalidateCB(c.remote, feature(c.remote, "DefectPixelCorrection_MapSelect"), &t,
                                             &Recorder::callback), 0);
    const uint8_t one[4] = {0, 0, 0, 1};
    size_t length = 4;
    ASSERT_EQ(OrvDeviceWrite(c.device, 0x10004014, one, &length), 0);
    EXPECT_EQ(t.count("DefectPixelCorrection_MapSelect"), 1u);

    // Unregistered: nothing more; unknown registration: 0.
    r.clear();
    EXPECT_EQ(OrvFeatureUnRegisterInvalidateCB(c.remote, feature(c.remote, "Width")), 0);
    ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, feature(c.remote, "Width"), 320, false), 0);
    EXPECT_EQ(r.count("Width"), 0u);
    EXPECT_EQ(r.count("PayloadSize"), 1u);
    EXPECT_EQ(OrvFeatureUnRegisterInvalidateCB(c.remote, feature(c.remote, "Gain")), 0);
}

TEST_F(Features, TwoContextsOnOneSharedModule)
{
    // Two cameras behind one system: each camera's feature manager watches
    // the same system feature through the one system handle. A second system
    // handle of the same producer (another camera manager) watches too.
    Camera c = g1();
    const ORV_SYSTEM_HANDLE second = openSystem("orv_gev_tl.cti");
    Recorder a, b, other;
    const ORV_FEATURE_HANDLE selector = feature(c.system, "InterfaceSelector");
    ASSERT_EQ(OrvFeatureRegisterInvalidateCB(c.system, selector, &a, &Recorder::callback), 0);
    ASSERT_EQ(OrvFeatureRegisterInvalidateCB(c.system, selector, &b, &Recorder::callback), 0);
    ASSERT_EQ(OrvFeatureRegisterInvalidateCB(second, feature(second, "InterfaceSelector"), &other, &Recorder::callback), 0);
    ASSERT_EQ(OrvFeatureSetValueInt64(c.system, selector, 1, false), 0);
    EXPECT_EQ(a.count("InterfaceSelector"), 1u);
    EXPECT_EQ(b.count("InterfaceSelector"), 1u);
    EXPECT_EQ(other.count("InterfaceSelector"), 1u);
    char id[512] = {};
    ASSERT_EQ(OrvFeatureGetValueString(c.system, feature(c.system, "InterfaceID"), id, sizeof id, false, false), 0);
    EXPECT_STREQ(id, "gev-if-1");

    // Unregistering through the first handle stops its contexts only.
    ASSERT_EQ(OrvFeatureUnRegisterInvalidateCB(c.system, selector), 0);
    a.clear();
    b.clear();
    other.clear();
    ASSERT_EQ(OrvFeatureSetValueInt64(c.system, selector, 0, false), 0);
    EXPECT_EQ(a.count("InterfaceSelector") + b.count("InterfaceSelector"), 0u);
    EXPECT_EQ(other.count("InterfaceSelector"), 1u);

    // A context that registers again hears again; closing its system drops it.
    ASSERT_EQ(OrvFeatureRegisterInvalidateCB(c.system, selector, &a, &Recorder::callback), 0);
    ASSERT_EQ(OrvSystemClose(second), 0);
    a.clear();
    other.clear();
    ASSERT_EQ(OrvFeatureSetValueInt64(c.system, selector, 1, false), 0);
    EXPECT_EQ(a.count("InterfaceSelector"), 1u);
    EXPECT_EQ(other.count("InterfaceSelector"), 0u);
}

TEST_F(Features, RegistersInBothByteOrdersAndFailingAddresses)
{
    Camera u1 = open("orv_u3v_tl.cti", "u3v-if-0", "U3V-U1-0301");
    Camera g1 = open("orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001");
    Camera x1 = open("coaxlink.cti", "cxp-if-0", "CXP-X1-0601");
    struct Case {
        const char* what;
        uint32_t module;
        uint64_t address;
        size_t length;
        int expected;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"U3V little-endian probe", u1.device, 0x10004040, 4, 0, {3, 0, 0, 0}},
        {"GEV big-endian capacity", g1.device, 0x10004020, 4, 0, {0, 0, 0x10, 0}},
        {"remote handle reaches memory", g1.remote, 0x1000401C, 4, 0, {0, 0, 0, 3}},
        {"probe unmapped without correction", x1.device, 0x10004040, 4, -1009, {}},
        {"unmapped address", g1.device, 0x12345678, 4, -1009, {}},
        {"length leaves the register", g1.device, 0x10004000, 8, -1009, {}},
        {"clear register is write-only", g1.device, 0x10004018, 4, -1007, {}},
        {"system module has no memory", g1.system, 0x10004000, 4, -1009, {}},
    };
    for (const Case& k : cases) {
        std::vector<uint8_t> buf(k.length, 0xAA);
        size_t length = k.length;
        EXPECT_EQ(OrvDeviceRead(k.module, k.address, buf.data(), &length), k.expected) << k.what;
        if (k.expected == 0) {
            EXPECT_EQ(buf, k.bytes) << k.what;
        }
    }

    // Writes: read-only register, protected factory map, injected fault.
    const uint8_t word[4] = {0, 0, 0, 1};
    size_t length = 4;
    EXPECT_EQ(OrvDeviceWrite(g1.device, 0x1000401C, word, &length), -1007);
    EXPECT_EQ(OrvDeviceWrite(g1.device, 0x10025000, word, &length), -1007);
    control("register.fail GEV-G1-0001 0x10004014 write -1013");
    EXPECT_EQ(OrvDeviceWrite(g1.device, 0x10004014, word, &length), -1013);
    EXPECT_EQ(OrvDeviceWrite(g1.device, 0x10004014, word, &length), 0);
    EXPECT_EQ(control("memory.peek GEV-G1-0001 0x10004014 4"), "00 00 00 01");

    // A camera that reports any map size and capacity, feature and register alike.
    control("defectmap.report GEV-G1-0001 4294967295 100000");
    EXPECT_EQ(control("memory.peek GEV-G1-0001 0x1000401C 4"), "FF FF FF FF");
    int64_t reported = 0;
    ASSERT_EQ(OrvFeatureGetValueInt64(g1.remote, feature(g1.remote, "DefectPixelCorrection_MapSize"), &reported, false, false), 0);
    EXPECT_EQ(reported, 4294967295ll);
    ASSERT_EQ(OrvFeatureGetValueInt64(g1.remote, feature(g1.remote, "DefectPixelCorrection_MapMaxSize"), &reported, false, false), 0);
    EXPECT_EQ(reported, 100000);
    control("defectmap.report GEV-G1-0001 real real");
    EXPECT_EQ(control("memory.peek GEV-G1-0001 0x10004020 4"), "00 00 10 00");

    // The shading map buffer: a remote feature written through the device module.
    const ORV_FEATURE_HANDLE buffer = feature(g1.remote, "Shading_MapBuffer");
    std::vector<uint8_t> chunk(512, 0x5A);
    for (uint32_t offset = 0; offset < 2048; offset += 512) {
        size_t n = chunk.size();
        ASSERT_EQ(OrvRegisterDeviceWrite(g1.device, buffer, chunk.data(), &n, 1, offset), 0) << offset;
    }
    EXPECT_EQ(control("memory.peek GEV-G1-0001 0x101007FE 2"), "5A 5A");
    size_t n = chunk.size();
    EXPECT_EQ(OrvRegisterDeviceWrite(g1.device, feature(g1.remote, "Gain"), chunk.data(), &n, 1, 0), -1010);
    EXPECT_EQ(OrvRegisterDeviceWrite(g1.device, buffer, chunk.data(), &n, 1, 2 * 1280 * 1024 - 256), -1010);
    EXPECT_EQ(OrvRegisterDeviceWrite(u1.device, buffer, chunk.data(), &n, 1, 0), ORV_ERROR_INVALID_HANDLE);
}

TEST_F(Features, SettingsSaveAndLoadRoundTripAndAForeignFileIsRefused)
{
    TempFolder files;
    const std::string path = files.path() + "/g1.txt";
    {
        Camera c = g1();
        ASSERT_EQ(OrvFeatureSetValueFloat(c.remote, feature(c.remote, "ExposureTime"), 2500.5, false), 0);
        ASSERT_EQ(OrvFeatureSetValueEnum(c.remote, feature(c.remote, "LUTSelector"), "Luminance", true), 0);
        ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, feature(c.remote, "LUTIndex"), 7, false), 0);
        ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, feature(c.remote, "LUTValue"), 4000, false), 0);
        ASSERT_EQ(OrvDeviceSaveSettings(c.device, path.c_str()), 0);
        EXPECT_NE(OrvDeviceSaveSettings(c.device, (files.path() + "/no/such/folder.txt").c_str()), 0);

        // Change, load back, and the saved values return.
        ASSERT_EQ(OrvFeatureSetValueFloat(c.remote, feature(c.remote, "ExposureTime"), 99.0, false), 0);
        ASSERT_EQ(OrvFeatureSetValueInt64(c.remote, feature(c.remote, "LUTValue"), 1, false), 0);
        Recorder r;
        ASSERT_EQ(OrvFeatureRegisterInvalidateCB(c.remote, feature(c.remote, "Gain"), &r, &Recorder::callback), 0);
        ASSERT_EQ(OrvDeviceLoadSettings(c.device, path.c_str()), 0);
        EXPECT_EQ(r.count("Gain"), 1u) << "a load invalidates every remote feature";
        double d = 0;
        int64_t v = 0;
        ASSERT_EQ(OrvFeatureGetValueFloat(c.remote, feature(c.remote, "ExposureTime"), &d, false, false), 0);
        EXPECT_EQ(d, 2500.5);
        ASSERT_EQ(OrvFeatureGetValueInt64(c.remote, feature(c.remote, "LUTValue"), &v, false, false), 0);
        EXPECT_EQ(v, 4000);

        const std::string foreign = files.path() + "/SoftwarePolling_Version_1_0.spsetting";
        std::ofstream(foreign) << "<SPSetting version=\"1.0\"/>\n";
        EXPECT_EQ(OrvDeviceLoadSettings(c.device, foreign.c_str()), ORV_ERROR_OUT_OF_RANGE);
        EXPECT_EQ(OrvDeviceLoadSettings(c.device, (files.path() + "/missing.txt").c_str()), ORV_ERROR_OUT_OF_RANGE);

        size_t size = 0;
        EXPECT_EQ(OrvDeviceSaveSettingsToString(c.device, nullptr, &size), ORV_ERROR_INVALID_ARGUMENT);
        std::vector<char> text(size);
        ASSERT_EQ(OrvDeviceSaveSettingsToString(c.device, text.data(), &size), 0);
        EXPECT_EQ(std::string(text.data()).rfind("# Quillan camera settings 1\n", 0), 0u);
        EXPECT_EQ(OrvDeviceLoadSettingsFromString(c.device, text.data()), 0);
    }
    // Another model refuses the file.
    Camera g3 = open("orv_gev_tl.cti", "gev-if-0", "GEV-G3-0003", ORV_ACCESS_MODE_READ_ONLY);
    EXPECT_EQ(OrvDeviceLoadSettings(g3.device, path.c_str()), ORV_ERROR_OUT_OF_RANGE);
}

TEST_F(Features, TestControlsChangeFeatures)
{
    Camera c = g1();
    const uint32_t r = c.remote;
    int64_t v = 0;
    control("feature.fail remote:GEV-G1-0001 Width get -1013 after=1");
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "Width"), &v, false, false), 0);
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "Width"), &v, false, false), -1013);
    EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "Width"), &v, false, false), 0);

    control("feature.range remote:GEV-G1-0001 LUTIndex 0 4095 0");
    EXPECT_EQ(info(r, "LUTIndex").intInc, 0);
    control("feature.locked remote:GEV-G1-0001 LUTSelector 1");
    EXPECT_NE(info(r, "LUTSelector").isLocked, 0);
    control("feature.available remote:GEV-G1-0001 Gain 0");
    EXPECT_EQ(info(r, "Gain").isAvailable, 0);
    control("feature.entry remote:GEV-G1-0001 PixelFormat Mono8 available 0");
    EXPECT_EQ(info(r, "PixelFormat").enumCount, 5);

    control("feature.absent remote:GEV-G1-0001 FilesystemFreeSize");
    ORV_FEATURE_HANDLE f = 0;
    EXPECT_EQ(OrvFeatureGetByName(r, "FilesystemFreeSize", &f), ORV_ERROR_NOT_AVAILABLE);
    EXPECT_EQ(control("state.get stream:GEV-G1-0001 StreamLostFrameCount").find("StreamLostFrameCount="), 0u);
    control("feature.absent stream:GEV-G1-0001 StreamLostFrameCount");
    control("feature.present remote:GEV-G1-0001 FilesystemFreeSize");
    EXPECT_EQ(OrvFeatureGetByName(r, "FilesystemFreeSize", &f), 0);

    control("feature.slow remote:GEV-G1-0001 TriggerSoftware 300");
    EXPECT_EQ(OrvFeatureCommandExecute(r, feature(r, "TriggerSoftware"), 50, false), ORV_ERROR_TIMEOUT);
    control("fault.clear");
    EXPECT_EQ(OrvFeatureCommandExecute(r, feature(r, "TriggerSoftware"), 50, false), 0);

    const std::string state = control("state.get remote:GEV-G1-0001 Width");
    EXPECT_NE(state.find("Width=1280"), std::string::npos) << state;
    EXPECT_NE(control("defectmap.get GEV-G1-0001 0").find("1279,1023"), std::string::npos);

    char reply[256] = {};
    size_t size = sizeof reply;
    EXPECT_EQ(OrvSimControl("feature.set remote:GEV-G1-0001 NoSuchFeature 1", reply, &size), -1006);
    size = sizeof reply;
    EXPECT_EQ(OrvSimControl("feature.set remote:NO-SUCH-CAMERA Width 1", reply, &size), -1006);
}

TEST_F(Features, PayloadAndFirmwareComeFromTheCamera)
{
    Camera c = g1();
    const uint32_t r = c.remote;
    ASSERT_EQ(OrvFeatureSetValueInt64(r, feature(r, "Width"), 320, false), 0);
    ASSERT_EQ(OrvFeatureSetValueEnum(r, feature(r, "PixelFormat"), "Mono16", true), 0);
    int64_t payload = 0;
    ASSERT_EQ(OrvFeatureGetValueInt64(r, feature(r, "PayloadSize"), &payload, false, false), 0);
    EXPECT_EQ(payload, 320 * 1024 * 2);
    control("stream.payload GEV-G1-0001 remote 0");
    ASSERT_EQ(OrvFeatureGetValueInt64(r, feature(r, "PayloadSize"), &payload, false, false), 0);
    EXPECT_EQ(payload, 0);

    char text[512] = {};
    ASSERT_EQ(OrvFeatureGetValueString(r, feature(r, "DeviceFirmwareVersion"), text, sizeof text, false, false), 0);
    EXPECT_STREQ(text, "3.2.1");
}

TEST_F(Features, UpdateXmlAndListRefresh)
{
    Camera c = g1();
    ORV_FEATURE_HANDLE f = 0;
    EXPECT_EQ(OrvFeatureGetByName(c.remote, "UpdatedFeatureCounter", &f), ORV_ERROR_NOT_AVAILABLE);
    const ORV_FEATURE_HANDLE gain = feature(c.remote, "Gain");
    ASSERT_EQ(OrvFeatureCommandExecute(c.device, feature(c.device, "UpdateXML"), 2000, false), 0);
    ASSERT_EQ(OrvFeatureListRefresh(c.remote), 0);
    EXPECT_EQ(OrvFeatureGetByName(c.remote, "UpdatedFeatureCounter", &f), 0);
    double d = 0;
    EXPECT_EQ(OrvFeatureGetValueFloat(c.remote, gain, &d, false, false), 0) << "surviving handles stay valid";
}

TEST_F(Features, ManyThreadsListAndReadFeaturesAtOnce)
{
    Camera c = g1();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            Recorder r;
            for (int round = 0; round < 20; ++round) {
                for (uint32_t module : {c.remote, c.stream, c.device, c.system}) {
                    if (!module)
                        continue;
                    ORV_FEATURE_HANDLE f = 0;
                    for (uint32_t i = 0; OrvFeatureGetByIndex(module, i, &f) == 0; ++i) {
                        ORV_FEATURE_INFO info;
                        std::memset(&info, 0, sizeof info);
                        if (OrvFeatureGetInfo(module, f, &info) != 0)
                            ++failures;
                        int64_t v;
                        if (info.interfaceType == ORV_FEATURE_TYPE_INTEGER && info.isAvailable && info.isReadable) {
                            const int rc = OrvFeatureGetValueInt64(module, f, &v, false, false);
                            if (rc != 0 && rc != ORV_WARNING_OUT_OF_RANGE)
                                ++failures;
                        }
                    }
                }
                const ORV_FEATURE_HANDLE width = feature(c.remote, "Width");
                OrvFeatureRegisterInvalidateCB(c.remote, width, &r, &Recorder::callback);
                OrvFeatureSetValueInt64(c.remote, width, 16 * (1 + (t + round) % 10), false);
                OrvFeatureUnRegisterInvalidateCB(c.remote, width);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(Features, LineLevelsPinnedByTestControlAndOutputsFollowTheExposure)
{
    Camera c = open("orv_gev_tl.cti", "gev-if-1", "GEV-G7-0007");
    const uint32_t r = c.remote;
    auto all = [&] {
        int64_t v = 0;
        EXPECT_EQ(OrvFeatureGetValueInt64(r, feature(r, "LineStatusAll"), &v, false, true), 0);
        return v;
    };
    auto status = [&](const char* line) {
        EXPECT_EQ(OrvFeatureSetValueEnum(r, feature(r, "LineSelector"), line, false), 0);
        bool v = false;
        EXPECT_EQ(OrvFeatureGetValueBool(r, feature(r, "LineStatus"), &v, false, false), 0);
        return v;
    };
    // Pinned levels replace the signal, by the entry's value as bit number;
    // there is no bit for value 64.
    for (const char* line : {"Sequencer Input", "Trigger Input", "Output 0", "Output 1", "Output 2", "Output 3",
                             "Aux Line 35", "Aux Line 64"})
        control(std::string("line.level G7 \"") + line + "\" 0");
    EXPECT_EQ(all(), 0);
    control("line.level G7 \"Aux Line 35\" 1");
    control("line.level G7 \"Output 0\" 1");
    control("line.level G7 \"Aux Line 64\" 1");
    EXPECT_EQ(all(), (int64_t(1) << 35) | (int64_t(1) << 8));
    EXPECT_TRUE(status("Aux Line 35"));
    EXPECT_TRUE(status("Aux Line 64"));
    EXPECT_FALSE(status("Trigger Input"));
    control("line.level G7 \"Aux Line 35\" signal");
    char reply[256] = {};
    size_t size = sizeof reply;
    EXPECT_EQ(OrvSimControl("line.level G7 \"No Line\" 1", reply, &size), -1006);
    size = sizeof reply;
    EXPECT_EQ(OrvSimControl("line.level G7 \"Output 0\" high", reply, &size), -1006);
    size = sizeof reply;
    EXPECT_EQ(OrvSimControl("feature.set remote:G7 LineStatusAll 5", reply, &size), -1006)
        << "the camera computes it";

    // G1's Line2 with the source ExposureActive: high during the exposure
    // while the camera streams. An exposure of a whole frame period keeps it
    // high throughout.
    Camera g1cam = g1();
    const uint32_t g = g1cam.remote;
    ASSERT_EQ(OrvFeatureSetValueEnum(g, feature(g, "LineSelector"), "Line2", false), 0);
    ASSERT_EQ(OrvFeatureSetValueEnum(g, feature(g, "LineSource"), "ExposureActive", false), 0);
    ASSERT_EQ(OrvFeatureSetValueFloat(g, feature(g, "AcquisitionFrameRate"), 1, false), 0);
    ASSERT_EQ(OrvFeatureSetValueFloat(g, feature(g, "ExposureTime"), 1000000, false), 0);
    auto line2 = [&] {
        int64_t v = 0;
        EXPECT_EQ(OrvFeatureGetValueInt64(g, feature(g, "LineStatusAll"), &v, false, true), 0);
        return (v >> 2) & 1;
    };
    EXPECT_EQ(line2(), 0);
    ASSERT_EQ(OrvFeatureCommandExecute(g, feature(g, "AcquisitionStart"), 1000, false), 0);
    EXPECT_EQ(line2(), 1);
    ASSERT_EQ(OrvFeatureCommandExecute(g, feature(g, "AcquisitionStop"), 1000, false), 0);
    EXPECT_EQ(line2(), 0);
}

TEST_F(Features, EnumerationEntriesAreRenamedByTestControl)
{
    Camera c = g1();
    const uint32_t r = c.remote;
    control("feature.entry G1 StrobePolarity negative name Positive");
    char name[256] = {};
    int64_t value = 0;
    ASSERT_EQ(OrvFeatureEnumSubFeatures(r, feature(r, "StrobePolarity"), 1, name, sizeof name, &value), 0);
    EXPECT_STREQ(name, "Positive");
    EXPECT_EQ(value, 1);
    char reply[256] = {};
    size_t size = sizeof reply;
    EXPECT_EQ(OrvSimControl("feature.entry G1 StrobePolarity nothing name x", reply, &size), -1006);
}
