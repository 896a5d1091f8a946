// The packet-filter device that GigE stream channels talk to: opened by its
// path, it takes requests that carry a control code and a request block that
// is sent and answered in place, and it is closed once. A close may come from
// another thread while a request waits in the device; it wakes that request,
// which then fails, and every later request fails at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace gigefilter {

class FilterDevice {
public:
    virtual ~FilterDevice() = default;

    // Sends `inSize` bytes of `block` with `code`; the reply is written back
    // into `block`, at most `outSize` bytes, and `*returned` receives its
    // length. False when the call itself fails.
    virtual bool request(uint32_t code, void* block, uint32_t inSize, uint32_t outSize,
                         uint32_t* returned) = 0;

    // Ends the device; wakes a request in progress.
    virtual void close() = 0;
};

// Makes a new device each time its path is opened.
using FilterDeviceFactory = std::function<std::unique_ptr<FilterDevice>()>;

// Puts a device under `path`; an empty factory removes it.
void registerFilterDevice(const std::string& path, FilterDeviceFactory factory);

// The factory under `path`; empty when there is none.
FilterDeviceFactory filterDeviceFactory(const std::string& path);

// Opens the device under `path`; null when there is none.
std::unique_ptr<FilterDevice> openFilterDevice(const std::string& path);

}  // namespace gigefilter
