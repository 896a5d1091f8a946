#include "ZelAcqEngine.h"

#include "ZelAcqBuffer.h"
#include "ZelAcqBufferManager.h"
#include "ZelAcqThreadConsumer.h"
#include "ZelAcqThreadProducer.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QVariant>

namespace {

const char* const waitName = "ZelAcqEngine::WaitForNewImage";

} // namespace

ZelAcqEngine::ZelAcqEngine(ORV_REMOTE_DEVICE_HANDLE remoteDeviceHandle, ORV_STREAM_HANDLE streamHandle,
                           QObject* parent)
    : QObject(parent)
    , streamHandle(streamHandle)
    , remoteDeviceHandle(remoteDeviceHandle)
{
    bufferManager = new ZelAcqBufferManager(streamHandle);
    producer = new ZelAcqThreadProducer(this, bufferManager);
    consumer = new ZelAcqThreadConsumer(this, bufferManager);
    if (OrvFeatureGetByName(streamHandle, "StreamLostFrameCount", &lostFrameCountFeature) != 0)
        lostFrameCountFeature = 0;
    if (OrvFeatureGetByName(streamHandle, "FrameLoss", &frameLossFeature) != 0)
        frameLossFeature = 0;
}

ZelAcqEngine::~ZelAcqEngine()
{
    Stop();
    // Threads first: they use the buffer manager until they end.
    delete consumer;
    delete producer;
    delete bufferManager;
}

void ZelAcqEngine::setParamsLocked(int locked)
{
    ZelUtil::SetFeatureValue(remoteDeviceHandle, "TLParamsLocked", QVariant(qint64(locked)), false);
    ZelUtil::SetFeatureValue(streamHandle, "TLParamsLocked", QVariant(qint64(locked)), false);
}

uint32_t ZelAcqEngine::findPayloadSize()
{
    ORV_DS_INFO info{};
    if (OrvStreamGetInfo(streamHandle, &info) == 0 && info.payloadSizeValid != 0 && info.payloadSize != 0)
        return info.payloadSize;
    QVariant value;
    qint64 size = 0;
    if (ZelUtil::GetFeatureValue(streamHandle, "PayloadSize", value, false, false))
        size = value.toLongLong();
    if (size <= 0) {
        value = QVariant();
        size = ZelUtil::GetFeatureValue(remoteDeviceHandle, "PayloadSize", value, false, false) ? value.toLongLong()
                                                                                             : 0;
    }
    // A buffer holds at most 4 GiB - 1.
    return size > 0 && size <= 0xFFFFFFFFll ? uint32_t(size) : 0;
}

bool ZelAcqEngine::expectedImage(ORV_BUFFER_INFO& image)
{
    QVariant width, height, format;
    if (!ZelUtil::GetFeatureValue(remoteDeviceHandle, "Width", width, false, false) ||
        !ZelUtil::GetFeatureValue(remoteDeviceHandle, "Height", height, false, false) ||
        !ZelUtil::GetFeatureValue(remoteDeviceHandle, "PixelFormat", format, false, false))
        return false;
    const qint64 w = width.toLongLong();
    const qint64 h = height.toLongLong();
    const quint64 f = format.toULongLong();
    if (w <= 0 || h <= 0 || w > 0xFFFFFFFFll || h > 0xFFFFFFFFll || f == 0)
        return false;
    image = ORV_BUFFER_INFO{};
    image.width = uint32_t(w);
    image.height = uint32_t(h);
    image.pixelType = ZelUtil::GetStreamPixelFormat(uint32_t(f), uint32_t(f >> 32));
    return true;
}

bool ZelAcqEngine::Start(quint64 imageCount)
{
    if (started)
        return false;
    setParamsLocked(1);

    bool prepared = false;
    const uint32_t payloadSize = findPayloadSize();
    if (payloadSize != 0) {
        bufferManager->RevokeAll();
        if (!bufferManager->Announce(BufferCount, payloadSize)) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Announce Buffer Failed!", "ZelAcqEngine::_prepareAcquisition");
        } else if (bufferManager->QueueAll() == 0) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! No buffer queued!", "ZelAcqEngine::_prepareAcquisition");
        } else {
            prepared = true;
        }
    }
    if (!prepared) {
        setParamsLocked(0);
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! _prepareAcquisition", "ZelAcqEngine::Start");
        return false;
    }
    bufferManager->ClearReady();

    // A first write to a display buffer costs page faults that would hold up
    // the first images; they are paid before the camera sends.
    ORV_BUFFER_INFO expected;
    if (expectedImage(expected))
        consumer->PrepareDisplayBuffers(expected);
    consumer->start(QThread::HighestPriority);
    producer->start(imageCount, QThread::HighestPriority);
    const int rc = OrvStreamAcquisitionStart(streamHandle, 0, imageCount);
    if (rc == 0) {
        started = true;
        return true;
    }
    ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvStreamAcquisitionStart:%d", "ZelAcqEngine::_startAcquisitionLocal", rc);
    setParamsLocked(0);
    OrvStreamAcquisitionStop(streamHandle, 0);
    consumer->requestStop();
    producer->requestStop();
    consumer->waitForEnd();
    producer->waitForEnd();
    bufferManager->FlushQueue();
    return false;
}

void ZelAcqEngine::Stop()
{
    if (!started)
        return;
    ExecuteAcquisitionCommand(false);
    producer->requestStop();
    consumer->requestStop();
    OrvStreamAcquisitionStop(streamHandle, 0);
    setParamsLocked(0);
    producer->waitForEnd();
    consumer->waitForEnd();
    bufferManager->FlushQueue();
    started = false;
}

bool ZelAcqEngine::ExecuteAcquisitionCommand(bool start)
{
    ZelUtil::SetFeatureValue(remoteDeviceHandle, start ? "AcquisitionStart" : "AcquisitionStop", QVariant(qint64(1)),
                             false);
    return true;
}

void ZelAcqEngine::Pause()
{
    producer->pauseAfterNextImage();
}

void ZelAcqEngine::Continue()
{
    producer->continueAfterPause();
}

int ZelAcqEngine::WaitForNewImage(ZelAcqBuffer*& out, uint32_t timeoutMs)
{
    void* privatePointer = nullptr;
    ORV_BUFFER_HANDLE handle = 0;
    const int rc = OrvStreamWaitForNewBuffer(streamHandle, &privatePointer, &handle, timeoutMs);
    if (rc == ORV_ERROR_TIMEOUT) {
        ZelTrace(ZEL_TRACE_INFO, "%s OrvStreamWaitForNewBuffer Timeout!", waitName);
        return ORV_ERROR_TIMEOUT;
    }
    if (rc != 0 || handle == 0 || !privatePointer) {
        ZelTrace(ZEL_TRACE_INFO, "%s OrvStreamWaitForNewBuffer Error:%d!", waitName, rc);
        return ORV_ERROR_LIBRARY_MISSING;
    }
    ZelAcqBuffer* buffer = static_cast<ZelAcqBuffer*>(privatePointer);
    ORV_BUFFER_INFO info{};
    if (OrvStreamBufferGetInfo(streamHandle, handle, &info) == 0) {
        buffer->SetInfo(info);
    } else {
        ZelTrace(ZEL_TRACE_INFO, "%s OrvStreamBufferGetInfo Failed!", waitName);
        // The last image's record would pass this one off as new.
        buffer->ClearInfo();
    }
    out = buffer;
    return 0;
}

int ZelAcqEngine::readStreamFeature(ORV_FEATURE_HANDLE feature, qint64& value)
{
    if (feature == 0)
        return ORV_ERROR_FUNCTION_MISSING;
    int64_t number = 0;
    const int rc = OrvFeatureGetValueInt64(streamHandle, feature, &number, false, false);
    if (rc == 0)
        value = number;
    return rc;
}

int ZelAcqEngine::getFrameLoss(qint64& value)
{
    return readStreamFeature(frameLossFeature, value);
}

int ZelAcqEngine::getStreamLostFrameCount(qint64& value)
{
    return readStreamFeature(lostFrameCountFeature, value);
}
