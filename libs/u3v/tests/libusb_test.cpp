// The libusb back-end's context: libusb's thread runs only while a device is
// open (or the buses are being listed), not from the library's load.
#include "PexlinUsb.h"
#include "ThreadNames.h"
#include "UsbLibusb.h"

#include <gtest/gtest.h>

using namespace pexlin::usb;

TEST(LibusbBackend, NoLibusbThreadAtLoadOrAfterListing)
{
    // The back-end in use was chosen when the library loaded.
    ASSERT_NE(backend(), nullptr);
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);
    std::vector<DevicePtr> devices;
    backend()->findDevices(devices);
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);
    // A device that is no libusb device is not opened, and starts nothing.
    struct Foreign : Device {
        DeviceDesc desc;
        const DeviceDesc& descriptor() const override { return desc; }
    };
    EXPECT_EQ(backend()->open(std::make_shared<Foreign>()), nullptr);
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);
}

TEST(LibusbBackend, ContextLivesFromItsFirstUserToItsLast)
{
    LibusbContext context;
    libusb_context* first = context.acquire();
    if (!first)
        GTEST_SKIP() << "libusb cannot start here";
    EXPECT_EQ(threadsNamed(kLibusbThread, 1), 1);
    EXPECT_EQ(context.acquire(), first);  // a second device shares it
    EXPECT_EQ(threadsNamed(kLibusbThread, 1), 1);
    context.release();
    EXPECT_EQ(threadsNamed(kLibusbThread, 1), 1);
    context.release();
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);
    context.release();  // one release too many changes nothing
    ASSERT_NE(context.acquire(), nullptr);  // made again for the next device
    EXPECT_EQ(threadsNamed(kLibusbThread, 1), 1);
    context.release();
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);
}
