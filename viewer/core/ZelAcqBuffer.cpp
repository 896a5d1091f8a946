#include "ZelAcqBuffer.h"

#include "ZelUtil.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

ZelAcqBuffer::ZelAcqBuffer(QObject* parent)
    : QObject(parent)
{
}

ZelAcqBuffer::ZelAcqBuffer(uint32_t width, uint32_t height, uint32_t pixelTypeLow, uint32_t pixelTypeHigh,
                           QObject* parent)
    : QObject(parent)
    , ownsMemory(true)
{
    const uint64_t format = (uint64_t(pixelTypeHigh) << 32) | pixelTypeLow;
    info.width = width;
    info.height = height;
    info.pixelType = format;
    const int size = ZelUtil::ComputeImageSize(int(width), int(height), format);
    if (size <= 0)
        return;
    const uint32_t second = DisplaySecondBlockSize(width, height, format);
    uint8_t* first = new (std::nothrow) uint8_t[size_t(size)]();
    uint8_t* other = first ? new (std::nothrow) uint8_t[second]() : nullptr;
    if (!first || !other) {
        delete[] first;
        return;
    }
    info.pixels = first;
    info.secondBlock = other;
    info.size = uint32_t(size);
    secondBlockSize = second;
}

ZelAcqBuffer::~ZelAcqBuffer()
{
    if (ownsMemory) {
        delete[] static_cast<uint8_t*>(info.pixels);
        delete[] static_cast<uint8_t*>(info.secondBlock);
    }
}

uint32_t ZelAcqBuffer::DisplaySecondBlockSize(uint32_t width, uint32_t height, uint64_t pixelFormat)
{
    const int bits = ZelUtil::GetBitsPerPixel(pixelFormat);
    if (bits == 12 || bits == 16) {
        const uint64_t bytes = 2ull * width * height;
        return bytes > 0x7FFFFFFFull ? 0 : uint32_t(bytes);
    }
    const int size = ZelUtil::ComputeImageSize(int(width), int(height), pixelFormat);
    return size > 0 ? uint32_t(size) : 0;
}

uint64_t ZelAcqBuffer::DeliveredImageSize(uint32_t width, uint32_t height, uint64_t pixelFormat)
{
    const uint64_t bits = uint64_t(ZelUtil::GetBitsPerPixel(pixelFormat));
    const uint64_t pixels = uint64_t(width) * height;
    // Dimensions no buffer can hold must not wrap to a small size.
    if (bits != 0 && pixels > (UINT64_MAX - 7) / bits)
        return UINT64_MAX;
    return (pixels * bits + 7) / 8;
}

ORV_BUFFER_INFO ZelAcqBuffer::GetInfo() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return info;
}

void ZelAcqBuffer::SetInfo(const ORV_BUFFER_INFO& fromSdk)
{
    std::lock_guard<std::mutex> lock(mutex);
    info = fromSdk;
    info.pixelType = ZelUtil::GetStreamPixelFormat(uint32_t(fromSdk.pixelType), uint32_t(fromSdk.pixelType >> 32));
}

void ZelAcqBuffer::ClearInfo()
{
    std::lock_guard<std::mutex> lock(mutex);
    info = ORV_BUFFER_INFO{};
}

void ZelAcqBuffer::CopyImage(ORV_BUFFER_INFO& out) const
{
    std::lock_guard<std::mutex> lock(mutex);
    out = ORV_BUFFER_INFO{};
    out.width = info.width;
    out.height = info.height;
    out.size = info.size;
    out.pixelType = info.pixelType;
    if (!info.pixels || info.size == 0)
        return;
    void* copy = std::malloc(info.size);
    if (!copy)
        return;
    std::memcpy(copy, info.pixels, info.size);
    out.pixels = copy;
}

ZelAcqBuffer* ZelAcqBuffer::GetDisplayBuffer() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return displayBuffer;
}

void ZelAcqBuffer::SetDisplayBuffer(ZelAcqBuffer* buffer)
{
    std::lock_guard<std::mutex> lock(mutex);
    displayBuffer = buffer;
}
