// Display conversion of every supported camera format, checked pixel by
// pixel against the camera's own values.
#include "AcqTestRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct Format {
    const char* name;
    uint32_t code;
    int significantBits; // of the camera's values
    bool packed;         // 12-bit packed: two pixels in three bytes
    const char* cfa;     // Bayer order, or null for mono
};

const Format monoFormats[] = {
    {"Mono8", 0x01080001, 8, false, nullptr},
    {"Mono10", 0x01100003, 10, false, nullptr},
    {"Mono12", 0x01100005, 12, false, nullptr},
    {"Mono12Packed", 0x010C0006, 12, true, nullptr},
    {"Mono16", 0x01100007, 16, false, nullptr},
};

const Format bayerFormats[] = {
    {"BayerRG8", 0x01080009, 8, false, "RG"},
    {"BayerGR8", 0x01080008, 8, false, "GR"},
    {"BayerGB8", 0x0108000A, 8, false, "GB"},
    {"BayerBG8", 0x0108000B, 8, false, "BG"},
    {"BayerRG10", 0x0110000D, 10, false, "RG"},
    {"BayerRG12", 0x01100011, 12, false, "RG"},
    {"BayerRG12Packed", 0x010C002B, 12, true, "RG"},
    {"BayerRG16", 0x0110002F, 16, false, "RG"},
};

// The camera's value of pixel i as delivered.
uint32_t rawValue(const Format& f, const uint8_t* raw, size_t i)
{
    if (f.packed) {
        const uint8_t* b = raw + (i / 2) * 3;
        return i % 2 == 0 ? (uint32_t(b[0]) << 4) | (b[1] & 0x0F) : (uint32_t(b[2]) << 4) | (b[1] >> 4);
    }
    if (f.significantBits == 8)
        return raw[i];
    uint16_t word;
    std::memcpy(&word, raw + 2 * i, 2);
    return word;
}

// The 8-bit display value of a camera value.
uint8_t displayValue(const Format& f, uint32_t value)
{
    return uint8_t(std::min<uint32_t>(255, value >> (f.significantBits - 8)));
}

// Colour (0 red, 1 green, 2 blue) of the Bayer site at (x, y); cfa names
// the first row's two sites, the second row swaps green and red or blue.
int siteColour(const char* cfa, uint32_t x, uint32_t y)
{
    char c = cfa[x % 2];
    if (y % 2 == 1) {
        const char other = cfa[0] == 'G' ? cfa[1] : cfa[0];
        c = c == 'G' ? (other == 'R' ? 'B' : 'R') : 'G';
    }
    return c == 'R' ? 0 : c == 'G' ? 1 : 2;
}

class ZelAcqDisplayTest : public ::testing::TestWithParam<Format>
{
protected:
    static void SetUpTestSuite() { prepareAcqTestProcess("core_ZelAcqDisplay_test"); }

    // Streams one image of the format and returns its stream buffer.
    ZelAcqBuffer* oneImage(AcqRig& rig, const Format& f, const std::string& pattern)
    {
        rig.smallImages();
        EXPECT_TRUE(rig.setRemote("PixelFormat", f.code)) << f.name;
        rig.stream("pattern", pattern);
        rig.stream("manual", "on");
        if (!rig.start())
            return nullptr;
        EXPECT_TRUE(rig.frames(1, 1));
        EXPECT_TRUE(spinUntil([&] { return rig.record.realImages() == 1; }));
        return rig.record.images.isEmpty() ? nullptr : rig.record.images.last();
    }
};

class ZelAcqMonoDisplayTest : public ZelAcqDisplayTest
{
};
class ZelAcqBayerDisplayTest : public ZelAcqDisplayTest
{
};

} // namespace

TEST_P(ZelAcqMonoDisplayTest, EveryPixelMatchesTheCamerasValue)
{
    const Format f = GetParam();
    AcqRig rig("GEV-G1-0001");
    ZelAcqBuffer* image = oneImage(rig, f, "Off noise=0");
    ASSERT_NE(image, nullptr);
    const ORV_BUFFER_INFO source = image->GetInfo();
    ASSERT_EQ(source.pixelType, f.code);
    ZelAcqBuffer* display = image->GetDisplayBuffer();
    ASSERT_NE(display, nullptr);
    const ORV_BUFFER_INFO shown = display->GetInfo();
    ASSERT_EQ(shown.width, source.width);
    ASSERT_EQ(shown.height, source.height);
    ASSERT_EQ(shown.size, source.width * source.height);

    const auto* raw = static_cast<const uint8_t*>(source.pixels);
    const auto* first = static_cast<const uint8_t*>(shown.pixels);
    const auto* second = static_cast<const uint8_t*>(shown.secondBlock);
    const size_t pixels = size_t(source.width) * source.height;
    size_t wrongFirst = 0, wrongSecond = 0;
    uint32_t distinct = 0, previous = ~0u;
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t value = rawValue(f, raw, i);
        distinct += value != previous ? 1 : 0;
        previous = value;
        wrongFirst += first[i] != displayValue(f, value) ? 1 : 0;
        if (f.significantBits == 8)
            continue;
        uint16_t word;
        std::memcpy(&word, second + 2 * i, 2);
        // Packed values are stored with their top bit aligned.
        wrongSecond += word != (f.packed ? value << 4 : value) ? 1 : 0;
    }
    EXPECT_EQ(wrongFirst, 0u) << f.name;
    EXPECT_EQ(wrongSecond, 0u) << f.name;
    EXPECT_GT(distinct, pixels / 2) << "the test image is a ramp";
    rig.engine->Stop();
}

TEST_P(ZelAcqBayerDisplayTest, PatchColoursComeOutAsTheirSites)
{
    const Format f = GetParam();
    AcqRig rig("GEV-G2-0002");
    ZelAcqBuffer* image = oneImage(rig, f, "ColourChart noise=0");
    ASSERT_NE(image, nullptr);
    const ORV_BUFFER_INFO source = image->GetInfo();
    ASSERT_EQ(source.pixelType, f.code);
    const ORV_BUFFER_INFO shown = image->GetDisplayBuffer()->GetInfo();
    const uint32_t w = source.width, h = source.height;
    ASSERT_EQ(shown.size, 4 * w * h);
    const auto* raw = static_cast<const uint8_t*>(source.pixels);
    const auto* rgb = static_cast<const uint8_t*>(shown.pixels);

    // In the inside of each of the 6 x 4 patches every site holds its
    // patch's colour, so the conversion must give exactly that colour.
    int colourful = 0;
    for (uint32_t py = 0; py < 4; ++py) {
        for (uint32_t px = 0; px < 6; ++px) {
            const uint32_t x0 = ((2 * px + 1) * w / 12) & ~1u, y0 = ((2 * py + 1) * h / 8) & ~1u;
            uint32_t site[3] = {0, 0, 0};
            for (uint32_t dy = 0; dy < 2; ++dy)
                for (uint32_t dx = 0; dx < 2; ++dx)
                    site[siteColour(f.cfa, x0 + dx, y0 + dy)] = rawValue(f, raw, size_t(y0 + dy) * w + x0 + dx);
            const uint8_t* pixel = rgb + (size_t(y0) * w + x0) * 4;
            SCOPED_TRACE(std::string(f.name) + " patch " + std::to_string(py * 6 + px));
            EXPECT_EQ(pixel[2], displayValue(f, site[0])) << "red";
            EXPECT_EQ(pixel[1], displayValue(f, site[1])) << "green";
            EXPECT_EQ(pixel[0], displayValue(f, site[2])) << "blue";
            EXPECT_EQ(pixel[3], 0xFF);
            colourful += site[0] != site[2] ? 1 : 0;
        }
    }
    EXPECT_GT(colourful, 12) << "the chart has coloured patches";

    // The second block keeps the camera's values.
    const auto* second = static_cast<const uint8_t*>(shown.secondBlock);
    if (f.packed) {
        size_t wrong = 0;
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            uint16_t word;
            std::memcpy(&word, second + 2 * i, 2);
            wrong += word != rawValue(f, raw, i) << 4 ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0u);
    } else {
        EXPECT_EQ(std::memcmp(second, raw, source.size), 0);
    }
    rig.engine->Stop();
}

INSTANTIATE_TEST_SUITE_P(Formats, ZelAcqMonoDisplayTest, ::testing::ValuesIn(monoFormats),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Formats, ZelAcqBayerDisplayTest, ::testing::ValuesIn(bayerFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZelAcqDisplayTest, DisplayBuffersFollowSizeAndFormatChanges)
{
    AcqRig rig("GEV-G1-0001");
    rig.stream("manual", "on");
    struct Step {
        int width, height;
        uint32_t format;
    };
    // Same display size, different shape or depth: each needs its own buffer.
    const Step steps[] = {{320, 240, 0x01080001}, {240, 320, 0x01080001}, {240, 320, 0x01100007}, {320, 240, 0x010C0006}};
    for (const Step& step : steps) {
        ASSERT_TRUE(rig.setRemote("Width", step.width));
        ASSERT_TRUE(rig.setRemote("Height", step.height));
        ASSERT_TRUE(rig.setRemote("PixelFormat", step.format));
        const int before = rig.record.realImages();
        ASSERT_TRUE(rig.start());
        // Two images, so both display buffers are used.
        for (int i = 1; i <= 2; ++i) {
            ASSERT_TRUE(rig.frames(1, uint64_t(i)));
            ASSERT_TRUE(spinUntil([&] { return rig.record.realImages() == before + i; }));
            const ORV_BUFFER_INFO shown = rig.record.images.last()->GetDisplayBuffer()->GetInfo();
            EXPECT_EQ(int(shown.width), step.width);
            EXPECT_EQ(int(shown.height), step.height);
            EXPECT_EQ(shown.pixelType, step.format);
        }
        rig.engine->Stop();
    }
    EXPECT_FALSE(rig.record.displayReused);
}
