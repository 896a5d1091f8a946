// Simulated USB3 Vision devices behind the USB layer of libPexlin.so.
//
// A device has the descriptor tree of a USB3 Vision camera (control, event
// and stream interfaces), answers U3VCP commands on its control endpoints
// from a sparse register memory (ABRM, SBRM, SIRM, EIRM, manifest and GenICam
// file), sends event packets, streams images into the transfers submitted on
// its stream endpoint, and records every command, control transfer and
// cleared halt. Faults come from command lines (see U3vSimControl.cpp,
// "help").
#pragma once

#include "PexlinUsb.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace u3vsim {

namespace usb = pexlin::usb;

constexpr std::uint8_t kControlOut = 0x01;
constexpr std::uint8_t kControlIn = 0x81;
constexpr std::uint8_t kEventIn = 0x82;
constexpr std::uint8_t kStreamIn = 0x83;

constexpr std::uint64_t kSbrmAddress = 0x00020000;
constexpr std::uint64_t kManifestAddress = 0x00100000;
constexpr std::uint64_t kFileAddress = 0x00200000;
constexpr std::uint64_t kSirmAddress = 0x00030000;
constexpr std::uint64_t kEirmAddress = 0x00032000;
constexpr std::uint16_t kTestEventId = 0x4FFF;
constexpr std::uint32_t kMono8 = 0x01080001;
constexpr std::uint32_t kImageLeaderSize = 52;
constexpr std::uint32_t kImageTrailerSize = 32;
// Leader timestamps: a start value and one step per block.
constexpr std::uint64_t kTimestampBase = 1000000000;
constexpr std::uint64_t kTimestampStep = 1000000;

struct Transfer {
    int endpoint = 0;
    int size = 0;
    int timeoutMs = 0;
    int result = 0;
};

// One injected fault: applies to the matching commands after `after` of
// them, `remaining` times (-1: until cleared).
struct Fault {
    std::string kind;
    std::int64_t value = 0;
    int remaining = 1;
    int after = 0;
    std::string on = "any"; // "read", "write" or "any"
    std::uint64_t from = 0;
};

struct DeviceSetup {
    std::string name;
    std::string guid = "SIMU3V000001";
    std::string vendor = "NORRIK-OMBREL GmbH";
    std::string model = "SIM-U1920M";
    std::string family = "SIM-U";
    std::string version = "1.0.0";
    std::string info = "Simulated USB3 Vision camera";
    std::string serial = "SIMU0001";
    std::string user;
    std::uint8_t speed = 0x04;
    std::uint8_t cls = 0xEF, subClass = 0x02, protocol = 0x01;
    std::string tree = "normal";
    int missingString = 0;   // 1..8: that string cannot be read
    bool unopenable = false;
    bool claimedElsewhere = false;
    bool eventInterface = true;
    bool streamInterface = true;
    bool zipped = true;
    std::uint32_t responseMs = 1000;
    std::uint32_t capabilities = 0x0A00; // SBRM, written length
    bool eirm = true;  // SBRM + 0x04 bit 1
    bool sirm = true;  // SBRM + 0x04 bit 0
    std::uint32_t eventTransfer = 1024;
    // Stream: image geometry, the required sizes it announces in the SIRM
    // (payload 0: width x height at the format's bits per pixel), the
    // alignment exponent, frames per second (0: as fast as the host queues)
    // and whether payloads are written at all.
    std::uint32_t width = 1920, height = 1200;
    std::uint32_t pixelFormat = kMono8;
    std::uint32_t offsetX = 0, offsetY = 0;
    std::uint16_t paddingX = 0;
    std::uint64_t payload = 0;
    std::uint32_t alignExponent = 0;
    std::uint32_t leaderSize = kImageLeaderSize;
    std::uint32_t trailerSize = kImageTrailerSize;
    double fps = 0;
    bool fill = true;
};

class SimDevice;

// An asynchronous transfer context on a simulated device; its state is
// guarded by the device's lock.
class SimAsync : public usb::AsyncTransfer {
public:
    SimAsync(std::shared_ptr<SimDevice> d, int ep) : device(std::move(d)), endpoint(ep) {}
    enum State { Idle, Pending, Done };
    std::shared_ptr<SimDevice> device;
    int endpoint;
    State state = Idle;
    std::uint8_t* buffer = nullptr;
    int size = 0;
    int result = 0;
};

struct StreamCounts {
    std::uint64_t submissions = 0; // submissions served, refused ones included
    std::uint64_t frames = 0;      // frames begun
    std::uint64_t pending = 0;     // transfers submitted and not reaped
    bool enabled = false;
};

class SimDevice : public usb::Device {
public:
    explicit SimDevice(DeviceSetup setup);
    const usb::DeviceDesc& descriptor() const override { return desc_; }

    const DeviceSetup& setup() const { return setup_; }
    const std::vector<std::uint8_t>& configBytes() const { return config_; }
    std::string xml() const { return xml_; }

    // Register memory; unwritten bytes read as zero.
    void writeMemory(std::uint64_t address, const void* data, std::size_t size);
    void readMemory(std::uint64_t address, void* data, std::size_t size) const;
    // Places the GenICam file and its manifest entry as the setup asks.
    void placeFile();

    // Transfers, as the USB layer sees them.
    int bulkWrite(int endpoint, const std::uint8_t* data, int size, int timeoutMs);
    int bulkRead(int endpoint, std::uint8_t* data, int size, int timeoutMs);
    int clearHalt(unsigned endpoint);
    int string(int index, char* buffer, std::size_t size) const;

    // Queues a packet on the event endpoint, as sent.
    void sendEvent(std::vector<std::uint8_t> packet);
    static std::vector<std::uint8_t> eventPacket(std::uint16_t id, std::uint64_t timestamp,
                                                 const std::vector<std::uint8_t>& data);
    // Reads of the event endpoint served so far.
    std::uint64_t eventReads() const;

    // Asynchronous transfers on the stream endpoint.
    int submitAsync(SimAsync* transfer, std::uint8_t* buffer, int size);
    int reapAsync(SimAsync* transfer, int timeoutMs);
    int cancelAsync(SimAsync* transfer);
    // Takes a context out of the stream before it is deleted.
    void forgetAsync(SimAsync* transfer);
    void setPace(double fps);
    void setFill(bool fill);
    StreamCounts streamCounts() const;
    // SIRM writes in order: register offset and 32-bit value.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sirmWrites() const;
    // The last leader, trailer and event packet sent, as sent.
    std::vector<std::uint8_t> lastLeader() const;
    std::vector<std::uint8_t> lastTrailer() const;
    std::vector<std::uint8_t> lastEvent() const;
    // The device goes away: every transfer fails from now on.
    void unplug();

    void addFault(const Fault& fault);
    void clearFaults();

    std::vector<std::vector<std::uint8_t>> commands() const;
    std::vector<Transfer> transfers() const;
    std::vector<unsigned> clearedHalts() const;
    void clearRecords();

    std::set<int> claims;        // guarded by the world's lock
    std::atomic<bool> gone{false};

private:
    void buildTree();
    void writeLocked(std::uint64_t address, const void* data, std::size_t size);
    void readLocked(std::uint64_t address, void* data, std::size_t size) const;
    void respond(const std::uint8_t* command, int size);
    bool takeFault(const std::string& kind, bool isRead, std::uint64_t address, Fault* hit);
    bool takeTransferFault(const std::string& kind);
    bool takeStreamFault(const std::string& kind, std::int64_t* value);
    void writeSirm(std::uint64_t address, const std::uint8_t* data, std::size_t size);
    void pumpLocked();
    void beginFrameLocked(std::chrono::steady_clock::time_point now);
    void queueEventLocked(std::vector<std::uint8_t> packet);

    // One transfer's worth of the stream as the device sends it.
    struct Message {
        enum Kind { Leader, Payload, Trailer } kind;
        int size;
        std::uint64_t offset; // into the payload
        std::chrono::steady_clock::time_point due;
        bool dropped;
    };
    // Faults of the frame being sent.
    struct FrameFaults {
        bool badMagic = false;
        std::uint16_t payloadType = 1;
        std::uint64_t trailerBlockId = 0;
        std::uint16_t trailerStatus = 0;
    };

    DeviceSetup setup_;
    usb::DeviceDesc desc_;
    std::vector<std::uint8_t> config_;
    std::string xml_;

    mutable std::mutex mutex_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> pages_;
    std::deque<std::vector<std::uint8_t>> controlQueue_;
    std::vector<std::vector<std::uint8_t>> held_; // late answers
    std::set<int> halted_;
    std::vector<Fault> faults_;
    std::vector<std::vector<std::uint8_t>> commands_;
    std::vector<Transfer> transfers_;
    std::vector<unsigned> halts_;
    std::deque<std::vector<std::uint8_t>> eventQueue_;
    std::condition_variable eventArrived_;
    std::uint64_t eventReads_ = 0;
    std::uint64_t clock_ = 1000;
    std::vector<std::uint8_t> lastEvent_;

    double fps_ = 0;
    bool fill_ = true;
    std::deque<SimAsync*> pending_;
    std::deque<Message> messages_;
    std::condition_variable streamChanged_;
    bool streaming_ = false;
    std::uint64_t nextBlock_ = 0;
    std::uint64_t block_ = 0;
    FrameFaults frame_;
    std::chrono::steady_clock::time_point lastDue_{};
    StreamCounts counts_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sirmWrites_;
    std::vector<std::uint8_t> lastLeader_, lastTrailer_;
};

// The devices on the simulated bus, in bus order, and the USB layer over
// them.
class World : public usb::Backend {
public:
    static World& instance();

    void reset();  // one default camera, "cam0"
    void clear();  // no device at all
    bool add(DeviceSetup setup, std::string& reply);
    bool remove(const std::string& name);
    std::shared_ptr<SimDevice> device(const std::string& name) const;

    int findDevices(std::vector<usb::DevicePtr>& out) override;
    usb::Handle* open(const usb::DevicePtr& device) override;
    int close(usb::Handle* handle) override;
    int getDescriptor(usb::Handle* handle, std::uint8_t type, std::uint8_t index, void* buffer,
                      int size) override;
    int getStringSimple(usb::Handle* handle, int index, char* buffer, std::size_t size) override;
    int claimInterface(usb::Handle* handle, int interfaceNumber) override;
    int releaseInterface(usb::Handle* handle, int interfaceNumber) override;
    int clearHalt(usb::Handle* handle, unsigned endpoint) override;
    int bulkWrite(usb::Handle* handle, int endpoint, const void* data, int size,
                  int timeoutMs) override;
    int bulkRead(usb::Handle* handle, int endpoint, void* data, int size, int timeoutMs) override;
    usb::AsyncTransfer* setupAsync(usb::Handle* handle, int endpoint) override;
    int submitAsync(usb::AsyncTransfer* transfer, void* buffer, int size) override;
    int reapAsync(usb::AsyncTransfer* transfer, int timeoutMs) override;
    int cancelAsync(usb::AsyncTransfer* transfer) override;
    int freeAsync(usb::AsyncTransfer* transfer) override;

private:
    World();
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<SimDevice>> devices_;
};

// Runs one command line; 0 when applied, -1006 with the reason otherwise.
int control(const std::string& line, std::string& reply);

} // namespace u3vsim

extern "C" __attribute__((visibility("default"))) int U3vSimControl(const char* command, char* reply, std::size_t* replySize);
