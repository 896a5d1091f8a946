#include "ZelGenTLControl.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace GenTL;

namespace {

const uint64_t kListTimeoutMs = 1000;

const int32_t kListCommands[] = {
    DEVICE_INFO_ID, DEVICE_INFO_DISPLAYNAME, DEVICE_INFO_TLTYPE, DEVICE_INFO_VENDOR, DEVICE_INFO_MODEL,
    DEVICE_INFO_ACCESS_STATUS, DEVICE_INFO_SERIAL_NUMBER, DEVICE_INFO_VERSION, DEVICE_INFO_USER_DEFINED_NAME,
    DEVICE_INFO_MAC, DEVICE_INFO_IP, DEVICE_INFO_MASK, DEVICE_INFO_GATEWAY, DEVICE_INFO_IP_FLAGS,
    DEVICE_INFO_IP_FLAGS_SUPPORTED,
};
const int32_t kUpdateCommands[] = {
    DEVICE_INFO_DISPLAYNAME, DEVICE_INFO_TLTYPE, DEVICE_INFO_VENDOR, DEVICE_INFO_MODEL, DEVICE_INFO_ACCESS_STATUS,
    DEVICE_INFO_SERIAL_NUMBER, DEVICE_INFO_VERSION, DEVICE_INFO_MAC, DEVICE_INFO_IP, DEVICE_INFO_MASK,
    DEVICE_INFO_GATEWAY, DEVICE_INFO_IP_FLAGS, DEVICE_INFO_IP_FLAGS_SUPPORTED,
};
const int32_t kOpenCommands[] = {
    DEVICE_INFO_ID, DEVICE_INFO_DISPLAYNAME, DEVICE_INFO_TLTYPE, DEVICE_INFO_VENDOR, DEVICE_INFO_MODEL,
    DEVICE_INFO_ACCESS_STATUS, DEVICE_INFO_SERIAL_NUMBER, DEVICE_INFO_VERSION, DEVICE_INFO_USER_DEFINED_NAME,
    DEVICE_INFO_MAC, DEVICE_INFO_IP, DEVICE_INFO_MASK, DEVICE_INFO_GATEWAY, DEVICE_INFO_IP_FLAGS,
    DEVICE_INFO_IP_FLAGS_SUPPORTED, DEVICE_INFO_PERSISTENT_IP, DEVICE_INFO_PERSISTENT_MASK,
    DEVICE_INFO_PERSISTENT_GATEWAY,
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
    case DEVICE_INFO_ID: return textField(d.id);
    case DEVICE_INFO_VENDOR: return textField(d.vendor);
    case DEVICE_INFO_MODEL: return textField(d.model);
    case DEVICE_INFO_TLTYPE: return textField(d.tlType);
    case DEVICE_INFO_DISPLAYNAME: return textField(d.displayName);
    case DEVICE_INFO_ACCESS_STATUS: return wordField(d.accessStatus);
    case DEVICE_INFO_USER_DEFINED_NAME: return textField(d.userDefinedName);
    case DEVICE_INFO_SERIAL_NUMBER: return textField(d.serialNumber);
    case DEVICE_INFO_VERSION: return textField(d.version);
    case DEVICE_INFO_MAC: return wordField(d.mac);
    case DEVICE_INFO_IP: return wordField(d.currentIp);
    case DEVICE_INFO_MASK: return wordField(d.currentMask);
    case DEVICE_INFO_GATEWAY: return wordField(d.currentGateway);
    case DEVICE_INFO_IP_FLAGS: return wordField(d.ipFlags);
    case DEVICE_INFO_IP_FLAGS_SUPPORTED: return wordField(d.vendorB005);
    case DEVICE_INFO_PERSISTENT_IP: return wordField(d.persistentIp);
    case DEVICE_INFO_PERSISTENT_MASK: return wordField(d.persistentMask);
    case DEVICE_INFO_PERSISTENT_GATEWAY: return wordField(d.persistentGateway);
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
        {INTERFACE_INFO_ID, iface.interfaceId},
        {INTERFACE_INFO_ID, iface.interfaceId2},
        {INTERFACE_INFO_DISPLAYNAME, iface.displayName},
        {INTERFACE_INFO_TLTYPE, iface.tlType},
        {INTERFACE_INFO_MAC_TEXT, iface.vendorA000},
        {INTERFACE_INFO_IP_TEXT, iface.adapterIp},
        {INTERFACE_INFO_MASK_TEXT, iface.adapterMask},
        {INTERFACE_INFO_GATEWAY_TEXT, iface.vendorA003},
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
