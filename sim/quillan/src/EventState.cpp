#include "EventState.h"

#include "EventRecords.h"

#include <algorithm>

namespace quillan {

EventState::EventState(std::vector<int32_t> supportedTypes) : supported_(supportedTypes.begin(), supportedTypes.end()) {}

int EventState::add(uint32_t module, HandleKind kind, int32_t type, ORV_EVENT_HANDLE* handle)
{
    if (!handle)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::shared_ptr<EventQueue> queue;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bool accepted;
        switch (type) {
        case ORV_EVENT_TYPE_DEVICE_CONNECTION:
        case ORV_EVENT_TYPE_REMOTE_DEVICE:
            accepted = kind == HandleKind::Device && supported_.count(type) && !refused_.count(type);
            break;
        case ORV_EVENT_TYPE_DS_ACQUISITION:
            accepted = kind == HandleKind::Stream && supported_.count(type) && !refused_.count(type);
            break;
        default:
            accepted = allowed_.count(type) && !refused_.count(type);
            break;
        }
        if (!accepted)
            return ORV_ERROR_NOT_AVAILABLE;
        for (const auto& r : registrations_)
            if (r.module == module && r.type == type)
                return ORV_ERROR_BUSY;
        queue = std::make_shared<EventQueue>(eventRecordSize(type));
    }
    // The registry has its own lock; never taken inside ours.
    const ORV_EVENT_HANDLE h = SimHandles::instance().add(HandleKind::Event, queue, module);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registrations_.push_back({module, kind, type, h, queue});
    }
    *handle = h;
    return ORV_SUCCESS;
}

void EventState::release(std::vector<Registration>& gone)
{
    for (auto& r : gone) {
        r.queue->kill();
        SimHandles::instance().remove(r.handle);
    }
}

int EventState::remove(uint32_t module, int32_t type)
{
    std::vector<Registration> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(registrations_.begin(), registrations_.end(),
                               [&](const Registration& r) { return r.module == module && r.type == type; });
        if (it == registrations_.end())
            return ORV_ERROR_NOT_AVAILABLE;
        gone.push_back(*it);
        registrations_.erase(it);
    }
    release(gone);
    return ORV_SUCCESS;
}

std::shared_ptr<EventQueue> EventState::queue(uint32_t module, ORV_EVENT_HANDLE handle) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& r : registrations_)
        if (r.module == module && r.handle == handle)
            return r.queue;
    return nullptr;
}

bool EventState::typeOf(uint32_t module, ORV_EVENT_HANDLE handle, int32_t* type, uint64_t* fired) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& r : registrations_) {
        if (r.module == module && r.handle == handle) {
            *type = r.type;
            *fired = r.fired;
            return true;
        }
    }
    return false;
}

int EventState::post(HandleKind kind, int32_t type, const void* record)
{
    std::vector<std::shared_ptr<EventQueue>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& r : registrations_) {
            if (r.type == type && r.kind == kind) {
                targets.push_back(r.queue);
                ++r.fired;
            }
        }
    }
    for (auto& q : targets)
        q->push(record);
    return int(targets.size());
}

void EventState::dropAll()
{
    std::vector<Registration> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gone.swap(registrations_);
    }
    release(gone);
}

void EventState::dropModule(uint32_t module)
{
    std::vector<Registration> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto keep = std::stable_partition(registrations_.begin(), registrations_.end(),
                                          [&](const Registration& r) { return r.module != module; });
        gone.assign(keep, registrations_.end());
        registrations_.erase(keep, registrations_.end());
    }
    release(gone);
}

void EventState::setRefused(int32_t type, bool refused)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (refused)
        refused_.insert(type);
    else
        refused_.erase(type);
}

void EventState::allow(int32_t type)
{
    std::lock_guard<std::mutex> lock(mutex_);
    allowed_.insert(type);
}

} // namespace quillan
