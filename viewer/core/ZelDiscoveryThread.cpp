#include "ZelDiscoveryThread.h"

#include "ZelCameraManager.h"
#include "ZelTrace.h"

ZelDiscoveryThread::ZelDiscoveryThread(ZelCameraManager* manager, QObject* parent)
    : ZelWorkerThread(parent)
    , m_manager(manager)
{
}

ZelDiscoveryThread::~ZelDiscoveryThread()
{
    Stop();
}

void ZelDiscoveryThread::Start(int timeoutMs, QThread::Priority priority)
{
    if (isRunning())
        return;
    beginRun();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_timeoutMs = timeoutMs;
    }
    start(priority);
}

void ZelDiscoveryThread::Stop(unsigned long waitMs)
{
    if (!isRunning())
        return;
    requestStop();
    if (!wait(waitMs))
        ZelTrace(ZEL_TRACE_INFO, "%s waiting for the running scan", "ZelDiscoveryThread::Stop");
    joinRun();
}

void ZelDiscoveryThread::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", "ZelDiscoveryThread::run");
    int timeoutMs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        timeoutMs = m_timeoutMs;
    }
    while (!stopRequested()) {
        ZelInterfaceInfoList interfaces;
        m_manager->DiscoverInterfaces(&interfaces, timeoutMs);

        // A round cut short by a stop is not reported: its list is partial.
        ZelCameraInfoList cameras;
        bool complete = true;
        for (ORV_INTERFACE_INFO& info : interfaces) {
            if (stopRequested()) {
                complete = false;
                break;
            }
            m_manager->DiscoverCameras(&info, &cameras, timeoutMs);
        }
        if (!complete || stopRequested())
            break;
        emit cameraDiscovered(cameras);
        pause(pauseMs);
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", "ZelDiscoveryThread::run");
    endRun();
}
