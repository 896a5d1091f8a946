// A scripted GigE producer with one interface and one camera whose every
// text answer fills the whole buffer, without a terminator.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

int g_token;
void* const kHandle = &g_token;

int32_t fill(void* buffer, size_t* size, char c)
{
    if (!buffer || !size)
        return -1009;
    std::memset(buffer, c, *size);
    return 0;
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT int32_t GCInitLib() { return 0; }
FAKE_EXPORT int32_t GCCloseLib() { return 0; }
FAKE_EXPORT int32_t TLOpen(void** tl) { *tl = kHandle; return 0; }
FAKE_EXPORT int32_t TLClose(void*) { return 0; }
FAKE_EXPORT int32_t TLUpdateInterfaceList(void*, uint8_t*, uint64_t) { return 0; }
FAKE_EXPORT int32_t TLGetNumInterfaces(void*, uint32_t* count) { *count = 1; return 0; }
FAKE_EXPORT int32_t TLGetInterfaceID(void*, uint32_t, char* id, size_t* size) { return fill(id, size, 'I'); }
FAKE_EXPORT int32_t TLOpenInterface(void*, const char*, void** iface) { *iface = kHandle; return 0; }
FAKE_EXPORT int32_t IFClose(void*) { return 0; }
FAKE_EXPORT int32_t IFGetInfo(void*, int32_t, int32_t*, void* buffer, size_t* size) { return fill(buffer, size, 'A'); }
FAKE_EXPORT int32_t IFUpdateDeviceList(void*, uint8_t*, uint64_t) { return 0; }
FAKE_EXPORT int32_t IFGetNumDevices(void*, uint32_t* count) { *count = 1; return 0; }
FAKE_EXPORT int32_t IFGetDeviceID(void*, uint32_t, char* id, size_t* size) { return fill(id, size, 'D'); }
FAKE_EXPORT int32_t IFGetDeviceInfo(void*, const char*, int32_t, int32_t*, void* buffer, size_t* size)
{
    return fill(buffer, size, 'X');
}
