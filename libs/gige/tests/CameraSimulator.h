// The GigE Vision camera simulator of aravis-tools (arv-fake-gv-camera-0.8)
// as a child process on 127.0.0.1, stopped by its process id.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace gvsp {

constexpr const char* kCameraSimulator = "arv-fake-gv-camera-0.8";

inline bool cameraSimulatorInstalled()
{
    return std::system((std::string("command -v ") + kCameraSimulator + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts the simulator, its output discarded; `lossPerThousand` GVSP packets
// are dropped on purpose. -1 when no process could be made.
inline pid_t startCameraSimulator(int lossPerThousand = 0)
{
    const std::string loss = std::to_string(lossPerThousand);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp(kCameraSimulator, kCameraSimulator, "-i", "127.0.0.1", "-r", loss.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

inline void stopCameraSimulator(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace gvsp
