#include "ZelAcqBuffer.h"
#include "ZelAcqBufferManager.h"
#include "ZelStartup.h"

#include <gtest/gtest.h>

#include <QMetaType>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t Mono8 = 0x01080001;
constexpr uint32_t Mono12Packed = 0x010C0006;
constexpr uint32_t Mono16 = 0x01100007;
constexpr uint32_t BayerRG8 = 0x01080009;
constexpr uint32_t BayerRG12 = 0x01100011;

} // namespace

TEST(ZelAcqBuffer, StreamBufferStartsEmpty)
{
    ZelAcqBuffer buffer;
    EXPECT_EQ(buffer.GetHandle(), 0u);
    EXPECT_FALSE(buffer.OwnsMemory());
    EXPECT_EQ(buffer.GetDisplayBuffer(), nullptr);
    const ORV_BUFFER_INFO info = buffer.GetInfo();
    EXPECT_EQ(info.pixels, nullptr);
    EXPECT_EQ(info.width, 0u);
    EXPECT_EQ(info.size, 0u);
}

TEST(ZelAcqBuffer, DisplayBufferBlocksFollowTheFormat)
{
    struct Case {
        uint32_t format;
        uint32_t firstSize;
        uint32_t secondSize;
    };
    const uint32_t w = 64, h = 48, n = w * h;
    const Case cases[] = {
        {Mono8, n, n},
        {Mono12Packed, n, 2 * n},
        {Mono16, n, 2 * n},
        {BayerRG8, 4 * n, 4 * n},
        {BayerRG12, 4 * n, 2 * n},
    };
    for (const Case& c : cases) {
        ZelAcqBuffer display(w, h, c.format, 0);
        const ORV_BUFFER_INFO info = display.GetInfo();
        SCOPED_TRACE(c.format);
        EXPECT_TRUE(display.OwnsMemory());
        EXPECT_EQ(info.width, w);
        EXPECT_EQ(info.height, h);
        EXPECT_EQ(info.pixelType, c.format);
        EXPECT_EQ(info.size, c.firstSize);
        EXPECT_EQ(display.SecondBlockSize(), c.secondSize);
        ASSERT_NE(info.pixels, nullptr);
        ASSERT_NE(info.secondBlock, nullptr);
        // Both blocks are writable over their whole size.
        std::memset(info.pixels, 0xAB, info.size);
        std::memset(info.secondBlock, 0xCD, display.SecondBlockSize());
    }
}

TEST(ZelAcqBuffer, DeliveredImageSizeNeverWraps)
{
    EXPECT_EQ(ZelAcqBuffer::DeliveredImageSize(8, 8, Mono8), 64u);
    EXPECT_EQ(ZelAcqBuffer::DeliveredImageSize(8, 8, Mono12Packed), 96u);
    EXPECT_EQ(ZelAcqBuffer::DeliveredImageSize(3, 1, Mono12Packed), 5u);
    EXPECT_EQ(ZelAcqBuffer::DeliveredImageSize(8, 8, 0x104), 0u) << "unknown depth";
    // Sizes a corrupt record may claim: never smaller than any real buffer.
    EXPECT_GT(ZelAcqBuffer::DeliveredImageSize(0x40000000, 0x40000000, Mono16), 0xFFFFFFFFull);
    EXPECT_GT(ZelAcqBuffer::DeliveredImageSize(0xFFFFFFFF, 0xFFFFFFFF, 0x01FF0000), 0xFFFFFFFFull);
}

TEST(ZelAcqBuffer, ImpossibleDisplayBufferHasNoPixels)
{
    ZelAcqBuffer display(0, 480, Mono8, 0);
    EXPECT_EQ(display.GetInfo().pixels, nullptr);
    EXPECT_EQ(display.GetInfo().size, 0u);
    ZelAcqBuffer huge(100000, 100000, BayerRG8, 0);
    EXPECT_EQ(huge.GetInfo().pixels, nullptr);
}

TEST(ZelAcqBuffer, SetInfoMapsTheSdkPixelType)
{
    struct Case {
        uint64_t delivered;
        uint64_t expected;
    };
    const Case cases[] = {
        {0x101, Mono8},
        {0x321, BayerRG8},
        {Mono16, Mono16},
        {0x104, 0x104},                                // not mapped
        {(uint64_t(1) << 32) | 0x101, (uint64_t(1) << 32) | 0x101}, // second word set
    };
    for (const Case& c : cases) {
        ZelAcqBuffer buffer;
        ORV_BUFFER_INFO info{};
        info.width = 8;
        info.height = 2;
        info.size = 16;
        info.pixelType = c.delivered;
        info.imageId = 42;
        info.timestamp = 99;
        buffer.SetInfo(info);
        const ORV_BUFFER_INFO got = buffer.GetInfo();
        EXPECT_EQ(got.pixelType, c.expected) << std::hex << c.delivered;
        EXPECT_EQ(got.imageId, 42u);
        EXPECT_EQ(got.timestamp, 99u);
    }
}

TEST(ZelAcqBuffer, CopyImageIsAnIndependentCHeapCopy)
{
    std::vector<uint8_t> pixels(32);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 3);
    ZelAcqBuffer buffer;
    ORV_BUFFER_INFO info{};
    info.pixels = pixels.data();
    info.width = 8;
    info.height = 4;
    info.size = 32;
    info.pixelType = 0x101;
    info.imageId = 7;
    buffer.SetInfo(info);

    ORV_BUFFER_INFO copy;
    std::memset(&copy, 0xFF, sizeof copy);
    buffer.CopyImage(copy);
    ASSERT_NE(copy.pixels, nullptr);
    EXPECT_NE(copy.pixels, pixels.data());
    EXPECT_EQ(std::memcmp(copy.pixels, pixels.data(), 32), 0);
    EXPECT_EQ(copy.width, 8u);
    EXPECT_EQ(copy.height, 4u);
    EXPECT_EQ(copy.size, 32u);
    EXPECT_EQ(copy.pixelType, Mono8);
    EXPECT_EQ(copy.secondBlock, nullptr);
    EXPECT_EQ(copy.imageId, 0u);
    std::free(copy.pixels);

    ZelAcqBuffer empty;
    empty.CopyImage(copy);
    EXPECT_EQ(copy.pixels, nullptr);
}

TEST(ZelAcqBuffer, DisplayBufferLink)
{
    ZelAcqBuffer stream;
    ZelAcqBuffer display(4, 4, Mono8, 0);
    stream.SetDisplayBuffer(&display);
    EXPECT_EQ(stream.GetDisplayBuffer(), &display);
    stream.SetDisplayBuffer(nullptr);
    EXPECT_EQ(stream.GetDisplayBuffer(), nullptr);
}

TEST(ZelAcqBuffer, PointerIsARegisteredMetaType)
{
    ZelStartup::registerMetaTypes();
    const int id = QMetaType::type("ZelAcqBufferPtr");
    ASSERT_NE(id, QMetaType::UnknownType);
    EXPECT_EQ(id, qMetaTypeId<ZelAcqBufferPtr>());
}

TEST(ZelAcqBufferManager, ReadyListHoldsOneImageAndAcceptsStop)
{
    ZelAcqBufferManager manager(0);
    ZelAcqBuffer first, second;
    EXPECT_TRUE(manager.TryPushReady(&first, 1));
    EXPECT_FALSE(manager.TryPushReady(&second, 1));
    // A stop entry is taken whatever waits.
    manager.PushReady(nullptr);
    EXPECT_EQ(manager.WaitForReady(), &first);
    EXPECT_EQ(manager.WaitForReady(), nullptr);
    EXPECT_TRUE(manager.TryPushReady(&second, 1));
    manager.ClearReady();
    EXPECT_TRUE(manager.TryPushReady(&first, 1));
    EXPECT_EQ(manager.WaitForReady(), &first);
}

TEST(ZelAcqBufferManager, WaitForReadyWakesOnAnotherThreadsPush)
{
    ZelAcqBufferManager manager(0);
    ZelAcqBuffer buffer;
    ZelAcqBuffer* got = &buffer;
    std::thread waiter([&] { got = manager.WaitForReady(); });
    manager.PushReady(nullptr);
    waiter.join();
    EXPECT_EQ(got, nullptr);
}
