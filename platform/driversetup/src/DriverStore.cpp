#include "DriverStore.h"

#include "SetupFiles.h"
#include "SetupRoots.h"
#include "Win32Error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace driversetup {

namespace {

std::string trimmed(const std::string& text)
{
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The entries of a folder, without "." and ".."; 0 or the errno.
int folderEntries(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return error;
}

std::string findOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace

bool parseDescriptor(const std::string& text, PackageDescriptor& descriptor)
{
    descriptor = {};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '[')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "Package")
            descriptor.package = value;
        else if (key == "Rule")
            descriptor.ruleFile = value;
    }
    return !descriptor.package.empty() && isPlainFileName(descriptor.ruleFile)
        && endsWith(descriptor.ruleFile, ".rules");
}

std::string contentTag(const std::string& content)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : content) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

uint32_t DriverPackageGetPath(const std::string& infPath, std::string& storePath)
{
    storePath.clear();
    std::string content;
    if (const int error = readWholeFile(infPath, content))
        return win32ErrorFromErrno(error);

    const std::string store = driverStoreDirectory();
    std::vector<std::string> entries;
    if (const int error = folderEntries(store, entries))
        return error == ENOENT ? kErrorDriverPackageNotInStore : win32ErrorFromErrno(error);

    const std::string suffix = "_" + contentTag(content);
    for (const std::string& entry : entries) {
        if (!endsWith(entry, suffix))
            continue;
        // The entry holds the descriptor's copy under its original name.
        const std::string infName = entry.substr(0, entry.size() - suffix.size());
        std::vector<std::string> files;
        if (folderEntries(store + "/" + entry, files) != 0)
            continue;
        for (const std::string& file : files) {
            std::string stored;
            if (toLower(file) == infName && readWholeFile(store + "/" + entry + "/" + file, stored) == 0
                && stored == content) {
                storePath = store + "/" + entry + "/" + file;
                return kErrorSuccess;
            }
        }
    }
    return kErrorDriverPackageNotInStore;
}

uint32_t listInstalledDescriptors(std::vector<std::string>& names)
{
    std::vector<std::string> entries;
    const int error = folderEntries(infDirectory(), entries);
    names.clear();
    for (const std::string& entry : entries) {
        const std::string lower = toLower(entry);
        if (lower.size() > 7 && lower.compare(0, 3, "oem") == 0 && endsWith(lower, ".inf"))
            names.push_back(entry);
    }
    return win32ErrorFromErrno(error);
}

bool reloadUdevRules()
{
    const std::string udevadm = findOnPath("udevadm");
    if (udevadm.empty())
        return true;
    char* argv[] = {const_cast<char*>("udevadm"), const_cast<char*>("control"),
                    const_cast<char*>("--reload-rules"), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, udevadm.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace driversetup
