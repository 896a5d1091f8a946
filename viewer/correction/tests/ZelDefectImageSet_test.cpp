// Exact running means of dark and bright images and the detection of the
// pixels that stand out of their neighbourhood.
#include "ZelDefectImageSet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QImage grey(int w, int h, int value)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(uint(value));
    return image;
}

QImage indexed(int w, int h, int value)
{
    QImage image(w, h, QImage::Format_Indexed8);
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(255 - i, 0, i); // not grey: the index counts, not the colour
    image.setColorTable(palette);
    image.fill(uint(value));
    return image;
}

QImage rgb(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

int at(const QImage& image, int x, int y)
{
    return image.constScanLine(y)[x];
}

std::vector<QPoint> defects(const ZelDefectImageSet& set, int w, int h)
{
    std::vector<QPoint> found;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (set.isDefect(x, y))
                found.push_back(QPoint(x, y));
    return found;
}

} // namespace

TEST(ZelDefectImageSet, MeanAndRemainderAreExact)
{
    ZelDefectImageSet set;
    QImage mean = grey(4, 2, 0);
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 10), +1));
    EXPECT_EQ(at(mean, 0, 0), 10);
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 11), +1));
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 11), +1));
    EXPECT_EQ(set.number(), 3);
    EXPECT_EQ(at(mean, 3, 1), 10); // 32 = 3 × 10 + 2
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 11), -1));
    EXPECT_EQ(at(mean, 3, 1), 10); // 21 = 2 × 10 + 1
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 10), -1));
    EXPECT_EQ(at(mean, 3, 1), 11);
    ASSERT_TRUE(set.accumulate(mean, indexed(4, 2, 11), -1));
    EXPECT_EQ(set.number(), 0);
}

TEST(ZelDefectImageSet, RgbImagesCountAsIntegerGreyAndLeaveExactly)
{
    struct Case {
        const char* what;
        QRgb first;
        QRgb second;
        int meanOfBoth;
    };
    const Case cases[] = {
        {"grey 200 and 100.33", qRgb(200, 200, 200), qRgb(100, 100, 101), 150},
        {"thirds truncated", qRgb(1, 1, 0), qRgb(2, 2, 1), 0},
        {"white and black", qRgb(255, 255, 255), qRgb(0, 0, 0), 127},
    };
    for (const Case& c : cases) {
        ZelDefectImageSet set;
        QImage mean = grey(3, 3, 0);
        ASSERT_TRUE(set.accumulate(mean, rgb(3, 3, c.first), +1)) << c.what;
        const int first = at(mean, 1, 1);
        EXPECT_EQ(first, (qRed(c.first) + qGreen(c.first) + qBlue(c.first)) / 3) << c.what;
        ASSERT_TRUE(set.accumulate(mean, rgb(3, 3, c.second), +1)) << c.what;
        EXPECT_EQ(at(mean, 1, 1), c.meanOfBoth) << c.what;
        ASSERT_TRUE(set.accumulate(mean, rgb(3, 3, c.second), -1)) << c.what;
        EXPECT_EQ(at(mean, 1, 1), first) << c.what;
    }
}

TEST(ZelDefectImageSet, RefusesWhatItCannotHold)
{
    ZelDefectImageSet set;
    QImage mean = grey(2, 2, 0);
    EXPECT_FALSE(set.accumulate(mean, indexed(3, 2, 1), +1)); // other size
    EXPECT_FALSE(set.accumulate(mean, indexed(2, 2, 1), -1)); // nothing to take out
    EXPECT_EQ(set.number(), 0);
    for (int i = 0; i < ZelDefectImageSet::maxImages; ++i)
        ASSERT_TRUE(set.accumulate(mean, indexed(2, 2, i % 2 ? 255 : 0), +1)) << i;
    EXPECT_EQ(at(mean, 0, 0), 127); // 128 × 255 = 256 × 127 + 128
    const QImage before = mean;
    EXPECT_FALSE(set.accumulate(mean, indexed(2, 2, 255), +1)); // a 257th: one remainder byte
    EXPECT_EQ(set.number(), ZelDefectImageSet::maxImages);
    EXPECT_EQ(mean, before);
}

TEST(ZelDefectImageSet, RowPaddingIsNotAPixel)
{
    // 41 columns of 8-bit pixels: each row is padded to 44 bytes.
    ZelDefectImageSet set;
    QImage mean = grey(41, 3, 0);
    QImage image = indexed(41, 3, 50);
    image.setPixel(40, 1, 90);
    ASSERT_GT(mean.bytesPerLine(), 41);
    ASSERT_TRUE(set.accumulate(mean, image, +1));
    EXPECT_EQ(at(mean, 40, 1), 90);
    EXPECT_EQ(at(mean, 0, 2), 50);
    set.absoluteThreshold = 16;
    ASSERT_TRUE(set.detectDefects(mean, true));
    const auto found = defects(set, 41, 3);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], QPoint(40, 1));
}

TEST(ZelDefectImageSet, Detection)
{
    struct Case {
        const char* what;
        int w, h;
        int background;
        int value;          // of the pixel at (x, y)
        int x, y;
        bool absolute;
        int threshold;
        bool defect;
    };
    const Case cases[] = {
        // In a 40 × 40 image of 100 the local mean at the centre stays 100.
        {"dark 117 over 100 by more than 16", 40, 40, 100, 117, 20, 20, true, 16, true},
        {"dark 116: exactly 16 is no defect", 40, 40, 100, 116, 20, 20, true, 16, false},
        {"dark 82 under 100 (local mean 99)", 40, 40, 100, 82, 20, 20, true, 16, true},
        {"bright 225 over 200 by more than 24", 40, 40, 200, 225, 20, 20, false, 12, true},
        {"bright 224: exactly 12 % is no defect", 40, 40, 200, 224, 20, 20, false, 12, false},
        {"bright 175 under 200", 40, 40, 200, 175, 20, 20, false, 12, true},
        {"corner pixel", 40, 40, 100, 200, 0, 0, true, 16, true},
        {"one row", 30, 1, 100, 140, 10, 0, true, 16, true},
        {"one column", 1, 30, 100, 140, 0, 10, true, 16, true},
    };
    for (const Case& c : cases) {
        ZelDefectImageSet set;
        set.absoluteThreshold = c.threshold;
        set.relativeThreshold = c.threshold;
        QImage mean = grey(c.w, c.h, c.background);
        mean.scanLine(c.y)[c.x] = uchar(c.value);
        ASSERT_TRUE(set.detectDefects(mean, c.absolute)) << c.what;
        const auto found = defects(set, c.w, c.h);
        if (c.defect) {
            ASSERT_EQ(found.size(), 1u) << c.what;
            EXPECT_EQ(found[0], QPoint(c.x, c.y)) << c.what;
        } else {
            EXPECT_TRUE(found.empty()) << c.what;
        }
    }
    ZelDefectImageSet set;
    EXPECT_FALSE(set.detectDefects(QImage(), true));
}

TEST(ZelDefectImageSet, BoxMeanWindowRunsNineBeforeAndTenAfter)
{
    // One row 0 .. 29: at column 0 the window holds columns 0 .. 10 (mean 5),
    // at 15 columns 6 .. 25 (mean 15), at 29 columns 20 .. 29 (mean 24).
    // With threshold 4, column 0 (0 vs 5) and 29 (29 vs 24) are defects only
    // when the windows are exactly these.
    QImage ramp(30, 1, QImage::Format_Grayscale8);
    for (int x = 0; x < 30; ++x)
        ramp.scanLine(0)[x] = uchar(x);
    ZelDefectImageSet set;
    set.absoluteThreshold = 4;
    ASSERT_TRUE(set.detectDefects(ramp, true));
    EXPECT_TRUE(set.isDefect(0, 0));
    EXPECT_FALSE(set.isDefect(15, 0));
    EXPECT_TRUE(set.isDefect(29, 0));
    set.absoluteThreshold = 5;
    ASSERT_TRUE(set.detectDefects(ramp, true));
    EXPECT_FALSE(set.isDefect(0, 0));
    EXPECT_FALSE(set.isDefect(29, 0));
}
