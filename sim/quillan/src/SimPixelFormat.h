#pragma once

#include <cstddef>
#include <cstdint>

// Pixel formats the simulated cameras deliver: PFNC codes, the SDK's 16-bit
// pixel types and what the image generator and conversions need to know.
namespace SimPixelFormat {

enum Pfnc : uint32_t {
    Mono8 = 0x01080001,
    Mono10 = 0x01100003,
    Mono10Packed = 0x010C0004,
    Mono12 = 0x01100005,
    Mono12Packed = 0x010C0006,
    Mono16 = 0x01100007,
    BayerGR8 = 0x01080008,
    BayerRG8 = 0x01080009,
    BayerGB8 = 0x0108000A,
    BayerBG8 = 0x0108000B,
    BayerGR10 = 0x0110000C,
    BayerRG10 = 0x0110000D,
    BayerGB10 = 0x0110000E,
    BayerBG10 = 0x0110000F,
    BayerGR12 = 0x01100010,
    BayerRG12 = 0x01100011,
    BayerGB12 = 0x01100012,
    BayerBG12 = 0x01100013,
    BayerGR12Packed = 0x010C002A,
    BayerRG12Packed = 0x010C002B,
    BayerGB12Packed = 0x010C002C,
    BayerBG12Packed = 0x010C002D,
    BayerGR16 = 0x0110002E,
    BayerRG16 = 0x0110002F,
    BayerGB16 = 0x01100030,
    BayerBG16 = 0x01100031,
    RGB8 = 0x02180014,
    // Colour, 24 bits, pixel id 0: blue, green, red triples.
    BGR8Generic = 0x02180000,
};

enum class Layout { Byte, Word16, Packed12, Triple };
// Position of the red site in the 2x2 Bayer cell; None for mono and RGB.
enum class Cfa { None, GR, RG, GB, BG };

struct Info {
    uint32_t pfnc = 0;
    uint32_t sdkType = 0;       // 0 when the SDK has no 16-bit type for it
    const char* name = "";
    Layout layout = Layout::Byte;
    Cfa cfa = Cfa::None;
    int significantBits = 8;    // 10 for Mono10 (values 0 .. 1023)
    bool displaySupported = false;
    bool color = false;
};

// The format of a PFNC code or of one of the SDK's 16-bit types (the mapped
// 16-bit types only); null when unknown.
const Info* find(uint32_t pixelType);
const Info* findByName(const char* name);
// All formats of the table, in table order.
const Info* table(size_t* count);

inline uint32_t bitsField(uint32_t pfnc) { return (pfnc >> 16) & 0xFF; }
inline uint32_t maxValue(const Info& f) { return (1u << f.significantBits) - 1u; }

// Bytes of an image of this format; packed formats take 3 bytes per 2 pixels.
uint64_t imageBytes(const Info& f, uint32_t width, uint32_t height);
uint64_t imageBytes(uint32_t pixelType, uint32_t width, uint32_t height);

// Colour of the Bayer site at (x, y): 0 red, 1 green, 2 blue.
inline int siteColor(Cfa cfa, uint32_t x, uint32_t y)
{
    const unsigned cell = ((y & 1u) << 1) | (x & 1u); // 0 (0,0) 1 (1,0) 2 (0,1) 3 (1,1)
    // red cell and blue cell per order
    unsigned red = 0, blue = 3;
    switch (cfa) {
    case Cfa::RG: red = 0; blue = 3; break;
    case Cfa::GR: red = 1; blue = 2; break;
    case Cfa::BG: red = 3; blue = 0; break;
    case Cfa::GB: red = 2; blue = 1; break;
    case Cfa::None: return 1;
    }
    if (cell == red)
        return 0;
    if (cell == blue)
        return 2;
    return 1;
}

// Two pixels in three bytes: p0 = b0 << 4 | (b1 & 15), p1 = b2 << 4 | b1 >> 4.
inline uint16_t unpack12(const uint8_t* image, uint64_t pixelIndex)
{
    const uint8_t* g = image + (pixelIndex >> 1) * 3;
    if ((pixelIndex & 1) == 0)
        return uint16_t((g[0] << 4) | (g[1] & 0x0F));
    return uint16_t((g[2] << 4) | (g[1] >> 4));
}

inline void pack12(uint8_t* image, uint64_t pixelIndex, uint16_t value)
{
    uint8_t* g = image + (pixelIndex >> 1) * 3;
    if ((pixelIndex & 1) == 0) {
        g[0] = uint8_t(value >> 4);
        g[1] = uint8_t((g[1] & 0xF0) | (value & 0x0F));
    } else {
        g[2] = uint8_t(value >> 4);
        g[1] = uint8_t((g[1] & 0x0F) | ((value & 0x0F) << 4));
    }
}

} // namespace SimPixelFormat
