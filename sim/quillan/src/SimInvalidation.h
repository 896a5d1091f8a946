// Invalidation callbacks of the simulated SDK.
//
// A registration is made through a module handle for one feature of the
// module's store and a context. Several contexts may watch one feature of one
// module (the system and interface modules are shared by every camera behind
// them) and each is called; registering again with the same context replaces
// that context's callback. An unregistration names only the module and the
// feature, not the context, so it removes every registration of the feature
// made through that module: removing a guessed one could leave the context of
// a destroyed caller registered and call it later. Registrations through
// other module handles stay.
//
// Callbacks run synchronously on the thread that fires, with no lock held.
// Unregistering waits for calls of the removed registration that run on
// other threads.
#ifndef SIMINVALIDATION_H
#define SIMINVALIDATION_H

#include <condition_variable>
#include <cstdint>
#include <functional>
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

    // checkModule: the module is an SDK handle whose closing (see
    // setModuleCheck) ends the registration.
    void add(uint32_t module, const SimFeatureStore* store, const std::string& feature,
             uint32_t featureHandle, void* context, Callback cb, Callback2 cb2 = nullptr,
             bool checkModule = false);
    // Removes the registrations of the feature made through the module.
    void remove(uint32_t module, const std::string& feature);
    // Drops every registration made through the module (module closed).
    void removeModule(uint32_t module);
    // Drops every registration on the store (store destroyed).
    void removeStore(const SimFeatureStore* store);
    // Tells whether a module handle is still open; checked registrations
    // made through a closed one are dropped instead of called.
    void setModuleCheck(std::function<bool(uint32_t module)> isOpen);
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
        bool checkModule = false;
        bool removed = false;
        std::multiset<std::thread::id> running;
    };
    using Ptr = std::shared_ptr<Registration>;
    void retire(std::unique_lock<std::mutex>& lock, const Ptr& reg);
    template <class Pred>
    void removeIf(Pred pred);

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Ptr> regs_;   // in registration order
    std::function<bool(uint32_t)> isOpen_;
};

} // namespace quillan

#endif
