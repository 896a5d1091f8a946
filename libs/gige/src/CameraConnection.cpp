#include "PellagoInternal.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstring>
#include <list>

namespace pellago {

namespace {

class SystemClock : public Clock {
public:
    int64_t counter() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int64_t frequency() override { return 1000000000; }
    std::tm localTime() override
    {
        std::time_t now = std::time(nullptr);
        std::tm result{};
        localtime_r(&now, &result);
        return result;
    }
};

SystemClock systemClock;
std::atomic<Clock*> currentClock{&systemClock};

int systemPoll(struct pollfd* fds, nfds_t count, const struct timespec* timeout)
{
    return ppoll(fds, count, timeout, nullptr);
}

std::atomic<PollFunction> currentPoll{&systemPoll};

// The camera list lives for the process, like the locks.
struct CameraList {
    std::list<CameraPtr> cameras;
    uintptr_t nextHandle = 1;
};

CameraList& cameraList()
{
    static CameraList* instance = new CameraList;
    return *instance;
}

}  // namespace

Clock& logClock()
{
    return *currentClock.load();
}

void setLogClock(Clock* clock)
{
    currentClock.store(clock ? clock : &systemClock);
}

PollFunction pollFunction()
{
    return currentPoll.load();
}

void setPollFunction(PollFunction function)
{
    currentPoll.store(function ? function : &systemPoll);
}

std::recursive_mutex& listLock()
{
    static std::recursive_mutex* instance = new std::recursive_mutex;
    return *instance;
}

std::recursive_mutex& logLock()
{
    static std::recursive_mutex* instance = new std::recursive_mutex;
    return *instance;
}

CameraConnection::~CameraConnection()
{
    if (controlSocket >= 0)
        ::close(controlSocket);
    std::lock_guard<std::recursive_mutex> hold(logLock());
    if (logFile)
        std::fclose(logFile);
}

CameraPtr findCamera(const void* handle)
{
    CameraList& list = cameraList();
    std::lock_guard<std::recursive_mutex> hold(listLock());
    for (const CameraPtr& camera : list.cameras) {
        if (camera->handle == reinterpret_cast<uintptr_t>(handle))
            return camera;
    }
    return nullptr;
}

void writeCameraLog(int level, CameraConnection* camera, const char* format, ...)
{
    if (!camera || level > camera->logLevel.load())
        return;
    std::lock_guard<std::recursive_mutex> hold(logLock());
    if (level > camera->logLevel.load())
        return;

    char message[kMaxLogLine + 1];
    if (format) {
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(message, sizeof message, format, arguments);
        va_end(arguments);
    } else {
        std::snprintf(message, sizeof message, "%s", "Log message (failed: format string missing)");
    }

    // Room for the whole line before it is cut to its limit.
    char line[2 * kMaxLogLine];
    if (message[0] == '\0') {
        std::snprintf(line, sizeof line, "%s", "    ");
    } else {
        Clock& c = logClock();
        const int64_t frequency = c.frequency();
        int64_t hours = 0, minutes = 0, seconds = 0, millis = 0, micros = 0;
        if (frequency != 0) {
            const int64_t ticks = c.counter() - camera->logTimeBase;
            const int64_t whole = ticks / frequency;
            const int64_t fraction = (ticks - whole * frequency) * 1000000 / frequency;
            hours = whole / 3600;
            minutes = (whole % 3600) / 60;
            seconds = whole % 60;
            millis = fraction / 1000;
            micros = fraction % 1000;
        }
        std::snprintf(line, sizeof line, "\n%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64
                      ".%03" PRId64 "  %s",
                      hours, minutes, seconds, millis, micros, message);
        line[kMaxLogLine] = '\0';
    }

    if (!camera->logFile && !camera->logFileName.empty())
        camera->logFile = std::fopen(camera->logFileName.c_str(), "a");
    if (camera->logFile) {
        std::fputs(line, camera->logFile);
        std::fflush(camera->logFile);
    }
    if (camera->callback)
        camera->callback(line + 1, camera->context);
}

}  // namespace pellago

using namespace pellago;

extern "C" {

PELLAGO_API OrvGigETL_STATUS openCamera(void** handle, uint32_t cameraIp, uint16_t cameraPort)
{
    if (!handle)
        return OrvGigETL_INVALID_PARAMETER;

    CameraList& list = cameraList();
    std::lock_guard<std::recursive_mutex> hold(listLock());
    for (const CameraPtr& camera : list.cameras) {
        if (camera->cameraIp == cameraIp && camera->cameraPort == cameraPort) {
            ++camera->refCount;
            *handle = reinterpret_cast<void*>(camera->handle);
            return OrvGigETL_OK;
        }
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return OrvGigETL_CAMERA_OPEN_FAILED;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = 0;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        ::close(fd);
        return OrvGigETL_CAMERA_OPEN_FAILED;
    }

    auto camera = std::make_shared<CameraConnection>();
    camera->cameraIp = cameraIp;
    camera->cameraPort = cameraPort;
    camera->controlSocket = fd;
    camera->localAddress = bound;
    camera->localIp = ntohl(camera->localAddress.sin_addr.s_addr);
    camera->localPort = ntohs(camera->localAddress.sin_port);
    camera->cameraAddress.sin_family = AF_INET;
    camera->cameraAddress.sin_addr.s_addr = htonl(cameraIp);
    camera->cameraAddress.sin_port = htons(cameraPort);
    camera->handle = list.nextHandle++;

    list.cameras.push_front(camera);
    *handle = reinterpret_cast<void*>(camera->handle);
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS closeCamera(void* handle)
{
    CameraPtr camera;
    {
        CameraList& list = cameraList();
        std::lock_guard<std::recursive_mutex> hold(listLock());
        for (auto it = list.cameras.begin(); it != list.cameras.end(); ++it) {
            if ((*it)->handle == reinterpret_cast<uintptr_t>(handle)) {
                if (--(*it)->refCount > 0)
                    return OrvGigETL_OK;
                camera = *it;
                list.cameras.erase(it);
                break;
            }
        }
    }
    if (!camera)
        return OrvGigETL_CAMERA_NOT_FOUND;
    // Socket, log file and memory go with the last user of the record.
    writeCameraLog(4, camera.get(), "--> Camera connection closed [%" PRIXPTR "]", camera->handle);
    return OrvGigETL_OK;
}

PELLAGO_API OrvGigETL_STATUS registerMessageCallback(void* handle, int32_t level,
                                                     const char* fileName,
                                                     OrvGigETL_MessageCallback callback,
                                                     void* context)
{
    CameraPtr camera = findCamera(handle);
    if (!camera)
        return OrvGigETL_CAMERA_NOT_FOUND;
    CameraConnection* c = camera.get();

    std::lock_guard<std::recursive_mutex> hold(logLock());
    const int32_t oldLevel = c->logLevel.load();
    if ((level == 0 && oldLevel > 0) || !fileName) {
        writeCameraLog(4, c, "--> Closing logfile for camera [%" PRIXPTR "]", c->handle);
        writeCameraLog(4, c, "%s", "");
    }
    c->logLevel.store(level);
    c->logFileName.clear();
    if (fileName && std::strlen(fileName) < static_cast<size_t>(kMaxLogFileName))
        c->logFileName = fileName;
    if (c->logFile) {
        std::fclose(c->logFile);
        c->logFile = nullptr;
    }
    c->callback = callback;
    c->context = context;
    if (oldLevel <= 0) {
        c->logTimeBase = logClock().counter();
        const std::tm now = logClock().localTime();
        writeCameraLog(0, c, "--------OrvGigE Log %02d-%02d-%02d %02d:%02d:%02d--------",
                       now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min,
                       now.tm_sec);
        writeCameraLog(4, c, "--> Logfile registered for camera [%" PRIXPTR "]", c->handle);
    }
    return OrvGigETL_OK;
}

}  // extern "C"
