#include "ZelUtil.h"

#include "ZelAcqBuffer.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

struct SdkType {
    uint32_t sdkType;
    uint32_t pfnc;
};

// The SDK's 16-bit pixel types that have a PFNC code; 0x104 and 0x3x4 have none.
const SdkType sdkTypes[] = {
    {0x101, 0x01080001}, {0x102, 0x01100003}, {0x103, 0x01100005}, {0x105, 0x01100007},
    {0x311, 0x01080008}, {0x312, 0x0110000C}, {0x313, 0x01100010}, {0x315, 0x0110002E},
    {0x321, 0x01080009}, {0x322, 0x0110000D}, {0x323, 0x01100011}, {0x325, 0x0110002F},
    {0x331, 0x0108000A}, {0x332, 0x0110000E}, {0x333, 0x01100012}, {0x335, 0x01100030},
    {0x341, 0x0108000B}, {0x342, 0x0110000F}, {0x343, 0x01100013}, {0x345, 0x01100031},
};
static_assert(sizeof sdkTypes / sizeof sdkTypes[0] == 20, "twenty mapped SDK types");

struct KnownFormat {
    uint32_t pfnc;
    int maxValue;
    bool displayed;
    bool bayer;
};

const KnownFormat knownFormats[] = {
    {0x01080001, 255, true, false},   // Mono8
    {0x01100003, 1023, true, false},  // Mono10
    {0x010C0004, 1023, false, false}, // Mono10Packed
    {0x01100005, 4095, true, false},  // Mono12
    {0x010C0006, 4095, true, false},  // Mono12Packed
    {0x01100007, 65535, true, false}, // Mono16
    {0x01080008, 255, true, true},    // BayerGR8
    {0x01080009, 255, true, true},    // BayerRG8
    {0x0108000A, 255, true, true},    // BayerGB8
    {0x0108000B, 255, true, true},    // BayerBG8
    {0x0110000C, 1023, true, true},   // BayerGR10
    {0x0110000D, 1023, true, true},   // BayerRG10
    {0x0110000E, 1023, true, true},   // BayerGB10
    {0x0110000F, 1023, true, true},   // BayerBG10
    {0x01100010, 4095, true, true},   // BayerGR12
    {0x01100011, 4095, true, true},   // BayerRG12
    {0x01100012, 4095, true, true},   // BayerGB12
    {0x01100013, 4095, true, true},   // BayerBG12
    {0x010C002A, 4095, true, true},   // BayerGR12Packed
    {0x010C002B, 4095, true, true},   // BayerRG12Packed
    {0x010C002C, 4095, true, true},   // BayerGB12Packed
    {0x010C002D, 4095, true, true},   // BayerBG12Packed
    {0x0110002E, 65535, true, true},  // BayerGR16
    {0x0110002F, 65535, true, true},  // BayerRG16
    {0x01100030, 65535, true, true},  // BayerGB16
    {0x01100031, 65535, true, true},  // BayerBG16
    {0x02180000, 0, true, false},     // colour, 24 bits, pixel id 0
};

// Bayer codes the display cannot convert but that are still colour.
const uint32_t otherBayerFormats[] = {
    0x010C0026, 0x010C0027, 0x010C0028, 0x010C0029, // BayerGR10Packed .. BayerBG10Packed
    0x010A0052, 0x010C0053, 0x010A0054, 0x010C0055, // BayerBG10p, BayerBG12p, BayerGB10p, BayerGB12p
    0x010A0056, 0x010C0057, 0x010A0058, 0x010C0059, // BayerGR10p, BayerGR12p, BayerRG10p, BayerRG12p
};

const KnownFormat* findKnown(uint64_t pixelFormat)
{
    if (pixelFormat >> 32)
        return nullptr;
    for (const KnownFormat& format : knownFormats) {
        if (format.pfnc == uint32_t(pixelFormat))
            return &format;
    }
    return nullptr;
}

// Bytes that width x height pixels of the format take at least; 0 when the
// format does not say.
uint64_t minimumImageBytes(const ORV_BUFFER_INFO& image)
{
    return ZelAcqBuffer::DeliveredImageSize(
        image.width, image.height,
        ZelUtil::GetStreamPixelFormat(uint32_t(image.pixelType), uint32_t(image.pixelType >> 32)));
}

} // namespace

bool ZelUtil::IsColorFormat(uint64_t pixelFormat)
{
    const uint32_t low = uint32_t(pixelFormat);
    if ((low >> 24) == 0x02)
        return true;
    for (const KnownFormat& format : knownFormats) {
        if (format.bayer && format.pfnc == low)
            return true;
    }
    for (uint32_t code : otherBayerFormats) {
        if (code == low)
            return true;
    }
    return false;
}

bool ZelUtil::IsSupportedFormat(uint64_t pixelFormat)
{
    const KnownFormat* format = findKnown(pixelFormat);
    return format && format->displayed;
}

int ZelUtil::GetBitsPerPixel(uint64_t pixelFormat)
{
    return int((uint32_t(pixelFormat) >> 16) & 0xFF);
}

int ZelUtil::GetMaxPixelValue(uint64_t pixelFormat)
{
    if (GetBitsPerPixel(pixelFormat) == 8)
        return 255;
    const KnownFormat* format = findKnown(pixelFormat);
    return format ? format->maxValue : 0;
}

uint64_t ZelUtil::GetStreamPixelFormat(uint32_t pixelType, uint32_t secondWord)
{
    if (secondWord == 0) {
        for (const SdkType& entry : sdkTypes) {
            if (entry.sdkType == pixelType)
                return entry.pfnc;
        }
    }
    return (uint64_t(secondWord) << 32) | pixelType;
}

int ZelUtil::ComputeImageSize(int width, int height, uint64_t pixelFormat)
{
    if (width <= 0 || height <= 0)
        return 0;
    const int64_t bytesPerPixel = IsColorFormat(pixelFormat) ? 4 : 1;
    const int64_t size = int64_t(width) * int64_t(height) * bytesPerPixel;
    return size > INT_MAX ? 0 : int(size);
}

void* ZelUtil::AllocImageBlock(size_t size)
{
    return size ? std::malloc(size) : nullptr;
}

void ZelUtil::FreeBufferInfo(ORV_BUFFER_INFO* info)
{
    if (!info)
        return;
    std::free(info->pixels);
    info->pixels = nullptr;
}

bool ZelUtil::CloneBufferInfo(ORV_BUFFER_INFO* destination, const ORV_BUFFER_INFO* source)
{
    if (!destination || !source || !source->pixels || source->size == 0)
        return false;
    // A size below what the format needs would let a reader run past the copy.
    if (source->size < minimumImageBytes(*source)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Image size:%u width:%u height:%u", "ZelUtil::CloneBufferInfo",
                 source->size, source->width, source->height);
        return false;
    }
    void* pixels = AllocImageBlock(source->size);
    if (!pixels)
        return false;
    std::memcpy(pixels, source->pixels, source->size);

    std::memset(destination, 0, sizeof *destination);
    destination->pixels = pixels;
    destination->width = source->width;
    destination->height = source->height;
    destination->size = source->size;
    destination->status = source->status;
    destination->pixelType = source->pixelType;
    destination->imageId = source->imageId;
    destination->timestamp = source->timestamp;
    return true;
}

int ZelUtil::ImageFileType(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("BMP"), Qt::CaseInsensitive) == 0)
        return 1;
    if (suffix.compare(QLatin1String("RAW"), Qt::CaseInsensitive) == 0)
        return 2;
    return 0;
}

bool ZelUtil::SaveImage(const QString& fileName, const ORV_BUFFER_INFO* image)
{
    if (!image || fileName.isEmpty())
        return false;
    ORV_BUFFER_INFO copy = *image;
    copy.pixelType = GetStreamPixelFormat(uint32_t(image->pixelType), uint32_t(image->pixelType >> 32));
    const QByteArray name = QFile::encodeName(fileName);
    const int rc = OrvUtilSaveImageToFile(&copy, name.constData(), ImageFileType(fileName));
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvUtilSaveImageToFile:%s %d", "ZelUtil::SaveImage", name.constData(),
                 rc);
        return false;
    }
    return true;
}
