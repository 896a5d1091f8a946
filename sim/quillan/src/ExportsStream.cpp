// Stream, image, conversion, event and device file exports.
//
// Every export here answers "not available" until its part of the simulator
// is built; each goes through SimCall so that injected faults and the call log
// work for it already.
#include "QuillanExports.h"
#include "SimCall.h"

using quillan::SimCall;

int OrvDeviceGetStreamId(ORV_DEVICE_HANDLE device, uint32_t index, char* id, size_t* size)
{
    (void)index;
    (void)id;
    (void)size;
    SimCall call("OrvDeviceGetStreamId", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceStreamOpen(ORV_DEVICE_HANDLE device, const char* streamId, ORV_STREAM_HANDLE* stream)
{
    (void)streamId;
    (void)stream;
    SimCall call("OrvDeviceStreamOpen", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamAcquisitionStart(ORV_STREAM_HANDLE stream, uint32_t flags, uint64_t imageCount)
{
    (void)flags;
    (void)imageCount;
    SimCall call("OrvStreamAcquisitionStart", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamAcquisitionStop(ORV_STREAM_HANDLE stream, uint32_t flags)
{
    (void)flags;
    SimCall call("OrvStreamAcquisitionStop", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamAnnounceBuffer(ORV_STREAM_HANDLE stream, void* buffer, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle)
{
    (void)buffer;
    (void)size;
    (void)userPointer;
    (void)bufferHandle;
    SimCall call("OrvStreamAnnounceBuffer", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamAllocAndAnnounceBuffer(ORV_STREAM_HANDLE stream, uint32_t size, void* userPointer, ORV_BUFFER_HANDLE* bufferHandle)
{
    (void)size;
    (void)userPointer;
    (void)bufferHandle;
    SimCall call("OrvStreamAllocAndAnnounceBuffer", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamRevokeBuffer(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, void** bufferData, void** userPointer)
{
    (void)bufferHandle;
    (void)bufferData;
    (void)userPointer;
    SimCall call("OrvStreamRevokeBuffer", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamQueueBuffer(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle)
{
    (void)bufferHandle;
    SimCall call("OrvStreamQueueBuffer", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamGetBufferId(ORV_STREAM_HANDLE stream, uint32_t index, ORV_BUFFER_HANDLE* bufferHandle)
{
    (void)index;
    (void)bufferHandle;
    SimCall call("OrvStreamGetBufferId", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamFlushQueue(ORV_STREAM_HANDLE stream, uint32_t operation)
{
    (void)operation;
    SimCall call("OrvStreamFlushQueue", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamWaitForNewBuffer(ORV_STREAM_HANDLE stream, void** userPointer, ORV_BUFFER_HANDLE* bufferHandle, uint32_t timeoutMs)
{
    (void)userPointer;
    (void)bufferHandle;
    (void)timeoutMs;
    SimCall call("OrvStreamWaitForNewBuffer", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamBufferGetInfo(ORV_STREAM_HANDLE stream, ORV_BUFFER_HANDLE bufferHandle, ORV_BUFFER_INFO* info)
{
    (void)bufferHandle;
    (void)info;
    SimCall call("OrvStreamBufferGetInfo", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamClose(ORV_STREAM_HANDLE stream)
{
    SimCall call("OrvStreamClose", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilBuffer12BitTo8Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    (void)source;
    (void)destination;
    (void)destinationSize;
    SimCall call("OrvUtilBuffer12BitTo8Bit", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilBuffer12BitTo16Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    (void)source;
    (void)destination;
    (void)destinationSize;
    SimCall call("OrvUtilBuffer12BitTo16Bit", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilBuffer16BitTo8Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    (void)source;
    (void)destination;
    (void)destinationSize;
    SimCall call("OrvUtilBuffer16BitTo8Bit", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilBufferBayerToRGB(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    (void)source;
    (void)destination;
    (void)destinationSize;
    SimCall call("OrvUtilBufferBayerToRGB", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilBufferBayerToRGB32(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    (void)source;
    (void)destination;
    (void)destinationSize;
    SimCall call("OrvUtilBufferBayerToRGB32", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilSaveImageToPNGFile(const ORV_BUFFER_INFO* image, const char* fileName)
{
    (void)image;
    (void)fileName;
    SimCall call("OrvUtilSaveImageToPNGFile", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventRegister(ORV_MODULE_HANDLE module, int32_t eventType, ORV_EVENT_HANDLE* event)
{
    (void)eventType;
    (void)event;
    SimCall call("OrvEventRegister", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventUnRegister(ORV_MODULE_HANDLE module, int32_t eventType)
{
    (void)eventType;
    SimCall call("OrvEventUnRegister", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventWait(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, void* buffer, size_t* size, uint64_t timeoutMs)
{
    (void)event;
    (void)buffer;
    (void)size;
    (void)timeoutMs;
    SimCall call("OrvEventWait", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventGetInfo(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event, uint32_t command, void* buffer, size_t* size)
{
    (void)event;
    (void)command;
    (void)buffer;
    (void)size;
    SimCall call("OrvEventGetInfo", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventFlush(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event)
{
    (void)event;
    SimCall call("OrvEventFlush", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvEventKill(ORV_MODULE_HANDLE module, ORV_EVENT_HANDLE event)
{
    (void)event;
    SimCall call("OrvEventKill", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvUtilSaveImageToFile(const ORV_BUFFER_INFO* image, const char* fileName, int32_t fileType)
{
    (void)image;
    (void)fileName;
    (void)fileType;
    SimCall call("OrvUtilSaveImageToFile", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvStreamGetInfo(ORV_STREAM_HANDLE stream, ORV_DS_INFO* info)
{
    (void)info;
    SimCall call("OrvStreamGetInfo", stream);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceSaveFile(ORV_MODULE_HANDLE module, const char* localPath, const char* deviceFileName, const char* fileSelectorEntry, void* transfer)
{
    (void)localPath;
    (void)deviceFileName;
    (void)fileSelectorEntry;
    (void)transfer;
    SimCall call("OrvDeviceSaveFile", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceLoadFile(ORV_MODULE_HANDLE module, const char* deviceFileName, const char* localPath, const char* fileSelectorEntry, void* transfer)
{
    (void)deviceFileName;
    (void)localPath;
    (void)fileSelectorEntry;
    (void)transfer;
    SimCall call("OrvDeviceLoadFile", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceDeleteFile(ORV_MODULE_HANDLE module, const char* deviceFileName, const char* fileSelectorEntry)
{
    (void)deviceFileName;
    (void)fileSelectorEntry;
    SimCall call("OrvDeviceDeleteFile", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceRegisterFileAccessCB(ORV_MODULE_HANDLE module, void* context, ORV_FILE_ACCESS_CALLBACK callback)
{
    (void)context;
    (void)callback;
    SimCall call("OrvDeviceRegisterFileAccessCB", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceUnRegisterFileAccessCB(ORV_MODULE_HANDLE module)
{
    SimCall call("OrvDeviceUnRegisterFileAccessCB", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}
