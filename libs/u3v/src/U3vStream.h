// The stream channel: a thread that receives each image as leader, payload
// transfers, finals and trailer with asynchronous bulk transfers into a ring
// of buffers, and a ready queue from which U3V_GetImage copies images out.
#pragma once

#include "CThread.h"
#include "U3vControl.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

static_assert(sizeof(U3V_IMAGE_INFO) == 42, "U3V_IMAGE_INFO is 42 packed bytes");

namespace pexlin {

constexpr std::uint32_t LEADER_MAGIC_KEY = 0x4C563355; // "U3VL"
constexpr std::uint32_t TRAILER_MAGIC_KEY = 0x54563355; // "U3VT"

// The image leader and trailer as they arrive (little-endian, packed).
#pragma pack(push, 1)
struct GenericLeader {
    std::uint32_t nMagicKey;
    std::uint16_t reserved0;
    std::uint16_t leaderSize;
    std::uint64_t blockId;
    std::uint16_t reserved1;
    std::uint16_t payloadType;
    std::uint64_t timestamp;
    std::uint32_t pixelFormat;
    std::uint32_t sizeX;
    std::uint32_t sizeY;
    std::uint32_t offsetX;
    std::uint32_t offsetY;
    std::uint16_t paddingX;
};
struct GenericTrailer {
    std::uint32_t nMagicKey;
    std::uint16_t reserved0;
    std::uint16_t trailerSize;
    std::uint64_t blockId;
    std::uint16_t status;
};
#pragma pack(pop)
static_assert(sizeof(GenericLeader) == 50 && sizeof(GenericTrailer) == 18,
              "leader and trailer fields as they arrive");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are read as they arrive");

// Bytes of the leader and trailer fields read: a shorter one fails.
constexpr int kLeaderFields = int(sizeof(GenericLeader));
constexpr int kTrailerFields = int(sizeof(GenericTrailer));
// Device-given leader and trailer sizes above this are refused.
constexpr std::uint32_t kMaxLeaderTrailerSize = 64 * 1024;
// Transfers per image above this are refused.
constexpr std::uint64_t kMaxTransfersPerImage = 1u << 20;
constexpr int kLeaderReapMs = 2000;
constexpr std::uint32_t kStartWaitMs = 100;
// Pause after a failed submission or reap that was not a time-out.
constexpr std::uint32_t kStreamFailurePauseMs = 100;

// A manual-reset event.
class ManualEvent {
public:
    void set();
    void reset();
    // True when set within ms.
    bool wait(std::uint32_t ms);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};

struct U3V_ImageBuffer {
    std::uint32_t payloadSize = 0;
    std::unique_ptr<std::uint8_t[]> payload;
    std::uint64_t blockId = 0;
    std::uint64_t timestamp = 0;
    std::uint32_t pixelFormat = 0;
    std::uint32_t sizeX = 0, sizeY = 0, offsetX = 0, offsetY = 0;
    std::uint16_t paddingX = 0;
    std::uint32_t missing = 0;
    std::uint16_t trailerStatus = 0;
    bool queued = false; // held by the ready queue
};

} // namespace pexlin

struct U3V_Stream : pexlin::CThread {
    std::uint32_t transferTimeoutMs = 100;
    std::uint32_t sirmLength = 0;
    U3V_Control* control = nullptr;
    U3V_Device* device = nullptr;
    std::uint8_t open = 0;
    std::atomic<bool> streaming{false};
    std::uint8_t sirmAvailable = 0;
    std::uint32_t alignExponent = 0;
    // Transfer layout.
    std::uint32_t payloadTransferSize = 0;
    std::uint32_t payloadTransferCount = 0;
    std::uint32_t final1Size = 0;
    std::uint32_t final2Size = 0;
    std::uint32_t maxLeaderSize = 0;
    std::uint32_t maxTrailerSize = 0;
    std::uint64_t requiredPayloadSize = 0;
    std::uint32_t requiredLeaderSize = 0;
    std::uint32_t requiredTrailerSize = 0;
    std::uint64_t sirmAddress = 0;
    std::uint64_t counter1 = 0, counter2 = 0;
    std::uint32_t transferSize = 0x10000;
    std::uint32_t bufferCount = 0;
    std::atomic<bool> threadEnded{true};

    U3V_Stream(U3V_Device* owner, U3V_Control* channel);
    ~U3V_Stream() override;

    U3V_STATUS Open(std::uint32_t timeoutMs);
    U3V_STATUS Start();
    // Stops acquisition; the counters go where the pointers are not null.
    U3V_STATUS Stop(std::uint64_t* first, std::uint64_t* second);
    void Close();
    U3V_STATUS GetImage(void* buffer, std::uint32_t timeoutMs, U3V_IMAGE_INFO* info);
    U3V_STATUS SetBufferCount(std::uint32_t count);
    U3V_STATUS SetTransferSize(std::uint32_t size);

    std::size_t ringSize() const;
    std::size_t readyCount() const;
    std::size_t transferContexts() const { return contexts_.size(); }

protected:
    void Run() override;

private:
    enum class Outcome { Received, Again, AgainAfterPause };

    U3V_STATUS Enable(bool on);
    U3V_STATUS prepare();
    void signalStop();
    // Stops, cancels every transfer, joins the thread and frees the contexts.
    void stopThread();
    void freeTransfers();
    std::size_t takeBuffer();
    void queueImage(std::size_t index);
    Outcome receive(pexlin::U3V_ImageBuffer& buffer);
    // Cancels and reaps every transfer from slot `from` on that is still out.
    void abandon(std::size_t from);

    mutable std::mutex queueMutex_; // ring, ready queue, image-ready flag
    std::condition_variable imageReadyCv_;
    bool imageReady_ = false;
    std::vector<pexlin::U3V_ImageBuffer> ring_;
    std::deque<std::size_t> ready_;
    std::size_t nextBuffer_ = 0;
    pexlin::ManualEvent startEvent_;

    // Submissions and the cancels of a stop exclude each other, so a stop
    // never misses a transfer submitted after it looked.
    std::mutex submitMutex_;
    std::vector<pexlin::usb::AsyncTransfer*> contexts_;
    // Per slot: 0 while a transfer is out, the refusal when its submission
    // failed, kSlotIdle otherwise.
    std::vector<int> slots_;
    std::vector<std::uint8_t> leader_, trailer_;
};
