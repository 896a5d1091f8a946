// Feature, register, device memory and camera settings exports.
//
// Feature handles are issued per module handle and feature, belong to that
// module handle (they go when it closes) and are refused with any other
// module, except that a register feature of a remote device may be written
// through the device module of the same camera.
#include "FeatureStore.h"
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimInvalidation.h"
#include "SimText.h"

#include <cstring>
#include <map>
#include <mutex>

using namespace quillan;

namespace {

struct FeatureHandleEntry {
    std::shared_ptr<FeatureStore> fs;
    uint32_t id = 0;
    uint32_t module = 0;
    std::weak_ptr<SimCamera> camera;
    std::string name;
};

std::mutex& cacheMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::pair<uint32_t, uint32_t>, uint32_t>& handleCache()
{
    static std::map<std::pair<uint32_t, uint32_t>, uint32_t> cache;
    return cache;
}

// The handle of a feature through a module handle; the same one every time
// while the module handle lives.
uint32_t handleFor(uint32_t module, const SimModuleRef& ref, const std::shared_ptr<FeatureStore>& fs, uint32_t id)
{
    std::lock_guard<std::mutex> lock(cacheMutex());
    auto& cache = handleCache();
    auto it = cache.find({module, id});
    if (it != cache.end() && SimHandles::instance().isLive(it->second))
        return it->second;
    auto entry = std::make_shared<FeatureHandleEntry>();
    entry->fs = fs;
    entry->id = id;
    entry->module = module;
    entry->camera = ref.camera;
    entry->name = fs->store->nameOf(id);
    const uint32_t handle = SimHandles::instance().add(HandleKind::Feature, entry, module);
    cache[{module, id}] = handle;
    return handle;
}

std::string nameOf(uint32_t feature)
{
    auto entry = SimHandles::instance().get<FeatureHandleEntry>(feature, HandleKind::Feature);
    return entry ? entry->name : std::to_string(feature);
}

struct Target {
    SimModuleRef ref;
    std::shared_ptr<FeatureHandleEntry> entry;
    SimFeatureStore* store = nullptr;
    bool readOnly = false; // remote-device feature of a camera opened read-only
};

int resolveStore(uint32_t module, SimModuleRef* ref, std::shared_ptr<FeatureStore>* fs)
{
    if (int rc = resolveModule(module, ref))
        return rc;
    *fs = FeatureStore::of(*ref);
    if (!*fs || !(*fs)->store)
        return ORV_ERROR_NOT_AVAILABLE;
    return ORV_SUCCESS;
}

int resolveFeature(uint32_t module, uint32_t feature, Target* t, bool sameCameraModule = false)
{
    if (int rc = resolveModule(module, &t->ref))
        return rc;
    t->entry = SimHandles::instance().get<FeatureHandleEntry>(feature, HandleKind::Feature);
    if (!t->entry)
        return ORV_ERROR_INVALID_HANDLE;
    if (t->entry->module != module) {
        auto owner = t->entry->camera.lock();
        if (!sameCameraModule || !owner || owner != t->ref.camera)
            return ORV_ERROR_INVALID_HANDLE;
    }
    t->store = t->entry->fs->store;
    if (!t->store->exists(t->entry->id))
        return ORV_ERROR_INVALID_HANDLE;
    const auto& camera = t->entry->fs->camera;
    auto owner = t->entry->camera.lock();
    t->readOnly = camera && t->store == &camera->remote() && owner && owner->readOnlyOpen();
    return ORV_SUCCESS;
}

std::shared_ptr<SimCameraFeatures> cameraOf(const SimModuleRef& ref)
{
    if (ref.kind != HandleKind::Device && ref.kind != HandleKind::RemoteDevice)
        return nullptr;
    return FeatureStore::ofCamera(ref.camera);
}

void copyInfo(const SimFeatureInfo& in, ORV_FEATURE_INFO* out)
{
    std::memset(out, 0, sizeof *out);
    out->interfaceType = static_cast<uint8_t>(in.type);
    copyText(out->name, in.name);
    copyText(out->rootName, in.rootName);
    copyText(out->displayName, in.displayName);
    copyText(out->toolTip, in.toolTip);
    copyText(out->unit, in.unit);
    out->level = in.level;
    out->visibility = in.visibility;
    out->isAvailable = in.available;
    out->isReadable = in.readable;
    out->isLocked = in.locked;
    out->isWritable = in.writable;
    out->isImplemented = 1;
    out->intMin = in.range.intMin;
    out->intMax = in.range.intMax;
    out->intInc = in.range.intInc;
    out->floatMin = in.range.floatMin;
    out->floatMax = in.range.floatMax;
    out->floatInc = in.range.floatInc;
    out->representation = in.representation;
    out->displayNotation = in.displayNotation;
    out->displayPrecision = in.displayPrecision;
    out->maxLength = in.maxLength;
    out->enumIndex = in.enumIndex;
    out->enumCount = in.enumCount;
    out->registerLength = in.registerLength;
}

// Copies text with its terminator into buffer of size bytes, cut to fit.
void copyCut(const std::string& text, char* buffer, uint32_t size)
{
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

template <class Fn>
int withFeature(SimCall& call, uint32_t module, uint32_t feature, Fn fn, bool sameCameraModule = false)
{
    if (int rc = call.enter())
        return rc;
    Target t;
    if (int rc = resolveFeature(module, feature, &t, sameCameraModule))
        return call.result(rc);
    return call.result(fn(t));
}

int readValue(const char* function, uint32_t module, uint32_t feature, SimType type, SimValue* out,
              bool flag1, bool flag2, bool* outOfRange = nullptr)
{
    SimCall call(function, module);
    call.arg("feature", nameOf(feature)).arg("flag1", flag1).arg("flag2", flag2);
    return withFeature(call, module, feature, [&](Target& t) {
        return t.store->getValue(t.entry->id, type, *out, outOfRange);
    });
}

template <class Logged>
int writeValue(const char* function, uint32_t module, uint32_t feature, Logged logged, bool verify, SimType type,
               const SimValue& value)
{
    SimCall call(function, module);
    call.arg("feature", nameOf(feature)).arg("value", logged).arg("verify", verify);
    return withFeature(call, module, feature, [&](Target& t) {
        return t.store->setValue(t.entry->id, type, value, t.readOnly);
    });
}

} // namespace

// ---------------------------------------------------------------------------
// Lookup and information
// ---------------------------------------------------------------------------

namespace {

// Lookup by name or by index: the handle through this module.
template <class Find>
int lookup(SimCall& call, uint32_t module, ORV_FEATURE_HANDLE* feature, bool argumentsOk, Find find)
{
    if (int rc = call.enter())
        return rc;
    if (!feature || !argumentsOk)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    SimModuleRef ref;
    std::shared_ptr<FeatureStore> fs;
    if (int rc = resolveStore(module, &ref, &fs))
        return call.result(rc);
    uint32_t id = 0;
    if (int rc = find(*fs->store, &id))
        return call.result(rc);
    *feature = call.nullHandle() ? 0 : handleFor(module, ref, fs, id);
    return call.result(ORV_SUCCESS);
}

} // namespace

int OrvFeatureGetByName(ORV_MODULE_HANDLE module, const char* name, ORV_FEATURE_HANDLE* feature)
{
    SimCall call("OrvFeatureGetByName", module);
    call.arg("name", name);
    return lookup(call, module, feature, name != nullptr,
                  [&](SimFeatureStore& s, uint32_t* id) { return s.findByName(name, id); });
}

int OrvFeatureGetByIndex(ORV_MODULE_HANDLE module, uint32_t index, ORV_FEATURE_HANDLE* feature)
{
    SimCall call("OrvFeatureGetByIndex", module);
    call.arg("index", index);
    return lookup(call, module, feature, true,
                  [&](SimFeatureStore& s, uint32_t* id) { return s.featureAt(index, id); });
}

int OrvFeatureGetInfo(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO* info)
{
    SimCall call("OrvFeatureGetInfo", module);
    call.arg("feature", nameOf(feature));
    return withFeature(call, module, feature, [&](Target& t) {
        if (!info)
            return ORV_ERROR_INVALID_ARGUMENT;
        SimFeatureInfo in;
        const int rc = t.store->info(t.entry->id, in, t.readOnly);
        if (rc == ORV_SUCCESS)
            copyInfo(in, info);
        return rc;
    });
}

int OrvFeatureGetDescription(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size)
{
    SimCall call("OrvFeatureGetDescription", module);
    call.arg("feature", nameOf(feature));
    return withFeature(call, module, feature, [&](Target& t) {
        if (!buffer || size == 0)
            return ORV_ERROR_INVALID_ARGUMENT;
        std::string text;
        const int rc = t.store->description(t.entry->id, text);
        if (rc == ORV_SUCCESS)
            copyCut(text, buffer, size);
        return rc;
    });
}

int OrvFeatureListRefresh(ORV_MODULE_HANDLE module)
{
    SimCall call("OrvFeatureListRefresh", module);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    std::shared_ptr<FeatureStore> fs;
    if (int rc = resolveStore(module, &ref, &fs))
        return call.result(rc);
    if (ref.kind == HandleKind::RemoteDevice)
        return call.result(fs->camera->refreshRemoteList());
    return call.result(ORV_SUCCESS);
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

int OrvFeatureGetValueBool(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool* value, bool verify, bool ignoreCache)
{
    if (!value)
        return ORV_ERROR_INVALID_ARGUMENT;
    SimValue v;
    const int rc = readValue("OrvFeatureGetValueBool", module, feature, SimType::Boolean, &v, verify, ignoreCache);
    if (rc == ORV_SUCCESS)
        *value = v.i != 0;
    return rc;
}

int OrvFeatureGetValueInt64(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache)
{
    if (!value)
        return ORV_ERROR_INVALID_ARGUMENT;
    SimValue v;
    bool outOfRange = false;
    const int rc = readValue("OrvFeatureGetValueInt64", module, feature, SimType::Integer, &v, verify, ignoreCache,
                             &outOfRange);
    if (rc != ORV_SUCCESS)
        return rc;
    *value = v.i;
    return outOfRange ? ORV_WARNING_OUT_OF_RANGE : ORV_SUCCESS;
}

int OrvFeatureGetValueFloat(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double* value, bool verify, bool ignoreCache)
{
    if (!value)
        return ORV_ERROR_INVALID_ARGUMENT;
    SimValue v;
    const int rc = readValue("OrvFeatureGetValueFloat", module, feature, SimType::Float, &v, verify, ignoreCache);
    if (rc == ORV_SUCCESS)
        *value = v.f;
    return rc;
}

int OrvFeatureGetValueString(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size, bool verify, bool ignoreCache)
{
    if (!buffer || size == 0)
        return ORV_ERROR_INVALID_ARGUMENT;
    SimValue v;
    const int rc = readValue("OrvFeatureGetValueString", module, feature, SimType::String, &v, verify, ignoreCache);
    if (rc == ORV_SUCCESS)
        copyCut(v.s, buffer, size);
    return rc;
}

int OrvFeatureGetValueInt64Enum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache)
{
    if (!value)
        return ORV_ERROR_INVALID_ARGUMENT;
    SimValue v;
    const int rc = readValue("OrvFeatureGetValueInt64Enum", module, feature, SimType::Enumeration, &v, verify,
                             ignoreCache);
    if (rc == ORV_SUCCESS)
        *value = v.i;
    return rc;
}

int OrvFeatureGetValueEnum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* entryName, uint32_t size, bool verify, bool ignoreCache)
{
    SimCall call("OrvFeatureGetValueEnum", module);
    call.arg("feature", nameOf(feature)).arg("flag1", verify).arg("flag2", ignoreCache);
    return withFeature(call, module, feature, [&](Target& t) {
        if (!entryName || size == 0)
            return ORV_ERROR_INVALID_ARGUMENT;
        std::string name;
        const int rc = t.store->getEnumName(t.entry->id, name);
        copyCut(name, entryName, size);
        return rc;
    });
}

int OrvFeatureSetValueBool(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool value, bool verify)
{
    return writeValue("OrvFeatureSetValueBool", module, feature, value, verify, SimType::Boolean,
                      SimValue::ofInt(value ? 1 : 0));
}

int OrvFeatureSetValueInt64(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t value, bool verify)
{
    return writeValue("OrvFeatureSetValueInt64", module, feature, value, verify, SimType::Integer, SimValue::ofInt(value));
}

int OrvFeatureSetValueFloat(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double value, bool verify)
{
    return writeValue("OrvFeatureSetValueFloat", module, feature, value, verify, SimType::Float, SimValue::ofFloat(value));
}

int OrvFeatureSetValueString(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* value, bool verify)
{
    if (!value)
        return ORV_ERROR_INVALID_ARGUMENT;
    return writeValue("OrvFeatureSetValueString", module, feature, value, verify, SimType::String,
                      SimValue::ofString(value));
}

int OrvFeatureSetValueInt64Enum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t entryValue, bool verify)
{
    return writeValue("OrvFeatureSetValueInt64Enum", module, feature, entryValue, verify, SimType::Enumeration,
                      SimValue::ofInt(entryValue));
}

int OrvFeatureSetValueEnum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* entryName, bool verify)
{
    SimCall call("OrvFeatureSetValueEnum", module);
    call.arg("feature", nameOf(feature)).arg("value", entryName).arg("verify", verify);
    return withFeature(call, module, feature, [&](Target& t) {
        if (!entryName)
            return ORV_ERROR_INVALID_ARGUMENT;
        return t.store->setEnumName(t.entry->id, entryName, t.readOnly);
    });
}

int OrvFeatureCommandExecute(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, uint32_t timeoutMs, bool verify)
{
    SimCall call("OrvFeatureCommandExecute", module);
    call.arg("feature", nameOf(feature)).arg("timeout", timeoutMs).arg("verify", verify);
    return withFeature(call, module, feature, [&](Target& t) {
        return t.store->execute(t.entry->id, timeoutMs, t.readOnly);
    });
}

int OrvFeatureEnumSubFeatures(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int32_t index, char* name, uint32_t size, int64_t* value)
{
    SimCall call("OrvFeatureEnumSubFeatures", module);
    call.arg("feature", nameOf(feature)).arg("index", index);
    return withFeature(call, module, feature, [&](Target& t) {
        std::string entry;
        int64_t v = 0;
        const int rc = t.store->enumEntry(t.entry->id, index, entry, v);
        if (rc != ORV_SUCCESS)
            return rc;
        if (!name || size < entry.size() + 1)
            return ORV_ERROR_INVALID_ARGUMENT;
        std::memcpy(name, entry.c_str(), entry.size() + 1);
        if (value)
            *value = v;
        return ORV_SUCCESS;
    });
}

// ---------------------------------------------------------------------------
// Register features
// ---------------------------------------------------------------------------

int OrvFeatureGetRegister(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* buffer, size_t* length)
{
    SimCall call("OrvFeatureGetRegister", module);
    call.arg("feature", nameOf(feature)).arg("length", length ? *length : 0);
    return withFeature(call, module, feature, [&](Target& t) {
        if (!buffer || !length)
            return ORV_ERROR_INVALID_ARGUMENT;
        return t.store->readRegister(t.entry->id, 0, buffer, *length);
    });
}

int OrvFeatureSetRegister(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* buffer, size_t* length)
{
    SimCall call("OrvFeatureSetRegister", module);
    call.arg("feature", nameOf(feature)).arg("length", length ? *length : 0);
    return withFeature(call, module, feature, [&](Target& t) {
        if (!buffer || !length)
            return ORV_ERROR_INVALID_ARGUMENT;
        return t.store->writeRegister(t.entry->id, 0, buffer, *length, t.readOnly);
    });
}

int OrvRegisterDeviceWrite(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* data, size_t* length, uint32_t mode, uint32_t offset)
{
    SimCall call("OrvRegisterDeviceWrite", module);
    call.arg("feature", nameOf(feature)).arg("length", length ? *length : 0).arg("mode", mode).arg("offset", offset);
    return withFeature(
        call, module, feature,
        [&](Target& t) {
            if (!data || !length)
                return ORV_ERROR_INVALID_ARGUMENT;
            return t.store->writeRegister(t.entry->id, offset, data, *length, t.readOnly);
        },
        true);
}

// ---------------------------------------------------------------------------
// Invalidation callbacks
// ---------------------------------------------------------------------------

namespace {

int registerCallback(SimCall& call, uint32_t module, uint32_t feature, void* context,
                     ORV_FEATURE_INVALIDATE_CALLBACK cb, ORV_FEATURE_INVALIDATE_CALLBACK2 cb2)
{
    return withFeature(call, module, feature, [&](Target& t) {
        if (!cb && !cb2)
            return ORV_ERROR_INVALID_ARGUMENT;
        SimInvalidation::instance().add(module, t.store, t.entry->name, feature, context, cb, cb2, true);
        return ORV_SUCCESS;
    });
}

} // namespace

int OrvFeatureRegisterInvalidateCB(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK callback)
{
    SimCall call("OrvFeatureRegisterInvalidateCB", module);
    call.arg("feature", nameOf(feature)).arg("context", static_cast<const void*>(context));
    return registerCallback(call, module, feature, context, callback, nullptr);
}

int OrvFeatureRegisterInvalidateCB2(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK2 callback)
{
    SimCall call("OrvFeatureRegisterInvalidateCB2", module);
    call.arg("feature", nameOf(feature)).arg("context", static_cast<const void*>(context));
    return registerCallback(call, module, feature, context, nullptr, callback);
}

int OrvFeatureUnRegisterInvalidateCB(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature)
{
    SimCall call("OrvFeatureUnRegisterInvalidateCB", module);
    call.arg("feature", nameOf(feature));
    return withFeature(call, module, feature, [&](Target& t) {
        SimInvalidation::instance().remove(module, t.entry->name);
        return ORV_SUCCESS;
    });
}

// ---------------------------------------------------------------------------
// Device memory
// ---------------------------------------------------------------------------

int OrvDeviceRead(ORV_MODULE_HANDLE module, uint64_t address, void* buffer, size_t* length)
{
    SimCall call("OrvDeviceRead", module);
    call.arg("address", address).arg("length", length ? *length : 0);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(module, &ref))
        return call.result(rc);
    auto camera = cameraOf(ref);
    if (!camera)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    if (!buffer || !length)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    return call.result(camera->readMemory(address, buffer, *length));
}

int OrvDeviceWrite(ORV_MODULE_HANDLE module, uint64_t address, const void* buffer, size_t* length)
{
    SimCall call("OrvDeviceWrite", module);
    call.arg("address", address).arg("length", length ? *length : 0);
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(module, &ref))
        return call.result(rc);
    auto camera = cameraOf(ref);
    if (!camera)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    if (!buffer || !length)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (ref.camera->readOnlyOpen())
        return call.result(ORV_ERROR_ACCESS_DENIED);
    return call.result(camera->writeMemory(address, buffer, *length));
}

// ---------------------------------------------------------------------------
// Camera settings
// ---------------------------------------------------------------------------

namespace {

template <class Fn>
int withCamera(SimCall& call, uint32_t device, Fn fn)
{
    if (int rc = call.enter())
        return rc;
    SimModuleRef ref;
    if (int rc = resolveModule(device, HandleKind::Device, &ref))
        return call.result(rc);
    return call.result(fn(*FeatureStore::ofCamera(ref.camera), ref.camera->readOnlyOpen()));
}

} // namespace

int OrvDeviceSaveSettings(ORV_DEVICE_HANDLE device, const char* fileName)
{
    SimCall call("OrvDeviceSaveSettings", device);
    call.arg("file", fileName);
    return withCamera(call, device, [&](SimCameraFeatures& cam, bool) {
        return fileName ? cam.saveSettings(fileName) : ORV_ERROR_INVALID_ARGUMENT;
    });
}

int OrvDeviceLoadSettings(ORV_DEVICE_HANDLE device, const char* fileName)
{
    SimCall call("OrvDeviceLoadSettings", device);
    call.arg("file", fileName);
    return withCamera(call, device, [&](SimCameraFeatures& cam, bool readOnly) {
        return fileName ? cam.loadSettings(fileName, readOnly) : ORV_ERROR_INVALID_ARGUMENT;
    });
}

int OrvDeviceSaveSettingsToString(ORV_DEVICE_HANDLE device, char* buffer, size_t* size)
{
    SimCall call("OrvDeviceSaveSettingsToString", device);
    return withCamera(call, device, [&](SimCameraFeatures& cam, bool) {
        if (!size)
            return ORV_ERROR_INVALID_ARGUMENT;
        const std::string text = cam.settingsText();
        const int rc = copyOut(text, buffer, size);
        if (rc != ORV_SUCCESS)
            *size = text.size() + 1; // the size needed
        return rc;
    });
}

int OrvDeviceLoadSettingsFromString(ORV_DEVICE_HANDLE device, const char* text)
{
    SimCall call("OrvDeviceLoadSettingsFromString", device);
    return withCamera(call, device, [&](SimCameraFeatures& cam, bool readOnly) {
        return text ? cam.applySettingsText(text, readOnly) : ORV_ERROR_INVALID_ARGUMENT;
    });
}
