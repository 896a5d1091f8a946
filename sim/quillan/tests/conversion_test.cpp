#include "SimConvert.h"
#include "SimImages.h"
#include "SimPixelFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace PF = SimPixelFormat;
using SimConvert::Image;
using simtest::image;
using simtest::packed;
using simtest::words;

namespace {

// A destination with guard bytes behind the given size.
struct Guarded {
    explicit Guarded(size_t n) : bytes(n + 64, 0xEE), size(n) {}
    uint8_t* data() { return bytes.data(); }
    bool guardIntact() const
    {
        for (size_t i = size; i < bytes.size(); ++i)
            if (bytes[i] != 0xEE)
                return false;
        return true;
    }
    std::vector<uint8_t> bytes;
    size_t size;
};

} // namespace

TEST(Packing, TwelveBitLayoutMatchesHandPackedBytes)
{
    // p0 = 0xABC, p1 = 0x123 -> AB 3C 12
    const auto b = packed({0xABC, 0x123});
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0], 0xAB);
    EXPECT_EQ(b[1], 0x3C);
    EXPECT_EQ(b[2], 0x12);
    EXPECT_EQ(PF::unpack12(b.data(), 0), 0xABC);
    EXPECT_EQ(PF::unpack12(b.data(), 1), 0x123);
}

TEST(Word16To8, ScalesBySignificantBits)
{
    struct Case {
        uint32_t type;
        std::vector<uint16_t> in;
        std::vector<uint8_t> out;
    } cases[] = {
        {PF::Mono10, {0, 512, 1023, 2047}, {0, 128, 255, 255}},
        {0x102, {4, 1020, 3, 1000}, {1, 255, 0, 250}},
        {PF::Mono12, {0x800, 0xFFF, 0x00F, 0x010}, {0x80, 0xFF, 0x00, 0x01}},
        {PF::Mono16, {0xABCD, 0x00FF, 0xFFFF, 0x0100}, {0xAB, 0x00, 0xFF, 0x01}},
        {PF::BayerRG12, {0x800, 0xFFF, 0x00F, 0x010}, {0x80, 0xFF, 0x00, 0x01}},
    };
    for (const auto& c : cases) {
        const auto src = words(c.in);
        std::vector<uint8_t> dst(4, 0x55);
        EXPECT_EQ(SimConvert::word16To8(image(src, 2, 2, c.type), dst.data(), dst.size()), 0) << std::hex << c.type;
        EXPECT_EQ(dst, c.out) << std::hex << c.type;
    }
}

TEST(Packed12, ToEightAndSixteenBits)
{
    const auto src = packed({0xABC, 0x123, 0xFFF, 0x000, 0x801, 0x7FE});
    std::vector<uint8_t> eight(6);
    ASSERT_EQ(SimConvert::packed12To8(image(src, 3, 2, PF::Mono12Packed), eight.data(), eight.size()), 0);
    EXPECT_EQ(eight, (std::vector<uint8_t>{0xAB, 0x12, 0xFF, 0x00, 0x80, 0x7F}));

    std::vector<uint8_t> sixteen(12);
    ASSERT_EQ(SimConvert::packed12To16(image(src, 3, 2, PF::BayerGB12Packed), sixteen.data(), sixteen.size()), 0);
    EXPECT_EQ(sixteen, words({0xABC0, 0x1230, 0xFFF0, 0x0000, 0x8010, 0x7FE0}));

    // Mono10Packed keeps ten significant bits: MSB aligned by six.
    const auto ten = packed({1023, 1});
    std::vector<uint8_t> out(4);
    ASSERT_EQ(SimConvert::packed12To16(image(ten, 2, 1, PF::Mono10Packed), out.data(), out.size()), 0);
    EXPECT_EQ(out, words({0xFFC0, 0x0040}));
}

TEST(Conversions, RefuseFormatsTheyDoNotHandleAndLeaveDestinationUntouched)
{
    std::vector<uint8_t> src(64, 1);
    std::vector<uint8_t> dst(256, 0x77);
    const std::vector<uint8_t> before = dst;
    EXPECT_EQ(SimConvert::word16To8(image(src, 4, 4, PF::Mono8), dst.data(), dst.size()), -1009);
    EXPECT_EQ(SimConvert::packed12To8(image(src, 4, 4, PF::Mono12), dst.data(), dst.size()), -1009);
    EXPECT_EQ(SimConvert::packed12To16(image(src, 4, 4, 0x104), dst.data(), dst.size()), -1009);
    EXPECT_EQ(SimConvert::colorToBgr(image(src, 4, 4, PF::Mono8), dst.data(), dst.size(), 4), -1009);
    EXPECT_EQ(SimConvert::colorToBgr(image(src, 4, 2, PF::RGB8), dst.data(), dst.size(), 4), -1009);
    Image second = image(src, 4, 4, PF::BayerRG8);
    second.secondWord = 1;
    EXPECT_EQ(SimConvert::colorToBgr(second, dst.data(), dst.size(), 4), -1009);
    EXPECT_EQ(dst, before);
}

namespace {

// An image whose red, green and blue sites hold one constant each.
std::vector<uint8_t> constantSites(const PF::Info& f, uint32_t w, uint32_t h, uint16_t r, uint16_t g, uint16_t b)
{
    std::vector<uint16_t> v(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const int site = PF::siteColor(f.cfa, x, y);
            v[size_t(y) * w + x] = site == 0 ? r : site == 1 ? g : b;
        }
    if (f.layout == PF::Layout::Byte)
        return std::vector<uint8_t>(v.begin(), v.end());
    if (f.layout == PF::Layout::Packed12)
        return packed(v);
    return words(v);
}

} // namespace

TEST(BayerToBgrx, ConstantSitesGiveThatColourEverywhereBordersIncluded)
{
    size_t n = 0;
    const PF::Info* table = PF::table(&n);
    int checked = 0;
    for (size_t k = 0; k < n; ++k) {
        const PF::Info& f = table[k];
        if (f.cfa == PF::Cfa::None)
            continue;
        const unsigned shift = unsigned(f.significantBits - 8);
        for (auto [w, h] : {std::pair<uint32_t, uint32_t>{6, 4}, {5, 3}, {2, 2}, {3, 5}}) {
            const auto src = constantSites(f, w, h, uint16_t(200u << shift), uint16_t(100u << shift), uint16_t(30u << shift));
            for (int bpp : {4, 3}) {
                Guarded dst(size_t(w) * h * bpp);
                ASSERT_EQ(SimConvert::colorToBgr(image(src, w, h, f.pfnc), dst.data(), dst.size, bpp), 0) << f.name;
                for (size_t p = 0; p < size_t(w) * h; ++p) {
                    const uint8_t* px = dst.data() + p * bpp;
                    ASSERT_EQ(px[0], 30) << f.name << " pixel " << p;
                    ASSERT_EQ(px[1], 100) << f.name << " pixel " << p;
                    ASSERT_EQ(px[2], 200) << f.name << " pixel " << p;
                    if (bpp == 4) {
                        ASSERT_EQ(px[3], 0xFF);
                    }
                }
                EXPECT_TRUE(dst.guardIntact()) << f.name;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 4 * 5 * 4);  // four orders in five depths, four sizes
}

TEST(BayerToBgrx, BilinearValuesOfASmallRGImage)
{
    // BayerRG8, 4 x 4:
    //   R  G  R  G        10  20  30  40
    //   G  B  G  B        50  60  70  80
    //   R  G  R  G        90 100 110 120
    //   G  B  G  B       130 140 150 160
    std::vector<uint8_t> src(16);
    for (int i = 0; i < 16; ++i)
        src[i] = uint8_t(10 * (i + 1));
    std::vector<uint8_t> dst(64);
    ASSERT_EQ(SimConvert::colorToBgr(image(src, 4, 4, PF::BayerRG8), dst.data(), dst.size(), 4), 0);
    auto px = [&](int x, int y) { return &dst[size_t(y * 4 + x) * 4]; };
    // Red site (2,2): R 110, G (100+120+70+150)/4 = 110, B (60+80+140+160)/4 = 110.
    EXPECT_EQ(px(2, 2)[2], 110);
    EXPECT_EQ(px(2, 2)[1], 110);
    EXPECT_EQ(px(2, 2)[0], 110);
    // Blue site (1,1): B 60, G (50+70+20+100)/4 = 60, R (10+30+90+110)/4 = 60.
    EXPECT_EQ(px(1, 1)[0], 60);
    EXPECT_EQ(px(1, 1)[1], 60);
    EXPECT_EQ(px(1, 1)[2], 60);
    // Green site in a red row (1,2): R (90+110)/2 = 100, B (60+140)/2 = 100.
    EXPECT_EQ(px(1, 2)[2], 100);
    EXPECT_EQ(px(1, 2)[0], 100);
    // Corner (0,0), mirrored: G (20+20+50+50)/4 = 35, B (60*4)/4 = 60.
    EXPECT_EQ(px(0, 0)[2], 10);
    EXPECT_EQ(px(0, 0)[1], 35);
    EXPECT_EQ(px(0, 0)[0], 60);
    // Corner (3,3) is blue: B 160, G (150+150+120+120)/4 = 135, R (110*4)/4 = 110.
    EXPECT_EQ(px(3, 3)[0], 160);
    EXPECT_EQ(px(3, 3)[1], 135);
    EXPECT_EQ(px(3, 3)[2], 110);
}

TEST(Conversions, NeverWritePastAShortDestination)
{
    const uint32_t w = 6, h = 4;
    const auto mono16 = words(std::vector<uint16_t>(w * h, 0x0FFF));
    const auto mono12p = packed(std::vector<uint16_t>(w * h, 0x0FFF));
    const auto bayer8 = std::vector<uint8_t>(w * h, 90);
    struct Case {
        const char* name;
        std::function<int(void*, uint64_t)> run;
        size_t full;
        size_t rowBytes;
    } cases[] = {
        {"16to8", [&](void* d, uint64_t n) { return SimConvert::word16To8(image(mono16, w, h, PF::Mono12), d, n); }, w * h, w},
        {"12to8", [&](void* d, uint64_t n) { return SimConvert::packed12To8(image(mono12p, w, h, PF::Mono12Packed), d, n); }, w * h, w},
        {"12to16", [&](void* d, uint64_t n) { return SimConvert::packed12To16(image(mono12p, w, h, PF::Mono12Packed), d, n); }, w * h * 2, w * 2},
        {"bayer32", [&](void* d, uint64_t n) { return SimConvert::colorToBgr(image(bayer8, w, h, PF::BayerBG8), d, n, 4); }, w * h * 4, w * 4},
        {"bayer24", [&](void* d, uint64_t n) { return SimConvert::colorToBgr(image(bayer8, w, h, PF::BayerGR8), d, n, 3); }, w * h * 3, w * 3},
    };
    for (auto& c : cases) {
        for (size_t size : {c.full - 1, c.rowBytes * 2 + 1, size_t(1), size_t(0)}) {
            Guarded dst(size);
            EXPECT_EQ(c.run(dst.data(), size), -1006) << c.name << " size " << size;
            EXPECT_TRUE(dst.guardIntact()) << c.name << " size " << size;
            // The rows that fit are converted.
            const size_t rows = size / c.rowBytes;
            for (size_t i = 0; i < rows * c.rowBytes; ++i)
                ASSERT_NE(dst.bytes[i], 0xEE) << c.name << " byte " << i;
        }
        EXPECT_EQ(c.run(nullptr, c.full), -1006) << c.name;
    }
}

TEST(Conversions, ShortSourceConvertsTheRowsItHoldsAndZeroesTheRest)
{
    const uint32_t w = 4, h = 4;
    std::vector<uint8_t> src = words(std::vector<uint16_t>(w * h, 0x3FF));
    Image img = image(src, w, h, PF::Mono10);
    img.size = w * 2 * 2 + 3;  // two rows and a bit
    std::vector<uint8_t> dst(w * h, 0x55);
    EXPECT_EQ(SimConvert::word16To8(img, dst.data(), dst.size()), -1006);
    for (size_t i = 0; i < dst.size(); ++i)
        EXPECT_EQ(dst[i], i < 8 ? 0xFF : 0x00) << i;
}

TEST(RgbToBgrx, GenericColourTriplesAreCopied)
{
    const std::vector<uint8_t> src{1, 2, 3, 4, 5, 6};  // blue, green, red
    std::vector<uint8_t> dst(8);
    ASSERT_EQ(SimConvert::colorToBgr(image(src, 2, 1, PF::BGR8Generic), dst.data(), dst.size(), 4), 0);
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 0xFF, 4, 5, 6, 0xFF}));
}

namespace {

// Source bytes of exactly the given size, from an odd address, so that a
// read before or past them shows under AddressSanitizer.
struct ExactSource {
    ExactSource(size_t n, std::mt19937& random) : bytes(n + 1)
    {
        for (auto& b : bytes)
            b = uint8_t(random());
    }
    const uint8_t* data() const { return bytes.data() + 1; }
    std::vector<uint8_t> bytes;
};

struct Kernel {
    const char* name;
    int (*fast)(const Image&, void*, uint64_t);
    int (*reference)(const Image&, void*, uint64_t);
    int outBytes;
    bool (*accepts)(const PF::Info&);
};

int toBgrx(const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 4); }
int toBgr(const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 3); }
int referenceBgrx(const Image& s, void* d, uint64_t n) { return SimConvert::Reference::colorToBgr(s, d, n, 4); }
int referenceBgr(const Image& s, void* d, uint64_t n) { return SimConvert::Reference::colorToBgr(s, d, n, 3); }
bool colourFormat(const PF::Info& f) { return f.color && f.displaySupported; }

const Kernel kKernels[] = {
    {"16to8", SimConvert::word16To8, SimConvert::Reference::word16To8, 1,
     [](const PF::Info& f) { return f.layout == PF::Layout::Word16; }},
    {"12to8", SimConvert::packed12To8, SimConvert::Reference::packed12To8, 1,
     [](const PF::Info& f) { return f.layout == PF::Layout::Packed12; }},
    {"12to16", SimConvert::packed12To16, SimConvert::Reference::packed12To16, 2,
     [](const PF::Info& f) { return f.layout == PF::Layout::Packed12; }},
    {"bgrx", toBgrx, referenceBgrx, 4, colourFormat},
    {"bgr", toBgr, referenceBgr, 3, colourFormat},
};

} // namespace

// The fast kernels give the plain kernels' bytes and results for every
// format they take: every Bayer order and depth, widths around the SIMD
// blocks (odd ones included), single columns and rows, random samples with
// bits above the format's depth, and short sources and destinations.
TEST(FastKernels, MatchThePlainKernelsByteForByte)
{
    std::mt19937 random(35);
    size_t n = 0;
    const PF::Info* table = PF::table(&n);
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {1, 6}, {7, 1}, {2, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 3},
                                                   {16, 3}, {17, 4}, {18, 2}, {19, 5}, {33, 3}, {34, 4}, {35, 2}, {61, 5}};
    int compared = 0;
    for (const Kernel& k : kKernels) {
        for (size_t i = 0; i < n; ++i) {
            const PF::Info& f = table[i];
            if (!k.accepts(f))
                continue;
            for (const auto& [w, h] : sizes) {
                const size_t full = size_t(PF::imageBytes(f, w, h));
                const size_t outRow = size_t(w) * k.outBytes;
                // Whole images; a source one byte short of its last row;
                // a destination one byte short and one holding a row and a bit.
                struct Run {
                    size_t source;
                    size_t destination;
                } runs[] = {{full, outRow * h}, {full - 1, outRow * h}, {full, outRow * h - 1}, {full, outRow + 1}};
                for (const Run& run : runs) {
                    const ExactSource src(run.source, random);
                    Image img;
                    img.pixels = src.data();
                    img.width = w;
                    img.height = h;
                    img.size = uint32_t(run.source);
                    img.pixelType = f.pfnc;
                    Guarded fast(run.destination), plain(run.destination);
                    std::fill(plain.bytes.begin(), plain.bytes.end(), 0xEE);
                    const int fastResult = k.fast(img, fast.data(), run.destination);
                    ASSERT_EQ(fastResult, k.reference(img, plain.data(), run.destination));
                    ASSERT_EQ(fastResult, run.source == full && run.destination >= outRow * h ? 0 : -1006);
                    const size_t differ = size_t(std::mismatch(fast.bytes.begin(), fast.bytes.end(), plain.bytes.begin()).first -
                                                 fast.bytes.begin());
                    ASSERT_EQ(differ, fast.bytes.size()) << k.name << " " << f.name << " " << w << "x" << h << " source "
                                                         << run.source << " destination " << run.destination;
                    ASSERT_TRUE(fast.guardIntact());
                    ++compared;
                }
            }
        }
    }
    // 16to8 on three mono and twelve Bayer word formats, 12to8 and 12to16 on
    // two mono and four Bayer packed ones, BGRX and BGR on 20 Bayer formats
    // and the generic triples.
    EXPECT_EQ(compared, (15 + 6 + 6 + 21 + 21) * 16 * 4);
}

// Large images convert in bands of rows on several threads; the bands meet
// without a seam, and short sources and destinations end where they do on
// one thread. 1023 x 771 pixels make three bands.
TEST(FastKernels, BandsOnSeveralThreadsMatchThePlainKernels)
{
    struct Case {
        const char* name;
        std::function<int(const Image&, void*, uint64_t)> threaded;
        int (*reference)(const Image&, void*, uint64_t);
        int outBytes;
        uint32_t format;
    };
    const Case cases[] = {
        {"16to8", [](const Image& s, void* d, uint64_t n) { return SimConvert::word16To8(s, d, n, 3); },
         SimConvert::Reference::word16To8, 1, PF::Mono12},
        {"12to8", [](const Image& s, void* d, uint64_t n) { return SimConvert::packed12To8(s, d, n, 3); },
         SimConvert::Reference::packed12To8, 1, PF::Mono12Packed},
        {"12to16", [](const Image& s, void* d, uint64_t n) { return SimConvert::packed12To16(s, d, n, 3); },
         SimConvert::Reference::packed12To16, 2, PF::BayerRG12Packed},
        {"bgrx 8", [](const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 4, 3); },
         referenceBgrx, 4, PF::BayerGR8},
        {"bgrx 16", [](const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 4, 4); },
         referenceBgrx, 4, PF::BayerBG16},
        {"bgrx packed", [](const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 4, 3); },
         referenceBgrx, 4, PF::BayerGB12Packed},
        {"bgr 8", [](const Image& s, void* d, uint64_t n) { return SimConvert::colorToBgr(s, d, n, 3, 3); },
         referenceBgr, 3, PF::BayerRG8},
    };
    constexpr uint32_t w = 1023, h = 771;
    std::mt19937 random(71);
    for (const Case& c : cases) {
        const PF::Info* f = PF::find(c.format);
        ASSERT_TRUE(f) << c.name;
        const size_t full = size_t(PF::imageBytes(*f, w, h));
        const size_t outRow = size_t(w) * c.outBytes;
        // Whole; a source short of its last row; a destination ending inside
        // the second band.
        const std::pair<size_t, size_t> runs[] = {{full, outRow * h}, {full - 1, outRow * h}, {full, outRow * 300 + 5}};
        for (const auto& [source, destination] : runs) {
            const ExactSource src(source, random);
            Image img;
            img.pixels = src.data();
            img.width = w;
            img.height = h;
            img.size = uint32_t(source);
            img.pixelType = c.format;
            Guarded threaded(destination), plain(destination);
            std::fill(plain.bytes.begin(), plain.bytes.end(), 0xEE);
            const int result = c.threaded(img, threaded.data(), destination);
            ASSERT_EQ(result, c.reference(img, plain.data(), destination)) << c.name;
            ASSERT_EQ(result, source == full && destination == outRow * h ? 0 : -1006) << c.name;
            ASSERT_TRUE(threaded.bytes == plain.bytes) << c.name << " source " << source << " destination " << destination;
            ASSERT_TRUE(threaded.guardIntact());
        }
    }
}
