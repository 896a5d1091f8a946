#include "U3vControl.h"

#include "Bytes.h"
#include "Library.h"
#include "MemZip.h"
#include "Sha1.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace pexlin;

namespace {

using Clock = std::chrono::steady_clock;

void putHeader(std::uint8_t* p, std::uint16_t command, std::uint16_t length, std::uint16_t id)
{
    put32(p, kU3vcPrefix);
    put16(p + 4, kFlagAckRequested);
    put16(p + 6, command);
    put16(p + 8, length);
    put16(p + 10, id);
}

// An acknowledge to an earlier command of this channel: identifiers run
// 1 .. 0xFFFF and wrap to 1.
bool isEarlierId(std::uint16_t received, std::uint16_t current)
{
    const std::uint16_t distance = std::uint16_t(current - received);
    return received != 0 && distance != 0 && distance < 0x8000;
}

// Keeps what is safe in a file name: no path separators, no control bytes.
std::string safeNamePart(const char* text, std::size_t size)
{
    std::string out;
    for (std::size_t i = 0; i < size && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
            || std::strchr(" -_.+,()", c))
            out += char(c);
    }
    return out;
}

} // namespace

U3V_Control::U3V_Control(U3V_Device* owner) : device(owner), ack(kAckBufferSize) {}

U3V_Control::~U3V_Control()
{
    usb::Backend* usb = usb::backend();
    if (!usb || !device || !device->handle)
        return;
    for (std::uint8_t iface : {device->streamInterface, device->eventInterface,
                               device->controlInterface}) {
        if (iface != 0)
            usb->releaseInterface(device->handle, iface);
    }
}

std::uint16_t U3V_Control::nextRequestId()
{
    if (++requestId == 0)
        requestId = 1;
    return requestId;
}

U3V_STATUS U3V_Control::transact(const std::uint8_t* command, int size, std::uint16_t id,
                                 std::uint16_t expectedAck, int* payload)
{
    usb::Backend* usb = usb::backend();
    if (!usb || !device->handle)
        return U3V_STATUS_TRANSFER_FAILED;
    if (usb->bulkWrite(device->handle, device->controlOut, command, size, int(timeoutMs)) < 0) {
        usb->clearHalt(device->handle, device->controlOut);
        return U3V_STATUS_TRANSFER_FAILED;
    }
    std::uint32_t wait = timeoutMs;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait);
    for (;;) {
        const int got = usb->bulkRead(device->handle, device->controlIn, ack.data(),
                                      int(ack.size()), int(wait));
        if (got < 0) {
            usb->clearHalt(device->handle, device->controlIn);
            return U3V_STATUS_TRANSFER_FAILED;
        }
        const std::uint8_t* a = ack.data();
        if (got < 12)
            return U3V_STATUS_WRONG_LENGTH;
        if (get32(a) != kU3vcPrefix)
            return U3V_STATUS_WRONG_PREFIX;
        const std::uint16_t status = get16(a + 4);
        const std::uint16_t ackCommand = get16(a + 6);
        const std::uint16_t length = get16(a + 8);
        const std::uint16_t ackId = get16(a + 10);
        if (ackId != id) {
            // A late answer to an earlier command: drop it and read on
            // within what remains of the time-out.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - Clock::now()).count();
            if (!isEarlierId(ackId, id) || left <= 0)
                return U3V_STATUS_WRONG_REQUEST_ID;
            wait = std::uint32_t(left);
            continue;
        }
        if (status != 0)
            return status;
        if (ackCommand == kPendingAck && expectedAck == kWriteMemAck) {
            const std::uint16_t next = got >= 16 ? get16(a + 14) : 0;
            if (next != 0)
                wait = next;
            deadline = Clock::now() + std::chrono::milliseconds(wait);
            continue;
        }
        if (ackCommand != expectedAck)
            return U3V_STATUS_WRONG_COMMAND;
        if (12 + int(length) > got)
            return U3V_STATUS_WRONG_LENGTH;
        *payload = length;
        return 0;
    }
}

U3V_STATUS U3V_Control::ReadMem(std::uint64_t address, std::uint16_t count, void* data)
{
    U3V_STATUS status = 0;
    if (!open) {
        status = U3V_STATUS_CONTROL_NOT_OPEN;
    } else if (count > kMaxReadCount) {
        status = U3V_STATUS_OUT_OF_RANGE;
    } else {
        std::uint8_t command[24] = {};
        const std::uint16_t id = nextRequestId();
        putHeader(command, kReadMemCmd, 12, id);
        put64(command + 12, address);
        put16(command + 22, count);
        int payload = 0;
        status = transact(command, sizeof command, id, kReadMemAck, &payload);
        if (status == 0 && payload != count)
            status = U3V_STATUS_WRONG_LENGTH;
        if (status == 0) {
            if (count > 0)
                std::memcpy(data, ack.data() + 12, count);
            return 0;
        }
    }
    device->Log(U3V_LOG_ERROR, "ReadMem [%llX]: %04X", static_cast<unsigned long long>(address),
                status);
    return status;
}

U3V_STATUS U3V_Control::WriteMem(std::uint64_t address, std::uint16_t count, const void* data)
{
    U3V_STATUS status = 0;
    if (!open) {
        status = U3V_STATUS_CONTROL_NOT_OPEN;
    } else if (count > kMaxWriteCount) {
        status = U3V_STATUS_OUT_OF_RANGE;
    } else {
        std::vector<std::uint8_t> command(20u + count);
        const std::uint16_t id = nextRequestId();
        putHeader(command.data(), kWriteMemCmd, std::uint16_t(count + 8), id);
        put64(command.data() + 12, address);
        if (count > 0)
            std::memcpy(command.data() + 20, data, count);
        int payload = 0;
        status = transact(command.data(), int(command.size()), id, kWriteMemAck, &payload);
        // The written length, where the device reports it, covers the count.
        if (status == 0 && capWrittenLength && payload >= 4 && get16(ack.data() + 14) < count)
            status = U3V_STATUS_WRONG_LENGTH;
        if (status == 0)
            return 0;
    }
    device->Log(U3V_LOG_ERROR, "WriteMem [%llX]: %04X", static_cast<unsigned long long>(address),
                status);
    return status;
}

U3V_STATUS U3V_Control::Open()
{
    usb::Backend* usb = usb::backend();
    if (!usb || !device->handle || usb->claimInterface(device->handle, device->controlInterface) < 0) {
        device->Log(U3V_LOG_ERROR, "Can't open/claiming control interface.");
        return U3V_STATUS_CLAIM_CONTROL;
    }
    open = 1;
    requestId = 0;
    file.clear();
    zipped = 0;
    usb->clearHalt(device->handle, device->controlIn);
    usb->clearHalt(device->handle, device->controlOut);

    std::uint8_t b[8] = {};
    U3V_STATUS status = ReadMem(kAbrmSbrm, 8, b);
    if (status == 0) {
        sbrmAddress = get64(b);
        status = ReadMem(kAbrmResponseTime, 4, b);
    }
    if (status == 0) {
        // 0 would mean no limit at all: the time-out in use stays.
        if (get32(b) != 0)
            timeoutMs = get32(b);
        status = ReadMem(sbrmAddress + 0x14, 4, b);
    }
    if (status == 0) {
        maxCommandLength = get32(b);
        status = ReadMem(sbrmAddress + 0x18, 4, b);
    }
    if (status == 0) {
        maxAckLength = get32(b);
        status = ReadMem(sbrmAddress + 0x1C, 4, b);
    }
    if (status == 0) {
        streamChannels = get32(b);
        status = ReadMem(kAbrmCapability, 4, b);
    }
    if (status == 0) {
        const std::uint32_t caps = get32(b);
        capUserName = caps & 1;
        capAccessPrivilege = (caps >> 1) & 1;
        capMessageChannel = (caps >> 2) & 1;
        capTimestamp = (caps >> 3) & 1;
        capStringEncoding = (caps >> 4) & 0x0F;
        capFamilyName = (caps >> 8) & 1;
        capSbrm = (caps >> 9) & 1;
        capEndianness = (caps >> 10) & 1;
        capWrittenLength = (caps >> 11) & 1;
        const std::uint8_t zero[8] = {};
        status = WriteMem(kAbrmDeviceConfig, 8, zero);
    }
    if (status == 0)
        device->Log(U3V_LOG_INFO, "Open control interface successful.");
    else
        device->Log(U3V_LOG_ERROR, "Error open control interface.");
    return status;
}

U3V_STATUS U3V_Control::readXmlFile(std::uint64_t address, std::uint32_t size)
{
    std::vector<std::uint8_t> buffer(std::size_t(size) + 256);
    std::size_t pos = 0;
    std::uint32_t remaining = size;
    int failures = 0;
    while (remaining > 0) {
        const std::uint16_t chunk = remaining >= 256 ? 256 : std::uint16_t((remaining + 3) & ~3u);
        const U3V_STATUS status = ReadMem(address, chunk, buffer.data() + pos);
        if (status != 0) {
            device->Log(U3V_LOG_ERROR, "U3V_ReadXml: %04X", status);
            if (++failures >= 5)
                return U3V_STATUS_XML_READ;
            continue;
        }
        pos += chunk;
        address += chunk;
        remaining = remaining > chunk ? remaining - chunk : 0;
    }
    buffer.resize(size);
    file = std::move(buffer);
    return 0;
}

void U3V_Control::dumpFile() const
{
    const U3V_DEVICE_INFO& info = device->entry->info;
    std::string name = library().moduleFolder + "/"
        + safeNamePart(info.vendorName, sizeof info.vendorName) + "-"
        + safeNamePart(info.modelName, sizeof info.modelName) + ".xml";
    if (name.size() > 260)
        return;
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
        if (!file.empty())
            std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
}

U3V_STATUS U3V_Control::ReadXml(std::uint8_t** xml, std::uint32_t* size, bool dump)
{
    U3V_STATUS status = open ? 0 : U3V_STATUS_CONTROL_NOT_OPEN;
    std::uint8_t b[72] = {};
    if (status == 0)
        status = ReadMem(kAbrmManifest, 8, b);
    const std::uint64_t manifest = get64(b);
    if (status == 0)
        status = ReadMem(manifest, 72, b);
    if (status == 0) {
        if (get64(b) == 0)
            device->Log(U3V_LOG_WARNING, "Manifest table count == 0, using defaut table.");
        const std::uint32_t format = get32(b + 12);
        const std::uint64_t fileAddress = get64(b + 16);
        const std::uint64_t fileSize = get64(b + 24);
        if (fileSize == 0 || fileSize > kMaxXmlSize) {
            status = U3V_STATUS_XML_SIZE;
        } else {
            const std::uint32_t length = std::uint32_t(fileSize);
            device->Log(U3V_LOG_INFO, "Read %d uint8_ts from xml memory %llX", int(length),
                        static_cast<unsigned long long>(fileAddress));
            zipped = (format >> 10) & 1;
            status = readXmlFile(fileAddress, length);
        }
    }
    if (status == 0 && dump)
        dumpFile();
    if (status == 0 && zipped) {
        std::vector<std::uint8_t> unpacked;
        switch (memzip::extractFirst(file.data(), file.size(), kMaxXmlSize, unpacked)) {
        case memzip::Status::Ok:
            file = std::move(unpacked);
            break;
        case memzip::Status::NotAZip:
            std::printf("mz_zip_reader_init_file() failed!\n");
            status = U3V_STATUS_UNZIP_FAILED;
            break;
        case memzip::Status::NoEntry:
            std::printf("mz_zip_reader_file_stat() failed!\n");
            status = U3V_STATUS_UNZIP_FAILED;
            break;
        case memzip::Status::Damaged:
            std::printf("mz_zip_reader_extract_file_to_heap() failed!\n");
            status = U3V_STATUS_UNZIP_FAILED;
            break;
        case memzip::Status::TooLarge:
            status = U3V_STATUS_XML_SIZE;
            break;
        }
        std::fflush(stdout);
    }
    if (status != 0) {
        device->Log(U3V_LOG_ERROR, "U3V_ReadXml: %04X", status);
        return status;
    }
    device->Log(U3V_LOG_INFO, "Read xml memory successfully.");
    *xml = file.data();
    *size = std::uint32_t(file.size());
    return 0;
}

U3V_STATUS U3V_Control::WriteXml(const char* path, std::uint32_t fileAddress,
                                 std::uint32_t manifestAddress, std::uint32_t fileVersion,
                                 std::uint32_t schemaVersion, U3V_PROGRESS_CALLBACK progress)
{
    U3V_STATUS status = open ? 0 : U3V_STATUS_CONTROL_NOT_OPEN;
    std::FILE* f = status == 0 ? std::fopen(path, "rb") : nullptr;
    if (status == 0 && !f)
        status = U3V_STATUS_FILE_OPEN;
    long length = 0;
    if (f && (std::fseek(f, 0, SEEK_END) != 0 || (length = std::ftell(f)) < 0
              || std::uint64_t(length) > 0xFFFFFFFFu || std::fseek(f, 0, SEEK_SET) != 0))
        status = U3V_STATUS_FILE_OPEN;

    if (status == 0) {
        // Under 512 bytes the file is one chunk; progress ends at 98.
        const long chunks = std::max(1L, length / 512);
        const float step = 98.0f / float(chunks);
        std::uint64_t offset = 0;
        int failures = 0;
        int calls = 0;
        std::uint8_t chunk[512];
        bool fresh = true;
        std::size_t got = 0;
        while (offset < std::uint64_t(length)) {
            if (fresh) {
                std::memset(chunk, 0, sizeof chunk);
                got = std::fread(chunk, 1, sizeof chunk, f);
                if (got == 0) {
                    status = U3V_STATUS_FILE_OPEN;
                    break;
                }
            }
            const U3V_STATUS written = WriteMem(fileAddress + offset, sizeof chunk, chunk);
            fresh = written == 0;
            if (written == 0)
                offset += got;
            else
                ++failures;
            if (progress)
                progress(std::min(98, int(std::floor(float(calls) * step))));
            ++calls;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (failures >= 5) {
                status = U3V_STATUS_FILE_WRITE;
                break;
            }
        }
    }

    std::uint8_t manifest[72] = {};
    if (status == 0) {
        Sha1 sha;
        std::uint64_t total = 0;
        std::uint8_t block[4096];
        std::rewind(f);
        for (std::size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0; total += n)
            sha.update(block, n);
        const auto digest = sha.finish();
        const bool zip = std::strstr(path, "zip") || std::strstr(path, "ZIP");
        put64(manifest, 1);
        put32(manifest + 8, fileVersion);
        put32(manifest + 12, (zip ? 0x0400u : 0u) | (schemaVersion & 0xFFFFu) << 16);
        put64(manifest + 16, fileAddress);
        put64(manifest + 24, total);
        std::memcpy(manifest + 32, digest.data(), digest.size());
    }
    if (f)
        std::fclose(f);
    if (status == 0 && WriteMem(manifestAddress, sizeof manifest, manifest) != 0)
        status = U3V_STATUS_MANIFEST_WRITE;
    if (status != 0)
        device->Log(U3V_LOG_ERROR, "U3V_WriteXml: %04X", status);
    return status;
}
