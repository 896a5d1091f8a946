#ifndef ZELMEANIMAGEACCUMULATOR_H
#define ZELMEANIMAGEACCUMULATOR_H

#include <QImage>

#include <cstdint>
#include <vector>

// Exact running mean of 8-bit images: for every pixel the sum of all images
// equals count × mean + remainder, 0 <= remainder < count. One remainder byte
// per pixel allows at most 256 images. Grey values are integers (the palette
// index of an indexed image, trunc((R + G + B) / 3) of an RGB image), so that
// removing an image undoes adding it exactly.
class ZelMeanImageAccumulator
{
public:
    enum Result { Done, OutOfMemory, Full, Mismatch };
    static constexpr int maxImages = 256;

    // 8-bit indexed and 32-bit RGB images are accepted.
    static bool isSupported(const QImage& image);
    // The grey value of each pixel of row y.
    static void greyRow(const QImage& image, int y, std::vector<int>& out);

    // Folds image into (a = +1) or out of (a = -1) the Grayscale8 mean image;
    // exactMean, when given, receives sum / count per pixel. For the first
    // image mean may be null: it is created. Nothing changes on failure.
    Result accumulate(QImage& mean, const QImage& image, int a, std::vector<float>* exactMean = nullptr);
    void reset();

    int count() const { return m_count; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<uint8_t>& remainder() const { return m_remainder; }

private:
    std::vector<uint8_t> m_remainder;
    int m_count = 0;
    int m_width = 0;
    int m_height = 0;
};

#endif // ZELMEANIMAGEACCUMULATOR_H
