#include "SimSdk.h"
#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t width = 16;
constexpr uint32_t height = 6;

class ZelSaveImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sdk.ready());
        ASSERT_TRUE(folder.isValid());
    }

    static ORV_BUFFER_INFO record(std::vector<uint8_t>& pixels, uint64_t pixelType)
    {
        ORV_BUFFER_INFO info;
        std::memset(&info, 0, sizeof info);
        info.pixels = pixels.data();
        info.width = width;
        info.height = height;
        info.size = uint32_t(pixels.size());
        info.pixelType = pixelType;
        return info;
    }

    void TearDown() override { EXPECT_TRUE(sdk.problems().isEmpty()) << sdk.problems().join('\n').toStdString(); }

    QByteArray contents(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    SimSdk sdk;
    // A folder and file names beyond Latin-1 reach the SDK as UTF-8.
    QTemporaryDir folder{QDir::tempPath() + QString::fromUtf8("/Bilder \xE2\x82\xAC \xE5\x86\x99\xE7\x9C\x9F-XXXXXX")};
};

TEST_F(ZelSaveImageTest, Mono8ReadsBackPixelForPixel)
{
    std::vector<uint8_t> pixels(width * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 5 + 3);
    const ORV_BUFFER_INFO image = record(pixels, 0x101); // the SDK's Mono8 type

    const QString base = folder.path() + QString::fromUtf8("/gr\xC3\xBC\xC3\x9F-\xE2\x82\xAC");
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".png", &image));
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".BMP", &image));
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".raw", &image));

    const QByteArray raw = contents(base + ".raw");
    ASSERT_EQ(raw.size(), int(pixels.size()));
    EXPECT_EQ(std::memcmp(raw.constData(), pixels.data(), pixels.size()), 0);

    for (const char* suffix : {".png", ".BMP"}) {
        SCOPED_TRACE(suffix);
        const QImage saved(base + suffix);
        ASSERT_FALSE(saved.isNull());
        ASSERT_EQ(saved.size(), QSize(int(width), int(height)));
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                ASSERT_EQ(qGray(saved.pixel(int(x), int(y))), pixels[y * width + x]) << x << "," << y;
    }
}

TEST_F(ZelSaveImageTest, Mono12KeepsItsBitsInPngAndRaw)
{
    std::vector<uint8_t> pixels(width * height * 2);
    std::vector<uint16_t> values(width * height);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = uint16_t((i * 37) & 0x0FFF);
        pixels[2 * i] = uint8_t(values[i]);
        pixels[2 * i + 1] = uint8_t(values[i] >> 8);
    }
    const ORV_BUFFER_INFO image = record(pixels, 0x103); // the SDK's Mono12 type
    const QString base = folder.path() + "/mono12";
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".png", &image));
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".bmp", &image));
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".raw", &image));

    EXPECT_EQ(contents(base + ".raw"), QByteArray(reinterpret_cast<const char*>(pixels.data()), int(pixels.size())));

    const QImage png = QImage(base + ".png").convertToFormat(QImage::Format_Grayscale16);
    const QImage bmp(base + ".bmp");
    ASSERT_EQ(png.size(), QSize(int(width), int(height)));
    ASSERT_EQ(bmp.size(), QSize(int(width), int(height)));
    for (uint32_t y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const uint16_t*>(png.constScanLine(int(y)));
        for (uint32_t x = 0; x < width; ++x) {
            const uint16_t value = values[y * width + x];
            ASSERT_EQ(line[x], uint16_t(value << 4)) << x << "," << y;
            ASSERT_EQ(qGray(bmp.pixel(int(x), int(y))), value >> 4) << x << "," << y;
        }
    }
}

TEST_F(ZelSaveImageTest, BayerSavesAsColour)
{
    // BayerRG8: red at (0,0), green at (1,0) and (0,1), blue at (1,1).
    std::vector<uint8_t> pixels(width * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            pixels[y * width + x] = (x % 2 == 0 && y % 2 == 0) ? 200 : (x % 2 == 1 && y % 2 == 1) ? 50 : 100;
    const ORV_BUFFER_INFO image = record(pixels, 0x01080009);
    const QString base = folder.path() + "/bayer";
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".png", &image));
    ASSERT_TRUE(ZelUtil::SaveImage(base + ".bmp", &image));
    for (const char* suffix : {".png", ".bmp"}) {
        SCOPED_TRACE(suffix);
        const QImage saved(base + suffix);
        ASSERT_EQ(saved.size(), QSize(int(width), int(height)));
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                ASSERT_EQ(saved.pixel(int(x), int(y)) & 0xFFFFFF, qRgb(200, 100, 50) & 0xFFFFFF) << x << "," << y;
    }
}

TEST_F(ZelSaveImageTest, FailuresAreReportedWithTheSdkCode)
{
    std::vector<uint8_t> pixels(width * height * 3 / 2);
    const ORV_BUFFER_INFO packed = record(pixels, 0x010C0004); // Mono10Packed
    sdk.control.reply("log.trace on");
    sdk.control.reply("log.trace.clear");
    EXPECT_FALSE(ZelUtil::SaveImage(folder.path() + "/packed.png", &packed));
    EXPECT_TRUE(ZelUtil::SaveImage(folder.path() + "/packed.raw", &packed));
    EXPECT_FALSE(ZelUtil::SaveImage(folder.path() + "/missing/folder.raw", &packed));
    EXPECT_FALSE(ZelUtil::SaveImage(folder.path() + "/none.png", nullptr));
    EXPECT_FALSE(ZelUtil::SaveImage(QString(), &packed));
    const QString log = QString::fromStdString(sdk.control.reply("log.trace.get"));
    EXPECT_TRUE(log.contains("ZelUtil::SaveImage Failed! OrvUtilSaveImageToFile:" + folder.path() + "/packed.png -1009"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("/missing/folder.raw -1013")) << log.toStdString();
    sdk.control.reply("log.trace off");
}

} // namespace
