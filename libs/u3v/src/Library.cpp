#include "Library.h"

#include <dlfcn.h>

namespace pexlin {
namespace {

std::string folderOfThisModule()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&folderOfThisModule), &info) == 0 || !info.dli_fname)
        return ".";
    std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

Library& library()
{
    static Library* instance = [] {
        auto* lib = new Library;
        lib->moduleFolder = folderOfThisModule();
        return lib;
    }();
    return *instance;
}

} // namespace pexlin
