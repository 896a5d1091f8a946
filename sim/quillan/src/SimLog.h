// The SDK's logger functions. Lines go to the logging library Jotwell when
// it is linked in; otherwise a small writer of our own formats them the same
// way and writes them to standard error and the log file. Every traced line
// can also be kept for tests (log.trace).
#ifndef SIMLOG_H
#define SIMLOG_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
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
    bool usesJotwell() const;

private:
    SimLog();
    ~SimLog();
    void writeOwn(const char* module, uint32_t level, const std::string& message);

    mutable std::mutex mutex_;
    bool jotwell_ = false;
    uint32_t mask_ = 3;
    bool windbg_ = true;
    std::string filePath_;
    FILE* file_ = nullptr;
    std::vector<std::pair<std::string, uint32_t>> modules_;
    bool capture_ = false;
    std::vector<std::string> captured_;
};

} // namespace quillan

#endif // SIMLOG_H
