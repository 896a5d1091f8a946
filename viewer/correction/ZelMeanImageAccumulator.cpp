#include "ZelMeanImageAccumulator.h"

#include <new>

bool ZelMeanImageAccumulator::isSupported(const QImage& image)
{
    return image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_RGB32;
}

void ZelMeanImageAccumulator::greyRow(const QImage& image, int y, std::vector<int>& out)
{
    const int w = image.width();
    out.resize(size_t(w));
    if (image.format() == QImage::Format_RGB32) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out[size_t(x)] = (qRed(line[x]) + qGreen(line[x]) + qBlue(line[x])) / 3;
    } else {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < w; ++x)
            out[size_t(x)] = line[x];
    }
}

ZelMeanImageAccumulator::Result ZelMeanImageAccumulator::accumulate(QImage& mean, const QImage& image, int a,
                                                                   std::vector<float>* exactMean)
{
    if ((a != 1 && a != -1) || !isSupported(image))
        return Mismatch;
    const int w = image.width(), h = image.height();
    if (m_count > 0 && (w != m_width || h != m_height || mean.size() != image.size()))
        return Mismatch;
    if (a < 0 && m_count == 0)
        return Mismatch;
    if (a > 0 && m_count >= maxImages)
        return Full;
    const int before = m_count;
    const int after = m_count + a;
    if (after == 0) {
        reset();
        if (exactMean)
            exactMean->clear();
        return Done;
    }
    const size_t pixels = size_t(w) * size_t(h);
    try {
        if (before == 0) {
            m_remainder.assign(pixels, 0);
            if (exactMean)
                exactMean->assign(pixels, 0.0f);
            mean = QImage(w, h, QImage::Format_Grayscale8);
            if (mean.isNull())
                throw std::bad_alloc();
        } else if (exactMean && exactMean->size() != pixels) {
            exactMean->assign(pixels, 0.0f);
        }
    } catch (const std::bad_alloc&) {
        m_remainder.clear();
        return OutOfMemory;
    }
    m_width = w;
    m_height = h;
    m_count = after;
    std::vector<int> grey;
    for (int y = 0; y < h; ++y) {
        greyRow(image, y, grey);
        uchar* line = mean.scanLine(y);
        uint8_t* rest = m_remainder.data() + size_t(y) * size_t(w);
        float* exact = exactMean ? exactMean->data() + size_t(y) * size_t(w) : nullptr;
        for (int x = 0; x < w; ++x) {
            const int old = before > 0 ? before * line[x] + rest[x] : 0;
            int sum = old + a * grey[size_t(x)];
            if (sum < 0)
                sum = 0;
            line[x] = uchar(sum / after);
            rest[x] = uint8_t(sum % after);
            if (exact)
                exact[x] = float(sum) / float(after);
        }
    }
    return Done;
}

void ZelMeanImageAccumulator::reset()
{
    std::vector<uint8_t>().swap(m_remainder);
    m_count = 0;
    m_width = 0;
    m_height = 0;
}
