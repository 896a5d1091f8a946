#include "ShadingTable.h"

#include "SimCameraFeatures.h"
#include "SimDeviceMemory.h"

namespace quillan {

void ShadingTable::apply(SimCameraFeatures& features, SimImageSettings& s)
{
    const int revision = features.profile().shadingRevision;
    if (revision != 3 && revision != 4 && revision != 5)
        return;
    SimFeatureStore& r = features.remote();
    {
        std::lock_guard<std::mutex> storeLock(r.mutex());
        s.shadingCorrection = r.find("Shading_Control") && r.intOf("Shading_Control") == 1;
    }
    if (!s.shadingCorrection)
        return;
    if (revision == 4)
        applyNonUniform(features, s);
    else
        applyBlocks(features, s);
}

void ShadingTable::applyNonUniform(SimCameraFeatures& features, SimImageSettings& s)
{
    const SimCameraProfile& p = features.profile();
    const size_t pixels = size_t(p.widthMax) * size_t(p.heightMax);
    std::vector<uint8_t> bytes(pixels * 2);
    if (features.peekMemory(SimDeviceMemory::kShading, bytes.data(), bytes.size()) != 0) {
        s.shadingCorrection = false;
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (bytes != bytes_ || !gain_ || !offset_) {
        std::vector<float> gain, offset;
        SimImageGenerator::decodeNonUniformShading(bytes.data(), pixels, p.bigEndian(), gain, offset);
        bytes_.swap(bytes);
        written_.clear();
        gain_ = std::make_shared<const std::vector<float>>(std::move(gain));
        offset_ = std::make_shared<const std::vector<float>>(std::move(offset));
    }
    s.shadingGain = gain_;
    s.shadingOffset = offset_;
}

void ShadingTable::applyBlocks(SimCameraFeatures& features, SimImageSettings& s)
{
    const SimCameraProfile& p = features.profile();
    SimCameraFeatures::ShadingSnapshot map = features.shadingSnapshot();
    std::lock_guard<std::mutex> lock(mutex_);
    if (map.bytes != bytes_ || map.written != written_ || !gain_ || offset_) {
        std::vector<float> gain = decodeBlocks(map.bytes, map.written, p.bigEndian(), uint32_t(p.widthMax),
                                               uint32_t(p.heightMax), map.offsetX, map.offsetY);
        bytes_.swap(map.bytes);
        written_.swap(map.written);
        gain_ = std::make_shared<const std::vector<float>>(std::move(gain));
        offset_.reset();
    }
    s.shadingGain = gain_;
    s.shadingOffset.reset();
}

std::vector<float> ShadingTable::decodeBlocks(const std::vector<uint8_t>& bytes, const std::vector<bool>& written,
                                              bool bigEndian, uint32_t sensorWidth, uint32_t sensorHeight,
                                              uint32_t offsetX, uint32_t offsetY)
{
    std::vector<float> gain(size_t(sensorWidth) * sensorHeight, 1.0f);
    const size_t columns = (size_t(sensorWidth) + offsetX + 15) / 16;
    const size_t rows = (size_t(sensorHeight) + offsetY + 15) / 16;
    std::vector<float> blocks(columns * rows, 1.0f);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const size_t word = i / 2;
        if (word >= written.size() || !written[word] || 4 * word + 3 >= bytes.size())
            continue;
        const uint8_t* b = bytes.data() + 4 * word;
        const uint32_t w = bigEndian ? uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]
                                     : uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
        const uint32_t code = i % 2 == 0 ? w >> 16 : w & 0xFFFF;
        blocks[i] = float(code) / 4096.0f;
    }
    for (uint32_t y = 0; y < sensorHeight; ++y) {
        const size_t row = (size_t(y) + offsetY) / 16;
        for (uint32_t x = 0; x < sensorWidth; ++x)
            gain[size_t(y) * sensorWidth + x] = blocks[row * columns + (size_t(x) + offsetX) / 16];
    }
    return gain;
}

} // namespace quillan
