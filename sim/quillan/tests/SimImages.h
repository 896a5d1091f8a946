// Small images for the conversion and image-file tests.
#ifndef SIMIMAGES_H
#define SIMIMAGES_H

#include "SimConvert.h"
#include "SimPixelFormat.h"

#include <vector>

namespace simtest {

// Little-endian 16-bit words as bytes.
inline std::vector<uint8_t> words(const std::vector<uint16_t>& v)
{
    std::vector<uint8_t> b(v.size() * 2);
    for (size_t i = 0; i < v.size(); ++i) {
        b[2 * i] = uint8_t(v[i]);
        b[2 * i + 1] = uint8_t(v[i] >> 8);
    }
    return b;
}

// Values packed two to three bytes.
inline std::vector<uint8_t> packed(const std::vector<uint16_t>& v)
{
    std::vector<uint8_t> b((v.size() * 3 + 1) / 2, 0);
    for (size_t i = 0; i < v.size(); ++i)
        SimPixelFormat::pack12(b.data(), i, v[i]);
    return b;
}

inline SimConvert::Image image(const std::vector<uint8_t>& bytes, uint32_t w, uint32_t h, uint32_t type)
{
    SimConvert::Image i;
    i.pixels = bytes.data();
    i.width = w;
    i.height = h;
    i.size = uint32_t(bytes.size());
    i.pixelType = type;
    return i;
}

} // namespace simtest

#endif // SIMIMAGES_H
