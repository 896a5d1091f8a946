#ifndef ZELACQBUFFERMANAGER_H
#define ZELACQBUFFERMANAGER_H

#include "OrvSdk.h"

#include <QList>
#include <QObject>

#include <condition_variable>
#include <mutex>

class ZelAcqBuffer;

// The stream buffers of one data stream and the hand-off list between the
// producer and the consumer thread, which holds at most one waiting image.
class ZelAcqBufferManager : public QObject
{
    Q_OBJECT

public:
    explicit ZelAcqBufferManager(ORV_STREAM_HANDLE streamHandle, QObject* parent = nullptr);
    ~ZelAcqBufferManager() override;

    // Announces count buffers of payloadSize bytes; on any failure revokes
    // those announced and returns false.
    bool Announce(int count, uint32_t payloadSize);
    bool Queue(ZelAcqBuffer* buffer);
    // Queues every buffer; returns how many the stream took.
    int QueueAll();
    void RevokeAll();
    int FlushQueue();
    int BufferCount() const { return buffers.size(); }

    void ClearReady();
    // Appends, null included (the stop request), and wakes one waiter.
    void PushReady(ZelAcqBuffer* buffer);
    // Appends only while fewer than max entries wait.
    bool TryPushReady(ZelAcqBuffer* buffer, int max);
    // Blocks until an entry waits and takes it (null for a stop request).
    ZelAcqBuffer* WaitForReady();

    // The buffer shown last stays out of the stream; the one shown before
    // goes back. Consumer thread while streaming.
    void SetInUse(ZelAcqBuffer* buffer);

private:
    bool queueBuffer(ZelAcqBuffer* buffer, const char* caller);

    ORV_STREAM_HANDLE streamHandle;
    QList<ZelAcqBuffer*> buffers;
    QList<ZelAcqBuffer*> readyList;
    // Buffers the SDK refused to revoke (a lost device, a stream still
    // running); freed with the manager, when no wait can return them.
    QList<ZelAcqBuffer*> orphaned;
    std::mutex mutex;
    std::condition_variable readyCondition;
    ZelAcqBuffer* inUse = nullptr;
};

#endif // ZELACQBUFFERMANAGER_H
