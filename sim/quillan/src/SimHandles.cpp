#include "SimHandles.h"

#include <algorithm>

namespace quillan {

const char* handleKindName(HandleKind kind)
{
    switch (kind) {
    case HandleKind::System: return "system";
    case HandleKind::Interface: return "interface";
    case HandleKind::Device: return "device";
    case HandleKind::RemoteDevice: return "remote";
    case HandleKind::Stream: return "stream";
    case HandleKind::Buffer: return "buffer";
    case HandleKind::Feature: return "feature";
    case HandleKind::Event: return "event";
    }
    return "?";
}

bool isModuleKind(HandleKind kind)
{
    return kind == HandleKind::System || kind == HandleKind::Interface || kind == HandleKind::Device
        || kind == HandleKind::RemoteDevice || kind == HandleKind::Stream;
}

SimHandles& SimHandles::instance()
{
    static SimHandles handles;
    return handles;
}

uint32_t SimHandles::add(HandleKind kind, std::shared_ptr<void> object, uint32_t owner)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == 0xFFFFFFFFu) // identifiers are never reused
        return 0;
    auto parent = entries_.find(owner);
    if (owner != 0 && parent == entries_.end())
        return 0;
    uint32_t handle = ++next_;
    entries_.emplace(handle, Entry{kind, std::move(object), owner, {}});
    if (owner != 0)
        parent->second.children.push_back(handle);
    return handle;
}

std::shared_ptr<void> SimHandles::getRaw(uint32_t handle, HandleKind kind) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(handle);
    if (it == entries_.end() || it->second.kind != kind)
        return nullptr;
    return it->second.object;
}

bool SimHandles::kindOf(uint32_t handle, HandleKind* kind) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(handle);
    if (it == entries_.end())
        return false;
    if (kind)
        *kind = it->second.kind;
    return true;
}

bool SimHandles::isLive(uint32_t handle) const
{
    return kindOf(handle, nullptr);
}

uint32_t SimHandles::ownerOf(uint32_t handle) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(handle);
    return it == entries_.end() ? 0 : it->second.owner;
}

std::vector<std::shared_ptr<void>> SimHandles::remove(uint32_t handle)
{
    std::vector<std::shared_ptr<void>> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(handle);
    if (it == entries_.end())
        return removed;
    auto parent = entries_.find(it->second.owner);
    if (parent != entries_.end()) {
        auto& siblings = parent->second.children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
    }
    removeLocked(handle, removed);
    return removed;
}

void SimHandles::removeLocked(uint32_t handle, std::vector<std::shared_ptr<void>>& removed)
{
    auto it = entries_.find(handle);
    if (it == entries_.end())
        return;
    std::vector<uint32_t> children = std::move(it->second.children);
    removed.push_back(std::move(it->second.object));
    entries_.erase(it);
    for (uint32_t child : children)
        removeLocked(child, removed);
}

std::vector<uint32_t> SimHandles::handlesOf(HandleKind kind, uint32_t owner) const
{
    std::vector<uint32_t> result;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [handle, entry] : entries_)
        if (entry.kind == kind && (owner == 0 || entry.owner == owner))
            result.push_back(handle);
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<std::shared_ptr<void>> SimHandles::clear()
{
    std::vector<std::shared_ptr<void>> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [handle, entry] : entries_)
        removed.push_back(std::move(entry.object));
    entries_.clear();
    return removed;
}

size_t SimHandles::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

} // namespace quillan
