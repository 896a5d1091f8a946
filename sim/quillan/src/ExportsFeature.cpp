// Feature, register, device memory and camera settings exports.
//
// Every export here answers "not available" until its part of the simulator
// is built; each goes through SimCall so that injected faults and the call log
// work for it already.
#include "QuillanExports.h"
#include "SimCall.h"

using quillan::SimCall;

int OrvDeviceSaveSettings(ORV_DEVICE_HANDLE device, const char* fileName)
{
    (void)fileName;
    SimCall call("OrvDeviceSaveSettings", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceLoadSettings(ORV_DEVICE_HANDLE device, const char* fileName)
{
    (void)fileName;
    SimCall call("OrvDeviceLoadSettings", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceRead(ORV_MODULE_HANDLE module, uint64_t address, void* buffer, size_t* length)
{
    (void)address;
    (void)buffer;
    (void)length;
    SimCall call("OrvDeviceRead", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceWrite(ORV_MODULE_HANDLE module, uint64_t address, const void* buffer, size_t* length)
{
    (void)address;
    (void)buffer;
    (void)length;
    SimCall call("OrvDeviceWrite", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetByName(ORV_MODULE_HANDLE module, const char* name, ORV_FEATURE_HANDLE* feature)
{
    (void)name;
    (void)feature;
    SimCall call("OrvFeatureGetByName", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetByIndex(ORV_MODULE_HANDLE module, uint32_t index, ORV_FEATURE_HANDLE* feature)
{
    (void)index;
    (void)feature;
    SimCall call("OrvFeatureGetByIndex", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetInfo(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO* info)
{
    (void)feature;
    (void)info;
    SimCall call("OrvFeatureGetInfo", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueBool(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool* value, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)value;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueBool", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueInt64(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)value;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueInt64", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueFloat(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double* value, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)value;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueFloat", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueString(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)buffer;
    (void)size;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueString", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetRegister(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* buffer, size_t* length)
{
    (void)feature;
    (void)buffer;
    (void)length;
    SimCall call("OrvFeatureGetRegister", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueInt64Enum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t* value, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)value;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueInt64Enum", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueBool(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, bool value, bool verify)
{
    (void)feature;
    (void)value;
    (void)verify;
    SimCall call("OrvFeatureSetValueBool", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueInt64(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t value, bool verify)
{
    (void)feature;
    (void)value;
    (void)verify;
    SimCall call("OrvFeatureSetValueInt64", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueFloat(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, double value, bool verify)
{
    (void)feature;
    (void)value;
    (void)verify;
    SimCall call("OrvFeatureSetValueFloat", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueString(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* value, bool verify)
{
    (void)feature;
    (void)value;
    (void)verify;
    SimCall call("OrvFeatureSetValueString", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetRegister(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* buffer, size_t* length)
{
    (void)feature;
    (void)buffer;
    (void)length;
    SimCall call("OrvFeatureSetRegister", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueInt64Enum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int64_t entryValue, bool verify)
{
    (void)feature;
    (void)entryValue;
    (void)verify;
    SimCall call("OrvFeatureSetValueInt64Enum", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureCommandExecute(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, uint32_t timeoutMs, bool verify)
{
    (void)feature;
    (void)timeoutMs;
    (void)verify;
    SimCall call("OrvFeatureCommandExecute", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureEnumSubFeatures(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, int32_t index, char* name, uint32_t size, int64_t* value)
{
    (void)feature;
    (void)index;
    (void)name;
    (void)size;
    (void)value;
    SimCall call("OrvFeatureEnumSubFeatures", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureRegisterInvalidateCB(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK callback)
{
    (void)feature;
    (void)context;
    (void)callback;
    SimCall call("OrvFeatureRegisterInvalidateCB", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureUnRegisterInvalidateCB(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature)
{
    (void)feature;
    SimCall call("OrvFeatureUnRegisterInvalidateCB", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetValueEnum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* entryName, uint32_t size, bool verify, bool ignoreCache)
{
    (void)feature;
    (void)entryName;
    (void)size;
    (void)verify;
    (void)ignoreCache;
    SimCall call("OrvFeatureGetValueEnum", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureSetValueEnum(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* entryName, bool verify)
{
    (void)feature;
    (void)entryName;
    (void)verify;
    SimCall call("OrvFeatureSetValueEnum", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceSaveSettingsToString(ORV_DEVICE_HANDLE device, char* buffer, size_t* size)
{
    (void)buffer;
    (void)size;
    SimCall call("OrvDeviceSaveSettingsToString", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvDeviceLoadSettingsFromString(ORV_DEVICE_HANDLE device, const char* text)
{
    (void)text;
    SimCall call("OrvDeviceLoadSettingsFromString", device);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureListRefresh(ORV_MODULE_HANDLE module)
{
    SimCall call("OrvFeatureListRefresh", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureGetDescription(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, char* buffer, uint32_t size)
{
    (void)feature;
    (void)buffer;
    (void)size;
    SimCall call("OrvFeatureGetDescription", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvFeatureRegisterInvalidateCB2(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, void* context, ORV_FEATURE_INVALIDATE_CALLBACK2 callback)
{
    (void)feature;
    (void)context;
    (void)callback;
    SimCall call("OrvFeatureRegisterInvalidateCB2", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}

int OrvRegisterDeviceWrite(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const void* data, size_t* length, uint32_t mode, uint32_t offset)
{
    (void)feature;
    (void)data;
    (void)length;
    (void)mode;
    (void)offset;
    SimCall call("OrvRegisterDeviceWrite", module);
    if (int rc = call.enter())
        return rc;
    return call.result(ORV_ERROR_NOT_AVAILABLE);
}
