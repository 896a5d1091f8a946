#include "SerialIO.h"

#include "OrvCLLogger.h"

#include <algorithm>

namespace brenwick {
namespace {

std::int32_t serialMove(CLSerialPort* port, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs,
                        bool writing, const char* who)
{
    if (length == 0)
        return CL_ERR_NOTHING_TO_MOVE;
    const int allowedTimeouts = writing ? kWriteTimeoutRetries : kReadTimeoutRetries;
    int timeouts = 0;
    std::uint32_t done = 0;
    while (done < length) {
        const std::uint32_t piece = std::min(kSerialPiece, length - done);
        std::uint32_t moved = piece;
        std::int32_t result = writing
            ? port->functions->write(port, reinterpret_cast<const char*>(buffer + done), &moved, timeoutMs)
            : port->functions->read(port, reinterpret_cast<char*>(buffer + done), &moved, timeoutMs);
        if (moved > piece) {
            CLP_TRACE(kTraceError, "%s port moved %u bytes of a %u-byte piece", who, moved, piece);
            return CL_ERR_GENCP_ACK_INVALID;
        }
        // What moved stays moved, also when the port timed out meanwhile.
        done += moved;
        if (result == 0 && moved == 0)
            result = CL_ERR_TIMEOUT;
        if (result == 0)
            continue;
        if (result != CL_ERR_TIMEOUT || ++timeouts > allowedTimeouts)
            return result;
    }
    return 0;
}

}  // namespace

std::int32_t serialWrite(CLSerialPort* port, const std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    return serialMove(port, const_cast<std::uint8_t*>(buffer), length, timeoutMs, true, "serialWrite");
}

std::int32_t serialRead(CLSerialPort* port, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    return serialMove(port, buffer, length, timeoutMs, false, "serialRead");
}

void serialDrain(CLSerialPort* port)
{
    std::uint8_t sink[kSerialPiece];
    // Bounded, so that a port that never falls quiet cannot hold the call.
    for (int round = 0; round < 256; ++round) {
        std::uint32_t moved = sizeof sink;
        const std::int32_t result = port->functions->read(port, reinterpret_cast<char*>(sink), &moved, kDrainQuietMs);
        if (moved == 0 || moved > sizeof sink || (result != 0 && result != CL_ERR_TIMEOUT))
            return;
    }
}

}  // namespace brenwick
