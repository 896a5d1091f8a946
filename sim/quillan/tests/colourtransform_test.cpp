// The camera's colour transformation in its images.
#include "SimFixture.h"
#include "SimImageGenerator.h"
#include "SimPixelFormat.h"

#include <cmath>

using simtest::control;
namespace PF = SimPixelFormat;

namespace {

using Matrix = std::array<double, 9>;

// A mild cast that saturates no chart patch, and its inverse.
const Matrix kCast{{0.9, 0.08, 0.0, 0.05, 0.85, 0.05, 0.0, 0.1, 0.8}};

Matrix inverse(const Matrix& m)
{
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6])
        + m[2] * (m[3] * m[7] - m[4] * m[6]);
    return {{(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
             (m[5] * m[6] - m[3] * m[8]) / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
             (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det}};
}

SimImageSettings::ColourTransform transform(const Matrix& g, double r, double gr, double b)
{
    SimImageSettings::ColourTransform t;
    t.enabled = true;
    for (size_t k = 0; k < 9; ++k)
        t.values[k] = g[k];
    t.values[9] = r;
    t.values[10] = gr;
    t.values[11] = b;
    return t;
}

std::vector<uint8_t> render(SimImageGenerator& g, const SimImageSettings& s, uint64_t frame = 0)
{
    g.configure(s);
    std::vector<uint8_t> out(g.imageBytes());
    EXPECT_EQ(g.render(frame, out.data(), out.size()), out.size());
    return out;
}

SimImageSettings chart(uint32_t format)
{
    SimImageSettings s;
    s.pixelFormat = format;
    s.colorSensor = PF::find(format)->color;
    s.pattern = SimImageSettings::ColourChart;
    s.width = 120;  // patches of 20 x 20
    s.height = 80;
    s.sensorWidth = 120;
    s.sensorHeight = 80;
    return s;
}

// Red, green and blue of BayerRG8 at the centre of patch k.
std::array<int, 3> patchRG8(const std::vector<uint8_t>& img, int k)
{
    const size_t x = size_t(k % 6) * 20 + 10, y = size_t(k / 6) * 20 + 10;  // a red site
    return {img[y * 120 + x], img[y * 120 + x + 1], img[(y + 1) * 120 + x + 1]};
}

} // namespace

TEST(ColourTransform, TheCastsInverseGivesThePlainChart)
{
    SimImageGenerator g;
    const std::vector<uint8_t> plain = render(g, chart(PF::BayerRG8));
    SimImageSettings s = chart(PF::BayerRG8);
    s.colourCast = kCast;
    const std::vector<uint8_t> cast = render(g, s);
    EXPECT_NE(cast, plain);
    s.colourTransform = transform(inverse(kCast), 0, 0, 0);
    const std::vector<uint8_t> corrected = render(g, s);
    for (int k = 0; k < 24; ++k) {
        const auto want = SimImageGenerator::chartColours()[size_t(k)];
        const auto got = patchRG8(corrected, k);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got[size_t(c)], want[size_t(c)], 1) << "patch " << k << " channel " << c;
    }
    // Switched off, the cast stays.
    s.colourTransform.enabled = false;
    EXPECT_EQ(render(g, s), cast);
}

TEST(ColourTransform, OffsetsAddAndResultsClampToTheFormatsRange)
{
    struct Case {
        uint32_t format;
        double offset;
        int expectRed;  // of patch 0 (0x74), in 8-bit terms
    } cases[] = {
        {PF::BayerRG8, 20, 0x74 + 20},
        {PF::BayerRG8, -200, 0},   // below black
        {PF::BayerRG8, 200, 255},  // above white
        {PF::BayerRG12, 20, 0x74 + 20},
    };
    SimImageGenerator g;
    for (const Case& c : cases) {
        SimImageSettings s = chart(c.format);
        s.colourTransform = transform({{1, 0, 0, 0, 1, 0, 0, 0, 1}}, c.offset, 0, 0);
        const std::vector<uint8_t> img = render(g, s);
        const PF::Info& f = *PF::find(c.format);
        const uint32_t max = PF::maxValue(f);
        const size_t at = 10 * 120 + 10;  // red site of patch 0
        const uint32_t raw = f.layout == PF::Layout::Byte ? img[at] : uint32_t(img[2 * at] | (img[2 * at + 1] << 8));
        EXPECT_NEAR(raw * 255.0 / max, c.expectRed, 0.5) << f.name << " offset " << c.offset;
        const uint32_t green = f.layout == PF::Layout::Byte ? img[at + 1]
                                                              : uint32_t(img[2 * at + 2] | (img[2 * at + 3] << 8));
        EXPECT_NEAR(green * 255.0 / max, 0x51, 0.5) << f.name << ": green untouched";
    }
}

TEST(ColourTransform, MovingSceneAndMonoFormats)
{
    SimImageGenerator g;
    // The moving scene is grey; a transform that keeps only red darkens the
    // green and blue sites.
    SimImageSettings s = chart(PF::BayerRG8);
    s.pattern = SimImageSettings::Off;
    s.noise = 0;
    s.vignetting = 0;
    s.defects.clear();
    s.colourTransform = transform({{1, 0, 0, 0, 0, 0, 0, 0, 0}}, 0, 5, 0);
    const std::vector<uint8_t> img = render(g, s, 3);
    EXPECT_EQ(img[10 * 120 + 10], (10 + 10 + 3) & 255);  // red site: unchanged
    EXPECT_EQ(img[10 * 120 + 11], 5);                    // green site: offset only
    EXPECT_EQ(img[11 * 120 + 11], 0);                    // blue site

    // A mono camera has no colour transformation.
    SimImageSettings mono = chart(PF::Mono8);
    const std::vector<uint8_t> plain = render(g, mono);
    mono.colourTransform = transform({{0, 0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0);
    EXPECT_EQ(render(g, mono), plain);
}

namespace {

class ColourTransformSdk : public simtest::SimTest {
protected:
    ORV_FEATURE_HANDLE feature(const char* name)
    {
        ORV_FEATURE_HANDLE h = 0;
        EXPECT_EQ(OrvFeatureGetByName(remote, name, &h), 0) << name;
        return h;
    }
    ORV_BUFFER_INFO grab()
    {
        control("stream.frame GEV-G2-0002");
        void* user = nullptr;
        ORV_BUFFER_HANDLE h = 0;
        ORV_BUFFER_INFO info{};
        EXPECT_EQ(OrvStreamWaitForNewBuffer(stream, &user, &h, 3000), 0);
        EXPECT_EQ(OrvStreamBufferGetInfo(stream, h, &info), 0);
        EXPECT_EQ(OrvStreamQueueBuffer(stream, h), 0);
        return info;
    }
    void TearDown() override
    {
        if (remote)
            OrvFeatureCommandExecute(remote, feature("AcquisitionStop"), 2000, false);
        SimTest::TearDown();
    }
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ORV_STREAM_HANDLE stream = 0;
    int objects[3] = {};
};

} // namespace

// The values written through the features, in the order an upload writes
// them, take the cast out of the next image once the transformation is on.
TEST_F(ColourTransformSdk, WrittenValuesApplyWhileEnabled)
{
    const ORV_INTERFACE_HANDLE i = openInterface(openSystem("orv_gev_tl.cti"), "gev-if-0");
    ASSERT_EQ(OrvInterfaceDeviceOpen(i, "GEV-G2-0002", 3, &device, &remote), 0);
    char id[64] = {};
    size_t size = sizeof id;
    ASSERT_EQ(OrvDeviceGetStreamId(device, 0, id, &size), 0);
    ASSERT_EQ(OrvDeviceStreamOpen(device, id, &stream), 0);
    ASSERT_EQ(OrvFeatureSetValueEnum(remote, feature("PixelFormat"), "BayerRG8", false), 0);

    std::string castText;
    for (double v : kCast)
        castText += (castText.empty() ? "" : ",") + std::to_string(v);
    control("stream.manual GEV-G2-0002 on");
    control("stream.pattern GEV-G2-0002 ColourChart cast=" + castText);
    ORV_DS_INFO ds{};
    ASSERT_EQ(OrvStreamGetInfo(stream, &ds), 0);
    for (int& object : objects) {
        ORV_BUFFER_HANDLE h = 0;
        ASSERT_EQ(OrvStreamAllocAndAnnounceBuffer(stream, ds.payloadSize, &object, &h), 0);
        ASSERT_EQ(OrvStreamQueueBuffer(stream, h), 0);
    }
    ASSERT_EQ(OrvStreamAcquisitionStart(stream, 0, ~0ull), 0);
    ASSERT_EQ(OrvFeatureCommandExecute(remote, feature("AcquisitionStart"), 2000, false), 0);

    // Patch 7 (0x44, 0x5b, 0xaa): a red site near its centre, green beside
    // it, blue below that.
    const size_t at = size_t(384) * 1280 + 320;
    const int castRed = int(std::lround(kCast[0] * 0x44 + kCast[1] * 0x5b + kCast[2] * 0xaa));
    ORV_BUFFER_INFO info = grab();
    ASSERT_EQ(info.pixelType, uint64_t(PF::BayerRG8));
    EXPECT_EQ(static_cast<const uint8_t*>(info.pixels)[at], castRed);

    const Matrix inv = inverse(kCast);
    ASSERT_EQ(OrvFeatureSetValueEnum(remote, feature("ColorTransformationSelector"), "UserCorrection", false), 0);
    for (int k = 0; k < 12; ++k) {
        ASSERT_EQ(OrvFeatureSetValueInt64Enum(remote, feature("ColorTransformationValueSelector"), k, false), 0);
        ASSERT_EQ(OrvFeatureSetValueFloat(remote, feature("ColorTransformationValue"), k < 9 ? inv[size_t(k)] : 0.0,
                                          false),
                  0);
    }
    info = grab();
    EXPECT_EQ(static_cast<const uint8_t*>(info.pixels)[at], castRed) << "not applied while switched off";

    ASSERT_EQ(OrvFeatureSetValueBool(remote, feature("ColorTransformationEnable"), true, false), 0);
    info = grab();
    EXPECT_NEAR(static_cast<const uint8_t*>(info.pixels)[at], 0x44, 1);
    EXPECT_NEAR(static_cast<const uint8_t*>(info.pixels)[at + 1], 0x5b, 1);
    EXPECT_NEAR(static_cast<const uint8_t*>(info.pixels)[at + 1281], 0xaa, 1);

    // Another selector entry holds the identity: selecting it shows the cast again.
    ASSERT_EQ(OrvFeatureSetValueEnum(remote, feature("ColorTransformationSelector"), "RGBtoRGB", false), 0);
    info = grab();
    EXPECT_EQ(static_cast<const uint8_t*>(info.pixels)[at], castRed);
}
