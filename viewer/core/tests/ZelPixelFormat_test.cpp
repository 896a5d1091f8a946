#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct SdkTypeCase {
    uint32_t sdkType;
    uint32_t pfnc;
};

// Every mapped SDK type with its PFNC code.
const SdkTypeCase sdkTypes[] = {
    {0x101, 0x01080001}, {0x102, 0x01100003}, {0x103, 0x01100005}, {0x105, 0x01100007},
    {0x311, 0x01080008}, {0x312, 0x0110000C}, {0x313, 0x01100010}, {0x315, 0x0110002E},
    {0x321, 0x01080009}, {0x322, 0x0110000D}, {0x323, 0x01100011}, {0x325, 0x0110002F},
    {0x331, 0x0108000A}, {0x332, 0x0110000E}, {0x333, 0x01100012}, {0x335, 0x01100030},
    {0x341, 0x0108000B}, {0x342, 0x0110000F}, {0x343, 0x01100013}, {0x345, 0x01100031},
};

TEST(ZelPixelFormat, SdkTypesMapToPfncOnlyWithSecondWordZero)
{
    for (const SdkTypeCase& c : sdkTypes) {
        SCOPED_TRACE(c.sdkType);
        EXPECT_EQ(ZelUtil::GetStreamPixelFormat(c.sdkType, 0), uint64_t(c.pfnc));
        EXPECT_EQ(ZelUtil::GetStreamPixelFormat(c.sdkType, 1), (uint64_t(1) << 32) | c.sdkType);
    }
    for (uint32_t unmapped : {0x104u, 0x314u, 0x324u, 0x334u, 0x344u, 0x01080001u, 0u}) {
        SCOPED_TRACE(unmapped);
        EXPECT_EQ(ZelUtil::GetStreamPixelFormat(unmapped, 0), uint64_t(unmapped));
    }
}

struct FormatCase {
    uint64_t format;
    int bits;
    int maxValue;
    bool supported;
    bool colour;
};

const uint64_t high = uint64_t(1) << 32;

const FormatCase formats[] = {
    {0x01080001, 8, 255, true, false},    // Mono8
    {0x01100003, 16, 1023, true, false},  // Mono10
    {0x010C0004, 12, 1023, false, false}, // Mono10Packed: known, not displayed
    {0x01100005, 16, 4095, true, false},  // Mono12
    {0x010C0006, 12, 4095, true, false},  // Mono12Packed
    {0x01100007, 16, 65535, true, false}, // Mono16
    {0x01080008, 8, 255, true, true},     // BayerGR8
    {0x0108000B, 8, 255, true, true},     // BayerBG8
    {0x0110000D, 16, 1023, true, true},   // BayerRG10
    {0x01100012, 16, 4095, true, true},   // BayerGB12
    {0x010C002B, 12, 4095, true, true},   // BayerRG12Packed
    {0x01100031, 16, 65535, true, true},  // BayerBG16
    {0x02180000, 24, 0, true, true},      // colour without PFNC name
    {0x02180014, 24, 0, false, true},     // RGB8: colour, not displayed
    {0x010C0026, 12, 0, false, true},     // BayerGR10Packed
    {0x010A0058, 10, 0, false, true},     // BayerRG10p
    // Mono formats with pixel ids of 8 and more are not colour.
    {0x010A0046, 10, 0, false, false},    // Mono10p
    {0x010C0047, 12, 0, false, false},    // Mono12p
    {0x01100025, 16, 0, false, false},    // Mono14
    // Unmapped SDK types are no colour either.
    {0x104, 0, 0, false, false},
    {0x314, 0, 0, false, false},
    {0x345 | high, 0, 0, false, false},
    // 8 bits give 255 whatever the format; a second word makes a code unknown.
    {0x01080099, 8, 255, false, false},
    {0x01080001 | high, 8, 255, false, false},
    {0x01100007 | high, 16, 0, false, false},
    {0x01080009 | high, 8, 255, false, true},
};

TEST(ZelPixelFormat, QueriesFollowTheTable)
{
    for (const FormatCase& c : formats) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format);
        EXPECT_EQ(ZelUtil::GetBitsPerPixel(c.format), c.bits);
        EXPECT_EQ(ZelUtil::GetMaxPixelValue(c.format), c.maxValue);
        EXPECT_EQ(ZelUtil::IsSupportedFormat(c.format), c.supported);
        EXPECT_EQ(ZelUtil::IsColorFormat(c.format), c.colour);
    }
}

TEST(ZelPixelFormat, DisplayImageSize)
{
    EXPECT_EQ(ZelUtil::ComputeImageSize(640, 480, 0x01080009), 640 * 480 * 4); // BayerRG8
    EXPECT_EQ(ZelUtil::ComputeImageSize(640, 480, 0x01100005), 640 * 480);     // Mono12
    EXPECT_EQ(ZelUtil::ComputeImageSize(1, 1, 0x02180000), 4);
    // Zero, negative and sizes beyond an int are refused, not wrapped.
    EXPECT_EQ(ZelUtil::ComputeImageSize(0, 480, 0x01080001), 0);
    EXPECT_EQ(ZelUtil::ComputeImageSize(640, 0, 0x01080001), 0);
    EXPECT_EQ(ZelUtil::ComputeImageSize(-640, -480, 0x01080001), 0);
    EXPECT_EQ(ZelUtil::ComputeImageSize(65536, 65536, 0x01080001), 0);
    EXPECT_EQ(ZelUtil::ComputeImageSize(40000, 20000, 0x01080009), 0);
    EXPECT_EQ(ZelUtil::ComputeImageSize(INT_MAX, 1, 0x01080001), INT_MAX);
}

ORV_BUFFER_INFO sourceImage(std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, uint64_t type)
{
    ORV_BUFFER_INFO info;
    std::memset(&info, 0, sizeof info);
    info.pixels = pixels.data();
    info.secondBlock = &pixels;
    info.width = width;
    info.height = height;
    info.size = uint32_t(pixels.size());
    info.status = 7;
    info.pixelType = type;
    info.imageId = 42;
    info.timestamp = 123456789;
    info.payloadType = 1;
    info.lostPackets = 3;
    info.acquisitionCounter = 99;
    return info;
}

TEST(ZelCloneBufferInfo, CopiesPixelsAndFieldsIntoAZeroedRecord)
{
    std::vector<uint8_t> pixels(4 * 2 * 2);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7 + 1);
    const ORV_BUFFER_INFO source = sourceImage(pixels, 4, 2, 0x01100007); // Mono16

    ORV_BUFFER_INFO copy;
    std::memset(&copy, 0xA5, sizeof copy);
    ASSERT_TRUE(ZelUtil::CloneBufferInfo(&copy, &source));
    ASSERT_NE(copy.pixels, nullptr);
    EXPECT_NE(copy.pixels, source.pixels);
    EXPECT_EQ(std::memcmp(copy.pixels, pixels.data(), pixels.size()), 0);
    EXPECT_EQ(copy.secondBlock, nullptr);
    EXPECT_EQ(copy.width, 4u);
    EXPECT_EQ(copy.height, 2u);
    EXPECT_EQ(copy.size, 16u);
    EXPECT_EQ(copy.status, 7u);
    EXPECT_EQ(copy.pixelType, 0x01100007u);
    EXPECT_EQ(copy.imageId, 42u);
    EXPECT_EQ(copy.timestamp, 123456789u);
    EXPECT_EQ(copy.payloadType, 0u);
    EXPECT_EQ(copy.lostPackets, 0u);
    EXPECT_EQ(copy.acquisitionCounter, 0u);

    // The copy lives on after the source is gone and is freed by its owner.
    pixels.assign(pixels.size(), 0);
    EXPECT_EQ(static_cast<uint8_t*>(copy.pixels)[1], 8);
    ZelUtil::FreeBufferInfo(&copy);
    EXPECT_EQ(copy.pixels, nullptr);
    ZelUtil::FreeBufferInfo(&copy);
    ZelUtil::FreeBufferInfo(nullptr);
}

TEST(ZelCloneBufferInfo, RefusesRecordsThatCannotBeCopiedSafely)
{
    struct Case {
        const char* what;
        size_t bytes;
        uint32_t width;
        uint32_t height;
        uint64_t type;
        bool nullPixels;
        bool ok;
    };
    const Case cases[] = {
        {"no pixels", 64, 8, 8, 0x01080001, true, false},
        {"zero size", 0, 8, 8, 0x01080001, false, false},
        {"Mono8 exact", 64, 8, 8, 0x01080001, false, true},
        {"Mono8 short", 63, 8, 8, 0x01080001, false, false},
        {"Mono16 short", 64, 8, 8, 0x01100007, false, false},
        {"Mono12Packed exact", 96, 8, 8, 0x010C0006, false, true},
        {"Mono12Packed short", 95, 8, 8, 0x010C0006, false, false},
        {"SDK type Mono16", 128, 8, 8, 0x105, false, true},
        {"SDK type Mono16 short", 127, 8, 8, 0x105, false, false},
        {"unmapped type, any size", 5, 8, 8, 0x104, false, true},
        {"larger than needed", 100, 8, 8, 0x01080001, false, true},
        // 2^60 pixels of 16 bits: a bit count that wraps to 0 in 64 bits.
        {"dimensions far beyond the size", 64, 0x40000000, 0x40000000, 0x01100007, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> pixels(c.bytes ? c.bytes : 1, 0x5A);
        ORV_BUFFER_INFO source = sourceImage(pixels, c.width, c.height, c.type);
        source.size = uint32_t(c.bytes);
        if (c.nullPixels)
            source.pixels = nullptr;
        ORV_BUFFER_INFO copy;
        std::memset(&copy, 0x11, sizeof copy);
        const bool ok = ZelUtil::CloneBufferInfo(&copy, &source);
        EXPECT_EQ(ok, c.ok);
        if (ok) {
            EXPECT_EQ(copy.size, c.bytes);
            EXPECT_EQ(std::memcmp(copy.pixels, pixels.data(), c.bytes), 0);
            ZelUtil::FreeBufferInfo(&copy);
        } else {
            // A refused copy leaves the destination as it was.
            ORV_BUFFER_INFO untouched;
            std::memset(&untouched, 0x11, sizeof untouched);
            EXPECT_EQ(std::memcmp(&copy, &untouched, sizeof copy), 0);
        }
    }
    std::vector<uint8_t> pixels(4);
    const ORV_BUFFER_INFO source = sourceImage(pixels, 2, 2, 0x01080001);
    EXPECT_FALSE(ZelUtil::CloneBufferInfo(nullptr, &source));
    ORV_BUFFER_INFO copy{};
    EXPECT_FALSE(ZelUtil::CloneBufferInfo(&copy, nullptr));
}

TEST(ZelSaveImage, SuffixSelectsTheFileType)
{
    struct Case {
        const char* name;
        int type;
    };
    const Case cases[] = {
        {"/tmp/a.png", 0}, {"/tmp/a.PnG", 0}, {"/tmp/a.bmp", 1}, {"/tmp/a.BMP", 1},   {"/tmp/a.raw", 2},
        {"/tmp/a.RAW", 2}, {"/tmp/a.tif", 0}, {"/tmp/a", 0},     {"/tmp/b.raw/a", 0}, {"/tmp/a.x.raw", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZelUtil::ImageFileType(QString::fromUtf8(c.name)), c.type) << c.name;
}

} // namespace
