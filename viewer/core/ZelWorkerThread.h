#ifndef ZELWORKERTHREAD_H
#define ZELWORKERTHREAD_H

#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

// Base of the viewer's worker threads that are told to stop: a stop flag,
// a pause that a stop ends at once, and an end of run that the owner waits
// for. The owner's waits synchronise through the standard library, so that
// everything the thread did is visible to the owner afterwards.
class ZelWorkerThread : public QThread
{
    Q_OBJECT

public:
    explicit ZelWorkerThread(QObject* parent = nullptr);

protected:
    // Owner's side. Call beginRun before start.
    void beginRun();
    void requestStop();
    // Waits for run to end, however long the SDK call in progress takes;
    // the thread is never terminated.
    void joinRun();

    // Thread's side.
    bool stopRequested() const;
    // Sleeps up to ms, or until the time given; ends early on a stop request.
    void pause(int ms);
    void pauseUntil(std::chrono::steady_clock::time_point until);
    // Sleeps after a call that failed at once, so that a call that keeps
    // failing is not repeated in a tight loop: 20 ms after the first failure
    // in a row, doubling up to 1 s; ends early on a stop request.
    void pauseAfterFailure(int failuresInARow);
    // The last call of run.
    void endRun();

    mutable std::mutex m_mutex;

private:
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    bool m_runEnded = true;
};

#endif // ZELWORKERTHREAD_H
