#ifndef ZELEVENTTHREAD_H
#define ZELEVENTTHREAD_H

#include "OrvSdk.h"

#include "ZelWorkerThread.h"

#include <QVariant>

#include <cstddef>

// Waits in the SDK for events of one registered type and emits each
// payload. Its destructor ends the wait and waits for the thread.
class ZelEventThread : public ZelWorkerThread
{
    Q_OBJECT

public:
    explicit ZelEventThread(QObject* parent = nullptr);
    ~ZelEventThread() override;

    // False while the thread runs.
    bool start(ORV_MODULE_HANDLE hModule, ORV_EVENT_HANDLE hEvent, int eventType, QThread::Priority priority);

    // Payload size of an event type: 546, 260 or 32 bytes, 0 for others.
    static size_t payloadSize(int eventType);
    // The payload as a value of the type's record; empty for other types.
    // Missing bytes are zero, surplus bytes ignored.
    static QVariant payloadValue(int eventType, const void* data, size_t size);

signals:
    void triggered(int eventType, QVariant info);

protected:
    void run() override;

private:
    ORV_MODULE_HANDLE moduleHandle = 0;
    ORV_EVENT_HANDLE eventHandle = 0;
    int eventType = 0;
};

#endif // ZELEVENTTHREAD_H
