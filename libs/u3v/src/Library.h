// Process-wide state of the library.
#pragma once

#include "U3vDevice.h"

#include <string>

namespace pexlin {

struct Library {
    U3V_DeviceList devices;
    std::string moduleFolder; // where dump files go
};

Library& library();

} // namespace pexlin
