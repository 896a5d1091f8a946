#include "ZelDefectImageSet.h"

#include <new>

namespace {

// Box mean of `count` values spaced `stride` apart: the window runs from
// 9 before to 10 after each value, clipped to the line.
void boxMean(const int* in, int* out, int count, int stride)
{
    std::vector<long long> prefix(size_t(count) + 1, 0);
    for (int i = 0; i < count; ++i)
        prefix[size_t(i) + 1] = prefix[size_t(i)] + in[size_t(i) * stride];
    for (int j = 0; j < count; ++j) {
        const int lo = j - 9 < 0 ? 0 : j - 9;
        const int hi = j + 10 > count - 1 ? count - 1 : j + 10;
        out[size_t(j) * stride] = int((prefix[size_t(hi) + 1] - prefix[size_t(lo)]) / (hi - lo + 1));
    }
}

} // namespace

int ZelDefectImageSet::grey(const QImage& image, int x, int y)
{
    const uchar* line = image.constScanLine(y);
    if (image.depth() == 8)
        return line[x];
    const QRgb rgb = reinterpret_cast<const QRgb*>(line)[x];
    return (qRed(rgb) + qGreen(rgb) + qBlue(rgb)) / 3;
}

bool ZelDefectImageSet::accumulate(QImage& mean, const QImage& image, int delta)
{
    if (mean.size() != image.size())
        return false;
    const int before = m_number;
    const int after = before + delta;
    if (after < 0 || after > maxImages)
        return false;
    if (after == 0) {
        reset();
        return true;
    }
    if (image.format() == mean.format() && image == mean) {
        m_number = after;
        return true;
    }
    const size_t w = size_t(mean.width()), h = size_t(mean.height());
    if (m_remainder.size() != w * h) {
        try {
            m_remainder.assign(w * h, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    m_number = after;
    for (size_t y = 0; y < h; ++y) {
        uchar* meanLine = mean.scanLine(int(y));
        quint8* rest = m_remainder.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            const qint64 total = qint64(before) * meanLine[x] + rest[x] + qint64(delta) * grey(image, int(x), int(y));
            const quint32 sum = total < 0 ? 0u : quint32(total);
            rest[x] = quint8(sum % quint32(after));
            meanLine[x] = uchar(sum / quint32(after));
        }
    }
    return true;
}

bool ZelDefectImageSet::detectDefects(const QImage& mean, bool absolute)
{
    if (mean.isNull())
        return false;
    const int w = mean.width(), h = mean.height();
    const size_t pixels = size_t(w) * size_t(h);
    std::vector<int> values(pixels), rows(pixels), local(pixels);
    if (m_flags.size() != pixels || m_flagWidth != w) {
        m_flags.assign(pixels, 0);
        m_flagWidth = w;
        m_flagHeight = h;
    }
    for (int y = 0; y < h; ++y) {
        const uchar* line = mean.constScanLine(y);
        for (int x = 0; x < w; ++x)
            values[size_t(y) * w + x] = line[x];
    }
    for (int y = 0; y < h; ++y)
        boxMean(&values[size_t(y) * w], &rows[size_t(y) * w], w, 1);
    for (int x = 0; x < w; ++x)
        boxMean(&rows[size_t(x)], &local[size_t(x)], h, w);
    for (size_t i = 0; i < pixels; ++i) {
        const int m = local[i];
        const int d = absolute ? absoluteThreshold : int(m * (relativeThreshold * 0.01));
        const int p = values[i];
        m_flags[i] = (p < m - d || p > m + d) ? 0xFF : 0;
    }
    return true;
}

bool ZelDefectImageSet::isDefect(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_flagWidth || y >= m_flagHeight)
        return false;
    return m_flags[size_t(y) * m_flagWidth + x] == 0xFF;
}

void ZelDefectImageSet::reset()
{
    std::vector<quint8>().swap(m_flags);
    std::vector<quint8>().swap(m_remainder);
    m_flagWidth = m_flagHeight = 0;
    m_number = 0;
}
