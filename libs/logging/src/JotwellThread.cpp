#include "JotwellThread.h"

#include "JotwellLine.h"

#include <unistd.h>

JotwellThread::~JotwellThread()
{
    Stop();
}

bool JotwellThread::Start()
{
    if (IsRunning())
        return false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queue.clear();
        m_queuedBytes = 0;
        m_dropped = 0;
        m_written = m_enqueued;
        m_dataEvent = false;
        m_stopEvent = false;
    }
    return VelkThreadBase::Start();
}

void JotwellThread::Enqueue(std::string line)
{
    bool wake;
    std::string dropped;  // freed after the lock is let go
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queuedBytes += line.size();
        ++m_enqueued;
        m_queue.push_back(std::move(line));
        while (m_queue.size() > 1
               && (m_queue.size() > kMaxQueuedLines || m_queuedBytes > kMaxQueuedBytes)) {
            m_queuedBytes -= m_queue.front().size();
            dropped = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_dropped;
        }
        // The writer needs a signal only when none is pending.
        wake = sinkOn() && !m_dataEvent;
        if (wake)
            m_dataEvent = true;
    }
    if (wake)
        m_wake.notify_one();
}

void JotwellThread::SetDebugger(bool on)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_debugger = on;
    wakeIfPending();
}

void JotwellThread::SetFile(std::shared_ptr<JotwellFile> file)
{
    // The previous file is let go outside the lock; the writer may still
    // hold it for the lines it is writing.
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_file.swap(file);
        wakeIfPending();
    }
}

void JotwellThread::Flush()
{
    std::unique_lock<std::mutex> guard(m_lock);
    const std::uint64_t target = m_enqueued;
    m_flushed.wait(guard, [this, target] {
        return m_written >= target || !sinkOn() || m_stopEvent || !IsRunning();
    });
}

void JotwellThread::wakeIfPending()
{
    if (sinkOn() && !m_queue.empty()) {
        m_dataEvent = true;
        m_wake.notify_one();
    }
}

void JotwellThread::Stop()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopEvent = true;
    }
    m_wake.notify_one();
    m_flushed.notify_all();
    Join();
}

void JotwellThread::Run()
{
    std::deque<std::string> batch;
    std::string out;
    for (;;) {
        bool stopping;
        bool debugger;
        std::shared_ptr<JotwellFile> file;
        std::uint64_t dropped = 0;
        std::uint64_t taken = 0;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_stopEvent || m_dataEvent; });
            stopping = m_stopEvent;
            m_stopEvent = false;
            m_dataEvent = false;
            debugger = m_debugger;
            file = m_file;
            // Without a sink the lines stay queued for a later one.
            if (debugger || file) {
                batch.swap(m_queue);
                m_queuedBytes = 0;
                dropped = m_dropped;
                m_dropped = 0;
                taken = m_enqueued;
            }
        }

        out.clear();
        if (dropped > 0) {
            char notice[128];
            const std::size_t n = formatLogLineF(notice, sizeof notice, "Jotwell", 0x4,
                                                 "%llu lines dropped: the queue was full",
                                                 static_cast<unsigned long long>(dropped));
            out.append(notice, n);
        }
        for (const std::string& line : batch)
            out += line;
        batch.clear();
        if (!out.empty()) {
            if (debugger)
                jotwellWriteAll(STDERR_FILENO, out.data(), out.size());
            if (file)
                file->Append(out.data(), out.size());
        }
        file.reset();
        if (taken > 0) {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_written = taken;
            }
            m_flushed.notify_all();
        }
        if (out.capacity() > (1u << 20))
            std::string().swap(out);

        if (stopping)
            return;
    }
}
