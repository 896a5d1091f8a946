// The camera's own corrections as the image generator takes them: look-up
// tables, the active defect map and the non-uniform shading map. Tables are
// rebuilt from the camera state only while a correction is on, and handed
// on as the same shared objects while their content stays the same, so the
// generator keeps its caches.
#ifndef CORRECTIONTABLES_H
#define CORRECTIONTABLES_H

#include "SimImageGenerator.h"

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace quillan {

class SimCameraFeatures;

class CorrectionTables {
public:
    void apply(SimCameraFeatures& features, SimImageSettings& settings);

private:
    void applyLut(SimCameraFeatures& features, SimImageSettings& settings);
    void applyDefects(SimCameraFeatures& features, SimImageSettings& settings);
    void applyShading(SimCameraFeatures& features, SimImageSettings& settings);

    std::mutex mutex_;
    std::vector<std::shared_ptr<const std::vector<uint32_t>>> lut_;
    std::shared_ptr<const std::vector<std::array<uint32_t, 2>>> defects_;
    std::vector<uint8_t> shadingBytes_;
    std::shared_ptr<const std::vector<float>> shadingGain_, shadingOffset_;
};

} // namespace quillan

#endif // CORRECTIONTABLES_H
