#include "SimImageFile.h"

#include "SimPixelFormat.h"

#include "OrvSdk.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstdio>
#include <memory>

namespace SimImageFile {

namespace {

using SimPixelFormat::Info;
using SimPixelFormat::Layout;

int writeBytes(const char* fileName, const void* data, size_t size)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName, "wb"), &std::fclose);
    if (!file)
        return ORV_ERROR_IO;
    if (size && std::fwrite(data, 1, size, file.get()) != size)
        return ORV_ERROR_IO;
    return std::fclose(file.release()) == 0 ? ORV_SUCCESS : ORV_ERROR_IO;
}

// Raw value of pixel i; 0 beyond the bytes the image holds.
uint32_t rawValue(const Info& f, const SimConvert::Image& img, uint64_t i)
{
    const uint8_t* p = static_cast<const uint8_t*>(img.pixels);
    switch (f.layout) {
    case Layout::Byte: return i < img.size ? p[i] : 0;
    case Layout::Word16: return 2 * i + 1 < img.size ? uint32_t(p[2 * i] | (p[2 * i + 1] << 8)) : 0;
    case Layout::Packed12: return (i / 2) * 3 + 2 + (i & 1) <= img.size ? SimPixelFormat::unpack12(p, i) : 0;
    case Layout::Triple: return 0;
    }
    return 0;
}

QImage monoImage(const Info& f, const SimConvert::Image& img, bool sixteenBit)
{
    const uint32_t w = img.width, h = img.height;
    if (!sixteenBit) {
        QImage out(int(w), int(h), QImage::Format_Indexed8);
        QVector<QRgb> grey(256);
        for (int i = 0; i < 256; ++i)
            grey[i] = qRgb(i, i, i);
        out.setColorTable(grey);
        const unsigned shift = unsigned(f.significantBits - 8);
        for (uint32_t y = 0; y < h; ++y) {
            uchar* line = out.scanLine(int(y));
            for (uint32_t x = 0; x < w; ++x)
                line[x] = uchar(std::min<uint32_t>(255u, rawValue(f, img, uint64_t(y) * w + x) >> shift));
        }
        return out;
    }
    if (f.significantBits == 8) {
        QImage out(int(w), int(h), QImage::Format_Grayscale8);
        for (uint32_t y = 0; y < h; ++y) {
            uchar* line = out.scanLine(int(y));
            for (uint32_t x = 0; x < w; ++x)
                line[x] = uchar(rawValue(f, img, uint64_t(y) * w + x));
        }
        return out;
    }
    QImage out(int(w), int(h), QImage::Format_Grayscale16);
    const unsigned shift = unsigned(16 - f.significantBits);
    for (uint32_t y = 0; y < h; ++y) {
        quint16* line = reinterpret_cast<quint16*>(out.scanLine(int(y)));
        for (uint32_t x = 0; x < w; ++x)
            line[x] = quint16(std::min<uint32_t>(0xFFFF, rawValue(f, img, uint64_t(y) * w + x) << shift));
    }
    return out;
}

} // namespace

int save(const SimConvert::Image& image, const char* fileName, int32_t fileType)
{
    if (!image.pixels || !fileName || fileType < Png || fileType > Raw)
        return ORV_ERROR_INVALID_ARGUMENT;
    if (fileType == Raw)
        return writeBytes(fileName, image.pixels, image.size);
    if (image.width == 0 || image.height == 0 || image.width > 0x7FFF || image.height > 0x7FFF)
        return ORV_ERROR_INVALID_ARGUMENT;
    const Info* f = SimPixelFormat::find(image.pixelType);
    if (!f || !f->displaySupported || image.secondWord != 0)
        return ORV_ERROR_NOT_AVAILABLE;

    QImage out;
    if (f->color) {
        out = QImage(int(image.width), int(image.height), QImage::Format_RGB32);
        // A short source still gives the rows it holds.
        SimConvert::colorToBgr(image, out.bits(), uint64_t(out.sizeInBytes()), 4);
        if (fileType == Png)
            out = out.convertToFormat(QImage::Format_RGB888);
    } else {
        out = monoImage(*f, image, fileType == Png);
    }
    if (out.isNull())
        return ORV_ERROR_INVALID_ARGUMENT;

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, fileType == Png ? "png" : "bmp");
    if (!writer.write(out))
        return ORV_ERROR_IO;
    return writeBytes(fileName, encoded.constData(), size_t(encoded.size()));
}

} // namespace SimImageFile
