// Invalidation callbacks of the simulated SDK.
//
// A registration is made through a module handle for one feature of the
// module's store and a context. Several contexts may watch one feature of one
// module (the system and interface modules are shared by every camera behind
// them); registering again with the same context replaces that context's
// callback. An unregistration through (module, feature) removes one
// registration, the oldest, so one context's unregistering never silences the
// others while they are still registered.
//
// Callbacks run synchronously on the thread that fires, with no lock held.
// Unregistering waits for calls of the removed registration that run on
// other threads.
#ifndef SIMINVALIDATION_H
#define SIMINVALIDATION_H

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillan {

class SimFeatureStore;

class SimInvalidation
{
public:
    using Callback = void (*)(void* context, const char* featureName);
    using Callback2 = void (*)(void* context, const char* featureName, uint32_t feature);

    static SimInvalidation& instance();

    void add(uint32_t module, const SimFeatureStore* store, const std::string& feature,
             uint32_t featureHandle, void* context, Callback cb, Callback2 cb2 = nullptr);
    // Removes one registration of the feature made through the module; 0 also
    // when there is none.
    void remove(uint32_t module, const std::string& feature);
    // Drops every registration made through the module (module closed).
    void removeModule(uint32_t module);
    // Drops every registration on the store (store destroyed).
    void removeStore(const SimFeatureStore* store);
    // Calls every callback registered for the feature of the store.
    void fire(const SimFeatureStore* store, const std::string& feature);
    size_t count() const;

private:
    struct Registration {
        uint32_t module = 0;
        const SimFeatureStore* store = nullptr;
        std::string feature;
        uint32_t featureHandle = 0;
        void* context = nullptr;
        Callback cb = nullptr;
        Callback2 cb2 = nullptr;
        bool removed = false;
        std::multiset<std::thread::id> running;
    };
    using Ptr = std::shared_ptr<Registration>;
    void retire(std::unique_lock<std::mutex>& lock, const Ptr& reg);

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Ptr> regs_;   // in registration order
};

} // namespace quillan

#endif
