#include "SimOpenHolds.h"

#include "SimCamera.h"
#include "SimHooks.h"
#include "SimWorld.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace quillan {

namespace {

struct Hold {
    long pid;
    std::string key;
};

bool alive(long pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    lseek(fd, 0, SEEK_SET);
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
    return text;
}

// The holds of live processes in the file's text.
std::vector<Hold> liveHolds(const std::string& text)
{
    std::vector<Hold> holds;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        Hold h;
        if (words >> h.pid >> h.key && alive(h.pid))
            holds.push_back(h);
    }
    return holds;
}

// A file descriptor locked for the time of one read or rewrite.
class LockedFile
{
public:
    LockedFile(const std::string& path, bool write)
        : fd_(open(path.c_str(), (write ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0666))
    {
        if (fd_ >= 0)
            while (flock(fd_, write ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
    }
    ~LockedFile()
    {
        if (fd_ >= 0)
            close(fd_); // releases the lock
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::mutex& ownMutex()
{
    static std::mutex m;
    return m;
}

std::set<std::string>& ownKeys()
{
    static std::set<std::string> keys;
    return keys;
}

const bool hooked = [] {
    SimHooks& hooks = SimHooks::instance();
    hooks.onDeviceOpened(
        [](const std::shared_ptr<SimCamera>& camera, uint32_t) { SimOpenHolds::hold(camera->key(), true); });
    hooks.onDeviceClosing(
        [](const std::shared_ptr<SimCamera>& camera, uint32_t) { SimOpenHolds::hold(camera->key(), false); });
    return true;
}();

} // namespace

std::string SimOpenHolds::path()
{
    const std::string state = SimWorld::ipStatePath();
    return state.empty() ? state : state + ".open";
}

void SimOpenHolds::hold(const std::string& key, bool held)
{
    std::lock_guard<std::mutex> lock(ownMutex());
    if (held)
        ownKeys().insert(key);
    else
        ownKeys().erase(key);
    const std::string file = path();
    if (file.empty())
        return;
    LockedFile f(file, true);
    if (f.fd() < 0)
        return;
    // Other processes' live holds stay; this process's become the set held now.
    const long self = static_cast<long>(getpid());
    std::ostringstream out;
    for (const Hold& h : liveHolds(readAll(f.fd())))
        if (h.pid != self)
            out << h.pid << ' ' << h.key << '\n';
    for (const std::string& k : ownKeys())
        out << self << ' ' << k << '\n';
    const std::string text = out.str();
    if (ftruncate(f.fd(), 0) == 0)
        (void)!pwrite(f.fd(), text.data(), text.size(), 0);
}

bool SimOpenHolds::held(const std::string& key)
{
    const std::string file = path();
    if (file.empty())
        return false;
    LockedFile f(file, false);
    if (f.fd() < 0)
        return false;
    for (const Hold& h : liveHolds(readAll(f.fd())))
        if (h.key == key)
            return true;
    return false;
}

} // namespace quillan
