// The SDK's logger functions: they forward to the logging library Jotwell.
// Every traced line and the current switches can also be kept for tests
// (log.trace).
#ifndef SIMLOG_H
#define SIMLOG_H

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

class SimLog {
public:
    static SimLog& instance();

    int registerModule(const char* name, uint32_t mask);
    int enableWindbg(bool on);
    int enableFileLogging(bool on, const char* path);
    int setGlobalLevel(uint32_t mask);
    int trace(const char* module, uint32_t level, const char* format, va_list args);

    // Test capture.
    void setCapture(bool on);
    std::vector<std::string> captured() const;
    void clearCaptured();
    // "mask=0x.. windbg=on|off file=<path or off>"
    std::string switches() const;

private:
    SimLog();
    ~SimLog();

    mutable std::mutex mutex_;
    uint32_t mask_ = 3;
    bool windbg_ = true;
    std::string filePath_;
    bool capture_ = false;
    std::vector<std::string> captured_;
};

} // namespace quillan

#endif // SIMLOG_H
