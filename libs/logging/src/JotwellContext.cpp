#include "JotwellContext.h"

namespace {

bool sameNameIgnoringCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}

} // namespace

JotwellContext::~JotwellContext()
{
    // The writer ends first and writes what is queued, then the file closes.
    if (thread)
        thread->Stop();
    thread.reset();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_modules.clear();
    }
    m_logFile.reset();
}

bool JotwellContext::RegisterModule(const char* name, uint32_t mask)
{
    if (!name)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    for (const JotwellModule& module : m_modules)
        if (sameNameIgnoringCase(module.name, name))
            return false;
    m_modules.push_back({name, mask});
    return true;
}

uint32_t JotwellContext::ModuleMask(const char* name)
{
    if (!name)
        return 0xFFFFFFFFu;
    std::lock_guard<std::mutex> guard(m_lock);
    for (const JotwellModule& module : m_modules)
        if (sameNameIgnoringCase(module.name, name))
            return module.mask;
    return 0xFFFFFFFFu;
}

bool JotwellContext::SwitchFile(bool enable, const char* path)
{
    std::lock_guard<std::mutex> guard(m_sinkSwitch);
    thread->Flush();
    std::shared_ptr<JotwellFile> file;
    if (enable)
        file = JotwellFile::Create(path);
    m_logFile = file;
    thread->SetFile(std::move(file));
    return !enable || m_logFile != nullptr;
}

void JotwellContext::SwitchDebugger(bool enable)
{
    std::lock_guard<std::mutex> guard(m_sinkSwitch);
    thread->Flush();
    thread->SetDebugger(enable);
}
