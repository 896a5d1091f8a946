// The C exports of the simulated SDK: the 91 functions of the contract and
// the test-control entry OrvSimControl.
#ifndef QUILLANEXPORTS_H
#define QUILLANEXPORTS_H

#include "OrvSdk.h"

#define QUILLAN_EXPORT __attribute__((visibility("default")))

extern "C" {
#define QUILLAN_DECLARE_EXPORT(row, name, ret, params, args) QUILLAN_EXPORT ret name params;
ORV_SDK_FUNCTIONS(QUILLAN_DECLARE_EXPORT)
#undef QUILLAN_DECLARE_EXPORT

// Test control: one command line in, a text reply out. 0 when the command was
// understood and applied, -1006 otherwise with the reason in the reply.
// reply may be null; *replySize holds the buffer size in and the bytes
// written (terminator included) out. A reply that does not fit is cut.
QUILLAN_EXPORT int OrvSimControl(const char* command, char* reply, size_t* replySize);
}

typedef int (*OrvSimControlFn)(const char* command, char* reply, size_t* replySize);

#endif // QUILLANEXPORTS_H
