// Event registrations of one simulated camera: which module handle receives
// which event type, each with its own queue. Events are posted by kind of
// module (device or stream) and type; a registration takes them only while
// it exists.
#ifndef EVENTSTATE_H
#define EVENTSTATE_H

#include "EventQueue.h"
#include "OrvSdk.h"
#include "SimHandles.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace quillan {

class EventState {
public:
    // Types the camera supports (4000 and 4 on the device, 5000 on the stream).
    explicit EventState(std::vector<int32_t> supportedTypes);

    // -1009 for a type the module cannot take, -1014 when already registered.
    // The event handle is issued by the handle registry and owned by the module.
    int add(uint32_t module, HandleKind kind, int32_t type, ORV_EVENT_HANDLE* handle);
    // Ends the registration's waits and removes it; -1009 when there is none.
    int remove(uint32_t module, int32_t type);
    // The queue of a live registration of that module.
    std::shared_ptr<EventQueue> queue(uint32_t module, ORV_EVENT_HANDLE handle) const;
    // The type of a registration, for OrvEventGetInfo.
    bool typeOf(uint32_t module, ORV_EVENT_HANDLE handle, int32_t* type, uint64_t* fired) const;

    // Queues a record (null for types without payload) to every registration
    // of that type on a module of that kind. Returns the number of queues.
    int post(HandleKind kind, int32_t type, const void* record);

    // Ends and drops every registration (device closing, library closing).
    void dropAll();
    // Ends and drops the registrations of one module.
    void dropModule(uint32_t module);

    // Test control: refuse a supported type, accept another type without payload.
    void setRefused(int32_t type, bool refused);
    void allow(int32_t type);

private:
    struct Registration {
        uint32_t module;
        HandleKind kind;
        int32_t type;
        ORV_EVENT_HANDLE handle;
        std::shared_ptr<EventQueue> queue;
        uint64_t fired = 0;
    };
    void release(std::vector<Registration>& gone);

    mutable std::mutex mutex_;
    std::set<int32_t> supported_;
    std::set<int32_t> refused_;
    std::set<int32_t> allowed_;
    std::vector<Registration> registrations_;
};

} // namespace quillan

#endif // EVENTSTATE_H
