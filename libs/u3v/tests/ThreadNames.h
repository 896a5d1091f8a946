// The threads of this process by name (as /proc shows them).
#pragma once

#include <dirent.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

// The thread libusb runs for a context.
constexpr const char* kLibusbThread = "libusb_event";

inline int threadsNamed(const std::string& name)
{
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return -1;
    int count = 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string text;
        std::getline(comm, text);
        count += text == name;
    }
    closedir(dir);
    return count;
}

// The count once it is `expected`, or after two seconds: a new thread names
// itself a moment after it starts.
inline int threadsNamed(const std::string& name, int expected)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int count = threadsNamed(name);
    while (count != expected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        count = threadsNamed(name);
    }
    return count;
}
