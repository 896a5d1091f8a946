#include "SimLog.h"

#include "OrvSdk.h"
#include "SimText.h"

#include <algorithm>
#include <ctime>

// The logging library, when it is linked in.
extern "C" {
__attribute__((weak)) bool OrvLInit();
__attribute__((weak)) void OrvLClose();
__attribute__((weak)) bool OrvLRegisterModule(const char* name, uint32_t mask);
__attribute__((weak)) bool OrvLEnableFileLogging(bool enable, const char* path);
__attribute__((weak)) bool OrvLEnableWindbg(bool enable);
__attribute__((weak)) void OrvLSetGlobalDebugLevel(uint32_t mask);
__attribute__((weak)) void OrvLTraceA(const char* module, uint32_t level, const char* format, va_list* arguments);
}

namespace quillan {

namespace {

const size_t kMaxCaptured = 100000;
const size_t kLineSize = 8192;

const char* levelTag(uint32_t level)
{
    switch (level) {
    case 1: return "CRITICAL";
    case 2: return "ERROR";
    case 4: return "WARNING";
    case 8: return "INFO";
    case 16: return "CAMERA";
    case 32: return "DEBUG";
    case 0x10000000: return "RESERVED";
    default: return nullptr;
    }
}

std::string format(const char* fmt, va_list args)
{
    if (!fmt)
        return std::string();
    char buffer[kLineSize];
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
    jotwell_ = OrvLInit && OrvLClose && OrvLRegisterModule && OrvLEnableFileLogging && OrvLEnableWindbg
        && OrvLSetGlobalDebugLevel && OrvLTraceA;
    if (jotwell_)
        OrvLInit();
}

SimLog::~SimLog()
{
    if (jotwell_)
        OrvLClose();
    if (file_)
        std::fclose(file_);
}

bool SimLog::usesJotwell() const
{
    return jotwell_;
}

int SimLog::registerModule(const char* name, uint32_t mask)
{
    if (!name)
        return ORV_ERROR_INVALID_ARGUMENT;
    if (jotwell_)
        return OrvLRegisterModule(name, mask) ? ORV_SUCCESS : ORV_ERROR_BUSY;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& m : modules_)
        if (equalsIgnoreCase(m.first, name))
            return ORV_ERROR_BUSY;
    modules_.emplace_back(name, mask);
    return ORV_SUCCESS;
}

int SimLog::enableWindbg(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        windbg_ = on;
    }
    if (jotwell_)
        return OrvLEnableWindbg(on) ? ORV_SUCCESS : ORV_ERROR_IO;
    return ORV_SUCCESS;
}

int SimLog::enableFileLogging(bool on, const char* path)
{
    if (on && (!path || !*path))
        return ORV_ERROR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(mutex_);
    if (jotwell_) {
        bool ok = OrvLEnableFileLogging(on, path);
        filePath_ = on && ok ? path : "";
        return ok ? ORV_SUCCESS : ORV_ERROR_IO;
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    filePath_.clear();
    if (!on)
        return ORV_SUCCESS;
    file_ = std::fopen(path, "wb");
    if (!file_)
        return ORV_ERROR_IO;
    filePath_ = path;
    return ORV_SUCCESS;
}

int SimLog::setGlobalLevel(uint32_t mask)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mask_ = mask;
    }
    if (jotwell_)
        OrvLSetGlobalDebugLevel(mask);
    return ORV_SUCCESS;
}

int SimLog::trace(const char* module, uint32_t level, const char* fmt, va_list args)
{
    if (!fmt)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::string message = format(fmt, args);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (capture_ && captured_.size() < kMaxCaptured) {
            char head[64];
            std::snprintf(head, sizeof head, "] 0x%X ", level);
            captured_.push_back("[" + std::string(module ? module : "") + head + message);
        }
    }
    if (jotwell_) {
        va_list copy;
        va_copy(copy, args);
        OrvLTraceA(module, level, fmt, &copy);
        va_end(copy);
    } else {
        writeOwn(module, level, message);
    }
    return ORV_SUCCESS;
}

void SimLog::writeOwn(const char* module, uint32_t level, const std::string& message)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if ((level & mask_) == 0)
        return;
    uint32_t moduleMask = 0xFFFFFFFFu;
    for (const auto& m : modules_)
        if (module && equalsIgnoreCase(m.first, module))
            moduleMask = m.second;
    if ((level & moduleMask) == 0)
        return;
    std::string line;
    if (const char* tag = levelTag(level)) {
        char stamp[64] = {};
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d.%X", &local);
        line = module ? "[" + std::string(module) + "] " + stamp + " [" + tag + "] "
                      : "\t " + std::string(stamp) + " [" + tag + "] ";
    }
    line += message;
    line += "\r\n";
    if (windbg_)
        std::fwrite(line.data(), 1, line.size(), stderr);
    if (file_) {
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }
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
