#include "ZelBlockShadingMap.h"
#include "ZelMeanImageAccumulator.h"
#include "ZelNUShadingMap.h"
#include "ZelShadingImageSet.h"
#include "ShadingTestImages.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <limits>

namespace {

QImage indexed(int w, int h, const std::function<int(int, int)>& value)
{
    return zeltest::greyIndexed(w, h, value);
}

QImage flat(int w, int h, int value)
{
    return indexed(w, h, [value](int, int) { return value; });
}

QImage rgb(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage grey8(int w, int h, const std::function<int(int, int)>& value)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = uchar(value(x, y));
    return image;
}

// Both accumulators behind one face: the block tool's and the set of the
// non-uniform tool, which also keeps the float mean.
struct Accumulators {
    ZelMeanImageAccumulator block;
    ZelShadingImageSet set;
    QImage blockMean, setMean;

    void add(const QImage& image, int a = 1)
    {
        ASSERT_EQ(block.accumulate(blockMean, image, a), ZelMeanImageAccumulator::Done);
        ASSERT_EQ(set.accumulate(setMean, image, a), ZelMeanImageAccumulator::Done);
    }
    // Mean and remainder of one pixel, the same in both.
    void expectPixel(int x, int y, int mean, int remainder, float exact)
    {
        const size_t i = size_t(y) * size_t(block.width()) + size_t(x);
        EXPECT_EQ(qGray(blockMean.pixel(x, y)), mean);
        EXPECT_EQ(qGray(setMean.pixel(x, y)), mean);
        EXPECT_EQ(block.remainder()[i], remainder);
        EXPECT_EQ(set.remainder()[i], remainder);
        EXPECT_FLOAT_EQ(set.mean()[i], exact);
    }
};

} // namespace

struct AccumulatorCase {
    const char* name;
    std::vector<int> added;
    int removed;
    int mean, remainder;
    float exact;
    int meanAfter, remainderAfter;
    float exactAfter;
};

class AccumulatorTable : public ::testing::TestWithParam<AccumulatorCase> {};

TEST_P(AccumulatorTable, AddThenRemoveIsExact)
{
    const AccumulatorCase& c = GetParam();
    Accumulators acc;
    for (int v : c.added)
        acc.add(flat(2, 2, v));
    acc.expectPixel(1, 1, c.mean, c.remainder, c.exact);
    acc.add(flat(2, 2, c.removed), -1);
    acc.expectPixel(1, 1, c.meanAfter, c.remainderAfter, c.exactAfter);
}

INSTANTIATE_TEST_SUITE_P(Shading, AccumulatorTable,
                         ::testing::Values(AccumulatorCase{"ten_eleven_eleven", {10, 11, 11}, 11, 10, 2, 32.0f / 3, 10, 1, 10.5f},
                                           AccumulatorCase{"ten_twenty_thirty", {10, 20, 30}, 30, 20, 0, 20.0f, 15, 0, 15.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShadingAccumulator, RgbGreyIsIntegerSoRemovingRestoresTheMean)
{
    Accumulators acc;
    acc.add(flat(3, 2, 10));
    // (0 + 0 + 11) / 3 counts as 3, not 3.67.
    acc.add(rgb(3, 2, qRgb(0, 0, 11)));
    acc.expectPixel(2, 1, 6, 1, 6.5f);
    acc.add(rgb(3, 2, qRgb(0, 0, 11)), -1);
    acc.expectPixel(2, 1, 10, 0, 10.0f);
    EXPECT_EQ(acc.block.count(), 1);
}

TEST(ShadingAccumulator, TheTwoHundredFiftySeventhImageIsRefused)
{
    ZelMeanImageAccumulator block;
    ZelShadingImageSet set;
    QImage blockMean, setMean;
    const QImage image = flat(1, 1, 255);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(block.accumulate(blockMean, image, 1), ZelMeanImageAccumulator::Done);
        ASSERT_EQ(set.accumulate(setMean, image, 1), ZelMeanImageAccumulator::Done);
    }
    EXPECT_EQ(block.accumulate(blockMean, image, 1), ZelMeanImageAccumulator::Full);
    EXPECT_EQ(set.accumulate(setMean, image, 1), ZelMeanImageAccumulator::Full);
    EXPECT_EQ(block.count(), 256);
    EXPECT_EQ(set.number(), 256);
    EXPECT_EQ(qGray(blockMean.pixel(0, 0)), 255);
    EXPECT_EQ(block.remainder()[0], 0);
}

TEST(ShadingAccumulator, RowsWithPaddingAreReadByRow)
{
    // 41 pixels a row: indexed rows are padded to 44 bytes.
    const auto value = [](int x, int y) { return x + 60 * y; };
    QImage colour(41, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 41; ++x)
            colour.setPixel(x, y, qRgb(value(x, y), value(x, y), value(x, y)));
    for (const QImage& image : {indexed(41, 3, value), colour}) {
        Accumulators acc;
        acc.add(image);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 41; ++x)
                acc.expectPixel(x, y, value(x, y), 0, float(value(x, y)));
    }
}

TEST(ShadingAccumulator, RemovingTheLastImageEmptiesTheSet)
{
    Accumulators acc;
    acc.add(flat(4, 4, 7));
    acc.add(flat(4, 4, 7), -1);
    EXPECT_EQ(acc.block.count(), 0);
    EXPECT_TRUE(acc.block.remainder().empty());
    EXPECT_TRUE(acc.set.mean().empty());
    EXPECT_EQ(acc.set.width(), 0);
    // An image of another size is refused while images are held.
    acc.add(flat(4, 4, 7));
    EXPECT_EQ(acc.block.accumulate(acc.blockMean, flat(5, 4, 7), 1), ZelMeanImageAccumulator::Mismatch);
    EXPECT_EQ(acc.block.count(), 1);
}

// ---- block map ----

TEST(BlockShadingMap, GridTakesOnlyThePixelsInsideTheImage)
{
    // 40 × 20: 3 × 2 blocks; the right blocks hold 8 columns, the lower 4 rows.
    const QImage mean = grey8(40, 20, [](int x, int y) { return y >= 16 ? 50 : x >= 32 ? 100 : 200; });
    const ZelBlockShadingMap map = ZelBlockShadingMap::generate(mean, 0, 0);
    EXPECT_EQ(map.columns, 3);
    EXPECT_EQ(map.rows, 2);
    EXPECT_EQ(map.gains, (std::vector<float>{1, 1, 2, 4, 4, 4}));
}

TEST(BlockShadingMap, ShiftedGridStartsLeftOfTheImage)
{
    // Register value 5 gives offset 11: the first block covers columns 0..4.
    const int offset = (-5) & 15;
    ASSERT_EQ(offset, 11);
    const QImage mean = grey8(16, 16, [](int x, int) { return x <= 4 ? 100 : 200; });
    const ZelBlockShadingMap map = ZelBlockShadingMap::generate(mean, offset, 0);
    EXPECT_EQ(map.columns, 2);
    EXPECT_EQ(map.rows, 1);
    EXPECT_EQ(map.gains, (std::vector<float>{2, 1}));
}

TEST(BlockShadingMap, DarkBlockGetsTheBrightestLevel)
{
    const QImage mean = grey8(32, 16, [](int x, int) { return x < 16 ? 0 : 150; });
    const ZelBlockShadingMap map = ZelBlockShadingMap::generate(mean, 0, 0);
    EXPECT_EQ(map.gains, (std::vector<float>{150, 1}));
}

TEST(BlockShadingMap, UniformImageExportsOnes)
{
    const ZelBlockShadingMap map = ZelBlockShadingMap::generate(grey8(32, 32, [](int, int) { return 80; }), 0, 0);
    EXPECT_EQ(map.toText(), QStringLiteral("2; 2; \n1; 1; \n1; 1; \n"));
}

TEST(BlockShadingMap, PacksTwoGainsPerWordInCameraOrder)
{
    ZelBlockShadingMap map;
    map.columns = 3;
    map.rows = 1;
    map.gains = {1.0f, 2.0f, 16.0f};
    EXPECT_EQ(map.pack(false).toHex(), QByteArray("00200010" "0000ffff"));
    EXPECT_EQ(map.pack(true).toHex(), QByteArray("10002000" "ffff0000"));
    EXPECT_EQ(ZelBlockShadingMap::gainCode(-1.0f), 0);
    EXPECT_EQ(ZelBlockShadingMap::gainCode(1.0f), 0x1000);
}

struct ImportCase {
    const char* name;
    QString text;
    ZelBlockShadingMap::ParseResult result;
    int columns, rows;
};

class BlockMapImport : public ::testing::TestWithParam<ImportCase> {};

TEST_P(BlockMapImport, AcceptsOnlyWholeFiniteMapsWithinTheGrid)
{
    const ImportCase& c = GetParam();
    ZelBlockShadingMap map;
    map.columns = 1;
    map.rows = 1;
    map.gains = {3.0f};
    EXPECT_EQ(map.parse(c.text, 80, 64), c.result);
    EXPECT_EQ(map.columns, c.columns);
    EXPECT_EQ(map.rows, c.rows);
    EXPECT_EQ(map.count(), c.columns * c.rows);
}

QString overflowingProduct()
{
    // 65537 × 65537 wraps to 131073 in 32 bits.
    QString text = QStringLiteral("65537; 65537; ");
    for (int i = 0; i < 131073; ++i)
        text += QStringLiteral("1; ");
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Shading, BlockMapImport,
    ::testing::Values(ImportCase{"whole", "2; 1; 1.5; 2", ZelBlockShadingMap::ParseResult::Loaded, 2, 1},
                      ImportCase{"spaced", "  2 ; 1 ;\n 1.5 ;\n 2 ;  ", ZelBlockShadingMap::ParseResult::Loaded, 2, 1},
                      ImportCase{"unreadable_gain_is_zero", "1; 1; x", ZelBlockShadingMap::ParseResult::Loaded, 1, 1},
                      ImportCase{"short", "2; 1; 1.5", ZelBlockShadingMap::ParseResult::BadCounts, 1, 1},
                      ImportCase{"comment", "# 1; 1; 1", ZelBlockShadingMap::ParseResult::Comment, 1, 1},
                      ImportCase{"negative", "-1; -2; 1; 1", ZelBlockShadingMap::ParseResult::BadCounts, 1, 1},
                      ImportCase{"two_fields", "1; 1", ZelBlockShadingMap::ParseResult::TooFewFields, 1, 1},
                      ImportCase{"overflowing_product", overflowingProduct(), ZelBlockShadingMap::ParseResult::BadCounts, 1, 1},
                      ImportCase{"wider_than_sensor", "81; 1; " + QString("1; ").repeated(81),
                                 ZelBlockShadingMap::ParseResult::TooLarge, 1, 1},
                      ImportCase{"nan", "2; 1; 1; nan", ZelBlockShadingMap::ParseResult::NotFinite, 1, 1},
                      ImportCase{"inf", "2; 1; inf; 1", ZelBlockShadingMap::ParseResult::NotFinite, 1, 1},
                      ImportCase{"beyond_float", "2; 1; 1e40; 1", ZelBlockShadingMap::ParseResult::NotFinite, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockShadingMap, TextRoundTrip)
{
    ZelBlockShadingMap map;
    map.columns = 2;
    map.rows = 2;
    map.gains = {1.0f, 1.5f, 2.25f, 1.33333f};
    ZelBlockShadingMap read;
    ASSERT_EQ(read.parse(map.toText(), 0, 0), ZelBlockShadingMap::ParseResult::Loaded);
    EXPECT_EQ(read.columns, 2);
    EXPECT_EQ(read.rows, 2);
    EXPECT_EQ(read.gains, map.gains);
}

// ---- non-uniform maps ----

struct OffsetCase {
    float dark;
    quint16 target;
    float offset;
};

class NUOffsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(NUOffsets, ClampedQuarterSteps)
{
    const OffsetCase& c = GetParam();
    EXPECT_FLOAT_EQ(ZelShadingImageSet::offsetOf(c.dark, 4, 64, c.target), c.offset);
}

INSTANTIATE_TEST_SUITE_P(Shading, NUOffsets,
                         ::testing::Values(OffsetCase{4.0f, 16, 0.0f}, OffsetCase{4.2f, 16, 0.0f},
                                           OffsetCase{4.3f, 16, 0.25f}, OffsetCase{20.0f, 16, 15.75f},
                                           OffsetCase{250.0f, 16, 0.0f}, OffsetCase{2.5f, 0, 2.5f}));

TEST(NUShading, GainsLiftToTheTargetWithinOneAndTwo)
{
    ZelShadingImageSet bright;
    QImage mean;
    ASSERT_EQ(bright.accumulate(mean, indexed(2, 1, [](int x, int) { return x ? 250 : 100; }), 1),
              ZelMeanImageAccumulator::Done);
    // Less the offsets the pixels read 100 and 300: average 200, target 220.
    const std::vector<float> offsets{0.0f, -50.0f};
    std::vector<float> gains, again;
    ASSERT_TRUE(bright.computeGain(offsets, gains));
    EXPECT_EQ(gains, (std::vector<float>{2.0f, 1.0f}));
    ASSERT_TRUE(bright.computeGain(offsets, again));
    EXPECT_EQ(again, gains);
    EXPECT_FALSE(bright.computeGain({}, gains));
}

struct TargetCase {
    const char* name;
    std::function<int(int, int)> bright;  // over 40 x 30 pixels, dark 16 everywhere
    float target;                         // the level every pixel is lifted to
    int exceptions;                       // pixels that cannot reach it
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class NUGainTarget : public ::testing::TestWithParam<TargetCase> {};

// Gains below 1 cannot be written: the target is at least the level of the
// brightest pixels, so that a strong fall-off comes out flat; a few hot
// pixels do not raise it.
TEST_P(NUGainTarget, GainTimesLevelIsFlat)
{
    const TargetCase& c = GetParam();
    const int w = 40, h = 30;
    ZelShadingImageSet dark, bright;
    QImage darkMean, brightMean;
    ASSERT_EQ(dark.accumulate(darkMean, flat(w, h, 16), 1), ZelMeanImageAccumulator::Done);
    ASSERT_EQ(bright.accumulate(brightMean, indexed(w, h, c.bright), 1), ZelMeanImageAccumulator::Done);
    const std::vector<float> offsets = dark.computeOffsets();
    ASSERT_EQ(offsets, std::vector<float>(size_t(w * h), 12.0f));
    std::vector<float> gains;
    ASSERT_TRUE(bright.computeGain(offsets, gains));
    int off = 0;
    for (size_t i = 0; i < gains.size(); ++i) {
        const float corrected = gains[i] * (bright.mean()[i] - offsets[i]);
        if (std::abs(corrected - c.target) > 1e-3f * c.target)
            ++off;
        EXPECT_GE(gains[i], 1.0f);
        EXPECT_LE(gains[i], 2.0f);
    }
    EXPECT_EQ(off, c.exceptions) << c.name;
}

// A fall-off from 200 in the centre to 120 in the corners, as a lens gives.
int vignette(int x, int y)
{
    const double dx = x - 19.5, dy = y - 14.5;
    return int(std::lround(200.0 - 80.0 * (dx * dx + dy * dy) / (19.5 * 19.5 + 14.5 * 14.5)));
}

INSTANTIATE_TEST_SUITE_P(
    Shading, NUGainTarget,
    ::testing::Values(
        // Within 10 %: 1.1 times the average (98 and 108 after the offset).
        TargetCase{"mild", [](int x, int) { return x < 20 ? 110 : 120; }, 1.1f * 103.0f, 0},
        // The centre lies more than 10 % above the average: all meet it.
        TargetCase{"vignette", vignette, 188.0f, 0},
        // One hot pixel stays above; the rest meet the centre.
        TargetCase{"vignette and a hot pixel", [](int x, int y) { return x == 3 && y == 4 ? 255 : vignette(x, y); },
                   188.0f, 1}),
    [](const ::testing::TestParamInfo<TargetCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST(NUShading, DarkAndBrightSetsGiveTheSameMapTwice)
{
    ZelShadingImageSet dark, bright;
    QImage darkMean, brightMean;
    for (int v : {10, 12, 14})
        ASSERT_EQ(dark.accumulate(darkMean, flat(3, 2, v), 1), ZelMeanImageAccumulator::Done);
    ASSERT_EQ(bright.accumulate(brightMean, indexed(3, 2, [](int x, int) { return 100 + 50 * x; }), 1),
              ZelMeanImageAccumulator::Done);
    const std::vector<float> offsets = dark.computeOffsets();
    EXPECT_EQ(offsets, std::vector<float>(6, 8.0f));
    std::vector<float> first, second;
    ASSERT_TRUE(bright.computeGain(offsets, first));
    ASSERT_TRUE(bright.computeGain(dark.computeOffsets(), second));
    EXPECT_EQ(first, second);
    EXPECT_FLOAT_EQ(bright.mean()[0], 100.0f);
}

TEST(NUShading, WordsCarryOffsetAndGainCodes)
{
    EXPECT_EQ(ZelNUShadingMap::word(2.5f, 1.5f), 0x2A00);
    EXPECT_EQ(ZelNUShadingMap::word(0.25f, 1.0f), 0x0400);
    EXPECT_EQ(ZelNUShadingMap::word(20.0f, 1.0f) >> 10, 63);
    EXPECT_EQ(ZelNUShadingMap::word(0.0f, 0.9f), 0);
    EXPECT_EQ(ZelNUShadingMap::word(0.0f, 2.0f), 1023);
    ZelNUShadingMap map;
    map.width = 2;
    map.height = 1;
    map.offsets = {0.25f, 2.5f};
    map.gains = {1.0f, 1.5f};
    EXPECT_EQ(map.pack(true).toHex(), QByteArray("04002a00"));
    EXPECT_EQ(map.pack(false).toHex(), QByteArray("0004002a"));
}

class NUMapFile : public ::testing::Test
{
protected:
    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString("map%1.bin").arg(++files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QByteArray header(qint32 w, qint32 h)
    {
        QByteArray b(8, '\0');
        qToLittleEndian(w, reinterpret_cast<uchar*>(b.data()));
        qToLittleEndian(h, reinterpret_cast<uchar*>(b.data()) + 4);
        return b;
    }
    static QByteArray pixel(float offset, float gain)
    {
        QByteArray b(8, '\0');
        qToLittleEndian(offset, reinterpret_cast<uchar*>(b.data()));
        qToLittleEndian(gain, reinterpret_cast<uchar*>(b.data()) + 4);
        return b;
    }
    QTemporaryDir dir;
    int files = 0;
};

TEST_F(NUMapFile, TwoByOneMapIsTwentyFourBytes)
{
    ZelNUShadingMap map;
    map.width = 2;
    map.height = 1;
    map.offsets = {0.25f, 1.5f};
    map.gains = {1.5f, 2.0f};
    const QString path = dir.filePath("two.bin");
    ASSERT_TRUE(map.save(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), header(2, 1) + pixel(0.25f, 1.5f) + pixel(1.5f, 2.0f));
    ZelNUShadingMap read;
    ASSERT_EQ(read.load(path), ZelNUShadingMap::LoadResult::Loaded);
    EXPECT_EQ(read.width, 2);
    EXPECT_EQ(read.height, 1);
    EXPECT_EQ(read.offsets, map.offsets);
    EXPECT_EQ(read.gains, map.gains);
}

TEST_F(NUMapFile, BadFilesAreRefusedAndChangeNothing)
{
    using R = ZelNUShadingMap::LoadResult;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        QByteArray bytes;
        R result;
    } cases[] = {
        {"truncated", header(2, 1) + pixel(1, 1), R::Truncated},
        {"short header", QByteArray(6, '\1'), R::BadHeader},
        {"zero width", header(0, 1), R::BadHeader},
        {"negative height", header(1, -1) + pixel(1, 1), R::BadHeader},
        {"overflowing", header(0x7FFFFFFF, 0x7FFFFFFF) + pixel(1, 1), R::BadHeader},
        {"nan offset", header(1, 1) + pixel(nan, 1), R::NotFinite},
        {"infinite gain", header(1, 1) + pixel(0, std::numeric_limits<float>::infinity()), R::NotFinite},
    };
    for (const auto& c : cases) {
        ZelNUShadingMap map;
        map.width = 1;
        map.height = 1;
        map.offsets = {3.0f};
        map.gains = {1.25f};
        EXPECT_EQ(map.load(write(c.bytes)), c.result) << c.name;
        EXPECT_EQ(map.width, 1) << c.name;
        EXPECT_EQ(map.gains, std::vector<float>{1.25f}) << c.name;
    }
    ZelNUShadingMap map;
    EXPECT_EQ(map.load(dir.filePath("missing.bin")), R::OpenFailed);
}

TEST_F(NUMapFile, SaveReportsWriteErrors)
{
    ZelNUShadingMap map;
    map.width = 1;
    map.height = 1;
    map.offsets = {0};
    map.gains = {1};
    // /dev/full opens but takes no byte.
    EXPECT_FALSE(map.save(QStringLiteral("/dev/full")));
    EXPECT_FALSE(ZelNUShadingMap().save(dir.filePath("empty.bin")));
    EXPECT_FALSE(map.save(dir.filePath("no/such/folder/map.bin")));
}
