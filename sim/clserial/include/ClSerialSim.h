// Simulated Camera Link serial world: a GenCP camera (in memory or on the
// master side of a pseudo-terminal pair), and two host serial ports, one
// over the pty's slave and one scripted in memory.
#pragma once

#include "Brenwick.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace clsim {

using Bytes = std::vector<std::uint8_t>;

// GenCP status codes a camera answers with.
enum : std::uint16_t {
    kStatusNotImplemented = 0x8001,
    kStatusInvalidParameter = 0x8002,
    kStatusInvalidAddress = 0x8003,
    kStatusWriteProtect = 0x8004,
    kStatusAccessDenied = 0x8006,
};

// Register map of the simulated camera.
enum : std::uint64_t {
    kManifestAddress = 0x1000,
    kSbrmAddress = 0x2000,
    kScratchAddress = 0x10000,  // 8 KiB of writable memory
    kScratchSize = 0x2000,
    kFileAddress = 0x100000,
};

struct CameraConfig {
    std::string manufacturer = "NORRIK-Ombrel";
    std::string model = "SIM-CL2048M";
    std::string version = "2.1.0";
    std::string serial = "CL0001";
    std::uint32_t rates = 0xFF;  // supported rate bits
    std::uint32_t rate = 0x01;   // rate bit it starts at
    std::string xml = "<?xml version=\"1.0\"?>\n<RegisterDescription ModelName=\"SIM-CL2048M\"/>\n";
    bool zipped = false;
    bool damagedZip = false;     // the zipped file is served with broken bytes
    bool hugeFile = false;       // the manifest announces 2^40 bytes
    std::uint32_t fileVersion = 0x01020003;  // 1.2.3
    std::uint16_t schemaMajor = 1, schemaMinor = 1;
};

enum class Fault {
    None,
    Garbled,        // every byte of the answer is scrambled
    Silent,         // no answer at all
    WrongCcd,       // CCD checksum off by one
    WrongScd,       // SCD checksum off by one
    WrongRequestId, // request id + 1, checksums right
    WrongCommand,   // acknowledge code of the other command
    Delay,          // the answer comes delayMs late
    ShortWritten,   // WRITEMEM acknowledge reports one byte less
    Refuse,         // status, no SCD
};

struct CommandRecord {
    std::uint16_t command = 0;
    std::uint16_t requestId = 0;
    std::uint64_t address = 0;
    std::uint32_t length = 0;  // bytes read or written
    std::uint32_t lineRate = 0;
    bool answered = false;
};

struct Answer {
    Bytes bytes;
    int delayMs = 0;
};

// The camera's protocol engine: takes whole frames, answers them.
class GenCPDevice {
public:
    explicit GenCPDevice(CameraConfig config = {});

    // Answers one received frame at the given line rate; false when the
    // camera stays silent (bad frame, other rate, Silent fault).
    bool process(const Bytes& frame, std::uint32_t lineRate, Answer& answer);

    void setFault(Fault fault, int count = -1, int delayMs = 0, std::uint16_t status = kStatusAccessDenied);
    std::uint32_t rate() const;
    std::vector<CommandRecord> commands() const;
    void clearCommands();
    Bytes memory(std::uint64_t address, std::size_t length) const;
    // The GenICam file as stored on the camera (zipped or plain).
    Bytes storedFile() const;
    const CameraConfig& config() const { return m_config; }

private:
    bool region(std::uint64_t address, std::size_t length, Bytes*& bytes, std::size_t& offset);
    Answer build(std::uint16_t status, std::uint16_t command, std::uint16_t requestId, const Bytes& scd) const;

    CameraConfig m_config;
    mutable std::mutex m_mutex;
    std::map<std::uint64_t, Bytes> m_regions;
    std::uint32_t m_rate;
    Fault m_fault = Fault::None;
    int m_faultCount = 0;
    int m_faultDelay = 0;
    std::uint16_t m_faultStatus = 0;
    std::vector<CommandRecord> m_commands;
};

// Cuts a byte stream into GenCP frames, skipping bytes before a preamble.
class FrameSplitter {
public:
    void feed(const std::uint8_t* data, std::size_t size);
    bool next(Bytes& frame);
    void reset();  // forgets a partial frame

private:
    Bytes m_buffer;
};

std::uint32_t rateToSpeed(std::uint32_t rateBit);  // bits per second, 0 if none
std::uint32_t speedToRate(std::uint32_t speed);
std::uint32_t lineRate(int ttyFd);  // the rate bit a tty is set to, 0 if none

// A camera on the master side of a pseudo-terminal pair. It answers only
// while the line speed the host set on the slave equals its own rate.
class PtyCamera {
public:
    explicit PtyCamera(CameraConfig config = {});
    ~PtyCamera();
    PtyCamera(const PtyCamera&) = delete;
    PtyCamera& operator=(const PtyCamera&) = delete;

    const std::string& slavePath() const { return m_slavePath; }
    GenCPDevice& device() { return m_device; }
    bool ok() const { return m_master >= 0; }
    // The cable is pulled: the camera no longer hears or answers.
    void unplug();

private:
    void run();

    GenCPDevice m_device;
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_unplugged{false};
    std::thread m_thread;
};

// The host's serial port over a tty (the pty's slave): raw mode, poll-based
// time-outs, rate bits 0x01 to 0x80 as 9600 to 921600 baud.
class PtySerialPort {
public:
    explicit PtySerialPort(const std::string& path);
    ~PtySerialPort();
    PtySerialPort(const PtySerialPort&) = delete;
    PtySerialPort& operator=(const PtySerialPort&) = delete;

    bool ok() const { return m_fd >= 0; }
    CLSerialPort* port() { return &m_object.base; }
    void setSupportedRates(std::uint32_t mask) { m_mask = mask; }
    std::uint32_t supportedRates() const { return m_mask; }
    std::uint32_t rate() const;  // current rate bit of the line
    static PtySerialPort* fromPort(CLSerialPort* port);

    std::int32_t read(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
    std::int32_t write(const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
    std::int32_t setRate(std::uint32_t rate);

private:
    std::int32_t transfer(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs, bool writing);

    struct Object {
        CLSerialPort base;
        PtySerialPort* self;
    } m_object;
    int m_fd = -1;
    std::atomic<std::uint32_t> m_mask{0xFF};
};

// A host serial port in memory: every call is recorded; results can be
// scripted per call; input comes from fed bytes or an attached device.
class ScriptedSerialPort {
public:
    struct Call {
        bool write = false;
        std::uint32_t asked = 0;
        std::uint32_t moved = 0;
        std::uint32_t timeoutMs = 0;
        std::int32_t result = 0;
    };
    // One scripted result: count -1 moves what is asked (or available).
    struct Step {
        std::int32_t result = 0;
        std::int32_t count = -1;
    };

    ScriptedSerialPort();
    CLSerialPort* port() { return &m_object.base; }

    void scriptWrites(std::vector<Step> steps) { m_writeSteps.assign(steps.begin(), steps.end()); }
    void scriptReads(std::vector<Step> steps) { m_readSteps.assign(steps.begin(), steps.end()); }
    void feed(const Bytes& bytes) { m_input.insert(m_input.end(), bytes.begin(), bytes.end()); }
    // Written frames go to the device; its answers become input.
    void attach(GenCPDevice* device) { m_device = device; }

    const std::vector<Call>& calls() const { return m_calls; }
    std::vector<std::uint32_t> writeSizes() const;
    std::vector<std::uint32_t> readSizes() const;
    const Bytes& written() const { return m_written; }
    std::size_t pendingInput() const { return m_input.size(); }
    void setSupportedRates(std::uint32_t mask) { m_mask = mask; }
    std::uint32_t supportedRates() const { return m_mask; }
    std::uint32_t rate() const { return m_rate; }
    void setRate(std::uint32_t rate) { m_rate = rate; }

private:
    friend struct ScriptedAccess;
    std::int32_t read(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
    std::int32_t write(const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
    static ScriptedSerialPort* self(CLSerialPort* port);

    struct Object {
        CLSerialPort base;
        ScriptedSerialPort* self;
    } m_object;
    std::deque<Step> m_writeSteps, m_readSteps;
    std::deque<std::uint8_t> m_input;
    std::vector<Call> m_calls;
    Bytes m_written;
    GenCPDevice* m_device = nullptr;
    FrameSplitter m_splitter;
    std::uint32_t m_mask = 0xFF;
    std::uint32_t m_rate = 0x01;
};

}  // namespace clsim
