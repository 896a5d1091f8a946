// install-filter install --inf=<descriptor>
// Installs a USB device package: store entry, udev rule, "oem<N>.inf".
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
#include <vector>

using namespace driversetup;

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "install-filter: %s\n", message.c_str());
    return 1;
}

std::string errorText(int error)
{
    return std::strerror(error);
}

// The store entry of the package, created or refreshed; empty on failure.
std::string storePackage(const std::string& infPath, const std::string& infText,
                         const std::string& ruleName, const std::string& ruleText, bool& created,
                         std::string& problem)
{
    created = false;
    const std::string store = driverStoreDirectory();
    std::string storePath;
    if (DriverPackageGetPath(infPath, storePath) == kErrorSuccess) {
        const std::string entry = folderOf(storePath);
        if (const int error = writeFileAtomically(entry + "/" + ruleName, ruleText)) {
            problem = "cannot write " + entry + "/" + ruleName + ": " + errorText(error);
            return {};
        }
        return entry;
    }
    if (const int error = makeFolders(store)) {
        problem = "cannot create " + store + ": " + errorText(error);
        return {};
    }
    std::string pattern = store + "/.entry-XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    if (!::mkdtemp(temp.data())) {
        problem = "cannot create an entry in " + store + ": " + errorText(errno);
        return {};
    }
    const std::string tempEntry = temp.data();
    const std::string entry = store + "/" + toLower(fileNameOf(infPath)) + "_" + contentTag(infText);
    int error = writeFileAtomically(tempEntry + "/" + fileNameOf(infPath), infText);
    if (!error)
        error = writeFileAtomically(tempEntry + "/" + ruleName, ruleText);
    if (!error && ::rename(tempEntry.c_str(), entry.c_str()) != 0)
        error = errno;
    if (error) {
        std::error_code ignored;
        std::filesystem::remove_all(tempEntry, ignored);
        problem = "cannot store the package in " + entry + ": " + errorText(error);
        return {};
    }
    created = true;
    return entry;
}

// The installed descriptor's name: the one with the same content, or the
// first free "oem<N>.inf", claimed with a hard link so no name is taken twice.
std::string registerDescriptor(const std::string& infText, std::string& problem)
{
    const std::string folder = infDirectory();
    if (const int error = makeFolders(folder)) {
        problem = "cannot create " + folder + ": " + errorText(error);
        return {};
    }
    std::vector<std::string> names;
    listInstalledDescriptors(names);
    for (const std::string& name : names) {
        std::string text;
        if (readWholeFile(folder + "/" + name, text) == 0 && text == infText)
            return name;
    }
    const std::string temp = folder + "/.descriptor";
    if (const int error = writeFileAtomically(temp, infText)) {
        problem = "cannot write " + temp + ": " + errorText(error);
        return {};
    }
    for (int number = 0;; ++number) {
        const std::string name = "oem" + std::to_string(number) + ".inf";
        if (::link(temp.c_str(), (folder + "/" + name).c_str()) == 0) {
            ::unlink(temp.c_str());
            return name;
        }
        if (errno != EEXIST) {
            problem = "cannot write " + folder + "/" + name + ": " + errorText(errno);
            ::unlink(temp.c_str());
            return {};
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string option = argc == 3 ? argv[2] : "";
    if (argc != 3 || std::strcmp(argv[1], "install") != 0 || option.compare(0, 6, "--inf=") != 0
        || option.size() == 6)
        return fail("usage: install-filter install --inf=<package descriptor>");
    const std::string infPath = option.substr(6);

    std::string infText;
    if (const int error = readWholeFile(infPath, infText))
        return fail("cannot read " + infPath + ": " + errorText(error));
    PackageDescriptor descriptor;
    if (!parseDescriptor(infText, descriptor))
        return fail(infPath + " does not name a package and its .rules file");
    const std::string rulePath = folderOf(infPath) + "/" + descriptor.ruleFile;
    std::string ruleText;
    if (const int error = readWholeFile(rulePath, ruleText))
        return fail("cannot read " + rulePath + ": " + errorText(error));

    std::string problem;
    bool created = false;
    const std::string entry = storePackage(infPath, infText, descriptor.ruleFile, ruleText, created, problem);
    if (entry.empty())
        return fail(problem);

    const std::string rulesFolder = udevRulesDirectory();
    int error = makeFolders(rulesFolder);
    if (!error)
        error = writeFileAtomically(rulesFolder + "/" + descriptor.ruleFile, ruleText);
    if (error) {
        if (created) {
            std::error_code ignored;
            std::filesystem::remove_all(entry, ignored);
        }
        return fail("cannot write " + rulesFolder + "/" + descriptor.ruleFile + ": " + errorText(error));
    }

    const std::string name = registerDescriptor(infText, problem);
    if (name.empty())
        return fail(problem);
    if (!reloadUdevRules())
        std::fprintf(stderr, "install-filter: udevadm could not reload the rules; they apply after the next restart\n");
    std::printf("install-filter: %s installed as %s, rule %s/%s\n", fileNameOf(infPath).c_str(), name.c_str(),
                rulesFolder.c_str(), descriptor.ruleFile.c_str());
    return 0;
}
