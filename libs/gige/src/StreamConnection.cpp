#include "StreamingChannel.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cinttypes>
#include <list>

using namespace pellago;

namespace {

struct StreamConnection {
    ~StreamConnection()
    {
        channel.reset();
        if (socket >= 0)
            ::close(socket);
    }

    uintptr_t handle = 0;
    CameraPtr camera;
    sockaddr_in bound{};
    int socket = -1;
    std::unique_ptr<StreamingChannel> channel;
    OrvGigETL_StreamCallback callback = nullptr;
    void* context = nullptr;
};

using StreamPtr = std::shared_ptr<StreamConnection>;

struct StreamList {
    std::list<StreamPtr> streams;
    uintptr_t nextHandle = 1;
};

StreamList& streamList()
{
    static StreamList* instance = new StreamList;
    return *instance;
}

StreamPtr findStream(const void* handle)
{
    std::lock_guard<std::recursive_mutex> hold(listLock());
    for (const StreamPtr& s : streamList().streams) {
        if (s->handle == reinterpret_cast<uintptr_t>(handle))
            return s;
    }
    return nullptr;
}

// Unlinks the stream and stops its channel; the record, channel and socket
// go with the last user.
void closeStreamRecord(const StreamPtr& stream)
{
    if (stream->channel->onReceiveThread()) {
        // From inside the stream's own callback the thread cannot wait for
        // itself: it ends after this signal, and the next close frees all.
        stream->channel->requestStop();
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> hold(listLock());
        streamList().streams.remove(stream);
    }
    stream->channel->close();
    if (findCamera(reinterpret_cast<void*>(stream->camera->handle)))
        writeCameraLog(4, stream->camera.get(), "--> closeStream [%" PRIXPTR "]", stream->handle);
}

int32_t statusOfFailedOpen(uint32_t status)
{
    switch (status) {
    case gigefilter::kStatusEnd:
        return OrvGigETL_STREAMING_CHANNEL_VERSION_MISMATCH;
    case gigefilter::kStatusAlignment:
        return OrvGigETL_DLL_ALIGNMENT_PROBLEM;
    case gigefilter::kStatusCreationFailed:
        return OrvGigETL_CHANNEL_CREATION_FAILED;
    case gigefilter::kStatusBufferAllocation:
        return OrvGigETL_FRAME_BUFFER_ALLOCATION_FAILED;
    default:
        return OrvGigETL_OPENING_STREAMING_CHANNEL_FAILED;
    }
}

int32_t addUnicastStream(void* cameraHandle, void** streamOut, const uint32_t* hostIpIn, uint16_t* portInOut,
                         uint32_t sourceIp, int32_t bufferSize, int32_t bufferCount, int32_t packetSize,
                         int32_t driverParameter, OrvGigETL_StreamCallback callback, void* context)
{
    CameraPtr camera = findCamera(cameraHandle);
    if (!camera)
        return OrvGigETL_CAMERA_NOT_FOUND;
    if (!streamOut || !hostIpIn || !portInOut || bufferSize <= 0 || bufferCount <= 0)
        return OrvGigETL_INVALID_PARAMETER;
    const uint32_t hostIp = *hostIpIn;

    auto stream = std::make_shared<StreamConnection>();
    stream->camera = camera;
    stream->callback = callback;
    stream->context = context;
    stream->socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (stream->socket < 0
        || ::bind(stream->socket, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
        return OrvGigETL_STREAMING_CHANNEL_NOT_AVAILABLE;
    socklen_t length = sizeof stream->bound;
    if (::getsockname(stream->socket, reinterpret_cast<sockaddr*>(&stream->bound), &length) != 0)
        return OrvGigETL_NO_STREAMING_PORT_FOUND;

    stream->channel = std::make_unique<StreamingChannel>(bufferSize, packetSize - 36, bufferCount);
    {
        std::lock_guard<std::recursive_mutex> hold(listLock());
        stream->handle = streamList().nextHandle++;
    }
    *streamOut = reinterpret_cast<void*>(stream->handle);
    const uint16_t port = ntohs(stream->bound.sin_port);
    *portInOut = port;
    camera->localIp = hostIp;
    if (sourceIp == 0)
        sourceIp = camera->cameraIp;

    const StreamingChannel::OpenArguments arguments = {port, camera->cameraIp, camera->cameraPort, sourceIp,
                                                       hostIp, camera->localPort, driverParameter, callback,
                                                       context, camera};
    if (!stream->channel->open(arguments)) {
        if (stream->channel->status() != gigefilter::kStatusPending)
            return statusOfFailedOpen(stream->channel->status());
        std::vector<StreamPtr> older;
        {
            std::lock_guard<std::recursive_mutex> hold(listLock());
            for (const StreamPtr& s : streamList().streams) {
                if (s->channel->sourceIp() == sourceIp)
                    older.push_back(s);
            }
        }
        for (const StreamPtr& s : older)
            closeStreamRecord(s);
        if (!stream->channel->open(arguments))
            return OrvGigETL_PENDING_CHANNEL_DETECTED;
    }

    {
        std::lock_guard<std::recursive_mutex> hold(listLock());
        streamList().streams.push_front(stream);
    }
    writeCameraLog(4, camera.get(), "--> addStream [%" PRIXPTR "] callback: [%" PRIXPTR "]  context: [%" PRIXPTR "]",
                   stream->handle, reinterpret_cast<uintptr_t>(callback), reinterpret_cast<uintptr_t>(context));
    return OrvGigETL_OK;
}

}  // namespace

extern "C" {

PELLAGO_API OrvGigETL_STATUS addStream(void* camera, void** stream, const uint32_t* hostIp, uint16_t* port,
                                       int32_t bufferSize, int32_t bufferCount, int32_t packetSize,
                                       int32_t driverParameter, OrvGigETL_StreamCallback callback, void* context)
{
    return addUnicastStream(camera, stream, hostIp, port, 0, bufferSize, bufferCount, packetSize, driverParameter,
                            callback, context);
}

PELLAGO_API OrvGigETL_STATUS addStreamFromIP(void* camera, void** stream, const uint32_t* hostIp, uint16_t* port,
                                             uint32_t sourceIp, int32_t bufferSize, int32_t bufferCount,
                                             int32_t packetSize, int32_t driverParameter,
                                             OrvGigETL_StreamCallback callback, void* context)
{
    return addUnicastStream(camera, stream, hostIp, port, sourceIp, bufferSize, bufferCount, packetSize,
                            driverParameter, callback, context);
}

PELLAGO_API OrvGigETL_STATUS enableStream(void* handle, bool enable)
{
    if (StreamPtr stream = findStream(handle))
        stream->channel->enable(enable);
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS getBufferData(void* handle, int32_t index, void** address)
{
    if (!address)
        return OrvGigETL_INVALID_PARAMETER;
    *address = nullptr;
    StreamPtr stream = findStream(handle);
    if (!stream)
        return OrvGigETL_OK;
    void* found = stream->channel->bufferAddress(index);
    if (!found)
        return OrvGigETL_FRAME_BUFFER_INFO_NOT_AVAILABLE;
    *address = found;
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS closeStream(void* handle)
{
    if (StreamPtr stream = findStream(handle))
        closeStreamRecord(stream);
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS signalCameraConnectionLost(void* handle)
{
    if (StreamPtr stream = findStream(handle))
        stream->channel->signalConnectionLost();
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS signalCameraMessage(void* handle, uint32_t messageType, uint64_t value)
{
    if (StreamPtr stream = findStream(handle))
        stream->channel->signalCameraMessage(messageType, value);
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS signalMulticastMessage(void* handle, int32_t message, uint32_t group, int32_t port,
                                                    int32_t payload)
{
    if (StreamPtr stream = findStream(handle))
        stream->channel->signalMulticastMessage(message, group, port, payload);
    return OrvGigETL_OK;
}

}  // extern "C"
