#include "SimImageFile.h"
#include "SimImages.h"
#include "SimPixelFormat.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace PF = SimPixelFormat;
using SimConvert::Image;
using simtest::image;
using simtest::packed;
using simtest::words;

namespace {

struct Files : ::testing::Test {
    QTemporaryDir dir;
    std::string path(const char* name) const { return QFile::encodeName(dir.filePath(name)).toStdString(); }
};

} // namespace

TEST_F(Files, RawIsTheImageBytes)
{
    const std::vector<uint8_t> bytes{1, 2, 3, 4, 5, 6};
    for (uint32_t type : {uint32_t(PF::Mono8), uint32_t(PF::Mono10Packed), uint32_t(PF::RGB8)}) {
        ASSERT_EQ(SimImageFile::save(image(bytes, 2, 1, type), path("a.raw").c_str(), SimImageFile::Raw), 0);
        QFile f(dir.filePath("a.raw"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("\1\2\3\4\5\6", 6));
    }
}

TEST_F(Files, PngMonoEightAndSixteenBits)
{
    const std::vector<uint8_t> mono8{0, 100, 200, 255};
    ASSERT_EQ(SimImageFile::save(image(mono8, 2, 2, PF::Mono8), path("m8.png").c_str(), SimImageFile::Png), 0);
    QImage a(dir.filePath("m8.png"));
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(qGray(a.pixel(1, 0)), 100);
    EXPECT_EQ(qGray(a.pixel(1, 1)), 255);

    // Mono12 0xABC is stored MSB aligned as 0xABC0; SDK type 0x103 is accepted.
    const std::vector<uint8_t> mono12{0xBC, 0x0A, 0x01, 0x00};
    ASSERT_EQ(SimImageFile::save(image(mono12, 2, 1, 0x103), path("m12.png").c_str(), SimImageFile::Png), 0);
    QImage b(dir.filePath("m12.png"));
    ASSERT_EQ(b.format(), QImage::Format_Grayscale16);
    const quint16* line = reinterpret_cast<const quint16*>(b.constScanLine(0));
    EXPECT_EQ(line[0], 0xABC0);
    EXPECT_EQ(line[1], 0x0010);

    // 12-bit packed mono: 0xABC, 0x123.
    const std::vector<uint8_t> packed{0xAB, 0x3C, 0x12};
    ASSERT_EQ(SimImageFile::save(image(packed, 2, 1, PF::Mono12Packed), path("p12.png").c_str(), SimImageFile::Png), 0);
    QImage c(dir.filePath("p12.png"));
    line = reinterpret_cast<const quint16*>(c.constScanLine(0));
    EXPECT_EQ(line[0], 0xABC0);
    EXPECT_EQ(line[1], 0x1230);
}

TEST_F(Files, BmpMonoIsIndexedGreyAndColourIsRgb)
{
    const std::vector<uint8_t> mono16{0x00, 0xFF, 0x00, 0x80};  // 0xFF00, 0x8000
    ASSERT_EQ(SimImageFile::save(image(mono16, 2, 1, PF::Mono16), path("m16.bmp").c_str(), SimImageFile::Bmp), 0);
    QImage a(dir.filePath("m16.bmp"));
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.format(), QImage::Format_Indexed8);
    EXPECT_EQ(a.pixelIndex(0, 0), 0xFF);
    EXPECT_EQ(a.pixelIndex(1, 0), 0x80);
    EXPECT_EQ(a.color(0x80), qRgb(0x80, 0x80, 0x80));

    // BayerRG8 whose sites hold red 200, green 100, blue 30 everywhere.
    const std::vector<uint8_t> bayer{200, 100, 200, 100, 100, 30, 100, 30};
    for (auto [name, type] : {std::pair<const char*, int>{"c.bmp", SimImageFile::Bmp}, {"c.png", SimImageFile::Png}}) {
        ASSERT_EQ(SimImageFile::save(image(bayer, 4, 2, PF::BayerRG8), path(name).c_str(), type), 0);
        QImage c(dir.filePath(name));
        ASSERT_FALSE(c.isNull()) << name;
        EXPECT_FALSE(c.isGrayscale()) << name;
        EXPECT_EQ(c.pixel(0, 0), qRgb(200, 100, 30)) << name;
        EXPECT_EQ(c.pixel(3, 1), qRgb(200, 100, 30)) << name;
    }
}

TEST_F(Files, Failures)
{
    const std::vector<uint8_t> bytes(12, 7);
    Image none = image(bytes, 2, 2, PF::Mono8);
    none.pixels = nullptr;
    EXPECT_EQ(SimImageFile::save(none, path("x.png").c_str(), SimImageFile::Png), -1006);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::Mono8), path("x.png").c_str(), 3), -1006);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::Mono8), path("x.png").c_str(), -1), -1006);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::Mono10Packed), path("x.png").c_str(), SimImageFile::Png), -1009);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::RGB8), path("x.bmp").c_str(), SimImageFile::Bmp), -1009);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, 0x104), path("x.bmp").c_str(), SimImageFile::Bmp), -1009);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::Mono8), path("missing/x.png").c_str(), SimImageFile::Png), -1013);
    EXPECT_EQ(SimImageFile::save(image(bytes, 2, 2, PF::Mono8), path("missing/x.raw").c_str(), SimImageFile::Raw), -1013);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.bmp")));
}
