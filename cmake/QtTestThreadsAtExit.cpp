// Linked into every Qt Test program. Qt Test ends its watchdog thread when
// the run ends, but Qt's threads are detached: their wait() returns before
// the system thread is gone. LeakSanitizer's check at exit crashes on a
// thread that is still leaving ("Tracer caught signal 11"), so the exit
// waits until no such thread is left.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace {

// Other threads of this process that still carry the name Qt gives a plain
// QThread.
int plainQtThreads()
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return 0;
    const std::string self = std::to_string(gettid());
    int count = 0;
    while (const dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.' || self == task->d_name)
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + task->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "QThread")
            ++count;
    }
    closedir(tasks);
    return count;
}

struct WaitForLeavingThreads {
    ~WaitForLeavingThreads()
    {
        // A leaving thread is gone in microseconds; the limit only keeps a
        // thread that never ends from holding the exit.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (plainQtThreads() > 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
} waitForLeavingThreads;

} // namespace
