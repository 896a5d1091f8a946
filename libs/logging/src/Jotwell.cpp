#include "Jotwell.h"

#include "JotwellContext.h"
#include "JotwellFile.h"
#include "JotwellLine.h"

#include <atomic>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace {

// Guards the context's life: every call reads under it, the first init and
// the last close write. Writers are preferred so that a close is not starved
// by tracing threads. Trivially destructible, so it outlives every caller.
pthread_rwlock_t g_lifeLock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
JotwellContext* g_context = nullptr;
// The process that made the context: a forked child has no writer thread to
// end, and its copy of the life lock may be held by a thread it lacks.
std::atomic<pid_t> g_contextPid{0};

template <int (*Lock)(pthread_rwlock_t*)>
class LifeGuard {
public:
    LifeGuard() { Lock(&g_lifeLock); }
    ~LifeGuard() { pthread_rwlock_unlock(&g_lifeLock); }
    LifeGuard(const LifeGuard&) = delete;
    LifeGuard& operator=(const LifeGuard&) = delete;
};
using ReadLife = LifeGuard<pthread_rwlock_rdlock>;
using WriteLife = LifeGuard<pthread_rwlock_wrlock>;

// The context with a running writer, or null.
JotwellContext* activeContext()
{
    return g_context && g_context->thread ? g_context : nullptr;
}

void writeBanner()
{
    const std::string dashes(56, '-');
    char exe[260];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string banner = dashes + "\r\nModuleFileName:";
    if (n > 0)
        banner.append(exe, static_cast<std::size_t>(n));
    banner += "\r\n" + dashes + "\r\n";
    jotwellWriteAll(STDERR_FILENO, banner.data(), banner.size());
}

void destroyContext()
{
    // In a forked child the writer does not exist: the context is left as is.
    if (g_contextPid.load() == getpid())
        delete g_context;
    g_context = nullptr;
    g_contextPid.store(0);
}

// A host that unloads the library or exits without the last close still gets
// its queued lines written, and no writer runs on in unloaded code.
__attribute__((destructor)) void jotwellUnload()
{
    if (g_contextPid.load() != getpid())
        return;
    WriteLife life;
    destroyContext();
}

} // namespace

extern "C" {

JOTWELL_API bool OrvLInit(void)
{
    WriteLife life;
    if (g_context) {
        g_context->refCount.fetch_add(1);
        return true;
    }
    g_context = new JotwellContext;
    g_contextPid.store(getpid());
    writeBanner();
    auto thread = std::make_unique<JotwellThread>();
    if (thread->Start())
        g_context->thread = std::move(thread);
    return true;
}

JOTWELL_API void OrvLClose(void)
{
    WriteLife life;
    if (!g_context)
        return;
    if (g_context->refCount.fetch_sub(1) - 1 > 0)
        return;
    destroyContext();
}

JOTWELL_API bool OrvLRegisterModule(const char* name, uint32_t mask)
{
    ReadLife life;
    return g_context && g_context->RegisterModule(name, mask);
}

JOTWELL_API bool OrvLEnableFileLogging(bool enable, const char* path)
{
    ReadLife life;
    JotwellContext* context = activeContext();
    return context && context->SwitchFile(enable, path);
}

JOTWELL_API bool OrvLEnableWindbg(bool enable)
{
    ReadLife life;
    JotwellContext* context = activeContext();
    if (!context)
        return false;
    context->SwitchDebugger(enable);
    return true;
}

JOTWELL_API void OrvLSetGlobalDebugLevel(uint32_t mask)
{
    ReadLife life;
    if (g_context)
        g_context->globalMask.store(mask, std::memory_order_relaxed);
}

JOTWELL_API void OrvLTraceA(const char* module, uint32_t level, const char* format,
                            va_list* arguments)
{
    ReadLife life;
    JotwellContext* context = activeContext();
    if (!context || !format)
        return;
    if ((level & context->globalMask.load(std::memory_order_relaxed)) == 0)
        return;
    if ((level & context->ModuleMask(module)) == 0)
        return;
    char buffer[kJotwellLineBufferSize];
    const std::size_t length = formatLogLine(buffer, sizeof buffer, module, level, format, arguments);
    context->thread->Enqueue(std::string(buffer, length));
}

} // extern "C"
