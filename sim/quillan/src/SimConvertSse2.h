#pragma once

// SSE2 row kernels of the conversions (x86-64 always has SSE2). Each handles
// a run of whole blocks and returns where it stopped; the caller finishes the
// row with the scalar code, so the results are the same, bit for bit.

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace SimConvert {
namespace Sse2 {

inline __m128i load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// 16-bit containers to min(255, v >> shift), 16 pixels a block. The shift
// must be at least 1 so that the shifted words stay positive for the
// saturating pack.
inline uint32_t word16To8(const uint8_t* row, uint32_t w, unsigned shift, uint8_t* out)
{
    const __m128i count = _mm_cvtsi32_si128(int(shift));
    uint32_t x = 0;
    for (; x + 16 <= w; x += 16) {
        const __m128i a = _mm_srl_epi16(load(row + size_t(x) * 2), count);
        const __m128i b = _mm_srl_epi16(load(row + size_t(x) * 2 + 16), count);
        store(out + x, _mm_packus_epi16(a, b));
    }
    return x;
}

// Samples of a row split by column parity: 8-bit samples in 16-bit lanes
// (16 pixels a block), 16-bit samples in 32-bit lanes (8 pixels a block).
// Sums of four samples fit the lane in both.
struct Lanes8 {
    using Sample = uint8_t;
    static constexpr uint32_t block = 16;
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
    static __m128i set(int v) { return _mm_set1_epi16(short(v)); }
    static __m128i shr(__m128i a, int n) { return _mm_srli_epi16(a, n); }
    // Splits the 16 samples at p into the even-offset and odd-offset ones.
    static void split(const uint8_t* p, __m128i& even, __m128i& odd)
    {
        const __m128i v = load(p);
        even = _mm_and_si128(v, _mm_set1_epi16(0x00FF));
        odd = _mm_srli_epi16(v, 8);
    }
    // Channel bytes of the block in pixel order.
    static __m128i join(__m128i even, __m128i odd, __m128i) { return _mm_or_si128(even, _mm_slli_epi16(odd, 8)); }
};

struct Lanes16 {
    using Sample = uint16_t;
    static constexpr uint32_t block = 8;
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
    static __m128i set(int v) { return _mm_set1_epi32(v); }
    static __m128i shr(__m128i a, int n) { return _mm_srli_epi32(a, n); }
    static void split(const uint16_t* p, __m128i& even, __m128i& odd)
    {
        const __m128i v = load(p);
        even = _mm_and_si128(v, _mm_set1_epi32(0xFFFF));
        odd = _mm_srli_epi32(v, 16);
    }
    // min(255, v >> shift) in pixel order, in the low 8 bytes. The shift is
    // at least 1, so the shifted words are positive for the saturating pack.
    static __m128i join(__m128i even, __m128i odd, __m128i count)
    {
        const __m128i words = _mm_srl_epi16(_mm_or_si128(even, _mm_slli_epi32(odd, 16)), count);
        return _mm_packus_epi16(words, words);
    }
};

// Writes the block's blue, green and red bytes as Bpp-byte pixels (the
// fourth byte 0xFF).
template <uint32_t N>
inline void putQuads(uint8_t* out, __m128i b, __m128i g, __m128i r)
{
    const __m128i opaque = _mm_set1_epi8(char(0xFF));
    const __m128i bg0 = _mm_unpacklo_epi8(b, g), ra0 = _mm_unpacklo_epi8(r, opaque);
    store(out, _mm_unpacklo_epi16(bg0, ra0));
    store(out + 16, _mm_unpackhi_epi16(bg0, ra0));
    if constexpr (N == 16) {
        const __m128i bg1 = _mm_unpackhi_epi8(b, g), ra1 = _mm_unpackhi_epi8(r, opaque);
        store(out + 32, _mm_unpacklo_epi16(bg1, ra1));
        store(out + 48, _mm_unpackhi_epi16(bg1, ra1));
    }
}

// Three-byte pixels go out two at a time in 8-byte stores, so the row must
// hold a pixel after the block: the last store reaches two bytes into it
// (x86 is little-endian).
template <int Bpp, uint32_t N>
inline void putBlock(uint8_t* out, __m128i b, __m128i g, __m128i r)
{
    if constexpr (Bpp == 4) {
        putQuads<N>(out, b, g, r);
    } else {
        uint8_t quads[N * 4];
        putQuads<N>(quads, b, g, r);
        for (uint32_t i = 0; i < N; i += 2) {
            uint64_t pair;
            std::memcpy(&pair, quads + 4 * i, 8);
            pair = (pair & 0xFFFFFFu) | ((pair >> 8) & 0xFFFFFF000000u);
            std::memcpy(out + 3 * i, &pair, 8);
        }
    }
}

// Bilinear demosaic of the pixels x .. of one row, a block at a time, while
// every neighbour lies inside the row (columns x - 1 .. x + block). u, c, d
// are the rows above, at and below. Lane A holds the pixels x, x + 2, ..,
// lane B the pixels x + 1, x + 3, ..; GreenA tells whether A's sites are
// green, RedRow whether the row's other colour is red.
template <class L, int Bpp, bool RedRow, bool GreenA>
uint32_t demosaic(const typename L::Sample* u, const typename L::Sample* c, const typename L::Sample* d, uint32_t x,
                  uint32_t w, unsigned shift, uint8_t* out)
{
    const __m128i count = _mm_cvtsi32_si128(int(shift));
    const __m128i two = L::set(2);
    // (a + b + 1) >> 1; exact for both lane widths, as the upper word of a
    // 32-bit lane is zero.
    auto avg2 = [](__m128i a, __m128i b) { return _mm_avg_epu16(a, b); };
    auto avg4 = [&](__m128i a, __m128i b, __m128i p, __m128i q) {
        return L::shr(L::add(L::add(L::add(a, b), L::add(p, q)), two), 2);
    };
    for (; x + L::block + 1 <= w; x += L::block) {
        // xL: the left neighbours of A; xR: the right neighbours of B.
        __m128i uL, uA, uB, uR, cL, cA, cB, cR, dL, dA, dB, dR;
        L::split(u + x - 1, uL, uA);
        L::split(u + x + 1, uB, uR);
        L::split(c + x - 1, cL, cA);
        L::split(c + x + 1, cB, cR);
        L::split(d + x - 1, dL, dA);
        L::split(d + x + 1, dB, dR);
        __m128i redA, grnA, bluA, redB, grnB, bluB;
        if constexpr (GreenA) {
            const __m128i h = avg2(cL, cB), v = avg2(uA, dA);
            grnA = cA;
            redA = RedRow ? h : v;
            bluA = RedRow ? v : h;
            const __m128i diag = avg4(uA, uR, dA, dR);
            grnB = avg4(cA, cR, uB, dB);
            redB = RedRow ? cB : diag;
            bluB = RedRow ? diag : cB;
        } else {
            const __m128i diag = avg4(uL, uB, dL, dB);
            grnA = avg4(cL, cB, uA, dA);
            redA = RedRow ? cA : diag;
            bluA = RedRow ? diag : cA;
            const __m128i h = avg2(cA, cR), v = avg2(uB, dB);
            grnB = cB;
            redB = RedRow ? h : v;
            bluB = RedRow ? v : h;
        }
        putBlock<Bpp, L::block>(out + size_t(x) * Bpp, L::join(bluA, bluB, count), L::join(grnA, grnB, count),
                                L::join(redA, redB, count));
    }
    return x;
}

} // namespace Sse2
} // namespace SimConvert
