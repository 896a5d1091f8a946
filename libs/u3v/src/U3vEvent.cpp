#include "U3vEvent.h"

#include "Bytes.h"

#include <algorithm>
#include <cstdio>

using namespace pexlin;

U3V_STATUS U3V_Event::Open(U3V_EVENT_CALLBACK cb, std::uint32_t timeout)
{
    if (device->eventInterface == 0) {
        device->Log(U3V_LOG_INFO, "No event interface available.");
        return U3V_STATUS_NO_EVENT_INTERFACE;
    }
    std::uint8_t b[8] = {};
    U3V_STATUS status = control->ReadMem(control->sbrmAddress + 0x04, 8, b);
    if (status != 0)
        return status;
    if (!(b[0] & 0x02)) {
        eirmAvailable = 0;
        device->Log(U3V_LOG_INFO,
                    "Event interface is available but EIRM_AVAILABLE has not been set (not supported).");
        return U3V_STATUS_NO_EIRM;
    }
    eirmAvailable = 1;
    usb::Backend* usb = usb::backend();
    if (!usb || !device->handle || usb->claimInterface(device->handle, device->eventInterface) < 0) {
        device->Log(U3V_LOG_ERROR, "Can't open/claiming event interface.");
        return U3V_STATUS_CLAIM_EVENT;
    }
    timeoutMs = timeout;
    if ((status = control->ReadMem(control->sbrmAddress + 0x2C, 8, b)) != 0)
        return status;
    eirmAddress = get64(b);
    if ((status = control->ReadMem(control->sbrmAddress + 0x34, 4, b)) != 0)
        return status;
    eirmLength = get32(b);
    if ((status = control->ReadMem(eirmAddress + 0x04, 4, b)) != 0)
        return status;
    maxTransfer = get32(b);
    // The read buffer is sized here, not on the thread, and only within reason.
    if (maxTransfer < kEventHeader || maxTransfer > kMaxEventTransfer) {
        device->Log(U3V_LOG_ERROR, "Maximum event transfer length out of range (%u).", maxTransfer);
        return U3V_STATUS_OUT_OF_RANGE;
    }
    buffer_.assign(maxTransfer, 0);
    callback = cb;
    Start();
    open = 1;
    return 0;
}

U3V_STATUS U3V_Event::TestEvent()
{
    if (!open) {
        device->Log(U3V_LOG_ERROR, "Event interface not open.");
        return U3V_STATUS_EVENT_NOT_OPEN;
    }
    const std::uint8_t one[4] = {1, 0, 0, 0};
    return control->WriteMem(eirmAddress + 0x08, 4, one);
}

void U3V_Event::deliver(const std::uint8_t* p, int received) const
{
    // Shorter than the header, or a length field that is too small or
    // reaches past the bytes received: dropped.
    if (received < int(kEventHeader) || get32(p) != kU3veprefix || get16(p + 6) != kEventCmd)
        return;
    const std::uint32_t length = get16(p + 8);
    if (length < 12 || 12 + length > std::uint32_t(received) || !callback)
        return;
    const std::uint32_t dataLength = length - 12;
    const std::uint32_t word = dataLength >= 4 ? get32(p + 24) : 0;
    callback(get16(p + 14), get64(p + 16), dataLength, word);
}

void U3V_Event::Run()
{
    usb::Backend* usb = usb::backend();
    const int slice = int(timeoutMs == 0 ? kEventReadSliceMs
                                         : std::min(timeoutMs, kEventReadSliceMs));
    while (!stopRequested()) {
        const int got = usb ? usb->bulkRead(device->handle, device->eventIn, buffer_.data(),
                                            int(buffer_.size()), slice)
                            : usb::ErrorNoDevice;
        if (got > 0)
            deliver(buffer_.data(), got);
        else if (got < 0 && got != usb::ErrorTimeout)
            waitForStop(kFailedReadPauseMs);
    }
    std::printf("end thread\n");
    std::fflush(stdout);
}
