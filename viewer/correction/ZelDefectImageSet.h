#ifndef ZELDEFECTIMAGESET_H
#define ZELDEFECTIMAGESET_H

#include <QImage>

#include <vector>

// The dark or the bright images of a defect map: their exact running mean,
// held as an 8-bit mean image outside and one remainder byte per pixel here,
// so that for every pixel the sum of the images is number × mean + remainder.
// Detection flags the pixels that stand out of their neighbourhood.
class ZelDefectImageSet
{
public:
    // The remainder is one byte: 256 images at most.
    static constexpr int maxImages = 256;

    int number() const { return m_number; }
    int absoluteThreshold = 16;  // dark set: grey levels
    int relativeThreshold = 12;  // bright set: percent of the local mean

    // Adds (+1) or removes (−1) `image` (8-bit indexed: the index byte; RGB:
    // trunc((R + G + B) / 3)) to or from the 8-bit greyscale `mean`. False,
    // nothing changed, when the sizes differ, the count would leave
    // 0 .. maxImages or the remainder cannot be allocated. The last image
    // out resets the set.
    bool accumulate(QImage& mean, const QImage& image, int delta);

    // Flags the pixels of `mean` farther than the threshold from their
    // local mean (a 20 × 20 box, clipped at the borders). False for a null
    // image.
    bool detectDefects(const QImage& mean, bool absolute);
    bool isDefect(int x, int y) const;

    // Forgets the images; the thresholds stay.
    void reset();

    // Grey value of one pixel as the mean counts it.
    static int grey(const QImage& image, int x, int y);

private:
    int m_number = 0;
    std::vector<quint8> m_remainder;
    std::vector<quint8> m_flags;
    int m_flagWidth = 0;
    int m_flagHeight = 0;
};

#endif // ZELDEFECTIMAGESET_H
