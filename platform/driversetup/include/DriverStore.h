#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The driver store: installed USB device packages. A package is a descriptor
// (an ".inf" text naming the package and its udev rule file) and the rule
// file beside it. Installing copies both into a store entry named after the
// descriptor's file name and a tag of its content, writes the descriptor as
// "oem<N>.inf" into the descriptor folder and the rule into the rules folder.
namespace driversetup {

struct PackageDescriptor {
    std::string package; // "Package=" line
    std::string ruleFile; // "Rule=" line, a plain file name ending in ".rules"
};

// False when a line is missing or the rule name is not a plain ".rules" name.
bool parseDescriptor(const std::string& text, PackageDescriptor& descriptor);

// Sixteen hex digits that stand for the descriptor's content.
std::string contentTag(const std::string& content);

// The store path (the descriptor's copy inside its store entry) of the package
// whose descriptor is infPath: the installed "oem<N>.inf" or the original
// file. Returns 0, kErrorDriverPackageNotInStore, or the code of the failed
// file access.
uint32_t DriverPackageGetPath(const std::string& infPath, std::string& storePath);

// The "oem*.inf" names in the descriptor folder, sorted; 0 or the error code.
uint32_t listInstalledDescriptors(std::vector<std::string>& names);

// Runs "udevadm control --reload-rules" when udevadm is on the PATH. False
// when it ran and failed.
bool reloadUdevRules();

} // namespace driversetup
