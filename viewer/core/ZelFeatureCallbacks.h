#ifndef ZELFEATURECALLBACKS_H
#define ZELFEATURECALLBACKS_H

#include "OrvSdk.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class ZelFeatureManager;

// The SDK callbacks of every feature manager of the process.
//
// System and interface modules are shared by all cameras behind them, so
// several managers may watch one feature of one module. The SDK gets one
// registration per module and feature (and one file-access registration per
// module) whose context is the module handle, never a manager's address; the
// registration goes away when the last manager watching it leaves. A callback
// reaches only managers still attached, and detaching waits for calls running
// on other threads, so no callback reaches a deleted manager.
//
// Slots connected directly to the signals on the SDK's threads must not
// register or unregister callbacks.
class ZelFeatureCallbacks
{
public:
    // One manager's membership; the manager owns it.
    struct Listener {
        explicit Listener(ZelFeatureManager* manager) : owner(manager) {}
        ZelFeatureManager* const owner;
        std::atomic<bool> closed{false};
        std::multiset<std::thread::id> running; // guarded by the registry's lock
    };
    using ListenerPtr = std::shared_ptr<Listener>;

    static ZelFeatureCallbacks& instance();

    // The SDK result of the registration; 0 when the SDK already had one.
    int addInvalidation(const ListenerPtr& listener, ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature,
                        const std::string& name);
    // The SDK result of the unregistration; 0 while other managers still watch.
    int removeInvalidation(const ListenerPtr& listener, ORV_MODULE_HANDLE module, const std::string& name);
    int addTransfer(const ListenerPtr& listener, ORV_MODULE_HANDLE module);
    int removeTransfer(const ListenerPtr& listener, ORV_MODULE_HANDLE module);
    // Removes every registration of the listener and waits for its running
    // callbacks on other threads.
    void detach(const ListenerPtr& listener);

    // Number of SDK registrations held (tests).
    size_t sdkInvalidationCount() const;

    static void invalidateCallback(void* context, const char* featureName);
    static void transferCallback(void* context, const int64_t* remaining, const char* fileName,
                                 const char* operation);

private:
    struct Invalidation {
        ORV_FEATURE_HANDLE feature = 0;
        std::vector<ListenerPtr> listeners;
    };
    using Key = std::pair<ORV_MODULE_HANDLE, std::string>;

    ZelFeatureCallbacks() = default;
    std::vector<ListenerPtr> enter(const std::vector<ListenerPtr>* listeners);
    void leave(const std::vector<ListenerPtr>& entered);

    // Serialises the SDK registrations with the changes of the tables.
    std::recursive_mutex m_registerMutex;
    // Guards the tables and the listeners' running sets.
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::map<Key, Invalidation> m_invalidations;
    std::map<ORV_MODULE_HANDLE, std::vector<ListenerPtr>> m_transfers;
};

#endif // ZELFEATURECALLBACKS_H
