#ifndef ZELFEATUREMANAGER_H
#define ZELFEATUREMANAGER_H

#include "OrvSdk.h"
#include "ZelFeatureCallbacks.h"
#include "ZelFeatureData.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The GenICam features of one SDK module (system, interface, device, remote
// device or data stream). Keeps no feature handles and no cache: every call
// looks the feature up again. Failures are traced and reported by the result.
// The manager never closes its module; it removes its SDK callbacks when it
// is destroyed.
class ZelFeatureManager : public QObject
{
    Q_OBJECT

public:
    explicit ZelFeatureManager(ORV_MODULE_HANDLE module, QObject* parent = nullptr);
    ~ZelFeatureManager() override;

    // While off, the SDK's invalidation callbacks are swallowed.
    void EnableInvalidation(bool enable);

    // Lookup. FindByName gives 0 when the SDK does not know the name.
    ORV_FEATURE_HANDLE FindByName(const char* name);
    // The feature at index in the module's depth-first list; the SDK result,
    // -1008 past the last feature.
    int Enum(int index, ORV_FEATURE_HANDLE* feature);
    // Name and integer value of an enumeration's entry at index.
    bool EnumSubFeature(ORV_FEATURE_HANDLE feature, int index, QString& name, qint64& value);

    // Information, description, value and (enumerations) entry names; an
    // enumeration's value is the position of its current entry.
    bool GetData(ORV_FEATURE_HANDLE feature, ZelFeatureData& data, bool passFlag1 = false, bool passFlag2 = false);
    bool GetData(const char* name, ZelFeatureData& data, bool passFlag1 = false, bool passFlag2 = false);
    // The value by type; an enumeration gives its current entry's value.
    bool GetValue(ORV_FEATURE_HANDLE feature, QVariant& value, bool passFlag1 = false, bool passFlag2 = false);
    bool GetValue(const char* name, QVariant& value, bool passFlag1 = false, bool passFlag2 = false);
    // As GetValue, but an enumeration gives its current entry's name.
    bool GetValueExt(const char* name, QVariant& value, bool passFlag1 = false, bool passFlag2 = false);

    // Writes by type; an enumeration takes the position of an entry.
    bool SetValue(ORV_FEATURE_HANDLE feature, const QVariant& value, bool passFlag = false);
    bool SetValue(const char* name, const QVariant& value, bool passFlag = false);
    bool SetValueEnum(const char* name, const char* entryName, bool passFlag = false);
    // As SetValue, but an enumeration takes an entry name.
    bool SetValueExt(const char* name, const QVariant& value, bool passFlag = false);
    int ListRefresh();

    // Raw memory of the module's port; length in: bytes wanted, out: bytes moved.
    bool GetRegister(uint32_t address, void* buffer, size_t* length);
    bool SetRegister(uint32_t address, const void* buffer, size_t* length);
    // One piece of a register feature at a byte offset.
    bool SetBuffer(ORV_FEATURE_HANDLE feature, const void* data, size_t* length, uint32_t offset);

    // Device files. transfer points to a 64-bit value the SDK may write.
    bool SaveFile(const char* localPath, const char* deviceFileName, const char* fileSelectorEntry, void* transfer);
    bool UploadFile(const char* deviceFileName, const char* localPath, const char* fileSelectorEntry,
                    void* transfer);
    bool DeleteFile(const char* deviceFileName, const char* fileSelectorEntry);
    int RegisterTransferCB();
    int UnregisterTransferCB();

    void RegisterInvalidateCB(const char* name);
    void UnregisterInvalidateCB(const char* name);
    // A tool window's own hold on a feature's callback. The feature tree
    // registers and unregisters as its rows show and hide; the callback stays
    // while the tree's registration or any hold wants it.
    void HoldInvalidateCB(const char* name);
    void ReleaseInvalidateCB(const char* name);

signals:
    void featureInvalidated(QString featureName);
    void updateTransferProcess(qlonglong remainning, QString fileName, QString FileOperation);

private:
    friend class ZelFeatureCallbacks;

    ORV_FEATURE_HANDLE lookUp(const char* name, const char* function);
    bool readInfo(ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO& info, const char* function);
    void notifyInvalidated(const std::string& featureName);
    // The tree's registration (byTree) or a tool's hold of a feature's callback.
    void watch(const char* name, bool byTree, const char* function);
    // The SDK side of an unregistration; called under m_watchMutex.
    void removeCallback(const char* name, const char* function);
    void notifyTransfer(qint64 remaining, const QString& fileName, const QString& operation);

    const ORV_MODULE_HANDLE m_module;
    std::atomic<bool> m_emitInvalidation{true};
    const ZelFeatureCallbacks::ListenerPtr m_listener;
    // Who wants each callback: the tree's registrations and the tools' holds.
    std::mutex m_watchMutex;
    std::set<std::string> m_registered;
    std::map<std::string, int> m_holds;
};

// A tool's holds on some features' callbacks, released when it goes; the
// manager may be gone first.
class ZelInvalidationHold
{
public:
    ZelInvalidationHold(ZelFeatureManager* manager, std::initializer_list<const char*> names);
    ~ZelInvalidationHold();
    ZelInvalidationHold(const ZelInvalidationHold&) = delete;
    ZelInvalidationHold& operator=(const ZelInvalidationHold&) = delete;

private:
    QPointer<ZelFeatureManager> m_manager;
    std::vector<std::string> m_names;
};

#endif // ZELFEATUREMANAGER_H
