#include "GenTLProducerTable.h"

#include <QFile>

#include <dlfcn.h>

using namespace GenTL;

const char* const GenTLProducerTable::kNames[FunctionCount] = {
    "GCGetInfo", "GCGetLastError", "GCInitLib", "GCCloseLib", "GCReadPort", "GCWritePort", "GCGetPortURL",
    "GCGetPortInfo", "GCRegisterEvent", "GCUnregisterEvent", "EventGetData", "EventGetDataInfo", "EventGetInfo",
    "EventFlush", "EventKill", "TLOpen", "TLClose", "TLGetInfo", "TLGetNumInterfaces", "TLGetInterfaceID",
    "TLGetInterfaceInfo", "TLOpenInterface", "TLUpdateInterfaceList", "IFClose", "IFGetInfo", "IFGetNumDevices",
    "IFGetDeviceID", "IFUpdateDeviceList", "IFGetDeviceInfo", "IFOpenDevice", "DevGetPort",
    "DevGetNumDataStreams", "DevGetDataStreamID", "DevOpenDataStream", "DevGetInfo", "DevClose",
    "DSAnnounceBuffer", "DSAllocAndAnnounceBuffer", "DSFlushQueue", "DSStartAcquisition", "DSStopAcquisition",
    "DSGetInfo", "DSGetBufferID", "DSClose", "DSRevokeBuffer", "DSQueueBuffer", "DSGetBufferInfo",
    "GCGetNumPortURLs", "GCGetPortURLInfo", "GCReadPortStacked", "GCWritePortStacked", "DSGetBufferChunkData",
    "IFGetParentTL", "DevGetParentIF", "DSGetParentDev", "DSGetNumBufferParts", "DSGetBufferPartInfo",
    "OrvForceIPConfig", "OrvSetIPConfig",
};

GenTLProducerTable::GenTLProducerTable(const QString& path)
{
    m_module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_module)
        throw -1;
    for (int i = 0; i < FunctionCount; ++i)
        m_functions[i] = reinterpret_cast<GENTL_PRODUCER_FN>(dlsym(m_module, kNames[i]));
}

GenTLProducerTable::~GenTLProducerTable()
{
    release();
}

void GenTLProducerTable::release()
{
    for (GENTL_PRODUCER_FN& f : m_functions)
        f = nullptr;
    if (m_module)
        dlclose(m_module);
    m_module = nullptr;
}

const char* GenTLProducerTable::missingRequired() const
{
    static const Function required[] = {
        FnGCInitLib, FnTLOpen, FnTLUpdateInterfaceList, FnTLGetNumInterfaces, FnTLGetInterfaceID,
        FnTLOpenInterface, FnIFUpdateDeviceList, FnIFGetNumDevices, FnIFGetDeviceID, FnIFGetDeviceInfo,
    };
    for (Function f : required)
        if (!has(f))
            return kNames[f];
    return nullptr;
}

GC_ERROR GenTLProducerTable::GCInitLib() const { return call<GCInitLibFn>(FnGCInitLib); }
GC_ERROR GenTLProducerTable::GCCloseLib() const { return call<GCCloseLibFn>(FnGCCloseLib); }
GC_ERROR GenTLProducerTable::TLOpen(TL_HANDLE* tl) const { return call<TLOpenFn>(FnTLOpen, tl); }
GC_ERROR GenTLProducerTable::TLClose(TL_HANDLE tl) const { return call<TLCloseFn>(FnTLClose, tl); }

GC_ERROR GenTLProducerTable::TLUpdateInterfaceList(TL_HANDLE tl, bool8_t* changed, uint64_t timeoutMs) const
{
    return call<TLUpdateInterfaceListFn>(FnTLUpdateInterfaceList, tl, changed, timeoutMs);
}

GC_ERROR GenTLProducerTable::TLGetNumInterfaces(TL_HANDLE tl, uint32_t* count) const
{
    return call<TLGetNumInterfacesFn>(FnTLGetNumInterfaces, tl, count);
}

GC_ERROR GenTLProducerTable::TLGetInterfaceID(TL_HANDLE tl, uint32_t index, char* id, size_t* size) const
{
    return call<TLGetInterfaceIDFn>(FnTLGetInterfaceID, tl, index, id, size);
}

GC_ERROR GenTLProducerTable::TLOpenInterface(TL_HANDLE tl, const char* id, IF_HANDLE* iface) const
{
    return call<TLOpenInterfaceFn>(FnTLOpenInterface, tl, id, iface);
}

GC_ERROR GenTLProducerTable::IFClose(IF_HANDLE iface) const { return call<IFCloseFn>(FnIFClose, iface); }

GC_ERROR GenTLProducerTable::IFGetInfo(IF_HANDLE iface, int32_t command, INFO_DATATYPE* type, void* buffer,
                                       size_t* size) const
{
    return call<IFGetInfoFn>(FnIFGetInfo, iface, command, type, buffer, size);
}

GC_ERROR GenTLProducerTable::IFUpdateDeviceList(IF_HANDLE iface, bool8_t* changed, uint64_t timeoutMs) const
{
    return call<IFUpdateDeviceListFn>(FnIFUpdateDeviceList, iface, changed, timeoutMs);
}

GC_ERROR GenTLProducerTable::IFGetNumDevices(IF_HANDLE iface, uint32_t* count) const
{
    return call<IFGetNumDevicesFn>(FnIFGetNumDevices, iface, count);
}

GC_ERROR GenTLProducerTable::IFGetDeviceID(IF_HANDLE iface, uint32_t index, char* id, size_t* size) const
{
    return call<IFGetDeviceIDFn>(FnIFGetDeviceID, iface, index, id, size);
}

GC_ERROR GenTLProducerTable::IFGetDeviceInfo(IF_HANDLE iface, const char* deviceId, int32_t command,
                                             INFO_DATATYPE* type, void* buffer, size_t* size) const
{
    return call<IFGetDeviceInfoFn>(FnIFGetDeviceInfo, iface, deviceId, command, type, buffer, size);
}

GC_ERROR GenTLProducerTable::IFOpenDevice(IF_HANDLE iface, const char* deviceId, int32_t access,
                                          DEV_HANDLE* device) const
{
    return call<IFOpenDeviceFn>(FnIFOpenDevice, iface, deviceId, access, device);
}

GC_ERROR GenTLProducerTable::DevGetInfo(DEV_HANDLE device, int32_t command, INFO_DATATYPE* type, void* buffer,
                                        size_t* size) const
{
    return call<DevGetInfoFn>(FnDevGetInfo, device, command, type, buffer, size);
}

GC_ERROR GenTLProducerTable::DevClose(DEV_HANDLE device) const { return call<DevCloseFn>(FnDevClose, device); }

GC_ERROR GenTLProducerTable::OrvForceIPConfig(IF_HANDLE iface, const char* deviceId, uint32_t ip, uint32_t mask,
                                              uint32_t gateway) const
{
    return call<OrvForceIPConfigFn>(FnOrvForceIPConfig, iface, deviceId, ip, mask, gateway);
}

GC_ERROR GenTLProducerTable::OrvSetIPConfig(DEV_HANDLE device, bool8_t dhcp, bool8_t persistentIp, uint32_t ip,
                                            uint32_t mask, uint32_t gateway) const
{
    return call<OrvSetIPConfigFn>(FnOrvSetIPConfig, device, dhcp, persistentIp, ip, mask, gateway);
}
