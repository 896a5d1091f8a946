// One GigE camera as the IP tool knows it: the interface it was found on and
// the device's own values. Texts are zero-terminated 512-byte fields; IPv4
// values have the first dotted octet in the most significant byte.
#ifndef ORVDEVICEINFO_H
#define ORVDEVICEINFO_H

#include <QMetaType>

#include <cstdint>

enum : int { OrvTextSize = 512 };

struct OrvInterfacePart {
    void* interfaceHandle = nullptr;
    char interfaceId[OrvTextSize] = {};
    char interfaceId2[OrvTextSize] = {};
    char displayName[OrvTextSize] = {};
    char tlType[OrvTextSize] = {};
    char vendorA000[OrvTextSize] = {};
    char adapterIp[OrvTextSize] = {};   // 0xA001
    char adapterMask[OrvTextSize] = {}; // 0xA002
    char vendorA003[OrvTextSize] = {};
};

struct OrvDevicePart {
    void* deviceHandle = nullptr;       // set only while Configure has it open
    char deviceId[OrvTextSize] = {};    // as IFGetDeviceID gave it
    char id[OrvTextSize] = {};
    char vendor[OrvTextSize] = {};
    char model[OrvTextSize] = {};
    char displayName[OrvTextSize] = {};
    char tlType[OrvTextSize] = {};
    uint32_t accessStatus = 0;
    char userDefinedName[OrvTextSize] = {};
    char serialNumber[OrvTextSize] = {};
    char version[OrvTextSize] = {};
    uint64_t mac = 0;                   // low 48 bits, first byte most significant
    uint32_t currentMask = 0;
    uint32_t currentGateway = 0;
    uint32_t currentIp = 0;
    uint32_t ipFlags = 0;               // bit 0 persistent IP, bit 1 DHCP, bit 2 LLA
    uint32_t vendorB005 = 0;
    uint32_t persistentMask = 0;
    uint32_t persistentGateway = 0;
    uint32_t persistentIp = 0;
};

struct OrvDeviceInfo {
    OrvInterfacePart iface;
    OrvDevicePart device;
};

enum : uint32_t {
    OrvIpFlagPersistent = 1u,
    OrvIpFlagDhcp = 2u,
    OrvIpFlagLla = 4u,
};

Q_DECLARE_METATYPE(OrvDeviceInfo)

#endif // ORVDEVICEINFO_H
