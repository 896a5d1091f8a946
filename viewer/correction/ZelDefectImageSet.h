#ifndef ZELDEFECTIMAGESET_H
#define ZELDEFECTIMAGESET_H

#include "ZelMeanImageAccumulator.h"

#include <QImage>

#include <vector>

// The dark or the bright images of a defect map: their exact running mean,
// held as an 8-bit mean image outside and the accumulator's remainders here.
// Detection flags the pixels that stand out of their neighbourhood.
class ZelDefectImageSet
{
public:
    static constexpr int maxImages = ZelMeanImageAccumulator::maxImages;

    int number() const { return m_accumulator.count(); }
    int absoluteThreshold = 16;  // dark set: grey levels
    int relativeThreshold = 12;  // bright set: percent of the local mean

    // Adds (+1) or removes (−1) `image` (8-bit indexed: the index byte; RGB:
    // trunc((R + G + B) / 3)) to or from the 8-bit greyscale `mean`. False,
    // nothing changed, when the sizes differ, the count would leave
    // 0 .. maxImages, the format is neither or the remainder cannot be
    // allocated. The last image out resets the set.
    bool accumulate(QImage& mean, const QImage& image, int delta);

    // Flags the pixels of `mean` farther than the threshold from their
    // local mean (a 20 × 20 box, clipped at the borders). False for a null
    // image.
    bool detectDefects(const QImage& mean, bool absolute);
    bool isDefect(int x, int y) const;

    // Forgets the images; the thresholds stay.
    void reset();

private:
    ZelMeanImageAccumulator m_accumulator;
    std::vector<quint8> m_flags;
    int m_flagWidth = 0;
    int m_flagHeight = 0;
};

#endif // ZELDEFECTIMAGESET_H
