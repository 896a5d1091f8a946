#include "Execute.h"

#include "SetupLog.h"
#include "Win32Error.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the child until the deadline; true when it ended.
bool waitUntil(pid_t pid, Clock::time_point deadline, int& status)
{
    for (;;) {
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid)
            return true;
        if (result < 0 && errno != EINTR)
            return true; // nothing left to wait for
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

bool Execute(const std::string& application, const std::string& commandLine, bool hide, int timeoutMs)
{
    setupLog(0, "Execute >>>\n");

    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty())
        words.push_back(application);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (hide) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    // The tool leads a process group of its own, so that stopping it also
    // stops whatever it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, application.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error) {
        setupLog(0, "<<< Execute CreateProcess failed! %d\n",
                 static_cast<int>(driversetup::win32ErrorFromErrno(error)));
        return false;
    }

    int status = 0;
    const bool ended = waitUntil(pid, Clock::now() + std::chrono::milliseconds(timeoutMs), status);
    if (!ended) {
        setupLog(0, "Execute %s did not end within %g s: stopped\n", application.c_str(), timeoutMs / 1000.0);
        ::kill(-pid, SIGTERM);
        if (!waitUntil(pid, Clock::now() + std::chrono::seconds(2), status)) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    setupLog(0, "lpFile = %s\n", application.c_str());
    setupLog(0, "lpParameters = %s\n", commandLine.c_str());
    const bool succeeded = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (ended && !succeeded && WIFEXITED(status))
        setupLog(0, "Execute %s ended with exit code %d\n", application.c_str(), WEXITSTATUS(status));
    else if (ended && !succeeded && WIFSIGNALED(status))
        setupLog(0, "Execute %s ended by signal %d\n", application.c_str(), WTERMSIG(status));
    setupLog(0, "Execute <<<\n");
    return succeeded;
}
