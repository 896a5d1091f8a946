// The control channel of an opened device: U3VCP commands over the control
// interface's bulk endpoints.
#pragma once

#include "U3vDevice.h"

#include <cstdint>
#include <vector>

namespace pexlin {

constexpr std::uint32_t kU3vcPrefix = 0x43563355; // "U3VC"
constexpr std::uint16_t kReadMemCmd = 0x0800;
constexpr std::uint16_t kReadMemAck = 0x0801;
constexpr std::uint16_t kWriteMemCmd = 0x0802;
constexpr std::uint16_t kWriteMemAck = 0x0803;
constexpr std::uint16_t kPendingAck = 0x0805;
constexpr std::uint16_t kFlagAckRequested = 0x4000;

constexpr std::uint64_t kAbrmCapability = 0x01C4;
constexpr std::uint64_t kAbrmResponseTime = 0x01CC;
constexpr std::uint64_t kAbrmManifest = 0x01D0;
constexpr std::uint64_t kAbrmSbrm = 0x01D8;
constexpr std::uint64_t kAbrmDeviceConfig = 0x01E0;

constexpr std::uint16_t kMaxReadCount = 1012;
constexpr std::uint16_t kMaxWriteCount = 1024;
constexpr std::size_t kAckBufferSize = 1024;
constexpr std::uint32_t kDefaultTimeoutMs = 3000;
// A GenICam file or its unpacked form above this is refused.
constexpr std::uint64_t kMaxXmlSize = 64u << 20;

} // namespace pexlin

struct U3V_Control {
    U3V_Device* device = nullptr;
    std::vector<std::uint8_t> ack;
    std::uint16_t requestId = 0;
    std::uint8_t open = 0;
    std::uint32_t maxCommandLength = 0;
    std::uint32_t maxAckLength = 0;
    std::uint32_t streamChannels = 0;
    std::uint8_t capUserName = 0;
    std::uint8_t capAccessPrivilege = 0;
    std::uint8_t capMessageChannel = 0;
    std::uint8_t capTimestamp = 0;
    std::uint8_t capStringEncoding = 0;
    std::uint8_t capFamilyName = 0;
    std::uint8_t capSbrm = 0;
    std::uint8_t capEndianness = 0;
    std::uint8_t capWrittenLength = 0;
    std::uint32_t timeoutMs = pexlin::kDefaultTimeoutMs;
    std::vector<std::uint8_t> file;
    std::uint8_t zipped = 0;
    std::uint64_t sbrmAddress = 0;

    explicit U3V_Control(U3V_Device* owner);
    ~U3V_Control();

    U3V_STATUS Open();
    U3V_STATUS ReadMem(std::uint64_t address, std::uint16_t count, void* data);
    U3V_STATUS WriteMem(std::uint64_t address, std::uint16_t count, const void* data);
    U3V_STATUS ReadXml(std::uint8_t** xml, std::uint32_t* size, bool dump);
    U3V_STATUS WriteXml(const char* path, std::uint32_t fileAddress,
                        std::uint32_t manifestAddress, std::uint32_t fileVersion,
                        std::uint32_t schemaVersion, U3V_PROGRESS_CALLBACK progress);

private:
    std::uint16_t nextRequestId();
    // Sends a command and reads its acknowledge; returns the status.
    U3V_STATUS transact(const std::uint8_t* command, int size, std::uint16_t id,
                        std::uint16_t expectedAck, int* payload);
    U3V_STATUS readXmlFile(std::uint64_t address, std::uint32_t size);
    void dumpFile() const;
};
