// The GigE GenTL producer, loaded at run time: its 59 functions bound by
// name, and typed forwarders for the calls the tool makes.
#ifndef GENTLPRODUCERTABLE_H
#define GENTLPRODUCERTABLE_H

#include "GenTLInterface.h"

#include <QString>

#include <cstddef>
#include <cstdint>


typedef void (*GENTL_PRODUCER_FN)();

class GenTLProducerTable
{
public:
    // Table order; each entry is bound by the name of kNames at its index.
    enum Function {
        FnGCGetInfo, FnGCGetLastError, FnGCInitLib, FnGCCloseLib, FnGCReadPort, FnGCWritePort,
        FnGCGetPortURL, FnGCGetPortInfo, FnGCRegisterEvent, FnGCUnregisterEvent, FnEventGetData,
        FnEventGetDataInfo, FnEventGetInfo, FnEventFlush, FnEventKill, FnTLOpen, FnTLClose, FnTLGetInfo,
        FnTLGetNumInterfaces, FnTLGetInterfaceID, FnTLGetInterfaceInfo, FnTLOpenInterface,
        FnTLUpdateInterfaceList, FnIFClose, FnIFGetInfo, FnIFGetNumDevices, FnIFGetDeviceID,
        FnIFUpdateDeviceList, FnIFGetDeviceInfo, FnIFOpenDevice, FnDevGetPort, FnDevGetNumDataStreams,
        FnDevGetDataStreamID, FnDevOpenDataStream, FnDevGetInfo, FnDevClose, FnDSAnnounceBuffer,
        FnDSAllocAndAnnounceBuffer, FnDSFlushQueue, FnDSStartAcquisition, FnDSStopAcquisition, FnDSGetInfo,
        FnDSGetBufferID, FnDSClose, FnDSRevokeBuffer, FnDSQueueBuffer, FnDSGetBufferInfo, FnGCGetNumPortURLs,
        FnGCGetPortURLInfo, FnGCReadPortStacked, FnGCWritePortStacked, FnDSGetBufferChunkData,
        FnIFGetParentTL, FnDevGetParentIF, FnDSGetParentDev, FnDSGetNumBufferParts, FnDSGetBufferPartInfo,
        FnOrvForceIPConfig, FnOrvSetIPConfig,
        FunctionCount
    };
    static const char* const kNames[FunctionCount];

    // Loads the library at that path and binds every name it exports; a
    // library that does not load raises the int -1.
    explicit GenTLProducerTable(const QString& path);
    ~GenTLProducerTable();
    GenTLProducerTable(const GenTLProducerTable&) = delete;
    GenTLProducerTable& operator=(const GenTLProducerTable&) = delete;

    // Frees the library; every entry becomes null.
    void release();
    bool isLoaded() const { return m_module != nullptr; }
    bool has(Function f) const { return m_functions[f] != nullptr; }
    // The first of the calls that listing cameras needs which the producer
    // lacks, or null when it has them all.
    const char* missingRequired() const;

    // Forwarders: the producer's result, or GC_ERR_NOT_IMPLEMENTED when it
    // lacks the function.
    GenTL::GC_ERROR GCInitLib() const;
    GenTL::GC_ERROR GCCloseLib() const;
    GenTL::GC_ERROR TLOpen(GenTL::TL_HANDLE* tl) const;
    GenTL::GC_ERROR TLClose(GenTL::TL_HANDLE tl) const;
    GenTL::GC_ERROR TLUpdateInterfaceList(GenTL::TL_HANDLE tl, GenTL::bool8_t* changed, uint64_t timeoutMs) const;
    GenTL::GC_ERROR TLGetNumInterfaces(GenTL::TL_HANDLE tl, uint32_t* count) const;
    GenTL::GC_ERROR TLGetInterfaceID(GenTL::TL_HANDLE tl, uint32_t index, char* id, size_t* size) const;
    GenTL::GC_ERROR TLOpenInterface(GenTL::TL_HANDLE tl, const char* id, GenTL::IF_HANDLE* iface) const;
    GenTL::GC_ERROR IFClose(GenTL::IF_HANDLE iface) const;
    GenTL::GC_ERROR IFGetInfo(GenTL::IF_HANDLE iface, int32_t command, GenTL::INFO_DATATYPE* type, void* buffer,
                              size_t* size) const;
    GenTL::GC_ERROR IFUpdateDeviceList(GenTL::IF_HANDLE iface, GenTL::bool8_t* changed, uint64_t timeoutMs) const;
    GenTL::GC_ERROR IFGetNumDevices(GenTL::IF_HANDLE iface, uint32_t* count) const;
    GenTL::GC_ERROR IFGetDeviceID(GenTL::IF_HANDLE iface, uint32_t index, char* id, size_t* size) const;
    GenTL::GC_ERROR IFGetDeviceInfo(GenTL::IF_HANDLE iface, const char* deviceId, int32_t command,
                                    GenTL::INFO_DATATYPE* type, void* buffer, size_t* size) const;
    GenTL::GC_ERROR IFOpenDevice(GenTL::IF_HANDLE iface, const char* deviceId, int32_t access,
                                 GenTL::DEV_HANDLE* device) const;
    GenTL::GC_ERROR DevGetInfo(GenTL::DEV_HANDLE device, int32_t command, GenTL::INFO_DATATYPE* type, void* buffer,
                               size_t* size) const;
    GenTL::GC_ERROR DevClose(GenTL::DEV_HANDLE device) const;
    GenTL::GC_ERROR OrvForceIPConfig(GenTL::IF_HANDLE iface, const char* deviceId, uint32_t ip, uint32_t mask,
                                     uint32_t gateway) const;
    GenTL::GC_ERROR OrvSetIPConfig(GenTL::DEV_HANDLE device, GenTL::bool8_t dhcp, GenTL::bool8_t persistentIp,
                                   uint32_t ip, uint32_t mask, uint32_t gateway) const;

private:
    // Calls entry f as a function of signature Fn.
    template <class Fn, class... Args>
    GenTL::GC_ERROR call(Function f, Args... args) const
    {
        auto fn = reinterpret_cast<Fn*>(m_functions[f]);
        return fn ? fn(args...) : GenTL::GC_ERR_NOT_IMPLEMENTED;
    }

    void* m_module = nullptr;
    GENTL_PRODUCER_FN m_functions[FunctionCount] = {};
};

#endif // GENTLPRODUCERTABLE_H
