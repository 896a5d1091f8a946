#include "ZelFeatureManager.h"

#include "ZelSdkLoader.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <QByteArray>

#include <cstring>
#include <limits>

namespace {

// More entries than any enumeration has; ends a list that never reports its end.
constexpr int maxEnumEntries = 4096;

template <size_t N>
QByteArray traceText(const char (&field)[N])
{
    return ZelUtil::RecordText(field).toUtf8();
}

// Traces a failed SDK call with what it was about; true on success.
bool succeeded(int rc, const char* function, const char* call, const QByteArray& subject)
{
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! %s:%s %d", function, call, subject.constData(), rc);
    return rc == ORV_SUCCESS;
}

QByteArray addressText(uint32_t address)
{
    return "0x" + QByteArray::number(address, 16).rightJustified(8, '0');
}

QByteArray nameText(const char* name)
{
    return QByteArray(name ? name : "");
}

} // namespace

ZelFeatureManager::ZelFeatureManager(ORV_MODULE_HANDLE module, QObject* parent)
    : QObject(parent), m_module(module), m_listener(std::make_shared<ZelFeatureCallbacks::Listener>(this))
{
    static const int registered = qRegisterMetaType<ZelFeatureData>("ZelFeatureData");
    (void)registered;
}

ZelFeatureManager::~ZelFeatureManager()
{
    ZelFeatureCallbacks::instance().detach(m_listener);
}

void ZelFeatureManager::EnableInvalidation(bool enable)
{
    m_emitInvalidation = enable;
}

ORV_FEATURE_HANDLE ZelFeatureManager::FindByName(const char* name)
{
    if (!name) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", "ZelFeatureManager::FindByName");
        return 0;
    }
    ORV_FEATURE_HANDLE feature = 0;
    const int rc = OrvFeatureGetByName(m_module, name, &feature);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetByName:%s %d", "ZelFeatureManager::FindByName", name, rc);
        return 0;
    }
    return feature;
}

ORV_FEATURE_HANDLE ZelFeatureManager::lookUp(const char* name, const char* function)
{
    const ORV_FEATURE_HANDLE feature = FindByName(name);
    if (!feature)
        ZelTrace(ZEL_TRACE_ERROR, "%s Feature not found:%s", function, name ? name : "");
    return feature;
}

bool ZelFeatureManager::readInfo(ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO& info, const char* function)
{
    std::memset(&info, 0, sizeof info);
    const int rc = OrvFeatureGetInfo(m_module, feature, &info);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetInfo:%d", function, rc);
        return false;
    }
    return true;
}

int ZelFeatureManager::Enum(int index, ORV_FEATURE_HANDLE* feature)
{
    if (!feature || index < 0) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", "ZelFeatureManager::Enum");
        return ORV_ERROR_INVALID_ARGUMENT;
    }
    const int rc = OrvFeatureGetByIndex(m_module, uint32_t(index), feature);
    if (rc != ORV_SUCCESS && rc != ORV_ERROR_END_OF_LIST)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetByIndex[%d]:%d", "ZelFeatureManager::Enum", index, rc);
    return rc;
}

bool ZelFeatureManager::EnumSubFeature(ORV_FEATURE_HANDLE feature, int index, QString& name, qint64& value)
{
    char buffer[256] = {};
    int64_t entryValue = 0;
    if (OrvFeatureEnumSubFeatures(m_module, feature, index, buffer, sizeof buffer, &entryValue) != ORV_SUCCESS)
        return false;
    name = ZelUtil::RecordText(buffer);
    value = entryValue;
    return true;
}

bool ZelFeatureManager::GetData(ORV_FEATURE_HANDLE feature, ZelFeatureData& data, bool passFlag1, bool passFlag2)
{
    const char* const function = "ZelFeatureManager::GetData";
    ZelFeatureData result;
    if (!readInfo(feature, result.info, function))
        return false;

    char description[ORV_TEXT_SIZE] = {};
    if (OrvFeatureGetDescription(m_module, feature, description, sizeof description) == ORV_SUCCESS)
        result.description = ZelUtil::RecordText(description);

    if (result.info.isAvailable) {
        int rc = ORV_SUCCESS;
        if (!ZelUtil::GetFeatureValue(m_module, feature, result.value, passFlag1, passFlag2, &rc)) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! GetFeatureValue:%d", function, rc);
            return false;
        }
        if (result.info.interfaceType == ORV_FEATURE_TYPE_ENUMERATION) {
            int index = 0;
            for (; index < maxEnumEntries; ++index) {
                char name[ORV_TEXT_SIZE] = {};
                rc = OrvFeatureEnumSubFeatures(m_module, feature, index, name, sizeof name, nullptr);
                if (rc != ORV_SUCCESS)
                    break;
                result.entries.append(ZelUtil::RecordText(name));
            }
            if (index == maxEnumEntries)
                ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureEnumSubFeatures:%s more than %d entries", function,
                         traceText(result.info.displayName).constData(), maxEnumEntries);
            else if (rc != ORV_ERROR_END_OF_LIST)
                ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureEnumSubFeatures:%s %d", function,
                         traceText(result.info.displayName).constData(), rc);
            result.value = QVariant(int(result.info.enumIndex));
        }
    }
    data = result;
    return true;
}

bool ZelFeatureManager::GetData(const char* name, ZelFeatureData& data, bool passFlag1, bool passFlag2)
{
    const ORV_FEATURE_HANDLE feature = lookUp(name, "ZelFeatureManager::GetData");
    return feature && GetData(feature, data, passFlag1, passFlag2);
}

bool ZelFeatureManager::GetValue(ORV_FEATURE_HANDLE feature, QVariant& value, bool passFlag1, bool passFlag2)
{
    int rc = ORV_SUCCESS;
    if (!ZelUtil::GetFeatureValue(m_module, feature, value, passFlag1, passFlag2, &rc)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! GetFeatureValue:%d", "ZelFeatureManager::GetValue", rc);
        return false;
    }
    return true;
}

bool ZelFeatureManager::GetValue(const char* name, QVariant& value, bool passFlag1, bool passFlag2)
{
    const ORV_FEATURE_HANDLE feature = lookUp(name, "ZelFeatureManager::GetValue");
    return feature && GetValue(feature, value, passFlag1, passFlag2);
}

bool ZelFeatureManager::GetValueExt(const char* name, QVariant& value, bool passFlag1, bool passFlag2)
{
    const char* const function = "ZelFeatureManager::GetValueExt";
    const ORV_FEATURE_HANDLE feature = lookUp(name, function);
    if (!feature)
        return false;
    ORV_FEATURE_INFO info;
    if (!readInfo(feature, info, function))
        return false;
    if (info.interfaceType != ORV_FEATURE_TYPE_ENUMERATION)
        return GetValue(feature, value, passFlag1, passFlag2);

    char entry[ORV_TEXT_SIZE] = {};
    const int rc = OrvFeatureGetValueEnum(m_module, feature, entry, sizeof entry, true, false);
    value = QVariant(rc == ORV_SUCCESS ? ZelUtil::RecordText(entry) : QString(""));
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetValueEnum:%s %d", function, name, rc);
    return rc == ORV_SUCCESS;
}

bool ZelFeatureManager::SetValue(ORV_FEATURE_HANDLE feature, const QVariant& value, bool passFlag)
{
    const char* const function = "ZelFeatureManager::SetValue";
    ORV_FEATURE_INFO info;
    if (!readInfo(feature, info, function))
        return false;
    const QByteArray displayName = traceText(info.displayName);

    QVariant copy = value;
    if (info.interfaceType == ORV_FEATURE_TYPE_ENUMERATION) {
        // The value is the position of an entry; a text or a number that is
        // no position selects nothing.
        bool ok = false;
        const qlonglong position = value.isValid() ? value.toLongLong(&ok) : 0;
        if (!ok || position < 0 || position > std::numeric_limits<int32_t>::max()) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid position:%s %s", function, displayName.constData(),
                     value.toString().toUtf8().constData());
            return false;
        }
        char entry[ORV_TEXT_SIZE] = {};
        int64_t entryValue = 0;
        const int rc =
            OrvFeatureEnumSubFeatures(m_module, feature, int32_t(position), entry, sizeof entry, &entryValue);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureEnumSubFeatures:%s %d", function,
                     displayName.constData(), rc);
            return false;
        }
        copy = QVariant(qulonglong(entryValue));
    }

    int rc = ORV_SUCCESS;
    if (!ZelUtil::SetFeatureValue(m_module, feature, copy, passFlag, &rc)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! SetFeatureValue:%s %d", function, displayName.constData(), rc);
        return false;
    }
    return true;
}

bool ZelFeatureManager::SetValue(const char* name, const QVariant& value, bool passFlag)
{
    const ORV_FEATURE_HANDLE feature = lookUp(name, "ZelFeatureManager::SetValue");
    return feature && SetValue(feature, value, passFlag);
}

bool ZelFeatureManager::SetValueEnum(const char* name, const char* entryName, bool passFlag)
{
    const char* const function = "ZelFeatureManager::SetValueEnum";
    const ORV_FEATURE_HANDLE feature = lookUp(name, function);
    if (!feature)
        return false;
    if (!entryName) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", function);
        return false;
    }
    const int rc = OrvFeatureSetValueEnum(m_module, feature, entryName, passFlag);
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureSetValueEnum:%s %s %d", function, name, entryName, rc);
    return rc == ORV_SUCCESS;
}

bool ZelFeatureManager::SetValueExt(const char* name, const QVariant& value, bool passFlag)
{
    const char* const function = "ZelFeatureManager::SetValueExt";
    const ORV_FEATURE_HANDLE feature = lookUp(name, function);
    if (!feature)
        return false;
    ORV_FEATURE_INFO info;
    if (!readInfo(feature, info, function))
        return false;
    if (info.interfaceType == ORV_FEATURE_TYPE_ENUMERATION)
        return SetValueEnum(name, value.toString().toUtf8().constData(), true);
    return SetValue(feature, value, passFlag);
}

int ZelFeatureManager::ListRefresh()
{
    const int rc = OrvFeatureListRefresh(m_module);
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureListRefresh:%d", "ZelFeatureManager::ListRefresh", rc);
    return rc;
}

bool ZelFeatureManager::GetRegister(uint32_t address, void* buffer, size_t* length)
{
    return succeeded(OrvDeviceRead(m_module, uint64_t(address), buffer, length), "ZelFeatureManager::GetRegister",
                     "OrvDeviceRead", addressText(address));
}

bool ZelFeatureManager::SetRegister(uint32_t address, const void* buffer, size_t* length)
{
    return succeeded(OrvDeviceWrite(m_module, uint64_t(address), buffer, length), "ZelFeatureManager::SetRegister",
                     "OrvDeviceWrite", addressText(address));
}

bool ZelFeatureManager::SetBuffer(ORV_FEATURE_HANDLE feature, const void* data, size_t* length, uint32_t offset)
{
    return succeeded(OrvRegisterDeviceWrite(m_module, feature, data, length, 1, offset), "ZelFeatureManager::SetBuffer",
                     "OrvRegisterDeviceWrite", QByteArray::number(offset));
}

// The SDK writes the bytes moved through transfer: it never gets null.
bool ZelFeatureManager::SaveFile(const char* localPath, const char* deviceFileName, const char* fileSelectorEntry,
                                 void* transfer)
{
    int64_t ignored = 0;
    return succeeded(OrvDeviceSaveFile(m_module, localPath, deviceFileName, fileSelectorEntry,
                                       transfer ? transfer : &ignored),
                     "ZelFeatureManager::SaveFile", "OrvDeviceSaveFile", nameText(deviceFileName));
}

bool ZelFeatureManager::UploadFile(const char* deviceFileName, const char* localPath, const char* fileSelectorEntry,
                                   void* transfer)
{
    int64_t ignored = 0;
    return succeeded(OrvDeviceLoadFile(m_module, deviceFileName, localPath, fileSelectorEntry,
                                       transfer ? transfer : &ignored),
                     "ZelFeatureManager::UploadFile", "OrvDeviceLoadFile", nameText(deviceFileName));
}

bool ZelFeatureManager::DeleteFile(const char* deviceFileName, const char* fileSelectorEntry)
{
    return succeeded(OrvDeviceDeleteFile(m_module, deviceFileName, fileSelectorEntry), "ZelFeatureManager::DeleteFile",
                     "OrvDeviceDeleteFile", nameText(deviceFileName));
}

int ZelFeatureManager::RegisterTransferCB()
{
    const int rc = ZelFeatureCallbacks::instance().addTransfer(m_listener, m_module);
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvDeviceRegisterFileAccessCB:%d", "ZelFeatureManager::RegisterTransferCB",
                 rc);
    return rc;
}

int ZelFeatureManager::UnregisterTransferCB()
{
    return ZelFeatureCallbacks::instance().removeTransfer(m_listener, m_module);
}

void ZelFeatureManager::RegisterInvalidateCB(const char* name)
{
    watch(name, true, "ZelFeatureManager::RegisterInvalidateCB");
}

void ZelFeatureManager::UnregisterInvalidateCB(const char* name)
{
    const char* const function = "ZelFeatureManager::UnregisterInvalidateCB";
    if (!name) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", function);
        return;
    }
    lookUp(name, function);
    std::lock_guard<std::mutex> lock(m_watchMutex);
    m_registered.erase(name);
    if (m_holds.count(name) == 0)
        removeCallback(name, function);
}

void ZelFeatureManager::HoldInvalidateCB(const char* name)
{
    watch(name, false, "ZelFeatureManager::HoldInvalidateCB");
}

void ZelFeatureManager::ReleaseInvalidateCB(const char* name)
{
    if (!name)
        return;
    std::lock_guard<std::mutex> lock(m_watchMutex);
    const auto held = m_holds.find(name);
    // A feature that was missing when held was never held.
    if (held == m_holds.end())
        return;
    if (--held->second > 0)
        return;
    m_holds.erase(held);
    if (m_registered.count(name) == 0)
        removeCallback(name, "ZelFeatureManager::ReleaseInvalidateCB");
}

void ZelFeatureManager::watch(const char* name, bool byTree, const char* function)
{
    const ORV_FEATURE_HANDLE feature = lookUp(name, function);
    if (!feature)
        return;
    std::lock_guard<std::mutex> lock(m_watchMutex);
    if (byTree)
        m_registered.insert(name);
    else
        ++m_holds[name];
    const int rc = ZelFeatureCallbacks::instance().addInvalidation(m_listener, m_module, feature, name);
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureRegisterInvalidateCB:%s %d", function, name, rc);
}

void ZelFeatureManager::removeCallback(const char* name, const char* function)
{
    // Removed also when the feature has gone meanwhile.
    const int rc = ZelFeatureCallbacks::instance().removeInvalidation(m_listener, m_module, name);
    if (rc != ORV_SUCCESS)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureUnRegisterInvalidateCB:%s %d", function, name, rc);
}

void ZelFeatureManager::notifyInvalidated(const std::string& featureName)
{
    if (m_emitInvalidation)
        emit featureInvalidated(QString::fromStdString(featureName));
}

void ZelFeatureManager::notifyTransfer(qint64 remaining, const QString& fileName, const QString& operation)
{
    emit updateTransferProcess(remaining, fileName, operation);
}

ZelInvalidationHold::ZelInvalidationHold(ZelFeatureManager* manager, std::initializer_list<const char*> names)
    : m_manager(manager), m_names(names.begin(), names.end())
{
    if (m_manager) {
        for (const std::string& name : m_names)
            m_manager->HoldInvalidateCB(name.c_str());
    }
}

ZelInvalidationHold::~ZelInvalidationHold()
{
    if (m_manager) {
        for (const std::string& name : m_names)
            m_manager->ReleaseInvalidateCB(name.c_str());
    }
}
