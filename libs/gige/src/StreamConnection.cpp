#include "Multicast.h"
#include "StreamingChannel.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
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
        if (igmpSocket >= 0)
            ::close(igmpSocket);
    }

    uintptr_t handle = 0;
    CameraPtr camera;
    sockaddr_in bound{};
    int socket = -1;
    int igmpSocket = -1;  // multicast streams: IGMP reports
    uint32_t hostIp = 0;
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

// Adds the membership of the stream socket, or drops it, on the host IP's
// adapter.
bool socketMembership(const StreamConnection& stream, uint32_t group, bool join)
{
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(stream.hostIp);
    return ::setsockopt(stream.socket, IPPROTO_IP, join ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, &request,
                        sizeof request)
           == 0;
}

// Sends a membership report (join) or a leave for `group` from the
// stream's IGMP socket, made when there is none; a leave closes it.
bool sendReport(StreamConnection& stream, uint32_t group, bool join)
{
    if (stream.igmpSocket < 0) {
        stream.igmpSocket = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_IGMP);
        if (stream.igmpSocket < 0)
            return false;
        in_addr adapter{};
        adapter.s_addr = htonl(stream.hostIp);
        ::setsockopt(stream.igmpSocket, IPPROTO_IP, IP_MULTICAST_IF, &adapter, sizeof adapter);
    }
    const std::array<uint8_t, 8> message = igmpMessage(join, group);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(group);
    const bool sent = ::sendto(stream.igmpSocket, message.data(), message.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to)
                      == static_cast<ssize_t>(message.size());
    if (!join) {
        ::close(stream.igmpSocket);
        stream.igmpSocket = -1;
    }
    return sent;
}

// Binds the stream socket: any address and an ephemeral port for unicast;
// for a group its own address (the kernel hands a group's datagrams only to
// sockets bound to it or to any address) and the caller's port, or the
// first free one of the group's candidates.
bool bindStreamSocket(StreamConnection& stream, uint32_t group, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(group);
    const auto bindTo = [&](uint16_t candidate) {
        address.sin_port = htons(candidate);
        return ::bind(stream.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    };
    if (group == 0 || port != 0)
        return bindTo(group == 0 ? 0 : port);
    for (uint16_t candidate : multicastPortCandidates(group))
        if (bindTo(candidate))
            return true;
    return false;
}

int32_t addStreamWorker(void* cameraHandle, void** streamOut, uint32_t group, uint32_t hostIp,
                        uint16_t* portInOut, uint32_t sourceIp, int32_t bufferSize, int32_t bufferCount,
                        int32_t packetSize, int32_t driverParameter, OrvGigETL_StreamCallback callback,
                        void* context)
{
    CameraPtr camera = findCamera(cameraHandle);
    if (!camera)
        return OrvGigETL_CAMERA_NOT_FOUND;
    if (!streamOut || !portInOut || bufferSize <= 0 || bufferCount <= 0)
        return OrvGigETL_INVALID_PARAMETER;

    auto stream = std::make_shared<StreamConnection>();
    stream->camera = camera;
    stream->callback = callback;
    stream->context = context;
    stream->hostIp = hostIp;
    stream->socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (stream->socket < 0 || !bindStreamSocket(*stream, group, *portInOut))
        return OrvGigETL_STREAMING_CHANNEL_NOT_AVAILABLE;
    if (group != 0 && (!socketMembership(*stream, group, true) || !sendReport(*stream, group, true)))
        return OrvGigETL_MULTICAST_MANAGEMENT_FAILED;
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

int32_t addUnicastStream(void* cameraHandle, void** streamOut, const uint32_t* hostIp, uint16_t* portInOut,
                         uint32_t sourceIp, int32_t bufferSize, int32_t bufferCount, int32_t packetSize,
                         int32_t driverParameter, OrvGigETL_StreamCallback callback, void* context)
{
    if (!findCamera(cameraHandle))
        return OrvGigETL_CAMERA_NOT_FOUND;
    if (!hostIp)
        return OrvGigETL_INVALID_PARAMETER;
    return addStreamWorker(cameraHandle, streamOut, 0, *hostIp, portInOut, sourceIp, bufferSize, bufferCount,
                           packetSize, driverParameter, callback, context);
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

PELLAGO_API OrvGigETL_STATUS addMulticastStream(void* camera, void** stream, uint32_t group, uint32_t hostIp,
                                                uint16_t* port, int32_t bufferSize, int32_t bufferCount,
                                                int32_t packetSize, int32_t driverParameter,
                                                OrvGigETL_StreamCallback callback, void* context)
{
    return addMulticastStreamFromIP(camera, stream, group, hostIp, port, 0, bufferSize, bufferCount, packetSize,
                                    driverParameter, callback, context);
}

PELLAGO_API OrvGigETL_STATUS addMulticastStreamFromIP(void* camera, void** stream, uint32_t group, uint32_t hostIp,
                                                      uint16_t* port, uint32_t sourceIp, int32_t bufferSize,
                                                      int32_t bufferCount, int32_t packetSize,
                                                      int32_t driverParameter, OrvGigETL_StreamCallback callback,
                                                      void* context)
{
    if (group == 0)
        return OrvGigETL_INVALID_PARAMETER;
    return addStreamWorker(camera, stream, group, hostIp, port, sourceIp, bufferSize, bufferCount, packetSize,
                           driverParameter, callback, context);
}

PELLAGO_API OrvGigETL_STATUS setMulticastMembership(void* handle, uint32_t group, bool join)
{
    StreamPtr stream = findStream(handle);
    if (!stream)
        return OrvGigETL_OK;
    // The socket's own membership follows, or the kernel, still a member,
    // would answer the next query and undo the leave: joined before the
    // report, dropped after the leave.
    if (join)
        socketMembership(*stream, group, true);
    const bool sent = sendReport(*stream, group, join);
    if (!join)
        socketMembership(*stream, group, false);
    return sent ? OrvGigETL_OK : OrvGigETL_MULTICAST_MANAGEMENT_FAILED;
}

PELLAGO_API OrvGigETL_STATUS closeMulticastStream(void* handle, uint32_t group)
{
    StreamPtr stream = findStream(handle);
    if (!stream)
        return OrvGigETL_OK;
    closeStreamRecord(stream);
    sendReport(*stream, group, false);
    socketMembership(*stream, group, false);
    return OrvGigETL_OK;
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
