#pragma once

#include <cstdint>

// Image conversions of the simulated SDK. Each reads the image described by
// the source and writes at most destinationSize bytes: a null or short
// destination gives -1006 after the rows that fit; a format the conversion
// does not handle gives -1009 and leaves the destination untouched.
namespace SimConvert {

struct Image {
    const void* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t size = 0;        // bytes at pixels
    uint32_t pixelType = 0;   // PFNC code or SDK 16-bit type
    uint32_t secondWord = 0;  // must be 0
};

// 12-bit packed in, one byte per pixel out (value >> (bits - 8)).
int packed12To8(const Image& src, void* dst, uint64_t dstSize);
// 12-bit packed in, one little-endian word per pixel out, MSB aligned.
int packed12To16(const Image& src, void* dst, uint64_t dstSize);
// 16-bit containers in, min(255, v >> (bits - 8)) out.
int word16To8(const Image& src, void* dst, uint64_t dstSize);
// Colour formats in; blue, green, red, 0xFF per pixel (bytesPerPixel 4) or
// blue, green, red (bytesPerPixel 3). Bilinear, borders mirrored so that
// every site keeps its colour.
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel);

// The same on up to `threads` threads at once (the calling thread among
// them), a band of rows each once the image is large enough; the bytes and
// results are those of the conversions above.
int packed12To8(const Image& src, void* dst, uint64_t dstSize, unsigned threads);
int packed12To16(const Image& src, void* dst, uint64_t dstSize, unsigned threads);
int word16To8(const Image& src, void* dst, uint64_t dstSize, unsigned threads);
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel, unsigned threads);
// The thread count the SDK's exports convert with.
unsigned defaultThreads();

// The same conversions one pixel at a time, without SIMD: the results the
// conversions above must give, byte for byte.
namespace Reference {
int packed12To8(const Image& src, void* dst, uint64_t dstSize);
int packed12To16(const Image& src, void* dst, uint64_t dstSize);
int word16To8(const Image& src, void* dst, uint64_t dstSize);
int colorToBgr(const Image& src, void* dst, uint64_t dstSize, int bytesPerPixel);
} // namespace Reference

} // namespace SimConvert
