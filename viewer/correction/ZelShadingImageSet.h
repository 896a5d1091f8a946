#ifndef ZELSHADINGIMAGESET_H
#define ZELSHADINGIMAGESET_H

#include "ZelMeanImageAccumulator.h"

#include <QImage>

#include <vector>

// The dark or the bright images of the non-uniform shading correction,
// averaged exactly: the 8-bit mean (held by the caller's image) with its
// remainder, and the float mean that the maps are computed from.
class ZelShadingImageSet
{
public:
    float gainFactor = 1.1f;
    int gainScale = 1024;
    int offsetScale = 4;
    int offsetLimit = 64;
    quint16 targetOffset = 16;

    ZelMeanImageAccumulator::Result accumulate(QImage& mean, const QImage& image, int a)
    {
        return m_accumulator.accumulate(mean, image, a, &m_mean);
    }
    void reset()
    {
        m_accumulator.reset();
        std::vector<float>().swap(m_mean);
    }

    int number() const { return m_accumulator.count(); }
    int width() const { return m_accumulator.width(); }
    int height() const { return m_accumulator.height(); }
    const std::vector<uint8_t>& remainder() const { return m_accumulator.remainder(); }
    const std::vector<float>& mean() const { return m_mean; }

    // The offset of every pixel from this (dark) set's mean.
    std::vector<float> computeOffsets() const;
    // The gain of every pixel from this (bright) set's mean less the
    // offsets; false when the offsets do not cover the set.
    bool computeGain(const std::vector<float>& offsets, std::vector<float>& gains) const;

    static float offsetOf(float darkMean, int scale, int limit, quint16 target);
    // The level that 99.9 % of the given pixel levels reach or stay below.
    static float brightLevel(std::vector<float> levels);

private:
    ZelMeanImageAccumulator m_accumulator;
    std::vector<float> m_mean;
};

#endif // ZELSHADINGIMAGESET_H
