#include "SimConvert.h"

#include "SimBandPool.h"
#include "SimPixelFormat.h"

#include "OrvSdk.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include "SimConvertSse2.h"
#endif

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

// A band of rows is worth a thread of its own from this many pixels on.
constexpr uint64_t minBandPixels = uint64_t(1) << 18;
constexpr uint64_t bandsPerThread = 4;

// Converts rows 0 .. rows - 1 in bands side by side on up to `threads`
// threads, the calling thread among them. makeRow() gives each band its own
// row function rowFn(y, destinationRow).
template <class MakeRow>
void convertBands(uint32_t rows, uint32_t width, unsigned threads, uint8_t* out, uint64_t outRowBytes,
                  MakeRow makeRow)
{
    auto band = [&](uint32_t first, uint32_t end) {
        auto rowFn = makeRow();
        for (uint32_t y = first; y < end; ++y)
            rowFn(y, out + uint64_t(y) * outRowBytes);
    };
    const uint64_t rowsPerBand = std::max<uint64_t>(1, minBandPixels / width);
    // Several bands a thread: a helper that wakes late still finds work, and
    // the caller does what is left.
    const uint64_t most = threads > 1 ? uint64_t(threads) * bandsPerThread : 1;
    const uint32_t bands = uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(most, rows / rowsPerBand)));
    auto bandStart = [&](uint32_t b) { return uint32_t(uint64_t(rows) * b / bands); };
    // Lives until the library is unloaded.
    static SimBandPool pool(defaultThreads() - 1);
    pool.run(bands, [&](uint32_t b) { band(bandStart(b), bandStart(b + 1)); });
}

// Converts each row that both the source and the destination hold (see
// convertBands); zeroes destination rows the source lacks.
template <class MakeRow>
int forEachRow(const Image& s, const Info& f, void* dst, uint64_t dstSize, uint64_t outRowBytes, unsigned threads,
               MakeRow makeRow)
{
    if (!dst || s.width == 0 || s.height == 0 || !s.pixels)
        return ORV_ERROR_INVALID_ARGUMENT;
    uint8_t* out = static_cast<uint8_t*>(dst);
    const uint64_t dstRows = std::min<uint64_t>(s.height, dstSize / outRowBytes);
    const uint32_t srcRows = sourceRows(f, s);
    const uint64_t y = std::min<uint64_t>(dstRows, srcRows);
    convertBands(uint32_t(y), s.width, threads, out, outRowBytes, makeRow);
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

// One pixel of the bilinear demosaic. u, c, d are the rows above, at and
// below; xl, xr the columns of the left and right neighbours; RedRow tells
// whether the row's other colour is red.
template <typename T, int Bpp, bool Scale, bool RedRow>
inline void demosaicPixel(const T* u, const T* c, const T* d, uint32_t x, uint32_t xl, uint32_t xr, bool green,
                          unsigned shift, uint8_t* out)
{
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
}

// The kernels one pixel at a time: the reference the fast kernels are held
// to, and their borders and tails.
struct Plain {
    static void word16To8(const uint8_t* row, uint32_t x, uint32_t w, unsigned shift, uint8_t* out)
    {
        for (; x < w; ++x)
            out[x] = uint8_t(std::min<uint32_t>(255u, uint32_t(load16(row + size_t(x) * 2)) >> shift));
    }
    static void packed12To8(const uint8_t* image, uint64_t first, uint32_t w, unsigned shift, uint8_t* out)
    {
        for (uint32_t x = 0; x < w; ++x)
            out[x] = uint8_t(SimPixelFormat::unpack12(image, first + x) >> shift);
    }
    static void packed12To16(const uint8_t* image, uint64_t first, uint32_t w, unsigned shift, uint8_t* out)
    {
        for (uint32_t x = 0; x < w; ++x)
            store16(out + size_t(x) * 2, uint16_t(SimPixelFormat::unpack12(image, first + x) << shift));
    }
    static void unpack12(const uint8_t* image, uint64_t first, uint32_t w, uint16_t* out)
    {
        for (uint32_t x = 0; x < w; ++x)
            out[x] = SimPixelFormat::unpack12(image, first + x);
    }
    // One output row; greenEven tells whether the even columns are green.
    template <typename T, int Bpp, bool Scale, bool RedRow>
    static void demosaicRow(const T* u, const T* c, const T* d, uint32_t w, bool greenEven, unsigned shift, uint8_t* out)
    {
        auto pixel = [&](uint32_t x, uint32_t xl, uint32_t xr, bool green) {
            demosaicPixel<T, Bpp, Scale, RedRow>(u, c, d, x, xl, xr, green, shift, out);
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
};

// Calls put(x, value) for the w packed 12-bit pixels from pixel index first
// on, two pixels per three bytes; reads no byte the plain unpacking does not.
template <class Put>
inline void forPacked12(const uint8_t* image, uint64_t first, uint32_t w, Put put)
{
    const uint8_t* g = image + (first >> 1) * 3;
    uint32_t x = 0;
    if ((first & 1) && w > 0) {
        put(0, uint32_t(g[2] << 4) | (g[1] >> 4));
        g += 3;
        x = 1;
    }
    for (; x + 2 <= w; x += 2, g += 3) {
        put(x, uint32_t(g[0] << 4) | (g[1] & 0x0Fu));
        put(x + 1, uint32_t(g[2] << 4) | (g[1] >> 4));
    }
    if (x < w)
        put(x, uint32_t(g[0] << 4) | (g[1] & 0x0Fu));
}

// The high eight of twelve bits of each packed pixel: bytes 0 and 2 of each
// group of three.
inline void forPacked12Bytes(const uint8_t* image, uint64_t first, uint32_t w, uint8_t* out)
{
    const uint8_t* g = image + (first >> 1) * 3;
    uint32_t x = 0;
    if ((first & 1) && w > 0) {
        out[0] = g[2];
        g += 3;
        x = 1;
    }
    // Four pixels from one little-endian 8-byte load while the row holds two
    // more pixels (so bytes 6 and 7 are its own).
    constexpr bool littleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    for (; littleEndian && x + 6 <= w; x += 4, g += 6) {
        uint64_t v;
        std::memcpy(&v, g, 8);
        const uint32_t four = uint32_t((v & 0xFF) | ((v >> 8) & 0xFFFF00) | ((v >> 16) & 0xFF000000));
        std::memcpy(out + x, &four, 4);
    }
    for (; x + 2 <= w; x += 2, g += 3) {
        out[x] = g[0];
        out[x + 1] = g[2];
    }
    if (x < w)
        out[x] = g[0];
}

// The kernels the SDK runs: SSE2 blocks where x86-64 offers them, packed
// pixels two at a time, and the plain code for borders and tails.
struct Fast {
    static void word16To8(const uint8_t* row, uint32_t x, uint32_t w, unsigned shift, uint8_t* out)
    {
#if defined(__SSE2__)
        if (shift >= 1)
            x += Sse2::word16To8(row + size_t(x) * 2, w - x, shift, out + x);
#endif
        Plain::word16To8(row, x, w, shift, out);
    }
    static void packed12To8(const uint8_t* image, uint64_t first, uint32_t w, unsigned shift, uint8_t* out)
    {
        if (shift == 4)  // twelve bits: the high byte of each pixel as it lies
            forPacked12Bytes(image, first, w, out);
        else
            forPacked12(image, first, w, [=](uint32_t x, uint32_t v) { out[x] = uint8_t(v >> shift); });
    }
    static void packed12To16(const uint8_t* image, uint64_t first, uint32_t w, unsigned shift, uint8_t* out)
    {
        forPacked12(image, first, w, [=](uint32_t x, uint32_t v) { store16(out + size_t(x) * 2, uint16_t(v << shift)); });
    }
    static void unpack12(const uint8_t* image, uint64_t first, uint32_t w, uint16_t* out)
    {
        forPacked12(image, first, w, [=](uint32_t x, uint32_t v) { out[x] = uint16_t(v); });
    }
    template <typename T, int Bpp, bool Scale, bool RedRow>
    static void demosaicRow(const T* u, const T* c, const T* d, uint32_t w, bool greenEven, unsigned shift, uint8_t* out)
    {
        if (w < 3) {
            Plain::demosaicRow<T, Bpp, Scale, RedRow>(u, c, d, w, greenEven, shift, out);
            return;
        }
        auto pixel = [&](uint32_t x, uint32_t xl, uint32_t xr) {
            demosaicPixel<T, Bpp, Scale, RedRow>(u, c, d, x, xl, xr, ((x & 1) == 0) == greenEven, shift, out);
        };
        pixel(0, 1, 1);
        uint32_t x = 1;
#if defined(__SSE2__)
        // 8-bit samples as they are, deeper ones scaled by at least one bit.
        using Lanes = std::conditional_t<sizeof(T) == 1, Sse2::Lanes8, Sse2::Lanes16>;
        if constexpr ((sizeof(T) == 1) != Scale) {
            if (!Scale || shift >= 1)
                x = greenEven ? Sse2::demosaic<Lanes, Bpp, RedRow, false>(u, c, d, x, w, shift, out)
                              : Sse2::demosaic<Lanes, Bpp, RedRow, true>(u, c, d, x, w, shift, out);
        }
#endif
        for (; x + 1 < w; ++x)
            pixel(x, x - 1, x + 1);
        pixel(w - 1, w - 2, w - 2);
    }
};

// Source rows as arrays of T: 8-bit rows point into the image; deeper rows
// are copied into a ring of three native words.
template <typename T, class K>
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
                if (f_.layout == Layout::Word16)
                    std::memcpy(dst, base + size_t(y) * s_.width * 2, size_t(s_.width) * 2);
                else
                    K::unpack12(base, uint64_t(y) * s_.width, s_.width, dst);
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

template <class K, typename T, int Bpp, bool Scale>
int demosaic(const Image& s, const Info& f, void* dst, uint64_t dstSize, unsigned shift, unsigned threads)
{
    const uint32_t h = std::max<uint32_t>(1, sourceRows(f, s));
    return forEachRow(s, f, dst, dstSize, uint64_t(s.width) * Bpp, threads, [&] {
        return [&, rows = RowSource<T, K>(f, s)](uint32_t y, uint8_t* out) mutable {
            const T* c = rows.row(y);
            const T* u = rows.row(reflect(int64_t(y) - 1, h));
            const T* d = rows.row(reflect(int64_t(y) + 1, h));
            const bool greenEven = SimPixelFormat::siteColor(f.cfa, 0, y) == 1;
            const bool redRow = SimPixelFormat::siteColor(f.cfa, greenEven ? 1 : 0, y) == 0;
            if (redRow)
                K::template demosaicRow<T, Bpp, Scale, true>(u, c, d, s.width, greenEven, shift, out);
            else
                K::template demosaicRow<T, Bpp, Scale, false>(u, c, d, s.width, greenEven, shift, out);
        };
    });
}

// A row function that needs no state of its own, for every band.
template <class RowFn>
auto eachBand(RowFn rowFn)
{
    return [rowFn] { return rowFn; };
}

template <class K, int Bpp>
int colorToBgrN(const Image& s, const Info& f, void* dst, uint64_t dstSize, unsigned threads)
{
    if (f.layout == Layout::Triple) {
        const uint8_t* in = static_cast<const uint8_t*>(s.pixels);
        const uint32_t w = s.width;
        return forEachRow(s, f, dst, dstSize, uint64_t(w) * Bpp, threads, eachBand([in, w](uint32_t y, uint8_t* out) {
            const uint8_t* p = in + size_t(y) * w * 3;
            for (uint32_t x = 0; x < w; ++x, p += 3)
                putPixel<Bpp>(out, x, p[2], p[1], p[0]);
        }));
    }
    if (f.layout == Layout::Byte)
        return demosaic<K, uint8_t, Bpp, false>(s, f, dst, dstSize, 0, threads);
    return demosaic<K, uint16_t, Bpp, true>(s, f, dst, dstSize, unsigned(f.significantBits - 8), threads);
}

bool isPacked12(const Info& i) { return i.layout == Layout::Packed12; }
bool isWord16(const Info& i) { return i.layout == Layout::Word16; }
bool isDisplayColour(const Info& i) { return i.color && i.displaySupported; }

template <class K>
int packed12To8With(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    const Info* f = acceptFormat(src, isPacked12);
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(f->significantBits - 8);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    const uint32_t w = src.width;
    return forEachRow(src, *f, dst, dstSize, w, threads, eachBand([in, w, shift](uint32_t y, uint8_t* out) {
        K::packed12To8(in, uint64_t(y) * w, w, shift, out);
    }));
}

template <class K>
int packed12To16With(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    const Info* f = acceptFormat(src, isPacked12);
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(16 - f->significantBits);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    const uint32_t w = src.width;
    return forEachRow(src, *f, dst, dstSize, uint64_t(w) * 2, threads, eachBand([in, w, shift](uint32_t y, uint8_t* out) {
        K::packed12To16(in, uint64_t(y) * w, w, shift, out);
    }));
}

template <class K>
int word16To8With(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    const Info* f = acceptFormat(src, isWord16);
    if (!f)
        return ORV_ERROR_NOT_AVAILABLE;
    const unsigned shift = unsigned(f->significantBits - 8);
    const uint8_t* in = static_cast<const uint8_t*>(src.pixels);
    const uint32_t w = src.width;
    return forEachRow(src, *f, dst, dstSize, w, threads, eachBand([in, w, shift](uint32_t y, uint8_t* out) {
        K::word16To8(in + size_t(y) * w * 2, 0, w, shift, out);
    }));
}

template <class K>
int colorToBgrWith(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel, unsigned threads)
{
    const Info* f = acceptFormat(src, isDisplayColour);
    if (!f || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return ORV_ERROR_NOT_AVAILABLE;
    return bytesPerPixel == 4 ? colorToBgrN<K, 4>(src, *f, dst, dstSize, threads)
                              : colorToBgrN<K, 3>(src, *f, dst, dstSize, threads);
}

} // namespace

unsigned defaultThreads() { return std::max(1u, std::min(4u, std::thread::hardware_concurrency())); }

int packed12To8(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    return packed12To8With<Fast>(src, dst, dstSize, threads);
}
int packed12To16(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    return packed12To16With<Fast>(src, dst, dstSize, threads);
}
int word16To8(const Image& src, void* dst, uint64_t dstSize, unsigned threads)
{
    return word16To8With<Fast>(src, dst, dstSize, threads);
}
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel, unsigned threads)
{
    return colorToBgrWith<Fast>(src, dst, dstSize, bytesPerPixel, threads);
}

int packed12To8(const Image& src, void* dst, uint64_t dstSize) { return packed12To8(src, dst, dstSize, 1); }
int packed12To16(const Image& src, void* dst, uint64_t dstSize) { return packed12To16(src, dst, dstSize, 1); }
int word16To8(const Image& src, void* dst, uint64_t dstSize) { return word16To8(src, dst, dstSize, 1); }
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel)
{
    return colorToBgr(src, dst, dstSize, bytesPerPixel, 1);
}

namespace Reference {

int packed12To8(const Image& src, void* dst, uint64_t dstSize) { return packed12To8With<Plain>(src, dst, dstSize, 1); }
int packed12To16(const Image& src, void* dst, uint64_t dstSize) { return packed12To16With<Plain>(src, dst, dstSize, 1); }
int word16To8(const Image& src, void* dst, uint64_t dstSize) { return word16To8With<Plain>(src, dst, dstSize, 1); }
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel)
{
    return colorToBgrWith<Plain>(src, dst, dstSize, bytesPerPixel, 1);
}

} // namespace Reference

} // namespace SimConvert
