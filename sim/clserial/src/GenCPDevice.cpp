#include "ClSerialSim.h"

#include "MemZip.h"

#include <algorithm>

namespace clsim {
namespace {

std::uint16_t get16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] << 8 | b[at + 1]); }

std::uint64_t get64(const Bytes& b, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | b[at + i];
    return v;
}

void put16(Bytes& b, std::size_t at, std::uint16_t v)
{
    b[at] = std::uint8_t(v >> 8);
    b[at + 1] = std::uint8_t(v);
}

void putBE(Bytes& b, std::size_t at, std::uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        b[at + i] = std::uint8_t(v);
}

// RFC 1071 sum over frame bytes [from, to), as the camera's firmware does it.
std::uint16_t internetChecksum(const Bytes& b, std::size_t from, std::size_t to)
{
    std::uint32_t sum = 0;
    for (std::size_t i = from; i < to; i += 2)
        sum += std::uint32_t(b[i] << 8) | (i + 1 < to ? b[i + 1] : 0);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint16_t(~sum);
}

void seal(Bytes& frame)
{
    put16(frame, 2, internetChecksum(frame, 6, 16));
    put16(frame, 4, internetChecksum(frame, 6, frame.size()));
}

void putText(Bytes& abrm, std::size_t at, const std::string& text)
{
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 64), abrm.begin() + at);
}

}  // namespace

GenCPDevice::GenCPDevice(CameraConfig config) : m_config(std::move(config)), m_rate(m_config.rate)
{
    Bytes abrm(0x200, 0);
    putBE(abrm, 0x0000, 0x00010000, 4);  // GenCP 1.0
    putText(abrm, 0x0004, m_config.manufacturer);
    putText(abrm, 0x0044, m_config.model);
    putText(abrm, 0x00C4, m_config.version);
    putText(abrm, 0x0144, m_config.serial);
    putBE(abrm, 0x01D0, kManifestAddress, 8);
    putBE(abrm, 0x01D8, kSbrmAddress, 8);
    m_regions[0] = abrm;

    Bytes file(m_config.xml.begin(), m_config.xml.end());
    if (m_config.zipped) {
        Bytes zip;
        memzip::createSingle("camera.xml", file.data(), file.size(), zip);
        if (m_config.damagedZip)
            for (std::size_t i = 30; i < zip.size() && i < 60; ++i)
                zip[i] ^= 0xA5;  // the entry's data, past its local header
        file = zip;
    }
    m_regions[kFileAddress] = file;

    Bytes manifest(8 + 64, 0);
    putBE(manifest, 0, 1, 8);
    putBE(manifest, 8, m_config.fileVersion, 4);
    const std::uint32_t fileType = m_config.zipped ? 1 : 0;
    putBE(manifest, 12, std::uint32_t(m_config.schemaMajor) << 24 | std::uint32_t(m_config.schemaMinor) << 16 | fileType << 10, 4);
    putBE(manifest, 16, kFileAddress, 8);
    putBE(manifest, 24, m_config.hugeFile ? (std::uint64_t(1) << 40) : file.size(), 8);
    m_regions[kManifestAddress] = manifest;

    Bytes sbrm(8, 0);
    putBE(sbrm, 0, m_config.rates, 4);
    putBE(sbrm, 4, m_config.rate, 4);
    m_regions[kSbrmAddress] = sbrm;
    m_regions[kScratchAddress] = Bytes(kScratchSize, 0);
}

void GenCPDevice::setFault(Fault fault, int count, int delayMs, std::uint16_t status)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fault = fault;
    m_faultCount = count;
    m_faultDelay = delayMs;
    m_faultStatus = status;
}

std::uint32_t GenCPDevice::rate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rate;
}

std::vector<CommandRecord> GenCPDevice::commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

void GenCPDevice::clearCommands()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_commands.clear();
}

Bytes GenCPDevice::memory(std::uint64_t address, std::size_t length) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [start, bytes] : m_regions)
        if (address >= start && address - start + length <= bytes.size())
            return Bytes(bytes.begin() + (address - start), bytes.begin() + (address - start + length));
    return {};
}

Bytes GenCPDevice::storedFile() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_regions.at(kFileAddress);
}

bool GenCPDevice::region(std::uint64_t address, std::size_t length, Bytes*& bytes, std::size_t& offset)
{
    auto it = m_regions.upper_bound(address);
    if (it == m_regions.begin())
        return false;
    --it;
    const std::uint64_t start = it->first;
    if (address - start > it->second.size() || length > it->second.size() - (address - start))
        return false;
    bytes = &it->second;
    offset = std::size_t(address - start);
    return true;
}

Answer GenCPDevice::build(std::uint16_t status, std::uint16_t command, std::uint16_t requestId, const Bytes& scd) const
{
    Answer answer;
    Bytes& f = answer.bytes;
    f.assign(16, 0);
    put16(f, 0, 0x0100);
    put16(f, 8, status);
    put16(f, 10, command);
    put16(f, 12, std::uint16_t(scd.size()));
    put16(f, 14, requestId);
    f.insert(f.end(), scd.begin(), scd.end());
    seal(f);
    return answer;
}

bool GenCPDevice::process(const Bytes& frame, std::uint32_t lineRate, Answer& answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (frame.size() < 16 || get16(frame, 0) != 0x0100 || get16(frame, 2) != internetChecksum(frame, 6, 16)
        || get16(frame, 4) != internetChecksum(frame, 6, frame.size()))
        return false;
    const std::uint16_t command = get16(frame, 10);
    const std::uint16_t requestId = get16(frame, 14);
    CommandRecord record;
    record.command = command;
    record.requestId = requestId;
    record.lineRate = lineRate;
    if (frame.size() >= 24)
        record.address = get64(frame, 16);
    if (command == 0x0800 && frame.size() == 28)
        record.length = get16(frame, 26);
    else if (command == 0x0802)
        record.length = std::uint32_t(frame.size() - 24);

    Fault fault = Fault::None;
    if (m_fault != Fault::None && m_faultCount != 0) {
        fault = m_fault;
        if (m_faultCount > 0 && --m_faultCount == 0)
            m_fault = Fault::None;
    }
    if (lineRate != m_rate || fault == Fault::Silent) {
        m_commands.push_back(record);
        return false;
    }
    record.answered = true;
    m_commands.push_back(record);

    std::uint16_t status = 0;
    Bytes scd;
    std::uint16_t ackCommand = std::uint16_t(command + 1);
    std::uint32_t newRate = 0;
    Bytes* bytes = nullptr;
    std::size_t offset = 0;
    if (command == 0x0800 && frame.size() == 28) {
        if (region(record.address, record.length, bytes, offset))
            scd.assign(bytes->begin() + offset, bytes->begin() + offset + record.length);
        else
            status = kStatusInvalidAddress;
    } else if (command == 0x0802 && frame.size() >= 24) {
        const bool writable = (record.address == kSbrmAddress + 4 && record.length == 4)
                              || (record.address >= kScratchAddress && region(record.address, record.length, bytes, offset)
                                  && bytes == &m_regions[kScratchAddress]);
        if (!writable) {
            status = kStatusWriteProtect;
        } else if (record.address == kSbrmAddress + 4) {
            const std::uint32_t value = std::uint32_t(get16(frame, 24)) << 16 | get16(frame, 26);
            if (value == 0 || (value & (value - 1)) != 0 || (value & m_config.rates) == 0)
                status = kStatusInvalidParameter;
            else
                newRate = value;
        } else {
            std::copy(frame.begin() + 24, frame.end(), m_regions[kScratchAddress].begin() + offset);
        }
        if (status == 0) {
            scd.assign(4, 0);
            std::uint16_t written = std::uint16_t(record.length);
            if (fault == Fault::ShortWritten)
                --written;
            put16(scd, 2, written);
        }
    } else {
        status = kStatusNotImplemented;
    }
    if (fault == Fault::Refuse) {
        status = m_faultStatus;
        scd.clear();
    }
    if (status != 0)
        scd.clear();
    if (fault == Fault::WrongCommand)
        ackCommand = ackCommand == 0x0801 ? 0x0803 : 0x0801;
    answer = build(status, ackCommand, fault == Fault::WrongRequestId ? std::uint16_t(requestId + 1) : requestId, scd);
    Bytes& f = answer.bytes;
    switch (fault) {
    case Fault::WrongCcd: put16(f, 2, std::uint16_t(get16(f, 2) + 1)); break;
    case Fault::WrongScd: put16(f, 4, std::uint16_t(get16(f, 4) + 1)); break;
    case Fault::Garbled:
        for (std::size_t i = 0; i < f.size(); ++i)
            f[i] = std::uint8_t(f[i] * 7 + 0x3D + i);
        break;
    case Fault::Delay: answer.delayMs = m_faultDelay; break;
    default: break;
    }
    if (newRate != 0) {
        // The acknowledge goes out at the old rate; the camera then switches.
        m_rate = newRate;
        putBE(m_regions[kSbrmAddress], 4, newRate, 4);
    }
    return true;
}

void FrameSplitter::feed(const std::uint8_t* data, std::size_t size) { m_buffer.insert(m_buffer.end(), data, data + size); }

void FrameSplitter::reset() { m_buffer.clear(); }

bool FrameSplitter::next(Bytes& frame)
{
    for (;;) {
        // Drop everything before the next preamble (a lone trailing 0x01 may begin one).
        std::size_t at = 0;
        while (at < m_buffer.size() && !(m_buffer[at] == 0x01 && (at + 1 == m_buffer.size() || m_buffer[at + 1] == 0x00)))
            ++at;
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(at));
        if (m_buffer.size() < 16)
            return false;
        const std::size_t total = 16 + get16(m_buffer, 12);
        if (total > 16 + 1024) {  // no GenCP command is that long: a false preamble
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        if (m_buffer.size() < total)
            return false;
        frame.assign(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(total));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(total));
        return true;
    }
}

std::uint32_t rateToSpeed(std::uint32_t rateBit)
{
    static const std::uint32_t speeds[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    for (int i = 0; i < 8; ++i)
        if (rateBit == (1u << i))
            return speeds[i];
    return 0;
}

std::uint32_t speedToRate(std::uint32_t speed)
{
    for (std::uint32_t bit = 1; bit <= 0x80; bit <<= 1)
        if (rateToSpeed(bit) == speed)
            return bit;
    return 0;
}

}  // namespace clsim
