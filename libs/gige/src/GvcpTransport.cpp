#include "PellagoInternal.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

using namespace pellago;

namespace {

constexpr int kMaxPayload = 540;
constexpr int kHeaderSize = 8;
constexpr uint16_t kPendingAck = 0x0089;
constexpr int kAlreadyStreaming = 0xC002;

uint16_t read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t read32(const void* p)
{
    uint32_t value;
    std::memcpy(&value, p, 4);
    return ntohl(value);
}

int64_t elapsedMicros(int64_t start, int64_t frequency)
{
    return frequency ? (logClock().counter() - start) * 1000000 / frequency : 0;
}

using SteadyClock = std::chrono::steady_clock;

enum class WaitResult { Readable, TimedOut, Failed };

// Waits until the socket is readable or the deadline passes; a signal
// resumes the wait with the time that is left.
WaitResult waitReadable(int socket, SteadyClock::time_point deadline)
{
    for (;;) {
        auto left = deadline - SteadyClock::now();
        if (left < SteadyClock::duration::zero())
            left = SteadyClock::duration::zero();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fd{socket, POLLIN, 0};
        const int ready = pollFunction()(&fd, 1, &timeout);
        if (ready > 0)
            return WaitResult::Readable;
        if (ready == 0)
            return WaitResult::TimedOut;
        if (errno != EINTR)
            return WaitResult::Failed;
    }
}

// The exchange's line in the camera log; reads only the bytes given.
void logExchange(CameraConnection* camera, uint32_t command, int32_t dataLength, const uint8_t* data,
                 int32_t ackLength, const void* ackBuffer, int32_t result, int64_t micros,
                 int sends, const char* ending)
{
    const int us = static_cast<int>(micros);
    const uint32_t firstAddress = dataLength >= 4 ? read32(data) : 0;
    switch (command) {
    case OrvGigETL_READREG_CMD:
        if (ackBuffer) {
            const uint32_t value = ackLength >= 4 ? read32(ackBuffer) : 0;
            writeCameraLog(4, camera, "%6d \xB5" "s  %dx  ReadReg:  %04X  Status: %04X  Val: %04X (%u)  %s",
                           us, sends, firstAddress, result, value, value, ending);
        }
        break;
    case OrvGigETL_WRITEREG_CMD:
        if (dataLength == 8) {
            const uint32_t value = read32(data + 4);
            writeCameraLog(4, camera, "%6d \xB5" "s  %dx WriteReg:  %04X  Status: %04X  Val: %04X (%u)  %s",
                           us, sends, firstAddress, result, value, value, ending);
        } else {
            writeCameraLog(4, camera, "%6d \xB5" "s  %dx WriteReg:        Status: %04X  %s", us, sends,
                           result, ending);
            for (int32_t i = 0; i + 8 <= dataLength; i += 8) {
                const uint32_t value = read32(data + i + 4);
                writeCameraLog(4, camera, "               address:  %04X                Val: %04X (%u)",
                               read32(data + i), value, value);
            }
        }
        break;
    case OrvGigETL_READMEM_CMD:
        writeCameraLog(4, camera, "%6d \xB5" "s  %dx  ReadMem:  %08X  Status: %04X  %s", us, sends,
                       firstAddress, result, ending);
        break;
    default:
        break;
    }
}

}  // namespace

extern "C" {

PELLAGO_API OrvGigETL_STATUS GVCPTransportEx(void* handle, uint32_t command, int32_t dataLength,
                                             const void* data, int32_t ackLength, void* ackBuffer,
                                             int32_t tries, int32_t timeoutMs)
{
    CameraPtr camera = findCamera(handle);
    if (!camera)
        return OrvGigETL_CAMERA_NOT_FOUND;
    if (dataLength > kMaxPayload || ackLength > kMaxPayload)
        return OrvGigETL_CAMERA_PAYLOAD_LENGTH_EXCEEDED;
    if (dataLength < 0 || ackLength < 0 || dataLength % 4 != 0 || ackLength % 4 != 0)
        return OrvGigETL_CAMERA_PAYLOAD_LENGTH_INVALID;
    if (dataLength > 0 && !data)
        return OrvGigETL_INVALID_PARAMETER;

    CameraConnection* c = camera.get();
    std::lock_guard<std::recursive_mutex> hold(c->exchangeLock);
    const int64_t start = logClock().counter();
    const int64_t frequency = logClock().frequency();
    if (command != OrvGigETL_READREG_CMD && command != OrvGigETL_WRITEREG_CMD
        && command != OrvGigETL_READMEM_CMD && command != OrvGigETL_WRITEMEM_CMD)
        return OrvGigETL_CAMERA_UNKNWON_COMMAND;

    const uint16_t id = c->requestId;
    uint8_t packet[kHeaderSize + kMaxPayload];
    packet[0] = 0x42;
    packet[1] = ackLength != 0 ? 0x01 : 0x00;
    packet[2] = static_cast<uint8_t>(command >> 8);
    packet[3] = static_cast<uint8_t>(command);
    packet[4] = static_cast<uint8_t>(dataLength >> 8);
    packet[5] = static_cast<uint8_t>(dataLength);
    packet[6] = static_cast<uint8_t>(id >> 8);
    packet[7] = static_cast<uint8_t>(id);
    if (dataLength > 0)
        std::memcpy(packet + kHeaderSize, data, static_cast<size_t>(dataLength));

    const bool ackExpected = ackLength != 0 && ackBuffer != nullptr;
    int32_t result = OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT;
    int sends = 0;
    if (c->socketGone.load() && tries >= 1) {
        // The socket failed in an earlier wait: nothing is sent, and no
        // success is claimed for what never went out.
        result = ackExpected ? OrvGigETL_CAMERA_COMMUNICATION_TIMEOUT : NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR;
        tries = 0;
    }

    uint8_t reply[kHeaderSize + kMaxPayload];
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (attempt > 0)
            writeCameraLog(2, c, "Retry sendto() after %d ms (timeout: %d)",
                           static_cast<int>(elapsedMicros(start, frequency) / 1000), timeoutMs);
        ::sendto(c->controlSocket, packet, static_cast<size_t>(kHeaderSize + dataLength), 0,
                 reinterpret_cast<const sockaddr*>(&c->cameraAddress), sizeof c->cameraAddress);
        ++sends;
        if (!ackExpected)
            result = OrvGigETL_OK;

        auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        bool decided = false;
        bool tryOver = false;
        while (!decided && !tryOver) {
            const WaitResult wait = waitReadable(c->controlSocket, deadline);
            if (wait == WaitResult::Failed) {
                c->socketGone.store(true);
                if (result == OrvGigETL_OK)
                    result = NORRIK_GigE_SORBIX_STATUS_SOCKET_ERROR;
                attempt = tries;
                break;
            }
            if (wait == WaitResult::TimedOut)
                break;
            const ssize_t size = ::recv(c->controlSocket, reply, sizeof reply, MSG_TRUNC);
            if (size <= 0)
                break;
            if (size < kHeaderSize)
                continue;  // too short to be an acknowledge: stray
            const uint16_t status = read16(reply);
            const uint16_t ackCommand = read16(reply + 2);
            const uint16_t length = read16(reply + 4);
            const uint16_t ackId = read16(reply + 6);
            if (ackCommand == kPendingAck && ackId == id) {
                if (size < 12)
                    continue;
                deadline = SteadyClock::now() + std::chrono::milliseconds(read16(reply + 10));
                continue;
            }
            if (ackId != id)
                continue;
            decided = true;
            if (ackCommand != command + 1)
                result = NORRIK_GigE_SORBIX_STATUS_NOT_ACKNOWLEDGED;
            else if (size != length + kHeaderSize)
                result = NORRIK_GigE_SORBIX_STATUS_RECEIVE_LENGTH_MISMATCH;
            else if (length > ackLength)
                result = NORRIK_GigE_SORBIX_STATUS_ACKNOWLEDGED_LENGTH_MISMATCH;
            else if (!ackBuffer)
                result = OrvGigETL_SORBIX_STATUS_NO_ACK_BUFFER_PROVIDED;
            else {
                std::memcpy(ackBuffer, reply + kHeaderSize, length);
                result = status;
            }
        }
        if (decided)
            break;
    }

    c->requestId = static_cast<uint16_t>(id == 0xFFFF ? 1 : id + 1);
    const char* ending = "";
    if (result == kAlreadyStreaming) {
        result = OrvGigETL_OK;
        ending = "CUST_STATUS_ALREADY_STREAMING rejected";
    }
    logExchange(c, command, dataLength, static_cast<const uint8_t*>(data), ackLength, ackBuffer,
                result, elapsedMicros(start, frequency), sends, ending);
    return result;
}

PELLAGO_API OrvGigETL_STATUS GVCPTransport(void* handle, uint32_t command, int32_t dataLength,
                                           const void* data, int32_t ackLength, void* ackBuffer)
{
    return GVCPTransportEx(handle, command, dataLength, data, ackLength, ackBuffer, 3, 200);
}

}  // extern "C"
