#include "VelkThreadBase.h"

#include <system_error>

VelkThreadBase::~VelkThreadBase()
{
    Join();
}

bool VelkThreadBase::Start()
{
    std::lock_guard<std::mutex> guard(m_handleLock);
    if (m_running.load(std::memory_order_acquire))
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_running.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&VelkThreadBase::ThreadProc, this);
    } catch (const std::system_error&) {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void VelkThreadBase::Join()
{
    std::lock_guard<std::mutex> guard(m_handleLock);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void VelkThreadBase::ThreadProc(VelkThreadBase* self)
{
    self->Run();
    self->m_running.store(false, std::memory_order_release);
}
