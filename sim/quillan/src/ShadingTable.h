// The camera's shading correction as the image generator takes it: a gain
// (and for non-uniform maps an offset) per sensor pixel, decoded from the
// selected shading map while the correction is on and handed on as the same
// shared objects while the map stays the same, so the generator keeps its
// caches. Revision 4 maps hold a word per pixel; revisions 3 and 5 a 4.12
// gain per 16 × 16 block.
#ifndef SHADINGTABLE_H
#define SHADINGTABLE_H

#include "SimImageGenerator.h"

#include <memory>
#include <mutex>
#include <vector>

namespace quillan {

class SimCameraFeatures;

class ShadingTable {
public:
    void apply(SimCameraFeatures& features, SimImageSettings& settings);

    // Block gains, two per 32-bit word in camera byte order (first in the
    // upper half), over 16 × 16 sensor blocks on a grid that starts at
    // (-offsetX, -offsetY); a word never written counts as gain 1.0.
    static std::vector<float> decodeBlocks(const std::vector<uint8_t>& bytes, const std::vector<bool>& written,
                                           bool bigEndian, uint32_t sensorWidth, uint32_t sensorHeight,
                                           uint32_t offsetX, uint32_t offsetY);

private:
    void applyNonUniform(SimCameraFeatures& features, SimImageSettings& settings);
    void applyBlocks(SimCameraFeatures& features, SimImageSettings& settings);

    std::mutex mutex_;
    std::vector<uint8_t> bytes_;
    std::vector<bool> written_;
    std::shared_ptr<const std::vector<float>> gain_, offset_;
};

} // namespace quillan

#endif // SHADINGTABLE_H
