#include "SimCall.h"

#include "OrvSdk.h"
#include "SimControl.h"
#include "SimFaults.h"
#include "SimHandles.h"
#include "SimLibrary.h"
#include "SimModule.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace quillan {

namespace {

std::string moduleAddress(uint32_t handle)
{
    HandleKind kind;
    if (handle == 0 || !SimHandles::instance().kindOf(handle, &kind) || !isModuleKind(kind))
        return std::string();
    auto module = SimHandles::instance().get<SimModule>(handle, kind);
    return module ? module->address() : std::string();
}

} // namespace

SimCall::SimCall(const char* function, uint32_t module, Needs needs)
    : function_(function), module_(module), needs_(needs), logging_(SimFaults::instance().logging())
{
    if (logging_ && module != 0) {
        std::string address = moduleAddress(module);
        append("module", address.empty() ? std::to_string(module) : address);
    }
}

void SimCall::append(const char* name, const std::string& value)
{
    if (!args_.empty())
        args_ += ", ";
    args_ += name;
    args_ += '=';
    args_ += value;
}

SimCall& SimCall::arg(const char* name, const char* value)
{
    if (logging_)
        append(name, value ? "\"" + std::string(value) + "\"" : std::string("null"));
    return *this;
}

SimCall& SimCall::arg(const char* name, bool value)
{
    if (logging_)
        append(name, value ? "true" : "false");
    return *this;
}

SimCall& SimCall::arg(const char* name, double value)
{
    if (logging_) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", value);
        append(name, text);
    }
    return *this;
}

SimCall& SimCall::arg(const char* name, const void* value)
{
    if (logging_) {
        char text[32];
        std::snprintf(text, sizeof text, "%p", value);
        append(name, value ? text : "null");
    }
    return *this;
}

int SimCall::enter()
{
    SimControl::runStartupCommands();
    if (needs_ == NeedsLibrary && !SimLibrary::instance().initialised())
        return result(ORV_ERROR_NOT_INITIALISED);
    SimFaults& faults = SimFaults::instance();
    if (uint32_t ms = faults.callDelayMs(function_))
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::string address = faults.needsModuleAddress(function_) ? moduleAddress(module_) : std::string();
    if (int code = faults.callFault(function_, address))
        return result(code);
    return 0;
}

bool SimCall::nullHandle()
{
    return SimFaults::instance().takeNullHandle(function_);
}

int SimCall::result(int rc)
{
    if (logging_ && !logged_) {
        logged_ = true;
        SimFaults::instance().logCall(std::string(function_) + "(" + args_ + ") = " + std::to_string(rc));
    }
    return rc;
}

} // namespace quillan
