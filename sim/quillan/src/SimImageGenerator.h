#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// What a simulated camera puts into its images. Large tables are shared
// pointers so that comparing two settings costs little: whoever fills them
// replaces a pointer when its content changes.
struct SimImageSettings {
    enum Pattern { Off = 0, GreyRamp = 1, Flat = 2, ColourChart = 3, DefectField = 4, Vignette = 5 };
    struct Defect {
        uint32_t x = 0, y = 0;   // sensor coordinates
        bool hot = true;         // hot pixels saturate, dead ones read 0
        bool operator==(const Defect& o) const { return x == o.x && y == o.y && hot == o.hot; }
    };
    struct Lut {
        bool enabled = false;
        uint32_t indexMax = 4095;  // input range of the table
        uint32_t valueMax = 4095;  // output range of the table
        // One table per channel: one entry for mono ("Luminance"), three for
        // red, green and blue; each has indexMax + 1 values.
        std::vector<std::shared_ptr<const std::vector<uint32_t>>> tables;
        bool operator==(const Lut& o) const
        {
            return enabled == o.enabled && indexMax == o.indexMax && valueMax == o.valueMax && tables == o.tables;
        }
    };
    // The camera's colour transformation: out = G x in + c on red, green and
    // blue before the mosaic, clamped to the format's range. values holds
    // G row by row (output red, green, blue), then c in 8-bit terms.
    struct ColourTransform {
        bool enabled = false;
        std::array<double, 12> values{{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
        bool operator==(const ColourTransform& o) const { return enabled == o.enabled && values == o.values; }
    };

    uint32_t sensorWidth = 1280, sensorHeight = 1024;
    uint32_t width = 1280, height = 1024, offsetX = 0, offsetY = 0;
    bool reverseX = false, reverseY = false;
    uint32_t pixelFormat = 0x01080001;  // PFNC code
    bool colorSensor = false;
    int pattern = Off;

    double exposureUs = 10000.0;
    double referenceExposureUs = 10000.0;  // exposure at which patterns show their nominal values
    double gainDb = 0.0;

    double flatValue = 255.0 / 4.0;  // 8-bit terms
    double noise = -1.0;             // standard deviation, 8-bit terms; below 0: 1 for the moving scene, 0 otherwise
    double vignetting = -1.0;        // fall-off in the corners; below 0: 0.2 for the moving scene, 0 otherwise
    std::array<double, 9> colourCast{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    std::vector<Defect> defects{{5, 7, true}, {100, 200, false}, {1279, 1023, true}};

    Lut lut;
    ColourTransform colourTransform;
    bool defectCorrection = false;
    std::shared_ptr<const std::vector<std::array<uint32_t, 2>>> defectMap;  // sensor x, y
    bool shadingCorrection = false;
    // Per sensor pixel: gain factor and offset (8-bit terms) subtracted before the gain.
    std::shared_ptr<const std::vector<float>> shadingGain, shadingOffset;

    bool operator==(const SimImageSettings& o) const;
    bool operator!=(const SimImageSettings& o) const { return !(*this == o); }
};

class SimImageGenerator {
public:
    SimImageGenerator();
    ~SimImageGenerator();
    SimImageGenerator(const SimImageGenerator&) = delete;
    SimImageGenerator& operator=(const SimImageGenerator&) = delete;

    // Takes new settings; caches are rebuilt only when they changed.
    void configure(const SimImageSettings& settings);
    const SimImageSettings& settings() const;
    uint64_t imageBytes() const;

    // Writes image number frame; at most capacity bytes. Returns the bytes written.
    uint64_t render(uint64_t frame, uint8_t* out, uint64_t capacity);

    // The 24 patch colours of the chart, red, green, blue.
    static const std::array<std::array<uint8_t, 3>, 24>& chartColours();

    // Non-uniform shading words (offset code in bits 15..10, gain code in bits
    // 9..0) as gain 1 + code / 1024 and offset code / 4.
    static void decodeNonUniformShading(const uint8_t* words, size_t count, bool bigEndian,
                                        std::vector<float>& gain, std::vector<float>& offset);

private:
    struct Cache;
    static void renderBand(const Cache& c, uint64_t frame, uint8_t* img, uint32_t y0, uint32_t y1);
    std::unique_ptr<Cache> cache_;
};
