// The libusb context of the libusb back-end. libusb runs a thread of its own
// (device events) for each context, so the context is made for its first
// user (an opened device, or a listing of the buses) and ended with its last:
// a process that opens no device through libusb runs no libusb thread.
#pragma once

#include <mutex>

struct libusb_context;

namespace pexlin::usb {

class LibusbContext {
public:
    // The context, made when it has no user yet; null when libusb cannot
    // start (nothing is then held).
    libusb_context* acquire();
    // Ends the context with its last user.
    void release();

private:
    std::mutex mutex_;
    libusb_context* context_ = nullptr;
    int users_ = 0;
};

} // namespace pexlin::usb
