#ifndef ZELDISCOVERYTHREAD_H
#define ZELDISCOVERYTHREAD_H

#include "ZelCameraInfo.h"
#include "ZelWorkerThread.h"

#include <climits>

class ZelCameraManager;

// Lists the interfaces and devices of one camera manager's system, round
// after round, and reports the whole camera list after every round. Rounds
// are separated by a pause that a stop request ends at once.
class ZelDiscoveryThread : public ZelWorkerThread
{
    Q_OBJECT

public:
    static constexpr int pauseMs = 700;

    explicit ZelDiscoveryThread(ZelCameraManager* manager, QObject* parent = nullptr);
    ~ZelDiscoveryThread() override;

    // Does nothing while the thread runs.
    void Start(int timeoutMs, QThread::Priority priority);

    // Asks the thread to end and waits for it: the SDK call in progress is
    // let finish, and a stop is seen between interfaces and in the pause.
    // The thread is never terminated, whatever the wait limit.
    void Stop(unsigned long waitMs = ULONG_MAX);

signals:
    void cameraDiscovered(ZelCameraInfoList discoveredCameraInfoList);

protected:
    void run() override;

private:
    int m_timeoutMs = 0;
    ZelCameraManager* m_manager;
};

#endif // ZELDISCOVERYTHREAD_H
