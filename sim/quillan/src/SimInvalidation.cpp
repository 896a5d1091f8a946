#include "SimInvalidation.h"

#include <algorithm>
#include <set>

namespace quillan {

SimInvalidation& SimInvalidation::instance()
{
    static SimInvalidation registry;
    return registry;
}

void SimInvalidation::add(uint32_t module, const SimFeatureStore* store, const std::string& feature,
                          uint32_t featureHandle, void* context, Callback cb, Callback2 cb2, bool checkModule)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (const Ptr& r : regs_) {
        if (r->module == module && r->feature == feature && r->context == context && r->store == store) {
            r->cb = cb;
            r->cb2 = cb2;
            r->featureHandle = featureHandle;
            return;
        }
    }
    auto reg = std::make_shared<Registration>();
    reg->module = module;
    reg->store = store;
    reg->feature = feature;
    reg->featureHandle = featureHandle;
    reg->context = context;
    reg->cb = cb;
    reg->cb2 = cb2;
    reg->checkModule = checkModule;
    regs_.push_back(std::move(reg));
}

void SimInvalidation::retire(std::unique_lock<std::mutex>& lock, const Ptr& reg)
{
    reg->removed = true;
    regs_.erase(std::remove(regs_.begin(), regs_.end(), reg), regs_.end());
    const auto self = std::this_thread::get_id();
    // A callback that unregisters itself must not wait for itself.
    idle_.wait(lock, [&] {
        return std::all_of(reg->running.begin(), reg->running.end(),
                           [&](std::thread::id t) { return t == self; });
    });
}

template <class Pred>
void SimInvalidation::removeIf(Pred pred)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<Ptr> doomed;
    for (const Ptr& r : regs_)
        if (pred(*r))
            doomed.push_back(r);
    for (const Ptr& r : doomed)
        retire(lock, r);
}

void SimInvalidation::remove(uint32_t module, const std::string& feature)
{
    removeIf([&](const Registration& r) { return r.module == module && r.feature == feature; });
}

void SimInvalidation::removeModule(uint32_t module)
{
    removeIf([&](const Registration& r) { return r.module == module; });
}

void SimInvalidation::removeStore(const SimFeatureStore* store)
{
    removeIf([&](const Registration& r) { return r.store == store; });
}

void SimInvalidation::setModuleCheck(std::function<bool(uint32_t)> isOpen)
{
    std::lock_guard<std::mutex> lock(mutex_);
    isOpen_ = std::move(isOpen);
}

void SimInvalidation::fire(const SimFeatureStore* store, const std::string& feature)
{
    std::vector<Ptr> targets;
    std::function<bool(uint32_t)> isOpen;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        isOpen = isOpen_;
        for (const Ptr& r : regs_)
            if (r->store == store && r->feature == feature)
                targets.push_back(r);
    }
    if (isOpen) {
        std::vector<uint32_t> closed;
        for (const Ptr& r : targets)
            if (r->checkModule && !isOpen(r->module))
                closed.push_back(r->module);
        for (uint32_t module : closed)
            removeModule(module);
    }
    const auto self = std::this_thread::get_id();
    for (const Ptr& r : targets) {
        Callback cb;
        Callback2 cb2;
        void* context;
        uint32_t handle;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (r->removed)
                continue;
            r->running.insert(self);
            cb = r->cb;
            cb2 = r->cb2;
            context = r->context;
            handle = r->featureHandle;
        }
        if (cb2)
            cb2(context, feature.c_str(), handle);
        else if (cb)
            cb(context, feature.c_str());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            r->running.erase(r->running.find(self));
        }
        idle_.notify_all();
    }
}

size_t SimInvalidation::count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return regs_.size();
}

} // namespace quillan
