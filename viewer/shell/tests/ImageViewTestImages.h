#ifndef IMAGEVIEWTESTIMAGES_H
#define IMAGEVIEWTESTIMAGES_H

// Display images for the image view tests: pixel blocks held in vectors of
// exactly the image's size, so that a read past the end is a heap overflow.

#include <QRgb>

#include <cstdint>
#include <cstring>
#include <vector>

#include "OrvSdk.h"

constexpr uint64_t kMono8 = 0x01080001;
constexpr uint64_t kBayerRG8 = 0x01080009;

struct TestImage {
    std::vector<uint8_t> pixels;
    ORV_BUFFER_INFO info;
    bool colour = false;
    int width = 0;
    int height = 0;
    int block = 1;

    // Each block of block x block pixels has one value, so that any sampling
    // inside a block gives the same result.
    static TestImage make(int w, int h, bool colour, int block = 1)
    {
        TestImage t;
        t.colour = colour;
        t.width = w;
        t.height = h;
        t.block = block;
        const int bpp = colour ? 4 : 1;
        t.pixels.resize(size_t(w) * h * bpp);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const QRgb c = t.expected(x, y);
                uint8_t* p = &t.pixels[(size_t(y) * w + x) * bpp];
                if (colour) {
                    p[0] = uint8_t(qBlue(c));
                    p[1] = uint8_t(qGreen(c));
                    p[2] = uint8_t(qRed(c));
                    p[3] = 0; // the fourth byte is not alpha
                } else {
                    p[0] = uint8_t(qRed(c));
                }
            }
        }
        std::memset(&t.info, 0, sizeof(t.info));
        t.info.pixels = t.pixels.data();
        t.info.width = uint32_t(w);
        t.info.height = uint32_t(h);
        t.info.size = uint32_t(t.pixels.size());
        t.info.pixelType = colour ? kBayerRG8 : kMono8;
        return t;
    }

    // The colour the view should show for image pixel (x, y).
    QRgb expected(int x, int y) const
    {
        const int bx = x / block;
        const int by = y / block;
        if (!colour) {
            const int v = (bx * 37 + by * 91 + 5) & 0xFF;
            return qRgb(v, v, v);
        }
        return qRgb((bx * 53 + 11) & 0xFF, (by * 29 + 3) & 0xFF, (bx * 17 + by * 7) & 0xFF);
    }
};

#endif
