#include "SimFaults.h"

#include "OrvSdk.h"
#include "SimControl.h"
#include "SimText.h"

namespace quillan {

namespace {
const size_t kMaxLoggedCalls = 100000;
}

bool SimFaultRule::parse(const SimControlArgs& args, int code, SimFaultRule* rule, std::string& reply)
{
    SimFaultRule r;
    r.code = code;
    std::string text;
    if (args.option("count", &text)) {
        int64_t n = 0;
        if (!parseInt(text, &n) || n < 1) {
            reply = "count must be a positive number";
            return false;
        }
        r.remaining = n;
    }
    if (args.option("after", &text)) {
        int64_t n = 0;
        if (!parseInt(text, &n) || n < 0) {
            reply = "after must be a number";
            return false;
        }
        r.skip = n;
    }
    if (args.hasWord("always"))
        r.remaining = -1;
    *rule = r;
    return true;
}

bool SimFaultRule::fire()
{
    if (remaining == 0)
        return false;
    if (skip > 0) {
        --skip;
        return false;
    }
    if (remaining > 0)
        --remaining;
    return true;
}

SimFaults& SimFaults::instance()
{
    static SimFaults faults;
    return faults;
}

int SimFaults::callFault(const std::string& function, const std::string& moduleAddress)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = callFaults_.find(function);
    if (it == callFaults_.end())
        return 0;
    for (auto f = it->second.begin(); f != it->second.end(); ++f) {
        if (!f->module.empty() && f->module != moduleAddress)
            continue;
        if (f->rule.fire()) {
            int code = f->rule.code;
            if (f->rule.spent())
                it->second.erase(f);
            return code;
        }
    }
    return 0;
}

bool SimFaults::needsModuleAddress(const std::string& function) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = callFaults_.find(function);
    if (it == callFaults_.end())
        return false;
    for (const CallFault& f : it->second)
        if (!f.module.empty())
            return true;
    return false;
}

uint32_t SimFaults::callDelayMs(const std::string& function) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = delays_.find(function);
    return it == delays_.end() ? 0 : it->second;
}

bool SimFaults::takeNullHandle(const std::string& function)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = nullHandles_.find(function);
    if (it == nullHandles_.end())
        return false;
    if (--it->second <= 0)
        nullHandles_.erase(it);
    return true;
}

bool SimFaults::knownFunction(const std::string& name) const
{
    for (const char* f : ORV_SDK_FUNCTION_NAMES)
        if (name == f)
            return true;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& f : extraFunctions_)
        if (name == f)
            return true;
    return false;
}

void SimFaults::addKnownFunction(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    extraFunctions_.push_back(name);
}

void SimFaults::addCallFault(const std::string& function, const std::string& module, const SimFaultRule& rule)
{
    std::lock_guard<std::mutex> lock(mutex_);
    callFaults_[function].push_back(CallFault{module, rule});
}

void SimFaults::setCallDelay(const std::string& function, uint32_t ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (ms == 0)
        delays_.erase(function);
    else
        delays_[function] = ms;
}

void SimFaults::armNullHandle(const std::string& function)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++nullHandles_[function];
}

void SimFaults::setInitFailure(int code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    initFailure_ = code;
}

int SimFaults::takeInitFailure()
{
    std::lock_guard<std::mutex> lock(mutex_);
    int code = initFailure_;
    initFailure_ = 0;
    return code;
}

void SimFaults::setSystemInfoFailure(uint32_t index, int code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (code == 0)
        systemInfoFailures_.erase(index);
    else
        systemInfoFailures_[index] = code;
}

int SimFaults::systemInfoFailure(uint32_t index) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = systemInfoFailures_.find(index);
    return it == systemInfoFailures_.end() ? 0 : it->second;
}

void SimFaults::clear()
{
    std::vector<void (*)()> handlers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callFaults_.clear();
        delays_.clear();
        nullHandles_.clear();
        initFailure_ = 0;
        systemInfoFailures_.clear();
        handlers = clearHandlers_;
    }
    for (auto fn : handlers)
        fn();
}

void SimFaults::onClear(void (*fn)())
{
    std::lock_guard<std::mutex> lock(mutex_);
    clearHandlers_.push_back(fn);
}

void SimFaults::setLogging(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    logging_ = on;
}

bool SimFaults::logging() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return logging_;
}

void SimFaults::logCall(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (logging_ && calls_.size() < kMaxLoggedCalls)
        calls_.push_back(line);
}

std::vector<std::string> SimFaults::calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

void SimFaults::clearCalls()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

} // namespace quillan
