#include "SimCameraFeatures.h"

#include "OrvSdk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace quillan {

namespace {

constexpr int kOk = ORV_SUCCESS;
constexpr int kAccessDenied = ORV_ERROR_ACCESS_DENIED;
constexpr int kOutOfRange = ORV_ERROR_OUT_OF_RANGE;
constexpr int kIoError = ORV_ERROR_IO;

using Sel = const SimSelection&;
using Store = const SimFeatureStore&;

const std::map<std::string, uint32_t>& formatCodes()
{
    static const std::map<std::string, uint32_t> codes = {
        {"Mono8", 0x01080001}, {"Mono10", 0x01100003}, {"Mono10Packed", 0x010C0004},
        {"Mono12", 0x01100005}, {"Mono12Packed", 0x010C0006}, {"Mono16", 0x01100007},
        {"BayerGR8", 0x01080008}, {"BayerRG8", 0x01080009}, {"BayerGB8", 0x0108000A},
        {"BayerBG8", 0x0108000B}, {"BayerGR10", 0x0110000C}, {"BayerRG10", 0x0110000D},
        {"BayerGB10", 0x0110000E}, {"BayerBG10", 0x0110000F}, {"BayerGR12", 0x01100010},
        {"BayerRG12", 0x01100011}, {"BayerGB12", 0x01100012}, {"BayerBG12", 0x01100013},
        {"BayerGR12Packed", 0x010C002A}, {"BayerRG12Packed", 0x010C002B},
        {"BayerGB12Packed", 0x010C002C}, {"BayerBG12Packed", 0x010C002D},
        {"BayerGR16", 0x0110002E}, {"BayerRG16", 0x0110002F}, {"BayerGB16", 0x01100030},
        {"BayerBG16", 0x01100031}, {"RGB8", 0x02180014},
    };
    return codes;
}

// Small builders for feature definitions.
SimFeature feature(const std::string& name, SimType type, const std::string& category,
                   SimAccess access = SimAccess::RW)
{
    return SimFeature::make(name, type, category, access);
}

SimFeature category(const std::string& name, const std::string& parent)
{
    return feature(name, SimType::Category, parent);
}

SimFeature integer(const std::string& name, const std::string& cat, int64_t min, int64_t max, int64_t value,
                   SimAccess access = SimAccess::RW, int64_t inc = 1)
{
    SimFeature f = feature(name, SimType::Integer, cat, access);
    f.range.intMin = min;
    f.range.intMax = max;
    f.range.intInc = inc;
    f.value.i = value;
    return f;
}

SimFeature floating(const std::string& name, const std::string& cat, double min, double max, double value,
                    const std::string& unit, SimAccess access = SimAccess::RW)
{
    SimFeature f = feature(name, SimType::Float, cat, access);
    f.range.floatMin = min;
    f.range.floatMax = max;
    f.value.f = value;
    f.unit = unit;
    f.displayPrecision = 2;
    return f;
}

SimFeature boolean(const std::string& name, const std::string& cat, bool value = false)
{
    SimFeature f = feature(name, SimType::Boolean, cat);
    f.value.i = value;
    return f;
}

SimFeature text(const std::string& name, const std::string& cat, const std::string& value,
                SimAccess access = SimAccess::RO, int32_t maxLength = 512)
{
    SimFeature f = feature(name, SimType::String, cat, access);
    f.value.s = value;
    f.maxLength = maxLength;
    return f;
}

SimFeature enumeration(const std::string& name, const std::string& cat, std::vector<SimEnumEntry> entries,
                       SimAccess access = SimAccess::RW)
{
    SimFeature f = feature(name, SimType::Enumeration, cat, access);
    f.entries = std::move(entries);
    if (!f.entries.empty())
        f.value.i = f.entries.front().value;
    return f;
}

std::vector<SimEnumEntry> entriesOf(const std::vector<std::string>& names)
{
    std::vector<SimEnumEntry> entries;
    for (size_t i = 0; i < names.size(); ++i)
        entries.push_back({names[i], static_cast<int64_t>(i), true});
    return entries;
}

SimFeature command(const std::string& name, const std::string& cat)
{
    return feature(name, SimType::Command, cat, SimAccess::WO);
}

// Value of the i-th selector of a selection, 0 when absent.
int64_t selected(Sel sel, size_t i)
{
    return i < sel.values.size() ? sel.values[i] : 0;
}

int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool blinking(int periodMs)
{
    return (nowUs() / 1000 / periodMs) % 2 == 1;
}

} // namespace

// Test-control state of the lines: pinned levels by LineSelector entry
// value, and whether the camera streams. Its lock is taken under the store's.
struct SimLineSignals {
    std::mutex mutex;
    std::map<int64_t, bool> pinned;
    std::function<bool()> acquiring;

    bool pin(int64_t line, bool* level)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = pinned.find(line);
        if (it == pinned.end())
            return false;
        *level = it->second;
        return true;
    }
    bool streaming()
    {
        std::function<bool()> probe;
        {
            std::lock_guard<std::mutex> lock(mutex);
            probe = acquiring;
        }
        return probe && probe();
    }
};

// ---------------------------------------------------------------------------
// Pixel formats
// ---------------------------------------------------------------------------

uint32_t SimCameraFeatures::pixelFormatCode(const std::string& name)
{
    auto it = formatCodes().find(name);
    return it == formatCodes().end() ? 0 : it->second;
}

int SimCameraFeatures::significantBits(const std::string& name)
{
    if (name == "RGB8")
        return 8;
    const size_t digit = name.find_first_of("0123456789");
    return digit == std::string::npos ? 8 : std::atoi(name.c_str() + digit);
}

int64_t SimCameraFeatures::payloadBytes(int64_t width, int64_t height, uint32_t pfnc)
{
    const int64_t bits = (pfnc >> 16) & 0xFF;
    return width * height * bits / 8;
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

SimCameraFeatures::SimCameraFeatures(SimCameraProfile profile)
    : profile_(std::move(profile)), group_(std::make_shared<SimStoreGroup>()),
      lineSignals_(std::make_shared<SimLineSignals>())
{
    SimMemoryConfig mc;
    mc.bigEndian = profile_.bigEndian();
    mc.defect = profile_.defectFeatures || profile_.defectProbeRevision != 0;
    mc.defectRevision = profile_.defectRevision;
    mc.probeRevision = profile_.defectProbeRevision;
    mc.sensorWidth = static_cast<uint32_t>(profile_.widthMax);
    mc.sensorHeight = static_cast<uint32_t>(profile_.heightMax);
    mc.shading = profile_.shadingRevision != 0;
    mc.shadingLength = uint64_t(2 * profile_.widthMax * profile_.heightMax);
    mc.gridOffsets = profile_.shadingRevision == 5;
    memory_ = SimDeviceMemory(mc);

    remote_ = std::make_unique<SimFeatureStore>("remote:" + profile_.deviceId, group_);
    device_ = std::make_unique<SimFeatureStore>("device:" + profile_.deviceId, group_);
    if (profile_.hasStream)
        stream_ = std::make_unique<SimFeatureStore>("stream:" + profile_.deviceId, group_);
    buildRemote();
    buildDevice();
    if (stream_)
        buildStream();

    // Every user set starts as the power-up values.
    const std::vector<std::string> defaults = remote_->snapshot();
    for (auto& set : userSets_)
        set = defaults;
}

SimCameraFeatures::~SimCameraFeatures() = default;

int SimCameraFeatures::pinLine(const std::string& line, int level)
{
    for (const SimLineDef& l : profile_.lines) {
        if (l.name != line)
            continue;
        std::lock_guard<std::mutex> lock(lineSignals_->mutex);
        if (level < 0)
            lineSignals_->pinned.erase(l.value);
        else
            lineSignals_->pinned[l.value] = level != 0;
        return kOk;
    }
    return ORV_ERROR_NOT_AVAILABLE;
}

void SimCameraFeatures::setAcquiringProbe(std::function<bool()> probe)
{
    std::lock_guard<std::mutex> lock(lineSignals_->mutex);
    lineSignals_->acquiring = std::move(probe);
}

void SimCameraFeatures::buildRemote()
{
    SimFeatureStore& s = *remote_;
    const SimCameraProfile& p = profile_;
    s.define(category("Root", ""));

    // Device control.
    s.define(category("DeviceControl", "Root"));
    if (p.hasVendorName)
        s.define(text("DeviceVendorName", "DeviceControl", p.vendor));
    s.define(text("DeviceModelName", "DeviceControl", p.model));
    s.define(text("DeviceID", "DeviceControl", p.deviceId));
    if (!p.manufacturerInfo.empty())
        s.define(text("DeviceManufacturerInfo", "DeviceControl", p.manufacturerInfo));
    if (!p.manufacturerInfoOnly.empty())
        s.define(text("ManufacturerInfo", "DeviceControl", p.manufacturerInfoOnly));
    s.define(text("DeviceSerialNumber", "DeviceControl", p.serial));
    s.define(text("DeviceVersion", "DeviceControl", p.version));
    s.define(text("DeviceFirmwareVersion", "DeviceControl", p.firmware));
    s.define(text("DeviceUserID", "DeviceControl", p.userName, SimAccess::RW, 16));
    {
        SimFeature t = floating("DeviceTemperature", "DeviceControl", -40, 125, 41.5, "C", SimAccess::RO);
        t.isVolatile = true;
        t.persistent = false;
        t.compute = [](Store, Sel) { return SimValue::ofFloat(blinking(1000) ? 41.5 : 41.75); };
        s.define(t);
    }
    s.define(command("DeviceReset", "DeviceControl"));

    // Image format.
    s.define(category("ImageFormatControl", "Root"));
    s.define(integer("WidthMax", "ImageFormatControl", p.widthMax, p.widthMax, p.widthMax, SimAccess::RO));
    s.define(integer("HeightMax", "ImageFormatControl", p.heightMax, p.heightMax, p.heightMax, SimAccess::RO));
    const int64_t wMax = p.widthMax, hMax = p.heightMax;
    {
        SimFeature w = integer("Width", "ImageFormatControl", 16, wMax, wMax, SimAccess::RW, 16);
        w.lockedByTL = true;
        w.rangeFn = [wMax](Store st, Sel, SimRange& r) { r.intMax = wMax - st.intOf("OffsetX"); };
        w.invalidates = {"PayloadSize", "OffsetX"};
        s.define(w);
        SimFeature h = integer("Height", "ImageFormatControl", 16, hMax, hMax, SimAccess::RW, 2);
        h.lockedByTL = true;
        h.rangeFn = [hMax](Store st, Sel, SimRange& r) { r.intMax = hMax - st.intOf("OffsetY"); };
        h.invalidates = {"PayloadSize", "OffsetY"};
        s.define(h);
        SimFeature ox = integer("OffsetX", "ImageFormatControl", 0, 0, 0, SimAccess::RW, 16);
        ox.lockedByTL = true;
        ox.rangeFn = [wMax](Store st, Sel, SimRange& r) { r.intMax = wMax - st.intOf("Width"); };
        ox.invalidates = {"Width", "PayloadSize"};
        s.define(ox);
        SimFeature oy = integer("OffsetY", "ImageFormatControl", 0, 0, 0, SimAccess::RW, 2);
        oy.lockedByTL = true;
        oy.rangeFn = [hMax](Store st, Sel, SimRange& r) { r.intMax = hMax - st.intOf("Height"); };
        oy.invalidates = {"Height", "PayloadSize"};
        s.define(oy);
    }
    s.define(boolean("ReverseX", "ImageFormatControl"));
    s.define(boolean("ReverseY", "ImageFormatControl"));
    {
        std::vector<SimEnumEntry> formats;
        for (const std::string& name : p.formats)
            formats.push_back({name, pixelFormatCode(name), true});
        SimFeature pf = enumeration("PixelFormat", "ImageFormatControl", formats);
        pf.lockedByTL = true;
        pf.invalidates = {"PixelSize", "PixelColorFilter", "PayloadSize"};
        s.define(pf);

        const bool bpp12 = p.mono16ReportsBpp12;
        SimFeature size = enumeration("PixelSize", "ImageFormatControl",
                                      {{"Bpp8", 8}, {"Bpp10", 10}, {"Bpp12", 12}, {"Bpp16", 16}, {"Bpp24", 24}},
                                      SimAccess::RO);
        size.persistent = false;
        size.compute = [bpp12](Store st, Sel) {
            const std::string f = st.entryNameOf("PixelFormat");
            if (f == "RGB8")
                return SimValue::ofInt(24);
            if (f == "Mono16" && bpp12)
                return SimValue::ofInt(12);
            return SimValue::ofInt(significantBits(f));
        };
        s.define(size);

        SimFeature filter = enumeration("PixelColorFilter", "ImageFormatControl",
                                        {{"None", 0}, {"BayerRG", 1}, {"BayerGB", 2}, {"BayerGR", 3}, {"BayerBG", 4}},
                                        SimAccess::RO);
        filter.compute = [](Store st, Sel) {
            const std::string f = st.entryNameOf("PixelFormat");
            const std::pair<const char*, int> kinds[] = {{"BayerRG", 1}, {"BayerGB", 2}, {"BayerGR", 3}, {"BayerBG", 4}};
            for (const auto& k : kinds)
                if (f.rfind(k.first, 0) == 0)
                    return SimValue::ofInt(k.second);
            return SimValue::ofInt(0);
        };
        s.define(filter);
    }
    s.define(enumeration("TestPattern", "ImageFormatControl",
                         entriesOf({"Off", "GreyRamp", "Flat", "ColourChart", "DefectField", "Vignette"})));
    {
        SimFeature payload = integer("PayloadSize", "ImageFormatControl", 0, INT64_C(1) << 40, 0, SimAccess::RO);
        payload.compute = [](Store st, Sel) {
            return SimValue::ofInt(payloadBytes(st.intOf("Width"), st.intOf("Height"),
                                                static_cast<uint32_t>(st.intOf("PixelFormat"))));
        };
        s.define(payload);
    }

    // Acquisition.
    s.define(category("AcquisitionControl", "Root"));
    s.define(enumeration("AcquisitionMode", "AcquisitionControl", {{"Continuous", 0}, {"SingleFrame", 1}}));
    s.define(command("AcquisitionStart", "AcquisitionControl"));
    s.define(command("AcquisitionStop", "AcquisitionControl"));
    s.define(floating("AcquisitionFrameRate", "AcquisitionControl", 1, 120, 30, "Hz"));
    if (p.sequencer)
        s.define(enumeration("ExposureMode", "AcquisitionControl", {{"Timed", 1}, {"Trigger Width", 2}}));
    {
        SimFeature exposure = floating("ExposureTime", "AcquisitionControl", 10, 1000000, 10000, "us");
        exposure.displayNotation = 1;
        exposure.displayPrecision = 1;
        s.define(exposure);
    }
    if (p.extras) {
        s.define(floating("ExposureTimeMin", "AcquisitionControl", 10, 1000000, 10, "us"));
        s.define(floating("ExposureTimeMax", "AcquisitionControl", 10, 1000000, 1000000, "us"));
    }
    s.define(enumeration("TriggerMode", "AcquisitionControl", {{"Off", 0}, {"On", 1}}));
    if (p.sequencer)
        s.define(enumeration("TriggerSource", "AcquisitionControl",
                             {{"Software", 0}, {"Line 1", 1}, {"Line 2", 2}, {"SeqPulse A", 3}}));
    else
        s.define(enumeration("TriggerSource", "AcquisitionControl", entriesOf({"Software", "Line0", "Line1"})));
    s.define(command("TriggerSoftware", "AcquisitionControl"));

    // Analog control.
    s.define(category("AnalogControl", "Root"));
    s.define(floating("Gain", "AnalogControl", 0, 24, 0, "dB"));
    if (p.extras) {
        s.define(enumeration("GainAuto", "AnalogControl", entriesOf({"Off", "Once", "Continuous"})));
        SimFeature black = floating("BlackLevel", "AnalogControl", 0, 10, 0, "");
        black.displayPrecision = 3;
        s.define(black);
    }

    // Digital I/O.
    if (!p.lines.empty()) {
        s.define(category("DigitalIOControl", "Root"));
        std::vector<SimEnumEntry> lineEntries;
        std::vector<std::string> sources;
        for (const SimLineDef& l : p.lines)
            lineEntries.push_back({l.name, l.value, true});
        // Output sources first keep every line's own order in the union.
        for (bool outputs : {true, false})
            for (const SimLineDef& l : p.lines)
                if (l.output == outputs)
                    for (const std::string& src : l.sources)
                        if (std::find(sources.begin(), sources.end(), src) == sources.end())
                            sources.push_back(src);
        s.define(enumeration("LineSelector", "DigitalIOControl", lineEntries));
        const std::vector<SimLineDef> lines = p.lines;
        auto lineOf = [lines](Sel sel) -> const SimLineDef* {
            for (const SimLineDef& l : lines)
                if (l.value == selected(sel, 0))
                    return &l;
            return nullptr;
        };
        SimFeature mode = enumeration("LineMode", "DigitalIOControl", {{"Input", 0}, {"Output", 1}}, SimAccess::RO);
        mode.selectors = {"LineSelector"};
        mode.compute = [lineOf](Store, Sel sel) {
            const SimLineDef* l = lineOf(sel);
            return SimValue::ofInt(l && l->output ? 1 : 0);
        };
        s.define(mode);
        SimFeature inverter = boolean("LineInverter", "DigitalIOControl");
        inverter.selectors = {"LineSelector"};
        s.define(inverter);

        std::vector<SimEnumEntry> sourceEntries;
        for (size_t i = 0; i < sources.size(); ++i)
            sourceEntries.push_back({sources[i], static_cast<int64_t>(i), true});
        SimFeature source = enumeration("LineSource", "DigitalIOControl", sourceEntries);
        source.selectors = {"LineSelector"};
        source.availableFn = [lineOf](Store, Sel sel) {
            const SimLineDef* l = lineOf(sel);
            return l && !l->sources.empty();
        };
        source.entryFilter = [lineOf](Store, Sel sel, const SimEnumEntry& e) {
            const SimLineDef* l = lineOf(sel);
            return l && std::find(l->sources.begin(), l->sources.end(), e.name) != l->sources.end();
        };
        source.instanceDefault = [lineOf, sourceEntries](Store, Sel sel) {
            const SimLineDef* l = lineOf(sel);
            for (const SimEnumEntry& e : sourceEntries)
                if (l && !l->sources.empty() && e.name == l->sources.front())
                    return SimValue::ofInt(e.value);
            return SimValue::ofInt(0);
        };
        s.define(source);

        // Each input toggles with a period of its own (500 ms, 750 ms, ...).
        // Outputs follow their source: Off is low, ExposureActive is high
        // during each exposure while the camera streams, any other source
        // toggles every 250 ms. The inverter applies last; a pinned level
        // replaces the whole signal.
        std::map<int64_t, int> inputPeriod;
        for (const SimLineDef& l : p.lines)
            if (!l.output)
                inputPeriod[l.value] = 500 + 250 * int(inputPeriod.size());
        std::shared_ptr<SimLineSignals> signals = lineSignals_;
        int64_t exposureEntry = -1;
        for (const SimEnumEntry& e : sourceEntries)
            if (e.name == "ExposureActive")
                exposureEntry = e.value;
        auto exposing = [signals](Store st) {
            if (!st.find("ExposureTime") || !signals->streaming())
                return false;
            const double fps = st.find("AcquisitionFrameRate") ? st.valueOf("AcquisitionFrameRate").f : 30.0;
            const int64_t period = fps > 0 ? int64_t(1e6 / fps) : 0;
            return period > 0 && double(nowUs() % period) < st.valueOf("ExposureTime").f;
        };
        auto statusOf = [lineOf, inputPeriod, signals, exposureEntry, exposing](Store st, Sel sel) {
            const SimLineDef* l = lineOf(sel);
            if (!l)
                return false;
            bool pinned = false;
            if (signals->pin(l->value, &pinned))
                return pinned;
            const SimFeature* inv = st.find("LineInverter");
            SimSelection one = sel;
            bool level;
            if (l->output) {
                const SimFeature* src = st.find("LineSource");
                auto it = src->instances.find(one.key());
                const int64_t v = it != src->instances.end() ? it->second.i : src->instanceDefault(st, one).i;
                if (v == exposureEntry)
                    level = exposing(st);
                else
                    level = v != 0 && blinking(250);
            } else {
                level = blinking(inputPeriod.at(l->value));
            }
            auto it = inv->instances.find(one.key());
            const bool inverted = it != inv->instances.end() && it->second.i != 0;
            return level != inverted;
        };
        SimFeature status = boolean("LineStatus", "DigitalIOControl");
        status.access = SimAccess::RO;
        status.selectors = {"LineSelector"};
        status.isVolatile = true;
        status.compute = [statusOf](Store st, Sel sel) { return SimValue::ofInt(statusOf(st, sel)); };
        s.define(status);
        SimFeature all = integer("LineStatusAll", "DigitalIOControl", 0, INT64_MAX, 0, SimAccess::RO);
        all.isVolatile = true;
        all.compute = [statusOf, lines](Store st, Sel) {
            int64_t bits = 0;
            for (const SimLineDef& l : lines) {
                SimSelection one;
                one.names = {"LineSelector"};
                one.entries = {l.name};
                one.values = {l.value};
                if (statusOf(st, one) && l.value < 63)
                    bits |= int64_t(1) << l.value;
            }
            return SimValue::ofInt(bits);
        };
        s.define(all);
    }

    // Strobes.
    if (p.strobes > 0) {
        s.define(category("StrobeControl", "Root"));
        std::vector<std::string> names;
        for (int i = 0; i < p.strobes; ++i)
            names.push_back("Strobe" + std::to_string(i));
        s.define(enumeration("StrobeSelector", "StrobeControl", entriesOf(names)));
        SimFeature duration = floating("StrobeDuration", "StrobeControl", 0, 10000, 100, "us");
        duration.selectors = {"StrobeSelector"};
        s.define(duration);
        SimFeature delay = floating("StrobeDelay", "StrobeControl", 0, 5000, 0, "us");
        delay.selectors = {"StrobeSelector"};
        s.define(delay);
        SimFeature polarity = enumeration("StrobePolarity", "StrobeControl", {{"positive", 0}, {"negative", 1}});
        polarity.selectors = {"StrobeSelector"};
        s.define(polarity);
    }

    // Sequencer.
    if (p.sequencer) {
        s.define(category("SequencerControl", "Root"));
        s.define(integer("SeqSelector", "SequencerControl", 0, 15, 0));
        s.define(integer("SeqCount", "SequencerControl", 1, 16, 1));
        for (const char* name : {"SeqInterval", "SeqPulseAStart", "SeqPulseAStop", "SeqPulseBStart",
                                 "SeqPulseBStop", "PWMMax", "PWMChange0", "PWMChange1", "PWMChange2", "PWMChange3"}) {
            SimFeature f = integer(name, "SequencerControl", 0, 2147483647, 0);
            f.selectors = {"SeqSelector"};
            s.define(f);
        }
        s.define(boolean("SeqLoop", "SequencerControl"));
        s.define(boolean("SeqEnable", "SequencerControl"));
        s.define(boolean("PWMEnable", "SequencerControl"));
        s.define(command("SeqTrigger", "SequencerControl"));
        s.define(enumeration("SeqTriggermode", "SequencerControl",
                             {{"Trigger on rising edge", 0}, {"Trigger on high level", 1}}));
    }

    // Look-up table.
    if (!p.lutSelectors.empty()) {
        s.define(category("LUTControl", "Root"));
        SimFeature selector = enumeration("LUTSelector", "LUTControl", entriesOf(p.lutSelectors));
        selector.testLocked = p.lutSelectorLocked;
        s.define(selector);
        SimFeature enable = boolean("LUTEnable", "LUTControl");
        enable.selectors = {"LUTSelector"};
        s.define(enable);
        s.define(integer("LUTIndex", "LUTControl", 0, p.lutIndexMax, 0, SimAccess::RW, p.lutIndexInc));
        SimFeature value = integer("LUTValue", "LUTControl", 0, p.lutValueMax, 0);
        value.selectors = {"LUTSelector", "LUTIndex"};
        const int64_t indexMax = p.lutIndexMax, valueMax = p.lutValueMax;
        value.instanceDefault = [indexMax, valueMax](Store, Sel sel) {
            return SimValue::ofInt(selected(sel, 1) * valueMax / std::max<int64_t>(indexMax, 1));
        };
        s.define(value);
    }

    // Colour transformation.
    if (p.colour != SimCameraProfile::Colour::None) {
        SimFeature cat = category("ColorTransformationControl", "Root");
        cat.available = p.colour == SimCameraProfile::Colour::Available;
        s.define(cat);
        s.define(boolean("ColorTransformationEnable", "ColorTransformationControl"));
        s.define(enumeration("ColorTransformationSelector", "ColorTransformationControl",
                             entriesOf({"RGBtoRGB", "RGBtoYUV", "YUVtoRGB", "ColorTemperature", "UserCorrection"})));
        s.define(enumeration("ColorTransformationValueSelector", "ColorTransformationControl",
                             entriesOf({"Gain00", "Gain01", "Gain02", "Gain10", "Gain11", "Gain12", "Gain20",
                                        "Gain21", "Gain22", "Offset0", "Offset1", "Offset2"})));
        SimFeature value = floating("ColorTransformationValue", "ColorTransformationControl", -255, 255, 0, "");
        value.selectors = {"ColorTransformationSelector", "ColorTransformationValueSelector"};
        value.rangeFn = [](Store, Sel sel, SimRange& r) {
            const bool gain = selected(sel, 1) < 9;
            r.floatMin = gain ? -8 : -255;
            r.floatMax = gain ? 8 : 255;
        };
        value.instanceDefault = [](Store, Sel sel) {
            const int64_t k = selected(sel, 1);
            return SimValue::ofFloat(k < 9 && k % 4 == 0 ? 1.0 : 0.0); // identity
        };
        s.define(value);
    }

    // Defect pixel correction: views of the camera memory.
    if (p.defectFeatures) {
        SimDeviceMemory* mem = &memory_;
        s.define(category("DefectPixelCorrectionControl", "Root"));
        s.define(integer("DefectPixelCorrection_Revision", "DefectPixelCorrectionControl", 0, 15,
                         p.defectRevision, SimAccess::RO));
        SimFeature enable = integer("DefectPixelCorrectionEnable_Control", "DefectPixelCorrectionControl", 0, 1, 0);
        enable.compute = [mem](Store, Sel) { return SimValue::ofInt(mem->control() & 1); };
        enable.store = [mem](SimFeatureStore&, Sel, const SimValue& v) {
            mem->setControl((mem->control() & ~1u) | uint32_t(v.i & 1));
            return kOk;
        };
        s.define(enable);
        SimFeature select = integer("DefectPixelCorrection_MapSelect", "DefectPixelCorrectionControl", 0, 1, 0);
        select.compute = [mem](Store, Sel) { return SimValue::ofInt(mem->mapSelect()); };
        select.store = [mem](SimFeatureStore&, Sel, const SimValue& v) {
            return mem->setMapSelect(static_cast<uint32_t>(v.i));
        };
        select.invalidates = {"DefectPixelCorrection_MapSize"};
        s.define(select);
        // Both report what the memory reports, so a test can make them lie.
        SimFeature size = integer("DefectPixelCorrection_MapSize", "DefectPixelCorrectionControl", 0,
                                  0xFFFFFFFFll, 0, SimAccess::RO);
        size.compute = [mem](Store, Sel) { return SimValue::ofInt(mem->mapSize()); };
        s.define(size);
        SimFeature max = integer("DefectPixelCorrection_MapMaxSize", "DefectPixelCorrectionControl", 0,
                                 0xFFFFFFFFll, memory_.config().capacity, SimAccess::RO);
        max.compute = [mem](Store, Sel) { return SimValue::ofInt(mem->reportedCapacity()); };
        s.define(max);
    }

    // Shading correction.
    if (p.shadingRevision != 0) {
        SimDeviceMemory* mem = &memory_;
        s.define(category("ShadingControl", "Root"));
        s.define(integer("Shading_Revision", "ShadingControl", 0, 15, p.shadingRevision, SimAccess::RO));
        SimFeature select = integer("Shading_MapSelect", "ShadingControl", 0, 2, 0);
        select.compute = [mem](Store, Sel) { return SimValue::ofInt(mem->shadingSelect()); };
        select.store = [mem](SimFeatureStore&, Sel, const SimValue& v) {
            return mem->setShadingSelect(static_cast<int>(v.i));
        };
        s.define(select);
        s.define(integer("Shading_Control", "ShadingControl", 0, 1, 0));
        if (p.shadingMapBuffer) {
            SimFeature buffer = feature("Shading_MapBuffer", SimType::Register, "ShadingControl");
            buffer.registerAddress = SimDeviceMemory::kShading;
            buffer.registerLength = memory_.config().shadingLength;
            buffer.persistent = false;
            s.define(buffer);
        }
    }

    // File access: the store itself is bound by the stream side; the values
    // here describe the power-up store.
    if (p.fileAccess) {
        s.define(category("FileAccessControl", "Root"));
        s.define(enumeration("FileSelector", "FileAccessControl", {{"Userfile", 0}, {"Firmware", 1}, {"UserSet1", 2}}));
        SimFeature count = integer("FilenameCount", "FileAccessControl", 0, 1024, 0, SimAccess::RO);
        count.selectors = {"FileSelector"};
        count.persistent = false;
        count.instanceDefault = [](Store, Sel sel) {
            const int64_t entry = selected(sel, 0);
            return SimValue::ofInt(entry == 0 ? 2 : entry == 2 ? 1 : 0);
        };
        s.define(count);
        SimFeature index = integer("FilenameIndex", "FileAccessControl", 0, 0, 0);
        index.selectors = {"FileSelector"};
        index.persistent = false;
        index.rangeFn = [](Store st, Sel, SimRange& r) { r.intMax = std::max<int64_t>(st.intOf("FilenameCount") - 1, 0); };
        index.invalidates = {"Filename", "FileSize"};
        s.define(index);
        SimFeature name = text("Filename", "FileAccessControl", "");
        name.selectors = {"FileSelector", "FilenameIndex"};
        name.instanceDefault = [](Store, Sel sel) {
            const int64_t entry = selected(sel, 0), i = selected(sel, 1);
            if (entry == 0)
                return SimValue::ofString(i == 0 ? "config.txt" : i == 1 ? "notes.bin" : "");
            return SimValue::ofString(entry == 2 ? "UserSet1" : "");
        };
        s.define(name);
        SimFeature size = integer("FileSize", "FileAccessControl", 0, INT64_C(1) << 31, 0, SimAccess::RO);
        size.selectors = {"FileSelector", "FilenameIndex"};
        size.instanceDefault = [](Store, Sel sel) {
            const int64_t entry = selected(sel, 0), i = selected(sel, 1);
            return SimValue::ofInt(entry == 0 ? (i == 0 ? 1536 : i == 1 ? 100 : 0) : 0);
        };
        s.define(size);
        s.define(integer("FilesystemFreeSize", "FileAccessControl", 0, 1 << 20, (1 << 20) - 1636, SimAccess::RO));
    }

    // User sets.
    if (p.userSets) {
        s.define(category("UserSetControl", "Root"));
        SimFeature selector = enumeration("UserSetSelector", "UserSetControl", entriesOf({"Default", "UserSet1", "UserSet2"}));
        selector.invalidates.clear();
        s.define(selector);
        SimFeature load = command("UserSetLoad", "UserSetControl");
        load.external.execute = [this](uint32_t) { return userSetLoad(); };
        s.define(load);
        SimFeature save = command("UserSetSave", "UserSetControl");
        save.external.execute = [this](uint32_t) { return userSetSave(); };
        s.define(save);
        s.define(enumeration("UserSetDefault", "UserSetControl", entriesOf({"Default", "UserSet1", "UserSet2"})));
    }

    // Events (tree only).
    if (p.events) {
        s.define(category("EventControl", "Root"));
        s.define(enumeration("EventSelector", "EventControl",
                             {{"SequenceDone", 0x9000}, {"AcquisitionError", 0x9001}, {"FrameTransferStart", 0x9002},
                              {"FrameTransferEnd", 0x9003}, {"FrameTrigger", 0x9004}, {"FrameStart", 0x9005},
                              {"FrameEnd", 0x9006}, {"ExposureStart", 0x9007}, {"ExposureEnd", 0x9008}}));
        SimFeature notification = enumeration("EventNotification", "EventControl", {{"Off", 0}, {"On", 1}});
        notification.selectors = {"EventSelector"};
        s.define(notification);
    }

    // Transport layer.
    s.define(category("TransportLayerControl", "Root"));
    {
        SimFeature tl = integer("TLParamsLocked", "TransportLayerControl", 0, 1, 0);
        tl.visibility = 3;
        tl.persistent = false;
        s.define(tl);
    }
    if (p.gev) {
        SimFeature hb = integer("GevHeartbeatTimeout", "TransportLayerControl", 500, 60000, 3000);
        hb.unit = "ms";
        s.define(hb);
        auto ip = [&](const char* name, int64_t value, SimAccess access, bool persistent) {
            SimFeature f = integer(name, "TransportLayerControl", 0, 0xFFFFFFFFll, value, access);
            f.representation = 7;
            f.persistent = persistent;
            s.define(f);
        };
        ip("GevCurrentIPAddress", p.ip, SimAccess::RO, false);
        ip("GevCurrentSubnetMask", p.mask, SimAccess::RO, false);
        ip("GevCurrentDefaultGateway", p.gateway, SimAccess::RO, false);
        // Persistent IP settings are not part of settings files: a loaded
        // file must not move a camera to another address.
        ip("GevPersistentIPAddress", p.ip, SimAccess::RW, false);
        ip("GevPersistentSubnetMask", p.mask, SimAccess::RW, false);
        ip("GevPersistentDefaultGateway", p.gateway, SimAccess::RW, false);
        SimFeature mac = integer("GevMACAddress", "TransportLayerControl", 0, 0xFFFFFFFFFFFFll,
                                 static_cast<int64_t>(p.mac), SimAccess::RO);
        mac.representation = 7;
        s.define(mac);
        ip("GevSCDA", 0, SimAccess::RW, true);
        ip("GevMCDA", 0, SimAccess::RW, true);
    }

    // Feature-tree cases.
    if (p.testControl) {
        s.define(category("TestControl", "Root"));
        SimFeature hex = integer("TestHexValue", "TestControl", 0, 0xFFFFFFFFll, 0xABC);
        hex.representation = 4;
        s.define(hex);
        SimFeature ipv = integer("TestIPValue", "TestControl", 0, 0xFFFFFFFFll, 0xC0A8010A);
        ipv.representation = 5;
        s.define(ipv);
        SimFeature macv = integer("TestMACValue", "TestControl", 0, 0xFFFFFFFFFFFFll, 1, SimAccess::RO);
        macv.representation = 6;
        s.define(macv);
        s.define(integer("TestBigRange", "TestControl", 0, INT64_C(1) << 40, 0));
        s.define(integer("TestGridValue", "TestControl", 1, 99, 1, SimAccess::RW, 2));
        s.define(integer("TestZeroIncrement", "TestControl", 0, 100, 0, SimAccess::RW, 0));
        SimFeature fixed = floating("TestFloatFixed", "TestControl", 0, 100000, 1234.5, "mm");
        fixed.displayNotation = 1;
        fixed.displayPrecision = 1;
        s.define(fixed);
        SimFeature sci = floating("TestFloatScientific", "TestControl", 0, 1e9, 12345.678, "");
        sci.displayNotation = 2;
        sci.displayPrecision = 3;
        s.define(sci);
        SimFeature guru = integer("TestGuruOnly", "TestControl", 0, 10, 0);
        guru.visibility = 2;
        s.define(guru);
        SimFeature invisible = integer("TestInvisible", "TestControl", 0, 10, 0);
        invisible.visibility = 3;
        s.define(invisible);
        SimFeature unavailable = integer("TestUnavailable", "TestControl", 0, 10, 0);
        unavailable.available = false;
        s.define(unavailable);
        SimFeature locked = integer("TestLocked", "TestControl", 0, 10, 0);
        locked.testLocked = true;
        s.define(locked);
        s.define(integer("TestWriteOnly", "TestControl", 0, 10, 0, SimAccess::WO));
        SimFeature foreign = integer("TestForeignRoot", "TestControl", 0, 10, 0);
        foreign.rootName = "Other";
        s.define(foreign);
        SimFeature noCurrent = enumeration("TestEnumNoCurrent", "TestControl", {{"First", 1}, {"Second", 2}});
        noCurrent.value.i = 7;
        s.define(noCurrent);
        s.define(category("TestHiddenChildren", "TestControl"));
        for (const char* name : {"TestHiddenChildA", "TestHiddenChildB"}) {
            SimFeature child = integer(name, "TestHiddenChildren", 0, 10, 0);
            child.visibility = 2;
            s.define(child);
        }
        SimFeature jump = integer("TestLevelJump", "TestControl", 0, 10, 0);
        jump.extraDepth = 1;
        s.define(jump);
    }

    // Alternative description, shown after UpdateXML and a list refresh.
    if (p.alternativeDescription) {
        SimFeature cat = category("UpdatedFeatures", "Root");
        cat.absent = true;
        s.define(cat);
        s.define(integer("UpdatedFeatureCounter", "UpdatedFeatures", 0, 1000, 1));
    }

    s.setRegisterBacking({[this](uint64_t a, void* d, size_t n) { return readMemory(a, d, n); },
                          [this](uint64_t a, const void* d, size_t n) {
                              std::lock_guard<std::mutex> lock(group_->mutex);
                              return memory_.write(a, d, n, nullptr);
                          }});
    s.finalize();
}

void SimCameraFeatures::buildDevice()
{
    SimFeatureStore& s = *device_;
    const SimCameraProfile& p = profile_;
    s.define(category("Root", ""));
    SimFeature update = command("UpdateXML", "Root");
    update.action = [this](SimFeatureStore&) {
        alternateRequested_ = profile_.alternativeDescription;
        return kOk;
    };
    s.define(update);
    s.define(category("DeviceInformation", "Root"));
    s.define(text("DeviceID", "DeviceInformation", p.deviceId));
    s.define(text("DeviceVendorName", "DeviceInformation", p.vendor));
    s.define(text("DeviceModelName", "DeviceInformation", p.model));
    s.define(text("DeviceDisplayName", "DeviceInformation", p.model + " (" + p.deviceId + ")"));
    s.define(text("DeviceTLType", "DeviceInformation", p.tlType));
    SimFeature status = enumeration("DeviceAccessStatus", "DeviceInformation",
                                    {{"Unknown", 0}, {"ReadWrite", 1}, {"ReadOnly", 2}, {"NoAccess", 3}},
                                    SimAccess::RO);
    status.value.i = 1;
    s.define(status);
    if (p.gev) {
        SimFeature ip = integer("GevDeviceIPAddress", "DeviceInformation", 0, 0xFFFFFFFFll, p.ip, SimAccess::RO);
        ip.representation = 5;
        s.define(ip);
        SimFeature mask = integer("GevDeviceSubnetMask", "DeviceInformation", 0, 0xFFFFFFFFll, p.mask, SimAccess::RO);
        mask.representation = 5;
        s.define(mask);
        SimFeature mac = integer("GevDeviceMACAddress", "DeviceInformation", 0, 0xFFFFFFFFFFFFll,
                                 static_cast<int64_t>(p.mac), SimAccess::RO);
        mac.representation = 6;
        s.define(mac);
    }
    s.finalize();
}

void SimCameraFeatures::buildStream()
{
    SimFeatureStore& s = *stream_;
    const SimCameraProfile& p = profile_;
    SimFeatureStore* remote = remote_.get();
    s.define(category("Root", ""));
    s.define(category("StreamInformation", "Root"));
    s.define(text("StreamID", "StreamInformation", "Stream0"));
    s.define(text("StreamType", "StreamInformation", p.tlType));
    SimFeature announced = integer("StreamAnnouncedBufferCount", "StreamInformation", 0, INT64_MAX, 0, SimAccess::RO);
    announced.isVolatile = true;
    s.define(announced);
    SimFeature delivered = integer("StreamDeliveredFrameCount", "StreamInformation", 0, INT64_MAX, 0, SimAccess::RO);
    delivered.isVolatile = true;
    s.define(delivered);
    s.define(category("StreamControl", "Root"));
    if (p.streamPayloadSize) {
        SimFeature payload = integer("PayloadSize", "StreamControl", 0, INT64_C(1) << 40, 0, SimAccess::RO);
        payload.compute = [remote](Store, Sel) { return remote->valueOf("PayloadSize"); };
        s.define(payload);
        remote_->linkInvalidation("PayloadSize", stream_.get(), "PayloadSize");
    }
    if (p.streamTLParamsLocked)
        s.define(integer("TLParamsLocked", "StreamControl", 0, 1, 0));
    auto counter = [&](const char* name, SimCameraProfile::StreamFeature kind) {
        if (kind == SimCameraProfile::StreamFeature::Absent)
            return;
        SimFeature f = integer(name, "StreamControl", 0, INT64_MAX, 0, SimAccess::RO);
        f.isVolatile = true;
        f.available = kind == SimCameraProfile::StreamFeature::Readable;
        s.define(f);
    };
    counter("StreamLostFrameCount", p.lostFrameCount);
    counter("FrameLoss", p.frameLoss);
    s.finalize();
}

// ---------------------------------------------------------------------------
// Memory
// ---------------------------------------------------------------------------

void SimCameraFeatures::fireNames(SimFeatureStore& store, const std::vector<std::string>& names)
{
    for (const std::string& n : names)
        store.invalidate(n);
}

int SimCameraFeatures::readMemory(uint64_t address, void* data, size_t length)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    return memory_.read(address, data, length);
}

int SimCameraFeatures::writeMemory(uint64_t address, const void* data, size_t length)
{
    std::vector<std::string> changed;
    int rc;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        rc = memory_.write(address, data, length, &changed);
    }
    fireNames(*remote_, changed);
    return rc;
}

int SimCameraFeatures::peekMemory(uint64_t address, void* data, size_t length)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    return memory_.peek(address, data, length);
}

int SimCameraFeatures::pokeMemory(uint64_t address, const void* data, size_t length)
{
    std::vector<std::string> changed;
    int rc;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        rc = memory_.poke(address, data, length, &changed);
    }
    fireNames(*remote_, changed);
    return rc;
}

void SimCameraFeatures::addMemoryFault(uint64_t address, size_t length, bool write, int code, int count, int after)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    memory_.addFault(address, length, write, code, count, after);
}

void SimCameraFeatures::clearFaults()
{
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        memory_.clearFaults();
    }
    remote_->clearFaults();
    device_->clearFaults();
    if (stream_)
        stream_->clearFaults();
}

bool SimCameraFeatures::reportDefectMap(int64_t size, int64_t capacity)
{
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        if (!memory_.config().defect)
            return false;
        memory_.setReported(size, capacity);
    }
    fireNames(*remote_, {"DefectPixelCorrection_MapSize", "DefectPixelCorrection_MapMaxSize"});
    return true;
}

std::string SimCameraFeatures::defectMapText(int map)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    if (!memory_.config().defect)
        return {};
    const int which = map < 0 ? static_cast<int>(memory_.mapSelect()) : std::min(map, 1);
    std::ostringstream out;
    out << "size=" << memory_.mapSizeOf(which) << "\n";
    for (const auto& e : memory_.defectEntries(which))
        out << e.first << "," << e.second << "\n";
    return out.str();
}

SimCameraFeatures::ShadingSnapshot SimCameraFeatures::shadingSnapshot()
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    ShadingSnapshot snapshot;
    const SimMemoryConfig& c = memory_.config();
    if (!c.shading)
        return snapshot;
    snapshot.bytes = memory_.shadingMap(memory_.shadingSelect());
    snapshot.written = memory_.shadingWritten(memory_.shadingSelect());
    if (c.gridOffsets) {
        snapshot.offsetX = (0u - c.gridX) & 15u;
        snapshot.offsetY = (0u - c.gridY) & 15u;
    }
    return snapshot;
}

std::string SimCameraFeatures::shadingMapText(int map)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    if (!memory_.config().shading)
        return {};
    const int which = map < 0 ? memory_.shadingSelect() : std::min(map, SimDeviceMemory::kShadingMaps - 1);
    const std::vector<uint8_t>& bytes = memory_.shadingMap(which);
    std::ostringstream out;
    out << "bytes=" << bytes.size() << "\n";
    // Words as stored: the camera's byte order decides how two bytes read.
    const bool big = memory_.config().bigEndian;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned w = big ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
        out << w << ((i / 2) % 16 == 15 ? "\n" : " ");
    }
    return out.str();
}

// ---------------------------------------------------------------------------
// Settings files and user sets
// ---------------------------------------------------------------------------

std::string SimCameraFeatures::settingsText()
{
    std::string text = std::string(kSettingsMagic) + "\n# model=" + profile_.model + ";serial=" + profile_.serial + "\n";
    for (const std::string& line : remote_->snapshot())
        text += line + "\n";
    return text;
}

int SimCameraFeatures::applyLines(const std::vector<std::string>& lines, bool readOnly, std::string* error)
{
    // A value can depend on one written later (Width on OffsetX): lines
    // refused for their range are tried again while others make progress.
    std::vector<std::string> todo = lines;
    int rc = kOk;
    for (;;) {
        std::vector<std::string> retry;
        for (const std::string& line : todo) {
            const int r = remote_->applyLine(line, readOnly, error);
            if (r == kOutOfRange)
                retry.push_back(line);
            else if (r != kOk) {
                rc = r;
                break;
            }
        }
        if (rc != kOk || retry.empty())
            break;
        if (retry.size() == todo.size()) {
            rc = kOutOfRange;
            break;
        }
        todo.swap(retry);
    }
    // Every remote feature is invalidated once, what the lines changed included.
    remote_->invalidateAll();
    return rc;
}

int SimCameraFeatures::applySettingsText(const std::string& text, bool readOnly, std::string* error)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kSettingsMagic) {
        if (error)
            *error = "not a camera settings file";
        return kOutOfRange;
    }
    if (!std::getline(in, line) || line.rfind("# model=", 0) != 0) {
        if (error)
            *error = "settings file without model line";
        return kOutOfRange;
    }
    const std::string model = line.substr(8, line.find(';') - 8);
    if (model != profile_.model) {
        if (error)
            *error = "settings of another model: " + model;
        return kOutOfRange;
    }
    if (readOnly)
        return kAccessDenied;
    std::vector<std::string> lines;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return applyLines(lines, readOnly, error);
}

int SimCameraFeatures::saveSettings(const std::string& path)
{
    const std::string text = settingsText();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return kIoError;
    out << text;
    return out.good() ? kOk : kIoError;
}

int SimCameraFeatures::loadSettings(const std::string& path, bool readOnly, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return kOutOfRange;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return applySettingsText(text.str(), readOnly, error);
}

std::vector<std::string> SimCameraFeatures::userSetLines(int64_t which) const
{
    // Applying a set does not move the selectors of the user-set group.
    std::vector<std::string> lines;
    for (const std::string& l : userSets_[std::clamp<int64_t>(which, 0, 2)])
        if (l.rfind("UserSetSelector=", 0) != 0 && l.rfind("UserSetDefault=", 0) != 0)
            lines.push_back(l);
    return lines;
}

int SimCameraFeatures::userSetLoad()
{
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        if (remote_->intOf("TLParamsLocked") == 1)
            return kAccessDenied;
        lines = userSetLines(remote_->intOf("UserSetSelector"));
    }
    return applyLines(lines, false, nullptr);
}

int SimCameraFeatures::userSetSave()
{
    int64_t which;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        which = std::clamp<int64_t>(remote_->intOf("UserSetSelector"), 0, 2);
    }
    if (which == 0)
        return kAccessDenied;
    std::vector<std::string> snapshot = remote_->snapshot();
    std::lock_guard<std::mutex> lock(group_->mutex);
    userSets_[which] = std::move(snapshot);
    return kOk;
}

std::string SimCameraFeatures::userSetText(int set)
{
    std::string text = std::string(kSettingsMagic) + "\n# model=" + profile_.model + ";serial=" + profile_.serial + "\n";
    std::lock_guard<std::mutex> lock(group_->mutex);
    for (const std::string& line : userSets_[std::clamp(set, 0, 2)])
        text += line + "\n";
    return text;
}

int SimCameraFeatures::setUserSetText(int set, const std::string& text)
{
    if (set < 1 || set > 2)
        return kAccessDenied;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kSettingsMagic || !std::getline(in, line) || line.rfind("# model=", 0) != 0
        || line.substr(8, line.find(';') - 8) != profile_.model)
        return kOutOfRange;
    std::vector<std::string> lines;
    std::lock_guard<std::mutex> lock(group_->mutex);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (!remote_->find(line.substr(0, line.find_first_of("[="))))
            return kOutOfRange;
        lines.push_back(line);
    }
    userSets_[set] = std::move(lines);
    return kOk;
}

void SimCameraFeatures::resetUserSet(int set)
{
    if (set < 1 || set > 2)
        return;
    std::lock_guard<std::mutex> lock(group_->mutex);
    userSets_[set] = userSets_[0];
}

void SimCameraFeatures::powerUp()
{
    // The choice of the power-up set survives the power-up itself.
    std::string setDefault;
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        memory_.reset();
        const bool hasSets = remote_->find("UserSetDefault") != nullptr;
        setDefault = hasSets ? remote_->entryNameOf("UserSetDefault") : std::string();
        lines = userSetLines(hasSets ? remote_->intOf("UserSetDefault") : 0);
    }
    remote_->resetValues();
    if (!setDefault.empty())
        remote_->forceSet("UserSetDefault", setDefault);
    applyLines(lines, false, nullptr);
}

int SimCameraFeatures::refreshRemoteList()
{
    bool apply;
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        apply = alternateRequested_;
        alternateRequested_ = false;
    }
    if (!apply)
        return kOk;
    remote_->setAbsent("UpdatedFeatures", false);
    {
        std::lock_guard<std::mutex> lock(group_->mutex);
        alternateActive_ = true;
    }
    remote_->invalidate("DeviceFirmwareVersion");
    return kOk;
}

std::string SimCameraFeatures::firmwareSuffix()
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    return alternateActive_ ? "-updated" : "";
}

void SimCameraFeatures::fillCorrections(SimImageSettings& s)
{
    std::lock_guard<std::mutex> lock(group_->mutex);
    const SimFeatureStore& r = *remote_;

    // Look-up tables, one per LUTSelector entry; a disabled one is the identity.
    const SimFeature* selector = r.find("LUTSelector");
    const SimFeature* value = r.find("LUTValue");
    const SimFeature* enable = r.find("LUTEnable");
    s.lut = SimImageSettings::Lut();
    if (selector && value && enable) {
        const SimRange index = r.rangeOf(*r.find("LUTIndex"), SimSelection{});
        const uint32_t indexMax = static_cast<uint32_t>(index.intMax);
        const uint32_t valueMax = static_cast<uint32_t>(r.rangeOf(*value, SimSelection{}).intMax);
        std::vector<bool> on;
        for (const SimEnumEntry& e : selector->entries) {
            SimSelection one{{"LUTSelector"}, {e.name}, {e.value}};
            on.push_back(r.valueAt(*enable, one).i != 0);
            s.lut.enabled = s.lut.enabled || on.back();
        }
        std::vector<std::shared_ptr<const std::vector<uint32_t>>> tables;
        for (size_t k = 0; s.lut.enabled && k < selector->entries.size(); ++k) {
            const SimEnumEntry& e = selector->entries[k];
            auto table = std::make_shared<std::vector<uint32_t>>(indexMax + 1);
            for (uint32_t i = 0; i <= indexMax; ++i) {
                SimSelection at{{"LUTSelector", "LUTIndex"}, {e.name, std::to_string(i)}, {e.value, i}};
                (*table)[i] = on[k] ? static_cast<uint32_t>(r.valueAt(*value, at).i)
                                 : static_cast<uint32_t>(uint64_t(i) * valueMax / std::max(indexMax, 1u));
            }
            if (k < lutTables_.size() && *lutTables_[k] == *table)
                tables.push_back(lutTables_[k]);
            else
                tables.push_back(table);
        }
        if (s.lut.enabled) {
            lutTables_ = tables;
            s.lut.indexMax = indexMax;
            s.lut.valueMax = valueMax;
            s.lut.tables = tables;
        }
    }

    // Defect pixel correction: enable bit and the active map.
    s.defectCorrection = false;
    if (memory_.config().defect) {
        s.defectCorrection = (memory_.control() & 1) != 0;
        std::vector<std::array<uint32_t, 2>> entries;
        for (const auto& e : memory_.defectEntries(static_cast<int>(memory_.mapSelect())))
            entries.push_back({e.first, e.second});
        if (!defectMap_ || *defectMap_ != entries)
            defectMap_ = std::make_shared<const std::vector<std::array<uint32_t, 2>>>(std::move(entries));
        s.defectMap = defectMap_;
    }
}

} // namespace quillan
