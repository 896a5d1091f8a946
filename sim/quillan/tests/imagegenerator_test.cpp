#include "SimImageGenerator.h"
#include "SimPixelFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace PF = SimPixelFormat;

namespace {

struct Frame {
    const PF::Info* f;
    uint32_t w, h;
    std::vector<uint8_t> bytes;
    uint32_t at(uint32_t x, uint32_t y) const
    {
        const size_t i = size_t(y) * w + x;
        switch (f->layout) {
        case PF::Layout::Byte: return bytes[i];
        case PF::Layout::Word16: return bytes[2 * i] | (bytes[2 * i + 1] << 8);
        case PF::Layout::Packed12: return PF::unpack12(bytes.data(), i);
        case PF::Layout::Triple: return bytes[3 * i + 1];
        }
        return 0;
    }
};

Frame render(SimImageGenerator& g, const SimImageSettings& s, uint64_t frame = 0)
{
    g.configure(s);
    Frame out{PF::find(s.pixelFormat), s.width, s.height, std::vector<uint8_t>(g.imageBytes())};
    EXPECT_EQ(g.render(frame, out.bytes.data(), out.bytes.size()), out.bytes.size());
    return out;
}

SimImageSettings sensor(uint32_t format, int pattern)
{
    SimImageSettings s;
    s.pixelFormat = format;
    s.pattern = pattern;
    s.colorSensor = PF::find(format)->color;
    return s;
}

uint32_t scaled8(const PF::Info& f, double eightBit) { return uint32_t(std::lround(eightBit / 255.0 * PF::maxValue(f))); }

} // namespace

TEST(ImageGenerator, EveryFormatShowsDefectsRampAndSizeAtKnownPixels)
{
    size_t n = 0;
    const PF::Info* table = PF::table(&n);
    SimImageGenerator g;
    for (size_t k = 0; k < n; ++k) {
        const PF::Info& f = table[k];
        SimImageSettings s = sensor(f.pfnc, SimImageSettings::DefectField);
        Frame d = render(g, s);
        EXPECT_EQ(d.bytes.size(), PF::imageBytes(f, 1280, 1024)) << f.name;
        EXPECT_EQ(d.at(5, 7), PF::maxValue(f)) << f.name;        // hot
        EXPECT_EQ(d.at(100, 200), 0u) << f.name;                 // dead
        EXPECT_EQ(d.at(1279, 1023), PF::maxValue(f)) << f.name;  // hot, last pixel
        EXPECT_EQ(d.at(0, 0), scaled8(f, 16)) << f.name;
        EXPECT_EQ(d.at(640, 512), scaled8(f, 16)) << f.name;

        // The bright field shows the same pixels, so dead ones stand out.
        s.pattern = SimImageSettings::Vignette;
        Frame v = render(g, s);
        EXPECT_EQ(v.at(5, 7), PF::maxValue(f)) << f.name;
        EXPECT_EQ(v.at(100, 200), 0u) << f.name;
        EXPECT_GT(v.at(101, 200), scaled8(f, 100)) << f.name;

        s.pattern = SimImageSettings::GreyRamp;
        Frame r = render(g, s);
        EXPECT_EQ(r.at(0, 3), 0u) << f.name;
        EXPECT_EQ(r.at(1279, 3), PF::maxValue(f)) << f.name;
        EXPECT_EQ(r.at(5, 7), r.at(5, 8)) << f.name << ": no defects outside the moving scene, defect field and vignette";
    }
}

TEST(ImageGenerator, MovingSceneShiftsOnePixelPerImage)
{
    SimImageGenerator g;
    SimImageSettings s = sensor(PF::Mono8, SimImageSettings::Off);
    s.noise = 0;
    s.vignetting = 0;
    const Frame a = render(g, s, 3);
    const Frame b = render(g, s, 4);
    EXPECT_EQ(a.at(10, 20), 33u);
    EXPECT_EQ(b.at(10, 20), 34u);
    EXPECT_EQ(b.at(9, 20), a.at(10, 20));
    EXPECT_EQ(a.at(200, 60), (200u + 60u + 3u) & 255u);
    EXPECT_EQ(a.at(5, 7), 255u);  // planted defect

    // With the default noise and vignetting successive images still differ
    // and the corners are darker than the centre.
    SimImageSettings live = sensor(PF::Mono12, SimImageSettings::Off);
    const Frame c = render(g, live, 0);
    const Frame d = render(g, live, 1);
    EXPECT_NE(c.bytes, d.bytes);
}

TEST(ImageGenerator, ColourChartOnBayerAndMonoSensors)
{
    SimImageGenerator g;
    const auto& patch0 = SimImageGenerator::chartColours()[0];
    const auto& patch23 = SimImageGenerator::chartColours()[23];
    // BayerRG8: red at (0,0), green at (1,0), blue at (1,1); patch 0 top left.
    Frame rg = render(g, sensor(PF::BayerRG8, SimImageSettings::ColourChart));
    EXPECT_EQ(rg.at(0, 0), patch0[0]);
    EXPECT_EQ(rg.at(1, 0), patch0[1]);
    EXPECT_EQ(rg.at(1, 1), patch0[2]);
    EXPECT_EQ(rg.at(1279, 1023), patch23[2]);  // blue site, bottom right patch
    // BayerGB8: blue at (1,0).
    Frame gb = render(g, sensor(PF::BayerGB8, SimImageSettings::ColourChart));
    EXPECT_EQ(gb.at(1, 0), patch0[2]);
    EXPECT_EQ(gb.at(0, 1), patch0[0]);
    // Colour cast: red and blue swapped.
    SimImageSettings cast = sensor(PF::BayerRG8, SimImageSettings::ColourChart);
    cast.colourCast = {0, 0, 1, 0, 1, 0, 1, 0, 0};
    Frame c = render(g, cast);
    EXPECT_EQ(c.at(0, 0), patch0[2]);
    // Mono: luminance.
    Frame mono = render(g, sensor(PF::Mono8, SimImageSettings::ColourChart));
    EXPECT_EQ(mono.at(0, 0), uint32_t(std::lround(0.299 * patch0[0] + 0.587 * patch0[1] + 0.114 * patch0[2])));
}

TEST(ImageGenerator, ExposureGainAndLookUpTable)
{
    SimImageGenerator g;
    SimImageSettings s = sensor(PF::Mono12, SimImageSettings::Flat);
    s.flatValue = 50;
    const uint32_t base = render(g, s).at(3, 3);
    EXPECT_EQ(base, scaled8(*PF::find(PF::Mono12), 50));
    s.exposureUs = 2 * s.referenceExposureUs;
    EXPECT_NEAR(render(g, s).at(3, 3), 2 * base, 2);
    s.exposureUs = s.referenceExposureUs;
    s.gainDb = 20.0 * std::log10(3.0);
    EXPECT_NEAR(render(g, s).at(3, 3), 3 * base, 3);
    s.gainDb = 40;
    EXPECT_EQ(render(g, s).at(3, 3), 4095u);  // saturates
    s.gainDb = 0;

    // An inverting table over 0 .. 4095.
    auto inverse = std::make_shared<std::vector<uint32_t>>(4096);
    for (uint32_t i = 0; i < 4096; ++i)
        (*inverse)[i] = 4095 - i;
    s.lut.tables = {inverse};
    s.lut.enabled = true;
    EXPECT_NEAR(render(g, s).at(3, 3), 4095 - base, 1);
    s.lut.enabled = false;
    EXPECT_EQ(render(g, s).at(3, 3), base);
}

TEST(ImageGenerator, DefectCorrectionRemovesMappedDefectsOnly)
{
    SimImageGenerator g;
    SimImageSettings s = sensor(PF::Mono8, SimImageSettings::DefectField);
    s.defectCorrection = true;
    s.defectMap = std::make_shared<std::vector<std::array<uint32_t, 2>>>(std::vector<std::array<uint32_t, 2>>{{5, 7}, {100, 200}});
    const Frame f = render(g, s);
    EXPECT_EQ(f.at(5, 7), 16u);
    EXPECT_EQ(f.at(100, 200), 16u);
    EXPECT_EQ(f.at(1279, 1023), 255u);  // not in the map

    // Region of interest and mirroring move the defect in the image.
    s.defectCorrection = false;
    s.width = 64;
    s.height = 32;
    s.offsetX = 96;
    s.offsetY = 190;
    const Frame roi = render(g, s);
    EXPECT_EQ(roi.at(4, 10), 0u);
    s.reverseX = true;
    EXPECT_EQ(render(g, s).at(59, 10), 0u);
}

TEST(ImageGenerator, VignetteAndShadingCorrection)
{
    SimImageGenerator g;
    SimImageSettings s = sensor(PF::Mono8, SimImageSettings::Vignette);
    s.sensorWidth = s.width = 64;
    s.sensorHeight = s.height = 48;
    s.defects.clear();
    const Frame v = render(g, s);
    EXPECT_EQ(v.at(0, 0), 120u);
    EXPECT_EQ(v.at(63, 47), 120u);
    EXPECT_NEAR(v.at(32, 24), 200, 1);

    // A gain map that flattens the fall-off brings every pixel to about 200.
    auto gain = std::make_shared<std::vector<float>>(64 * 48);
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            (*gain)[y * 64 + x] = 200.0f / float(v.at(x, y));
    s.shadingGain = gain;
    s.shadingCorrection = true;
    const Frame flat = render(g, s);
    for (uint32_t y = 0; y < 48; y += 7)
        for (uint32_t x = 0; x < 64; x += 9)
            EXPECT_NEAR(flat.at(x, y), 200, 1) << x << "," << y;

    // Decoding the camera's map words: offset 2.5 and gain 1.5 give 0x2A00.
    const uint8_t words[] = {0x2A, 0x00};
    std::vector<float> decodedGain, decodedOffset;
    SimImageGenerator::decodeNonUniformShading(words, 1, true, decodedGain, decodedOffset);
    EXPECT_FLOAT_EQ(decodedOffset[0], 2.5f);
    EXPECT_FLOAT_EQ(decodedGain[0], 1.5f);
}

TEST(ImageGenerator, ShortBufferGetsTheFirstBytes)
{
    SimImageGenerator g;
    SimImageSettings s = sensor(PF::Mono16, SimImageSettings::GreyRamp);
    s.width = 32;
    s.height = 8;
    const Frame full = render(g, s);
    std::vector<uint8_t> part(100, 0xEE);
    EXPECT_EQ(g.render(0, part.data(), 99), 99u);
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 99, full.bytes.begin()));
    EXPECT_EQ(part[99], 0xEE);
}
