#pragma once

#include <atomic>
#include <mutex>
#include <thread>

// Owner of one thread that runs the derived class's Run.
class VelkThreadBase {
public:
    VelkThreadBase() = default;
    VelkThreadBase(const VelkThreadBase&) = delete;
    VelkThreadBase& operator=(const VelkThreadBase&) = delete;
    // A derived class must have ended its Run before this runs.
    virtual ~VelkThreadBase();

    // Starts the thread; false while one runs or when none can be created.
    virtual bool Start();
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }

protected:
    virtual void Run() = 0;
    // Waits until the thread has ended.
    void Join();

    std::mutex m_lock;

private:
    static void ThreadProc(VelkThreadBase* self);

    std::mutex m_handleLock;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};
