#include "SimConvert.h"

#include "SimPixelFormat.h"

#include "OrvSdk.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace SimConvert {

namespace {

using SimPixelFormat::Info;
using SimPixelFormat::Layout;

inline uint16_t load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Complete rows of the source image, limited by its size field.
uint32_t sourceRows(const Info& f, const Image& s)
{
    if (!s.pixels || s.width == 0)
        return 0;
    uint64_t pixels = 0;
    switch (f.layout) {
    case Layout::Byte: pixels = s.size; break;
    case Layout::Word16: pixels = uint64_t(s.size) / 2; break;
    case Layout::Packed12: pixels = uint64_t(s.size) * 2 / 3; break;
    case Layout::Triple: pixels = uint64_t(s.size) / 3; break;
    }
    return uint32_t(std::min<uint64_t>(s.height, pixels / s.width));
}

const Info* acceptFormat(const Image& s, bool (*accepts)(const Info&))
{
    if (s.secondWord != 0)
        return nullptr;
    const Info* f = SimPixelFormat::find(s.pixelType);
    return (f && accepts(*f)) ? f : nullptr;
}

// Runs rowFn(y, destinationRow) for each row that both the source and the
// destination hold; zeroes destination rows the source lacks.
template <class RowFn>
int forEachRow(const Image& s, const Info& f, void* dst, uint64_t dstSize, uint64_t outRowBytes, RowFn rowFn)
{
    if (!dst || s.width == 0 || s.height == 0 || !s.pixels)
        return ORV_ERROR_INVALID_ARGUMENT;
    uint8_t* out = static_cast<uint8_t*>(dst);
    const uint64_t dstRows = std::min<uint64_t>(s.height, dstSize / outRowBytes);
    const uint32_t srcRows = sourceRows(f, s);
    uint64_t y = 0;
    for (; y < std::min<uint64_t>(dstRows, srcRows); ++y)
        rowFn(uint32_t(y), out + y * outRowBytes);
    if (y < dstRows)
        std::memset(out + y * outRowBytes, 0, (dstRows - y) * outRowBytes);
    return (dstRows < s.height || srcRows < s.height) ? ORV_ERROR_INVALID_ARGUMENT : ORV_SUCCESS;
}

inline uint32_t reflect(int64_t i, uint32_t n)
{
    if (i < 0)
        return n > 1 ? 1 : 0;
    if (i >= int64_t(n))
        return n > 1 ? n - 2 : 0;
    return uint32_t(i);
}

template <int Bpp>
inline void putPixel(uint8_t* out, uint32_t x, uint32_t r, uint32_t g, uint32_t b)
{
    if constexpr (Bpp == 4) {
        const uint32_t word = 0xFF000000u | (r << 16) | (g << 8) | b;
        std::memcpy(out + size_t(x) * 4, &word, 4);
    } else {
        uint8_t* p = out + size_t(x) * 3;
        p[0] = uint8_t(b);
        p[1] = uint8_t(g);
        p[2] = uint8_t(r);
    }
}

template <bool Scale>
inline uint32_t scaled(uint32_t v, unsigned shift)
{
    if constexpr (Scale)
        return std::min<uint32_t>(255u, v >> shift);
    else
        return v;
}

// One output row of the bilinear demosaic. u, c, d are the rows above, at
// and below; greenEven tells whether the even columns are green; RedRow
// whether the row's other colour is red.
template <typename T, int Bpp, bool Scale, bool RedRow>
void demosaicRow(const T* u, const T* c, const T* d, uint32_t w, bool greenEven, unsigned shift, uint8_t* out)
{
    auto pixel = [&](uint32_t x, uint32_t xl, uint32_t xr, bool green) {
        uint32_t red, grn, blue;
        if (green) {
            const uint32_t h = (uint32_t(c[xl]) + c[xr] + 1) >> 1;  // the row's colour
            const uint32_t v = (uint32_t(u[x]) + d[x] + 1) >> 1;    // the other colour
            grn = c[x];
            red = RedRow ? h : v;
            blue = RedRow ? v : h;
        } else {
            const uint32_t own = c[x];
            const uint32_t diag = (uint32_t(u[xl]) + u[xr] + d[xl] + d[xr] + 2) >> 2;
            grn = (uint32_t(c[xl]) + c[xr] + u[x] + d[x] + 2) >> 2;
            red = RedRow ? own : diag;
            blue = RedRow ? diag : own;
        }
        putPixel<Bpp>(out, x, scaled<Scale>(red, shift), scaled<Scale>(grn, shift), scaled<Scale>(blue, shift));
    };
    const bool greenOdd = !greenEven;
    if (w == 1) {
        pixel(0, 0, 0, greenEven);
        return;
    }
    pixel(0, 1, 1, greenEven);
    uint32_t x = 1;
    if (w >= 3) {
        const uint32_t last = w - 2;
        if (greenOdd) {
            for (; x + 1 <= last; x += 2) {
                pixel(x, x - 1, x + 1, true);
                pixel(x + 1, x, x + 2, false);
            }
        } else {
            for (; x + 1 <= last; x += 2) {
                pixel(x, x - 1, x + 1, false);
                pixel(x + 1, x, x + 2, true);
            }
        }
        if (x <= last) {
            pixel(x, x - 1, x + 1, (x & 1) ? greenOdd : greenEven);
            ++x;
        }
    }
    const uint32_t e = w - 1;
    pixel(e, e - 1, e - 1, (e & 1) ? greenOdd : greenEven);
}

// Source rows as arrays of T: 8-bit rows point into the image; deeper rows
// are copied into a ring of three native words.
template <typename T>
class RowSource {
public:
    RowSource(const Info& f, const Image& s) : f_(f), s_(s)
    {
        if constexpr (sizeof(T) == 2)
            ring_.resize(size_t(s.width) * 3);
    }
    const T* row(uint32_t y)
    {
        const uint8_t* base = static_cast<const uint8_t*>(s_.pixels);
        if constexpr (sizeof(T) == 1) {
            return base + size_t(y) * s_.width;
        } else {
            const unsigned slot = y % 3;
            T* dst = ring_.data() + size_t(slot) * s_.width;
            if (loaded_[slot] != int64_t(y)) {
                if (f_.layout == Layout::Word16) {
                    std::memcpy(dst, base + size_t(y) * s_.width * 2, size_t(s_.width) * 2);
                } else {
                    const uint64_t first = uint64_t(y) * s_.width;
                    for (uint32_t x = 0; x < s_.width; ++x)
                        dst[x] = SimPixelFormat::unpack12(base, first + x);
                }
                loaded_[slot] = y;
            }
            return dst;
        }
    }

private:
    const Info& f_;
    const Image& s_;
    std::vector<T> ring_;
    int64_t loaded_[3] = {-1, -1, -1};
};

template <typename T, int Bpp, bool Scale>
int demosaic(const Image& s, const Info& f, void* dst, uint64_t dstSize, unsigned shift)
{
    RowSource<T> rows(f, s);
    const uint32_t h = std::max<uint32_t>(1, sourceRows(f, s));
    return forEachRow(s, f, dst, dstSize, uint64_t(s.width) * Bpp, [&](uint32_t y, uint8_t* out) {
        const T* c = rows.row(y);
        const T* u = rows.row(reflect(int64_t(y) - 1, h));
        const T* d = rows.row(reflect(int64_t(y) + 1, h));
        const bool greenEven = SimPixelFormat::siteColor(f.cfa, 0, y) == 1;
        const bool redRow = SimPixelFormat::siteColor(f.cfa, greenEven ? 1 : 0, y) == 0;
        if (redRow)
            demosaicRow<T, Bpp, Scale, true>(u, c, d, s.width, greenEven, shift, out);
        else
            demosaicRow<T, Bpp, Scale, false>(u, c, d, s.width, greenEven, shift, out);
    });
}

template <int Bpp>
int colorToBgrN(const Image& s, const Info& f, void* dst, uint64_t dstSize)
{
    if (f.layout == Layout::Triple) {
        const uint8_t* in = static_cast<const uint8_t*>(s.pixels);
        return forEachRow(s, f, dst, dstSize, uint64_t(s.width) * Bpp, [&](uint32_t y, uint8_t* out) {
            const uint8_t* p = in + size_t(y) * s.width * 3;
            for (uint32_t x = 0; x < s.width; ++x, p += 3)
                putPixel<Bpp>(out, x, p[2], p[1], p[0]);
        });
    }
    if (f.layout == Layout::Byte)
        return demosaic<uint8_t, Bpp, false>(s, f, dst, dstSize, 0);
    return demosaic<uint16_t, Bpp, true>(s, f, dst, dstSize, unsigned(f.significantBits - 8));
}

} // namespace

int packed12To8(const Image& src, void* dst, uint64_t dstSize)
{
    const Info* f = acceptFormat(src, [](const Info& i) { return i.layout == Layout::Packed12; });
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(f->significantBits - 8);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    return forEachRow(src, *f, dst, dstSize, src.width, [&](uint32_t y, uint8_t* out) {
        const uint64_t first = uint64_t(y) * src.width;
        for (uint32_t x = 0; x < src.width; ++x)
            out[x] = uint8_t(SimPixelFormat::unpack12(in, first + x) >> shift);
    });
}

int packed12To16(const Image& src, void* dst, uint64_t dstSize)
{
    const Info* f = acceptFormat(src, [](const Info& i) { return i.layout == Layout::Packed12; });
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(16 - f->significantBits);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    return forEachRow(src, *f, dst, dstSize, uint64_t(src.width) * 2, [&](uint32_t y, uint8_t* out) {
        const uint64_t first = uint64_t(y) * src.width;
        for (uint32_t x = 0; x < src.width; ++x)
            store16(out + size_t(x) * 2, uint16_t(SimPixelFormat::unpack12(in, first + x) << shift));
    });
}

int word16To8(const Image& src, void* dst, uint64_t dstSize)
{
    const Info* f = acceptFormat(src, [](const Info& i) { return i.layout == Layout::Word16; });
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(f->significantBits - 8);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    return forEachRow(src, *f, dst, dstSize, src.width, [&](uint32_t y, uint8_t* out) {
        const uint8_t* row = in + size_t(y) * src.width * 2;
        for (uint32_t x = 0; x < src.width; ++x)
            out[x] = uint8_t(std::min<uint32_t>(255u, uint32_t(load16(row + size_t(x) * 2)) >> shift));
    });
}

int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel)
{
    const Info* f = acceptFormat(src, [](const Info& i) { return i.color && i.displaySupported; });
    if (!f || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return ORV_ERROR_NOT_AVAILABLE;
    return bytesPerPixel == 4 ? colorToBgrN<4>(src, *f, dst, dstSize) : colorToBgrN<3>(src, *f, dst, dstSize);
}

} // namespace SimConvert
