// The IP tool's core: opens the GigE GenTL producer, lists the cameras of
// all its interfaces and changes their IP configuration.
#ifndef ZELGENTLCONTROL_H
#define ZELGENTLCONTROL_H

#include "GenTLProducerTable.h"
#include "OrvDeviceInfo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class ZelGenTLControl : public QObject
{
    Q_OBJECT
public:
    explicit ZelGenTLControl(QObject* parent = nullptr);
    ~ZelGenTLControl() override;

    // Folder of the producer: NORRIK_TLGIGE_BIN_32, else "cti" beside the program.
    static QString producerFolder();
    // The first producer file of that folder that exists, or empty.
    static QString findProducer(const QString& folder);

    bool Open();
    void Close();
    bool isOpen() const { return m_tl != nullptr; }

    void ListDevices(QList<OrvDeviceInfo>& out);
    bool ForceIP(const OrvDeviceInfo& record, uint32_t ip, uint32_t mask, uint32_t gateway);
    // Re-reads the listing values of one camera; false when no value could be read.
    bool UpdateDeviceInfo(void* interfaceHandle, const char* deviceId, OrvDevicePart& device);
    bool OpenDevice(OrvDeviceInfo& record);
    void CloseDevice(OrvDeviceInfo& record);
    bool SetIPConfig(const OrvDeviceInfo& record, bool dhcp, bool persistentIp, uint32_t ip, uint32_t mask,
                     uint32_t gateway);

private:
    bool ReadDeviceInfo(void* interfaceHandle, uint32_t index, OrvDevicePart& device);
    void ReadOpenDeviceInfo(OrvDevicePart& device);
    void ReadInterfaceInfo(void* interfaceHandle, OrvInterfacePart& iface);
    // One info command into a field; the reader is IFGetDeviceInfo or DevGetInfo.
    template <class Reader>
    bool ReadDeviceCommands(Reader read, const int32_t* commands, int count, OrvDevicePart& device);

    std::unique_ptr<GenTLProducerTable> m_table;
    GenTL::TL_HANDLE m_tl = nullptr;
    QList<GenTL::IF_HANDLE> m_interfaces;
};

#endif // ZELGENTLCONTROL_H
