// The built libraries export what the viewer's loader looks up.
#include "OrvSdk.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> missingExports(const std::string& path)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    if (!library)
        return {"<not loaded>"};
    std::vector<std::string> missing;
    for (const char* name : ORV_SDK_FUNCTION_NAMES)
        if (!dlsym(library, name))
            missing.push_back(name);
    if (!dlsym(library, "OrvSimControl"))
        missing.push_back("OrvSimControl");
    dlclose(library);
    return missing;
}

} // namespace

TEST(Exports, LibraryAndItsVariants)
{
    const std::string bin = SUITE_BIN_DIR;
    struct Row { std::string path; std::vector<std::string> missing; };
    const Row rows[] = {
        {bin + "/libQuillan.so", {}},
        {bin + "/variants/no-streamgetinfo/libQuillan.so", {"OrvStreamGetInfo"}},
        {bin + "/variants/no-eventgetinfo/libQuillan.so", {"OrvEventGetInfo"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(missingExports(row.path), row.missing) << row.path;
}
