#include "ZelDefectImageSet.h"

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

bool ZelDefectImageSet::accumulate(QImage& mean, const QImage& image, int delta)
{
    if (mean.size() != image.size())
        return false;
    if (m_accumulator.accumulate(mean, image, delta) != ZelMeanImageAccumulator::Done)
        return false;
    if (m_accumulator.count() == 0)
        reset();
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
    m_accumulator.reset();
    m_flagWidth = m_flagHeight = 0;
}
