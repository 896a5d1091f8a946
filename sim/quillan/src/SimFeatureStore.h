// The feature list of one simulated module (system, interface, device,
// remote device or stream): definitions, tree order, values and the rules of
// reading and writing them.
//
// Features are addressed by an id that stays the same for the life of the
// store (the position in its definition list). Every public operation takes
// the store's lock, which the stores of one camera share; invalidations that
// an operation causes are fired after the lock is released, on the calling
// thread, through SimInvalidation.
#ifndef SIMFEATURESTORE_H
#define SIMFEATURESTORE_H

#include "SimFeature.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillan {

// What OrvFeatureGetInfo reports, before it is copied into the SDK record.
struct SimFeatureInfo {
    SimType type = SimType::Integer;
    std::string name, rootName, displayName, toolTip, unit;
    uint8_t level = 0, visibility = 0;
    bool available = false, readable = false, locked = false, writable = false;
    SimRange range;
    uint8_t representation = 0, displayNotation = 0;
    int32_t displayPrecision = 0, maxLength = 0, enumIndex = 0;
    int64_t enumCount = 0;
    uint64_t registerLength = 0;
};

// The lock that the stores of one camera share, with the invalidations that
// an operation collects until it releases the lock.
struct SimStoreGroup {
    std::mutex mutex;
    std::vector<std::pair<const class SimFeatureStore*, std::string>> pending;
};

class SimFeatureStore
{
public:
    static constexpr uint32_t npos = 0xFFFFFFFFu;

    explicit SimFeatureStore(std::string moduleName,
                             std::shared_ptr<SimStoreGroup> group = std::make_shared<SimStoreGroup>());
    ~SimFeatureStore();
    SimFeatureStore(const SimFeatureStore&) = delete;
    SimFeatureStore& operator=(const SimFeatureStore&) = delete;

    // ---- definition (before the store is shared) ----
    SimFeature& define(SimFeature feature);
    // Computes the tree order, levels and the invalidation links that follow
    // from selectors and from TLParamsLocked.
    void finalize();
    // When `name` of this store is invalidated, `other`'s `otherName` is too.
    void linkInvalidation(const std::string& name, SimFeatureStore* other, const std::string& otherName);
    // Memory behind register features; called by register-feature reads/writes.
    struct RegisterBacking {
        std::function<int(uint64_t address, void* data, size_t length)> read;
        std::function<int(uint64_t address, const void* data, size_t length)> write;
    };
    void setRegisterBacking(RegisterBacking backing) { registerBacking_ = std::move(backing); }

    const std::string& moduleName() const { return moduleName_; }
    std::mutex& mutex() const { return group_->mutex; }

    // ---- lookup ----
    int findByName(const std::string& name, uint32_t* id) const;
    // The index-th feature of the depth-first walk (Root at 0); -1008 past the end.
    int featureAt(uint32_t index, uint32_t* id) const;
    size_t listSize() const;
    std::string nameOf(uint32_t id) const;
    bool exists(uint32_t id) const;

    // ---- the SDK's feature operations; readOnly = device opened read-only ----
    int info(uint32_t id, SimFeatureInfo& out, bool readOnly);
    int description(uint32_t id, std::string& out);
    // Reads the current instance. For integers *outOfRange tells that the
    // value lies outside the current range (the caller returns -1005).
    int getValue(uint32_t id, SimType expected, SimValue& out, bool* outOfRange = nullptr);
    int setValue(uint32_t id, SimType expected, const SimValue& value, bool readOnly);
    int getEnumName(uint32_t id, std::string& out);
    int setEnumName(uint32_t id, const std::string& entry, bool readOnly);
    // The index-th available entry; -1008 at or past the end and for non-enumerations.
    int enumEntry(uint32_t id, int32_t index, std::string& name, int64_t& value);
    int execute(uint32_t id, uint32_t timeoutMs, bool readOnly);
    int readRegister(uint32_t id, uint64_t offset, void* data, size_t length);
    int writeRegister(uint32_t id, uint64_t offset, const void* data, size_t length, bool readOnly);

    // ---- camera side and test control ----
    // "Feature[Sel=entry]..." = text; no range or lock check; fires invalidation.
    int forceSet(const std::string& spec, const std::string& text, std::string* error = nullptr);
    int setRange(const std::string& name, const std::string& minText, const std::string& maxText,
                 const std::string& incText, std::string* error = nullptr);
    int setAbsent(const std::string& name, bool absent);
    int setAvailable(const std::string& name, bool available);
    int setLocked(const std::string& name, bool locked);
    int setReadable(const std::string& name, bool readable);
    int setEntryAvailable(const std::string& name, const std::string& entry, bool available);
    int renameEntry(const std::string& name, const std::string& entry, const std::string& newName);
    int addFault(const std::string& name, SimOp op, SimFault fault);
    void clearFaults();
    int setSlow(const std::string& name, int ms);
    // Fires the callbacks of one feature (no change) or of every feature.
    int invalidate(const std::string& name);
    void invalidateAll();
    // "name=value;lock=..;available=.." lines of one feature or of all.
    std::string stateText(const std::string& name) const;
    // Binds a feature's value or command to the outside (no lock held).
    int bindExternal(const std::string& name, SimExternalHooks hooks);

    // ---- settings and user sets ----
    // Every stored instance of the writable features, in list order, the
    // selectors last: "Feature=value" or "Feature[Sel=entry]...=value".
    std::vector<std::string> snapshot() const;
    // Applies one line as a write (range and lock checked, current selectors
    // untouched). Invalidations are collected, not fired.
    int applyLine(const std::string& line, bool readOnly, std::string* error = nullptr);
    // Resets every value to its definition default (power-up).
    void resetValues();

    // ---- helpers for hooks that run under the lock ----
    const SimFeature* find(const std::string& name) const;
    SimFeature* findMutable(const std::string& name);
    SimSelection selectionOf(const SimFeature& f) const;
    SimValue valueOf(const std::string& name) const;   // current instance
    SimValue valueAt(const SimFeature& f, const SimSelection& sel) const;
    int64_t intOf(const std::string& name) const { return valueOf(name).i; }
    std::string entryNameOf(const std::string& name) const;
    SimRange rangeOf(const SimFeature& f, const SimSelection& sel) const;
    bool isAvailable(const SimFeature& f, const SimSelection& sel) const;
    // The entries offered now, in their fixed order.
    std::vector<const SimEnumEntry*> availableEntries(const SimFeature& f, const SimSelection& sel) const;

private:
    void assignAt(SimFeature& f, const SimSelection& sel, const SimValue& v);
    bool lockedNow(const SimFeature& f, bool readOnly) const;
    int checkFault(SimFeature& f, SimOp op);
    int setFlag(const std::string& name, bool SimFeature::*flag, bool value);
    // Applies change to one entry of an enumeration and fires its
    // invalidation; change returns false to refuse.
    int changeEntry(const std::string& name, const std::string& entry, const std::function<bool(SimEnumEntry&)>& change);
    int checkRegister(SimFeature& f, uint64_t offset, size_t length, bool write, bool readOnly);
    int validate(const SimFeature& f, const SimSelection& sel, const SimValue& v) const;
    int writeLocked(SimFeature& f, const SimSelection& sel, const SimValue& v);
    void collectInvalidation(const SimFeature& f) const;
    void collectByName(const std::string& name) const;
    void rebuildWalk();
    SimFeature* byId(uint32_t id);
    const SimFeature* byId(uint32_t id) const;
    int parseSpec(const std::string& spec, SimFeature*& f, SimSelection& sel, std::string* error);
    bool parseValue(const SimFeature& f, const std::string& text, SimValue& out) const;
    std::string formatValue(const SimFeature& f, const SimValue& v) const;
    std::vector<SimSelection> allSelections(const SimFeature& f) const;
    // Takes the pending invalidations; the caller fires them unlocked.
    std::vector<std::pair<const SimFeatureStore*, std::string>> takePending() const;
    static void fire(const std::vector<std::pair<const SimFeatureStore*, std::string>>& items);

    std::string moduleName_;
    std::shared_ptr<SimStoreGroup> group_;
    std::vector<SimFeature> defs_;
    std::unordered_map<std::string, uint32_t> byName_;
    std::vector<uint32_t> walk_;   // ids in depth-first order, absent ones left out
    std::vector<uint32_t> order_;  // ids in depth-first order, all
    std::unordered_map<std::string, std::vector<std::pair<SimFeatureStore*, std::string>>> links_;
    RegisterBacking registerBacking_;
};

} // namespace quillan

#endif
