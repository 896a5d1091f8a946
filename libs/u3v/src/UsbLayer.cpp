#include "Library.h"
#include "PexlinUsb.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace pexlin::usb {
namespace {

// PEXLIN_USB_SIM names the simulated device library, or is "1" for the one
// beside this library.
Backend* loadSimulated(const char* setting)
{
    std::string path = setting;
    if (path == "1")
        path = library().moduleFolder + "/libPexlinUsbSim.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        debugPrint("PEXLIN_USB_SIM: %s", dlerror());
        return nullptr;
    }
    using Entry = Backend* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(module, "PexlinUsbSimBackend"));
    if (!entry) {
        debugPrint("PEXLIN_USB_SIM: %s has no back-end", path.c_str());
        return nullptr;
    }
    return entry(); // the module stays loaded for the life of the process
}

std::atomic<Backend*>& current()
{
    static std::atomic<Backend*> chosen{[]() -> Backend* {
        const char* sim = std::getenv("PEXLIN_USB_SIM");
        if (sim && *sim)
            return loadSimulated(sim);
        static std::unique_ptr<Backend> libusb = makeLibusbBackend();
        return libusb.get();
    }()};
    return chosen;
}

// The back-end is chosen when the library loads.
[[maybe_unused]] const bool chosenAtLoad = (current(), true);

} // namespace

Backend* backend()
{
    return current().load();
}

void setBackend(Backend* replacement)
{
    current().store(replacement);
}

} // namespace pexlin::usb
