// The exports of the simulated producers: the GenTL calls they serve and
// the maker's two IP functions. The other names of the producer table exist
// and answer GC_ERR_NOT_IMPLEMENTED.
#ifndef GENTLTYPES_H
#define GENTLTYPES_H

#include "GenTLInterface.h"

using namespace GenTL;

#define GENTL_EXPORT extern "C" __attribute__((visibility("default")))

GENTL_EXPORT GCInitLibFn GCInitLib;
GENTL_EXPORT GCCloseLibFn GCCloseLib;
GENTL_EXPORT TLOpenFn TLOpen;
GENTL_EXPORT TLCloseFn TLClose;
GENTL_EXPORT TLUpdateInterfaceListFn TLUpdateInterfaceList;
GENTL_EXPORT TLGetNumInterfacesFn TLGetNumInterfaces;
GENTL_EXPORT TLGetInterfaceIDFn TLGetInterfaceID;
GENTL_EXPORT TLOpenInterfaceFn TLOpenInterface;
GENTL_EXPORT IFCloseFn IFClose;
GENTL_EXPORT IFGetInfoFn IFGetInfo;
GENTL_EXPORT IFUpdateDeviceListFn IFUpdateDeviceList;
GENTL_EXPORT IFGetNumDevicesFn IFGetNumDevices;
GENTL_EXPORT IFGetDeviceIDFn IFGetDeviceID;
GENTL_EXPORT IFGetDeviceInfoFn IFGetDeviceInfo;
GENTL_EXPORT IFOpenDeviceFn IFOpenDevice;
GENTL_EXPORT DevGetInfoFn DevGetInfo;
GENTL_EXPORT DevCloseFn DevClose;
GENTL_EXPORT OrvForceIPConfigFn OrvForceIPConfig;
GENTL_EXPORT OrvSetIPConfigFn OrvSetIPConfig;

#endif // GENTLTYPES_H
