#include "ZelEventThread.h"

#include "ZelSdkLoader.h"
#include "ZelSdkMetaTypes.h"
#include "ZelTrace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t waitForeverMs = 0xFFFFFFFFull;

template <typename Record>
QVariant recordValue(const void* data, size_t size)
{
    Record record;
    std::memset(&record, 0, sizeof record);
    if (data)
        std::memcpy(&record, data, std::min(size, sizeof record));
    return QVariant::fromValue(record);
}

} // namespace

ZelEventThread::ZelEventThread(QObject* parent)
    : ZelWorkerThread(parent)
{
}

ZelEventThread::~ZelEventThread()
{
    if (isRunning()) {
        requestStop();
        // The SDK keeps a kill that finds no wait for the next one, so the
        // thread cannot miss it between its flag check and its wait.
        OrvEventFlush(moduleHandle, eventHandle);
        OrvEventKill(moduleHandle, eventHandle);
        joinRun();
    }
}

bool ZelEventThread::start(ORV_MODULE_HANDLE hModule, ORV_EVENT_HANDLE hEvent, int type, QThread::Priority priority)
{
    if (isRunning())
        return false;
    beginRun();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        moduleHandle = hModule;
        eventHandle = hEvent;
        eventType = type;
    }
    QThread::start(priority);
    return isRunning();
}

size_t ZelEventThread::payloadSize(int type)
{
    switch (type) {
    case ORV_EVENT_TYPE_REMOTE_DEVICE:
        return sizeof(ORV_EVENT_REMOTE_DEVICE_DATA);
    case ORV_EVENT_TYPE_DEVICE_CONNECTION:
        return sizeof(ORV_EVENT_DEVICE_CONNECTION_DATA);
    case ORV_EVENT_TYPE_DS_ACQUISITION:
        return sizeof(ORV_EVENT_DS_ACQUISITION_DATA);
    default:
        return 0;
    }
}

QVariant ZelEventThread::payloadValue(int type, const void* data, size_t size)
{
    switch (type) {
    case ORV_EVENT_TYPE_REMOTE_DEVICE:
        return recordValue<ORV_EVENT_REMOTE_DEVICE_DATA>(data, size);
    case ORV_EVENT_TYPE_DEVICE_CONNECTION:
        return recordValue<ORV_EVENT_DEVICE_CONNECTION_DATA>(data, size);
    case ORV_EVENT_TYPE_DS_ACQUISITION:
        return recordValue<ORV_EVENT_DS_ACQUISITION_DATA>(data, size);
    default:
        return QVariant();
    }
}

void ZelEventThread::run()
{
    static const char* const fn = "ZelEventThread::run";
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", fn);
    ORV_MODULE_HANDLE hModule;
    ORV_EVENT_HANDLE hEvent;
    int type;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hModule = moduleHandle;
        hEvent = eventHandle;
        type = eventType;
    }
    const size_t capacity = payloadSize(type);
    std::vector<unsigned char> buffer(capacity);
    int failuresInARow = 0;
    while (!stopRequested()) {
        size_t size = capacity;
        const int rc = OrvEventWait(hModule, hEvent, capacity ? buffer.data() : nullptr, &size, waitForeverMs);
        if (rc == ORV_ERROR_ABORTED)
            break;
        if (rc == ORV_SUCCESS) {
            failuresInARow = 0;
            emit triggered(type, payloadValue(type, buffer.data(), std::min(size, capacity)));
            continue;
        }
        if (rc == ORV_ERROR_TIMEOUT)
            ZelTrace(ZEL_TRACE_INFO, "%s Failed! OrvEventWait type:%d timeout!", fn, type);
        else
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvEventWait type:%d error:%d", fn, type, rc);

        // A wait that keeps failing must not spin.
        pauseAfterFailure(++failuresInARow);
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", fn);
    endRun();
}
