#ifndef ZELCAMERADATASTREAM_H
#define ZELCAMERADATASTREAM_H

#include "OrvSdk.h"
#include "ZelAcqBuffer.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <memory>

class QEventLoop;
class ZelAcqEngine;

// The data stream of one open camera as the camera window drives it: start
// and stop of streaming, live acquisition, snap, automatic saving, and the
// signals that carry images, rates and losses to the GUI thread. GUI thread
// only; owns the stream handle and closes it.
class ZelCameraDataStream : public QObject
{
    Q_OBJECT

public:
    // Time a snap waits for its image.
    static constexpr int snapTimeoutMs = 5000;

    ZelCameraDataStream(ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle, ORV_STREAM_HANDLE streamHandle,
                        QObject* parent = nullptr);
    ~ZelCameraDataStream() override;

    // count: images to acquire, all ones for endless streaming. False when
    // started already or when the engine cannot start.
    bool StartAcquisition(quint64 count);
    void StopAcquisition();
    bool IsStarted() const { return started; }

    // Starts the camera's live acquisition; false when the camera refuses.
    bool AcquisitionStart();
    // One image taken after this call: true when it came within the snap
    // time-out. The stream must be started and the camera's own acquisition
    // stopped. Runs a local event loop; the stream may be deleted meanwhile.
    bool Snap();

    int GetWidth();
    int GetHeight();

    // A camera text as part of a file name: no path separators, no "..".
    static QString SafeFileNamePart(QString text);
    // Model name and device ID, each followed by "_" when not empty.
    static QString AutoSavePrefix(const QString& modelName, const QString& deviceId);

    ZelAcqEngine* Engine() const { return engine; }

signals:
    void imageReady(ZelAcqBufferPtr buffer);
    void frameRateReady(QString fps);
    void dataRateReady(QString kbps);
    void imageLost(QString numImageLost);
    void acquisitionError(int error);
    void imageSaved();

public slots:
    void onEnableAutoSave(bool bEnable, int count);

private slots:
    // Queued from the producer thread by name: a functor posted from there
    // would be freed on whichever thread drops the last reference to it.
    void quitSnap(quint64 snapId);

private:
    struct SnapState;

    void disconnectStreaming();
    quint64 deliveredImages() const;
    // False when the stream stopped or went away meanwhile.
    bool drainStaleImages(quint64 barrier);
    bool snapOnce();

    bool started = false;
    ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle;
    ORV_STREAM_HANDLE streamHandle;
    ZelAcqEngine* engine = nullptr;

    QList<QMetaObject::Connection> m_streamingConnections;
    std::shared_ptr<SnapState> m_snap;
    quint64 m_deliveredBase = 0;
    QEventLoop* m_snapLoop = nullptr;
    bool m_inSnap = false;
};

#endif // ZELCAMERADATASTREAM_H
