#include "Pellago.h"
#include "StreamingChannel.h"

using namespace pellago;

namespace {

constexpr uint32_t kVersionWord = 0x29040501;  // bytes 01 05 04 29: 1.5.4

}  // namespace

extern "C" PELLAGO_API OrvGigETL_STATUS isVersionCompliant(uint32_t* libraryVersion,
                                                          const uint8_t* requested)
{
    if (!libraryVersion || !requested)
        return OrvGigETL_INVALID_PARAMETER;
    *libraryVersion = kVersionWord;
    const uint8_t major = requested[0], minor = requested[1], subMinor = requested[2];
    if (major != 1 || minor > 5 || (minor == 5 && subMinor > 4))
        return OrvGigETL_DLL_VERSION_MISMATCH;

    StreamingChannel channel(307200, 1400, 1);
    if (!channel.deviceValid())
        return OrvGigETL_DRIVER_NOT_INSTALLED;
    return channel.probe() ? OrvGigETL_OK : OrvGigETL_DRIVER_X86_ON_X64_NOT_SUPPORTED;
}
