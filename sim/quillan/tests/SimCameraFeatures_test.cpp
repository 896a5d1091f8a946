// The simulated cameras' feature lists, register twins, settings files and
// user sets.
#include "SimCameraFeatures.h"
#include "SimInvalidation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace quillan;

namespace {

uint32_t idOf(SimFeatureStore& s, const std::string& name)
{
    uint32_t id = SimFeatureStore::npos;
    EXPECT_EQ(s.findByName(name, &id), 0) << s.moduleName() << " " << name;
    return id;
}

bool has(SimFeatureStore& s, const std::string& name)
{
    uint32_t id;
    return s.findByName(name, &id) == 0;
}

SimFeatureInfo infoOf(SimFeatureStore& s, const std::string& name)
{
    SimFeatureInfo info;
    EXPECT_EQ(s.info(idOf(s, name), info, false), 0) << name;
    return info;
}

int64_t readInt(SimFeatureStore& s, const std::string& name)
{
    SimValue v;
    EXPECT_EQ(s.getValue(idOf(s, name), SimType::Integer, v), 0) << name;
    return v.i;
}

int writeInt(SimFeatureStore& s, const std::string& name, int64_t value)
{
    return s.setValue(idOf(s, name), SimType::Integer, SimValue::ofInt(value), false);
}

struct Names {
    std::vector<std::string> seen;
    static void callback(void* c, const char* n) { static_cast<Names*>(c)->seen.push_back(n); }
    bool saw(const std::string& n) const { return std::find(seen.begin(), seen.end(), n) != seen.end(); }
};

std::string tempPath(const std::string& name)
{
    return ::testing::TempDir() + "/" + std::to_string(::getpid()) + "_" + name;
}

} // namespace

TEST(SimCameraFeatures, EveryModuleOfEveryCameraWalksFromRootToEndOfList)
{
    for (const SimCameraProfile& profile : SimCameraProfile::builtIn()) {
        SimCameraFeatures cam(profile);
        std::vector<SimFeatureStore*> stores = {&cam.remote(), &cam.device()};
        if (cam.stream())
            stores.push_back(cam.stream());
        EXPECT_EQ(cam.stream() != nullptr, profile.hasStream) << profile.deviceId;
        for (SimFeatureStore* s : stores) {
            uint32_t id = 0;
            uint32_t index = 0;
            int previousLevel = -1;
            for (; s->featureAt(index, &id) == 0; ++index) {
                SimFeatureInfo info;
                ASSERT_EQ(s->info(id, info, false), 0);
                if (index == 0) {
                    EXPECT_EQ(info.name, "Root");
                    EXPECT_EQ(info.type, SimType::Category);
                    EXPECT_EQ(info.level, 0);
                } else {
                    EXPECT_GE(info.level, 1) << info.name;
                    EXPECT_LE(info.level, previousLevel + 2) << info.name;
                }
                previousLevel = info.level;
                EXPECT_FALSE(info.displayName.empty());
                uint32_t again = 0;
                ASSERT_EQ(s->findByName(info.name, &again), 0) << info.name;
                EXPECT_EQ(again, id);
            }
            EXPECT_GT(index, 3u) << s->moduleName();
            EXPECT_EQ(s->featureAt(index, &id), -1008);
        }
    }
}

TEST(SimCameraFeatures, CamerasOfferTheirGroups)
{
    struct Case {
        const char* device;
        const char* feature;
        bool present;
        bool available;
    };
    const std::vector<Case> cases = {
        {"GEV-G1-0001", "TestHexValue", true, true},
        {"GEV-G1-0001", "ColorTransformationControl", true, false},
        {"GEV-G1-0001", "ColorTransformationValue", true, false},
        {"GEV-G2-0002", "ColorTransformationControl", true, true},
        {"U3V-U2-0302", "ColorTransformationControl", false, false},
        {"GEV-G1-0001", "DeviceManufacturerInfo", true, true},
        {"GEV-G2-0002", "DeviceManufacturerInfo", false, false},
        {"GEV-G2-0002", "ManufacturerInfo", true, true},
        {"CXP-X1-0601", "DeviceVendorName", false, false},
        {"U3V-U2-0302", "LUTControl", false, false},
        {"U3V-U2-0302", "UserSetSelector", false, false},
        {"U3V-U1-0301", "DefectPixelCorrection_Revision", false, false},
        {"CL-C2-0402", "DefectPixelCorrection_Revision", true, true},
        {"GEV-G1-0001", "Shading_MapBuffer", true, true},
        {"U3V-U1-0301", "Shading_MapBuffer", false, false},
        {"U3V-U1-0301", "GevHeartbeatTimeout", false, false},
        {"GEV-G3-0003", "GevHeartbeatTimeout", true, true},
        {"GEV-G7-0007", "SeqTriggermode", true, true},
        {"GEV-G1-0001", "SeqSelector", false, false},
        {"GEV-G1-0001", "FilesystemFreeSize", true, true},
        {"GEV-G1-0001", "TestUnavailable", true, false},
        {"GEV-G1-0001", "UpdatedFeatureCounter", false, false},
    };
    for (const Case& c : cases) {
        SimCameraFeatures cam(SimCameraProfile::forDevice(c.device));
        EXPECT_EQ(has(cam.remote(), c.feature), c.present) << c.device << " " << c.feature;
        if (c.present) {
            EXPECT_EQ(infoOf(cam.remote(), c.feature).available, c.available) << c.device << " " << c.feature;
        }
    }

    struct StreamCase {
        const char* device;
        const char* feature;
        bool present;
        bool available;
    };
    const std::vector<StreamCase> streamCases = {
        {"GEV-G1-0001", "StreamLostFrameCount", true, true},
        {"GEV-G1-0001", "FrameLoss", false, false},
        {"GEV-G2-0002", "FrameLoss", true, true},
        {"U3V-U1-0301", "StreamLostFrameCount", false, false},
        {"U3V-U2-0302", "PayloadSize", false, false},
        {"U3V-U2-0302", "TLParamsLocked", false, false},
        {"GEV-G1-0001", "PayloadSize", true, true},
    };
    for (const StreamCase& c : streamCases) {
        SimCameraFeatures cam(SimCameraProfile::forDevice(c.device));
        ASSERT_NE(cam.stream(), nullptr);
        EXPECT_EQ(has(*cam.stream(), c.feature), c.present) << c.device << " " << c.feature;
        if (c.present) {
            EXPECT_EQ(infoOf(*cam.stream(), c.feature).available, c.available) << c.device << " " << c.feature;
        }
    }
}

TEST(SimCameraFeatures, PayloadPixelSizeAndRangesFollowTheImageFormat)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    SimFeatureStore& r = g1.remote();
    EXPECT_EQ(readInt(r, "PayloadSize"), 1280 * 1024);
    struct Case {
        const char* format;
        int64_t payload;
        int64_t pixelSize;
    };
    for (const Case& c : std::vector<Case>{{"Mono8", 1280 * 1024, 8}, {"Mono12", 2 * 1280 * 1024, 12},
                                           {"Mono12Packed", 1280 * 1024 * 3 / 2, 12}, {"Mono16", 2 * 1280 * 1024, 16}}) {
        ASSERT_EQ(r.setEnumName(idOf(r, "PixelFormat"), c.format, false), 0);
        EXPECT_EQ(readInt(r, "PayloadSize"), c.payload) << c.format;
        EXPECT_EQ(readInt(*g1.stream(), "PayloadSize"), c.payload) << c.format;
        SimValue size;
        ASSERT_EQ(r.getValue(idOf(r, "PixelSize"), SimType::Enumeration, size), 0);
        EXPECT_EQ(size.i, c.pixelSize) << c.format;
    }

    // Width and OffsetX limit each other.
    EXPECT_EQ(writeInt(r, "OffsetX", 16), -1010);
    ASSERT_EQ(writeInt(r, "Width", 640), 0);
    EXPECT_EQ(infoOf(r, "OffsetX").range.intMax, 640);
    ASSERT_EQ(writeInt(r, "OffsetX", 320), 0);
    EXPECT_EQ(infoOf(r, "Width").range.intMax, 960);
    EXPECT_EQ(writeInt(r, "Width", 976), -1010);

    // A Mono16 camera that reports 12 significant bits, a colour camera.
    SimCameraFeatures u2(SimCameraProfile::forDevice("U3V-U2-0302"));
    SimValue v;
    ASSERT_EQ(u2.remote().getValue(idOf(u2.remote(), "PixelSize"), SimType::Enumeration, v), 0);
    EXPECT_EQ(v.i, 12);
    SimCameraFeatures g2(SimCameraProfile::forDevice("GEV-G2-0002"));
    ASSERT_EQ(g2.remote().getValue(idOf(g2.remote(), "PixelColorFilter"), SimType::Enumeration, v), 0);
    EXPECT_EQ(v.i, 1); // BayerRG8
}

TEST(SimCameraFeatures, WritingTheImageFormatInvalidatesItsDependants)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    Names names;
    Names streamNames;
    for (const char* n : {"Width", "PayloadSize", "OffsetX", "PixelSize", "PixelColorFilter", "Gain"})
        SimInvalidation::instance().add(9001, &g1.remote(), n, 0, &names, &Names::callback);
    SimInvalidation::instance().add(9002, g1.stream(), "PayloadSize", 0, &streamNames, &Names::callback);
    ASSERT_EQ(writeInt(g1.remote(), "Width", 640), 0);
    EXPECT_TRUE(names.saw("Width"));
    EXPECT_TRUE(names.saw("PayloadSize"));
    EXPECT_TRUE(names.saw("OffsetX"));
    EXPECT_FALSE(names.saw("Gain"));
    EXPECT_TRUE(streamNames.saw("PayloadSize"));
    names.seen.clear();
    ASSERT_EQ(g1.remote().setEnumName(idOf(g1.remote(), "PixelFormat"), "Mono12", false), 0);
    EXPECT_TRUE(names.saw("PixelSize"));
    EXPECT_TRUE(names.saw("PixelColorFilter"));
    SimInvalidation::instance().removeModule(9001);
    SimInvalidation::instance().removeModule(9002);
}

TEST(SimCameraFeatures, LinesAndTheirSources)
{
    SimCameraFeatures g7(SimCameraProfile::forDevice("GEV-G7-0007"));
    SimFeatureStore& r = g7.remote();
    const uint32_t selector = idOf(r, "LineSelector");
    std::string name;
    int64_t value = 0;
    ASSERT_EQ(r.enumEntry(selector, 7, name, value), 0);
    EXPECT_EQ(name, "Aux Line 64");
    EXPECT_EQ(value, 64);
    EXPECT_EQ(r.enumEntry(selector, 8, name, value), -1008); // past the last line

    struct Case {
        const char* line;
        bool sourceAvailable;
        std::vector<std::string> sources;
        int64_t mode;
    };
    const std::vector<Case> cases = {
        {"Sequencer Input", true, {"Input 1", "Input 2"}, 0},
        {"Trigger Input", true, {"SeqPulse A", "SeqPulse B", "Input 1"}, 0},
        {"Output 2", true, {"Off", "PWM 0", "PWM 1", "PWM 2", "PWM 3", "SeqPulse A", "SeqPulse B"}, 1},
        {"Aux Line 35", false, {}, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(r.setEnumName(selector, c.line, false), 0);
        EXPECT_EQ(infoOf(r, "LineSource").available, c.sourceAvailable) << c.line;
        std::vector<std::string> offered;
        for (int i = 0; r.enumEntry(idOf(r, "LineSource"), i, name, value) == 0; ++i)
            offered.push_back(name);
        if (c.sourceAvailable) {
            EXPECT_EQ(offered, c.sources) << c.line;
        }
        SimValue mode;
        ASSERT_EQ(r.getValue(idOf(r, "LineMode"), SimType::Enumeration, mode), 0);
        EXPECT_EQ(mode.i, c.mode) << c.line;
    }
    ASSERT_EQ(r.setEnumName(selector, "Output 0", false), 0);
    EXPECT_EQ(r.setEnumName(idOf(r, "LineSource"), "Input 2", false), -1010);
    EXPECT_EQ(r.setEnumName(idOf(r, "LineSource"), "PWM 3", false), 0);

    // LineStatusAll only sets bits of existing lines.
    const int64_t all = readInt(r, "LineStatusAll");
    const int64_t allowed = (1ll << 0) | (1ll << 1) | (0xFll << 8) | (1ll << 35);
    EXPECT_EQ(all & ~allowed, 0);
}

TEST(SimCameraFeatures, RegisterTwinsShareTheirStorageInTheCamerasByteOrder)
{
    struct Case {
        const char* device;
        std::vector<uint8_t> probe; // 0x10004040 as read
    };
    for (const Case& c : std::vector<Case>{{"U3V-U1-0301", {3, 0, 0, 0}}, {"CL-C2-0402", {0, 0, 0, 3}}}) {
        SimCameraFeatures cam(SimCameraProfile::forDevice(c.device));
        std::vector<uint8_t> bytes(4);
        ASSERT_EQ(cam.readMemory(SimDeviceMemory::kProbeRevision, bytes.data(), 4), 0);
        EXPECT_EQ(bytes, c.probe) << c.device;
    }
    SimCameraFeatures x1(SimCameraProfile::forDevice("CXP-X1-0601"));
    uint8_t word[4];
    EXPECT_EQ(x1.readMemory(SimDeviceMemory::kProbeRevision, word, 4), -1009);

    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    Names names;
    SimInvalidation::instance().add(9003, &g1.remote(), "DefectPixelCorrection_MapSelect", 0, &names, &Names::callback);
    SimInvalidation::instance().add(9003, &g1.remote(), "DefectPixelCorrection_MapSize", 0, &names, &Names::callback);
    const uint8_t one[4] = {0, 0, 0, 1};
    ASSERT_EQ(g1.writeMemory(SimDeviceMemory::kMapSelect, one, 4), 0);
    EXPECT_EQ(readInt(g1.remote(), "DefectPixelCorrection_MapSelect"), 1);
    EXPECT_TRUE(names.saw("DefectPixelCorrection_MapSelect"));
    EXPECT_EQ(readInt(g1.remote(), "DefectPixelCorrection_MapSize"), 0);
    ASSERT_EQ(writeInt(g1.remote(), "DefectPixelCorrection_MapSelect", 0), 0);
    EXPECT_EQ(readInt(g1.remote(), "DefectPixelCorrection_MapSize"), 3);
    ASSERT_EQ(writeInt(g1.remote(), "DefectPixelCorrectionEnable_Control", 1), 0);
    uint8_t control[4];
    ASSERT_EQ(g1.readMemory(SimDeviceMemory::kControl, control, 4), 0);
    EXPECT_EQ(control[0], 0x80); // reserved bit kept
    EXPECT_EQ(control[3], 0x01);
    SimInvalidation::instance().removeModule(9003);

    // The register feature and the raw memory are the same bytes.
    const uint8_t piece[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_EQ(g1.remote().writeRegister(idOf(g1.remote(), "Shading_MapBuffer"), 512, piece, 4, false), 0);
    uint8_t back[4];
    ASSERT_EQ(g1.readMemory(SimDeviceMemory::kShading + 512, back, 4), 0);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(piece, piece + 4));
    const uint64_t length = infoOf(g1.remote(), "Shading_MapBuffer").registerLength;
    EXPECT_EQ(length, 2u * 1280 * 1024);
    EXPECT_EQ(g1.remote().writeRegister(idOf(g1.remote(), "Shading_MapBuffer"), length - 2, piece, 4, false), -1010);
}

TEST(SimCameraFeatures, SettingsFileRoundTripAndRefusals)
{
    const std::string path = tempPath("g1.txt");
    {
        SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
        SimFeatureStore& r = g1.remote();
        ASSERT_EQ(writeInt(r, "Width", 640), 0);
        ASSERT_EQ(writeInt(r, "OffsetX", 320), 0);
        ASSERT_EQ(r.setValue(idOf(r, "Gain"), SimType::Float, SimValue::ofFloat(12.3456789), false), 0);
        ASSERT_EQ(r.setEnumName(idOf(r, "StrobeSelector"), "Strobe2", false), 0);
        ASSERT_EQ(r.setValue(idOf(r, "StrobeDelay"), SimType::Float, SimValue::ofFloat(77), false), 0);
        ASSERT_EQ(r.setEnumName(idOf(r, "StrobeSelector"), "Strobe1", false), 0);
        ASSERT_EQ(r.setValue(idOf(r, "DeviceUserID"), SimType::String, SimValue::ofString("line\\one\ntwo"), false), 0);
        ASSERT_EQ(g1.saveSettings(path), 0);
        std::ifstream in(path);
        std::string first;
        std::getline(in, first);
        EXPECT_EQ(first, "# Quillan camera settings 1");
    }
    SimCameraFeatures fresh(SimCameraProfile::forDevice("GEV-G1-0001"));
    std::string error;
    ASSERT_EQ(fresh.loadSettings(path, false, &error), 0) << error;
    SimFeatureStore& r = fresh.remote();
    EXPECT_EQ(readInt(r, "Width"), 640);
    EXPECT_EQ(readInt(r, "OffsetX"), 320);
    EXPECT_EQ(r.valueOf("Gain").f, 12.3456789);
    EXPECT_EQ(r.valueOf("DeviceUserID").s, "line\\one\ntwo");
    EXPECT_EQ(r.entryNameOf("StrobeSelector"), "Strobe1");
    ASSERT_EQ(r.setEnumName(idOf(r, "StrobeSelector"), "Strobe2", false), 0);
    EXPECT_EQ(r.valueOf("StrobeDelay").f, 77);

    // Refusals: a foreign file, another model, a missing file, a bad value, read-only.
    const std::string foreign = tempPath("foreign.spsetting");
    std::ofstream(foreign) << "<SPSetting/>\n";
    EXPECT_EQ(fresh.loadSettings(foreign, false, &error), -1010);
    SimCameraFeatures g3(SimCameraProfile::forDevice("GEV-G3-0003"));
    EXPECT_EQ(g3.loadSettings(path, false, &error), -1010);
    EXPECT_EQ(fresh.loadSettings(tempPath("missing.txt"), false, &error), -1010);
    EXPECT_EQ(fresh.applySettingsText(fresh.settingsText() + "Width=17\n", false, &error), -1010);
    EXPECT_EQ(fresh.applySettingsText(fresh.settingsText(), true, &error), -1007);
    EXPECT_NE(fresh.saveSettings("/nonexistent-folder/x.txt"), 0);
    std::remove(path.c_str());
    std::remove(foreign.c_str());
}

TEST(SimCameraFeatures, UserSetsSaveLoadAndPowerUp)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    SimFeatureStore& r = g1.remote();
    const uint32_t selector = idOf(r, "UserSetSelector");
    const uint32_t save = idOf(r, "UserSetSave");
    const uint32_t load = idOf(r, "UserSetLoad");
    EXPECT_EQ(r.execute(save, 2000, false), -1007); // Default is read-only

    // The viewer's sequence: position 1, save, load.
    ASSERT_EQ(r.setValue(selector, SimType::Enumeration, SimValue::ofInt(1), false), 0);
    ASSERT_EQ(writeInt(r, "GevHeartbeatTimeout", 30000), 0);
    EXPECT_EQ(r.execute(save, 2000, false), 0);
    ASSERT_EQ(writeInt(r, "GevHeartbeatTimeout", 3000), 0);
    EXPECT_EQ(r.execute(load, 2000, false), 0);
    EXPECT_EQ(readInt(r, "GevHeartbeatTimeout"), 30000);
    EXPECT_EQ(r.entryNameOf("UserSetSelector"), "UserSet1");

    ASSERT_EQ(writeInt(r, "TLParamsLocked", 1), 0);
    EXPECT_EQ(r.execute(load, 2000, false), -1007);
    EXPECT_EQ(r.execute(save, 2000, false), 0);
    ASSERT_EQ(writeInt(r, "TLParamsLocked", 0), 0);

    // Power-up applies the set UserSetDefault names.
    ASSERT_EQ(r.setEnumName(idOf(r, "UserSetDefault"), "UserSet1", false), 0);
    ASSERT_EQ(writeInt(r, "GevHeartbeatTimeout", 5000), 0);
    g1.powerUp();
    EXPECT_EQ(readInt(r, "GevHeartbeatTimeout"), 30000);
    EXPECT_EQ(r.entryNameOf("UserSetDefault"), "UserSet1") << "the choice survives the power-up";
    ASSERT_EQ(writeInt(r, "GevHeartbeatTimeout", 5000), 0);
    g1.powerUp();
    EXPECT_EQ(readInt(r, "GevHeartbeatTimeout"), 30000);
}

TEST(SimCameraFeatures, UpdateXmlRevealsTheAlternativeDescriptionOnRefresh)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    const size_t before = g1.remote().listSize();
    EXPECT_EQ(g1.refreshRemoteList(), 0);
    EXPECT_EQ(g1.remote().listSize(), before);
    ASSERT_EQ(g1.device().execute(idOf(g1.device(), "UpdateXML"), 2000, false), 0);
    ASSERT_EQ(g1.refreshRemoteList(), 0);
    EXPECT_EQ(g1.remote().listSize(), before + 2);
    EXPECT_TRUE(has(g1.remote(), "UpdatedFeatureCounter"));
    EXPECT_EQ(g1.firmwareSuffix(), "-updated");
}

TEST(SimCameraFeatures, ManyThreadsReadOneCameraWhileItIsWritten)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            writeInt(g1.remote(), "Width", 16 * (1 + i % 40));
            g1.remote().setEnumName(idOf(g1.remote(), "LineSelector"), i % 2 ? "Line1" : "Line3", false);
            uint8_t w[4] = {0, 0, 0, uint8_t(i % 2)};
            g1.writeMemory(SimDeviceMemory::kMapSelect, w, 4);
        }
        stop = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                uint32_t id;
                SimFeatureInfo info;
                for (uint32_t k = 0; g1.remote().featureAt(k, &id) == 0; ++k) {
                    if (g1.remote().info(id, info, false) != 0)
                        ++failures;
                    SimValue v;
                    if (info.type == SimType::Integer && info.available && info.readable
                        && g1.remote().getValue(id, SimType::Integer, v) != 0)
                        ++failures;
                }
                SimValue p;
                if (g1.stream()->getValue(idOf(*g1.stream(), "PayloadSize"), SimType::Integer, p) != 0)
                    ++failures;
            }
        });
    writer.join();
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(SimCameraFeatures, CorrectionsFollowTheFeatures)
{
    SimCameraFeatures g1(SimCameraProfile::forDevice("GEV-G1-0001"));
    SimFeatureStore& r = g1.remote();
    SimImageSettings s;
    g1.fillCorrections(s);
    EXPECT_FALSE(s.lut.enabled);
    EXPECT_FALSE(s.defectCorrection);
    ASSERT_TRUE(s.defectMap);
    EXPECT_EQ(s.defectMap->size(), 3u);

    // An enabled table carries the written values; unchanged tables are shared.
    ASSERT_EQ(r.setValue(idOf(r, "LUTEnable"), SimType::Boolean, SimValue::ofInt(1), false), 0);
    ASSERT_EQ(writeInt(r, "LUTIndex", 10), 0);
    ASSERT_EQ(writeInt(r, "LUTValue", 4000), 0);
    ASSERT_EQ(writeInt(r, "DefectPixelCorrectionEnable_Control", 1), 0);
    g1.fillCorrections(s);
    ASSERT_TRUE(s.lut.enabled);
    ASSERT_EQ(s.lut.tables.size(), 1u);
    EXPECT_EQ((*s.lut.tables[0])[10], 4000u);
    EXPECT_EQ((*s.lut.tables[0])[4095], 4095u);
    EXPECT_TRUE(s.defectCorrection);
    SimImageSettings again;
    g1.fillCorrections(again);
    EXPECT_EQ(again.lut.tables[0], s.lut.tables[0]);
    EXPECT_EQ(again.defectMap, s.defectMap);
}
