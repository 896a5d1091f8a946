#include "ShadingTable.h"

#include "SimCameraFeatures.h"
#include "SimDeviceMemory.h"

namespace quillan {

void ShadingTable::apply(SimCameraFeatures& features, SimImageSettings& s)
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
    std::lock_guard<std::mutex> lock(mutex_);
    if (bytes != bytes_ || !gain_) {
        std::vector<float> gain, offset;
        SimImageGenerator::decodeNonUniformShading(bytes.data(), pixels, p.bigEndian(), gain, offset);
        bytes_.swap(bytes);
        gain_ = std::make_shared<const std::vector<float>>(std::move(gain));
        offset_ = std::make_shared<const std::vector<float>>(std::move(offset));
    }
    s.shadingGain = gain_;
    s.shadingOffset = offset_;
}

} // namespace quillan
