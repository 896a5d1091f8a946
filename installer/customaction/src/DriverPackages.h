#pragma once

#include <string>

// The suite's USB3 Vision driver package.
constexpr const char* kDriverPackageName = "SORBIX_U3V";

// Removes every installed package whose store entry is the package's INF
// ("<name>.inf", any case) with "PnPutil", except the store entry given as
// keepStorePath (the package just installed).
void ForceDeleteLibUsb(const std::string& packageName, const std::string& keepStorePath = std::string());

// Installs the package beside the program with "x86/install-filter". True,
// with the package's store path, when the tool succeeded and the package is
// in the store.
bool LibUsb32Setup(bool hide, std::string* installedStorePath = nullptr);
