#include "SimLog.h"

#include "Jotwell.h"
#include "OrvSdk.h"

#include <algorithm>
#include <cstdio>

namespace quillan {

namespace {

const size_t kMaxCaptured = 100000;

std::string format(const char* fmt, va_list args)
{
    char buffer[8192];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer, sizeof buffer, fmt, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    return std::string(buffer, std::min<size_t>(size_t(n), sizeof buffer - 1));
}

} // namespace

SimLog& SimLog::instance()
{
    static SimLog log;
    return log;
}

SimLog::SimLog()
{
    OrvLInit();
}

SimLog::~SimLog()
{
    OrvLClose();
}

int SimLog::registerModule(const char* name, uint32_t mask)
{
    if (!name)
        return ORV_ERROR_INVALID_ARGUMENT;
    return OrvLRegisterModule(name, mask) ? ORV_SUCCESS : ORV_ERROR_BUSY;
}

int SimLog::enableWindbg(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    windbg_ = on;
    return OrvLEnableWindbg(on) ? ORV_SUCCESS : ORV_ERROR_IO;
}

int SimLog::enableFileLogging(bool on, const char* path)
{
    if (on && (!path || !*path))
        return ORV_ERROR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(mutex_);
    bool ok = OrvLEnableFileLogging(on, on ? path : nullptr);
    filePath_ = on && ok ? path : "";
    return ok ? ORV_SUCCESS : ORV_ERROR_IO;
}

int SimLog::setGlobalLevel(uint32_t mask)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mask_ = mask;
    OrvLSetGlobalDebugLevel(mask);
    return ORV_SUCCESS;
}

int SimLog::trace(const char* module, uint32_t level, const char* fmt, va_list args)
{
    if (!fmt)
        return ORV_ERROR_INVALID_ARGUMENT;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (capture_ && captured_.size() < kMaxCaptured) {
            char head[32];
            std::snprintf(head, sizeof head, "] 0x%X ", level);
            captured_.push_back("[" + std::string(module ? module : "") + head + format(fmt, args));
        }
    }
    va_list copy;
    va_copy(copy, args);
    OrvLTraceA(module, level, fmt, &copy);
    va_end(copy);
    return ORV_SUCCESS;
}

void SimLog::setCapture(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    capture_ = on;
}

std::vector<std::string> SimLog::captured() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return captured_;
}

void SimLog::clearCaptured()
{
    std::lock_guard<std::mutex> lock(mutex_);
    captured_.clear();
}

std::string SimLog::switches() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    char mask[32];
    std::snprintf(mask, sizeof mask, "0x%X", mask_);
    return std::string("mask=") + mask + " windbg=" + (windbg_ ? "on" : "off")
        + " file=" + (filePath_.empty() ? std::string("off") : filePath_);
}

} // namespace quillan
