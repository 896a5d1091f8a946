// The feature engine on its own: tree order, typed reads and writes with
// ranges, increments, locks and refusals, selectors, invalidation, settings
// lines and many threads at once.
#include "SimFeatureStore.h"
#include "SimInvalidation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace quillan;

namespace {

SimFeature make(const std::string& name, SimType type, const std::string& category,
                SimAccess access = SimAccess::RW)
{
    return SimFeature::make(name, type, category, access);
}

// A small module: Root > Image (Width, TLParamsLocked, Gain, ReverseX,
// UserID, Format, Reset, Blob), Lines (LineSelector, LineInverter), Extra
// (ReadOnly, WriteOnly, Deep).
std::unique_ptr<SimFeatureStore> makeStore()
{
    auto s = std::make_unique<SimFeatureStore>("remote:test");
    s->define(make("Root", SimType::Category, ""));
    s->define(make("Image", SimType::Category, "Root"));
    SimFeature width = make("Width", SimType::Integer, "Image");
    width.range.intMin = 16;
    width.range.intMax = 1280;
    width.range.intInc = 16;
    width.value.i = 640;
    width.lockedByTL = true;
    s->define(width);
    SimFeature tl = make("TLParamsLocked", SimType::Integer, "Image");
    tl.range.intMax = 1;
    s->define(tl);
    SimFeature gain = make("Gain", SimType::Float, "Image");
    gain.range.floatMax = 24.0;
    gain.unit = "dB";
    s->define(gain);
    s->define(make("ReverseX", SimType::Boolean, "Image"));
    SimFeature user = make("UserID", SimType::String, "Image");
    user.maxLength = 16;
    s->define(user);
    SimFeature format = make("Format", SimType::Enumeration, "Image");
    format.entries = {{"Mono8", 0x01080001}, {"Mono12", 0x01100005}, {"Mono16", 0x01100007}};
    format.value.i = 0x01080001;
    format.lockedByTL = true;
    s->define(format);
    s->define(make("Reset", SimType::Command, "Image"));
    SimFeature blob = make("Blob", SimType::Register, "Image");
    blob.registerLength = 8;
    s->define(blob);
    s->define(make("Lines", SimType::Category, "Root"));
    SimFeature selector = make("LineSelector", SimType::Enumeration, "Lines");
    selector.entries = {{"Line0", 0}, {"Line1", 1}, {"Line2", 2}};
    s->define(selector);
    SimFeature inverter = make("LineInverter", SimType::Boolean, "Lines");
    inverter.selectors = {"LineSelector"};
    s->define(inverter);
    s->define(make("Extra", SimType::Category, "Root"));
    SimFeature ro = make("ReadOnly", SimType::Integer, "Extra", SimAccess::RO);
    ro.range.intMax = 10;
    ro.value.i = 5;
    s->define(ro);
    SimFeature wo = make("WriteOnly", SimType::Integer, "Extra", SimAccess::WO);
    wo.range.intMax = 10;
    s->define(wo);
    SimFeature deep = make("Deep", SimType::Integer, "Extra");
    deep.extraDepth = 1;
    deep.range.intMax = 10;
    s->define(deep);
    s->finalize();
    return s;
}

uint32_t idOf(SimFeatureStore& s, const std::string& name)
{
    uint32_t id = SimFeatureStore::npos;
    EXPECT_EQ(s.findByName(name, &id), 0) << name;
    return id;
}

struct Recorder {
    std::vector<std::string> names;
    std::mutex mutex;
    static void callback(void* context, const char* name)
    {
        auto* r = static_cast<Recorder*>(context);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->names.push_back(name);
    }
    bool saw(const std::string& n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::find(names.begin(), names.end(), n) != names.end();
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        names.clear();
    }
};

} // namespace

TEST(SimFeatureStore, WalkIsDepthFirstWithLevelsAndEndsWithEndOfList)
{
    auto s = makeStore();
    const std::vector<std::pair<std::string, int>> expected = {
        {"Root", 0}, {"Image", 1}, {"Width", 2}, {"TLParamsLocked", 2}, {"Gain", 2}, {"ReverseX", 2},
        {"UserID", 2}, {"Format", 2}, {"Reset", 2}, {"Blob", 2}, {"Lines", 1}, {"LineSelector", 2},
        {"LineInverter", 2}, {"Extra", 1}, {"ReadOnly", 2}, {"WriteOnly", 2}, {"Deep", 3}};
    for (size_t i = 0; i < expected.size(); ++i) {
        uint32_t id = 0;
        ASSERT_EQ(s->featureAt(static_cast<uint32_t>(i), &id), 0);
        SimFeatureInfo info;
        ASSERT_EQ(s->info(id, info, false), 0);
        EXPECT_EQ(info.name, expected[i].first);
        EXPECT_EQ(info.level, expected[i].second) << info.name;
        EXPECT_EQ(info.rootName, "Root");
    }
    uint32_t id = 0;
    EXPECT_EQ(s->featureAt(static_cast<uint32_t>(expected.size()), &id), -1008);

    // An absent category takes its children out of the list and out of lookups.
    ASSERT_EQ(s->setAbsent("Lines", true), 0);
    EXPECT_EQ(s->listSize(), expected.size() - 3);
    EXPECT_EQ(s->findByName("LineInverter", &id), -1009);
    EXPECT_EQ(s->findByName("NoSuchFeature", &id), -1009);
}

TEST(SimFeatureStore, WritesAreCheckedByTypeRangeIncrementAndLock)
{
    struct Case {
        const char* feature;
        SimType type;
        SimValue value;
        int expected;
    };
    SimValue longText = SimValue::ofString(std::string(17, 'x'));
    const std::vector<Case> cases = {
        {"Width", SimType::Integer, SimValue::ofInt(1280), 0},
        {"Width", SimType::Integer, SimValue::ofInt(16), 0},
        {"Width", SimType::Integer, SimValue::ofInt(0), -1010},      // below minimum
        {"Width", SimType::Integer, SimValue::ofInt(1296), -1010},   // above maximum
        {"Width", SimType::Integer, SimValue::ofInt(24), -1010},     // off the grid
        {"Width", SimType::Float, SimValue::ofFloat(32), -1006},     // wrong type
        {"Gain", SimType::Float, SimValue::ofFloat(24.0), 0},
        {"Gain", SimType::Float, SimValue::ofFloat(24.5), -1010},
        {"Gain", SimType::Float, SimValue::ofFloat(-0.1), -1010},
        {"ReverseX", SimType::Boolean, SimValue::ofInt(1), 0},
        {"UserID", SimType::String, SimValue::ofString("sixteen chars ok"), 0},
        {"UserID", SimType::String, longText, -1010},
        {"Format", SimType::Enumeration, SimValue::ofInt(0x01100007), 0},
        {"Format", SimType::Enumeration, SimValue::ofInt(0x01100003), -1010}, // no such entry
        {"ReadOnly", SimType::Integer, SimValue::ofInt(3), -1007},
        {"WriteOnly", SimType::Integer, SimValue::ofInt(3), 0},
    };
    for (const Case& c : cases) {
        auto s = makeStore();
        const uint32_t id = idOf(*s, c.feature);
        EXPECT_EQ(s->setValue(id, c.type, c.value, false), c.expected) << c.feature;
        if (c.expected == 0 && c.feature != std::string("WriteOnly")) {
            SimValue back;
            ASSERT_EQ(s->getValue(id, c.type, back), 0);
            EXPECT_EQ(back.i, c.value.i);
            EXPECT_EQ(back.f, c.value.f);
            EXPECT_EQ(back.s, c.value.s);
        }
    }
}

TEST(SimFeatureStore, ReadsRefuseUnavailableUnreadableAndWrongType)
{
    auto s = makeStore();
    SimValue v;
    EXPECT_EQ(s->getValue(idOf(*s, "WriteOnly"), SimType::Integer, v), -1007);
    EXPECT_EQ(s->getValue(idOf(*s, "Width"), SimType::Boolean, v), -1006);
    ASSERT_EQ(s->setAvailable("Gain", false), 0);
    EXPECT_EQ(s->getValue(idOf(*s, "Gain"), SimType::Float, v), -1009);
    EXPECT_EQ(s->setValue(idOf(*s, "Gain"), SimType::Float, SimValue::ofFloat(1), false), -1009);
    SimFeatureInfo info;
    ASSERT_EQ(s->info(idOf(*s, "Gain"), info, false), 0);
    EXPECT_FALSE(info.available);

    // An unavailable category makes its children unavailable too.
    ASSERT_EQ(s->setAvailable("Lines", false), 0);
    ASSERT_EQ(s->info(idOf(*s, "LineInverter"), info, false), 0);
    EXPECT_FALSE(info.available);
}

TEST(SimFeatureStore, OutOfRangeValueIsDeliveredAndFlagged)
{
    auto s = makeStore();
    ASSERT_EQ(s->forceSet("Width", "2000"), 0); // camera side: no range check
    SimValue v;
    bool outOfRange = false;
    ASSERT_EQ(s->getValue(idOf(*s, "Width"), SimType::Integer, v, &outOfRange), 0);
    EXPECT_EQ(v.i, 2000);
    EXPECT_TRUE(outOfRange);
}

TEST(SimFeatureStore, TLParamsLockedAndReadOnlyAccessLock)
{
    auto s = makeStore();
    const uint32_t width = idOf(*s, "Width");
    const uint32_t tl = idOf(*s, "TLParamsLocked");
    SimFeatureInfo info;
    ASSERT_EQ(s->info(width, info, false), 0);
    EXPECT_FALSE(info.locked);

    ASSERT_EQ(s->setValue(tl, SimType::Integer, SimValue::ofInt(1), false), 0);
    ASSERT_EQ(s->info(width, info, false), 0);
    EXPECT_TRUE(info.locked);
    EXPECT_EQ(s->setValue(width, SimType::Integer, SimValue::ofInt(320), false), -1007);
    EXPECT_EQ(s->setEnumName(idOf(*s, "Format"), "Mono16", false), -1007);
    EXPECT_EQ(s->setValue(idOf(*s, "Gain"), SimType::Float, SimValue::ofFloat(1), false), 0);

    ASSERT_EQ(s->setValue(tl, SimType::Integer, SimValue::ofInt(0), false), 0);
    EXPECT_EQ(s->setValue(width, SimType::Integer, SimValue::ofInt(320), false), 0);

    // A device opened read-only locks everything, commands included.
    ASSERT_EQ(s->info(idOf(*s, "Gain"), info, true), 0);
    EXPECT_TRUE(info.locked);
    EXPECT_EQ(s->setValue(idOf(*s, "Gain"), SimType::Float, SimValue::ofFloat(2), true), -1007);
    EXPECT_EQ(s->execute(idOf(*s, "Reset"), 2000, true), -1007);

    ASSERT_EQ(s->setLocked("Gain", true), 0);
    EXPECT_EQ(s->setValue(idOf(*s, "Gain"), SimType::Float, SimValue::ofFloat(2), false), -1007);
}

TEST(SimFeatureStore, EnumerationsCountOnlyAvailableEntries)
{
    auto s = makeStore();
    const uint32_t format = idOf(*s, "Format");
    std::string name;
    int64_t value = 0;
    ASSERT_EQ(s->enumEntry(format, 2, name, value), 0);
    EXPECT_EQ(name, "Mono16");
    EXPECT_EQ(value, 0x01100007);
    EXPECT_EQ(s->enumEntry(format, 3, name, value), -1008);
    EXPECT_EQ(s->enumEntry(format, -1, name, value), -1008);
    EXPECT_EQ(s->enumEntry(idOf(*s, "Width"), 0, name, value), -1008);

    ASSERT_EQ(s->setEnumName(format, "Mono12", false), 0);
    ASSERT_EQ(s->setEntryAvailable("Format", "Mono8", false), 0);
    SimFeatureInfo info;
    ASSERT_EQ(s->info(format, info, false), 0);
    EXPECT_EQ(info.enumCount, 2);
    EXPECT_EQ(info.enumIndex, 0);
    ASSERT_EQ(s->enumEntry(format, 0, name, value), 0);
    EXPECT_EQ(name, "Mono12");

    // The current value matching no available entry: index = count, no name.
    ASSERT_EQ(s->setEntryAvailable("Format", "Mono12", false), 0);
    ASSERT_EQ(s->info(format, info, false), 0);
    EXPECT_EQ(info.enumIndex, info.enumCount);
    EXPECT_EQ(s->getEnumName(format, name), -1010);
    EXPECT_EQ(name, "");
    EXPECT_EQ(s->setEnumName(format, "Mono8", false), -1010);
    EXPECT_EQ(s->setEnumName(format, "mono16", false), -1010); // case-sensitive
}

TEST(SimFeatureStore, SelectorsKeepOneValuePerEntry)
{
    auto s = makeStore();
    const uint32_t selector = idOf(*s, "LineSelector");
    const uint32_t inverter = idOf(*s, "LineInverter");
    for (int line : {0, 1, 2}) {
        ASSERT_EQ(s->setValue(selector, SimType::Enumeration, SimValue::ofInt(line), false), 0);
        ASSERT_EQ(s->setValue(inverter, SimType::Boolean, SimValue::ofInt(line == 1), false), 0);
    }
    for (int line : {0, 1, 2}) {
        ASSERT_EQ(s->setValue(selector, SimType::Enumeration, SimValue::ofInt(line), false), 0);
        SimValue v;
        ASSERT_EQ(s->getValue(inverter, SimType::Boolean, v), 0);
        EXPECT_EQ(v.i, line == 1 ? 1 : 0) << line;
    }
    ASSERT_EQ(s->forceSet("LineInverter[LineSelector=Line0]", "1"), 0);
    ASSERT_EQ(s->setValue(selector, SimType::Enumeration, SimValue::ofInt(0), false), 0);
    SimValue v;
    ASSERT_EQ(s->getValue(inverter, SimType::Boolean, v), 0);
    EXPECT_EQ(v.i, 1);
    EXPECT_NE(s->forceSet("LineInverter[LineSelector=Line9]", "1"), 0);
}

TEST(SimFeatureStore, InvalidationFollowsWritesSelectorsAndLocks)
{
    auto s = makeStore();
    Recorder r;
    auto& reg = SimInvalidation::instance();
    for (const char* n : {"Width", "Format", "LineInverter", "Gain", "Reset", "Blob"})
        reg.add(7001, s.get(), n, 0, &r, &Recorder::callback);

    struct Case {
        std::function<int()> action;
        std::vector<std::string> seen;
        std::vector<std::string> notSeen;
    };
    const uint32_t width = idOf(*s, "Width");
    const std::vector<Case> cases = {
        {[&] { return s->setValue(width, SimType::Integer, SimValue::ofInt(320), false); }, {"Width"}, {"Gain"}},
        {[&] { return s->setValue(width, SimType::Integer, SimValue::ofInt(321), false); }, {}, {"Width"}},
        {[&] { return s->setEnumName(idOf(*s, "LineSelector"), "Line2", false); }, {"LineInverter"}, {"Width"}},
        {[&] { return s->setValue(idOf(*s, "TLParamsLocked"), SimType::Integer, SimValue::ofInt(1), false); },
         {"Width", "Format"}, {"Gain"}},
        {[&] { return s->execute(idOf(*s, "Reset"), 2000, false); }, {"Reset"}, {}},
        {[&] { uint8_t b[2] = {1, 2}; return s->writeRegister(idOf(*s, "Blob"), 6, b, 2, false); }, {"Blob"}, {}},
        {[&] { return s->forceSet("Gain", "3.5"); }, {"Gain"}, {}},
        {[&] { return s->invalidate("Width"); }, {"Width"}, {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        r.clear();
        const int rc = cases[i].action();
        EXPECT_TRUE(rc == 0 || cases[i].seen.empty()) << i;
        for (const std::string& n : cases[i].seen)
            EXPECT_TRUE(r.saw(n)) << "case " << i << " " << n;
        for (const std::string& n : cases[i].notSeen)
            EXPECT_FALSE(r.saw(n)) << "case " << i << " " << n;
    }
    reg.removeModule(7001);
    r.clear();
    ASSERT_EQ(s->forceSet("Gain", "4"), 0);
    EXPECT_TRUE(r.names.empty());
}

TEST(SimFeatureStore, ContextsOnOneModuleHearUntilTheirModuleUnregisters)
{
    auto s = makeStore();
    Recorder a, b, other;
    auto& reg = SimInvalidation::instance();
    reg.add(7002, s.get(), "Gain", 0, &a, &Recorder::callback);
    reg.add(7002, s.get(), "Gain", 0, &b, &Recorder::callback);
    reg.add(7002, s.get(), "Gain", 0, &b, &Recorder::callback); // same context: replaced
    reg.add(7005, s.get(), "Gain", 0, &other, &Recorder::callback); // another handle, same store
    ASSERT_EQ(s->forceSet("Gain", "1"), 0);
    EXPECT_EQ(a.names.size(), 1u);
    EXPECT_EQ(b.names.size(), 1u);
    EXPECT_EQ(other.names.size(), 1u);

    // The unregistration names no context: every registration through the
    // module goes, so no destroyed context can be called later.
    reg.remove(7002, "Gain");
    reg.remove(7002, "Gain"); // nothing left: harmless
    a.clear();
    b.clear();
    other.clear();
    ASSERT_EQ(s->forceSet("Gain", "2"), 0);
    EXPECT_TRUE(a.names.empty());
    EXPECT_TRUE(b.names.empty());
    EXPECT_EQ(other.names.size(), 1u) << "another module handle's registration stays";
    reg.removeModule(7005);
}

namespace {
struct SelfRemover {
    uint32_t module;
    int calls = 0;
    static void callback(void* context, const char* name)
    {
        auto* self = static_cast<SelfRemover*>(context);
        ++self->calls;
        SimInvalidation::instance().remove(self->module, name); // must not deadlock
    }
};
} // namespace

TEST(SimFeatureStore, CallbackMayUnregisterItselfAndCallBack)
{
    auto s = makeStore();
    SelfRemover remover{7003};
    SimInvalidation::instance().add(7003, s.get(), "Gain", 0, &remover, &SelfRemover::callback);
    ASSERT_EQ(s->forceSet("Gain", "1"), 0);
    ASSERT_EQ(s->forceSet("Gain", "2"), 0);
    EXPECT_EQ(remover.calls, 1);
}

TEST(SimFeatureStore, FaultsFailChosenCallsOnly)
{
    auto s = makeStore();
    const uint32_t gain = idOf(*s, "Gain");
    ASSERT_EQ(s->addFault("Gain", SimOp::Get, SimFault{-1013, 1, 2}), 0);
    SimValue v;
    EXPECT_EQ(s->getValue(gain, SimType::Float, v), 0);
    EXPECT_EQ(s->getValue(gain, SimType::Float, v), 0);
    EXPECT_EQ(s->getValue(gain, SimType::Float, v), -1013);
    EXPECT_EQ(s->getValue(gain, SimType::Float, v), 0);

    ASSERT_EQ(s->addFault("Gain", SimOp::Set, SimFault{-1007, -1, 0}), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s->setValue(gain, SimType::Float, SimValue::ofFloat(1), false), -1007);
    s->clearFaults();
    EXPECT_EQ(s->setValue(gain, SimType::Float, SimValue::ofFloat(1), false), 0);

    ASSERT_EQ(s->setSlow("Reset", 200), 0);
    EXPECT_EQ(s->execute(idOf(*s, "Reset"), 20, false), -1011);
    EXPECT_EQ(s->execute(idOf(*s, "Reset"), 2000, false), 0);
}

TEST(SimFeatureStore, RegisterFeatureReadsAndWritesWithinItsLength)
{
    auto s = makeStore();
    const uint32_t blob = idOf(*s, "Blob");
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(s->writeRegister(blob, 4, data, 4, false), 0);
    EXPECT_EQ(s->writeRegister(blob, 5, data, 4, false), -1010);
    EXPECT_EQ(s->writeRegister(idOf(*s, "Gain"), 0, data, 4, false), -1010);
    uint8_t back[8] = {};
    ASSERT_EQ(s->readRegister(blob, 0, back, 8), 0);
    EXPECT_EQ(back[4], 1);
    EXPECT_EQ(back[7], 4);
    EXPECT_EQ(back[0], 0);
}

TEST(SimFeatureStore, SnapshotRoundTripsThroughApplyLine)
{
    auto s = makeStore();
    ASSERT_EQ(s->forceSet("Width", "320"), 0);
    ASSERT_EQ(s->forceSet("Gain", "0.1"), 0);
    ASSERT_EQ(s->setValue(idOf(*s, "UserID"), SimType::String, SimValue::ofString("a\\b\nc"), false), 0);
    ASSERT_EQ(s->forceSet("LineInverter[LineSelector=Line2]", "1"), 0);
    ASSERT_EQ(s->forceSet("LineSelector", "Line1"), 0);
    const std::vector<std::string> lines = s->snapshot();
    EXPECT_EQ(lines.back(), "LineSelector=Line1"); // selectors last
    EXPECT_NE(std::find(lines.begin(), lines.end(), "LineInverter[LineSelector=Line2]=1"), lines.end());
    for (const std::string& l : lines)
        EXPECT_EQ(l.find("ReadOnly"), std::string::npos);

    auto t = makeStore();
    for (const std::string& l : lines)
        ASSERT_EQ(t->applyLine(l, false), 0) << l;
    EXPECT_EQ(t->snapshot(), lines);
    EXPECT_EQ(t->valueOf("Gain").f, 0.1);
    EXPECT_EQ(t->valueOf("UserID").s, "a\\b\nc");

    std::string error;
    EXPECT_EQ(t->applyLine("Width=24", false, &error), -1010);
    EXPECT_EQ(t->applyLine("Nothing=1", false, &error), -1010);
    EXPECT_EQ(t->applyLine("ReadOnly=1", false, &error), -1007);
    t->resetValues();
    EXPECT_EQ(t->valueOf("Width").i, 640);
}

TEST(SimFeatureStore, ManyThreadsReadWriteAndWatchAtOnce)
{
    auto s = makeStore();
    std::atomic<int> calls{0};
    struct Counter {
        static void callback(void* context, const char*) { ++*static_cast<std::atomic<int>*>(context); }
    };
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const uint32_t module = 7100 + static_cast<uint32_t>(t);
            for (int i = 0; i < 300; ++i) {
                SimValue v;
                SimFeatureInfo info;
                uint32_t id = 0;
                for (uint32_t k = 0; s->featureAt(k, &id) == 0; ++k)
                    if (s->info(id, info, false) != 0)
                        failed = true;
                if (s->getValue(idOf(*s, "Width"), SimType::Integer, v) != 0)
                    failed = true;
                SimInvalidation::instance().add(module, s.get(), "Gain", 0, &calls, &Counter::callback);
                s->setValue(idOf(*s, "Gain"), SimType::Float, SimValue::ofFloat((i % 20) * 1.0), false);
                s->setEnumName(idOf(*s, "LineSelector"), t % 2 ? "Line1" : "Line2", false);
                SimInvalidation::instance().remove(module, "Gain");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_FALSE(failed);
    EXPECT_GT(calls.load(), 0);
}
