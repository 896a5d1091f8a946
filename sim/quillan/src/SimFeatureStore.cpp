#include "SimFeatureStore.h"

#include "OrvSdk.h"
#include "SimInvalidation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <thread>

namespace quillan {

namespace {

constexpr int kOk = ORV_SUCCESS;
constexpr int kInvalidHandle = ORV_ERROR_INVALID_HANDLE;
constexpr int kInvalidArgument = ORV_ERROR_INVALID_ARGUMENT;
constexpr int kAccessDenied = ORV_ERROR_ACCESS_DENIED;
constexpr int kEndOfList = ORV_ERROR_END_OF_LIST;
constexpr int kNotAvailable = ORV_ERROR_NOT_AVAILABLE;
constexpr int kOutOfRange = ORV_ERROR_OUT_OF_RANGE;
constexpr int kTimeout = ORV_ERROR_TIMEOUT;

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

bool parseInt(const std::string& text, int64_t& out)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const char* s = text.c_str();
    long long v;
    if (text[0] == '-')
        v = std::strtoll(s, &end, 0);
    else
        v = static_cast<long long>(std::strtoull(s, &end, 0));
    if (errno != 0 || *end != '\0')
        return false;
    out = v;
    return true;
}

bool parseDouble(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

std::string escapeText(const std::string& s)
{
    std::string r;
    for (char c : s) {
        if (c == '\\')
            r += "\\\\";
        else if (c == '\n')
            r += "\\n";
        else
            r += c;
    }
    return r;
}

std::string unescapeText(const std::string& s)
{
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            r += s[i] == 'n' ? '\n' : s[i];
        } else {
            r += s[i];
        }
    }
    return r;
}

} // namespace

SimFeatureStore::SimFeatureStore(std::string moduleName, std::shared_ptr<SimStoreGroup> group)
    : moduleName_(std::move(moduleName)), group_(std::move(group))
{
}

SimFeatureStore::~SimFeatureStore()
{
    SimInvalidation::instance().removeStore(this);
}

// ---------------------------------------------------------------------------
// Definition
// ---------------------------------------------------------------------------

SimFeature& SimFeatureStore::define(SimFeature feature)
{
    const uint32_t id = static_cast<uint32_t>(defs_.size());
    byName_[feature.name] = id;
    if (feature.displayName.empty())
        feature.displayName = feature.name;
    defs_.push_back(std::move(feature));
    return defs_.back();
}

void SimFeatureStore::finalize()
{
    // Children of each category in definition order.
    std::unordered_map<std::string, std::vector<uint32_t>> children;
    uint32_t root = npos;
    for (uint32_t id = 0; id < defs_.size(); ++id) {
        if (defs_[id].category.empty())
            root = id;
        else
            children[defs_[id].category].push_back(id);
    }
    order_.clear();
    if (root != npos) {
        std::vector<std::pair<uint32_t, int>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [id, level] = stack.back();
            stack.pop_back();
            SimFeature& f = defs_[id];
            f.level = static_cast<uint8_t>(level + f.extraDepth);
            order_.push_back(id);
            auto it = children.find(f.name);
            if (it == children.end())
                continue;
            for (auto c = it->second.rbegin(); c != it->second.rend(); ++c)
                stack.push_back({*c, f.level + 1});
        }
    }

    auto addLink = [](SimFeature& f, const std::string& target) {
        if (std::find(f.invalidates.begin(), f.invalidates.end(), target) == f.invalidates.end())
            f.invalidates.push_back(target);
    };
    SimFeature* tl = findMutable("TLParamsLocked");
    for (SimFeature& f : defs_) {
        f.initialValue = f.value;
        for (const std::string& s : f.selectors)
            if (SimFeature* sel = findMutable(s))
                addLink(*sel, f.name);
        if (tl && f.lockedByTL)
            addLink(*tl, f.name);
    }
    rebuildWalk();
}

void SimFeatureStore::linkInvalidation(const std::string& name, SimFeatureStore* other,
                                       const std::string& otherName)
{
    links_[name].push_back({other, otherName});
}

void SimFeatureStore::rebuildWalk()
{
    walk_.clear();
    for (uint32_t id : order_) {
        const SimFeature* f = &defs_[id];
        bool hidden = false;
        while (f) {
            if (f->absent) {
                hidden = true;
                break;
            }
            f = f->category.empty() ? nullptr : find(f->category);
        }
        if (!hidden)
            walk_.push_back(id);
    }
}

// ---------------------------------------------------------------------------
// Helpers (lock held)
// ---------------------------------------------------------------------------

SimFeature* SimFeatureStore::byId(uint32_t id)
{
    return id < defs_.size() ? &defs_[id] : nullptr;
}

const SimFeature* SimFeatureStore::byId(uint32_t id) const
{
    return id < defs_.size() ? &defs_[id] : nullptr;
}

const SimFeature* SimFeatureStore::find(const std::string& name) const
{
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &defs_[it->second];
}

SimFeature* SimFeatureStore::findMutable(const std::string& name)
{
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &defs_[it->second];
}

SimSelection SimFeatureStore::selectionOf(const SimFeature& f) const
{
    SimSelection sel;
    for (const std::string& s : f.selectors) {
        const SimFeature* sf = find(s);
        if (!sf)
            continue;
        // A selector that is itself selected (FilenameIndex by FileSelector)
        // counts with its current instance.
        const int64_t v = valueAt(*sf, sf->selectors.empty() ? SimSelection{} : selectionOf(*sf)).i;
        std::string text = std::to_string(v);
        if (sf->type == SimType::Enumeration) {
            for (const SimEnumEntry& e : sf->entries)
                if (e.value == v) {
                    text = e.name;
                    break;
                }
        }
        sel.names.push_back(s);
        sel.entries.push_back(text);
        sel.values.push_back(v);
    }
    return sel;
}

SimValue SimFeatureStore::valueAt(const SimFeature& f, const SimSelection& sel) const
{
    if (f.compute)
        return f.compute(*this, sel);
    if (sel.names.empty())
        return f.value;
    auto it = f.instances.find(sel.key());
    if (it != f.instances.end())
        return it->second;
    if (f.instanceDefault)
        return f.instanceDefault(*this, sel);
    return f.value;
}

void SimFeatureStore::assignAt(SimFeature& f, const SimSelection& sel, const SimValue& v)
{
    if (sel.names.empty())
        f.value = v;
    else
        f.instances[sel.key()] = v;
}

SimValue SimFeatureStore::valueOf(const std::string& name) const
{
    const SimFeature* f = find(name);
    return f ? valueAt(*f, selectionOf(*f)) : SimValue{};
}

std::string SimFeatureStore::entryNameOf(const std::string& name) const
{
    const SimFeature* f = find(name);
    if (!f)
        return {};
    const int64_t v = valueAt(*f, selectionOf(*f)).i;
    for (const SimEnumEntry& e : f->entries)
        if (e.value == v)
            return e.name;
    return {};
}

SimRange SimFeatureStore::rangeOf(const SimFeature& f, const SimSelection& sel) const
{
    SimRange r = f.range;
    if (f.rangeFn && !f.rangeOverridden)
        f.rangeFn(*this, sel, r);
    return r;
}

bool SimFeatureStore::isAvailable(const SimFeature& f, const SimSelection& sel) const
{
    if (f.absent || !f.available)
        return false;
    if (f.availableFn && !f.availableFn(*this, sel))
        return false;
    for (const SimFeature* c = f.category.empty() ? nullptr : find(f.category); c;
         c = c->category.empty() ? nullptr : find(c->category))
        if (!c->available || c->absent)
            return false;
    return true;
}

std::vector<const SimEnumEntry*> SimFeatureStore::availableEntries(const SimFeature& f,
                                                                  const SimSelection& sel) const
{
    std::vector<const SimEnumEntry*> out;
    for (const SimEnumEntry& e : f.entries)
        if (e.available && (!f.entryFilter || f.entryFilter(*this, sel, e)))
            out.push_back(&e);
    return out;
}

bool SimFeatureStore::lockedNow(const SimFeature& f, bool readOnly) const
{
    if (readOnly || f.testLocked || f.access == SimAccess::RO)
        return true;
    if (f.lockedByTL) {
        const SimFeature* tl = find("TLParamsLocked");
        if (tl && valueAt(*tl, SimSelection{}).i == 1)
            return true;
    }
    return false;
}

int SimFeatureStore::checkFault(SimFeature& f, SimOp op)
{
    auto it = f.faults.find(op);
    if (it == f.faults.end())
        return kOk;
    SimFault& fault = it->second;
    if (fault.after > 0) {
        --fault.after;
        return kOk;
    }
    const int code = fault.code;
    if (fault.remaining > 0 && --fault.remaining == 0)
        f.faults.erase(it);
    return code;
}

int SimFeatureStore::validate(const SimFeature& f, const SimSelection& sel, const SimValue& v) const
{
    const SimRange r = rangeOf(f, sel);
    switch (f.type) {
    case SimType::Integer:
        if (v.i < r.intMin || v.i > r.intMax)
            return kOutOfRange;
        if (r.intInc > 0 && (v.i - r.intMin) % r.intInc != 0)
            return kOutOfRange;
        return kOk;
    case SimType::Float:
        if (std::isnan(v.f) || v.f < r.floatMin || v.f > r.floatMax)
            return kOutOfRange;
        return kOk;
    case SimType::String:
        if (f.maxLength > 0 && v.s.size() > static_cast<size_t>(f.maxLength))
            return kOutOfRange;
        return kOk;
    case SimType::Enumeration:
        for (const SimEnumEntry* e : availableEntries(f, sel))
            if (e->value == v.i)
                return kOk;
        return kOutOfRange;
    default:
        return kOk;
    }
}

int SimFeatureStore::writeLocked(SimFeature& f, const SimSelection& sel, const SimValue& v)
{
    int rc = kOk;
    if (f.store)
        rc = f.store(*this, sel, v);
    else
        assignAt(f, sel, v);
    if (rc == kOk)
        collectInvalidation(f);
    return rc;
}

void SimFeatureStore::collectByName(const std::string& name) const
{
    group_->pending.push_back({this, name});
    auto it = links_.find(name);
    if (it != links_.end())
        for (const auto& link : it->second)
            group_->pending.push_back({link.first, link.second});
}

void SimFeatureStore::collectInvalidation(const SimFeature& f) const
{
    if (!f.isVolatile)
        collectByName(f.name);
    for (const std::string& n : f.invalidates) {
        const SimFeature* t = find(n);
        if (t && !t->isVolatile)
            collectByName(n);
    }
}

std::vector<std::pair<const SimFeatureStore*, std::string>> SimFeatureStore::takePending() const
{
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    items.swap(group_->pending);
    return items;
}

void SimFeatureStore::fire(const std::vector<std::pair<const SimFeatureStore*, std::string>>& items)
{
    std::set<std::pair<const SimFeatureStore*, std::string>> seen;
    for (const auto& item : items)
        if (seen.insert(item).second)
            SimInvalidation::instance().fire(item.first, item.second);
}

// ---------------------------------------------------------------------------
// Lookup
// ---------------------------------------------------------------------------

int SimFeatureStore::findByName(const std::string& name, uint32_t* id) const
{
    std::lock_guard<std::mutex> lock(mutex());
    auto it = byName_.find(name);
    if (it == byName_.end() || std::find(walk_.begin(), walk_.end(), it->second) == walk_.end())
        return kNotAvailable;
    *id = it->second;
    return kOk;
}

int SimFeatureStore::featureAt(uint32_t index, uint32_t* id) const
{
    std::lock_guard<std::mutex> lock(mutex());
    if (index >= walk_.size())
        return kEndOfList;
    *id = walk_[index];
    return kOk;
}

size_t SimFeatureStore::listSize() const
{
    std::lock_guard<std::mutex> lock(mutex());
    return walk_.size();
}

std::string SimFeatureStore::nameOf(uint32_t id) const
{
    std::lock_guard<std::mutex> lock(mutex());
    const SimFeature* f = byId(id);
    return f ? f->name : std::string();
}

bool SimFeatureStore::exists(uint32_t id) const
{
    std::lock_guard<std::mutex> lock(mutex());
    return std::find(walk_.begin(), walk_.end(), id) != walk_.end();
}

// ---------------------------------------------------------------------------
// Feature operations
// ---------------------------------------------------------------------------

int SimFeatureStore::info(uint32_t id, SimFeatureInfo& out, bool readOnly)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = byId(id);
    if (!f)
        return kInvalidHandle;
    if (f->absent)
        return kNotAvailable;
    if (int rc = checkFault(*f, SimOp::Info))
        return rc;
    const SimSelection sel = selectionOf(*f);
    out = SimFeatureInfo{};
    out.type = f->type;
    out.name = f->name;
    out.rootName = f->rootName;
    out.displayName = f->displayName;
    out.toolTip = f->toolTip;
    out.unit = f->unit;
    out.level = f->level;
    out.visibility = f->visibility;
    out.available = isAvailable(*f, sel);
    out.readable = f->readable() && f->type != SimType::Command && f->type != SimType::Category;
    const bool categoryOrCommand = f->type == SimType::Category || f->type == SimType::Command;
    out.locked = categoryOrCommand ? (readOnly || f->testLocked) : lockedNow(*f, readOnly);
    out.writable = !out.locked && f->type != SimType::Category;
    out.range = rangeOf(*f, sel);
    out.representation = f->representation;
    out.displayNotation = f->displayNotation;
    out.displayPrecision = f->displayPrecision;
    out.maxLength = f->maxLength;
    out.registerLength = f->registerLength;
    if (f->type == SimType::Enumeration) {
        const int64_t current = valueAt(*f, sel).i;
        int32_t count = 0;
        int32_t index = -1;
        for (const SimEnumEntry* e : availableEntries(*f, sel)) {
            if (e->value == current && index < 0)
                index = count;
            ++count;
        }
        out.enumCount = count;
        out.enumIndex = index < 0 ? count : index;
    }
    return kOk;
}

int SimFeatureStore::description(uint32_t id, std::string& out)
{
    std::lock_guard<std::mutex> lock(mutex());
    const SimFeature* f = byId(id);
    if (!f)
        return kInvalidHandle;
    if (f->absent)
        return kNotAvailable;
    out = f->description;
    return kOk;
}

int SimFeatureStore::getValue(uint32_t id, SimType expected, SimValue& out, bool* outOfRange)
{
    std::function<int(SimValue&)> external;
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = byId(id);
        if (!f)
            return kInvalidHandle;
        const SimSelection sel = selectionOf(*f);
        if (!isAvailable(*f, sel))
            return kNotAvailable;
        if (f->type != expected)
            return kInvalidArgument;
        if (!f->readable())
            return kAccessDenied;
        if (int rc = checkFault(*f, SimOp::Get))
            return rc;
        if (f->external.get) {
            external = f->external.get;
        } else {
            out = valueAt(*f, sel);
            if (outOfRange) {
                const SimRange r = rangeOf(*f, sel);
                *outOfRange = f->type == SimType::Integer && (out.i < r.intMin || out.i > r.intMax);
            }
            return kOk;
        }
    }
    if (outOfRange)
        *outOfRange = false;
    return external(out);
}

int SimFeatureStore::setValue(uint32_t id, SimType expected, const SimValue& value, bool readOnly)
{
    std::function<int(const SimValue&)> external;
    SimFeature* f = nullptr;
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    int rc = kOk;
    {
        std::lock_guard<std::mutex> lock(mutex());
        f = byId(id);
        if (!f)
            return kInvalidHandle;
        const SimSelection sel = selectionOf(*f);
        if (!isAvailable(*f, sel))
            return kNotAvailable;
        if (f->type != expected)
            return kInvalidArgument;
        if (lockedNow(*f, readOnly))
            return kAccessDenied;
        if ((rc = checkFault(*f, SimOp::Set)))
            return rc;
        if ((rc = validate(*f, sel, value)))
            return rc;
        if (f->external.set)
            external = f->external.set;
        else
            rc = writeLocked(*f, sel, value);
        items = takePending();
    }
    if (external) {
        rc = external(value);
        if (rc == kOk) {
            std::lock_guard<std::mutex> lock(mutex());
            collectInvalidation(*f);
            items = takePending();
        }
    }
    fire(items);
    return rc;
}

int SimFeatureStore::getEnumName(uint32_t id, std::string& out)
{
    SimValue v;
    int rc = getValue(id, SimType::Enumeration, v);
    out.clear();
    if (rc != kOk)
        return rc;
    std::lock_guard<std::mutex> lock(mutex());
    const SimFeature& f = defs_[id];
    for (const SimEnumEntry* e : availableEntries(f, selectionOf(f)))
        if (e->value == v.i) {
            out = e->name;
            return kOk;
        }
    return kOutOfRange;
}

int SimFeatureStore::setEnumName(uint32_t id, const std::string& entry, bool readOnly)
{
    int64_t value = 0;
    {
        std::lock_guard<std::mutex> lock(mutex());
        const SimFeature* f = byId(id);
        if (!f)
            return kInvalidHandle;
        if (f->type != SimType::Enumeration)
            return kInvalidArgument;
        const SimSelection current = selectionOf(*f);
        const auto offered = availableEntries(*f, current);
        auto it = std::find_if(offered.begin(), offered.end(),
                               [&](const SimEnumEntry* e) { return e->name == entry; });
        if (it == offered.end()) {
            // A missing entry is refused after the lock and availability tests.
            const SimSelection sel = selectionOf(*f);
            if (!isAvailable(*f, sel))
                return kNotAvailable;
            if (lockedNow(*f, readOnly))
                return kAccessDenied;
            return kOutOfRange;
        }
        value = (*it)->value;
    }
    return setValue(id, SimType::Enumeration, SimValue::ofInt(value), readOnly);
}

int SimFeatureStore::enumEntry(uint32_t id, int32_t index, std::string& name, int64_t& value)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = byId(id);
    if (!f)
        return kInvalidHandle;
    if (f->type != SimType::Enumeration || index < 0)
        return kEndOfList;
    if (int rc = checkFault(*f, SimOp::Enum))
        return rc;
    const auto offered = availableEntries(*f, selectionOf(*f));
    if (static_cast<size_t>(index) >= offered.size())
        return kEndOfList;
    name = offered[index]->name;
    value = offered[index]->value;
    return kOk;
}

int SimFeatureStore::execute(uint32_t id, uint32_t timeoutMs, bool readOnly)
{
    SimFeature* f = nullptr;
    int slow = 0;
    {
        std::lock_guard<std::mutex> lock(mutex());
        f = byId(id);
        if (!f)
            return kInvalidHandle;
        if (!isAvailable(*f, selectionOf(*f)))
            return kNotAvailable;
        if (f->type != SimType::Command)
            return kInvalidArgument;
        if (readOnly || f->testLocked)
            return kAccessDenied;
        if (int rc = checkFault(*f, SimOp::Execute))
            return rc;
        slow = f->slowMs;
    }
    if (slow > 0) {
        const int wait = std::min<int64_t>(slow, timeoutMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        if (slow > static_cast<int64_t>(timeoutMs))
            return kTimeout;
    }
    std::function<int(uint32_t)> external;
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    int rc = kOk;
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (f->action)
            rc = f->action(*this);
        external = f->external.execute;
        if (rc == kOk && !external)
            collectInvalidation(*f);
        items = takePending();
    }
    if (rc == kOk && external) {
        rc = external(timeoutMs);
        if (rc == kOk) {
            std::lock_guard<std::mutex> lock(mutex());
            collectInvalidation(*f);
            auto more = takePending();
            items.insert(items.end(), more.begin(), more.end());
        }
    }
    fire(items);
    return rc;
}

int SimFeatureStore::checkRegister(SimFeature& f, uint64_t offset, size_t length, bool write, bool readOnly)
{
    if (f.type != SimType::Register)
        return kOutOfRange;
    if (!isAvailable(f, selectionOf(f)))
        return kNotAvailable;
    if (write ? lockedNow(f, readOnly) : !f.readable())
        return kAccessDenied;
    if (offset > f.registerLength || length > f.registerLength - offset)
        return kOutOfRange;
    return checkFault(f, write ? SimOp::Set : SimOp::Get);
}

int SimFeatureStore::readRegister(uint32_t id, uint64_t offset, void* data, size_t length)
{
    std::function<int(uint64_t, void*, size_t)> read;
    uint64_t address = 0;
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = byId(id);
        if (!f)
            return kInvalidHandle;
        if (int rc = checkRegister(*f, offset, length, false, false))
            return rc;
        if (!registerBacking_.read) {
            std::string& bytes = f->value.s;
            bytes.resize(f->registerLength, '\0');
            std::memcpy(data, bytes.data() + offset, length);
            return kOk;
        }
        read = registerBacking_.read;
        address = f->registerAddress + offset;
    }
    return read(address, data, length);
}

int SimFeatureStore::writeRegister(uint32_t id, uint64_t offset, const void* data, size_t length,
                                   bool readOnly)
{
    std::function<int(uint64_t, const void*, size_t)> write;
    uint64_t address = 0;
    SimFeature* f = nullptr;
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    {
        std::lock_guard<std::mutex> lock(mutex());
        f = byId(id);
        if (!f)
            return kInvalidHandle;
        if (int rc = checkRegister(*f, offset, length, true, readOnly))
            return rc;
        if (!registerBacking_.write) {
            std::string& bytes = f->value.s;
            bytes.resize(f->registerLength, '\0');
            std::memcpy(&bytes[offset], data, length);
            collectInvalidation(*f);
            items = takePending();
        } else {
            write = registerBacking_.write;
            address = f->registerAddress + offset;
        }
    }
    if (write) {
        const int rc = write(address, data, length);
        if (rc != kOk)
            return rc;
        std::lock_guard<std::mutex> lock(mutex());
        collectInvalidation(*f);
        items = takePending();
    }
    fire(items);
    return kOk;
}

// ---------------------------------------------------------------------------
// Camera side and test control
// ---------------------------------------------------------------------------

int SimFeatureStore::parseSpec(const std::string& spec, SimFeature*& f, SimSelection& sel,
                               std::string* error)
{
    const size_t bracket = spec.find('[');
    const std::string name = spec.substr(0, bracket);
    f = findMutable(name);
    if (!f) {
        setError(error, "unknown feature " + name);
        return kNotAvailable;
    }
    sel = selectionOf(*f);
    size_t pos = bracket;
    while (pos != std::string::npos && pos < spec.size()) {
        const size_t close = spec.find(']', pos);
        const size_t eq = spec.find('=', pos);
        if (spec[pos] != '[' || close == std::string::npos || eq == std::string::npos || eq > close) {
            setError(error, "malformed selection in " + spec);
            return kInvalidArgument;
        }
        const std::string selName = spec.substr(pos + 1, eq - pos - 1);
        const std::string entry = spec.substr(eq + 1, close - eq - 1);
        auto it = std::find(sel.names.begin(), sel.names.end(), selName);
        const SimFeature* sf = find(selName);
        if (it == sel.names.end() || !sf) {
            setError(error, selName + " does not select " + name);
            return kInvalidArgument;
        }
        const size_t k = static_cast<size_t>(it - sel.names.begin());
        int64_t v = 0;
        if (sf->type == SimType::Enumeration) {
            auto e = std::find_if(sf->entries.begin(), sf->entries.end(),
                                  [&](const SimEnumEntry& x) { return x.name == entry; });
            if (e == sf->entries.end()) {
                setError(error, "no entry " + entry + " in " + selName);
                return kOutOfRange;
            }
            v = e->value;
        } else if (!parseInt(entry, v)) {
            setError(error, "bad selector value " + entry);
            return kOutOfRange;
        }
        sel.entries[k] = entry;
        sel.values[k] = v;
        pos = close + 1;
    }
    return kOk;
}

bool SimFeatureStore::parseValue(const SimFeature& f, const std::string& text, SimValue& out) const
{
    switch (f.type) {
    case SimType::Integer:
        return parseInt(text, out.i);
    case SimType::Boolean:
        if (text == "1" || text == "true")
            out.i = 1;
        else if (text == "0" || text == "false")
            out.i = 0;
        else
            return false;
        return true;
    case SimType::Float:
        return parseDouble(text, out.f);
    case SimType::String:
        out.s = unescapeText(text);
        return true;
    case SimType::Enumeration:
        for (const SimEnumEntry& e : f.entries)
            if (e.name == text) {
                out.i = e.value;
                return true;
            }
        return parseInt(text, out.i);
    default:
        return false;
    }
}

std::string SimFeatureStore::formatValue(const SimFeature& f, const SimValue& v) const
{
    switch (f.type) {
    case SimType::Integer:
    case SimType::Boolean:
        return std::to_string(v.i);
    case SimType::Float: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", v.f);
        return buf;
    }
    case SimType::String:
        return escapeText(v.s);
    case SimType::Enumeration:
        for (const SimEnumEntry& e : f.entries)
            if (e.value == v.i)
                return e.name;
        return std::to_string(v.i);
    default:
        return {};
    }
}

int SimFeatureStore::forceSet(const std::string& spec, const std::string& text, std::string* error)
{
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    int rc = kOk;
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = nullptr;
        SimSelection sel;
        if ((rc = parseSpec(spec, f, sel, error)))
            return rc;
        SimValue v = valueAt(*f, sel);
        if (!parseValue(*f, text, v)) {
            setError(error, "bad value " + text + " for " + f->name);
            return kOutOfRange;
        }
        if (f->compute && !f->store) {
            setError(error, f->name + " is computed by the camera");
            return kAccessDenied;
        }
        rc = writeLocked(*f, sel, v);
        items = takePending();
    }
    fire(items);
    return rc;
}

int SimFeatureStore::setRange(const std::string& name, const std::string& minText,
                              const std::string& maxText, const std::string& incText, std::string* error)
{
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = findMutable(name);
        if (!f || !f->isNumeric()) {
            setError(error, "no numeric feature " + name);
            return kNotAvailable;
        }
        SimRange r = rangeOf(*f, selectionOf(*f));
        bool ok = true;
        if (f->type == SimType::Integer) {
            ok = parseInt(minText, r.intMin) && parseInt(maxText, r.intMax)
                 && (incText.empty() || parseInt(incText, r.intInc));
        } else {
            ok = parseDouble(minText, r.floatMin) && parseDouble(maxText, r.floatMax)
                 && (incText.empty() || parseDouble(incText, r.floatInc));
        }
        if (!ok) {
            setError(error, "bad range for " + name);
            return kOutOfRange;
        }
        f->range = r;
        f->rangeOverridden = true;
    }
    return invalidate(name);
}

int SimFeatureStore::setAbsent(const std::string& name, bool absent)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = findMutable(name);
    if (!f)
        return kNotAvailable;
    f->absent = absent;
    rebuildWalk();
    return kOk;
}

int SimFeatureStore::setFlag(const std::string& name, bool SimFeature::*flag, bool value)
{
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = findMutable(name);
        if (!f)
            return kNotAvailable;
        f->*flag = value;
    }
    return invalidate(name);
}

int SimFeatureStore::setAvailable(const std::string& name, bool available)
{
    return setFlag(name, &SimFeature::available, available);
}

int SimFeatureStore::setLocked(const std::string& name, bool locked)
{
    return setFlag(name, &SimFeature::testLocked, locked);
}

int SimFeatureStore::setReadable(const std::string& name, bool readable)
{
    return setFlag(name, &SimFeature::readableOverride, readable);
}

int SimFeatureStore::changeEntry(const std::string& name, const std::string& entry,
                                 const std::function<bool(SimEnumEntry&)>& change)
{
    {
        std::lock_guard<std::mutex> lock(mutex());
        SimFeature* f = findMutable(name);
        if (!f || f->type != SimType::Enumeration)
            return kNotAvailable;
        auto e = std::find_if(f->entries.begin(), f->entries.end(),
                              [&](const SimEnumEntry& x) { return x.name == entry; });
        if (e == f->entries.end() || !change(*e))
            return kOutOfRange;
    }
    return invalidate(name);
}

int SimFeatureStore::setEntryAvailable(const std::string& name, const std::string& entry, bool available)
{
    return changeEntry(name, entry, [available](SimEnumEntry& e) {
        e.available = available;
        return true;
    });
}

int SimFeatureStore::renameEntry(const std::string& name, const std::string& entry, const std::string& newName)
{
    return changeEntry(name, entry, [&newName](SimEnumEntry& e) {
        if (newName.empty())
            return false;
        e.name = newName;
        return true;
    });
}

int SimFeatureStore::addFault(const std::string& name, SimOp op, SimFault fault)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = findMutable(name);
    if (!f)
        return kNotAvailable;
    f->faults[op] = fault;
    return kOk;
}

void SimFeatureStore::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex());
    for (SimFeature& f : defs_) {
        f.faults.clear();
        f.slowMs = 0;
    }
}

int SimFeatureStore::setSlow(const std::string& name, int ms)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = findMutable(name);
    if (!f)
        return kNotAvailable;
    f->slowMs = ms;
    return kOk;
}

int SimFeatureStore::invalidate(const std::string& name)
{
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (!find(name))
            return kNotAvailable;
        collectByName(name);
        items = takePending();
    }
    fire(items);
    return kOk;
}

void SimFeatureStore::invalidateAll()
{
    std::vector<std::pair<const SimFeatureStore*, std::string>> items;
    {
        std::lock_guard<std::mutex> lock(mutex());
        for (uint32_t id : walk_)
            if (defs_[id].type != SimType::Category)
                collectByName(defs_[id].name);
        items = takePending();
    }
    fire(items);
}

std::string SimFeatureStore::stateText(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex());
    std::ostringstream out;
    auto line = [&](const SimFeature& f) {
        const SimSelection sel = selectionOf(f);
        out << f.name << sel.key() << "=";
        if (f.type != SimType::Category && f.type != SimType::Command && f.type != SimType::Register
            && !f.external.get)
            out << formatValue(f, valueAt(f, sel));
        out << " available=" << (isAvailable(f, sel) ? 1 : 0)
            << " locked=" << (lockedNow(f, false) ? 1 : 0)
            << " readable=" << (f.readable() ? 1 : 0) << "\n";
    };
    if (!name.empty()) {
        if (const SimFeature* f = find(name))
            line(*f);
        return out.str();
    }
    for (uint32_t id : walk_)
        line(defs_[id]);
    return out.str();
}

int SimFeatureStore::bindExternal(const std::string& name, SimExternalHooks hooks)
{
    std::lock_guard<std::mutex> lock(mutex());
    SimFeature* f = findMutable(name);
    if (!f)
        return kNotAvailable;
    f->external = std::move(hooks);
    return kOk;
}

// ---------------------------------------------------------------------------
// Settings and user sets
// ---------------------------------------------------------------------------

std::vector<SimSelection> SimFeatureStore::allSelections(const SimFeature& f) const
{
    std::vector<SimSelection> result{SimSelection{}};
    for (const std::string& s : f.selectors) {
        const SimFeature* sf = find(s);
        if (!sf)
            continue;
        std::vector<std::pair<std::string, int64_t>> options;
        if (sf->type == SimType::Enumeration) {
            for (const SimEnumEntry& e : sf->entries)
                options.push_back({e.name, e.value});
        } else {
            const SimRange r = rangeOf(*sf, SimSelection{});
            const int64_t step = r.intInc > 0 ? r.intInc : 1;
            for (int64_t v = r.intMin; v <= r.intMax; v += step)
                options.push_back({std::to_string(v), v});
        }
        std::vector<SimSelection> next;
        for (const SimSelection& base : result)
            for (const auto& o : options) {
                SimSelection x = base;
                x.names.push_back(s);
                x.entries.push_back(o.first);
                x.values.push_back(o.second);
                next.push_back(std::move(x));
            }
        result.swap(next);
    }
    return result;
}

std::vector<std::string> SimFeatureStore::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex());
    std::set<std::string> selectorNames;
    for (const SimFeature& f : defs_)
        for (const std::string& s : f.selectors)
            selectorNames.insert(s);
    auto stored = [&](const SimFeature& f) {
        if (!f.persistent || f.access != SimAccess::RW || f.testLocked || f.external.get
            || (f.compute && !f.store))
            return false;
        return f.type == SimType::Integer || f.type == SimType::Float || f.type == SimType::Boolean
               || f.type == SimType::String || f.type == SimType::Enumeration;
    };
    std::vector<std::string> lines;
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t id : walk_) {
            const SimFeature& f = defs_[id];
            if (!stored(f) || (selectorNames.count(f.name) > 0) != (pass == 1))
                continue;
            for (const SimSelection& sel : allSelections(f)) {
                if (!isAvailable(f, sel))
                    continue;
                const SimValue v = valueAt(f, sel);
                // An enumeration whose value matches no offered entry has nothing to restore.
                if (f.type == SimType::Enumeration && validate(f, sel, v) != kOk)
                    continue;
                lines.push_back(f.name + sel.key() + "=" + formatValue(f, v));
            }
        }
    }
    return lines;
}

int SimFeatureStore::applyLine(const std::string& line, bool readOnly, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex());
    const size_t close = line.rfind(']');
    const size_t eq = line.find('=', close == std::string::npos ? 0 : close);
    if (eq == std::string::npos) {
        setError(error, "malformed line: " + line);
        return kOutOfRange;
    }
    SimFeature* f = nullptr;
    SimSelection sel;
    if (parseSpec(line.substr(0, eq), f, sel, error) != kOk)
        return kOutOfRange;
    SimValue v;
    if (!parseValue(*f, line.substr(eq + 1), v)) {
        setError(error, "bad value in line: " + line);
        return kOutOfRange;
    }
    if (!isAvailable(*f, sel))
        return kNotAvailable;
    if (lockedNow(*f, readOnly)) {
        setError(error, f->name + " is locked");
        return kAccessDenied;
    }
    if (int rc = validate(*f, sel, v)) {
        setError(error, "value refused: " + line);
        return rc;
    }
    return writeLocked(*f, sel, v);
}

void SimFeatureStore::resetValues()
{
    std::lock_guard<std::mutex> lock(mutex());
    for (SimFeature& f : defs_) {
        f.value = f.initialValue;
        f.instances.clear();
    }
}

} // namespace quillan
