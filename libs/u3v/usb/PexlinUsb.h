// The USB layer under libPexlin.so: the synchronous bulk and descriptor calls
// and the asynchronous bulk transfers the library makes, behind one interface
// with two back-ends (libusb-1.0 for real devices, a simulated device for
// tests). Every call returns a byte count or 0 on success, and a negative
// value on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pexlin::usb {

// Negative results of the layer.
enum Error : int {
    ErrorIo = -5,
    ErrorNoDevice = -19,
    ErrorBusy = -16,
    ErrorPipe = -32,       // endpoint halted
    ErrorOverflow = -75,   // the device sent more than the buffer holds
    ErrorTimeout = -110,
    ErrorInvalid = -22,
    ErrorNotSupported = -95,
    ErrorCancelled = -125, // the transfer was cancelled before it completed
};

struct EndpointDesc {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;
    std::uint16_t maxPacketSize = 0;
};

struct AltSettingDesc {
    std::uint8_t interfaceNumber = 0;
    std::uint8_t alternateSetting = 0;
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
    std::vector<EndpointDesc> endpoints;
};

struct InterfaceDesc {
    std::vector<AltSettingDesc> altSettings;
};

struct ConfigDesc {
    std::uint16_t totalLength = 0;
    std::vector<InterfaceDesc> interfaces;
};

struct DeviceDesc {
    std::uint8_t deviceClass = 0;
    std::uint8_t deviceSubClass = 0;
    std::uint8_t deviceProtocol = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::vector<ConfigDesc> configs; // empty: the device has none
};

// One device as the bus lists it; kept alive by whoever holds it.
class Device {
public:
    virtual ~Device() = default;
    virtual const DeviceDesc& descriptor() const = 0;
};
using DevicePtr = std::shared_ptr<Device>;

// An opened device; closed only through Backend::close.
class Handle {
public:
    virtual ~Handle() = default;
};

// One asynchronous bulk IN transfer context: set up for an endpoint, then
// submitted and reaped any number of times, one transfer at a time.
class AsyncTransfer {
public:
    virtual ~AsyncTransfer() = default;
};

class Backend {
public:
    virtual ~Backend() = default;

    // Fills out with the devices of every bus; returns their count or a
    // negative value.
    virtual int findDevices(std::vector<DevicePtr>& out) = 0;
    // Null when the device cannot be opened.
    virtual Handle* open(const DevicePtr& device) = 0;
    // Releases what the handle claimed and deletes it.
    virtual int close(Handle* handle) = 0;

    virtual int getDescriptor(Handle* handle, std::uint8_t type, std::uint8_t index,
                              void* buffer, int size) = 0;
    // The string descriptor in ASCII, zero-terminated within size.
    virtual int getStringSimple(Handle* handle, int index, char* buffer, std::size_t size) = 0;
    virtual int claimInterface(Handle* handle, int interfaceNumber) = 0;
    virtual int releaseInterface(Handle* handle, int interfaceNumber) = 0;
    virtual int clearHalt(Handle* handle, unsigned endpoint) = 0;
    virtual int bulkWrite(Handle* handle, int endpoint, const void* data, int size,
                          int timeoutMs) = 0;
    virtual int bulkRead(Handle* handle, int endpoint, void* data, int size,
                         int timeoutMs) = 0;

    // Asynchronous bulk reads. setupAsync gives a context for an IN endpoint
    // (null on failure). submitAsync queues one transfer into buffer; the
    // buffer stays the device's until the transfer is reaped. reapAsync waits
    // up to timeoutMs (0 or less: without limit) and returns the bytes
    // received or a negative value; a reap that times out cancels the
    // transfer and returns ErrorTimeout only once the buffer can no longer be
    // written. Reaping a context with nothing submitted gives ErrorInvalid.
    // cancelAsync may be called from any thread: the transfer's reap then
    // returns promptly (ErrorCancelled unless it had completed). freeAsync
    // cancels what is still submitted, waits for it and deletes the context.
    virtual AsyncTransfer* setupAsync(Handle* handle, int endpoint) = 0;
    virtual int submitAsync(AsyncTransfer* transfer, void* buffer, int size) = 0;
    virtual int reapAsync(AsyncTransfer* transfer, int timeoutMs) = 0;
    virtual int cancelAsync(AsyncTransfer* transfer) = 0;
    virtual int freeAsync(AsyncTransfer* transfer) = 0;
};

// The back-end in use: chosen when the library loads (the simulated device
// when PEXLIN_USB_SIM is set, else libusb-1.0). Null when the simulated
// device library could not be loaded.
Backend* backend();
// Replaces the back-end (tests that link the library's objects).
void setBackend(Backend* replacement);

// libusb-1.0 back-end. libusb starts with the first device opened (or while
// the buses are listed) and stops with the last device closed.
std::unique_ptr<Backend> makeLibusbBackend();

} // namespace pexlin::usb

// The simulated device library exports this to hand over its back-end.
extern "C" __attribute__((visibility("default"))) pexlin::usb::Backend* PexlinUsbSimBackend();
