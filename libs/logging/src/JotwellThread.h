#pragma once

#include "JotwellFile.h"
#include "VelkThreadBase.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// The single writer: takes queued lines and writes them to standard error
// and the log file, outside any lock.
class JotwellThread : public VelkThreadBase {
public:
    // Bounds of the queue; beyond them the oldest lines are dropped.
    static constexpr std::size_t kMaxQueuedLines = 65536;
    static constexpr std::size_t kMaxQueuedBytes = 16u << 20;

    JotwellThread() = default;
    ~JotwellThread() override;

    // Refused while the thread runs; clears the queue, then starts.
    bool Start() override;
    void Enqueue(std::string line);
    void SetDebugger(bool on);
    void SetFile(std::shared_ptr<JotwellFile> file);
    // Waits until the lines queued so far are written, when a sink is on to
    // take them; a sink switch then leaves earlier lines with the old sinks.
    void Flush();
    // Ends the thread after it has written every queued line to the sinks
    // that are on.
    void Stop();

protected:
    void Run() override;

private:
    bool sinkOn() const { return m_debugger || m_file; }
    void wakeIfPending();

    std::condition_variable m_wake;
    std::condition_variable m_flushed;
    bool m_debugger = true;
    std::shared_ptr<JotwellFile> m_file;
    bool m_stopEvent = false;
    bool m_dataEvent = false;
    std::deque<std::string> m_queue;
    std::size_t m_queuedBytes = 0;
    std::uint64_t m_dropped = 0;
    // Lines queued since the start, and how many of them the writer is done with.
    std::uint64_t m_enqueued = 0;
    std::uint64_t m_written = 0;
};
