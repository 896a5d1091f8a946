#pragma once

#include <string>

// Small file helpers of the setup services. Failures return the errno.
namespace driversetup {

int readWholeFile(const std::string& path, std::string& content);
// Writes a temporary file beside the target, flushes it to disk and renames
// it over the target: readers see the old file or the new one, never a part.
int writeFileAtomically(const std::string& path, const std::string& content);
// Creates the folder and its missing parents.
int makeFolders(const std::string& path);
std::string fileNameOf(const std::string& path);
std::string folderOf(const std::string& path);
std::string toLower(std::string text);
bool equalsIgnoringCase(const std::string& a, const std::string& b);
// A name that is a single path component: not empty, no "/", not "." or "..".
bool isPlainFileName(const std::string& name);

} // namespace driversetup
