// The test-control export.
#include "QuillanExports.h"
#include "SimControl.h"

#include <algorithm>
#include <cstring>

int OrvSimControl(const char* command, char* reply, size_t* replySize)
{
    std::string answer;
    int rc = command ? quillan::SimControl::run(command, answer) : ORV_ERROR_INVALID_ARGUMENT;
    if (!command)
        answer = "no command";
    if (reply && replySize && *replySize > 0) {
        size_t n = std::min(answer.size(), *replySize - 1);
        std::memcpy(reply, answer.data(), n);
        reply[n] = '\0';
        *replySize = n + 1;
    } else if (replySize) {
        *replySize = answer.size() + 1;
    }
    return rc;
}
