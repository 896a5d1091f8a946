// What the library's parts share: the camera connection record and its
// list, the camera log, and the seams tests replace (clock, socket wait).
#pragma once

#include "Pellago.h"

#include <netinet/in.h>
#include <poll.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

namespace pellago {

// Performance counter and wall clock of the log and of exchange timing.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t counter() = 0;
    virtual int64_t frequency() = 0;
    virtual std::tm localTime() = 0;
};

// The clock in use; `setLogClock(nullptr)` restores the system clock.
Clock& logClock();
void setLogClock(Clock* clock);

// Waits for a socket as `ppoll` does (no signal mask).
using PollFunction = int (*)(struct pollfd* fds, nfds_t count, const struct timespec* timeout);
PollFunction pollFunction();
void setPollFunction(PollFunction function);  // null: ppoll

constexpr int kMaxLogFileName = 1024;  // characters, without the terminator
constexpr int kMaxLogLine = 256;

struct CameraConnection {
    CameraConnection() = default;
    CameraConnection(const CameraConnection&) = delete;
    CameraConnection& operator=(const CameraConnection&) = delete;
    ~CameraConnection();

    uintptr_t handle = 0;
    int refCount = 1;          // under the list lock
    uint16_t requestId = 1;    // under the exchange lock
    uint32_t cameraIp = 0;
    uint16_t cameraPort = 0;
    std::atomic<uint32_t> localIp{0};
    uint16_t localPort = 0;
    int controlSocket = -1;
    // Set after a failed wait: the socket is no longer used, and is closed
    // only with the record, so its number is never reused while in use.
    std::atomic<bool> socketGone{false};
    sockaddr_in localAddress{};
    sockaddr_in cameraAddress{};

    // The log; changed and read under the log lock.
    std::atomic<int32_t> logLevel{0};
    std::string logFileName;
    FILE* logFile = nullptr;
    OrvGigETL_MessageCallback callback = nullptr;
    void* context = nullptr;
    int64_t logTimeBase = 0;

    std::recursive_mutex exchangeLock;
};

using CameraPtr = std::shared_ptr<CameraConnection>;

// The record of a camera handle, kept alive while the caller holds it;
// null when the handle is not in the camera list.
CameraPtr findCamera(const void* handle);

// Guards every change of the camera list and the stream list.
std::recursive_mutex& listLock();

// Serialises every write of every camera log; lives for the process.
std::recursive_mutex& logLock();

// Writes one line to the camera's log when `level` is at most its level.
void writeCameraLog(int level, CameraConnection* camera, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace pellago
