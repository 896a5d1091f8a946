#include "ZelGenTLControl.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace GenTL;

namespace {

const uint64_t kListTimeoutMs = 1000;

// Interface info commands.
enum : int32_t {
    IfInfoId = 0,
    IfInfoDisplayName = 1,
    IfInfoTLType = 2,
    IfInfoA000 = 0xA000,
    IfInfoAdapterIp = 0xA001,
    IfInfoAdapterMask = 0xA002,
    IfInfoA003 = 0xA003,
};

// Device info commands.
enum : int32_t {
    DevInfoId = 0,
    DevInfoVendor = 1,
    DevInfoModel = 2,
    DevInfoTLType = 3,
    DevInfoDisplayName = 4,
    DevInfoAccessStatus = 5,
    DevInfoUserDefinedName = 6,
    DevInfoSerialNumber = 7,
    DevInfoVersion = 8,
    DevInfoMac = 0xB000,
    DevInfoIp = 0xB001,
    DevInfoMask = 0xB002,
    DevInfoGateway = 0xB003,
    DevInfoIpFlags = 0xB004,
    DevInfoB005 = 0xB005,
    DevInfoPersistentIp = 0xB006,
    DevInfoPersistentMask = 0xB007,
    DevInfoPersistentGateway = 0xB008,
};

const int32_t kListCommands[] = {
    DevInfoId, DevInfoDisplayName, DevInfoTLType, DevInfoVendor, DevInfoModel, DevInfoAccessStatus,
    DevInfoSerialNumber, DevInfoVersion, DevInfoUserDefinedName, DevInfoMac, DevInfoIp, DevInfoMask,
    DevInfoGateway, DevInfoIpFlags, DevInfoB005,
};
const int32_t kUpdateCommands[] = {
    DevInfoDisplayName, DevInfoTLType, DevInfoVendor, DevInfoModel, DevInfoAccessStatus, DevInfoSerialNumber,
    DevInfoVersion, DevInfoMac, DevInfoIp, DevInfoMask, DevInfoGateway, DevInfoIpFlags, DevInfoB005,
};
const int32_t kOpenCommands[] = {
    DevInfoId, DevInfoDisplayName, DevInfoTLType, DevInfoVendor, DevInfoModel, DevInfoAccessStatus,
    DevInfoSerialNumber, DevInfoVersion, DevInfoUserDefinedName, DevInfoMac, DevInfoIp, DevInfoMask,
    DevInfoGateway, DevInfoIpFlags, DevInfoB005, DevInfoPersistentIp, DevInfoPersistentMask,
    DevInfoPersistentGateway,
};

// Where a command's answer goes and how many bytes it may take.
struct Field {
    void* data = nullptr;
    size_t size = 0;
    bool text = false;
};

Field textField(char* text) { return Field{text, OrvTextSize, true}; }
template <class T>
Field wordField(T& word) { return Field{&word, sizeof word, false}; }

Field deviceField(OrvDevicePart& d, int32_t command)
{
    switch (command) {
    case DevInfoId: return textField(d.id);
    case DevInfoVendor: return textField(d.vendor);
    case DevInfoModel: return textField(d.model);
    case DevInfoTLType: return textField(d.tlType);
    case DevInfoDisplayName: return textField(d.displayName);
    case DevInfoAccessStatus: return wordField(d.accessStatus);
    case DevInfoUserDefinedName: return textField(d.userDefinedName);
    case DevInfoSerialNumber: return textField(d.serialNumber);
    case DevInfoVersion: return textField(d.version);
    case DevInfoMac: return wordField(d.mac);
    case DevInfoIp: return wordField(d.currentIp);
    case DevInfoMask: return wordField(d.currentMask);
    case DevInfoGateway: return wordField(d.currentGateway);
    case DevInfoIpFlags: return wordField(d.ipFlags);
    case DevInfoB005: return wordField(d.vendorB005);
    case DevInfoPersistentIp: return wordField(d.persistentIp);
    case DevInfoPersistentMask: return wordField(d.persistentMask);
    case DevInfoPersistentGateway: return wordField(d.persistentGateway);
    }
    return Field();
}

// Runs one read into a scratch buffer and copies the answer into the field
// only on success, so that a failing command leaves the field as it was. A
// text always ends in a terminator.
template <class Read>
bool readInto(const Field& field, Read read)
{
    char scratch[OrvTextSize] = {};
    size_t size = field.size;
    if (read(scratch, &size) != GC_ERR_SUCCESS)
        return false;
    if (field.text)
        scratch[OrvTextSize - 1] = '\0';
    std::memcpy(field.data, scratch, field.size);
    return true;
}

// Reads a text such as an ID into a 512-byte field, terminated.
template <class Read>
bool readText(char* out, Read read)
{
    return readInto(textField(out), read);
}

bool sameCamera(const OrvDevicePart& a, const OrvDevicePart& b)
{
    return qstrnicmp(a.serialNumber, b.serialNumber, OrvTextSize) == 0
        && qstrnicmp(a.model, b.model, OrvTextSize) == 0 && a.mac == b.mac;
}

} // namespace

ZelGenTLControl::ZelGenTLControl(QObject* parent) : QObject(parent) {}

ZelGenTLControl::~ZelGenTLControl()
{
    Close();
}

QString ZelGenTLControl::producerFolder()
{
    QString folder = qEnvironmentVariable("NORRIK_TLGIGE_BIN_32");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/cti");
    return folder;
}

QString ZelGenTLControl::findProducer(const QString& folder)
{
    for (const char* name : {"/orv_gev_tl.cti", "/orv_gev_brox_tl.cti"}) {
        QString path = folder + QLatin1String(name);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

bool ZelGenTLControl::Open()
{
    if (m_table)
        return isOpen();
    QString path = findProducer(producerFolder());
    if (path.isEmpty())
        return false;
    try {
        m_table = std::make_unique<GenTLProducerTable>(path);
    } catch (int) {
        m_table.reset();
        return false;
    }
    // Without these the tool can list nothing.
    if (m_table->missingRequired()) {
        m_table.reset();
        return false;
    }
    if (m_table->GCInitLib() != GC_ERR_SUCCESS) {
        Close();
        return false;
    }
    if (m_table->TLOpen(&m_tl) != GC_ERR_SUCCESS) {
        m_tl = nullptr;
        Close();
        return false;
    }
    if (m_table->TLUpdateInterfaceList(m_tl, nullptr, kListTimeoutMs) != GC_ERR_SUCCESS)
        return true;
    uint32_t count = 0;
    if (m_table->TLGetNumInterfaces(m_tl, &count) != GC_ERR_SUCCESS)
        return true;
    for (uint32_t i = 0; i < count; ++i) {
        char id[OrvTextSize] = {};
        bool found = readText(id, [&](char* buffer, size_t* size) {
            return m_table->TLGetInterfaceID(m_tl, i, buffer, size);
        });
        IF_HANDLE iface = nullptr;
        if (found && m_table->TLOpenInterface(m_tl, id, &iface) == GC_ERR_SUCCESS && iface)
            m_interfaces.append(iface);
    }
    return true;
}

void ZelGenTLControl::Close()
{
    if (!m_table)
        return;
    // Interfaces are closed before their transport layer.
    for (IF_HANDLE iface : m_interfaces)
        m_table->IFClose(iface);
    m_interfaces.clear();
    if (m_tl) {
        m_table->TLClose(m_tl);
        m_tl = nullptr;
    }
    m_table->GCCloseLib();
    m_table->release();
    m_table.reset();
}

void ZelGenTLControl::ReadInterfaceInfo(void* interfaceHandle, OrvInterfacePart& iface)
{
    iface.interfaceHandle = interfaceHandle;
    const std::pair<int32_t, char*> commands[] = {
        {IfInfoId, iface.interfaceId},          {IfInfoId, iface.interfaceId2},
        {IfInfoDisplayName, iface.displayName}, {IfInfoTLType, iface.tlType},
        {IfInfoA000, iface.vendorA000},         {IfInfoAdapterIp, iface.adapterIp},
        {IfInfoAdapterMask, iface.adapterMask}, {IfInfoA003, iface.vendorA003},
    };
    for (const auto& [command, field] : commands)
        readText(field, [&](char* buffer, size_t* size) {
            return m_table->IFGetInfo(interfaceHandle, command, nullptr, buffer, size);
        });
}

template <class Reader>
bool ZelGenTLControl::ReadDeviceCommands(Reader read, const int32_t* commands, int count, OrvDevicePart& device)
{
    bool any = false;
    for (int i = 0; i < count; ++i) {
        Field field = deviceField(device, commands[i]);
        any |= readInto(field, [&](char* buffer, size_t* size) { return read(commands[i], buffer, size); });
    }
    return any;
}

bool ZelGenTLControl::ReadDeviceInfo(void* interfaceHandle, uint32_t index, OrvDevicePart& device)
{
    device = OrvDevicePart();
    bool found = readText(device.deviceId, [&](char* buffer, size_t* size) {
        return m_table->IFGetDeviceID(interfaceHandle, index, buffer, size);
    });
    if (!found)
        return false;
    ReadDeviceCommands(
        [&](int32_t command, void* buffer, size_t* size) {
            return m_table->IFGetDeviceInfo(interfaceHandle, device.deviceId, command, nullptr, buffer, size);
        },
        kListCommands, int(std::size(kListCommands)), device);
    return true;
}

void ZelGenTLControl::ListDevices(QList<OrvDeviceInfo>& out)
{
    if (!isOpen())
        return;
    for (IF_HANDLE iface : qAsConst(m_interfaces)) {
        if (!iface)
            continue;
        OrvDeviceInfo record;
        ReadInterfaceInfo(iface, record.iface);
        // An interface that cannot list its devices is skipped; the others still are.
        if (m_table->IFUpdateDeviceList(iface, nullptr, kListTimeoutMs) != GC_ERR_SUCCESS)
            continue;
        uint32_t count = 0;
        if (m_table->IFGetNumDevices(iface, &count) != GC_ERR_SUCCESS)
            continue;
        for (uint32_t i = 0; i < count; ++i) {
            if (!ReadDeviceInfo(iface, i, record.device))
                continue;
            bool listed = std::any_of(out.cbegin(), out.cend(), [&](const OrvDeviceInfo& other) {
                return sameCamera(other.device, record.device);
            });
            if (!listed)
                out.append(record);
        }
    }
}

bool ZelGenTLControl::ForceIP(const OrvDeviceInfo& record, uint32_t ip, uint32_t mask, uint32_t gateway)
{
    if (!m_table || !record.iface.interfaceHandle)
        return false;
    return m_table->OrvForceIPConfig(record.iface.interfaceHandle, record.device.id, ip, mask, gateway)
        == GC_ERR_SUCCESS;
}

bool ZelGenTLControl::UpdateDeviceInfo(void* interfaceHandle, const char* deviceId, OrvDevicePart& device)
{
    if (!m_table || !interfaceHandle || !deviceId)
        return false;
    return ReadDeviceCommands(
        [&](int32_t command, void* buffer, size_t* size) {
            return m_table->IFGetDeviceInfo(interfaceHandle, deviceId, command, nullptr, buffer, size);
        },
        kUpdateCommands, int(std::size(kUpdateCommands)), device);
}

bool ZelGenTLControl::OpenDevice(OrvDeviceInfo& record)
{
    if (!m_table || !record.iface.interfaceHandle)
        return false;
    DEV_HANDLE device = nullptr;
    if (m_table->IFOpenDevice(record.iface.interfaceHandle, record.device.deviceId, DEVICE_ACCESS_CONTROL, &device)
            != GC_ERR_SUCCESS
        || !device)
        return false;
    record.device.deviceHandle = device;
    ReadOpenDeviceInfo(record.device);
    return true;
}

void ZelGenTLControl::ReadOpenDeviceInfo(OrvDevicePart& device)
{
    ReadDeviceCommands(
        [&](int32_t command, void* buffer, size_t* size) {
            return m_table->DevGetInfo(device.deviceHandle, command, nullptr, buffer, size);
        },
        kOpenCommands, int(std::size(kOpenCommands)), device);
}

void ZelGenTLControl::CloseDevice(OrvDeviceInfo& record)
{
    if (m_table && record.device.deviceHandle)
        m_table->DevClose(record.device.deviceHandle);
    record.device.deviceHandle = nullptr;
}

bool ZelGenTLControl::SetIPConfig(const OrvDeviceInfo& record, bool dhcp, bool persistentIp, uint32_t ip,
                                  uint32_t mask, uint32_t gateway)
{
    if (!m_table || !record.device.deviceHandle)
        return false;
    return m_table->OrvSetIPConfig(record.device.deviceHandle, dhcp ? 1 : 0, persistentIp ? 1 : 0, ip, mask,
                                   gateway)
        == GC_ERR_SUCCESS;
}
