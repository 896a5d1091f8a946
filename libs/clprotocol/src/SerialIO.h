// Moving bytes through the host's serial port in pieces of at most 64 bytes,
// with time-out retries.
#pragma once

#include "Brenwick.h"

#include <cstdint>

namespace brenwick {

constexpr std::uint32_t kSerialPiece = 64;
constexpr int kWriteTimeoutRetries = 2;
constexpr int kReadTimeoutRetries = 3;
constexpr std::uint32_t kDrainQuietMs = 100;

// Move exactly length bytes; 0, -5 for a length of 0, or the port's error.
std::int32_t serialWrite(CLSerialPort* port, const std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs);
std::int32_t serialRead(CLSerialPort* port, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs);

// Reads and drops input until the line has been quiet for kDrainQuietMs.
void serialDrain(CLSerialPort* port);

}  // namespace brenwick
