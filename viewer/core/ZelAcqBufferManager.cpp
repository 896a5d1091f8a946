#include "ZelAcqBufferManager.h"

#include "ZelAcqBuffer.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"

ZelAcqBufferManager::ZelAcqBufferManager(ORV_STREAM_HANDLE streamHandle, QObject* parent)
    : QObject(parent)
    , streamHandle(streamHandle)
{
}

ZelAcqBufferManager::~ZelAcqBufferManager()
{
    RevokeAll();
    qDeleteAll(orphaned);
}

bool ZelAcqBufferManager::Announce(int count, uint32_t payloadSize)
{
    for (int i = 0; i < count; ++i) {
        ZelAcqBuffer* buffer = new ZelAcqBuffer();
        ORV_BUFFER_HANDLE handle = 0;
        const int rc = OrvStreamAllocAndAnnounceBuffer(streamHandle, payloadSize, buffer, &handle);
        if (rc != 0) {
            delete buffer;
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvStreamAnnounceBuffer[%d]: %d", "ZelAcqBufferManager::Announce", i,
                     rc);
            continue;
        }
        buffer->SetHandle(handle);
        buffers.append(buffer);
    }
    if (buffers.size() == count)
        return true;
    RevokeAll();
    return false;
}

bool ZelAcqBufferManager::queueBuffer(ZelAcqBuffer* buffer, const char* caller)
{
    const int rc = OrvStreamQueueBuffer(streamHandle, buffer->GetHandle());
    if (rc != 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvStreamQueueBuffer:%d", caller, rc);
        return false;
    }
    return true;
}

bool ZelAcqBufferManager::Queue(ZelAcqBuffer* buffer)
{
    if (!buffer) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid Paramater!", "ZelAcqBufferManager::Queue");
        return false;
    }
    return queueBuffer(buffer, "ZelAcqBufferManager::Queue");
}

int ZelAcqBufferManager::QueueAll()
{
    int queued = 0;
    for (ZelAcqBuffer* buffer : qAsConst(buffers))
        queued += queueBuffer(buffer, "ZelAcqBufferManager::QueueAll") ? 1 : 0;
    return queued;
}

void ZelAcqBufferManager::RevokeAll()
{
    for (ZelAcqBuffer* buffer : qAsConst(buffers)) {
        void* privatePointer = nullptr;
        const int rc = OrvStreamRevokeBuffer(streamHandle, buffer->GetHandle(), nullptr, &privatePointer);
        if (rc != 0) {
            // The SDK may still hand it back until the stream goes.
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvStreamRevokeBuffer:%d", "ZelAcqBufferManager::RevokeAll", rc);
            orphaned.append(buffer);
            continue;
        }
        delete buffer;
    }
    inUse = nullptr;
    buffers.clear();
    ClearReady();
}

int ZelAcqBufferManager::FlushQueue()
{
    OrvStreamFlushQueue(streamHandle, 0);
    return OrvStreamFlushQueue(streamHandle, 1);
}

void ZelAcqBufferManager::ClearReady()
{
    std::lock_guard<std::mutex> lock(mutex);
    readyList.clear();
}

void ZelAcqBufferManager::PushReady(ZelAcqBuffer* buffer)
{
    std::lock_guard<std::mutex> lock(mutex);
    readyList.append(buffer);
    readyCondition.notify_one();
}

bool ZelAcqBufferManager::TryPushReady(ZelAcqBuffer* buffer, int max)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (readyList.size() >= max)
            return false;
        readyList.append(buffer);
    }
    readyCondition.notify_one();
    return true;
}

ZelAcqBuffer* ZelAcqBufferManager::WaitForReady()
{
    std::unique_lock<std::mutex> lock(mutex);
    readyCondition.wait(lock, [this] { return !readyList.isEmpty(); });
    return readyList.takeFirst();
}

void ZelAcqBufferManager::SetInUse(ZelAcqBuffer* buffer)
{
    if (!buffer) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid Paramater!", "ZelAcqBufferManager::SetInUse");
        return;
    }
    if (inUse && inUse != buffer)
        queueBuffer(inUse, "ZelAcqBufferManager::Queue");
    inUse = buffer;
}
