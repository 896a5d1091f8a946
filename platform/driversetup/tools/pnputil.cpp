// PnPutil [-f] -d <oem<N>.inf>
// Deletes an installed USB device package: its udev rule (when the rule in
// place is still the package's own), its descriptor and its store entry.
// Without -f a package whose rule is in place is refused.
#include "DriverStore.h"
#include "SetupFiles.h"
#include "SetupRoots.h"
#include "Win32Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace driversetup;

namespace {

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "PnPutil: %s\n", message.c_str());
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    bool force = false;
    bool usage = false;
    std::string name;
    for (int i = 1; i < argc && !usage; ++i) {
        if (std::strcmp(argv[i], "-f") == 0)
            force = true;
        else if (std::strcmp(argv[i], "-d") == 0 && i + 1 < argc && name.empty())
            name = argv[++i];
        else
            usage = true;
    }
    if (usage || !isPlainFileName(name))
        return fail(1, "usage: PnPutil [-f] -d <oem<N>.inf>");

    const std::string descriptorPath = infDirectory() + "/" + name;
    std::string text;
    if (const int error = readWholeFile(descriptorPath, text))
        return fail(2, "cannot read " + descriptorPath + ": " + std::strerror(error));
    PackageDescriptor descriptor;
    if (!parseDescriptor(text, descriptor))
        return fail(2, descriptorPath + " does not name a package and its .rules file");
    std::string storePath;
    if (DriverPackageGetPath(descriptorPath, storePath) != kErrorSuccess)
        return fail(2, name + " is not in the driver store");
    const std::string entry = folderOf(storePath);

    // The rule in place goes only when it is this package's own copy.
    const std::string rulePath = udevRulesDirectory() + "/" + descriptor.ruleFile;
    std::string stored;
    std::string current;
    const bool ownRule = readWholeFile(entry + "/" + descriptor.ruleFile, stored) == 0
        && readWholeFile(rulePath, current) == 0 && stored == current;
    if (ownRule && !force)
        return fail(3, name + " is in use: its rule " + rulePath + " is installed (-f deletes it anyway)");
    if (ownRule && ::unlink(rulePath.c_str()) != 0)
        return fail(4, "cannot remove " + rulePath + ": " + std::strerror(errno));

    if (::unlink(descriptorPath.c_str()) != 0)
        return fail(4, "cannot remove " + descriptorPath + ": " + std::strerror(errno));
    std::error_code error;
    std::filesystem::remove_all(entry, error);
    if (error)
        return fail(4, "cannot remove " + entry + ": " + error.message());
    if (ownRule && !reloadUdevRules())
        std::fprintf(stderr, "PnPutil: udevadm could not reload the rules\n");
    std::printf("PnPutil: deleted %s%s\n", name.c_str(), ownRule ? (", rule " + rulePath + " removed").c_str() : "");
    return 0;
}
