// Discovered devices, the process-wide device list and opened devices.
#pragma once

#include "Pexlin.h"
#include "PexlinUsb.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

static_assert(sizeof(U3V_DEVICE_INFO) == 471, "U3V_DEVICE_INFO is 471 packed bytes");

namespace pexlin {

// Interface numbers (0: none, for event and stream) and endpoint addresses.
struct U3vPipes {
    std::uint8_t controlInterface = 0;
    std::uint8_t eventInterface = 0;
    std::uint8_t streamInterface = 0;
    std::uint8_t controlOut = 0;
    std::uint8_t controlIn = 0;
    std::uint8_t eventIn = 0;
    std::uint8_t streamIn = 0;
};

struct U3V_DeviceEntry : U3vPipes {
    U3V_DEVICE_INFO info{};
    usb::DevicePtr device;
};
using EntryPtr = std::shared_ptr<U3V_DeviceEntry>;

// Entries of the last discovery, in discovery order. An opened device keeps
// its own reference, so an entry outlives the list that found it exactly as
// long as it is in use.
class U3V_DeviceList {
public:
    // Runs discovery over the back-end; returns the status.
    U3V_STATUS discover(usb::Backend* usb);
    std::size_t count() const;
    EntryPtr at(std::size_t position) const; // from 0; null outside
    EntryPtr findGuid(const char* guid) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<EntryPtr> entries_;
};

// Walks a configuration descriptor and fills the entry's interfaces,
// endpoints and version fields, and the indices of the eight strings in
// device-info order. Returns false when no device-info descriptor of full
// length was found.
bool parseConfiguration(const std::uint8_t* bytes, std::size_t size, U3V_DeviceEntry& entry,
                        std::uint8_t stringIndices[8]);

// Standard error line, trailing white space cut.
void debugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace pexlin

struct U3V_Device : pexlin::U3vPipes {
    U3V_LOG_CALLBACK logCallback = nullptr;
    std::uint8_t logMask = 0;
    pexlin::usb::Handle* handle = nullptr;
    pexlin::EntryPtr entry;

    ~U3V_Device();
    // Opens the entry's device; returns the status.
    U3V_STATUS open(const pexlin::EntryPtr& found);
    void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
};
