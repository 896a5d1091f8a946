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
                          uint32_t featureHandle, void* context, Callback cb, Callback2 cb2)
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

void SimInvalidation::remove(uint32_t module, const std::string& feature)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (const Ptr& r : regs_) {
        if (r->module == module && r->feature == feature) {
            Ptr keep = r;
            retire(lock, keep);
            return;
        }
    }
}

void SimInvalidation::removeModule(uint32_t module)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<Ptr> doomed;
    for (const Ptr& r : regs_)
        if (r->module == module)
            doomed.push_back(r);
    for (const Ptr& r : doomed)
        retire(lock, r);
}

void SimInvalidation::removeStore(const SimFeatureStore* store)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<Ptr> doomed;
    for (const Ptr& r : regs_)
        if (r->store == store)
            doomed.push_back(r);
    for (const Ptr& r : doomed)
        retire(lock, r);
}

void SimInvalidation::fire(const SimFeatureStore* store, const std::string& feature)
{
    std::vector<Ptr> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Ptr& r : regs_)
            if (r->store == store && r->feature == feature)
                targets.push_back(r);
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
