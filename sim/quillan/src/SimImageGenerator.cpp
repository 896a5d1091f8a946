#include "SimImageGenerator.h"

#include "SimBandPool.h"
#include "SimPixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

using SimPixelFormat::Info;
using SimPixelFormat::Layout;

bool SimImageSettings::operator==(const SimImageSettings& o) const
{
    return sensorWidth == o.sensorWidth && sensorHeight == o.sensorHeight && width == o.width
        && height == o.height && offsetX == o.offsetX && offsetY == o.offsetY && reverseX == o.reverseX
        && reverseY == o.reverseY && pixelFormat == o.pixelFormat && colorSensor == o.colorSensor
        && pattern == o.pattern && exposureUs == o.exposureUs && referenceExposureUs == o.referenceExposureUs
        && gainDb == o.gainDb && flatValue == o.flatValue && noise == o.noise && vignetting == o.vignetting
        && colourCast == o.colourCast && defects == o.defects && lut == o.lut
        && colourTransform == o.colourTransform
        && defectCorrection == o.defectCorrection && defectMap == o.defectMap
        && shadingCorrection == o.shadingCorrection && shadingGain == o.shadingGain
        && shadingOffset == o.shadingOffset;
}

namespace {

constexpr uint32_t kFull = 65535;  // normalised full scale
constexpr size_t kNoiseLength = size_t(1) << 18;

struct ImageDefect {
    uint32_t x, y;
    bool hot;
};

// Small deterministic generator so that images repeat from run to run.
struct Lcg {
    uint64_t state;
    uint32_t next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    }
    double uniform() { return next() / 2147483648.0; }
};

} // namespace

struct SimImageGenerator::Cache {
    SimImageSettings s;
    bool valid = false;
    const Info* format = nullptr;
    uint32_t channels = 1;           // values per pixel: 3 for RGB triples
    bool moving = false;             // content depends on the image number
    float uniformGain = 1.0f;        // used when gain is empty
    std::vector<float> gain;         // per image pixel
    std::vector<float> offset;       // per image pixel, normalised units
    std::vector<uint16_t> base;      // static content, channels per pixel
    std::vector<uint32_t> sensorX, sensorY;
    std::vector<uint16_t> quant[3];
    std::vector<float> noise;
    std::vector<ImageDefect> defects, corrected;
    std::vector<uint8_t> scratch;
    // Colour transformation of the moving scene, whose grey value v becomes
    // greyGain[o] * v + greyOffset[o] in channel o (normalised units).
    bool greyTransform = false;
    float greyGain[3] = {1, 1, 1}, greyOffset[3] = {0, 0, 0};
};

SimImageGenerator::SimImageGenerator() : cache_(new Cache) {}
SimImageGenerator::~SimImageGenerator() = default;

const SimImageSettings& SimImageGenerator::settings() const { return cache_->s; }

uint64_t SimImageGenerator::imageBytes() const
{
    const Cache& c = *cache_;
    return c.format ? SimPixelFormat::imageBytes(*c.format, c.s.width, c.s.height) : 0;
}

const std::array<std::array<uint8_t, 3>, 24>& SimImageGenerator::chartColours()
{
    static const std::array<std::array<uint8_t, 3>, 24> colours{{
        {{0x74, 0x51, 0x43}}, {{0xc7, 0x93, 0x81}}, {{0x5b, 0x7a, 0x9c}}, {{0x5a, 0x6c, 0x40}},
        {{0x82, 0x80, 0xb0}}, {{0x5c, 0xbe, 0xac}}, {{0xe0, 0x7c, 0x2f}}, {{0x44, 0x5b, 0xaa}},
        {{0xc6, 0x52, 0x61}}, {{0x5e, 0x3a, 0x6a}}, {{0x9f, 0xbd, 0x3f}}, {{0xe6, 0xa2, 0x27}},
        {{0x23, 0x3f, 0x93}}, {{0x43, 0x95, 0x4a}}, {{0xb4, 0x31, 0x39}}, {{0xee, 0xc6, 0x14}},
        {{0xc1, 0x54, 0x97}}, {{0x00, 0x88, 0xaa}}, {{0xf5, 0xf5, 0xf3}}, {{0xc8, 0xca, 0xca}},
        {{0xa1, 0xa3, 0xa3}}, {{0x79, 0x79, 0x7a}}, {{0x52, 0x54, 0x56}}, {{0x31, 0x31, 0x33}},
    }};
    return colours;
}

void SimImageGenerator::decodeNonUniformShading(const uint8_t* words, size_t count, bool bigEndian,
                                                std::vector<float>& gain, std::vector<float>& offset)
{
    gain.resize(count);
    offset.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t a = words[2 * i], b = words[2 * i + 1];
        const uint16_t w = bigEndian ? uint16_t((a << 8) | b) : uint16_t((b << 8) | a);
        offset[i] = float(w >> 10) / 4.0f;
        gain[i] = 1.0f + float(w & 0x3FF) / 1024.0f;
    }
}

void SimImageGenerator::configure(const SimImageSettings& settings)
{
    Cache& c = *cache_;
    if (c.valid && c.s == settings)
        return;
    c.s = settings;
    c.valid = true;
    const SimImageSettings& s = c.s;
    c.format = SimPixelFormat::find(s.pixelFormat);
    if (!c.format)
        c.format = SimPixelFormat::find(SimPixelFormat::Mono8);
    const Info& f = *c.format;
    const uint32_t w = s.width, h = s.height;
    const size_t pixels = size_t(w) * h;
    c.channels = f.layout == Layout::Triple ? 3 : 1;
    c.moving = s.pattern == SimImageSettings::Off;
    const bool transform = s.colourTransform.enabled && f.color;
    const auto& ct = s.colourTransform.values;
    c.greyTransform = transform && c.moving;
    for (int o = 0; o < 3; ++o) {
        c.greyGain[o] = float(ct[3 * o] + ct[3 * o + 1] + ct[3 * o + 2]);
        c.greyOffset[o] = float(ct[9 + o] * 257.0);
    }

    c.sensorX.resize(w);
    c.sensorY.resize(h);
    for (uint32_t x = 0; x < w; ++x)
        c.sensorX[x] = s.offsetX + (s.reverseX ? w - 1 - x : x);
    for (uint32_t y = 0; y < h; ++y)
        c.sensorY[y] = s.offsetY + (s.reverseY ? h - 1 - y : y);

    const double cx = (double(s.sensorWidth) - 1) / 2, cy = (double(s.sensorHeight) - 1) / 2;
    const double rNorm = std::max(1.0, cx * cx + cy * cy);
    auto radius2 = [&](uint32_t x, uint32_t y) {
        const double dx = c.sensorX[x] - cx, dy = c.sensorY[y] - cy;
        return (dx * dx + dy * dy) / rNorm;
    };

    // Gain and offset: exposure, analogue gain, vignetting, shading correction.
    const double factor = (s.referenceExposureUs > 0 ? s.exposureUs / s.referenceExposureUs : 1.0)
        * std::pow(10.0, s.gainDb / 20.0);
    const double vig = s.vignetting >= 0 ? s.vignetting : (c.moving ? 0.2 : 0.0);
    const size_t sensorPixels = size_t(s.sensorWidth) * s.sensorHeight;
    const bool shading = s.shadingCorrection && s.shadingGain && s.shadingGain->size() >= sensorPixels;
    const bool shadingOffset = shading && s.shadingOffset && s.shadingOffset->size() >= sensorPixels;
    c.uniformGain = float(factor);
    c.gain.clear();
    c.offset.clear();
    if (vig > 0 || shading) {
        c.gain.resize(pixels);
        if (shadingOffset)
            c.offset.resize(pixels);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const size_t i = size_t(y) * w + x;
                double g = factor * (1.0 - vig * radius2(x, y));
                if (shading) {
                    const uint32_t sx = c.sensorX[x], sy = c.sensorY[y];
                    const size_t si = (sx < s.sensorWidth && sy < s.sensorHeight) ? size_t(sy) * s.sensorWidth + sx : 0;
                    const double sg = (*s.shadingGain)[si];
                    g *= sg;
                    if (shadingOffset)
                        c.offset[i] = float(-(*s.shadingOffset)[si] * 257.0 * sg);
                }
                c.gain[i] = float(g);
            }
        }
    }

    // Static content.
    c.base.clear();
    auto level = [](double eightBit) { return uint16_t(std::clamp(eightBit * 257.0 + 0.5, 0.0, 65535.0)); };
    if (!c.moving) {
        c.base.resize(pixels * c.channels);
        const auto& cast = s.colourCast;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const size_t i = (size_t(y) * w + x) * c.channels;
                double rgb[3] = {0, 0, 0};
                switch (s.pattern) {
                case SimImageSettings::GreyRamp:
                    rgb[0] = w > 1 ? 255.0 * x / (w - 1) : 0.0;
                    break;
                case SimImageSettings::Flat: rgb[0] = s.flatValue; break;
                case SimImageSettings::DefectField: rgb[0] = 16.0; break;
                case SimImageSettings::Vignette: rgb[0] = 200.0 - 80.0 * radius2(x, y); break;
                case SimImageSettings::ColourChart: {
                    const uint32_t patch = (uint32_t(uint64_t(y) * 4 / h)) * 6 + uint32_t(uint64_t(x) * 6 / w);
                    const auto& p = chartColours()[patch];
                    for (int k = 0; k < 3; ++k)
                        rgb[k] = std::clamp(cast[k * 3] * p[0] + cast[k * 3 + 1] * p[1] + cast[k * 3 + 2] * p[2], 0.0, 255.0);
                    break;
                }
                default: break;
                }
                if (s.pattern != SimImageSettings::ColourChart) {
                    rgb[1] = rgb[2] = rgb[0];
                } else if (!f.color) {
                    rgb[0] = rgb[1] = rgb[2] = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
                }
                if (transform) {
                    const double in[3] = {rgb[0], rgb[1], rgb[2]};
                    for (int o = 0; o < 3; ++o)
                        rgb[o] = std::clamp(ct[3 * o] * in[0] + ct[3 * o + 1] * in[1] + ct[3 * o + 2] * in[2] + ct[9 + o],
                                            0.0, 255.0);
                }
                if (c.channels == 3) {
                    for (int k = 0; k < 3; ++k)
                        c.base[i + k] = level(rgb[k]);
                } else {
                    const int site = f.cfa == SimPixelFormat::Cfa::None ? 1 : SimPixelFormat::siteColor(f.cfa, x, y);
                    c.base[i] = level(rgb[site]);
                }
            }
        }
    }

    // Output quantisation with the camera's look-up table.
    const uint32_t maxRaw = SimPixelFormat::maxValue(f);
    for (int ch = 0; ch < 3; ++ch) {
        const std::vector<uint32_t>* table = nullptr;
        if (s.lut.enabled && !s.lut.tables.empty()) {
            const auto& t = s.lut.tables[s.lut.tables.size() == 3 ? ch : 0];
            if (t && t->size() > s.lut.indexMax)
                table = t.get();
        }
        c.quant[ch].resize(kFull + 1);
        for (uint32_t v = 0; v <= kFull; ++v) {
            double norm = double(v) / kFull;
            if (table) {
                const uint32_t idx = uint32_t(std::lround(norm * s.lut.indexMax));
                norm = double(std::min((*table)[idx], s.lut.valueMax)) / std::max(1u, s.lut.valueMax);
            }
            c.quant[ch][v] = uint16_t(std::lround(norm * maxRaw));
        }
    }

    // Noise table.
    const double sd = (s.noise >= 0 ? s.noise : (c.moving ? 1.0 : 0.0)) * 257.0;
    c.noise.clear();
    if (sd > 0) {
        c.noise.resize(kNoiseLength);
        Lcg rng{0x5eed};
        for (auto& n : c.noise) {
            // Sum of four uniforms: close enough to a normal distribution.
            const double u = rng.uniform() + rng.uniform() + rng.uniform() + rng.uniform() - 2.0;
            n = float(std::clamp(u * std::sqrt(3.0) * sd, -32767.0, 32767.0));
        }
    }

    // Planted defects and the pixels the camera corrects, in image coordinates.
    auto toImage = [&](uint32_t sx, uint32_t sy, uint32_t& x, uint32_t& y) {
        if (sx < s.offsetX || sy < s.offsetY || sx - s.offsetX >= w || sy - s.offsetY >= h)
            return false;
        x = s.reverseX ? w - 1 - (sx - s.offsetX) : sx - s.offsetX;
        y = s.reverseY ? h - 1 - (sy - s.offsetY) : sy - s.offsetY;
        return true;
    };
    c.defects.clear();
    if (s.pattern == SimImageSettings::Off || s.pattern == SimImageSettings::DefectField
        || s.pattern == SimImageSettings::Vignette) {
        for (const auto& d : s.defects) {
            uint32_t x, y;
            if (toImage(d.x, d.y, x, y))
                c.defects.push_back({x, y, d.hot});
        }
    }
    c.corrected.clear();
    if (s.defectCorrection && s.defectMap) {
        for (const auto& d : *s.defectMap) {
            uint32_t x, y;
            if (toImage(d[0], d[1], x, y))
                c.corrected.push_back({x, y, false});
        }
    }
}

namespace {

uint32_t readRaw(const Info& f, const uint8_t* img, size_t i)
{
    switch (f.layout) {
    case Layout::Byte: return img[i];
    case Layout::Word16: return uint32_t(img[2 * i]) | (uint32_t(img[2 * i + 1]) << 8);
    case Layout::Packed12: return SimPixelFormat::unpack12(img, i);
    case Layout::Triple: return img[3 * i + 1];
    }
    return 0;
}

void writeRaw(const Info& f, uint8_t* img, size_t i, uint32_t v)
{
    switch (f.layout) {
    case Layout::Byte: img[i] = uint8_t(v); break;
    case Layout::Word16:
        img[2 * i] = uint8_t(v);
        img[2 * i + 1] = uint8_t(v >> 8);
        break;
    case Layout::Packed12: SimPixelFormat::pack12(img, i, uint16_t(v)); break;
    case Layout::Triple: img[3 * i] = img[3 * i + 1] = img[3 * i + 2] = uint8_t(v); break;
    }
}

} // namespace

void SimImageGenerator::renderBand(const Cache& c, uint64_t frame, uint8_t* img, uint32_t y0, uint32_t y1)
{
    const Info& f = *c.format;
    const uint32_t w = c.s.width;
    const bool bayer = f.cfa != SimPixelFormat::Cfa::None;
    const size_t noiseMask = kNoiseLength - 1;
    const size_t noiseShift = size_t((frame * 2654435761ull) & noiseMask);
    const uint32_t rampStep = uint32_t(frame & 0xFF);
    std::vector<uint16_t> rowBuffer(size_t(w) * c.channels);
    std::vector<float> workBuffer(size_t(w) * c.channels);
    uint16_t* row = rowBuffer.data();
    for (uint32_t y = y0; y < y1; ++y) {
        const size_t rowStart = size_t(y) * w;
        const uint32_t sy = c.sensorY[y];
        const uint32_t n = w * c.channels;
        const uint32_t chs = c.channels;
        float* t = workBuffer.data();
        // Content, then gain, noise and offset, each over the whole row.
        if (c.moving) {
            const uint32_t* sxs = c.sensorX.data();
            if (chs == 1) {
                for (uint32_t k = 0; k < n; ++k)
                    t[k] = float(int32_t(((sxs[k] + sy + rampStep) & 0xFF) * 257u));
            } else {
                for (uint32_t k = 0; k < n; ++k)
                    t[k] = float(int32_t(((sxs[k / 3] + sy + rampStep) & 0xFF) * 257u));
            }
            if (c.greyTransform) {
                auto apply = [&c](float v, int o) {
                    return std::clamp(c.greyGain[o] * v + c.greyOffset[o], 0.0f, float(kFull));
                };
                if (chs == 3) {
                    for (uint32_t k = 0; k < n; ++k)
                        t[k] = apply(t[k], int(k % 3));
                } else {
                    for (uint32_t x = 0; x < w; ++x)
                        t[x] = apply(t[x], SimPixelFormat::siteColor(f.cfa, x, y));
                }
            }
        } else {
            const uint16_t* b = c.base.data() + rowStart * chs;
            for (uint32_t k = 0; k < n; ++k)
                t[k] = b[k];
        }
        if (!c.gain.empty()) {
            const float* g = c.gain.data() + rowStart;
            if (chs == 1) {
                for (uint32_t k = 0; k < n; ++k)
                    t[k] *= g[k];
            } else {
                for (uint32_t k = 0; k < n; ++k)
                    t[k] *= g[k / 3];
            }
        } else if (c.uniformGain != 1.0f) {
            const float g = c.uniformGain;
            for (uint32_t k = 0; k < n; ++k)
                t[k] *= g;
        }
        if (!c.noise.empty()) {
            // The noise table is read in at most two contiguous pieces.
            const size_t first = (rowStart * chs + noiseShift) & noiseMask;
            const uint32_t piece = uint32_t(std::min<size_t>(n, kNoiseLength - first));
            const float* nz = c.noise.data() + first;
            for (uint32_t k = 0; k < piece; ++k)
                t[k] += nz[k];
            for (uint32_t k = piece; k < n; ++k)
                t[k] += c.noise[k - piece];
        }
        if (!c.offset.empty()) {
            const float* o = c.offset.data() + rowStart;
            for (uint32_t k = 0; k < n; ++k)
                t[k] += o[chs == 1 ? k : k / 3];
        }
        auto level = [](float v) { return size_t(int32_t(std::clamp(v, 0.0f, float(kFull)) + 0.5f)); };
        if (chs == 3) {
            for (uint32_t k = 0; k < n; ++k)
                row[k] = c.quant[k % 3][level(t[k])];
        } else {
            const uint16_t* q0 = c.quant[bayer ? SimPixelFormat::siteColor(f.cfa, 0, y) : 0].data();
            const uint16_t* q1 = c.quant[bayer ? SimPixelFormat::siteColor(f.cfa, 1, y) : 0].data();
            uint32_t x = 0;
            for (; x + 1 < w; x += 2) {
                row[x] = q0[level(t[x])];
                row[x + 1] = q1[level(t[x + 1])];
            }
            if (x < w)
                row[x] = q0[level(t[x])];
        }
        switch (f.layout) {
        case Layout::Byte: {
            uint8_t* o = img + rowStart;
            for (uint32_t x = 0; x < w; ++x)
                o[x] = uint8_t(row[x]);
            break;
        }
        case Layout::Word16: {
            uint8_t* o = img + rowStart * 2;
            for (uint32_t x = 0; x < w; ++x) {
                o[2 * x] = uint8_t(row[x]);
                o[2 * x + 1] = uint8_t(row[x] >> 8);
            }
            break;
        }
        case Layout::Packed12:
            for (uint32_t x = 0; x < w; ++x)
                SimPixelFormat::pack12(img, rowStart + x, row[x]);
            break;
        case Layout::Triple: {
            uint8_t* o = img + rowStart * 3;
            for (uint32_t k = 0; k < n; ++k)
                o[k] = uint8_t(row[k]);
            break;
        }
        }
    }
}

uint64_t SimImageGenerator::render(uint64_t frame, uint8_t* out, uint64_t capacity)
{
    Cache& c = *cache_;
    if (!c.valid)
        configure(SimImageSettings());
    const Info& f = *c.format;
    const uint32_t w = c.s.width, h = c.s.height;
    const uint64_t bytes = imageBytes();
    if (!out || capacity == 0 || bytes == 0)
        return 0;
    uint8_t* img = out;
    if (capacity < bytes) {
        c.scratch.resize(bytes);
        img = c.scratch.data();
    }

    const bool bayer = f.cfa != SimPixelFormat::Cfa::None;
    // Large images are rendered in bands on several threads. Bands start at
    // an even pixel index so that no packed group is shared.
    const uint64_t pixels = uint64_t(w) * h;
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    const uint32_t bands = pixels >= (1u << 20) ? std::min(4u, hw) : 1u;
    std::vector<uint32_t> starts{0};
    for (uint32_t b = 1; b <= bands; ++b) {
        uint32_t y1 = b == bands ? h : uint32_t(uint64_t(h) * b / bands);
        if ((uint64_t(y1) * w) % 2 == 1)
            ++y1;
        starts.push_back(std::min(y1, h));
    }
    static SimBandPool pool(std::min(4u, hw) - 1);  // the camera's own threads
    pool.run(bands, [&](uint32_t b) { renderBand(c, frame, img, starts[b], starts[b + 1]); });
    // An odd pixel count leaves half a packed group: keep its spare nibble 0.
    if (f.layout == Layout::Packed12 && (uint64_t(w) * h) % 2 == 1)
        img[bytes - 1] &= 0x0F;

    const uint32_t maxRaw = SimPixelFormat::maxValue(f);
    for (const auto& d : c.defects)
        writeRaw(f, img, size_t(d.y) * w + d.x, d.hot ? maxRaw : 0);
    const uint32_t step = bayer ? 2 : 1;
    for (const auto& d : c.corrected) {
        uint32_t sum = 0, count = 0;
        if (d.x >= step) {
            sum += readRaw(f, img, size_t(d.y) * w + d.x - step);
            ++count;
        }
        if (d.x + step < w) {
            sum += readRaw(f, img, size_t(d.y) * w + d.x + step);
            ++count;
        }
        if (count)
            writeRaw(f, img, size_t(d.y) * w + d.x, (sum + count / 2) / count);
    }

    if (img != out) {
        std::memcpy(out, img, capacity);
        return capacity;
    }
    return bytes;
}
