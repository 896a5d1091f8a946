// libusb-1.0 back-end of the USB layer.
#include "PexlinUsb.h"
#include "UsbLibusb.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

namespace pexlin::usb {
namespace {

int mapError(int rc)
{
    switch (rc) {
    case LIBUSB_ERROR_TIMEOUT: return ErrorTimeout;
    case LIBUSB_ERROR_PIPE: return ErrorPipe;
    case LIBUSB_ERROR_OVERFLOW: return ErrorOverflow;
    case LIBUSB_ERROR_NO_DEVICE: return ErrorNoDevice;
    case LIBUSB_ERROR_BUSY: return ErrorBusy;
    case LIBUSB_ERROR_INVALID_PARAM: return ErrorInvalid;
    case LIBUSB_ERROR_NOT_SUPPORTED: return ErrorNotSupported;
    default: return ErrorIo;
    }
}

// A device as listed: found again by its place on the bus when opened, so
// that no libusb context outlives the call that listed it.
class LibusbDevice : public Device {
public:
    LibusbDevice(std::uint8_t bus, std::uint8_t address, DeviceDesc desc)
        : bus(bus), address(address), desc_(std::move(desc)) {}
    const DeviceDesc& descriptor() const override { return desc_; }
    const std::uint8_t bus;
    const std::uint8_t address;

private:
    DeviceDesc desc_;
};

class LibusbHandle : public Handle {
public:
    LibusbHandle(libusb_context* context, libusb_device_handle* h) : context(context), raw(h) {}
    libusb_context* context;
    libusb_device_handle* raw;
    std::set<int> claimed;
};

LibusbHandle* cast(Handle* handle) { return static_cast<LibusbHandle*>(handle); }

// One libusb transfer object, reused for every submission of the context.
// The completion callback runs on whichever thread handles libusb's events.
class LibusbAsync : public AsyncTransfer {
public:
    LibusbAsync(libusb_context* context, libusb_device_handle* handle, std::uint8_t endpoint)
        : context(context), handle(handle), endpoint(endpoint), transfer(libusb_alloc_transfer(0)) {}
    ~LibusbAsync() override { libusb_free_transfer(transfer); }

    libusb_context* context;
    libusb_device_handle* handle;
    std::uint8_t endpoint;
    libusb_transfer* transfer;
    std::mutex mutex;
    bool inFlight = false; // submitted and not yet reaped
    bool done = false;     // the callback has run
    int result = 0;
};

void LIBUSB_CALL onTransferDone(libusb_transfer* t)
{
    auto* a = static_cast<LibusbAsync*>(t->user_data);
    std::lock_guard<std::mutex> lock(a->mutex);
    switch (t->status) {
    case LIBUSB_TRANSFER_COMPLETED: a->result = t->actual_length; break;
    case LIBUSB_TRANSFER_TIMED_OUT: a->result = ErrorTimeout; break;
    case LIBUSB_TRANSFER_CANCELLED: a->result = ErrorCancelled; break;
    case LIBUSB_TRANSFER_STALL: a->result = ErrorPipe; break;
    case LIBUSB_TRANSFER_NO_DEVICE: a->result = ErrorNoDevice; break;
    case LIBUSB_TRANSFER_OVERFLOW: a->result = ErrorOverflow; break;
    default: a->result = ErrorIo; break;
    }
    a->done = true;
}

bool isDone(LibusbAsync* a)
{
    std::lock_guard<std::mutex> lock(a->mutex);
    return a->done;
}

// Handles libusb's events until the transfer's callback has run or the
// deadline passes; another thread may be the one handling them.
void waitDone(LibusbAsync* a, const std::chrono::steady_clock::time_point* deadline)
{
    using namespace std::chrono;
    while (!isDone(a)) {
        microseconds slice = milliseconds(50);
        if (deadline) {
            const auto left = duration_cast<microseconds>(*deadline - steady_clock::now());
            if (left.count() <= 0)
                return;
            slice = std::min(slice, left);
        }
        timeval tv{0, long(slice.count())};
        libusb_handle_events_timeout_completed(a->context, &tv, nullptr);
    }
}

DeviceDesc describe(libusb_device* device)
{
    DeviceDesc desc;
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(device, &d) != 0)
        return desc;
    desc.deviceClass = d.bDeviceClass;
    desc.deviceSubClass = d.bDeviceSubClass;
    desc.deviceProtocol = d.bDeviceProtocol;
    desc.vendorId = d.idVendor;
    desc.productId = d.idProduct;
    if (d.bNumConfigurations == 0)
        return desc;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_config_descriptor(device, 0, &config) != 0 || !config)
        return desc;
    ConfigDesc c;
    c.totalLength = config->wTotalLength;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        InterfaceDesc iface;
        const libusb_interface& li = config->interface[i];
        for (int a = 0; a < li.num_altsetting; ++a) {
            const libusb_interface_descriptor& s = li.altsetting[a];
            AltSettingDesc alt;
            alt.interfaceNumber = s.bInterfaceNumber;
            alt.alternateSetting = s.bAlternateSetting;
            alt.interfaceClass = s.bInterfaceClass;
            alt.interfaceSubClass = s.bInterfaceSubClass;
            alt.interfaceProtocol = s.bInterfaceProtocol;
            for (int e = 0; e < s.bNumEndpoints; ++e)
                alt.endpoints.push_back({s.endpoint[e].bEndpointAddress,
                                         s.endpoint[e].bmAttributes,
                                         s.endpoint[e].wMaxPacketSize});
            iface.altSettings.push_back(std::move(alt));
        }
        c.interfaces.push_back(std::move(iface));
    }
    libusb_free_config_descriptor(config);
    desc.configs.push_back(std::move(c));
    return desc;
}

class LibusbBackend : public Backend {
public:
    int findDevices(std::vector<DevicePtr>& out) override
    {
        libusb_context* context = context_.acquire();
        if (!context)
            return ErrorIo;
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(context, &list);
        if (n >= 0) {
            for (ssize_t i = 0; i < n; ++i)
                out.push_back(std::make_shared<LibusbDevice>(libusb_get_bus_number(list[i]),
                                                             libusb_get_device_address(list[i]), describe(list[i])));
            libusb_free_device_list(list, 1);
        }
        context_.release();
        return n < 0 ? mapError(int(n)) : int(out.size());
    }

    Handle* open(const DevicePtr& device) override
    {
        auto* d = dynamic_cast<LibusbDevice*>(device.get());
        if (!d)
            return nullptr;
        libusb_context* context = context_.acquire();
        if (!context)
            return nullptr;
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(context, &list);
        libusb_device_handle* h = nullptr;
        for (ssize_t i = 0; i < n; ++i) {
            if (libusb_get_bus_number(list[i]) == d->bus && libusb_get_device_address(list[i]) == d->address) {
                if (libusb_open(list[i], &h) != 0)
                    h = nullptr;
                break;
            }
        }
        if (n >= 0)
            libusb_free_device_list(list, 1);
        if (!h) {
            context_.release();  // gone since it was listed, or refused
            return nullptr;
        }
        return new LibusbHandle(context, h);
    }

    int close(Handle* handle) override
    {
        if (!handle)
            return ErrorInvalid;
        LibusbHandle* h = cast(handle);
        for (int iface : h->claimed)
            libusb_release_interface(h->raw, iface);
        libusb_close(h->raw);
        delete h;
        context_.release();
        return 0;
    }

    int getDescriptor(Handle* handle, std::uint8_t type, std::uint8_t index, void* buffer,
                      int size) override
    {
        const int rc = libusb_get_descriptor(cast(handle)->raw, type, index,
                                             static_cast<unsigned char*>(buffer), size);
        return rc < 0 ? mapError(rc) : rc;
    }

    int getStringSimple(Handle* handle, int index, char* buffer, std::size_t size) override
    {
        if (index <= 0 || index > 255 || size == 0)
            return ErrorInvalid;
        const int rc = libusb_get_string_descriptor_ascii(
            cast(handle)->raw, std::uint8_t(index), reinterpret_cast<unsigned char*>(buffer),
            int(std::min<std::size_t>(size, 0x7fffffff)));
        if (rc < 0)
            return mapError(rc);
        buffer[std::min<std::size_t>(std::size_t(rc), size - 1)] = '\0';
        return rc;
    }

    int claimInterface(Handle* handle, int interfaceNumber) override
    {
        LibusbHandle* h = cast(handle);
        const int rc = libusb_claim_interface(h->raw, interfaceNumber);
        if (rc != 0)
            return mapError(rc);
        h->claimed.insert(interfaceNumber);
        return 0;
    }

    int releaseInterface(Handle* handle, int interfaceNumber) override
    {
        LibusbHandle* h = cast(handle);
        h->claimed.erase(interfaceNumber);
        const int rc = libusb_release_interface(h->raw, interfaceNumber);
        return rc != 0 ? mapError(rc) : 0;
    }

    int clearHalt(Handle* handle, unsigned endpoint) override
    {
        const int rc = libusb_clear_halt(cast(handle)->raw, std::uint8_t(endpoint));
        return rc != 0 ? mapError(rc) : 0;
    }

    int bulkWrite(Handle* handle, int endpoint, const void* data, int size,
                  int timeoutMs) override
    {
        return transfer(handle, std::uint8_t(endpoint & 0x7F),
                        static_cast<unsigned char*>(const_cast<void*>(data)), size, timeoutMs);
    }

    int bulkRead(Handle* handle, int endpoint, void* data, int size, int timeoutMs) override
    {
        return transfer(handle, std::uint8_t(endpoint | 0x80),
                        static_cast<unsigned char*>(data), size, timeoutMs);
    }

    AsyncTransfer* setupAsync(Handle* handle, int endpoint) override
    {
        if (!handle)
            return nullptr;
        auto* a = new LibusbAsync(cast(handle)->context, cast(handle)->raw, std::uint8_t(endpoint | 0x80));
        if (!a->transfer) {
            delete a;
            return nullptr;
        }
        return a;
    }

    int submitAsync(AsyncTransfer* transfer, void* buffer, int size) override
    {
        auto* a = static_cast<LibusbAsync*>(transfer);
        if (!a || size < 0)
            return ErrorInvalid;
        std::lock_guard<std::mutex> lock(a->mutex);
        if (a->inFlight)
            return ErrorBusy;
        libusb_fill_bulk_transfer(a->transfer, a->handle, a->endpoint,
                                  static_cast<unsigned char*>(buffer), size, onTransferDone, a, 0);
        a->done = false;
        const int rc = libusb_submit_transfer(a->transfer);
        if (rc != 0)
            return mapError(rc);
        a->inFlight = true;
        return 0;
    }

    int reapAsync(AsyncTransfer* transfer, int timeoutMs) override
    {
        auto* a = static_cast<LibusbAsync*>(transfer);
        if (!a)
            return ErrorInvalid;
        {
            std::lock_guard<std::mutex> lock(a->mutex);
            if (!a->inFlight)
                return ErrorInvalid;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        waitDone(a, timeoutMs > 0 ? &deadline : nullptr);
        bool timedOut = false;
        if (!isDone(a)) {
            // Cancelled here; libusb writes the buffer until its callback ran.
            timedOut = true;
            libusb_cancel_transfer(a->transfer);
            waitDone(a, nullptr);
        }
        std::lock_guard<std::mutex> lock(a->mutex);
        a->inFlight = false;
        if (timedOut && a->result == ErrorCancelled)
            return ErrorTimeout;
        return a->result;
    }

    int cancelAsync(AsyncTransfer* transfer) override
    {
        auto* a = static_cast<LibusbAsync*>(transfer);
        if (!a)
            return ErrorInvalid;
        {
            std::lock_guard<std::mutex> lock(a->mutex);
            if (!a->inFlight || a->done)
                return 0;
        }
        // Unlocked: libusb may complete the transfer from within the call.
        const int rc = libusb_cancel_transfer(a->transfer);
        return rc == 0 || rc == LIBUSB_ERROR_NOT_FOUND ? 0 : mapError(rc);
    }

    int freeAsync(AsyncTransfer* transfer) override
    {
        auto* a = static_cast<LibusbAsync*>(transfer);
        if (!a)
            return ErrorInvalid;
        bool inFlight = false;
        {
            std::lock_guard<std::mutex> lock(a->mutex);
            inFlight = a->inFlight && !a->done;
        }
        if (inFlight) {
            libusb_cancel_transfer(a->transfer);
            waitDone(a, nullptr);
        }
        delete a;
        return 0;
    }

private:
    int transfer(Handle* handle, std::uint8_t endpoint, unsigned char* data, int size,
                 int timeoutMs)
    {
        int done = 0;
        const int rc = libusb_bulk_transfer(cast(handle)->raw, endpoint, data, size, &done,
                                            unsigned(std::max(timeoutMs, 1))); // 0 would wait forever
        return rc == 0 ? done : mapError(rc);
    }

    LibusbContext context_;
};

} // namespace

libusb_context* LibusbContext::acquire()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_ == 0 && libusb_init(&context_) != 0) {
        context_ = nullptr;
        return nullptr;
    }
    ++users_;
    return context_;
}

void LibusbContext::release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_ == 0 || --users_ != 0)
        return;
    libusb_exit(context_);
    context_ = nullptr;
}

std::unique_ptr<Backend> makeLibusbBackend()
{
    return std::make_unique<LibusbBackend>();
}

} // namespace pexlin::usb
