// Frame of every export: library state, injected faults and delays, and the
// call log.
//
//   int OrvSomething(ORV_MODULE_HANDLE module, int64_t value)
//   {
//       SimCall call("OrvSomething", module);
//       call.arg("value", value);
//       if (int rc = call.enter())
//           return rc;                 // not initialised or injected fault
//       ...
//       return call.result(rc);        // logs the call with its result
//   }
//
// enter() runs QUILLAN_SIM_CONTROL once per process, returns -1015 while the
// library is not initialised (unless the call works without it), waits a
// call.delay, and returns an injected call.fail code. Those early returns are
// logged by enter() itself. nullHandle() tells whether call.nullhandle asked
// this call to succeed with its handle output left 0.
#ifndef SIMCALL_H
#define SIMCALL_H

#include <cstdint>
#include <string>
#include <type_traits>

namespace quillan {

class SimCall {
public:
    enum Needs { NeedsLibrary, WorksWithoutLibrary };

    explicit SimCall(const char* function, uint32_t module = 0, Needs needs = NeedsLibrary);

    SimCall& arg(const char* name, const char* value);
    SimCall& arg(const char* name, const std::string& value) { return arg(name, value.c_str()); }
    SimCall& arg(const char* name, bool value);
    SimCall& arg(const char* name, double value);
    SimCall& arg(const char* name, const void* value);
    template <class T, class = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>>
    SimCall& arg(const char* name, T value)
    {
        if (logging_)
            append(name, std::is_signed_v<T> ? std::to_string(static_cast<long long>(value))
                                             : std::to_string(static_cast<unsigned long long>(value)));
        return *this;
    }

    int enter();
    bool nullHandle();
    int result(int rc);

    const char* function() const { return function_; }
    uint32_t module() const { return module_; }

private:
    void append(const char* name, const std::string& value);

    const char* function_;
    uint32_t module_;
    Needs needs_;
    bool logging_;
    bool logged_ = false;
    std::string args_;
};

} // namespace quillan

#endif // SIMCALL_H
