// One feature of a simulated module: its definition and its current state.
#ifndef SIMFEATURE_H
#define SIMFEATURE_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillan {

class SimFeatureStore;

enum class SimType : uint8_t {
    Integer = 2,
    Boolean = 3,
    Command = 4,
    Float = 5,
    String = 6,
    Register = 7,
    Category = 8,
    Enumeration = 9,
};

enum class SimAccess : uint8_t { RO, RW, WO };

// A feature value. Booleans and enumeration entry values live in i.
struct SimValue {
    int64_t i = 0;
    double f = 0.0;
    std::string s;

    static SimValue ofInt(int64_t v) { SimValue x; x.i = v; return x; }
    static SimValue ofFloat(double v) { SimValue x; x.f = v; return x; }
    static SimValue ofString(std::string v) { SimValue x; x.s = std::move(v); return x; }
};

struct SimEnumEntry {
    std::string name;
    int64_t value = 0;
    bool available = true;
};

// Operations a fault can be injected into.
enum class SimOp { Get, Set, Info, Enum, Execute };

struct SimFault {
    int code = 0;
    int remaining = 1;   // calls still to fail; -1 = always
    int after = 0;       // calls to let pass first
};

// Current range of a numeric feature.
struct SimRange {
    int64_t intMin = 0, intMax = 0, intInc = 1;
    double floatMin = 0.0, floatMax = 0.0, floatInc = 0.0;
};

// Values of the selectors of a feature, in the feature's selector order.
struct SimSelection {
    std::vector<std::string> names;   // selector feature names
    std::vector<std::string> entries; // entry name (enum) or decimal value (int)
    std::vector<int64_t> values;      // entry value or integer value
    std::string key() const;
};

// Hooks that bind a feature's value to state outside the store. They are
// called with no lock of the store held and may call back into the SDK.
struct SimExternalHooks {
    std::function<int(SimValue&)> get;
    std::function<int(const SimValue&)> set;
    std::function<int(uint32_t timeoutMs)> execute;
};

class SimFeature
{
public:
    std::string name;
    std::string displayName;
    std::string toolTip;
    std::string description;
    std::string rootName = "Root";
    std::string unit;
    std::string category;            // parent category; empty for Root
    SimType type = SimType::Integer;
    SimAccess access = SimAccess::RW;
    uint8_t visibility = 0;
    uint8_t level = 0;               // set when the store is finalised
    int extraDepth = 0;              // placed this many levels below its category
    uint8_t representation = 0;
    uint8_t displayNotation = 0;
    int32_t displayPrecision = 0;
    int32_t maxLength = 0;
    uint64_t registerLength = 0;
    uint64_t registerAddress = 0;    // register features: device memory address

    bool absent = false;             // not in the list at all
    bool available = true;           // present in the current state
    bool testLocked = false;
    bool readableOverride = true;    // false: unreadable on request
    bool lockedByTL = false;         // locked while TLParamsLocked is 1
    bool isVolatile = false;         // never invalidated by the camera
    bool persistent = true;          // stored in settings files and user sets
    bool rangeOverridden = false;

    SimRange range;
    std::vector<SimEnumEntry> entries;
    std::vector<std::string> selectors;
    std::vector<std::string> invalidates;

    SimValue value;                            // unselected value / default
    SimValue initialValue;                     // power-up value, kept by finalize
    std::map<std::string, SimValue> instances; // per selection key

    // Hooks evaluated under the store's lock; they must not call out.
    std::function<SimValue(const SimFeatureStore&, const SimSelection&)> compute;
    std::function<int(SimFeatureStore&, const SimSelection&, const SimValue&)> store;
    std::function<void(const SimFeatureStore&, const SimSelection&, SimRange&)> rangeFn;
    std::function<bool(const SimFeatureStore&, const SimSelection&)> availableFn;
    std::function<SimValue(const SimFeatureStore&, const SimSelection&)> instanceDefault;
    // Entries offered for one selection (default: every available entry).
    std::function<bool(const SimFeatureStore&, const SimSelection&, const SimEnumEntry&)> entryFilter;
    std::function<int(SimFeatureStore&)> action; // commands run under the lock

    SimExternalHooks external;

    std::map<SimOp, SimFault> faults;
    int slowMs = 0;
    uint32_t handle = 0;

    // A definition with its display name and tool tip made from the name.
    static SimFeature make(const std::string& name, SimType type, const std::string& category,
                           SimAccess access = SimAccess::RW);

    bool readable() const { return access != SimAccess::WO && readableOverride; }
    bool isNumeric() const { return type == SimType::Integer || type == SimType::Float; }
};

} // namespace quillan

#endif
