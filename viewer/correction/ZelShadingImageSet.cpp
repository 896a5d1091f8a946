#include "ZelShadingImageSet.h"

#include <algorithm>
#include <cmath>

float ZelShadingImageSet::offsetOf(float darkMean, int scale, int limit, quint16 target)
{
    if (darkMean > 200.0f)
        return 0.0f;
    float v = std::trunc(float(scale) * darkMean - float(target));
    v = std::max(v, 0.0f);
    if (v >= float(limit))
        v = float(limit - 1);
    return v / float(scale);
}

std::vector<float> ZelShadingImageSet::computeOffsets() const
{
    std::vector<float> offsets(m_mean.size(), 0.0f);
    for (size_t i = 0; i < m_mean.size(); ++i)
        offsets[i] = offsetOf(m_mean[i], offsetScale, offsetLimit, targetOffset);
    return offsets;
}

float ZelShadingImageSet::brightLevel(std::vector<float> levels)
{
    if (levels.empty())
        return 0.0f;
    // Nearest rank: 99.9 % of the pixels are at this level or below.
    const size_t rank = size_t(std::ceil(0.999 * double(levels.size())));
    const auto at = levels.begin() + std::ptrdiff_t(std::max<size_t>(rank, 1) - 1);
    std::nth_element(levels.begin(), at, levels.end());
    return *at;
}

bool ZelShadingImageSet::computeGain(const std::vector<float>& offsets, std::vector<float>& gains) const
{
    if (m_mean.empty() || offsets.size() != m_mean.size())
        return false;
    std::vector<float> level(m_mean.size());
    double sum = 0.0;
    for (size_t i = 0; i < m_mean.size(); ++i) {
        level[i] = m_mean[i] - offsets[i];
        sum += level[i];
    }
    // Gains cannot go below 1: a pixel above the target would stay brighter
    // than the rest. The target is therefore at least the level of the
    // brightest pixels, taken at a high rank so that a few hot pixels do
    // not set it.
    const float target = std::max(float(sum / double(level.size())) * gainFactor, brightLevel(level));
    gains.assign(level.size(), 1.0f);
    for (size_t i = 0; i < level.size(); ++i) {
        const float c = level[i];
        float g;
        if (c == 0.0f)
            g = target > 0.0f ? 2.0f : 1.0f;
        else
            g = target / c;
        gains[i] = std::isnan(g) ? 1.0f : std::min(2.0f, std::max(1.0f, g));
    }
    return true;
}
