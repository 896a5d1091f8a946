// Handle registry of the simulated SDK.
//
// Every handle the SDK gives out is a 32-bit identifier from one process-wide
// counter: never 0, never reused. An entry records its kind, the object it
// stands for and optionally the handle it belongs to; removing a handle
// removes every handle that belongs to it, transitively (closing a device
// closes its remote device, stream, buffers, events and feature handles).
//
// Lookups are kind-checked: a handle of another kind, a removed handle and 0
// all give nothing. The registry holds its own mutex only for the map
// operations; objects are handed out as shared pointers and stay alive while
// a caller uses them even if the handle is removed meanwhile.
#ifndef SIMHANDLES_H
#define SIMHANDLES_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillan {

enum class HandleKind : uint8_t {
    System,
    Interface,
    Device,
    RemoteDevice,
    Stream,
    Buffer,
    Feature,
    Event,
};

const char* handleKindName(HandleKind kind);
bool isModuleKind(HandleKind kind);

class SimHandles {
public:
    static SimHandles& instance();

    // Issues a new handle for the object. owner (a handle or 0) makes the new
    // handle go away with it.
    uint32_t add(HandleKind kind, std::shared_ptr<void> object, uint32_t owner = 0);

    // The object of a live handle of that kind, else null.
    template <class T>
    std::shared_ptr<T> get(uint32_t handle, HandleKind kind) const
    {
        return std::static_pointer_cast<T>(getRaw(handle, kind));
    }
    std::shared_ptr<void> getRaw(uint32_t handle, HandleKind kind) const;

    // Kind of a live handle; false when the handle is not live.
    bool kindOf(uint32_t handle, HandleKind* kind) const;
    bool isLive(uint32_t handle) const;

    // The owner of a live handle (0 when none or not live).
    uint32_t ownerOf(uint32_t handle) const;

    // Removes the handle and everything owned by it. Returns the removed
    // objects so that the caller can release them outside any lock.
    std::vector<std::shared_ptr<void>> remove(uint32_t handle);

    // Live handles of one kind, optionally only those owned by `owner`.
    std::vector<uint32_t> handlesOf(HandleKind kind, uint32_t owner = 0) const;

    // Removes every handle (library close). Identifiers are still not reused.
    std::vector<std::shared_ptr<void>> clear();

    size_t size() const;

private:
    struct Entry {
        HandleKind kind;
        std::shared_ptr<void> object;
        uint32_t owner;
        std::vector<uint32_t> children;
    };
    void removeLocked(uint32_t handle, std::vector<std::shared_ptr<void>>& removed);

    mutable std::mutex mutex_;
    std::unordered_map<uint32_t, Entry> entries_;
    uint32_t next_ = 0x100;
};

} // namespace quillan

#endif // SIMHANDLES_H
