// Stream exports: the stream of a device and its buffers.
#include "CameraBinding.h"
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimLibrary.h"

#include <cstring>

using namespace quillan;

namespace {

const char kStreamId[] = "Stream0";

// The camera's stream behind a live stream handle.
int resolveStream(ORV_STREAM_HANDLE handle, std::shared_ptr<StreamState>* stream)
{
    SimModuleRef ref;
    if (int rc = resolveModule(handle, HandleKind::Stream, &ref))
        return rc;
    if (!ref.camera)
        return ORV_ERROR_INVALID_HANDLE;
    *stream = streamStateOf(ref.camera);
    return ORV_SUCCESS;
}

// Runs one stream call: library state and injected faults, the stream
// behind the handle, the call log.
template <class Fn>
int onStream(SimCall& call, ORV_STREAM_HANDLE handle, Fn fn)
{
    if (int rc = call.enter())
        return rc;
    std::shared_ptr<StreamState> stream;
    if (int rc = resolveStream(handle, &stream))
        return call.result(rc);
    return call.result(fn(*stream));
}

// Announces user memory, or memory the stream allocates when it is null.
int announce(SimCall& call, ORV_STREAM_HANDLE stream, void* memory, uint32_t size, void* userPointer,
             ORV_BUFFER_HANDLE* handle)
{
    return onStream(call, stream, [&](StreamState& s) {
        const int rc = s.announce(memory, size, userPointer, handle);
        if (rc == ORV_SUCCESS && call.nullHandle())
            *handle = 0;
        return rc;
    });
}

} // namespace

int OrvDeviceGetStreamId(ORV_DEVICE_HANDLE device, uint32_t index, char* id, size_t* size)
{
    SimCall call("OrvDeviceGetStreamId", device);
    call.arg("index", index);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(device, HandleKind::Device, &ref))
        return call.result(rc);
    if (!ref.camera->config().hasStream || index != 0)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    if (!id || !size)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (*size < sizeof kStreamId)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    std::memcpy(id, kStreamId, sizeof kStreamId);
    *size = sizeof kStreamId;
    return call.result(ORV_SUCCESS);
}

int OrvDeviceStreamOpen(ORV_DEVICE_HANDLE device, const char* streamId, ORV_STREAM_HANDLE* stream)
{
    SimCall call("OrvDeviceStreamOpen", device);
    call.arg("streamId", streamId ? streamId : "");
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(device, HandleKind::Device, &ref))
        return call.result(rc);
    if (!stream)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (!ref.camera->config().hasStream || (streamId && *streamId && std::strcmp(streamId, kStreamId) != 0))
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    if (!SimHandles::instance().handlesOf(HandleKind::Stream, device).empty())
        return call.result(ORV_ERROR_BUSY);
    streamStateOf(ref.camera)->setStreamId(kStreamId);
    const ORV_STREAM_HANDLE h = SimHandles::instance().add(HandleKind::Stream, ref.camera->streamModule(), device);
    *stream = call.nullHandle() ? 0 : h;
    call.arg("stream", *stream);
    return call.result(ORV_SUCCESS);
}

int OrvStreamAcquisitionStart(ORV_STREAM_HANDLE stream, uint32_t flags, uint64_t imageCount)
{
    SimCall call("OrvStreamAcquisitionStart", stream);
    call.arg("flags", flags).arg("imageCount", imageCount);
    return onStream(call, stream, [&](StreamState& s) { return s.start(flags, imageCount); });
}

int OrvStreamAcquisitionStop(ORV_STREAM_HANDLE stream, uint32_t flags)
{
    SimCall call("OrvStreamAcquisitionStop", stream);
    call.arg("flags", flags);
    return onStream(call, stream, [&](StreamState& s) { return s.stop(flags); });
}

int OrvStreamAnnounceBuffer(ORV_STREAM_HANDLE stream, void* buffer, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle)
{
    SimCall call("OrvStreamAnnounceBuffer", stream);
    call.arg("size", size);
    if (!buffer)
        return onStream(call, stream, [](StreamState&) { return ORV_ERROR_INVALID_ARGUMENT; });
    return announce(call, stream, buffer, size, userPointer, bufferHandle);
}

int OrvStreamAllocAndAnnounceBuffer(ORV_STREAM_HANDLE stream, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle)
{
    SimCall call("OrvStreamAllocAndAnnounceBuffer", stream);
    call.arg("size", size);
    return announce(call, stream, nullptr, size, userPointer, bufferHandle);
}

int OrvStreamRevokeBuffer(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, void** bufferData, void** userPointer)
{
    SimCall call("OrvStreamRevokeBuffer", stream);
    call.arg("buffer", bufferHandle);
    return onStream(call, stream, [&](StreamState& s) { return s.revoke(bufferHandle, bufferData, userPointer); });
}

int OrvStreamQueueBuffer(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle)
{
    SimCall call("OrvStreamQueueBuffer", stream);
    call.arg("buffer", bufferHandle);
    return onStream(call, stream, [&](StreamState& s) { return s.queue(bufferHandle); });
}

int OrvStreamGetBufferId(ORV_STREAM_HANDLE stream, uint32_t index, ORV_BUFFER_HANDLE* bufferHandle)
{
    SimCall call("OrvStreamGetBufferId", stream);
    call.arg("index", index);
    return onStream(call, stream, [&](StreamState& s) { return s.bufferId(index, bufferHandle); });
}

int OrvStreamFlushQueue(ORV_STREAM_HANDLE stream, uint32_t operation)
{
    SimCall call("OrvStreamFlushQueue", stream);
    call.arg("operation", operation);
    return onStream(call, stream, [&](StreamState& s) { return s.flush(operation); });
}

int OrvStreamWaitForNewBuffer(ORV_STREAM_HANDLE stream, void** userPointer, ORV_BUFFER_HANDLE* bufferHandle, uint32_t timeoutMs)
{
    SimCall call("OrvStreamWaitForNewBuffer", stream);
    call.arg("timeoutMs", timeoutMs);
    return onStream(call, stream, [&](StreamState& s) { return s.wait(userPointer, bufferHandle, timeoutMs); });
}

int OrvStreamBufferGetInfo(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, ORV_BUFFER_INFO* info)
{
    SimCall call("OrvStreamBufferGetInfo", stream);
    call.arg("buffer", bufferHandle);
    return onStream(call, stream, [&](StreamState& s) { return s.bufferInfo(bufferHandle, info); });
}

int OrvStreamGetInfo(ORV_STREAM_HANDLE stream, ORV_DS_INFO* info)
{
    SimCall call("OrvStreamGetInfo", stream);
    return onStream(call, stream, [&](StreamState& s) { return s.info(info); });
}

int OrvStreamClose(ORV_STREAM_HANDLE stream)
{
    SimCall call("OrvStreamClose", stream);
    if (int rc = call.enter())
        return rc;
    // Closing works on a disconnected camera too.
    auto module = SimHandles::instance().get<SimModule>(stream, HandleKind::Stream);
    auto camera = module ? module->camera.lock() : nullptr;
    if (!camera)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    streamStateOf(camera)->close();
    eventStateOf(camera)->dropModule(stream);
    SimHandles::instance().remove(stream);
    return call.result(ORV_SUCCESS);
}
