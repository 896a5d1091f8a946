// The camera's non-uniform shading correction as the image generator takes
// it: gain and offset per sensor pixel, decoded from the selected shading map
// while the correction is on and handed on as the same shared objects while
// the map stays the same, so the generator keeps its caches.
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

private:
    std::mutex mutex_;
    std::vector<uint8_t> bytes_;
    std::shared_ptr<const std::vector<float>> gain_, offset_;
};

} // namespace quillan

#endif // SHADINGTABLE_H
