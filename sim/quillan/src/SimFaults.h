// Injected faults and the call log.
//
// SimFaultRule is the shared "one-shot / count=n / after=n / always" rule of
// every fault command; feature, register and file faults use it too:
//   SimFaultRule rule;
//   if (!SimFaultRule::parse(args, code, &rule, reply)) return -1006;
//   ... later, on each matching call: if (rule.fire()) return rule.code;
//
// SimFaults holds the call-level faults (call.fail, call.delay,
// call.nullhandle, lib.init.fail, lib.systeminfo.fail) and the call log
// (log.calls). SimCall consults it at the start of every export.
#ifndef SIMFAULTS_H
#define SIMFAULTS_H

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

struct SimControlArgs;

struct SimFaultRule {
    int code = 0;
    int64_t remaining = 1; // failures still to give; -1 for always
    int64_t skip = 0;      // matching calls to let pass first

    // Reads count=n, after=n and always from the arguments.
    static bool parse(const SimControlArgs& args, int code, SimFaultRule* rule, std::string& reply);
    // Counts one matching call; true when this call must fail.
    bool fire();
    bool spent() const { return remaining == 0; }
};

class SimFaults {
public:
    static SimFaults& instance();

    // Call-level fault for the function, optionally restricted to a module
    // address ("device:GEV-G1-0001"); returns 0 when the call proceeds.
    int callFault(const std::string& function, const std::string& moduleAddress);
    bool needsModuleAddress(const std::string& function) const;
    uint32_t callDelayMs(const std::string& function) const;
    // True once after call.nullhandle for the function.
    bool takeNullHandle(const std::string& function);

    // Names call.fail, call.delay and call.nullhandle accept: the SDK's
    // functions and those another entry point (the GenTL producer) adds.
    bool knownFunction(const std::string& name) const;
    void addKnownFunction(const std::string& name);

    void addCallFault(const std::string& function, const std::string& module, const SimFaultRule& rule);
    void setCallDelay(const std::string& function, uint32_t ms);
    void armNullHandle(const std::string& function);

    // lib.init.fail: the next OrvLibInit returns the code (0: none).
    void setInitFailure(int code);
    int takeInitFailure();
    // lib.systeminfo.fail: OrvLibSystemGetInfo fails for the index.
    void setSystemInfoFailure(uint32_t index, int code);
    int systemInfoFailure(uint32_t index) const;

    // fault.clear: every injected fault goes. Parts with their own faults
    // register a clear handler through SimFaults::onClear.
    void clear();
    void onClear(void (*fn)());

    // Call log.
    void setLogging(bool on);
    bool logging() const;
    void logCall(const std::string& line);
    std::vector<std::string> calls() const;
    void clearCalls();

private:
    struct CallFault {
        std::string module; // empty: any module
        SimFaultRule rule;
    };
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<CallFault>> callFaults_;
    std::map<std::string, uint32_t> delays_;
    std::map<std::string, int> nullHandles_;
    int initFailure_ = 0;
    std::map<uint32_t, int> systemInfoFailures_;
    std::vector<void (*)()> clearHandlers_;
    std::vector<std::string> extraFunctions_;
    bool logging_ = false;
    std::vector<std::string> calls_;
};

} // namespace quillan

#endif // SIMFAULTS_H
