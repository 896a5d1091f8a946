#include "ZelFeatureCallbacks.h"

#include "ZelFeatureManager.h"
#include "ZelSdkLoader.h"

#include <algorithm>
#include <cstdint>

namespace {

void* contextOf(ORV_MODULE_HANDLE module)
{
    return reinterpret_cast<void*>(uintptr_t(module));
}

ORV_MODULE_HANDLE moduleOf(void* context)
{
    return ORV_MODULE_HANDLE(reinterpret_cast<uintptr_t>(context));
}

bool removeFrom(std::vector<ZelFeatureCallbacks::ListenerPtr>& listeners,
                const ZelFeatureCallbacks::ListenerPtr& listener)
{
    const auto it = std::find(listeners.begin(), listeners.end(), listener);
    if (it == listeners.end())
        return false;
    listeners.erase(it);
    return true;
}

} // namespace

ZelFeatureCallbacks& ZelFeatureCallbacks::instance()
{
    static ZelFeatureCallbacks callbacks;
    return callbacks;
}

int ZelFeatureCallbacks::addInvalidation(const ListenerPtr& listener, ORV_MODULE_HANDLE module,
                                         ORV_FEATURE_HANDLE feature, const std::string& name)
{
    std::lock_guard<std::recursive_mutex> registering(m_registerMutex);
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Invalidation& entry = m_invalidations[Key(module, name)];
        first = entry.listeners.empty();
        if (std::find(entry.listeners.begin(), entry.listeners.end(), listener) != entry.listeners.end())
            return ORV_SUCCESS;
        if (first)
            entry.feature = feature;
        entry.listeners.push_back(listener);
    }
    if (!first)
        return ORV_SUCCESS;
    const int rc = OrvFeatureRegisterInvalidateCB(module, feature, contextOf(module), &invalidateCallback);
    if (rc != ORV_SUCCESS) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_invalidations.erase(Key(module, name));
    }
    return rc;
}

int ZelFeatureCallbacks::removeInvalidation(const ListenerPtr& listener, ORV_MODULE_HANDLE module,
                                            const std::string& name)
{
    std::lock_guard<std::recursive_mutex> registering(m_registerMutex);
    ORV_FEATURE_HANDLE feature = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_invalidations.find(Key(module, name));
        if (it == m_invalidations.end() || !removeFrom(it->second.listeners, listener))
            return ORV_SUCCESS;
        if (!it->second.listeners.empty())
            return ORV_SUCCESS;
        feature = it->second.feature;
        m_invalidations.erase(it);
    }
    return OrvFeatureUnRegisterInvalidateCB(module, feature);
}

int ZelFeatureCallbacks::addTransfer(const ListenerPtr& listener, ORV_MODULE_HANDLE module)
{
    std::lock_guard<std::recursive_mutex> registering(m_registerMutex);
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<ListenerPtr>& listeners = m_transfers[module];
        if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
            return ORV_SUCCESS;
        first = listeners.empty();
        listeners.push_back(listener);
    }
    if (!first)
        return ORV_SUCCESS;
    const int rc = OrvDeviceRegisterFileAccessCB(module, contextOf(module), &transferCallback);
    if (rc != ORV_SUCCESS) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_transfers.erase(module);
    }
    return rc;
}

int ZelFeatureCallbacks::removeTransfer(const ListenerPtr& listener, ORV_MODULE_HANDLE module)
{
    std::lock_guard<std::recursive_mutex> registering(m_registerMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_transfers.find(module);
        if (it == m_transfers.end() || !removeFrom(it->second, listener))
            return ORV_SUCCESS;
        if (!it->second.empty())
            return ORV_SUCCESS;
        m_transfers.erase(it);
    }
    return OrvDeviceUnRegisterFileAccessCB(module);
}

void ZelFeatureCallbacks::detach(const ListenerPtr& listener)
{
    {
        std::lock_guard<std::recursive_mutex> registering(m_registerMutex);
        std::vector<std::pair<ORV_MODULE_HANDLE, ORV_FEATURE_HANDLE>> features;
        std::vector<ORV_MODULE_HANDLE> transfers;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            listener->closed = true;
            for (auto it = m_invalidations.begin(); it != m_invalidations.end();) {
                if (removeFrom(it->second.listeners, listener) && it->second.listeners.empty()) {
                    features.emplace_back(it->first.first, it->second.feature);
                    it = m_invalidations.erase(it);
                } else {
                    ++it;
                }
            }
            for (auto it = m_transfers.begin(); it != m_transfers.end();) {
                if (removeFrom(it->second, listener) && it->second.empty()) {
                    transfers.push_back(it->first);
                    it = m_transfers.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (const auto& feature : features)
            OrvFeatureUnRegisterInvalidateCB(feature.first, feature.second);
        for (ORV_MODULE_HANDLE module : transfers)
            OrvDeviceUnRegisterFileAccessCB(module);
    }
    // A callback on this thread may be deleting the manager: it is not waited for.
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [&] {
        return std::all_of(listener->running.begin(), listener->running.end(),
                           [&](std::thread::id thread) { return thread == self; });
    });
}

size_t ZelFeatureCallbacks::sdkInvalidationCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_invalidations.size();
}

std::vector<ZelFeatureCallbacks::ListenerPtr> ZelFeatureCallbacks::enter(const std::vector<ListenerPtr>* listeners)
{
    std::vector<ListenerPtr> entered;
    if (!listeners)
        return entered;
    const std::thread::id self = std::this_thread::get_id();
    for (const ListenerPtr& listener : *listeners) {
        if (listener->closed)
            continue;
        listener->running.insert(self);
        entered.push_back(listener);
    }
    return entered;
}

void ZelFeatureCallbacks::leave(const std::vector<ListenerPtr>& entered)
{
    if (entered.empty())
        return;
    const std::thread::id self = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const ListenerPtr& listener : entered)
            listener->running.erase(listener->running.find(self));
    }
    m_idle.notify_all();
}

void ZelFeatureCallbacks::invalidateCallback(void* context, const char* featureName)
{
    if (!context || !featureName)
        return;
    ZelFeatureCallbacks& self = instance();
    const std::string name(featureName, qstrnlen(featureName, ORV_TEXT_SIZE));
    std::vector<ListenerPtr> entered;
    {
        std::lock_guard<std::mutex> lock(self.m_mutex);
        const auto it = self.m_invalidations.find(Key(moduleOf(context), name));
        entered = self.enter(it == self.m_invalidations.end() ? nullptr : &it->second.listeners);
    }
    for (const ListenerPtr& listener : entered) {
        if (!listener->closed)
            listener->owner->notifyInvalidated(name);
    }
    self.leave(entered);
}

void ZelFeatureCallbacks::transferCallback(void* context, const int64_t* remaining, const char* fileName,
                                           const char* operation)
{
    if (!context || !remaining)
        return;
    ZelFeatureCallbacks& self = instance();
    const qint64 left = *remaining;
    const QString file = fileName ? QString::fromUtf8(fileName, int(qstrnlen(fileName, ORV_TEXT_SIZE))) : QString();
    const QString what = operation ? QString::fromUtf8(operation, int(qstrnlen(operation, ORV_TEXT_SIZE))) : QString();
    std::vector<ListenerPtr> entered;
    {
        std::lock_guard<std::mutex> lock(self.m_mutex);
        const auto it = self.m_transfers.find(moduleOf(context));
        entered = self.enter(it == self.m_transfers.end() ? nullptr : &it->second);
    }
    for (const ListenerPtr& listener : entered) {
        if (!listener->closed)
            listener->owner->notifyTransfer(left, file, what);
    }
    self.leave(entered);
}
