#include "CorrectionTables.h"

#include "SimCameraFeatures.h"
#include "SimDeviceMemory.h"

#include <cstdio>
#include <sstream>

namespace quillan {

namespace {

// Value of a selected feature for one selection, as the store reads it.
SimValue valueFor(const SimFeatureStore& store, const SimFeature& f, const SimSelection& sel)
{
    const auto it = f.instances.find(sel.key());
    if (it != f.instances.end())
        return it->second;
    if (f.instanceDefault)
        return f.instanceDefault(store, sel);
    return f.value;
}

int64_t entryValue(const SimFeature& f, const std::string& name)
{
    for (const SimEnumEntry& e : f.entries)
        if (e.name == name)
            return e.value;
    return 0;
}

template <class T>
void reuse(std::shared_ptr<const T>& cached, T&& fresh)
{
    if (!cached || *cached != fresh)
        cached = std::make_shared<const T>(std::move(fresh));
}

} // namespace

void CorrectionTables::apply(SimCameraFeatures& features, SimImageSettings& settings)
{
    std::lock_guard<std::mutex> lock(mutex_);
    applyLut(features, settings);
    applyDefects(features, settings);
    applyShading(features, settings);
}

void CorrectionTables::applyLut(SimCameraFeatures& features, SimImageSettings& s)
{
    const SimCameraProfile& p = features.profile();
    if (p.lutSelectors.empty())
        return;
    SimFeatureStore& r = features.remote();
    const int64_t indexMax = std::max<int64_t>(p.lutIndexMax, 1), step = std::max<int64_t>(p.lutIndexInc, 1);
    // Red, green and blue tables of a colour camera; one table otherwise.
    const std::vector<std::string> order = p.lutSelectors.size() == 3 ? std::vector<std::string>{"Red", "Green", "Blue"}
                                                                      : std::vector<std::string>{p.lutSelectors.front()};
    std::vector<std::vector<uint32_t>> tables;
    bool any = false;
    {
        std::lock_guard<std::mutex> storeLock(r.mutex());
        const SimFeature* selector = r.find("LUTSelector");
        const SimFeature* enable = r.find("LUTEnable");
        const SimFeature* value = r.find("LUTValue");
        if (!selector || !enable || !value)
            return;
        std::vector<bool> on;
        for (const std::string& name : order) {
            SimSelection sel;
            sel.names = {"LUTSelector"};
            sel.entries = {name};
            sel.values = {entryValue(*selector, name)};
            on.push_back(valueFor(r, *enable, sel).i != 0);
            any = any || on.back();
        }
        if (any) {
            for (size_t k = 0; k < order.size(); ++k) {
                std::vector<uint32_t> table(size_t(indexMax) + 1);
                SimSelection sel;
                sel.names = {"LUTSelector", "LUTIndex"};
                sel.entries = {order[k], ""};
                sel.values = {entryValue(*selector, order[k]), 0};
                for (int64_t i = 0; i <= indexMax; ++i) {
                    if (!on[k]) {
                        table[size_t(i)] = uint32_t(i * p.lutValueMax / indexMax);
                        continue;
                    }
                    const int64_t grid = i - i % step;
                    if (grid == i || i == 0) {
                        sel.entries[1] = std::to_string(grid);
                        sel.values[1] = grid;
                        table[size_t(i)] = uint32_t(std::max<int64_t>(0, valueFor(r, *value, sel).i));
                    } else {
                        table[size_t(i)] = table[size_t(grid)];
                    }
                }
                tables.push_back(std::move(table));
            }
        }
    }
    s.lut.enabled = any;
    if (!any)
        return;
    lut_.resize(tables.size());
    for (size_t k = 0; k < tables.size(); ++k)
        reuse(lut_[k], std::move(tables[k]));
    s.lut.indexMax = uint32_t(indexMax);
    s.lut.valueMax = uint32_t(p.lutValueMax);
    s.lut.tables.assign(lut_.begin(), lut_.end());
}

void CorrectionTables::applyDefects(SimCameraFeatures& features, SimImageSettings& s)
{
    const SimCameraProfile& p = features.profile();
    if (p.defectRevision == 0 && p.defectProbeRevision == 0)
        return;
    uint8_t b[4];
    if (features.peekMemory(SimDeviceMemory::kControl, b, 4) != 0)
        return;
    const uint32_t control = p.bigEndian() ? uint32_t(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3])
                                           : uint32_t(b[3] << 24 | b[2] << 16 | b[1] << 8 | b[0]);
    s.defectCorrection = (control & 1) != 0;
    if (!s.defectCorrection)
        return;
    std::vector<std::array<uint32_t, 2>> map;
    std::istringstream in(features.defectMapText(-1));
    std::string line;
    while (std::getline(in, line)) {
        unsigned x, y;
        if (std::sscanf(line.c_str(), "%u,%u", &x, &y) == 2)
            map.push_back({x, y});
    }
    reuse(defects_, std::move(map));
    s.defectMap = defects_;
}

void CorrectionTables::applyShading(SimCameraFeatures& features, SimImageSettings& s)
{
    const SimCameraProfile& p = features.profile();
    if (p.shadingRevision != 4)
        return;  // block shading maps are not applied to the image
    SimFeatureStore& r = features.remote();
    {
        std::lock_guard<std::mutex> storeLock(r.mutex());
        s.shadingCorrection = r.find("Shading_Control") && r.intOf("Shading_Control") == 1;
    }
    if (!s.shadingCorrection)
        return;
    const size_t pixels = size_t(p.widthMax) * size_t(p.heightMax);
    std::vector<uint8_t> bytes(pixels * 2);
    if (features.peekMemory(SimDeviceMemory::kShading, bytes.data(), bytes.size()) != 0) {
        s.shadingCorrection = false;
        return;
    }
    if (bytes != shadingBytes_ || !shadingGain_) {
        std::vector<float> gain, offset;
        SimImageGenerator::decodeNonUniformShading(bytes.data(), pixels, p.bigEndian(), gain, offset);
        shadingBytes_.swap(bytes);
        shadingGain_ = std::make_shared<const std::vector<float>>(std::move(gain));
        shadingOffset_ = std::make_shared<const std::vector<float>>(std::move(offset));
    }
    s.shadingGain = shadingGain_;
    s.shadingOffset = shadingOffset_;
}

} // namespace quillan
