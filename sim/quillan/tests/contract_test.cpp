#include "QuillanExports.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

TEST(Contract, NamesFollowTheLoaderTable)
{
    struct Row { int row; const char* name; };
    const Row rows[] = {
        {1, "OrvLibInit"}, {5, "OrvLibClose"}, {41, "OrvFeatureGetByIndex"},
        {63, "JotwellRegister"}, {67, "JotwellTraceA"}, {68, "OrvUtilBufferBayerToRGB32"},
        {81, "OrvEventGetInfo"}, {85, "OrvStreamGetInfo"}, {91, "OrvDeviceUnRegisterFileAccessCB"},
    };
    for (const Row& r : rows)
        EXPECT_STREQ(ORV_SDK_FUNCTION_NAMES[r.row - 1], r.name) << "row " << r.row;
    std::set<std::string> unique(std::begin(ORV_SDK_FUNCTION_NAMES), std::end(ORV_SDK_FUNCTION_NAMES));
    EXPECT_EQ(unique.size(), size_t(ORV_SDK_FUNCTION_COUNT));
    EXPECT_STREQ(ORV_SDK_FUNCTION_NAMES[ORV_SDK_OPTIONAL_ROW - 1], "OrvStreamGetInfo");
}

TEST(Contract, BufferRecordUsesNativePointers)
{
    // The address-free records have their exact sizes checked at compile time;
    // the image record only grows by its two pointers.
    EXPECT_EQ(sizeof(ORV_BUFFER_INFO), 72 + 2 * (sizeof(void*) - 4));
    EXPECT_EQ(offsetof(ORV_BUFFER_INFO, imageId) - offsetof(ORV_BUFFER_INFO, width), 24u);
}
