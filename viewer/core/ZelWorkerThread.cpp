#include "ZelWorkerThread.h"

#include <algorithm>
#include <chrono>

ZelWorkerThread::ZelWorkerThread(QObject* parent)
    : QThread(parent)
{
}

void ZelWorkerThread::beginRun()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopRequested = false;
    m_runEnded = false;
}

void ZelWorkerThread::requestStop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopRequested = true;
    m_wake.notify_all();
}

void ZelWorkerThread::joinRun()
{
    wait();
    // A thread that never ran has no end to wait for.
    if (!isFinished())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return m_runEnded; });
}

bool ZelWorkerThread::stopRequested() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopRequested;
}

void ZelWorkerThread::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopRequested; });
}

void ZelWorkerThread::pauseUntil(std::chrono::steady_clock::time_point until)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_until(lock, until, [this] { return m_stopRequested; });
}

void ZelWorkerThread::pauseAfterFailure(int failuresInARow)
{
    constexpr int firstMs = 20;
    constexpr int longestMs = 1000;
    pause(std::min(longestMs, firstMs << std::min(std::max(failuresInARow - 1, 0), 6)));
}

void ZelWorkerThread::endRun()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_runEnded = true;
    m_wake.notify_all();
}
