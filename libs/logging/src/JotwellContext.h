#pragma once

#include "JotwellFile.h"
#include "JotwellThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct JotwellModule {
    std::string name;
    uint32_t mask;
};

// The process-wide logging state, created by the first OrvLInit.
class JotwellContext {
public:
    JotwellContext() = default;
    ~JotwellContext();

    // False when a module of that name exists, letter case ignored.
    bool RegisterModule(const char* name, uint32_t mask);
    // The registered mask, or all bits for an unknown or null name.
    uint32_t ModuleMask(const char* name);
    // Switches the log file; false when it cannot be created. Lines traced
    // before the switch are written to the previous file.
    bool SwitchFile(bool enable, const char* path);
    // Switches the output to standard error, in the same way.
    void SwitchDebugger(bool enable);

    std::atomic<uint32_t> globalMask{3};
    std::unique_ptr<JotwellThread> thread;
    std::atomic<int32_t> refCount{1};

private:
    std::mutex m_sinkSwitch;
    std::shared_ptr<JotwellFile> m_logFile;
    std::mutex m_lock;
    std::vector<JotwellModule> m_modules;
};
