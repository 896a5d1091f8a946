// The event channel: a thread that reads event packets from the event
// interface and hands each one to the host's callback.
#pragma once

#include "CThread.h"
#include "U3vControl.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace pexlin {

constexpr std::uint32_t kU3veprefix = 0x45563355; // "U3VE"
constexpr std::uint16_t kEventCmd = 0x0C00;
constexpr std::size_t kEventHeader = 24;
// A device asking for more per read than this is refused at open.
constexpr std::uint32_t kMaxEventTransfer = 1u << 20;

// Reads of the event thread last at most this long, so a close is prompt.
constexpr std::uint32_t kEventReadSliceMs = 100;
// Pause after a failed read that was not a time-out (an unplugged device).
constexpr std::uint32_t kFailedReadPauseMs = 100;

} // namespace pexlin

struct U3V_Event : pexlin::CThread {
    std::uint32_t timeoutMs = 0;
    std::uint32_t maxTransfer = 0;
    std::uint32_t eirmLength = 0;
    U3V_Control* control = nullptr;
    U3V_Device* device = nullptr;
    std::uint8_t open = 0;
    U3V_EVENT_CALLBACK callback = nullptr;
    std::uint64_t eirmAddress = 0;
    std::uint8_t eirmAvailable = 0;

    U3V_Event(U3V_Device* owner, U3V_Control* channel) : control(channel), device(owner) {}
    ~U3V_Event() override { Join(); }

    U3V_STATUS Open(U3V_EVENT_CALLBACK cb, std::uint32_t timeout);
    U3V_STATUS TestEvent();
    // Judges one packet as read; calls the callback for a well-formed event.
    void deliver(const std::uint8_t* packet, int received) const;

protected:
    void Run() override;

private:
    std::vector<std::uint8_t> buffer_;
};
