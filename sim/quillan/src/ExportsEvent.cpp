// Event exports: registration, waiting and ending waits.
#include "CameraBinding.h"
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimLibrary.h"

#include <cstring>

using namespace quillan;

namespace {

// The camera behind a live module handle, whether it is connected or not:
// waits, flushes and kills must work while a camera goes away.
std::shared_ptr<SimCamera> cameraOf(uint32_t module)
{
    HandleKind kind;
    if (!SimHandles::instance().kindOf(module, &kind) || !isModuleKind(kind))
        return nullptr;
    auto m = SimHandles::instance().get<SimModule>(module, kind);
    return m ? m->camera.lock() : nullptr;
}

std::shared_ptr<EventQueue> queueOf(uint32_t module, ORV_EVENT_HANDLE event)
{
    auto camera = cameraOf(module);
    auto events = camera ? existing(camera, camera->eventState) : nullptr;
    return events ? events->queue(module, event) : nullptr;
}

template <class Fn>
int onQueue(const char* function, ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, Fn fn)
{
    SimCall call(function, module);
    call.arg("event", event);
    if (int rc = call.enter())
        return rc;
    auto queue = queueOf(module, event);
    if (!queue)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    fn(*queue);
    return call.result(ORV_SUCCESS);
}

} // namespace

int OrvEventRegister(ORV_MODULE_HANDLE module, int32_t eventType, ORV_EVENT_HANDLE* event)
{
    SimCall call("OrvEventRegister", module);
    call.arg("type", eventType);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(module, &ref))
        return call.result(rc);
    if (!event)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (!ref.camera)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    const int rc = eventStateOf(ref.camera)->add(module, ref.kind, eventType, event);
    if (rc == ORV_SUCCESS && call.nullHandle())
        *event = 0;
    return call.result(rc);
}

int OrvEventUnRegister(ORV_MODULE_HANDLE module, int32_t eventType)
{
    SimCall call("OrvEventUnRegister", module);
    call.arg("type", eventType);
    if (int rc = call.enter())
        return rc;
    auto camera = cameraOf(module);
    auto events = camera ? existing(camera, camera->eventState) : nullptr;
    if (!events)
        return call.result(camera ? ORV_ERROR_NOT_AVAILABLE : ORV_ERROR_INVALID_HANDLE);
    return call.result(events->remove(module, eventType));
}

int OrvEventWait(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, void* buffer, size_t* size, uint64_t timeoutMs)
{
    SimCall call("OrvEventWait", module);
    call.arg("event", event).arg("timeoutMs", timeoutMs);
    if (int rc = call.enter())
        return rc;
    auto queue = queueOf(module, event);
    if (!queue)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    return call.result(queue->wait(buffer, size, timeoutMs));
}

int OrvEventGetInfo(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, uint32_t command, void* buffer, size_t* size)
{
    SimCall call("OrvEventGetInfo", module);
    call.arg("event", event).arg("command", command);
    if (int rc = call.enter())
        return rc;
    auto camera = cameraOf(module);
    auto events = camera ? existing(camera, camera->eventState) : nullptr;
    int32_t type = 0;
    uint64_t fired = 0;
    if (!events || !events->typeOf(module, event, &type, &fired))
        return call.result(ORV_ERROR_INVALID_HANDLE);
    auto queue = events->queue(module, event);
    // 0 type (int32), 1 queued events, 2 events posted, 3 record size (uint64 each).
    uint64_t value = 0;
    size_t bytes = sizeof(uint64_t);
    switch (command) {
    case 0: bytes = sizeof(int32_t); break;
    case 1: value = queue ? queue->pending() : 0; break;
    case 2: value = fired; break;
    case 3: value = queue ? queue->recordSize() : 0; break;
    default: return call.result(ORV_ERROR_NOT_AVAILABLE);
    }
    if (!buffer || !size || *size < bytes)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (command == 0)
        std::memcpy(buffer, &type, bytes);
    else
        std::memcpy(buffer, &value, bytes);
    *size = bytes;
    return call.result(ORV_SUCCESS);
}

int OrvEventFlush(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event)
{
    return onQueue("OrvEventFlush", module, event, [](EventQueue& q) { q.flush(); });
}

int OrvEventKill(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event)
{
    return onQueue("OrvEventKill", module, event, [](EventQueue& q) { q.kill(); });
}
