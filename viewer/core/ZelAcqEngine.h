#ifndef ZELACQENGINE_H
#define ZELACQENGINE_H

#include "OrvSdk.h"

#include <QObject>

class ZelAcqBuffer;
class ZelAcqBufferManager;
class ZelAcqThreadConsumer;
class ZelAcqThreadProducer;

// Streaming of one data stream: buffers, the producer, consumer and
// auto-save threads, and the SDK's stream start and stop. Lives on the GUI
// thread, whose event loop delivers the consumer's imageReady.
class ZelAcqEngine : public QObject
{
    Q_OBJECT

public:
    ZelAcqEngine(ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle, ORV_STREAM_HANDLE streamHandle,
                 QObject* parent = nullptr);
    ~ZelAcqEngine() override;

    // imageCount: all ones for endless streaming.
    bool Start(quint64 imageCount);
    void Stop();
    bool IsStarted() const { return started; }

    // Executes "AcquisitionStart" or "AcquisitionStop" on the camera.
    bool ExecuteAcquisitionCommand(bool start);
    // Snap: pause the producer after its next image; release it again.
    void Pause();
    void Continue();

    // Producer thread: the next filled buffer. 0, -1011 (time-out) or -1001.
    int WaitForNewImage(ZelAcqBuffer*& out, uint32_t timeoutMs);
    // The stream's "FrameLoss" and "StreamLostFrameCount"; -1003 when the
    // stream has no such feature.
    int getFrameLoss(qint64& value);
    int getStreamLostFrameCount(qint64& value);

    ZelAcqThreadProducer* Producer() const { return producer; }
    ZelAcqThreadConsumer* Consumer() const { return consumer; }
    ZelAcqBufferManager* BufferManager() const { return bufferManager; }

    static constexpr int BufferCount = 5;

private:
    uint32_t findPayloadSize();
    // The size and pixel format the camera's next images will have, as its
    // features say; false when it does not say.
    bool expectedImage(ORV_BUFFER_INFO& image);
    void setParamsLocked(int locked);
    int readStreamFeature(ORV_FEATURE_HANDLE feature, qint64& value);

    bool started = false;
    ORV_STREAM_HANDLE streamHandle;
    ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle;
    ZelAcqThreadProducer* producer = nullptr;
    ZelAcqThreadConsumer* consumer = nullptr;
    ZelAcqBufferManager* bufferManager = nullptr;
    ORV_FEATURE_HANDLE lostFrameCountFeature = 0;
    ORV_FEATURE_HANDLE frameLossFeature = 0;
};

#endif // ZELACQENGINE_H
