#include "ErrorTexts.h"

#include <cstdio>

namespace brenwick {
namespace {

struct Row {
    std::int32_t code;
    const char* text;
};

const Row kTexts[] = {
    {-30101, "Unexpected value for ACK while transmitting frame"},
    {-30102, "Unexpected value for BFS"},
    {-30103, "Unexpected OpCode"},
    {-30104, "Unexpected number of databytes"},
    {-30105, "Wrong Checksum"},
    {-30106, "Unexpected value for BFE"},
    {-30107, "Camera access failed - received NAK instead of ACK"},
    {-30110, "Camera not Found"},
    {-20100, "Invalid DeviceID"},
    {-20101, "No device found"},
    {-20102, "No XML description found"},
    {-20104, "The last error"},
    {-5, "Nothing to send or receive"},
    {-10001, "Buffer too small"},
    {-10004, "Serial port time-out"},
    {-10007, "No text for this error code"},
    {-10008, "Baud rate not supported"},
    {-10011, "Invalid pointer"},
    {-20103, "Invalid cookie"},
    {-20105, "Parameter not supported"},
    {-20106, "Parameter is read-only"},
    {-20107, "Wrong parameter size"},
    {-20108, "Parameter value not valid"},
    // GenCP status codes a camera answers with.
    {0x8001, "GENCP_NOT_IMPLEMENTED"},
    {0x8002, "GENCP_INVALID_PARAMETER"},
    {0x8003, "GENCP_INVALID_ADDRESS"},
    {0x8004, "GENCP_WRITE_PROTECT"},
    {0x8005, "GENCP_BAD_ALIGNMENT"},
    {0x8006, "GENCP_ACCESS_DENIED"},
    {0x8007, "GENCP_BUSY"},
    {0x800B, "GENCP_MSG_TIMEOUT"},
    {0x800E, "GENCP_INVALID_HEADER"},
    {0x800F, "GENCP_WRONG_CONFIG"},
    {0x8FFF, "GENCP_ERROR"},
};

}  // namespace

bool errorText(std::int32_t code, std::string& text)
{
    for (const Row& row : kTexts)
        if (row.code == code) {
            text = row.text;
            return true;
        }
    if (code > 0 && code <= 0xFFFF) {
        char number[32];
        std::snprintf(number, sizeof number, "GenCP status 0x%04X", unsigned(code));
        text = number;
        return true;
    }
    return false;
}

}  // namespace brenwick
