// The exported C interface. Null pointers give 0xC01A; no exception leaves
// an export (0xC01B).
#include "Pexlin.h"

#include "Library.h"
#include "U3vControl.h"
#include "U3vEvent.h"
#include "U3vStream.h"

#include <cstring>
#include <memory>
#include <new>

using namespace pexlin;

namespace {

template <typename F>
U3V_STATUS guarded(F&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return U3V_STATUS_EXCEPTION;
    }
}

} // namespace

extern "C" {

U3V_STATUS U3V_DiscoveryDevices(uint16_t* count)
{
    if (!count)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] {
        Library& lib = library();
        const U3V_STATUS status = lib.devices.discover(usb::backend());
        const std::size_t n = lib.devices.count();
        *count = std::uint16_t(n > 0xFFFF ? 0xFFFF : n);
        return status;
    });
}

U3V_STATUS U3V_GetDeviceInfo(uint16_t index, U3V_DEVICE_INFO* info)
{
    if (!info)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        EntryPtr entry = index == 0 ? nullptr : library().devices.at(index - 1u);
        if (!entry)
            return U3V_STATUS_OUT_OF_RANGE;
        std::memcpy(info, &entry->info, sizeof *info);
        return 0;
    });
}

U3V_STATUS U3V_OpenDevice(const char* guid, U3V_Device** device, U3V_LOG_CALLBACK log,
                          uint8_t logMask)
{
    if (!guid || !device)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        *device = nullptr;
        auto* opened = new U3V_Device;
        *device = opened;
        opened->logCallback = log;
        opened->logMask = logMask;
        EntryPtr entry = library().devices.findGuid(guid);
        if (!entry) {
            opened->Log(U3V_LOG_ERROR, "No device found (%s).", guid);
            return U3V_STATUS_NO_DEVICE;
        }
        return opened->open(entry);
    });
}

U3V_STATUS U3V_CloseDevice(U3V_Device* device)
{
    if (!device)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        delete device;
        return 0;
    });
}

U3V_STATUS U3V_SetDetailedLog(U3V_Device* device, uint8_t mask)
{
    if (!device)
        return U3V_STATUS_NULL_HANDLE;
    device->logMask = mask;
    return 0;
}

U3V_STATUS U3V_GetDetailedLog(U3V_Device* device, uint8_t* mask)
{
    if (!device || !mask)
        return U3V_STATUS_NULL_HANDLE;
    *mask = device->logMask;
    return 0;
}

U3V_STATUS U3V_OpenControl(U3V_Device* device, U3V_Control** control)
{
    if (!device || !control)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        *control = nullptr;
        auto* channel = new U3V_Control(device);
        *control = channel;
        return channel->Open();
    });
}

U3V_STATUS U3V_CloseControl(U3V_Control* control)
{
    if (!control)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        delete control;
        return 0;
    });
}

U3V_STATUS U3V_ReadMem(U3V_Control* control, uint64_t address, uint16_t count, void* data)
{
    if (!control || (!data && count > 0))
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return control->ReadMem(address, count, data); });
}

U3V_STATUS U3V_WriteMem(U3V_Control* control, uint64_t address, uint16_t count,
                        const void* data)
{
    if (!control || (!data && count > 0))
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return control->WriteMem(address, count, data); });
}

U3V_STATUS U3V_ReadXml(U3V_Control* control, uint8_t** xml, uint32_t* size, bool dump)
{
    if (!control || !xml || !size)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return control->ReadXml(xml, size, dump); });
}

U3V_STATUS U3V_WriteXml(U3V_Control* control, const char* path, uint32_t fileAddress,
                        uint32_t manifestAddress, uint32_t fileVersion, uint32_t schemaVersion,
                        U3V_PROGRESS_CALLBACK progress)
{
    if (!control || !path)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] {
        return control->WriteXml(path, fileAddress, manifestAddress, fileVersion, schemaVersion,
                                 progress);
    });
}

U3V_STATUS U3V_MaximumDeviceResponseTime(U3V_Control* control, uint32_t* ms)
{
    if (!control || !ms)
        return U3V_STATUS_NULL_HANDLE;
    *ms = control->timeoutMs;
    return 0;
}

U3V_STATUS U3V_OpenEvent(U3V_Device* device, U3V_Control* control, U3V_Event** event,
                         U3V_EVENT_CALLBACK callback, uint32_t timeoutMs)
{
    if (!device || !control || !event)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        *event = nullptr;
        auto channel = std::make_unique<U3V_Event>(device, control);
        const U3V_STATUS status = channel->Open(callback, timeoutMs);
        if (status == 0)
            *event = channel.release();
        return status;
    });
}

U3V_STATUS U3V_CloseEvent(U3V_Event* event)
{
    if (!event)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        delete event;
        return 0;
    });
}

U3V_STATUS U3V_TestEvent(U3V_Event* event)
{
    if (!event)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return event->TestEvent(); });
}

U3V_STATUS U3V_OpenStream(U3V_Device* device, U3V_Control* control, U3V_Stream** stream,
                          uint32_t timeoutMs)
{
    if (!device || !control || !stream)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        *stream = nullptr;
        auto* channel = new U3V_Stream(device, control);
        *stream = channel; // kept also when opening fails
        return channel->Open(timeoutMs);
    });
}

U3V_STATUS U3V_CloseStream(U3V_Stream* stream)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        stream->Close();
        delete stream;
        return 0;
    });
}

U3V_STATUS U3V_AcquisitionStart(U3V_Stream* stream, uint32_t)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return stream->Start(); });
}

U3V_STATUS U3V_AcquisitionStop(U3V_Stream* stream, uint64_t* first, uint64_t* second)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&]() -> U3V_STATUS {
        const U3V_STATUS status = stream->Stop(first, second);
        if (status == 0 && (!first || !second))
            return U3V_STATUS_NULL_HANDLE; // stopped all the same
        return status;
    });
}

U3V_STATUS U3V_GetImage(U3V_Stream* stream, void* buffer, uint32_t timeoutMs,
                        U3V_IMAGE_INFO* info)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return guarded([&] { return stream->GetImage(buffer, timeoutMs, info); });
}

U3V_STATUS U3V_GetBufferCount(U3V_Stream* stream, uint32_t* count)
{
    if (!stream || !count)
        return U3V_STATUS_NULL_HANDLE;
    *count = stream->bufferCount;
    return 0;
}

U3V_STATUS U3V_SetBufferCount(U3V_Stream* stream, uint32_t count)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return stream->SetBufferCount(count);
}

U3V_STATUS U3V_GetTransferSize(U3V_Stream* stream, uint32_t* size)
{
    if (!stream || !size)
        return U3V_STATUS_NULL_HANDLE;
    *size = stream->transferSize;
    return 0;
}

U3V_STATUS U3V_SetTransferSize(U3V_Stream* stream, uint32_t size)
{
    if (!stream)
        return U3V_STATUS_NULL_HANDLE;
    return stream->SetTransferSize(size);
}

} // extern "C"
